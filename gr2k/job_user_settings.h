// The job's per-user settings (user id, user code, owner, document name, passwords, telephone
// number and line): refreshed at every document start from the stored options, the job's
// devmode and the job-credential service, and carried to a new PDEV at a device reset.
#pragma once

#include "win32.h"

struct DriverContext;

// Refreshes the context's job items for a document. Not built yet: leaves the context as it is
// and answers TRUE, as the finished merge does whatever the credential service answers.
BOOL JobMergeUserSettings(DriverContext* context, const DEVMODEW* savedDevmode, DWORD mergeFlags, HANDLE printer,
                          DWORD jobId);
// Copies the job items from the old context to the new. Not built yet: copies nothing.
void JobCopyUserSettings(DriverContext* newContext, DriverContext* oldContext);
