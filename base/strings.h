#pragma once
// Ordered string lists. The text form puts CR LF after every item; setting the text cuts it at
// CR LF, lone CR or lone LF, and a final line break adds no empty item.
#include <vector>

#include "base/system.h"

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
