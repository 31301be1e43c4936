// Seams to parts of the settings library that are not built yet. Each answers "cannot" (0 or
// null), or does nothing, until the part that owns it replaces its body; none invents a folder,
// a name or a code.
//   option persistence (help language, language table): CfgHelpLanguageCode, ResFindLanguage
//   user lists (free sizes, stamps): LstLoadFreeSizes, LstSelectSrcFreeSize, LstLoadStamp
#pragma once

#include "settings/condition_items.h"
#include "settings/constraint_eval.h"
#include "settings/driver_context.h"
#include "win32.h"

// The two-letter code of the printer's help language ("fr"), or null.
const WCHAR* CfgHelpLanguageCode(DriverContext* context);

// The primary language identifier and the sub-language of language value `value` (item 177):
// TRUE with both set when the language table has the value, else FALSE and both untouched.
BOOL ResFindLanguage(DWORD value, WORD* primaryLanguage, WORD* subLanguage);

// Fills the work area's ten free-size slots from the settings INI, once per context.
void LstLoadFreeSizes(DriverContext* context);
// Free-size slot `slot` (0..9) into the source-tray free-size items 862..864.
void LstSelectSrcFreeSize(DriverContext* context, int slot);
// Loads stamp `index` from the settings INI into the stamp items; item 120 := index.
void LstLoadStamp(DriverContext* context, DWORD index);
