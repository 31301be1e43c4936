// The job's per-user settings (user id, user code, owner, document name, passwords, telephone
// number and line): refreshed at every document start from the stored options, the job's
// devmode and the job-credential service, and carried to a new PDEV at a device reset.
#pragma once

#include "win32.h"

struct DriverContext;

// The credential items a document start asks the service for: user code, owner, job password,
// user id, document name and stored password (not the telephone number and line).
constexpr DWORD kJobCredentialMask = 0x9F;

// Refreshes the context's job items for a document, in order: keeps the job items the context
// holds (strings only when they fit their field with its terminator), reloads every stored
// option of the printer (and the saved device information when there is some), merges
// `savedDevmode` with `mergeFlags`, takes the collation switch from the devmode (item 64 := 0
// without DM_COLLATE, 1 when dmCollate is 1), puts back the kept non-empty strings and the
// telephone line, and reads the credential items of kJobCredentialMask from the service.
// Always TRUE: whatever the service does, the document goes on.
BOOL JobMergeUserSettings(DriverContext* context, const DEVMODEW* savedDevmode, DWORD mergeFlags, HANDLE printer,
                          DWORD jobId);

// Reads the masked credential items registered for the printer into their settings items: the
// service "qnjobcr.dll" from the system folder (else the driver folder, where the driver's
// companions are installed), interface version 259, else 258, else 257. At 259 each item is
// read for the job's user (the spooler's owner of `jobId`; "UNKNOWN" or none: the logged-on
// user), and read again the session's way when that fails. A value is cut to its buffer; an
// item without a value, or whose read fails, keeps what it held. TRUE when the service was
// reached and a session opened on the printer.
BOOL JobReadControlValues(DriverContext* context, HANDLE printer, DWORD jobId, DWORD mask);

// Copies the job items from the old context to the new.
void JobCopyUserSettings(DriverContext* newContext, DriverContext* oldContext);
