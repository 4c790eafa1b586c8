#pragma once
// The vCard path of the import: each card is one record, whose name parts are its given name,
// family name, organisation and department, and whose numbers are its telephone values.
#include "formats/text_loading.h"
#include "import/record_path.h"

// Text is one that the loader found a vCard text; its memory goes back once its cards are read.
void ReadVCardRecords(TLoadedText Text, TRecordPath& Records);
