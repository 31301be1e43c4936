// The process environment as Windows would set it up for the machine's user. Values come from the
// machine root (user, computer name) and never from the host, whose variables mean nothing to a
// Windows program; SetEnvironmentVariableW changes them for this process.
#include <map>
#include <mutex>
#include <optional>

#include "core/files_internal.h"
#include "core/machine_root.h"
#include "core/unicode.h"
#include "core/winerror.h"

namespace velm::platform {

namespace {

struct Variable {
  const char16_t* name;
  bool inProfile;        // the value follows the user's profile folder
  const char16_t* value;  // the rest of the value, or the whole value
};

constexpr Variable kMachineVariables[] = {
    {u"ALLUSERSPROFILE", false, u"C:\\ProgramData"},
    {u"APPDATA", true, u"\\AppData\\Roaming"},
    {u"CommonProgramFiles", false, u"C:\\Program Files\\Common Files"},
    {u"ComSpec", false, u"C:\\Windows\\system32\\cmd.exe"},
    {u"HOMEDRIVE", false, u"C:"},
    {u"LOCALAPPDATA", true, u"\\AppData\\Local"},
    {u"OS", false, u"Windows_NT"},
    {u"Path", false, u"C:\\Windows\\system32;C:\\Windows"},
    {u"ProgramData", false, u"C:\\ProgramData"},
    {u"ProgramFiles", false, u"C:\\Program Files"},
    {u"PUBLIC", false, u"C:\\Users\\Public"},
    {u"SystemDrive", false, u"C:"},
    {u"SystemRoot", false, u"C:\\Windows"},
    {u"TEMP", true, u"\\AppData\\Local\\Temp"},
    {u"TMP", true, u"\\AppData\\Local\\Temp"},
    {u"USERPROFILE", true, u""},
    {u"windir", false, u"C:\\Windows"},
};

std::mutex g_envMutex;
// Variables this process set (a value) or removed (none), by name folded to upper case.
std::map<std::u16string, std::optional<std::u16string>> g_changes;

std::u16string Folded(std::u16string_view name) {
  std::u16string out(name);
  for (char16_t& c : out) c = FoldAscii(c);
  return out;
}

std::optional<std::u16string> MachineValue(std::u16string_view name) {
  if (EqualsNoCase(name, u"USERNAME")) return MachineUser();
  if (EqualsNoCase(name, u"COMPUTERNAME")) return Utf8ToUtf16(MachineSetting("computer", "VELMHOST"));
  if (EqualsNoCase(name, u"HOMEPATH")) return u"\\Users\\" + MachineUser();
  for (const Variable& variable : kMachineVariables) {
    if (!EqualsNoCase(name, variable.name)) continue;
    return variable.inProfile ? u"C:\\Users\\" + MachineUser() + variable.value : std::u16string(variable.value);
  }
  return std::nullopt;
}

std::optional<std::u16string> Lookup(std::u16string_view name) {
  {
    std::lock_guard lock(g_envMutex);
    const auto it = g_changes.find(Folded(name));
    if (it != g_changes.end()) return it->second;
  }
  return MachineValue(name);
}

}  // namespace

}  // namespace velm::platform

using namespace velm::platform;

extern "C" {

DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size) {
  const std::optional<std::u16string> value = name ? Lookup(name) : std::nullopt;
  if (!value) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  SetLastError(ERROR_SUCCESS);
  return CopyPathResult(*value, buffer, size);
}

BOOL SetEnvironmentVariableW(LPCWSTR name, LPCWSTR value) {
  if (!name || !*name || std::u16string_view(name).find(u'=') != std::u16string_view::npos) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard lock(g_envMutex);
  g_changes[Folded(name)] = value ? std::optional<std::u16string>(value) : std::nullopt;
  return TRUE;
}

DWORD ExpandEnvironmentStringsW(LPCWSTR source, LPWSTR destination, DWORD size) {
  if (!source) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::u16string_view text(source);
  std::u16string out;
  size_t at = 0;
  while (at < text.size()) {
    const size_t open = text.find(u'%', at);
    if (open == std::u16string_view::npos) {
      out += text.substr(at);
      break;
    }
    out += text.substr(at, open - at);
    const size_t close = text.find(u'%', open + 1);
    if (close == std::u16string_view::npos) {
      out += text.substr(open);
      break;
    }
    const std::optional<std::u16string> value =
        close > open + 1 ? Lookup(text.substr(open + 1, close - open - 1)) : std::nullopt;
    if (value) {
      out += *value;
      at = close + 1;
    } else {
      // An unknown name stays as written; its closing '%' may open the next name.
      out += text.substr(open, close - open);
      at = close;
    }
  }
  const DWORD needed = static_cast<DWORD>(out.size() + 1);
  if (destination && size >= needed) {
    std::copy(out.begin(), out.end(), destination);
    destination[out.size()] = u'\0';
  }
  return needed;
}

}  // extern "C"
