#include "core/process.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <set>

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "core/handles.h"
#include "core/machine_root.h"
#include "core/path_map.h"
#include "core/system_settings.h"
#include "core/unicode.h"
#include "core/winerror.h"

namespace {

namespace fs = std::filesystem;
using velm::platform::KernelObject;

constexpr size_t kMaxCommandLine = 32767;  // characters, as Windows limits it

// Children get identifiers above any host pid (at most 2^22), stepping by 4 as Windows does.
std::mutex g_childMutex;
DWORD g_nextChildId = 0x01000000;
std::set<DWORD> g_liveChildren;

DWORD NewChildId() {
  std::lock_guard lock(g_childMutex);
  const DWORD id = g_nextChildId;
  g_nextChildId += 4;
  return id;
}

// A child that has exited; waits on it are satisfied at once.
class ExitedProcess : public KernelObject {
 public:
  ExitedProcess(DWORD id, DWORD exitCode) : id_(id), exitCode_(exitCode) {
    std::lock_guard lock(g_childMutex);
    g_liveChildren.insert(id_);
  }
  ~ExitedProcess() override {
    std::lock_guard lock(g_childMutex);
    g_liveChildren.erase(id_);
  }
  DWORD Wait(DWORD) override { return velm::platform::kWaitObject0; }
  DWORD exitCode() const { return exitCode_; }

 private:
  DWORD id_;
  DWORD exitCode_;
};

class ExitedThread : public KernelObject {
 public:
  explicit ExitedThread(DWORD exitCode) : exitCode_(exitCode) {}
  DWORD Wait(DWORD) override { return velm::platform::kWaitObject0; }
  DWORD exitCode() const { return exitCode_; }

 private:
  DWORD exitCode_;
};

const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
const HANDLE kCurrentThread = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

// Length of a caller's string, or nothing when it runs past `limit` characters.
std::optional<size_t> BoundedLength(const WCHAR* text, size_t limit) {
  for (size_t n = 0; n <= limit; ++n)
    if (text[n] == 0) return n;
  return std::nullopt;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

bool HasExtension(std::u16string_view path) {
  const size_t slash = path.find_last_of(u"\\/");
  const size_t dot = path.find_last_of(u'.');
  return dot != std::u16string_view::npos && (slash == std::u16string_view::npos || dot > slash);
}

bool IsBareName(std::u16string_view path) { return path.find_first_of(u"\\/:") == std::u16string_view::npos; }

struct Found {
  velm::platform::MappedPath path;
  DWORD error = ERROR_FILE_NOT_FOUND;
};

// Looks for one program name; on failure found.error is the error of the first place looked at.
bool FindProgram(std::u16string name, bool addExtension, Found& found) {
  if (addExtension && !HasExtension(name)) name += u".exe";
  std::vector<std::u16string> candidates;
  if (IsBareName(name)) {
    for (const std::u16string& dir : {velm::platform::CurrentDirectory(), std::u16string(u"C:\\Windows\\System32"),
                                      std::u16string(u"C:\\Windows\\System"), std::u16string(u"C:\\Windows")})
      candidates.push_back(dir + u"\\" + name);
  } else {
    candidates.push_back(name);
  }
  DWORD firstError = 0;
  for (const std::u16string& candidate : candidates) {
    velm::platform::MappedPath mapped;
    DWORD error = 0;
    std::error_code ec;
    if (velm::platform::MapPath(candidate, mapped, error)) {
      if (fs::is_regular_file(mapped.host, ec)) {
        found.path = std::move(mapped);
        return true;
      }
      error = fs::is_directory(mapped.host.parent_path(), ec) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    }
    if (!firstError) firstError = error;
  }
  found.error = firstError;
  return false;
}

// The program a command line names, tried as Windows tries it.
bool FindProgramInCommandLine(std::u16string_view line, Found& found) {
  size_t start = 0;
  while (start < line.size() && IsBlank(line[start])) ++start;
  line.remove_prefix(start);
  if (line.empty()) {
    found.error = ERROR_INVALID_PARAMETER;
    return false;
  }
  if (line[0] == u'"') {
    const size_t close = line.find(u'"', 1);
    return FindProgram(std::u16string(line.substr(1, close == std::u16string_view::npos ? line.npos : close - 1)),
                       true, found);
  }
  DWORD firstError = 0;
  for (size_t end = 0; end <= line.size(); ++end) {
    if (end < line.size() && !IsBlank(line[end])) continue;
    if (end > 0 && !IsBlank(line[end - 1])) {
      if (FindProgram(std::u16string(line.substr(0, end)), true, found)) return true;
      if (!firstError) firstError = found.error;
    }
  }
  found.error = firstError ? firstError : ERROR_FILE_NOT_FOUND;
  return false;
}

// Log fields are tab-separated lines; '%', tab and line ends inside a field are %-escaped.
std::string EscapeField(std::u16string_view text) {
  std::string out;
  for (char c : velm::platform::Utf16ToUtf8(text)) {
    switch (c) {
      case '%': out += "%25"; break;
      case '\t': out += "%09"; break;
      case '\n': out += "%0A"; break;
      case '\r': out += "%0D"; break;
      default: out += c;
    }
  }
  return out;
}

std::u16string UnescapeField(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const std::string hex(text.substr(i + 1, 2));
      char* end = nullptr;
      const long value = std::strtol(hex.c_str(), &end, 16);
      if (end == hex.c_str() + 2) {
        out += static_cast<char>(value);
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return velm::platform::Utf8ToUtf16(out);
}

fs::path ProcessLog() {
  const fs::path store = velm::platform::MachineStore("");
  return store.empty() ? fs::path() : store / "processes.log";
}

// One write with O_APPEND, so lines from several processes never interleave.
bool AppendRecord(const velm::platform::ProcessRecord& record) {
  const fs::path log = ProcessLog();
  if (log.empty()) return false;
  std::error_code ec;
  fs::create_directories(log.parent_path(), ec);
  const std::string line = EscapeField(record.application) + '\t' + EscapeField(record.commandLine) + '\t' +
                           EscapeField(record.currentDirectory) + '\t' + std::to_string(record.exitCode) + '\n';
  const int fd = ::open(log.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const ssize_t written = ::write(fd, line.data(), line.size());
  ::close(fd);
  return written == static_cast<ssize_t>(line.size());
}

DWORD ChildExitCode() {
  const auto value = velm::platform::IntegerMachineSetting("process_exit");
  if (!value || *value < INT32_MIN || *value > UINT32_MAX) return 0;
  return static_cast<DWORD>(*value);
}

}  // namespace

namespace velm::platform {

std::vector<ProcessRecord> RecordedProcesses() {
  std::vector<ProcessRecord> records;
  const fs::path log = ProcessLog();
  if (log.empty()) return records;
  std::ifstream in(log, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string_view> fields;
    std::string_view rest = line;
    for (size_t tab; (tab = rest.find('\t')) != std::string_view::npos; rest.remove_prefix(tab + 1))
      fields.push_back(rest.substr(0, tab));
    fields.push_back(rest);
    if (fields.size() != 4) continue;
    ProcessRecord record{UnescapeField(fields[0]), UnescapeField(fields[1]), UnescapeField(fields[2]), 0};
    record.exitCode = static_cast<DWORD>(std::strtoul(std::string(fields[3]).c_str(), nullptr, 10));
    records.push_back(std::move(record));
  }
  return records;
}

DWORD MachineSessionId() {
  const auto session = IntegerMachineSetting("session");
  if (session && *session >= 0 && *session <= UINT32_MAX) return static_cast<DWORD>(*session);
  return MachineSwitchIsOn("terminal_server") ? 1 : 0;
}

}  // namespace velm::platform

extern "C" HANDLE GetCurrentProcess(void) { return kCurrentProcess; }
extern "C" HANDLE GetCurrentThread(void) { return kCurrentThread; }
extern "C" DWORD GetCurrentProcessId(void) { return static_cast<DWORD>(::getpid()); }
extern "C" DWORD GetCurrentThreadId(void) { return static_cast<DWORD>(::syscall(SYS_gettid)); }

extern "C" BOOL ProcessIdToSessionId(DWORD processId, DWORD* sessionId) {
  if (!sessionId) return Fail(ERROR_INVALID_PARAMETER);
  bool known = processId == GetCurrentProcessId();
  if (!known) {
    std::lock_guard lock(g_childMutex);
    known = g_liveChildren.count(processId) != 0;
  }
  if (!known) return Fail(ERROR_INVALID_PARAMETER);
  *sessionId = velm::platform::MachineSessionId();
  return TRUE;
}

extern "C" BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES,
                               LPSECURITY_ATTRIBUTES, BOOL, DWORD creationFlags, LPVOID, LPCWSTR currentDirectory,
                               LPSTARTUPINFOW startupInfo, LPPROCESS_INFORMATION processInformation) {
  if ((!applicationName && !commandLine) || !startupInfo || !processInformation)
    return Fail(ERROR_INVALID_PARAMETER);
  if (creationFlags & CREATE_SUSPENDED) return Fail(ERROR_NOT_SUPPORTED);

  std::u16string_view application;
  std::u16string_view line;
  if (applicationName) {
    const auto length = BoundedLength(applicationName, kMaxCommandLine);
    if (!length || *length == 0) return Fail(ERROR_INVALID_PARAMETER);
    application = std::u16string_view(applicationName, *length);
  }
  if (commandLine) {
    const auto length = BoundedLength(commandLine, kMaxCommandLine - 1);
    if (!length) return Fail(ERROR_INVALID_PARAMETER);
    line = std::u16string_view(commandLine, *length);
  }

  Found program;
  const bool found = applicationName ? FindProgram(std::u16string(application), false, program)
                                     : FindProgramInCommandLine(line, program);
  if (!found) return Fail(program.error);

  std::u16string directory = velm::platform::CurrentDirectory();
  if (currentDirectory) {
    const auto length = BoundedLength(currentDirectory, kMaxCommandLine);
    velm::platform::MappedPath mapped;
    DWORD error = 0;
    std::error_code ec;
    if (!length || !velm::platform::MapPath(std::u16string_view(currentDirectory, *length), mapped, error) ||
        !fs::is_directory(mapped.host, ec))
      return Fail(ERROR_DIRECTORY);
    directory = mapped.full;
  }

  velm::platform::ProcessRecord record;
  record.application = program.path.full;
  record.commandLine = commandLine ? std::u16string(line) : std::u16string(application);
  record.currentDirectory = directory;
  record.exitCode = ChildExitCode();
  if (!AppendRecord(record)) return Fail(ERROR_WRITE_FAULT);

  const DWORD processId = NewChildId();
  processInformation->hProcess =
      velm::platform::RegisterHandle(std::make_shared<ExitedProcess>(processId, record.exitCode));
  processInformation->hThread = velm::platform::RegisterHandle(std::make_shared<ExitedThread>(record.exitCode));
  processInformation->dwProcessId = processId;
  processInformation->dwThreadId = NewChildId();
  return TRUE;
}

extern "C" BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
  if (!exitCode) return Fail(ERROR_INVALID_PARAMETER);
  if (process == kCurrentProcess) {
    *exitCode = STILL_ACTIVE;
    return TRUE;
  }
  const auto child = velm::platform::LookupHandleAs<ExitedProcess>(process);
  if (!child) return Fail(ERROR_INVALID_HANDLE);
  *exitCode = child->exitCode();
  return TRUE;
}

extern "C" BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
  if (!exitCode) return Fail(ERROR_INVALID_PARAMETER);
  if (thread == kCurrentThread) {
    *exitCode = STILL_ACTIVE;
    return TRUE;
  }
  const auto child = velm::platform::LookupHandleAs<ExitedThread>(thread);
  if (!child) return Fail(ERROR_INVALID_HANDLE);
  *exitCode = child->exitCode();
  return TRUE;
}

extern "C" BOOL TerminateProcess(HANDLE process, UINT exitCode) {
  if (process == kCurrentProcess) std::_Exit(static_cast<int>(exitCode));
  if (!velm::platform::LookupHandleAs<ExitedProcess>(process)) return Fail(ERROR_INVALID_HANDLE);
  return Fail(ERROR_ACCESS_DENIED);
}
