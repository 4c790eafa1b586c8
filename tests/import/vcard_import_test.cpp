#include "import/contact_import.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

struct Read {
  std::vector<AnsiString> Lines;
  int32_t Names = 0;
};

Read Import(const AnsiString& Text) {
  TStringList target;
  Read read;
  read.Names = ImportContactBytes(Text, target, "49").Names;
  for (int i = 0; i < target.Count(); ++i)
    read.Lines.push_back(target[i]);
  return read;
}

} // namespace

// A large vCard is read by two threads, the second from the first BEGIN:VCARD line after the
// middle. With the middle at every place of each snippet, the lines and counts must be what one
// reader gives: also where the line before makes the card line part of the open card (an empty
// AGENT, a quoted-printable soft break), and where a card is left open. A card of nothing but a
// long note comes first, so that the text is large; it gives no line.
TEST(VCardImport, CardsReadInTwoPartsGiveWhatOneReaderGives) {
  const struct {
    const char* Name;
    AnsiString Text;
  } cases[] = {
      {"closed cards", "BEGIN:VCARD\r\nN:A;Anna\r\nTEL:0301\r\nEND:VCARD\r\n"
                       "BEGIN:VCARD\r\nN:B;Bert\r\nTEL:0301\r\nTEL:0302\r\nEND:VCARD\r\n"
                       "begin:vcard\r\nN:C;Carl\r\nTEL:0302\r\nEND:VCARD\r\n"},
      {"open cards", "BEGIN:VCARD\nN:A;Anna\nTEL:0301\nBEGIN:VCARD\nN:B;Bert\nTEL:0301\n"
                     "BEGIN:VCARD\nN:C;Carl\nTEL:0303\nEND:VCARD\n"},
      {"agent's card",
       "BEGIN:VCARD\r\nN:A;Anna\r\nAGENT:\r\n\r\nBEGIN:VCARD\r\nN:X;Agent\r\nTEL:0309\r\n"
       "END:VCARD\r\nTEL:0301\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN:B;Bert\r\nTEL:0301\r\nEND:"
       "VCARD\r\n"},
      {"agent's card never ends",
       "BEGIN:VCARD\r\nN:A;Anna\r\nTEL:0301\r\nAGENT:\r\nBEGIN:VCARD\r\nTEL:0309\r\n"
       "BEGIN:VCARD\r\nN:B;Bert\r\nTEL:0302\r\nEND:VCARD\r\n"},
      {"soft break",
       "BEGIN:VCARD\r\nN:A;Anna\r\nTEL:0301\r\nNOTE;ENCODING=QUOTED-PRINTABLE:x=\r\n"
       "BEGIN:VCARD\r\nTEL:0302\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN:B;Bert\r\nTEL:0303\r\n"
       "END:VCARD\r\n"},
  };
  const AnsiString head = "BEGIN:VCARD\r\nNOTE:" + AnsiString(600 << 10, 'n') + "\r\nEND:VCARD\r\n";
  for (const auto& c : cases) {
    const Read alone = Import(c.Text);
    ASSERT_FALSE(alone.Lines.empty()) << c.Name;
    for (size_t at = 0; at < c.Text.size(); ++at) {
      // Only where the first line start after the middle is matters: the middle right at each
      // line start and right before it.
      const bool lineStart = at == 0 || c.Text[at - 1] == '\n' || c.Text[at - 1] == '\r';
      const bool beforeOne = at + 1 < c.Text.size() && (c.Text[at] == '\n' || c.Text[at] == '\r');
      if (!lineStart && !beforeOne) continue;
      // The middle falls at the snippet's byte at; what follows the snippet is no card.
      AnsiString text = head + c.Text + "X-PAD:";
      text.append(2 * (head.size() + at) + 1 - text.size(), 'x');
      const Read parts = Import(text);
      ASSERT_EQ(parts.Lines, alone.Lines) << c.Name << ", middle at " << at;
      ASSERT_EQ(parts.Names, alone.Names) << c.Name << ", middle at " << at;
    }
  }
}
