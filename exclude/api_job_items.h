// The bridge between an application context and the job-credential service: reading and writing
// the credential items by their masks (the service's item n has mask bit n - 1).
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

// Reads the masked credential items into the context. On NT through the context's service
// session; on Windows 9x each item straight from the service, narrowed into its item. 0, or the
// status of the first item that failed.
DWORD ApiReadJobItems(DriverContext* context, DWORD mask);
// Writes the masked items to the service: on NT through the context's session; on Windows 9x the
// owner name (mask 2), job password (4), user id (8), document name (16) and stored password
// (128) each with ApiWriteJobItemDirect. 0, or the status of the first item that failed.
DWORD ApiWriteJobItem(DriverContext* context, DWORD mask);
// One item straight to the service for the context's printer, with an interface of version 257:
// open a session on the printer's name, write `size` bytes of `kind`, close. 1 written, 0 not.
int ApiWriteJobItemDirect(DriverContext* context, DWORD item, DWORD kind, const void* data, DWORD size);
