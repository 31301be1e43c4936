// The application interface's level check and its contexts: a driver context per application
// and printer, opened by VELMDrvEnable and closed by VELMDrvDisable, that keeps the printer's
// name but no printer handle. Every call that needs the spooler reopens the printer by that
// name (ApiReopenPrinter) and closes it before it returns (ApiReleasePrinter).
#pragma once

#include "settings/context/driver_context.h"
#include "settings/devmode/model_defaults.h"
#include "win32.h"

// The creation flag of application contexts.
constexpr DWORD kCreateApplication = 0x200000;

// The "VELMAPI" switches: the level in the settings INI, the function switches in the driver INI.
inline constexpr WCHAR kApiSection[] = WSTR("VELMAPI");
inline constexpr WCHAR kApiLevelKey[] = WSTR("VELMAPIVer");
inline constexpr WCHAR kApiFunctionsKey[] = WSTR("VELMAPIFunc1");
constexpr LONG kApiDefaultLevel = 3;  // a machine that sets no level

// Printer names arrive as ANSI text and are widened into this many characters, NUL included.
constexpr DWORD kApiNameChars = 261;

// ---- Level -------------------------------------------------------------------------------------

// The settings INI that holds the level: the model's settings INI name as it stands when it is
// a drive path ("X:..."), else the shared settings folder (NT 5 and later; the system directory
// before) + "\" + the name. Never the per-user folder. The length, 0 (and "") when it cannot
// be built or does not fit `capacity`.
DWORD ApiGetLevelIniPath(const ModelDefaults& defaults, WCHAR* path, DWORD capacity);

// VELMDrvCheckAPIVer: 0 for a null or empty name, which leaves the kept level alone. Otherwise
// the level key of that INI (an absent key, or an INI path that cannot be built, gives the
// default 3), kept as the process's level and returned.
LONG ApiCheckVersion(const char* printerName);
// The level kept by the last check that looked at the INI; 0 before the first.
LONG ApiGetLevel();

// The function switches of the context's printer: the key "VELMAPIFunc1" of section "VELMAPI"
// in the driver INI (its name as it stands when it is a drive path, else in the system
// directory on Windows 9x or the printer's driver folder); 0 when absent or not readable.
DWORD ApiReadFunctionSwitches(DriverContext* context);
// The function switches the records ask for.
constexpr DWORD kApiFuncPatternStamp = 0x2;  // watermark kind 128
constexpr DWORD kApiFuncUserCode = 0x100;    // print type 255 (the job text)

// ---- Contexts ----------------------------------------------------------------------------------

// The lock snapshot: for each item of each status row whether its model node is disabled and
// hidden. Zero-filled at enable; the status records fill and read it.
constexpr DWORD kApiStatusRowCount = 35;
constexpr DWORD kApiStatusRowItems = 8;
struct ApiLockEntry {
  DWORD disabled;
  DWORD hidden;
};
struct ApiLockSnapshot {
  ApiLockEntry rows[kApiStatusRowCount][kApiStatusRowItems];
};
static_assert(sizeof(ApiLockSnapshot) == 35 * 64);

// Widens an ANSI printer name into `wide` (kApiNameChars). FALSE, with the last error, for a
// null or empty name (ERROR_INVALID_PARAMETER) and one that does not fit
// (ERROR_INSUFFICIENT_BUFFER): a name is never cut, which could name another printer.
BOOL ApiWidenPrinterName(const char* printerName, WCHAR* wide);

// Opens the printer, builds a context on it (creation flag 0x200000) and sets it up: the margin
// defaults when the model offers margin ranges, the printer's name kept, the lock snapshot, the
// environment bytes and the platform's byte. The printer is closed again and the context keeps
// no handle. Null, with the last error, when the name is refused, the printer cannot be opened
// or the context cannot be built. A lock snapshot that cannot be allocated leaves the context
// without one.
DriverContext* ApiEnable(const char* printerName);

// Frees the lock snapshot, releases the context and empties the context caches. Null is
// accepted.
void ApiDisable(DriverContext* context);

// The context's lock snapshot, or null.
ApiLockSnapshot* ApiGetLockSnapshot(const DriverContext* context);

// Items 103 and 104 take their model defaults, unless the capability query of row 34 (does the
// model give item 105 a range) answers 0 or -1.
void ApiSetMarginDefaults(DriverContext* context);

// ---- Reopening the printer ---------------------------------------------------------------------

// What a call found in the context before it reopened the printer, restored when it is done, so
// that a context never keeps a handle that was closed (a constraint-query context comes with a
// handle of its own, an application context with none).
struct ApiPrinterScope {
  HANDLE opened;
  HANDLE previousPrinter;
  ULONG_PTR previousCallerValue;
};

// Opens the printer by the name in the context's work area and makes the handle the context's
// printer handle and caller value. FALSE, with the spooler's last error, when it cannot be
// opened (ERROR_INVALID_PRINTER_NAME for a context without a name).
BOOL ApiReopenPrinter(DriverContext* context, ApiPrinterScope* scope);
// Closes the reopened handle and gives the context back what it held before.
void ApiReleasePrinter(DriverContext* context, ApiPrinterScope* scope);
