// Seams to parts of the settings library that are not built yet. Each answers "cannot" (0 or
// null), or does nothing, until the part that owns it replaces its body; none invents a folder,
// a name or a code.
//   devmode validation (public fields): DmValidatePublic
//   settings export and import files: XferSection
//   user lists (free sizes, stamps): LstLoadFreeSizes, LstSelectSrcFreeSize, LstLoadStamp
#pragma once

#include "settings/condition_items.h"
#include "settings/constraint_eval.h"
#include "settings/driver_context.h"
#include "win32.h"

// Validates the public devmode fields of the context's record against the model.
void DmValidatePublic(DriverContext* context);

// Reads (flag 1) or writes (flag 2) the printer's transfer section of the settings file `file`
// for the context; group flags choose the entries (0x100: the device information). TRUE on
// success.
BOOL XferSection(HANDLE printer, DriverContext* context, const WCHAR* file, DWORD flags);

// Fills the work area's ten free-size slots from the settings INI, once per context.
void LstLoadFreeSizes(DriverContext* context);
// Free-size slot `slot` (0..9) into the source-tray free-size items 862..864.
void LstSelectSrcFreeSize(DriverContext* context, int slot);
// Loads stamp `index` from the settings INI into the stamp items; item 120 := index.
void LstLoadStamp(DriverContext* context, DWORD index);
