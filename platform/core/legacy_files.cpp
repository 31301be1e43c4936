// The 16-bit file calls, kept by Windows for old code: ANSI paths (the machine's code page) and
// int-sized handles, over CreateFileW and the calls that take its handle.
#include <climits>
#include <cstring>
#include <string>

#include "core/codepage.h"
#include "core/files_internal.h"
#include "core/winerror.h"

namespace velm::platform {

namespace {

// The wide form of an ANSI path; false with the last error set.
bool WidePath(LPCSTR path, std::u16string& wide) {
  if (!path) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  if (::strnlen(path, MAX_PATH) == MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  const int units = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
  if (units <= 0) return false;
  wide.resize(static_cast<size_t>(units));
  if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide.data(), units) != units) return false;
  wide.pop_back();  // the converted NUL
  return true;
}

HFILE ToHfile(HANDLE handle) {
  if (handle == INVALID_HANDLE_VALUE) return HFILE_ERROR;
  const auto value = reinterpret_cast<uintptr_t>(handle);
  if (value > static_cast<uintptr_t>(INT_MAX)) {
    // Cannot be told apart from a failure in an int: refuse rather than hand out a broken handle.
    CloseHandle(handle);
    SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    return HFILE_ERROR;
  }
  return static_cast<HFILE>(value);
}

HANDLE ToHandle(HFILE file) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(file)); }

}  // namespace

}  // namespace velm::platform

using namespace velm::platform;

extern "C" {

HFILE _lopen(LPCSTR pathName, int readWrite) {
  static constexpr DWORD kAccess[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
  DWORD share;
  switch (readWrite & 0x70) {
    case OF_SHARE_COMPAT:
    case OF_SHARE_DENY_NONE: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    case OF_SHARE_EXCLUSIVE: share = 0; break;
    case OF_SHARE_DENY_WRITE: share = FILE_SHARE_READ; break;
    case OF_SHARE_DENY_READ: share = FILE_SHARE_WRITE; break;
    default: share = ~DWORD{0};
  }
  if ((readWrite & 3) == 3 || (readWrite & ~0x73) || share == ~DWORD{0}) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return HFILE_ERROR;
  }
  std::u16string wide;
  if (!WidePath(pathName, wide)) return HFILE_ERROR;
  return ToHfile(CreateFileW(wide.c_str(), kAccess[readWrite & 3], share, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
}

HFILE _lcreat(LPCSTR pathName, int attribute) {
  if (attribute & ~7) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return HFILE_ERROR;
  }
  std::u16string wide;
  if (!WidePath(pathName, wide)) return HFILE_ERROR;
  const DWORD attributes = attribute ? static_cast<DWORD>(attribute) : FILE_ATTRIBUTE_NORMAL;
  return ToHfile(CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             CREATE_ALWAYS, attributes, nullptr));
}

UINT _lread(HFILE file, LPVOID buffer, UINT bytes) {
  DWORD read = 0;
  if (!ReadFile(ToHandle(file), buffer, bytes, &read, nullptr)) return static_cast<UINT>(HFILE_ERROR);
  return read;
}

UINT _lwrite(HFILE file, LPCSTR buffer, UINT bytes) {
  if (bytes == 0) return SetEndOfFile(ToHandle(file)) ? 0 : static_cast<UINT>(HFILE_ERROR);
  DWORD written = 0;
  if (!WriteFile(ToHandle(file), buffer, bytes, &written, nullptr)) return static_cast<UINT>(HFILE_ERROR);
  return written;
}

LONG _llseek(HFILE file, LONG offset, int origin) {
  if (origin < 0 || origin > 2) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return HFILE_ERROR;
  }
  const DWORD position = SetFilePointer(ToHandle(file), offset, nullptr, static_cast<DWORD>(origin));
  if (position == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) return HFILE_ERROR;
  return static_cast<LONG>(position);
}

HFILE _lclose(HFILE file) { return CloseHandle(ToHandle(file)) ? 0 : HFILE_ERROR; }

}  // extern "C"
