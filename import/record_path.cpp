#include "import/record_path.h"

#include <utility>

#include "import/phone_number.h"
#include "support/block_pool.h"

namespace {

constexpr int MaxNameLength = 50;

} // namespace

void AddEntry(TRBStringList& Dictionary, const AnsiString& Number, const AnsiString& Name,
              const AnsiString& CountryCode) {
  Dictionary.SetValue(StripCountryPrefix(Number, CountryCode), Name);
}

TRecordSink::TRecordSink(const AnsiString& CountryCode, TBlockPool& Pool)
    : FCountryCode(CountryCode), FEntries(&Pool) {}

void TRecordSink::AddNamePart(std::string_view Part) {
  // Empty parts are joined too: the joiner is a blank from the second part on.
  if (FHasNamePart) FJoined += ' ';
  FJoined.append(Part.data(), Part.size());
  FHasNamePart = true;
}

void TRecordSink::AddNumber(std::string_view Text) {
  NumberKey(Text, FCountryCode, FKey);
  if (!FKey.empty()) FKeys.push_back(FKey);
}

void TRecordSink::AddNumbers(std::string_view Field) {
  // As SplitString cuts it: no part after a final separator, none of an empty field.
  for (size_t start = 0; start < Field.size();) {
    const size_t stop = Field.find(ValueSeparator, start);
    if (stop == std::string_view::npos) {
      AddNumber(Field.substr(start));
      break;
    }
    AddNumber(Field.substr(start, stop - start));
    start = stop + ValueSeparator.size();
  }
}

void TRecordSink::EndRecord() {
  if (!FKeys.empty()) {
    AnsiString& name = FName;
    BuildDisplayName(FJoined, name, FScratch);
    if (!name.empty()) {
      // The first "=" of a line must separate number and name.
      if (name.find('=') != AnsiString::npos) ReplaceTextInPlace(name, "=", "");
      if (name.size() > size_t(MaxNameLength)) name = TruncateString(name, MaxNameLength);
      ++FCounts.Names;
      FCounts.Numbers += static_cast<int32_t>(FKeys.size());
      FEntries.Add(name, FKeys);
    }
  }
  FJoined.clear();
  FHasNamePart = false;
  FKeys.clear();
}

TRecordPath::TRecordPath(const AnsiString& CountryCode, TBlockPool& Pool)
    : FPool(Pool), FEarlier(CountryCode, Pool), FLater(CountryCode, Pool) {}

void TRecordPath::Reserve(TRecordSink& Sink, size_t Bytes) {
  // An address book export spends a few hundred bytes per contact and a few dozen per number; a
  // guess on the generous side costs only address space, one too small a copy or two.
  Sink.FEntries.Reserve(Bytes / 48, Bytes / 192);
}

void TRecordPath::Restart() {
  for (TRecordSink* sink : {&FEarlier, &FLater}) {
    sink->FEntries.Clear();
    sink->FCounts = TImportCounts();
  }
}

TImportCounts TRecordPath::StoreInto(TStrings& Target) {
  if (FLater.FEntries.Size() > 0) {
    TSideTask sortLater([&] { FLater.FEntries.Sort(); });
    FEarlier.FEntries.Sort();
    sortLater.Wait();
  }
  TRBStringList dictionary(nullptr, &FPool);
  TEntryBatch::StoreSorted(dictionary, FEarlier.FEntries, FLater.FEntries);
  {
    TStringsUpdate bracket(Target);
    dictionary.AssignTo(Target);
  }
  return {FEarlier.FCounts.Names + FLater.FCounts.Names,
          FEarlier.FCounts.Numbers + FLater.FCounts.Numbers};
}
