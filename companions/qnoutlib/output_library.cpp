// Stand-in for the maker's output library. A document started on a printer handle gets an output
// handle (a small number); every byte written to it goes into the spooler job open on that
// printer handle (WritePrinter), as a port would send it, and so lands in the machine root's
// job file.
//
// Its behaviour comes from machine settings, read when a document starts:
//   qnoutlib_write_limit  N: a document takes N bytes and no more. The write that reaches the
//                         limit hands on what still fits, then
//   qnoutlib_write_fault  "short": answers TRUE with the shorter count; otherwise (the default,
//                         "fail") answers FALSE with ERROR_WRITE_FAULT. Later writes take nothing.
//   qnoutlib_start        "refuse": the start of a document answers no output handle (0), on
//                         which every write fails.
//   qnoutlib_log          a Windows path: every call but the writes appends a line to that file
//                         ("StartDocEx <printer> <job> -> <handle>", "StartPage <handle>", ...).
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <mutex>

#include "companions/companion_host.h"
#include "win32.h"

namespace {

namespace vp = velm::companion;

struct Document {
  HANDLE printer = nullptr;
  uint64_t taken = 0;
  uint64_t limit = UINT64_MAX;
  bool shortWrite = false;
};

std::mutex g_lock;
vp::Map<DWORD, Document> g_documents;
DWORD g_nextHandle = 1;

uint64_t NumberSetting(const char* key, uint64_t fallback) {
  const vp::String text = vp::Setting(key);
  uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size() ? value : fallback;
}

// Appends a line to the log file the machine names, leaving the caller's last error alone.
void Log(const vp::String& line) {
  const vp::String path = vp::Setting("qnoutlib_log");
  if (path.empty()) return;
  const DWORD error = GetLastError();
  const vp::WText name = vp::FromUtf8(path);
  HANDLE file = CreateFileW(name.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    SetFilePointer(file, 0, nullptr, FILE_END);
    const vp::String text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
  }
  SetLastError(error);
}

vp::String Hex(const void* pointer) {
  char text[24];
  std::snprintf(text, sizeof text, "%#llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(pointer)));
  return text;
}

DWORD HandleNumber(HANDLE output) { return static_cast<DWORD>(reinterpret_cast<uintptr_t>(output)); }

DWORD StartDocument(const char* entry, HANDLE printer, DWORD jobId) {
  DWORD handle = 0;
  if (vp::Setting("qnoutlib_start") != "refuse") {
    Document document;
    document.printer = printer;
    document.limit = NumberSetting("qnoutlib_write_limit", UINT64_MAX);
    document.shortWrite = vp::Setting("qnoutlib_write_fault") == "short";
    std::lock_guard guard(g_lock);
    handle = g_nextHandle++;
    g_documents[handle] = document;
  }
  Log(vp::String(entry) + " " + Hex(printer) + " " + vp::Decimal(jobId) + " -> " + vp::Decimal(handle));
  return handle;
}

void Note(const char* entry, HANDLE output) { Log(vp::String(entry) + " " + vp::Decimal(HandleNumber(output))); }

}  // namespace


DRIVER_EXPORT DWORD WINAPI DrvSplStartDocEx(HANDLE printer, DWORD jobId) try {
  return StartDocument("StartDocEx", printer, jobId);
} catch (...) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return 0;
}

DRIVER_EXPORT DWORD WINAPI DrvSplStartDoc(HANDLE printer, DWORD jobId) try {
  return StartDocument("StartDoc", printer, jobId);
} catch (...) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return 0;
}

DRIVER_EXPORT BOOL WINAPI DrvSplWritePrinter(HANDLE output, LPVOID bytes, DWORD count, LPDWORD written) try {
  if (!written || (!bytes && count)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *written = 0;
  HANDLE printer = nullptr;
  DWORD take = count;
  bool fault = false, shortWrite = false;
  {
    std::lock_guard guard(g_lock);
    const auto found = g_documents.find(HandleNumber(output));
    if (found == g_documents.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    Document& document = found->second;
    printer = document.printer;
    const uint64_t room = document.limit > document.taken ? document.limit - document.taken : 0;
    if (room < count) {
      take = static_cast<DWORD>(room);
      fault = true;
      shortWrite = document.shortWrite;
    }
    document.taken += take;
  }
  DWORD sent = 0;
  if (take > 0 && (!WritePrinter(printer, bytes, take, &sent) || sent != take)) {
    *written = sent;
    return FALSE;
  }
  *written = take;
  if (fault && !shortWrite) {
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  return TRUE;
} catch (...) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return FALSE;
}

DRIVER_EXPORT void WINAPI DrvSplStartPage(HANDLE output) try {
  Note("StartPage", output);
} catch (...) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
}

DRIVER_EXPORT void WINAPI DrvSplEndPage(HANDLE output) try {
  Note("EndPage", output);
} catch (...) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
}

DRIVER_EXPORT void WINAPI DrvSplEndDoc(HANDLE output) try {
  Note("EndDoc", output);
} catch (...) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
}

DRIVER_EXPORT void WINAPI DrvSplClose(HANDLE output) try {
  {
    std::lock_guard guard(g_lock);
    g_documents.erase(HandleNumber(output));  // first, so that a log that cannot be written keeps no document
  }
  Note("Close", output);
} catch (...) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
}
