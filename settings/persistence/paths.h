// The paths of the settings INI, the driver INI and the localized resource library, and the
// help language they depend on.
#pragma once

#include <initializer_list>
#include <string_view>

#include "settings/context/driver_context.h"
#include "win32.h"

// Writes `parts` one after the other into `out` (capacity in characters, NUL included). When
// they do not fit, `out` is left empty and 0 returned, so that no caller ever works on a path
// cut short into another one; else the length.
DWORD PathJoin(WCHAR* out, DWORD capacity, std::initializer_list<WStringView> parts);

// The settings INI of the context, kept at the start of its work area: the model's settings INI
// name as it stands when it is a drive path ("X:..."); else the per-user settings folder when
// the session is a terminal-server session (the process's kept answer), the context may use it
// (no creation flag 0x40000) and it can be built; otherwise the shared settings folder; then
// "\" and the name. Null (and an empty path) when no folder can be built or the path is too long.
const WCHAR* PathGetSettingsIni(DriverContext* context);
// The same without a context into a buffer of MAX_PATH characters: mode 1 the per-user folder,
// any other mode the shared one. The length, 0 on failure.
DWORD PathBuildSettingsIni(WCHAR* buffer, DWORD mode);

// Where the settings folders come from; PathGetSettingsIni and PathBuildSettingsIni use the
// settings files' own folder functions. A function answers the folder's length, 0 when it
// cannot build it (the no-context form is called with a null context).
struct SettingsFolderSources {
  DWORD (*user)(DriverContext* context, WCHAR* buffer, DWORD capacity);
  DWORD (*shared)(DriverContext* context, WCHAR* buffer, DWORD capacity);
};
const WCHAR* PathSelectSettingsIni(DriverContext* context, const SettingsFolderSources& folders);
DWORD PathBuildSettingsIniFrom(WCHAR* buffer, DWORD mode, const SettingsFolderSources& folders);

// The driver INI of the context, kept in its work area: the model's driver INI name as it
// stands when it is a drive path, else the driver folder + the name. Null when it cannot be built.
const WCHAR* PathGetApiIni(DriverContext* context);

// The context's localized resource library, kept in its work area: the driver folder + the
// description's resource library name with the two characters before its extension replaced
// by the help language code. Null when any part is unknown.
const WCHAR* PathGetLocalizedModelFile(DriverContext* context);
// The localizing step alone: `name` with the two characters before the extension of its file
// name replaced by `code` (two characters). A name without an extension, or with fewer than two
// characters before it, stays as it is. The length written, 0 when `code` is not two characters
// or the result does not fit.
DWORD PathLocalizeFileName(WStringView name, WStringView code, WCHAR* out, DWORD capacity);

// The help language code, read once into the context's work area and returned from there;
// null while it cannot be learnt.
const WCHAR* CfgGetHelpLanguageCached(DriverContext* context);
