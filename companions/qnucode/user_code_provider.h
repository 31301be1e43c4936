// The binary contract of a user-code provider library: three ANSI exports bound by name. A
// session is opened, asked for the client's user code into a caller's buffer, and closed.
#pragma once

#include "win32.h"

namespace velm::ucode {

inline constexpr char kOpenExport[] = "ZUCOpenUCDataA";
inline constexpr char kCloseExport[] = "ZUCCloseUCDataA";
inline constexpr char kGetCodeExport[] = "ZUCGetClientUserCodeA";

// The code buffer the caller hands over: ANSI, not necessarily terminated when full.
inline constexpr DWORD kCodeBytes = 32;

// Results: 0 done; kNoCode: the client has no user code (the buffer is left empty); any other
// value is a failure.
inline constexpr DWORD kResultOk = 0;
inline constexpr DWORD kNoCode = 232;

// 0 and *session set, or a failure.
using OpenProc = DWORD(WINAPI*)(HANDLE* session);
using CloseProc = DWORD(WINAPI*)(HANDLE session);
// Fills up to `length` bytes of `code`.
using GetCodeProc = DWORD(WINAPI*)(HANDLE session, LPSTR code, DWORD length);

}  // namespace velm::ucode
