// Small file and path primitives over Windows paths ('\' separators, "X:" drives, "\\server").
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

// A drive letter, ':' and '\' ("C:\x"), or two backslashes ("\\server\share").
BOOL PathIsAbsolute(const WCHAR* path);
// A path that names its drive ("C:..."): the only kind the INI files are read from and written to.
inline bool PathHasDrive(const WCHAR* path) { return path && path[0] != 0 && path[1] == WCH(':'); }
// Whether CreateFileW opens the path as an existing file (a folder answers FALSE).
BOOL PathExists(const WCHAR* path);
// The part after the last '\' (the whole path when it has none).
const WCHAR* PathGetFileName(const WCHAR* path);
// The part after the last '.' of the file name and its length in *length; null (and 0) when
// the file name has no '.'.
const WCHAR* PathGetExtension(const WCHAR* path, DWORD* length);

// Reads or writes exactly `count` bytes at the file pointer: `count` on success, -1 when the
// call fails or moves fewer bytes.
LONG PathReadWhole(HANDLE file, void* buffer, DWORD count);
LONG PathWriteWhole(HANDLE file, const void* buffer, DWORD count);

// Which extension PathMakeRsqName gives the name.
constexpr DWORD kRsqExtensionRsd = 0x4;
constexpr DWORD kRsqExtensionRsq = 0x10;

// The driver folder of the context + the file name of `path` into `buffer` (MAX_PATH
// characters), its extension replaced by "rsq" (flag kRsqExtensionRsq, which the library uses)
// or "rsd" (kRsqExtensionRsd); a name without extension, or neither flag, keeps it as it is. The length; 0 and ""
// when the driver folder is unknown or the result does not fit.
DWORD PathMakeRsqName(DriverContext* context, const WCHAR* path, DWORD flag, WCHAR* buffer);
