// Seams to parts of the settings library that are not built yet. Each answers "cannot" (0 or
// null) until the part that owns it replaces its body; none invents a folder, a name or a code.
//   settings files (per-user and shared settings folders): PathGetUserDir, PathGetUserDirNoCtx,
//     PathGetSharedDir, PathReadSharedDirNoCtx
//   option persistence (help language): CfgHelpLanguageCode
//   model description access (resource library name): DescGetLangFileBase
#pragma once

#include "settings/driver_context.h"
#include "win32.h"

// The per-user settings folder into `buffer` (capacity in characters); its length, 0 on failure.
DWORD PathGetUserDir(DriverContext* context, WCHAR* buffer, DWORD capacity);
DWORD PathGetUserDirNoCtx(WCHAR* buffer, DWORD capacity);
// The shared settings folder likewise.
DWORD PathGetSharedDir(DriverContext* context, WCHAR* buffer, DWORD capacity);
DWORD PathReadSharedDirNoCtx(WCHAR* buffer, DWORD capacity);

// The two-letter code of the printer's help language ("fr"), or null.
const WCHAR* CfgHelpLanguageCode(DriverContext* context);

// The base name of the model's resource library as the description names it ("qnresus.dll"),
// or null.
const WCHAR* DescGetLangFileBase(DriverContext* context);
