// This process, its threads and the processes it starts.
//
// CreateProcessW runs no host program. It finds the program file as Windows would (mapped with
// MapPath; ERROR_FILE_NOT_FOUND when it is missing), appends a record of the call to
// <root>/machine/processes.log (RecordedProcesses reads it back), and the child exits at once
// with the exit code of the "process_exit" setting (0 when unset). Its process and thread
// handles are signalled, so a wait on them returns WAIT_OBJECT_0 at once.
//
// Sessions: the "session" setting, else 1 in a terminal-server session ("terminal_server"
// is "1") and 0 otherwise.
#pragma once

#include <string>
#include <vector>

#include "core/wintypes.h"

constexpr DWORD STILL_ACTIVE = 259;

constexpr DWORD DEBUG_PROCESS = 0x00000001;
constexpr DWORD CREATE_SUSPENDED = 0x00000004;
constexpr DWORD DETACHED_PROCESS = 0x00000008;
constexpr DWORD CREATE_NEW_CONSOLE = 0x00000010;
constexpr DWORD NORMAL_PRIORITY_CLASS = 0x00000020;
constexpr DWORD CREATE_UNICODE_ENVIRONMENT = 0x00000400;
constexpr DWORD CREATE_NO_WINDOW = 0x08000000;

constexpr DWORD STARTF_USESHOWWINDOW = 0x00000001;
constexpr DWORD STARTF_USESTDHANDLES = 0x00000100;

struct STARTUPINFOW {
  DWORD cb;
  LPWSTR lpReserved;
  LPWSTR lpDesktop;
  LPWSTR lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  LPBYTE lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
};
using LPSTARTUPINFOW = STARTUPINFOW*;
static_assert(sizeof(STARTUPINFOW) == 104);

struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;

extern "C" {
// Pseudo handles that stand for the caller's own process (-1) and thread (-2).
HANDLE GetCurrentProcess(void);
HANDLE GetCurrentThread(void);
DWORD GetCurrentProcessId(void);
DWORD GetCurrentThreadId(void);
// The session of this process or of a child whose handle is still open; ERROR_INVALID_PARAMETER
// for any other identifier.
BOOL ProcessIdToSessionId(DWORD processId, DWORD* sessionId);

// The program is `applicationName` when given (no search, no ".exe" added), else the first
// item of `commandLine`: quoted, or unquoted with each blank-separated prefix tried in turn
// ("C:\Program Files\x.exe" tries "C:\Program.exe" first), ".exe" added when the name has no
// extension, and a bare name looked for in the current, system and Windows folders.
// `currentDirectory` must be an existing folder (else ERROR_DIRECTORY). CREATE_SUSPENDED is
// refused with ERROR_NOT_SUPPORTED: a child that has already exited cannot be resumed.
// The caller closes both handles of *processInformation.
BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                    LPPROCESS_INFORMATION processInformation);
// STILL_ACTIVE for the caller's own process or thread.
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
// Ends the caller's own process at once; a child has always exited already, which Windows
// answers with FALSE and ERROR_ACCESS_DENIED.
BOOL TerminateProcess(HANDLE process, UINT exitCode);
}

namespace velm::platform {

// One CreateProcessW call as the machine recorded it.
struct ProcessRecord {
  std::u16string application;       // the program file found, "C:\Tools\x.exe"
  std::u16string commandLine;       // as passed (the application name when none was)
  std::u16string currentDirectory;  // the child's current folder, normalised
  DWORD exitCode = 0;
};

// Every call recorded in the current machine root, oldest first (by any process).
std::vector<ProcessRecord> RecordedProcesses();

// The terminal-services session this machine's processes run in.
DWORD MachineSessionId();

}  // namespace velm::platform
