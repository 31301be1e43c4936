#include "settings/service_seams.h"

// Not built yet: see the header.

const WCHAR* CfgHelpLanguageCode(DriverContext*) { return nullptr; }

const WCHAR* DescGetLangFileBase(DriverContext*) { return nullptr; }

int CondPrintPaperOrient(DriverContext*) { return 0; }
