#include "gr2k/job_user_settings.h"

BOOL JobMergeUserSettings(DriverContext*, const DEVMODEW*, DWORD, HANDLE, DWORD) { return TRUE; }

void JobCopyUserSettings(DriverContext*, DriverContext*) {}
