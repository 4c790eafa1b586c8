#pragma once
// Ordered string lists. The text form puts CR LF after every item; setting the text cuts it at
// CR LF, lone CR or lone LF, and a final line break adds no empty item.
#include <string_view>
#include <vector>

#include "base/system.h"

// Lines made for a list in one go, in their order: their bytes one after the other (a line may
// hold any byte) and where each ends. Prepared and PreparedEnds are the list's own form of the
// same lines, when it makes one (TStrings::PrepareLines).
struct TLineBlock {
  AnsiString Bytes;
  std::vector<size_t> Ends; // line i is Bytes[Ends[i - 1], Ends[i]), the first from 0
  AnsiString Prepared;
  std::vector<size_t> PreparedEnds;

  size_t Count() const { return Ends.size(); }
  std::string_view Line(size_t Index) const {
    const size_t begin = Index == 0 ? 0 : Ends[Index - 1];
    return std::string_view(Bytes).substr(begin, Ends[Index] - begin);
  }
  void Append(std::string_view Line) {
    Bytes.append(Line.data(), Line.size());
    Ends.push_back(Bytes.size());
  }
  // Empty, its memory kept for the next lines.
  void Clear() {
    Bytes.clear();
    Ends.clear();
    Prepared.clear();
    PreparedEnds.clear();
  }
};

class TStrings {
public:
  TStrings() = default;
  TStrings(const TStrings&) = delete;
  TStrings& operator=(const TStrings&) = delete;
  virtual ~TStrings() = default;

  virtual int Count() const = 0;
  // Index from 0; out of range raises EListError.
  virtual AnsiString Get(int Index) const = 0;
  virtual void Clear() = 0;
  // Returns the index of the new item.
  virtual int Add(const AnsiString& S) = 0;
  // Room for that many items, holding TextBytes bytes in all (0: unknown), ahead of a bulk fill,
  // where the list can reserve it.
  virtual void SetCapacity(int /*NewCapacity*/, int64_t /*TextBytes*/ = 0) {}
  // A bulk fill in blocks: whoever makes the lines may call PrepareLines on another thread than
  // the list's, which must then not touch the list, so that the list's work on the lines (a
  // conversion, say) is done beside the fill; AddLines then adds them in order, as Add would.
  virtual void PrepareLines(TLineBlock& /*Block*/) const {}
  virtual void AddLines(const TLineBlock& Block);

  // Nested brackets around bulk changes; implementations that redraw defer it until the outermost
  // EndUpdate.
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }

  AnsiString GetText() const;
  void SetText(const AnsiString& Text);

protected:
  virtual void SetUpdateState(bool /*Updating*/) {}
  [[noreturn]] static void RaiseIndexError(int Index);

private:
  int FUpdateCount = 0;
};

// BeginUpdate when made, EndUpdate when it goes: the two stay paired on every path.
class TStringsUpdate {
public:
  explicit TStringsUpdate(TStrings& Strings) : FStrings(Strings) { FStrings.BeginUpdate(); }
  ~TStringsUpdate() { FStrings.EndUpdate(); }
  TStringsUpdate(const TStringsUpdate&) = delete;
  TStringsUpdate& operator=(const TStringsUpdate&) = delete;

private:
  TStrings& FStrings;
};

class TStringList : public TStrings {
public:
  TStringList() = default;
  int Count() const override { return static_cast<int>(FItems.size()); }
  AnsiString Get(int Index) const override;
  void Clear() override { FItems.clear(); }
  int Add(const AnsiString& S) override;
  void SetCapacity(int NewCapacity, int64_t /*TextBytes*/) override {
    if (NewCapacity > 0) FItems.reserve(static_cast<size_t>(NewCapacity));
  }
  const AnsiString& operator[](int Index) const;

private:
  std::vector<AnsiString> FItems;
};
