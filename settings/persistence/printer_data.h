// The printer's driver data (typed values under its "PrinterDriverData" key), as the settings
// library reads and writes them. Its stored devmode is taken in devmode/record_build.h.
//
// PRINTER_INFO at a level, with the size protocol, is PrnGetPrinterInfo (services/spooler_info.h); the
// caller frees it with SysFree.
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

// Reads the value `name` into `data` of `size` bytes. The buffer is zeroed first, so that a
// value shorter than the buffer reads zero-extended and never leaves older bytes behind.
// TRUE when the value exists and fits: `read` (optional) receives its bytes and `type`
// (optional) its registry type. FALSE otherwise, with the spooler's answer as the last error
// (ERROR_FILE_NOT_FOUND for an absent value, ERROR_MORE_DATA for one longer than `size`).
BOOL PrnGetData(HANDLE printer, const WCHAR* name, void* data, DWORD size, DWORD* read = nullptr,
                DWORD* type = nullptr);

// Writes `size` bytes of `data` as the value `name` of registry type `type`. TRUE on success;
// FALSE with the spooler's answer as the last error (ERROR_ACCESS_DENIED when the handle may not
// administer the printer).
BOOL PrnSetData(HANDLE printer, const WCHAR* name, DWORD type, const void* data, DWORD size);
// The same as REG_BINARY.
BOOL PrnSetDataBinary(HANDLE printer, const WCHAR* name, const void* data, DWORD size);

// Deletes the value `name`. TRUE when it is gone, also when it was never there; FALSE with the
// spooler's answer as the last error otherwise.
BOOL PrnDeleteData(HANDLE printer, const WCHAR* name);
