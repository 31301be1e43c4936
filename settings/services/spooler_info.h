// The spooler's answers about a printer and its driver, and the per-context cache of what the
// printer's PRINTER_INFO_2 says.
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

// GetPrinterDriverW (this machine's environment) or GetPrinterW at `level`, through the size
// protocol: the first call must fail with ERROR_INSUFFICIENT_BUFFER and a size, the second
// fills a zeroed block of that size. Null on any other outcome, including a second call that
// fails because the information grew in between. The caller frees the block with SysFree.
void* PrnGetDriverInfo(HANDLE printer, DWORD level);
void* PrnGetPrinterInfo(HANDLE printer, DWORD level);
// GetJobW of job `jobId` at `level`, the same way.
void* PrnGetJobInfo(HANDLE printer, DWORD jobId, DWORD level);

// Fills the context's printer information cache from `info`: the server kind and the names
// only while they are unknown, the attributes once.
void PrnCacheInfo2(const PRINTER_INFO_2W* info, DriverContext* context);

// The printer's name from the cache, asking the spooler when it is unknown; "" when it cannot
// be learnt.
const WCHAR* PrnGetPrinterName(DriverContext* context);
// The driver's name likewise; the model's fallback name when it cannot be learnt.
const WCHAR* PrnGetDriverName(DriverContext* context);

// The printer's attributes & mask (asked once per context).
DWORD PrnTestAttributes(DWORD mask, DriverContext* context);
BOOL PrnIsBidiEnabled(DriverContext* context);
// Whether the printer is a connection to a print server (asked once per context).
BOOL PrnIsOnServer(DriverContext* context);

// The driver folder with its final backslash: the folder of the driver's data file, or, when
// that is not known (no level-3 answer, or a data file path without a folder), the system
// directory + "\spool\drivers\w32x86\2\". PrnGetDriverDirectory keeps it in the work area and
// returns it (null when no folder can be built); PrnGetDriverDirectoryTo writes it into a
// buffer of MAX_PATH characters and returns its length (0 and "" when it cannot be built).
const WCHAR* PrnGetDriverDirectory(DriverContext* context);
DWORD PrnGetDriverDirectoryTo(HANDLE printer, WCHAR* buffer);
