#include "settings/persistence/paths.h"

#include <cstring>

#include "settings/services/platform_tests.h"
#include "settings/description/access.h"
#include "settings/services/help_language.h"
#include "settings/persistence/folders.h"
#include "settings/services/spooler_info.h"

namespace {

bool IsDrivePath(const WCHAR* name) { return name && name[0] != 0 && name[1] == WCH(':'); }

bool HasWork(const DriverContext* context) { return context && context->work; }

// Copies a built path into a work-area field: the whole path, or an empty field.
const WCHAR* Keep(WCHAR (&field)[kPathChars], const WCHAR* built, DWORD length) {
  if (length == 0) {
    field[0] = 0;
    return nullptr;
  }
  std::memcpy(field, built, (length + 1) * sizeof(WCHAR));
  return field;
}

// "<folder>\<name>" into `out`, or the name alone when it is a drive path.
DWORD ComposeIni(const WCHAR* name, bool perUser, DriverContext* context, const SettingsFolderSources& folders,
                 WCHAR* out) {
  out[0] = 0;
  if (!name) return 0;
  if (IsDrivePath(name)) return PathJoin(out, MAX_PATH, {name});
  WCHAR folder[MAX_PATH] = {};
  DWORD length = perUser ? folders.user(context, folder, MAX_PATH) : 0;
  if (length == 0 || length >= MAX_PATH) length = folders.shared(context, folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 0;
  return PathJoin(out, MAX_PATH, {WStringView(folder, length), WSTR("\\"), name});
}

DWORD NoContextUserDir(DriverContext*, WCHAR* buffer, DWORD capacity) { return PathGetUserDirNoCtx(buffer, capacity); }
DWORD NoContextSharedDir(DriverContext*, WCHAR* buffer, DWORD capacity) {
  return PathReadSharedDirNoCtx(buffer, capacity);
}

}  // namespace

DWORD PathJoin(WCHAR* out, DWORD capacity, std::initializer_list<WStringView> parts) {
  if (!out || capacity == 0) return 0;
  size_t length = 0;
  for (WStringView part : parts) length += part.size();
  if (length >= capacity) {
    out[0] = 0;
    return 0;
  }
  WCHAR* at = out;
  for (WStringView part : parts) {
    std::memmove(at, part.data(), part.size() * sizeof(WCHAR));
    at += part.size();
  }
  *at = 0;
  return static_cast<DWORD>(length);
}

const WCHAR* PathSelectSettingsIni(DriverContext* context, const SettingsFolderSources& folders) {
  if (!HasWork(context)) return nullptr;
  ContextWorkArea& work = *context->work;
  const bool perUser =
      !(work.creationFlags & kCreateSharedFolderOnly) && SysIsTerminalServerCached(context->printer);
  // Built aside first: the per-user folder may read the path the work area holds now.
  WCHAR built[MAX_PATH];
  const DWORD length = ComposeIni(ContextModelDefaults(context).settingsIniName, perUser, context, folders, built);
  return Keep(work.settingsIniPath, built, length);
}

const WCHAR* PathGetSettingsIni(DriverContext* context) {
  return PathSelectSettingsIni(context, SettingsFolderSources{PathGetUserDir, PathGetSharedDir});
}

DWORD PathBuildSettingsIniFrom(WCHAR* buffer, DWORD mode, const SettingsFolderSources& folders) {
  if (!buffer) return 0;
  return ComposeIni(kModelDefaults.settingsIniName, mode == 1, nullptr, folders, buffer);
}

DWORD PathBuildSettingsIni(WCHAR* buffer, DWORD mode) {
  return PathBuildSettingsIniFrom(buffer, mode, SettingsFolderSources{NoContextUserDir, NoContextSharedDir});
}

const WCHAR* PathGetApiIni(DriverContext* context) {
  if (!HasWork(context)) return nullptr;
  ContextWorkArea& work = *context->work;
  const WCHAR* name = ContextModelDefaults(context).driverIniName;
  WCHAR built[MAX_PATH] = {};
  DWORD length = 0;
  if (IsDrivePath(name)) {
    length = PathJoin(built, MAX_PATH, {name});
  } else if (const WCHAR* directory = PrnGetDriverDirectory(context); directory && name) {
    length = PathJoin(built, MAX_PATH, {directory, name});
  }
  return Keep(work.driverIniPath, built, length);
}

DWORD PathLocalizeFileName(WStringView name, WStringView code, WCHAR* out, DWORD capacity) {
  if (code.size() != 2) {
    if (out && capacity) out[0] = 0;
    return 0;
  }
  const size_t separator = name.find_last_of(WSTR("\\/"));
  const size_t fileStart = separator == WStringView::npos ? 0 : separator + 1;
  const size_t dot = name.rfind(WCH('.'));
  if (dot == WStringView::npos || dot < fileStart + 2) return PathJoin(out, capacity, {name});
  return PathJoin(out, capacity, {name.substr(0, dot - 2), code, name.substr(dot)});
}

const WCHAR* PathGetLocalizedModelFile(DriverContext* context) {
  if (!HasWork(context)) return nullptr;
  ContextWorkArea& work = *context->work;
  const WCHAR* base = DescGetLangFileBase(context);
  const WCHAR* code = CfgGetHelpLanguageCached(context);
  const WCHAR* directory = base && code ? PrnGetDriverDirectory(context) : nullptr;
  WCHAR localized[MAX_PATH];
  WCHAR built[MAX_PATH];
  DWORD length = 0;
  if (directory && PathLocalizeFileName(base, code, localized, MAX_PATH))
    length = PathJoin(built, MAX_PATH, {directory, localized});
  return Keep(work.localizedModelFile, built, length);
}

const WCHAR* CfgGetHelpLanguageCached(DriverContext* context) {
  if (!HasWork(context)) return nullptr;
  ContextWorkArea& work = *context->work;
  if (work.languageCode[0] == 0) {
    const WCHAR* code = CfgHelpLanguageCode(context);
    if (!code || !PathJoin(work.languageCode, kLanguageCodeChars, {code})) work.languageCode[0] = 0;
  }
  return work.languageCode[0] ? work.languageCode : nullptr;
}
