// Stand-in for a user-code provider that another product installs and registers. Its behaviour
// comes from machine settings, read on every call:
//   qnucode_open   the result of ZUCOpenUCDataA (decimal; default 0)
//   qnucode_get    the result of ZUCGetClientUserCodeA (decimal; default 0)
//   qnucode_code   the code it hands out (ANSI; default empty); "fill" fills the whole buffer
//                  with digits and no terminator
// and, read when the library is loaded:
//   qnucode_exports  the entry points it offers, comma-separated (default "*": all three); the
//                    others are not found by GetProcAddress, as in a build without them
// Opens and closes are logged as lines of <root>/machine/qnucode/calls.log: "open <result>",
// "close".
#include "companions/qnucode/user_code_provider.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstring>
#include <string_view>

#include "companions/companion_host.h"

namespace {

namespace vp = velm::companion;
using namespace velm::ucode;

std::atomic<uintptr_t> g_nextSession{1};

DWORD Number(std::string_view key) {
  const vp::String text = vp::Setting(key, "0");
  DWORD value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() ? value : ERROR_INVALID_DATA;
}

// Whether the comma-separated `list` names `entry`.
bool Lists(std::string_view list, std::string_view entry) {
  while (!list.empty()) {
    const size_t comma = std::min(list.find(','), list.size());
    if (list.substr(0, comma) == entry) return true;
    list.remove_prefix(std::min(comma + 1, list.size()));
  }
  return false;
}

void Log(std::string_view line) {
  vp::String text(line);
  text += '\n';
  vp::AppendToFile(vp::StoreFolder("qnucode") / "calls.log", text);
}

}  // namespace

DRIVER_EXPORT BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) try {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  const vp::String offered = vp::Setting("qnucode_exports", "*");
  if (offered == "*") return TRUE;
  for (const char* entry : {kOpenExport, kCloseExport, kGetCodeExport})
    if (!Lists(offered, entry)) vp::WithholdExport(instance, entry);
  return TRUE;
} catch (...) {
  return FALSE;
}

DRIVER_EXPORT DWORD WINAPI ZUCOpenUCDataA(HANDLE* session) try {
  if (!session) return ERROR_INVALID_PARAMETER;
  const DWORD result = Number("qnucode_open");
  vp::String line("open ");
  char digits[16] = {};
  line.append(digits, std::to_chars(digits, digits + sizeof digits, result).ptr);
  Log(line);
  *session = result == kResultOk ? reinterpret_cast<HANDLE>(g_nextSession++) : nullptr;
  return result;
} catch (...) {
  return ERROR_NOT_ENOUGH_MEMORY;
}

DRIVER_EXPORT DWORD WINAPI ZUCGetClientUserCodeA(HANDLE session, LPSTR code, DWORD length) try {
  if (!session || !code) return ERROR_INVALID_PARAMETER;
  const DWORD result = Number("qnucode_get");
  if (result != kResultOk) return result;
  const vp::String text = vp::Setting("qnucode_code");
  if (text == "fill") {
    for (DWORD i = 0; i < length; ++i) code[i] = static_cast<char>('0' + i % 10);
    return kResultOk;
  }
  if (text.size() >= length) return ERROR_INSUFFICIENT_BUFFER;
  std::memcpy(code, text.data(), text.size());
  code[text.size()] = 0;
  return kResultOk;
} catch (...) {
  return ERROR_NOT_ENOUGH_MEMORY;
}

DRIVER_EXPORT DWORD WINAPI ZUCCloseUCDataA(HANDLE session) try {
  if (!session) return ERROR_INVALID_HANDLE;
  Log("close");
  return kResultOk;
} catch (...) {
  return ERROR_NOT_ENOUGH_MEMORY;
}
