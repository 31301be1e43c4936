// What a printer interface library exports and is handed by the spooler and the common
// property-sheet host: the property headers, the devmode conversion modes, the job query, the
// upgrade and printer events (winddiui.h on Windows), and the devmode modes of
// DocumentProperties (wingdi.h on Windows).
#pragma once

#include "core/devmode.h"
#include "core/wintypes.h"
#include "ui/compstui.h"

// The processor state handed to a library entry (never read by the driver).
struct CONTEXT;
using PCONTEXT = CONTEXT*;

// fMode of DocumentProperties and the document property header.
constexpr DWORD DM_UPDATE = 1;
constexpr DWORD DM_COPY = 2;
constexpr DWORD DM_PROMPT = 4;
constexpr DWORD DM_MODIFY = 8;
constexpr DWORD DM_IN_BUFFER = DM_MODIFY;
constexpr DWORD DM_IN_PROMPT = DM_PROMPT;
constexpr DWORD DM_OUT_BUFFER = DM_COPY;
constexpr DWORD DM_OUT_DEFAULT = DM_UPDATE;
constexpr DWORD DM_ADVANCED = 0x10;
constexpr DWORD DM_NOPERMISSION = 0x20;
constexpr DWORD DM_USER_DEFAULT = 0x40;

struct DOCUMENTPROPERTYHEADER {
  WORD cbSize;
  WORD Reserved;
  HANDLE hPrinter;
  LPWSTR pszPrinterName;
  PDEVMODEW pdmIn;
  PDEVMODEW pdmOut;
  DWORD cbOut;
  DWORD fMode;
};
using PDOCUMENTPROPERTYHEADER = DOCUMENTPROPERTYHEADER*;

constexpr WORD DPS_NOPERMISSION = 0x0001;

struct DEVICEPROPERTYHEADER {
  WORD cbSize;
  WORD Flags;
  HANDLE hPrinter;
  LPWSTR pszPrinterName;
};
using PDEVICEPROPERTYHEADER = DEVICEPROPERTYHEADER*;

// DrvConvertDevMode modes.
constexpr DWORD CDM_CONVERT = 0x01;
constexpr DWORD CDM_CONVERT351 = 0x02;
constexpr DWORD CDM_DRIVER_DEFAULT = 0x04;

struct DEVQUERYPRINT_INFO {
  WORD cbSize;
  WORD Level;
  HANDLE hPrinter;
  DEVMODEW* pDevMode;
  LPWSTR pszErrorStr;
  DWORD cchErrorStr;
  DWORD cchNeeded;
};
using PDEVQUERYPRINT_INFO = DEVQUERYPRINT_INFO*;

struct DRIVER_UPGRADE_INFO_1W {
  LPWSTR pPrinterName;
  LPWSTR pOldDriverDirectory;
};
using PDRIVER_UPGRADE_INFO_1W = DRIVER_UPGRADE_INFO_1W*;

constexpr int DOCUMENTEVENT_CREATEDCPRE = 1;
constexpr int DOCUMENTEVENT_CREATEDCPOST = 2;
constexpr int DOCUMENTEVENT_RESETDCPRE = 3;
constexpr int DOCUMENTEVENT_RESETDCPOST = 4;
constexpr int DOCUMENTEVENT_STARTDOC = 5;
constexpr int DOCUMENTEVENT_STARTPAGE = 6;
constexpr int DOCUMENTEVENT_ENDPAGE = 7;
constexpr int DOCUMENTEVENT_ENDDOC = 8;
constexpr int DOCUMENTEVENT_ABORTDOC = 9;
constexpr int DOCUMENTEVENT_DELETEDC = 10;
constexpr int DOCUMENTEVENT_ESCAPE = 11;
constexpr int DOCUMENTEVENT_SUCCESS = 1;
constexpr int DOCUMENTEVENT_UNSUPPORTED = 0;
constexpr int DOCUMENTEVENT_FAILURE = -1;

constexpr int PRINTER_EVENT_ADD_CONNECTION = 1;
constexpr int PRINTER_EVENT_DELETE_CONNECTION = 2;
constexpr int PRINTER_EVENT_INITIALIZE = 3;
constexpr int PRINTER_EVENT_DELETE = 4;
constexpr int PRINTER_EVENT_CACHE_REFRESH = 5;
constexpr int PRINTER_EVENT_CACHE_DELETE = 6;
constexpr DWORD PRINTER_EVENT_FLAG_NO_UI = 1;
