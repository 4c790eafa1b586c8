#pragma once
// The vCard path of the import: each card becomes one record of the collector, as a CSV record
// with the columns Vorname, Nachname, Firma, Abteilung and the card's telephone values would.
#include "app/contact_import.h"
#include "csv/vcard_reader.h"

// Text as LoadFileAsAnsiText gives it, one that IsVCardText accepts.
void ImportVCardText(std::string_view Text, const AnsiString& CountryCode,
                     TContactCollector& Collector);
