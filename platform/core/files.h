// Files, folders and paths over the machine root. Every path is a Windows path, mapped onto the
// host by MapPath (core/path_map.h); nothing here opens a host path derived any other way, and a
// path that a host symlink would lead out of the root is refused with ERROR_ACCESS_DENIED.
//
// Sharing follows Windows: an open that asks for access another open denies, or denies access
// another open holds, fails with ERROR_SHARING_VIOLATION, between threads and between processes.
// FILE_ATTRIBUTE_READONLY is the host file's write permission (and is enforced even for a
// privileged host user); the other attributes are kept in a side store of the machine root.
#pragma once

#include <cstdint>
#include <string>

#include "core/wintypes.h"

// Access rights.
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD GENERIC_EXECUTE = 0x20000000;
constexpr DWORD GENERIC_ALL = 0x10000000;
constexpr DWORD DELETE = 0x00010000;
constexpr DWORD FILE_READ_DATA = 0x0001;
constexpr DWORD FILE_WRITE_DATA = 0x0002;
constexpr DWORD FILE_APPEND_DATA = 0x0004;
constexpr DWORD FILE_READ_ATTRIBUTES = 0x0080;
constexpr DWORD FILE_WRITE_ATTRIBUTES = 0x0100;

// Share modes.
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;

// Creation dispositions.
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;

// Attributes.
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x0001;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x0002;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x0004;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x0010;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x0020;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x0080;
constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x0100;
constexpr DWORD FILE_ATTRIBUTE_OFFLINE = 0x1000;
constexpr DWORD FILE_ATTRIBUTE_NOT_CONTENT_INDEXED = 0x2000;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

// Flags of CreateFileW's dwFlagsAndAttributes.
constexpr DWORD FILE_FLAG_WRITE_THROUGH = 0x80000000;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;
constexpr DWORD FILE_FLAG_NO_BUFFERING = 0x20000000;
constexpr DWORD FILE_FLAG_RANDOM_ACCESS = 0x10000000;
constexpr DWORD FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000;
constexpr DWORD FILE_FLAG_DELETE_ON_CLOSE = 0x04000000;
constexpr DWORD FILE_FLAG_BACKUP_SEMANTICS = 0x02000000;

// File pointer and size.
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;
constexpr DWORD FILE_TYPE_UNKNOWN = 0x0000;
constexpr DWORD FILE_TYPE_DISK = 0x0001;

// MoveFileExW.
constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x2;
constexpr DWORD MOVEFILE_DELAY_UNTIL_REBOOT = 0x4;
constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x8;

// File mapping.
constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD PAGE_READWRITE = 0x04;
constexpr DWORD PAGE_WRITECOPY = 0x08;
constexpr DWORD SEC_COMMIT = 0x08000000;
constexpr DWORD FILE_MAP_COPY = 0x0001;
constexpr DWORD FILE_MAP_WRITE = 0x0002;
constexpr DWORD FILE_MAP_READ = 0x0004;
constexpr DWORD FILE_MAP_ALL_ACCESS = 0x000F001F;

// Known folders.
constexpr DWORD KF_FLAG_DONT_VERIFY = 0x00004000;
constexpr DWORD KF_FLAG_CREATE = 0x00008000;
inline constexpr KNOWNFOLDERID FOLDERID_LocalAppDataLow = {0xA520A1A4, 0x1780, 0x4FF6, {0xBD, 0x18, 0x16, 0x73, 0x43, 0xC5, 0xAF, 0x16}};
inline constexpr KNOWNFOLDERID FOLDERID_LocalAppData = {0xF1B32785, 0x6FBA, 0x4FCF, {0x9D, 0x55, 0x7B, 0x8E, 0x7F, 0x15, 0x70, 0x91}};
inline constexpr KNOWNFOLDERID FOLDERID_RoamingAppData = {0x3EB685DB, 0x65F9, 0x4CF6, {0xA0, 0x3A, 0xE3, 0xEF, 0x65, 0x72, 0x9F, 0x3D}};
inline constexpr KNOWNFOLDERID FOLDERID_ProgramData = {0x62AB5D82, 0xFDC1, 0x4DC3, {0xA9, 0xDD, 0x07, 0x0D, 0x1D, 0x49, 0x5D, 0x97}};
inline constexpr KNOWNFOLDERID FOLDERID_Profile = {0x5E6C858F, 0x0E22, 0x4760, {0x9A, 0xFE, 0xEA, 0x33, 0x17, 0xB6, 0x71, 0x73}};
inline constexpr KNOWNFOLDERID FOLDERID_Windows = {0xF38BF404, 0x1D43, 0x42F2, {0x93, 0x05, 0x67, 0xDE, 0x0B, 0x28, 0xFC, 0x23}};
inline constexpr KNOWNFOLDERID FOLDERID_System = {0x1AC14E77, 0x02E7, 0x4E5D, {0xB7, 0x44, 0x2E, 0xB1, 0xAE, 0x51, 0x98, 0xB7}};
inline constexpr KNOWNFOLDERID FOLDERID_ProgramFiles = {0x905E63B6, 0xC1BF, 0x494E, {0xB2, 0x9C, 0x65, 0xB7, 0x32, 0xD3, 0xD2, 0x1A}};

// The 16-bit file calls.
using HFILE = int;
constexpr HFILE HFILE_ERROR = -1;
constexpr int OF_READ = 0x0000;
constexpr int OF_WRITE = 0x0001;
constexpr int OF_READWRITE = 0x0002;
constexpr int OF_SHARE_COMPAT = 0x0000;
constexpr int OF_SHARE_EXCLUSIVE = 0x0010;
constexpr int OF_SHARE_DENY_WRITE = 0x0020;
constexpr int OF_SHARE_DENY_READ = 0x0030;
constexpr int OF_SHARE_DENY_NONE = 0x0040;

struct OVERLAPPED {
  ULONG_PTR Internal;
  ULONG_PTR InternalHigh;
  union {
    struct {
      DWORD Offset;
      DWORD OffsetHigh;
    } s;
    PVOID Pointer;
  } u;
  HANDLE hEvent;
};
using LPOVERLAPPED = OVERLAPPED*;

struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  WCHAR cFileName[MAX_PATH];
  WCHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;
using PWIN32_FIND_DATAW = WIN32_FIND_DATAW*;
static_assert(sizeof(WIN32_FIND_DATAW) == 592);
static_assert(offsetof(WIN32_FIND_DATAW, nFileSizeHigh) == 28);
static_assert(offsetof(WIN32_FIND_DATAW, cFileName) == 44);
static_assert(offsetof(WIN32_FIND_DATAW, cAlternateFileName) == 564);

enum GET_FILEEX_INFO_LEVELS { GetFileExInfoStandard = 0, GetFileExMaxInfoLevel = 1 };
struct WIN32_FILE_ATTRIBUTE_DATA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
};
using LPWIN32_FILE_ATTRIBUTE_DATA = WIN32_FILE_ATTRIBUTE_DATA*;
static_assert(sizeof(WIN32_FILE_ATTRIBUTE_DATA) == 36);

extern "C" {

// ---- Handles to open files (files.cpp) ----

// Opens or creates a file. OPEN_ALWAYS and CREATE_ALWAYS leave ERROR_ALREADY_EXISTS as the last
// error when the file was there (0 otherwise). The parent folder must exist. A folder opens only
// with FILE_FLAG_BACKUP_SEMANTICS (for its times); otherwise ERROR_ACCESS_DENIED.
// FILE_FLAG_WRITE_THROUGH makes every write durable before WriteFile returns.
// Returns INVALID_HANDLE_VALUE on failure.
HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
// Reads up to `toRead` bytes at the file pointer (or at the OVERLAPPED offset). At the end of the
// file: TRUE with 0 bytes read.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped);
// Writes all bytes or fails; on failure `*written` holds the bytes that did reach the file.
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED overlapped);
// Moves the file pointer. Without `distanceHigh` the distance is a signed 32-bit value and the new
// position must fit 32 bits. INVALID_SET_FILE_POINTER with ERROR_NEGATIVE_SEEK before the start;
// the last error is 0 on success (the low part may legitimately be 0xFFFFFFFF).
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD moveMethod);
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER newPosition, DWORD moveMethod);
// Cuts or extends the file at the file pointer. ERROR_USER_MAPPED_FILE while a view would lose bytes.
BOOL SetEndOfFile(HANDLE file);
// Low part of the size; the high part into `sizeHigh` when given. INVALID_FILE_SIZE on failure.
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER size);
BOOL FlushFileBuffers(HANDLE file);
// Any argument may be null. Creation time is the host's birth time where it keeps one, else the
// last-write time.
BOOL GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite);
// Sets the last-access and last-write times (null leaves one as it is). The host keeps no settable
// creation time, so a creation time is accepted and not stored.
BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess, const FILETIME* lastWrite);
DWORD GetFileType(HANDLE file);

// ---- Files and folders by name (file_operations.cpp) ----

// A read-only file is refused (ERROR_ACCESS_DENIED), as is a folder; an open file that does not
// share delete access gives ERROR_SHARING_VIOLATION.
BOOL DeleteFileW(LPCWSTR fileName);
// Copies contents, attributes and last-write time. `failIfExists` and an existing target:
// ERROR_FILE_EXISTS. A partly written copy is removed.
BOOL CopyFileW(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists);
// MoveFileExW with MOVEFILE_COPY_ALLOWED.
BOOL MoveFileW(LPCWSTR existingFileName, LPCWSTR newFileName);
// Renames a file or folder. An existing target without MOVEFILE_REPLACE_EXISTING: ERROR_ALREADY_EXISTS;
// a folder, a read-only file or an open file as target: ERROR_ACCESS_DENIED. Between drives a file
// moves only with MOVEFILE_COPY_ALLOWED (ERROR_NOT_SAME_DEVICE), a folder never.
// MOVEFILE_DELAY_UNTIL_REBOOT is not supported (ERROR_INVALID_PARAMETER).
BOOL MoveFileExW(LPCWSTR existingFileName, LPCWSTR newFileName, DWORD flags);
BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES security);
// ERROR_DIR_NOT_EMPTY, ERROR_DIRECTORY for a file, ERROR_SHARING_VIOLATION for the current directory.
BOOL RemoveDirectoryW(LPCWSTR pathName);
DWORD GetFileAttributesW(LPCWSTR fileName);
BOOL GetFileAttributesExW(LPCWSTR fileName, GET_FILEEX_INFO_LEVELS level, LPVOID info);
// Keeps READONLY, HIDDEN, SYSTEM, ARCHIVE, TEMPORARY, OFFLINE and NOT_CONTENT_INDEXED;
// FILE_ATTRIBUTE_NORMAL alone clears them. Other bits are ignored, as Windows ignores them.
BOOL SetFileAttributesW(LPCWSTR fileName, DWORD attributes);

// ---- Searching folders (find_files.cpp) ----

// Lists the entries of a folder whose names match the last component of `pattern` ('*' and '?',
// without regard to case; "*.*" matches every name). Every folder but a volume's root lists
// "." and ".." first; the rest come in name order.
// ERROR_FILE_NOT_FOUND when nothing matches, ERROR_PATH_NOT_FOUND when the folder is missing.
HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW findData);
// FALSE with ERROR_NO_MORE_FILES after the last entry.
BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW findData);
BOOL FindClose(HANDLE find);

// ---- Paths and the machine's folders (folders.cpp) ----
// The functions that fill a character buffer return the length copied (without the NUL) or,
// when the buffer is too small, the size needed including the NUL, leaving the buffer untouched.

DWORD GetFullPathNameW(LPCWSTR fileName, DWORD bufferLength, LPWSTR buffer, LPWSTR* filePart);
DWORD GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer);
// The folder must exist: ERROR_FILE_NOT_FOUND, or ERROR_DIRECTORY for a file.
BOOL SetCurrentDirectoryW(LPCWSTR pathName);
// Paths here have no short forms: both return the path as given once it is known to exist.
DWORD GetLongPathNameW(LPCWSTR shortPath, LPWSTR longPath, DWORD bufferLength);
DWORD GetShortPathNameW(LPCWSTR longPath, LPWSTR shortPath, DWORD bufferLength);
// "C:\Users\<user>\AppData\Local\Temp\", the user being the machine's.
DWORD GetTempPathW(DWORD bufferLength, LPWSTR buffer);
// "<path>\<up to 3 prefix characters><hex>.TMP" into a MAX_PATH buffer. With unique 0 a free
// number is found and the empty file created; otherwise the name is only formed. Returns the number.
UINT GetTempFileNameW(LPCWSTR pathName, LPCWSTR prefixString, UINT unique, LPWSTR tempFileName);
UINT GetSystemDirectoryW(LPWSTR buffer, UINT size);         // "C:\Windows\system32"
UINT GetWindowsDirectoryW(LPWSTR buffer, UINT size);        // "C:\Windows"
UINT GetSystemWindowsDirectoryW(LPWSTR buffer, UINT size);  // "C:\Windows"
// The known folder as a block from CoTaskMemAlloc that the caller frees with CoTaskMemFree;
// *path is null on failure. A folder that does not exist fails with HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)
// unless KF_FLAG_CREATE (creates it) or KF_FLAG_DONT_VERIFY is given. Unknown folder: E_INVALIDARG.
HRESULT SHGetKnownFolderPath(REFKNOWNFOLDERID folderId, DWORD flags, HANDLE token, PWSTR* path);
// "C:\Users\<user>". *size is in characters with the NUL; too small (or no buffer):
// ERROR_INSUFFICIENT_BUFFER with the size needed in *size.
BOOL GetUserProfileDirectoryW(HANDLE token, LPWSTR profileDir, LPDWORD size);

// ---- The environment (environment.cpp) ----
// The variables come from the machine root, never from the host, and SetEnvironmentVariableW
// changes them for this process only.

// Length without the NUL; too small: the size needed with the NUL. Absent: 0, ERROR_ENVVAR_NOT_FOUND.
DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size);
// A null value removes the variable.
BOOL SetEnvironmentVariableW(LPCWSTR name, LPCWSTR value);
// Replaces every %NAME% of a known variable; unknown ones stay as written. Returns the size of the
// result in characters including the NUL; when that exceeds `size` the destination is not written.
DWORD ExpandEnvironmentStringsW(LPCWSTR source, LPWSTR destination, DWORD size);

// ---- File mapping (file_mapping.cpp) ----

// A mapping of an open file (its size when both size parts are 0; a PAGE_READWRITE mapping larger
// than the file extends it) or, with INVALID_HANDLE_VALUE, of zeroed memory of the given size.
// A name already in use in this process gives a new handle to that mapping and ERROR_ALREADY_EXISTS.
HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCWSTR name);
// The view keeps its mapping alive after the mapping's handle is closed. The offset must be a
// multiple of 64 KiB (ERROR_MAPPED_ALIGNMENT); 0 bytes maps to the end of the mapping.
LPVOID MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes);
BOOL UnmapViewOfFile(LPCVOID baseAddress);
BOOL FlushViewOfFile(LPCVOID baseAddress, SIZE_T bytes);

// ---- The 16-bit file calls, with ANSI paths (legacy_files.cpp) ----

HFILE _lopen(LPCSTR pathName, int readWrite);
// Creates or truncates; attribute 0 normal, 1 read-only, 2 hidden, 4 system.
HFILE _lcreat(LPCSTR pathName, int attribute);
// Bytes read, or HFILE_ERROR.
UINT _lread(HFILE file, LPVOID buffer, UINT bytes);
// Bytes written, or HFILE_ERROR. Writing 0 bytes cuts the file at the file pointer.
UINT _lwrite(HFILE file, LPCSTR buffer, UINT bytes);
LONG _llseek(HFILE file, LONG offset, int origin);
HFILE _lclose(HFILE file);

}  // extern "C"

namespace velm::platform {

// Failure injection for tests. A fault applies to files whose normalised Windows path ends with
// `pathSuffix` (compared without regard to case; empty matches every file).
enum class FileFaultKind {
  kOpen,   // the next open (CreateFileW and the calls built on it) fails; the fault is then spent
  kRead,   // reads fail once `afterBytes` bytes have been read from matching files
  kWrite,  // writes fail once `afterBytes` bytes have been written to matching files; the write
           // that crosses the limit writes only the bytes before it
};
struct FileFault {
  FileFaultKind kind = FileFaultKind::kOpen;
  std::u16string pathSuffix;
  uint64_t afterBytes = 0;
  DWORD error = 0;  // 0: ERROR_ACCESS_DENIED (open), ERROR_READ_FAULT (read), ERROR_DISK_FULL (write)
};
void SetFileFault(const FileFault& fault);
void ClearFileFaults();

}  // namespace velm::platform
