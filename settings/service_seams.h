// Seams to parts of the settings library that are not built yet. Each answers "cannot" (0 or
// null) until the part that owns it replaces its body; none invents a folder, a name or a code.
//   option persistence (help language): CfgHelpLanguageCode
//   computed condition items: CondGetItemValue, CondPrintPaperOrient
//   constraint evaluation (programs, disabled and hidden values): CondEvaluate, CondIsDisabled,
//   CondIsHidden, CondReapplyAll
//   user lists (free sizes, stamps): LstLoadFreeSizes, LstSelectSrcFreeSize, LstLoadStamp
#pragma once

#include "settings/driver_context.h"
#include "win32.h"

struct DescNode;
struct DescProgram;

// The two-letter code of the printer's help language ("fr"), or null.
const WCHAR* CfgHelpLanguageCode(DriverContext* context);

// The value of computed condition item `id` (731..858) under the current settings; 0 for ids
// without a rule.
DWORD CondGetItemValue(DriverContext* context, WORD id);

// 1 when the print paper lies landscape (computed item 827), else 0.
int CondPrintPaperOrient(DriverContext* context);

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

// Fills the work area's ten free-size slots from the settings INI, once per context.
void LstLoadFreeSizes(DriverContext* context);
// Free-size slot `slot` (0..9) into the source-tray free-size items 862..864.
void LstSelectSrcFreeSize(DriverContext* context, int slot);
// Loads stamp `index` from the settings INI into the stamp items; item 120 := index.
void LstLoadStamp(DriverContext* context, DWORD index);
