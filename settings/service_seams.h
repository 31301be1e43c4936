// Seams to parts of the settings library that are not built yet. Each answers "cannot" (0 or
// null) until the part that owns it replaces its body; none invents a folder, a name or a code.
//   option persistence (help language): CfgHelpLanguageCode
//   model description access (resource library name): DescGetLangFileBase
//   computed condition items (print-paper orientation): CondPrintPaperOrient
#pragma once

#include "settings/driver_context.h"
#include "win32.h"

// The two-letter code of the printer's help language ("fr"), or null.
const WCHAR* CfgHelpLanguageCode(DriverContext* context);

// The base name of the model's resource library as the description names it ("qnresus.dll"),
// or null.
const WCHAR* DescGetLangFileBase(DriverContext* context);

// 1 when the print paper lies landscape (computed item 827), else 0.
int CondPrintPaperOrient(DriverContext* context);
