#include "import/vcard_import.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

struct Read {
  std::vector<AnsiString> Lines;
  int32_t Names = 0;
  size_t LaterEntries = 0;
};

Read ReadCards(const AnsiString& Text, size_t Split) {
  TContactCollector earlier("49"), later("49");
  ImportVCardText(Text, "49", earlier, later, Split);
  Read read;
  read.LaterEntries = later.Size();
  read.Names = earlier.Counts().Names + later.Counts().Names;
  TStringList target;
  earlier.AssignTo(target, later);
  for (int i = 0; i < target.Count(); ++i)
    read.Lines.push_back(target[i]);
  return read;
}

} // namespace

// A large vCard is read by two threads from a BEGIN:VCARD line on. Wherever that line is, the
// lines and counts must be what one reader gives: also where the line before makes it part of
// the open card (an empty AGENT, a quoted-printable soft break), where a card is left open, and
// where a byte 0 before it ends the text.
TEST(VCardImport, CardsReadInTwoPartsGiveWhatOneReaderGives) {
  const struct {
    const char* Name;
    AnsiString Text;
    bool Shared; // whether some split lets the second thread's cards count
  } cases[] = {
      {"closed cards",
       "BEGIN:VCARD\r\nN:A;Anna\r\nTEL:0301\r\nEND:VCARD\r\n"
       "BEGIN:VCARD\r\nN:B;Bert\r\nTEL:0301\r\nTEL:0302\r\nEND:VCARD\r\n"
       "begin:vcard\r\nN:C;Carl\r\nTEL:0302\r\nEND:VCARD\r\n",
       true},
      {"open cards",
       "BEGIN:VCARD\nN:A;Anna\nTEL:0301\nBEGIN:VCARD\nN:B;Bert\nTEL:0301\n"
       "BEGIN:VCARD\nN:C;Carl\nTEL:0303\nEND:VCARD\n",
       true},
      {"agent's card",
       "BEGIN:VCARD\r\nN:A;Anna\r\nAGENT:\r\n\r\nBEGIN:VCARD\r\nN:X;Agent\r\nTEL:0309\r\n"
       "END:VCARD\r\nTEL:0301\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN:B;Bert\r\nTEL:0301\r\nEND:VCARD\r\n",
       true},
      {"agent's card never ends",
       "BEGIN:VCARD\r\nN:A;Anna\r\nTEL:0301\r\nAGENT:\r\nBEGIN:VCARD\r\nTEL:0309\r\n"
       "BEGIN:VCARD\r\nN:B;Bert\r\nTEL:0302\r\nEND:VCARD\r\n",
       true},
      {"soft break",
       "BEGIN:VCARD\r\nN:A;Anna\r\nTEL:0301\r\nNOTE;ENCODING=QUOTED-PRINTABLE:x=\r\n"
       "BEGIN:VCARD\r\nTEL:0302\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN:B;Bert\r\nTEL:0303\r\n"
       "END:VCARD\r\n",
       true},
      {"byte 0",
       "BEGIN:VCARD\r\nN:A;Anna\r\nTEL:0301\r\nEND:VCARD\r\n\0\r\n"
       "BEGIN:VCARD\r\nN:B;Bert\r\nTEL:0302\r\nEND:VCARD\r\n"s,
       false},
  };
  for (const auto& c : cases) {
    const Read whole = ReadCards(c.Text, 0);
    ASSERT_FALSE(whole.Lines.empty()) << c.Name;
    EXPECT_EQ(whole.LaterEntries, 0u) << c.Name;
    bool shared = false;
    for (size_t split = 1; split < c.Text.size(); ++split) {
      const Read parts = ReadCards(c.Text, split);
      EXPECT_EQ(parts.Lines, whole.Lines) << c.Name << ", split at " << split;
      EXPECT_EQ(parts.Names, whole.Names) << c.Name << ", split at " << split;
      shared = shared || parts.LaterEntries > 0;
    }
    // Where the split stands makes no difference, not because it is never taken.
    EXPECT_EQ(shared, c.Shared) << c.Name;
  }
}
