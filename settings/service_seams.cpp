#include "settings/service_seams.h"

// Not built yet: see the header.

const WCHAR* CfgHelpLanguageCode(DriverContext*) { return nullptr; }

LONG CondEvaluate(DriverContext*, const DescProgram*) { return 0; }

BOOL CondIsDisabled(const DescNode*, DWORD, DriverContext*) { return FALSE; }

BOOL CondIsHidden(const DescNode*, DWORD, DriverContext*) { return FALSE; }

int CondReapplyAll(DriverContext*) { return 0; }

BOOL ResFindLanguage(DWORD, WORD*, WORD*) { return FALSE; }
BOOL DmCheckResolutionFit(DriverContext*, BOOL) { return FALSE; }

void LstLoadFreeSizes(DriverContext*) {}

void LstSelectSrcFreeSize(DriverContext*, int) {}

void LstLoadStamp(DriverContext*, DWORD) {}
