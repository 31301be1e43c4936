// Seams to parts of the settings library that are not built yet. Each answers "cannot" (0 or
// null), or does nothing, until the part that owns it replaces its body; none invents a folder,
// a name or a code.
//   option persistence (help language): CfgHelpLanguageCode
//   computed condition items: CondGetItemValue, CondPrintPaperOrient
//   public fields and derived items: DmSyncResolutionFromPublic, DmSyncResolutionFromItems,
//   DmDeriveSrcPaper, DmDeriveSrcPaperCustom, DmDeriveDstPaper
#pragma once

#include "settings/driver_context.h"
#include "win32.h"

// The two-letter code of the printer's help language ("fr"), or null.
const WCHAR* CfgHelpLanguageCode(DriverContext* context);

// The value of computed condition item `id` (731..858) under the current settings; 0 for ids
// without a rule.
DWORD CondGetItemValue(DriverContext* context, WORD id);

// 1 when the print paper lies landscape (computed item 827), else 0.
int CondPrintPaperOrient(DriverContext* context);

// The resolution items from the public print quality: dmYResolution and items 42 and 43 take
// dmPrintQuality.
void DmSyncResolutionFromPublic(DriverContext* context);
// The same from item 42: item 43, dmPrintQuality and dmYResolution take its value.
void DmSyncResolutionFromItems(DriverContext* context);
// The source-paper items (44..49) from the stored paper value `paper` of `item`, the output-paper
// items (51..56) likewise, and the source-paper items from the devmode's custom length and width.
void DmDeriveSrcPaper(DWORD paper, WORD item, DriverContext* context, PrivateDevmode* devmode);
void DmDeriveDstPaper(DWORD paper, WORD item, DriverContext* context, PrivateDevmode* devmode);
void DmDeriveSrcPaperCustom(PrivateDevmode* devmode, DriverContext* context);
