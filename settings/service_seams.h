// Seams to parts of the settings library that are not built yet. Each answers "cannot" (0 or
// null), or does nothing, until the part that owns it replaces its body; none invents a folder,
// a name or a code.
//   bidirectional device information saved for a later privileged open: BidiGetSavedFlag,
//   BidiLoadSavedInfo, BidiClearSavedSection, BidiCanWritePrinterData
#pragma once

#include "settings/condition_items.h"
#include "settings/constraint_eval.h"
#include "settings/driver_context.h"
#include "win32.h"

// Whether the shared "qnuser.ini" holds device information saved for the context's printer by a
// caller that could not write printer data.
BOOL BidiGetSavedFlag(DriverContext* context);
// Loads that saved device information into section 2 of the record.
void BidiLoadSavedInfo(DriverContext* context);
// Deletes the printer's saved section from "qnuser.ini".
void BidiClearSavedSection(DriverContext* context);
// Whether this caller may write the printer's printer data.
BOOL BidiCanWritePrinterData(DriverContext* context);

