// Seams to parts of the settings library that are not built yet. Each answers "cannot" (0 or
// null), or does nothing, until the part that owns it replaces its body; none invents a folder,
// a name or a code.
//   devmode validation (public fields): DmValidatePublic
//   bidirectional device information saved for a later privileged open: BidiGetSavedFlag,
//   BidiLoadSavedInfo, BidiClearSavedSection, BidiCanWritePrinterData
//   user lists (free sizes, stamps, quality sets): LstLoadFreeSizes, LstSelectSrcFreeSize,
//   LstLoadStamp, LstLoadQuality
//   settings record construction: DmSetDefaults, DmSetEnvironment
#pragma once

#include "settings/condition_items.h"
#include "settings/constraint_eval.h"
#include "settings/driver_context.h"
#include "win32.h"

// Validates the public devmode fields of the context's record against the model.
void DmValidatePublic(DriverContext* context);

// Whether the shared "qnuser.ini" holds device information saved for the context's printer by a
// caller that could not write printer data.
BOOL BidiGetSavedFlag(DriverContext* context);
// Loads that saved device information into section 2 of the record.
void BidiLoadSavedInfo(DriverContext* context);
// Deletes the printer's saved section from "qnuser.ini".
void BidiClearSavedSection(DriverContext* context);
// Whether this caller may write the printer's printer data.
BOOL BidiCanWritePrinterData(DriverContext* context);

// Fills the work area's ten free-size slots from the settings INI, once per context.
void LstLoadFreeSizes(DriverContext* context);
// Free-size slot `slot` (0..9) into the source-tray free-size items 862..864.
void LstSelectSrcFreeSize(DriverContext* context, int slot);
// Loads stamp `index` from the settings INI into the stamp items; item 120 := index.
void LstLoadStamp(DriverContext* context, DWORD index);
// Loads quality set `index` (0..7) from the file its settings INI key names into the items.
// FALSE when nothing was loaded.
BOOL LstLoadQuality(DriverContext* context, int index);

// Fills the context's record with the model's defaults: the private header, every item's model
// default, the public fields validated, the item fix-ups, the environment bytes.
void DmSetDefaults(DriverContext* context);
// Sets the environment bytes (items 715..730) from the system and the printer.
void DmSetEnvironment(DriverContext* context);
