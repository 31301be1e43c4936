// The print spooler's client functions, as the driver calls them. Printers, drivers, printer
// data, forms and jobs live in the machine root's spooler store (spool/spool_store.h).
//
// Sized queries follow the Windows protocol: a call with no buffer or a short one fails with
// ERROR_INSUFFICIENT_BUFFER and writes the size needed; on success the strings and devmodes
// of the returned structures lie inside the caller's buffer, behind the structures.
#pragma once

#include "core/devmode.h"
#include "core/wintypes.h"

// ---- Access rights -----------------------------------------------------------------------

constexpr ACCESS_MASK SERVER_ACCESS_ADMINISTER = 0x00000001;
constexpr ACCESS_MASK SERVER_ACCESS_ENUMERATE = 0x00000002;
constexpr ACCESS_MASK PRINTER_ACCESS_ADMINISTER = 0x00000004;
constexpr ACCESS_MASK PRINTER_ACCESS_USE = 0x00000008;
constexpr ACCESS_MASK PRINTER_ACCESS_MANAGE_LIMITED = 0x00000040;
constexpr ACCESS_MASK PRINTER_ALL_ACCESS = 0x000F000C;  // required standard rights + administer + use
constexpr ACCESS_MASK PRINTER_READ = 0x00020008;        // read control + use
constexpr ACCESS_MASK PRINTER_WRITE = 0x00020008;
constexpr ACCESS_MASK PRINTER_EXECUTE = 0x00020008;
constexpr ACCESS_MASK SERVER_ALL_ACCESS = 0x000F0003;
constexpr ACCESS_MASK SERVER_READ = 0x00020002;
constexpr ACCESS_MASK SERVER_WRITE = 0x00020003;

// ---- Printer attributes, status and control ------------------------------------------------

constexpr DWORD PRINTER_ATTRIBUTE_QUEUED = 0x00000001;
constexpr DWORD PRINTER_ATTRIBUTE_DIRECT = 0x00000002;
constexpr DWORD PRINTER_ATTRIBUTE_DEFAULT = 0x00000004;
constexpr DWORD PRINTER_ATTRIBUTE_SHARED = 0x00000008;
constexpr DWORD PRINTER_ATTRIBUTE_NETWORK = 0x00000010;
constexpr DWORD PRINTER_ATTRIBUTE_HIDDEN = 0x00000020;
constexpr DWORD PRINTER_ATTRIBUTE_LOCAL = 0x00000040;
constexpr DWORD PRINTER_ATTRIBUTE_ENABLE_DEVQ = 0x00000080;
constexpr DWORD PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS = 0x00000100;
constexpr DWORD PRINTER_ATTRIBUTE_DO_COMPLETE_FIRST = 0x00000200;
constexpr DWORD PRINTER_ATTRIBUTE_WORK_OFFLINE = 0x00000400;
constexpr DWORD PRINTER_ATTRIBUTE_ENABLE_BIDI = 0x00000800;
constexpr DWORD PRINTER_ATTRIBUTE_RAW_ONLY = 0x00001000;
constexpr DWORD PRINTER_ATTRIBUTE_PUBLISHED = 0x00002000;

constexpr DWORD PRINTER_STATUS_PAUSED = 0x00000001;
constexpr DWORD PRINTER_STATUS_ERROR = 0x00000002;
constexpr DWORD PRINTER_STATUS_PENDING_DELETION = 0x00000004;
constexpr DWORD PRINTER_STATUS_PAPER_JAM = 0x00000008;
constexpr DWORD PRINTER_STATUS_PAPER_OUT = 0x00000010;
constexpr DWORD PRINTER_STATUS_OFFLINE = 0x00000080;

constexpr DWORD PRINTER_CONTROL_PAUSE = 1;
constexpr DWORD PRINTER_CONTROL_RESUME = 2;
constexpr DWORD PRINTER_CONTROL_PURGE = 3;
constexpr DWORD PRINTER_CONTROL_SET_STATUS = 4;

constexpr DWORD PRINTER_ENUM_DEFAULT = 0x00000001;
constexpr DWORD PRINTER_ENUM_LOCAL = 0x00000002;
constexpr DWORD PRINTER_ENUM_CONNECTIONS = 0x00000004;
constexpr DWORD PRINTER_ENUM_FAVORITE = 0x00000004;
constexpr DWORD PRINTER_ENUM_NAME = 0x00000008;
constexpr DWORD PRINTER_ENUM_REMOTE = 0x00000010;
constexpr DWORD PRINTER_ENUM_SHARED = 0x00000020;
constexpr DWORD PRINTER_ENUM_NETWORK = 0x00000040;
constexpr DWORD PRINTER_ENUM_ICON8 = 0x00800000;

// ---- Jobs ----------------------------------------------------------------------------------

constexpr DWORD JOB_STATUS_PAUSED = 0x00000001;
constexpr DWORD JOB_STATUS_ERROR = 0x00000002;
constexpr DWORD JOB_STATUS_DELETING = 0x00000004;
constexpr DWORD JOB_STATUS_SPOOLING = 0x00000008;
constexpr DWORD JOB_STATUS_PRINTING = 0x00000010;
constexpr DWORD JOB_STATUS_OFFLINE = 0x00000020;
constexpr DWORD JOB_STATUS_PAPEROUT = 0x00000040;
constexpr DWORD JOB_STATUS_PRINTED = 0x00000080;
constexpr DWORD JOB_STATUS_DELETED = 0x00000100;
constexpr DWORD JOB_STATUS_BLOCKED_DEVQ = 0x00000200;
constexpr DWORD JOB_STATUS_USER_INTERVENTION = 0x00000400;
constexpr DWORD JOB_STATUS_RESTART = 0x00000800;
constexpr DWORD JOB_STATUS_COMPLETE = 0x00001000;

constexpr DWORD JOB_CONTROL_PAUSE = 1;
constexpr DWORD JOB_CONTROL_RESUME = 2;
constexpr DWORD JOB_CONTROL_CANCEL = 3;
constexpr DWORD JOB_CONTROL_RESTART = 4;
constexpr DWORD JOB_CONTROL_DELETE = 5;

constexpr DWORD MIN_PRIORITY = 1;
constexpr DWORD MAX_PRIORITY = 99;
constexpr DWORD DEF_PRIORITY = 1;

// ---- Forms ---------------------------------------------------------------------------------

constexpr DWORD FORM_USER = 0x00000000;
constexpr DWORD FORM_BUILTIN = 0x00000001;
constexpr DWORD FORM_PRINTER = 0x00000002;

// ---- Spooler errors beyond core/winerror.h ------------------------------------------------

constexpr DWORD ERROR_PRINT_CANCELLED = 63;
constexpr DWORD ERROR_INVALID_PRIORITY = 1800;
constexpr DWORD ERROR_SPL_NO_STARTDOC = 3003;

// ---- Structures ----------------------------------------------------------------------------

struct PRINTER_DEFAULTSW {
  LPWSTR pDatatype;
  LPDEVMODEW pDevMode;
  ACCESS_MASK DesiredAccess;
};
using LPPRINTER_DEFAULTSW = PRINTER_DEFAULTSW*;

struct PRINTER_INFO_1W {
  DWORD Flags;
  LPWSTR pDescription;  // "name,driver,location"
  LPWSTR pName;
  LPWSTR pComment;
};

struct PRINTER_INFO_2W {
  LPWSTR pServerName;  // null for a local printer, "\\server" for a connection
  LPWSTR pPrinterName;
  LPWSTR pShareName;
  LPWSTR pPortName;
  LPWSTR pDriverName;
  LPWSTR pComment;
  LPWSTR pLocation;
  LPDEVMODEW pDevMode;  // the user's own default when one is set, else the printer's
  LPWSTR pSepFile;
  LPWSTR pPrintProcessor;
  LPWSTR pDatatype;
  LPWSTR pParameters;
  LPVOID pSecurityDescriptor;
  DWORD Attributes;
  DWORD Priority;
  DWORD DefaultPriority;
  DWORD StartTime;
  DWORD UntilTime;
  DWORD Status;
  DWORD cJobs;
  DWORD AveragePPM;
};

struct PRINTER_INFO_4W {
  LPWSTR pPrinterName;
  LPWSTR pServerName;
  DWORD Attributes;
};

// Level 8: the printer's default devmode for every user.
struct PRINTER_INFO_8W {
  LPDEVMODEW pDevMode;
};

// Level 7: the printer's directory-service publishing. SetPrinterW takes the action.
struct PRINTER_INFO_7W {
  LPWSTR pszObjectGUID;
  DWORD dwAction;
};
constexpr DWORD DSPRINT_PUBLISH = 0x00000001;
constexpr DWORD DSPRINT_UPDATE = 0x00000002;
constexpr DWORD DSPRINT_UNPUBLISH = 0x00000004;
constexpr DWORD DSPRINT_REPUBLISH = 0x00000008;
constexpr DWORD DSPRINT_PENDING = 0x80000000;

// Level 9: the calling user's own default devmode (null when the user has none).
struct PRINTER_INFO_9W {
  LPDEVMODEW pDevMode;
};

struct DRIVER_INFO_1W {
  LPWSTR pName;
};

struct DRIVER_INFO_2W {
  DWORD cVersion;
  LPWSTR pName;
  LPWSTR pEnvironment;
  LPWSTR pDriverPath;
  LPWSTR pDataFile;
  LPWSTR pConfigFile;
};

struct DRIVER_INFO_3W {
  DWORD cVersion;
  LPWSTR pName;
  LPWSTR pEnvironment;
  LPWSTR pDriverPath;
  LPWSTR pDataFile;
  LPWSTR pConfigFile;
  LPWSTR pHelpFile;
  LPWSTR pDependentFiles;  // NUL-separated, ends with a second NUL
  LPWSTR pMonitorName;
  LPWSTR pDefaultDataType;
};

// Sizes and areas in thousandths of a millimetre.
struct FORM_INFO_1W {
  DWORD Flags;
  LPWSTR pName;
  SIZEL Size;
  RECTL ImageableArea;
};

struct DOC_INFO_1W {
  LPWSTR pDocName;
  LPWSTR pOutputFile;  // when set, the job's bytes are also written to this file
  LPWSTR pDatatype;
};

struct JOB_INFO_1W {
  DWORD JobId;
  LPWSTR pPrinterName;
  LPWSTR pMachineName;
  LPWSTR pUserName;
  LPWSTR pDocument;
  LPWSTR pDatatype;
  LPWSTR pStatus;
  DWORD Status;
  DWORD Priority;
  DWORD Position;
  DWORD TotalPages;
  DWORD PagesPrinted;
  SYSTEMTIME Submitted;
};

struct JOB_INFO_2W {
  DWORD JobId;
  LPWSTR pPrinterName;
  LPWSTR pMachineName;
  LPWSTR pUserName;
  LPWSTR pDocument;
  LPWSTR pNotifyName;
  LPWSTR pDatatype;
  LPWSTR pPrintProcessor;
  LPWSTR pParameters;
  LPWSTR pDriverName;
  LPDEVMODEW pDevMode;
  LPWSTR pStatus;
  LPVOID pSecurityDescriptor;
  DWORD Status;
  DWORD Priority;
  DWORD Position;
  DWORD StartTime;
  DWORD UntilTime;
  DWORD TotalPages;
  DWORD Size;
  SYSTEMTIME Submitted;
  DWORD Time;
  DWORD PagesPrinted;
};

// ---- Functions -----------------------------------------------------------------------------
// Name parameters are const here (Windows declares some of them writable but never writes).

extern "C" {

// Opens a printer by name ("Velm Printer", "\\SERVER\Velm Printer", or "\\COMPUTER\name" for a
// local printer); a null or empty name opens the local print server. The access granted is
// the one asked for (PRINTER_ACCESS_USE when none is); ERROR_ACCESS_DENIED when the user may
// not administer the printer and asked to, ERROR_INVALID_PRINTER_NAME for an unknown printer.
BOOL OpenPrinterW(LPWSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSW pDefault);
// Closes the handle; a document still open on it is ended first.
BOOL ClosePrinter(HANDLE hPrinter);

// Levels 1, 2, 4, 8 and 9.
BOOL GetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf, LPDWORD pcbNeeded);
// Level 0 runs Command (PRINTER_CONTROL_*); levels 2 and 8 need PRINTER_ACCESS_ADMINISTER;
// level 7 (publishing) needs it too, changes nothing in the store and is only reported;
// level 9 sets (or, with a null devmode, removes) the calling user's own default devmode.
BOOL SetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command);
// PRINTER_ENUM_LOCAL, PRINTER_ENUM_CONNECTIONS, PRINTER_ENUM_NAME (this machine) and
// PRINTER_ENUM_SHARED as a filter; levels 1, 2 and 4.
BOOL EnumPrintersW(DWORD Flags, LPWSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                   LPDWORD pcbNeeded, LPDWORD pcReturned);

// Levels 1 to 3 of the printer's driver; a null environment is this machine's ("Windows NT x86").
BOOL GetPrinterDriverW(HANDLE hPrinter, LPWSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo,
                       DWORD cbBuf, LPDWORD pcbNeeded);
// The environment's driver folder ("C:\Windows\System32\spool\drivers\w32x86"), level 1.
BOOL GetPrinterDriverDirectoryW(LPWSTR pName, LPWSTR pEnvironment, DWORD Level,
                                LPBYTE pDriverDirectory, DWORD cbBuf, LPDWORD pcbNeeded);

// Printer data: typed values kept with their exact sizes. These return a Win32 error code:
// ERROR_MORE_DATA with *pcbNeeded when nSize is short, ERROR_FILE_NOT_FOUND when absent.
// The plain forms work on the key "PrinterDriverData".
DWORD GetPrinterDataW(HANDLE hPrinter, LPWSTR pValueName, LPDWORD pType, LPBYTE pData,
                      DWORD nSize, LPDWORD pcbNeeded);
DWORD GetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName, LPDWORD pType,
                        LPBYTE pData, DWORD nSize, LPDWORD pcbNeeded);
// ERROR_ACCESS_DENIED unless the handle was opened with PRINTER_ACCESS_ADMINISTER.
DWORD SetPrinterDataW(HANDLE hPrinter, LPWSTR pValueName, DWORD Type, LPBYTE pData,
                      DWORD cbData);
DWORD SetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName, DWORD Type,
                        LPBYTE pData, DWORD cbData);
DWORD DeletePrinterDataW(HANDLE hPrinter, LPWSTR pValueName);
DWORD DeletePrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName);
// The value at dwIndex of "PrinterDriverData". With cbValueName and cbData both 0 it answers
// the largest name and data sizes of all values; ERROR_NO_MORE_ITEMS past the last value.
DWORD EnumPrinterDataW(HANDLE hPrinter, DWORD dwIndex, LPWSTR pValueName, DWORD cbValueName,
                       LPDWORD pcbValueName, LPDWORD pType, LPBYTE pData, DWORD cbData,
                       LPDWORD pcbData);

// Forms (level 1): the built-in forms, then the forms added on this machine.
BOOL EnumFormsW(HANDLE hPrinter, DWORD Level, LPBYTE pForm, DWORD cbBuf, LPDWORD pcbNeeded,
                LPDWORD pcReturned);
BOOL GetFormW(HANDLE hPrinter, LPWSTR pFormName, DWORD Level, LPBYTE pForm, DWORD cbBuf,
              LPDWORD pcbNeeded);
BOOL AddFormW(HANDLE hPrinter, DWORD Level, LPBYTE pForm);
BOOL DeleteFormW(HANDLE hPrinter, LPWSTR pFormName);

// Jobs: each job's bytes are kept as a file beside its record (document, user, status).
DWORD StartDocPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pDocInfo);
BOOL StartPagePrinter(HANDLE hPrinter);
BOOL EndPagePrinter(HANDLE hPrinter);
BOOL WritePrinter(HANDLE hPrinter, LPVOID pBuf, DWORD cbBuf, LPDWORD pcWritten);
BOOL EndDocPrinter(HANDLE hPrinter);
BOOL AbortPrinter(HANDLE hPrinter);
// Levels 1 and 2 of a job of this printer.
BOOL GetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD cbBuf,
             LPDWORD pcbNeeded);
// Level 0 runs Command (JOB_CONTROL_*); levels 1 and 2 change the job's document, user,
// status and priority. Needs the job's owner or PRINTER_ACCESS_ADMINISTER.
BOOL SetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD Command);

// A driver called by the spooler runs as its client. RevertToPrinterSelf leaves the client's
// identity and hands back a token for it; ImpersonatePrinterClient takes that token back up
// and closes it.
HANDLE RevertToPrinterSelf(void);
BOOL ImpersonatePrinterClient(HANDLE hToken);

}  // extern "C"
