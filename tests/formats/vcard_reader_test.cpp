#include "formats/vcard_reader.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace std::string_literals;

// Given name, family name, organisation, unit, numbers.
struct Card {
  AnsiString Given, Family, Organization, Unit;
  std::vector<AnsiString> Numbers;
  bool operator==(const Card& Other) const {
    return Given == Other.Given && Family == Other.Family && Organization == Other.Organization &&
           Unit == Other.Unit && Numbers == Other.Numbers;
  }
};

std::ostream& operator<<(std::ostream& Out, const Card& C) {
  Out << "{" << C.Given << "|" << C.Family << "|" << C.Organization << "|" << C.Unit << "|";
  for (const AnsiString& n : C.Numbers)
    Out << n << ",";
  return Out << "}";
}

std::vector<Card> ReadCards(const AnsiString& Text) {
  TVCardReader reader(Text);
  std::vector<Card> cards;
  TVCardRecord record;
  while (reader.Next(record))
    cards.push_back({record.GivenName, record.FamilyName, record.Organization,
                     record.OrganizationalUnit, record.Numbers});
  return cards;
}

struct ReaderCase {
  const char* Name;
  AnsiString Text;
  std::vector<Card> Expected;
};

class VCardReaderTest : public testing::TestWithParam<ReaderCase> {};

TEST_P(VCardReaderTest, Cards) {
  EXPECT_EQ(ReadCards(GetParam().Text), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    VCardReader, VCardReaderTest,
    testing::Values(
        // 2.1: bare type parameters, quoted-printable UTF-8 with soft line breaks.
        ReaderCase{"Version21",
                   "BEGIN:VCARD\r\nVERSION:2.1\r\n"
                   "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3=BCller;J=C3=B6=\r\nrg;;;\r\n"
                   "ORG;QUOTED-PRINTABLE:B=C3=A4ckerei=\r\n Korn\r\n"
                   "TEL;WORK;VOICE:+49 30 1234\r\nTEL;CELL:0171 2\r\nEND:VCARD\r\n",
                   // A fold goes before a soft break: the "=" stays.
                   {{"J\xF6rg",
                     "M\xFCller",
                     "B\xE4"
                     "ckerei=Korn",
                     "",
                     {"+49 30 1234", "0171 2"}}}},
        ReaderCase{
            "QuotedPrintableWindows1252AndLineBreaks",
            "BEGIN:VCARD\r\nN;encoding=quoted-printable:M=FCller;Anna=0D=0AMaria;;;\r\n"
            "TEL;ENCODING=QUOTED-PRINTABLE:030=\r\n=201\r\nEND:VCARD\r\n"
            "BEGIN:VCARD\r\nFN;ENCODING=QUOTED-PRINTABLE:x=3d=3Dy =4 =G1 =0\r\nEND:VCARD\r\n",
            {{"Anna  Maria", "M\xFCller", "", "", {"030 1"}}, {"x==y =4 =G1 =0", "", "", "", {}}}},
        ReaderCase{
            "SoftBreakOnlyInQuotedPrintableValues",
            "BEGIN:VCARD\r\nN:Muster;Anna=\r\nTEL;X-ENCODING=QUOTED-PRINTABLE:0301=\r\nTEL:0302\r\n"
            "NOTE;QUOTED-PRINTABLE:a=\r\nb=\r\n=\r\nc\r\nTEL:0303\r\nEND:VCARD\r\n",
            {{"Anna=", "Muster", "", "", {"0301=", "0302", "0303"}}}},
        ReaderCase{"LastLineKeepsItsEquals",
                   "BEGIN:VCARD\r\nTEL:1\r\nFN;QUOTED-PRINTABLE:Anna=\r\n",
                   {{"Anna=", "", "", "", {"1"}}}},
        // 3.0: groups, escapes, type lists.
        ReaderCase{
            "Version30",
            "BEGIN:VCARD\r\nVERSION:3.0\r\nN:O\\;Neill\\, Jr.;Anna\\nMaria;;;\r\n"
            "ORG:Back\\\\;Slash \\x\\\r\nitem1.TEL;TYPE=CELL,VOICE:+49 89 5\r\n"
            "item1.X-ABLabel:mobil\r\nitem2.tel;type=HOME:089\\,6\r\nEND:VCARD\r\n",
            {{"Anna Maria", "O;Neill, Jr.", "Back\\", "Slash \\x\\", {"+49 89 5", "089,6"}}}},
        // 4.0: no N, tel: URIs with parameters.
        ReaderCase{
            "Version40",
            "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Mette S\xF8rensen\r\n"
            "TEL;VALUE=uri;TYPE=\"voice,work\";PREF=1:tel:+45-3312-3456;ext=12\r\n"
            "TEL;VALUE=uri:TEL:+49-40-1\r\nTEL:030 1;ext=2\r\nEND:VCARD\r\n",
            {{"Mette S\xF8rensen", "", "", "", {"+45-3312-3456", "+49-40-1", "030 1;ext=2"}}}},
        ReaderCase{"FormattedNameOnlyWithoutGivenAndFamilyName",
                   "BEGIN:VCARD\r\nN:;;;;\r\nFN:Firma A\r\nEND:VCARD\r\n"
                   "BEGIN:VCARD\r\nFN:Firma B\r\nN:Muster\r\nEND:VCARD\r\n"
                   "BEGIN:VCARD\r\nN:; ;\r\nFN:Firma C\r\nEND:VCARD\r\n"
                   "BEGIN:VCARD\r\nFN:Anna\\nB\\;C\r\nEND:VCARD\r\n",
                   {{"Firma A", "", "", "", {}},
                    {"", "Muster", "", "", {}},
                    {" ", "", "", "", {}},
                    {"Anna B;C", "", "", "", {}}}},
        ReaderCase{"FirstOfRepeatedPropertiesCounts",
                   "BEGIN:VCARD\r\nN:;\r\nN:Zweiter;Name\r\nFN:Erster\r\nFN:Zweiter\r\nORG:A;B\r\n"
                   "ORG:C;D\r\nTEL:1\r\nTEL:1\r\nEND:VCARD\r\n",
                   {{"Erster", "", "A", "B", {"1", "1"}}}},
        ReaderCase{"Folds",
                   "BEGIN:VCARD\r\nFN:An\r\n na\r\n\t Maria\r\nTEL:0\n 30\r 1\r\nTE\r\n "
                   "L:2\r\n\r\n 3\r\nEND:VCARD\r\n",
                   {{"Anna Maria", "", "", "", {"0301", "2"}}}},
        ReaderCase{"MissingEndAndCardsRunningToTheEnd",
                   "BEGIN:VCARD\r\nFN:A\r\nTEL:1\r\nBEGIN:VCARD\r\nFN:B\r\nTEL:2\r\nEND:VCARD\r\n"
                   "TEL:3\r\nBEGIN:VCARD\r\nFN:C\r\nTEL:4",
                   {{"A", "", "", "", {"1"}}, {"B", "", "", "", {"2"}}, {"C", "", "", "", {"4"}}}},
        ReaderCase{"AgentCardIsSkipped",
                   "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Chef;Carla\r\nTEL:1\r\nAGENT:\r\n\r\n"
                   "BEGIN:VCARD\r\nN:Assistent;Alex\r\nTEL:9\r\nAGENT:\r\nBEGIN:VCARD\r\nTEL:"
                   "8\r\nEND:VCARD\r\n"
                   "TEL:7\r\nEND:VCARD\r\nTEL:2\r\nEND:VCARD\r\n",
                   {{"Carla", "Chef", "", "", {"1", "2"}}}},
        ReaderCase{"AgentWithAValueOrNotDirectlyBefore",
                   "BEGIN:VCARD\r\nFN:A\r\nAGENT:x\r\nBEGIN:VCARD\r\nFN:B\r\nAGENT:\r\nNOTE:n\r\n"
                   "BEGIN:VCARD\r\nFN:C\r\nEND:VCARD\r\n",
                   {{"A", "", "", "", {}}, {"B", "", "", "", {}}, {"C", "", "", "", {}}}},
        ReaderCase{"AgentCardWithoutEnd",
                   "BEGIN:VCARD\r\nFN:A\r\nAGENT:\r\nBEGIN:VCARD\r\nFN:Agent\r\nTEL:9\r\n"
                   "BEGIN:VCARD\r\nFN:B\r\nTEL:2\r\nEND:VCARD\r\n",
                   {{"A", "", "", "", {}}, {"B", "", "", "", {"2"}}}},
        ReaderCase{
            "LinesOutsideCardsAndOtherEndsIgnored",
            "TEL:0\r\nBEGIN:VCARD\r\nBEGIN:VCALENDAR\r\nEND:VCALENDAR\r\nTEL:1\r\nEND:VCARD \r\n"
            "END:VCARD\r\nTEL:5\r\nEND:VCARD\r\n",
            {{"", "", "", "", {"1"}}}},
        ReaderCase{"NamesAndValuesIgnoreCaseAndGroups",
                   "begin:vcard\r\ngroup.n;x=\"a;b:c\":Muster;Anna\r\nItem1.Tel;TYPE=\"x:y\":"
                   "030\r\nEnd:VCard\r\n",
                   {{"Anna", "Muster", "", "", {"030"}}}},
        ReaderCase{
            "MalformedLinesSkipped",
            "BEGIN:VCARD\r\nTEL\r\nTEL;TYPE=\"cell:0301\r\n:0302\r\nTEL:0303\r\nEND:VCARD\r\n",
            {{"", "", "", "", {"0303"}}}},
        ReaderCase{"TextEndsAtItsFirstByteZero",
                   "BEGIN:VCARD\r\nTEL:1\0\r\nTEL:2\r\nEND:VCARD\r\n"s,
                   {{"", "", "", "", {"1"}}}},
        ReaderCase{"LeadingBlankLines",
                   " \t\r\n\r\nBEGIN:VCARD\nFN:A\nEND:VCARD",
                   {{"A", "", "", "", {}}}},
        ReaderCase{"NoCard", "Name;Telefon\r\nAnna;0301\r\n", {}}),
    [](const testing::TestParamInfo<ReaderCase>& info) { return info.param.Name; });

} // namespace
