// Seams to parts of the settings library that are not built yet. Each answers "cannot" (0 or
// null) until the part that owns it replaces its body; none invents a folder, a name or a code.
//   option persistence (help language): CfgHelpLanguageCode
//   constraint evaluation (programs, disabled and hidden values): CondEvaluate, CondIsDisabled,
//   CondIsHidden, CondReapplyAll, DmCheckResolutionFit
//   option persistence (language table): ResFindLanguage
//   user lists (free sizes, stamps): LstLoadFreeSizes, LstSelectSrcFreeSize, LstLoadStamp
#pragma once

#include "settings/condition_items.h"
#include "settings/driver_context.h"
#include "win32.h"

struct DescNode;
struct DescProgram;

// The two-letter code of the printer's help language ("fr"), or null.
const WCHAR* CfgHelpLanguageCode(DriverContext* context);

// The result of a condition program of the model description on the context's settings; 0
// when there is no program.
LONG CondEvaluate(DriverContext* context, const DescProgram* program);
// Whether the item of `node` (value 0) or its model value `value` is disabled, or hidden, under
// the current settings: the program of its conditions block or of that value's entry.
BOOL CondIsDisabled(const DescNode* node, DWORD value, DriverContext* context);
BOOL CondIsHidden(const DescNode* node, DWORD value, DriverContext* context);
// The full constraint re-pass over the current settings (resolution fit, derived items, every
// item's rules); 0.
int CondReapplyAll(DriverContext* context);

// The primary language identifier and the sub-language of language value `value` (item 177):
// TRUE with both set when the language table has the value, else FALSE and both untouched.
BOOL ResFindLanguage(DWORD value, WORD* primaryLanguage, WORD* subLanguage);
// 1 when the output paper and the scaled source paper fit at the print quality (600 always
// fits), after re-deriving the resolution and paper items; `asCondition` as computed item 843.
BOOL DmCheckResolutionFit(DriverContext* context, BOOL asCondition);

// Fills the work area's ten free-size slots from the settings INI, once per context.
void LstLoadFreeSizes(DriverContext* context);
// Free-size slot `slot` (0..9) into the source-tray free-size items 862..864.
void LstSelectSrcFreeSize(DriverContext* context, int slot);
// Loads stamp `index` from the settings INI into the stamp items; item 120 := index.
void LstLoadStamp(DriverContext* context, DWORD index);
