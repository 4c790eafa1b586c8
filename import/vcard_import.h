#pragma once
// The vCard path of the import: each card becomes one record of the collector, as a CSV record
// with the columns Vorname, Nachname, Firma, Abteilung and the card's telephone values would.
#include "import/contact_import.h"
#include "formats/vcard_reader.h"

// Where ImportVCardText splits a text when the caller leaves it to it.
constexpr size_t AnyCardSplit = size_t(-1);

// Text as LoadFileAsAnsiText gives it, one that IsVCardText accepts. The cards from the first
// BEGIN:VCARD line after the middle of a large text (or from the one at Split, for tests) are
// read by a second thread into Later, the others into Earlier, where the first part's reader
// ends before a card of its own there; else all of them into Earlier.
void ImportVCardText(std::string_view Text, const AnsiString& CountryCode,
                     TContactCollector& Earlier, TContactCollector& Later,
                     size_t Split = AnyCardSplit);
