// Seams to parts of the settings library that are not built yet. Each answers "cannot" (0 or
// null) until the part that owns it replaces its body; none invents a folder, a name or a code.
//   devmode validation (public fields): DmValidatePublic
//   bidirectional device information saved for a later privileged open: BidiGetSavedFlag,
//   BidiLoadSavedInfo, BidiClearSavedSection, BidiCanWritePrinterData
//   computed condition items: CondGetItemValue, CondPrintPaperOrient
//   constraint evaluation (programs, disabled and hidden values): CondEvaluate, CondIsDisabled,
//   CondIsHidden, CondReapplyAll
#pragma once

#include "settings/driver_context.h"
#include "win32.h"

struct DescNode;
struct DescProgram;

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
