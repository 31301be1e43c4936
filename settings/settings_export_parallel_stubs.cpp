// Temporary: removed when the parallel branches merge.
#include "settings/settings_export.h"

BOOL LstLoadFreeSize(DriverContext*, int) { return FALSE; }

BOOL LstLoadSrcFreeSize(DriverContext*, int) { return FALSE; }

BOOL LstLoadQuality(DriverContext*, int) { return FALSE; }

void LstRederiveAfterImport(DriverContext*) {}
