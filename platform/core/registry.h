// The registry, kept in the machine root (<root>/machine/registry).
//
// HKEY_LOCAL_MACHINE is the "machine" hive, HKEY_USERS the "users" hive; HKEY_CURRENT_USER is
// the key under HKEY_USERS named by the machine's "user" setting, HKEY_CLASSES_ROOT is
// "SOFTWARE\Classes" under HKEY_LOCAL_MACHINE, and HKEY_CURRENT_CONFIG is
// "SYSTEM\CurrentControlSet\Hardware Profiles\Current" there. Every call reads the hive
// afresh, so a change made by another process is seen by the next call; every change is made
// under a lock on the hive and written through a temporary file and a rename. A hive that is
// not well formed gives ERROR_BADDB and is never overwritten.
//
// Key and value names compare without regard to ASCII case and keep the case they were
// created with; the empty value name is the key's default value. Data is kept byte for byte
// as set, whatever its type (a REG_SZ is the UTF-16LE bytes the caller passed, usually with
// the terminating NUL). The functions return a Win32 error code and leave the last error alone.
// Handles check access as Windows does: reading values and information needs KEY_QUERY_VALUE,
// enumerating subkeys KEY_ENUMERATE_SUB_KEYS, setting and deleting values KEY_SET_VALUE,
// creating a subkey KEY_CREATE_SUB_KEY (ERROR_ACCESS_DENIED otherwise); deleting keys is not
// checked.
#pragma once

#include "core/wintypes.h"

#define VELM_PREDEFINED_HKEY(value) (reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<LONG>(value))))
#define HKEY_CLASSES_ROOT VELM_PREDEFINED_HKEY(0x80000000)
#define HKEY_CURRENT_USER VELM_PREDEFINED_HKEY(0x80000001)
#define HKEY_LOCAL_MACHINE VELM_PREDEFINED_HKEY(0x80000002)
#define HKEY_USERS VELM_PREDEFINED_HKEY(0x80000003)
#define HKEY_PERFORMANCE_DATA VELM_PREDEFINED_HKEY(0x80000004)
#define HKEY_CURRENT_CONFIG VELM_PREDEFINED_HKEY(0x80000005)
#define HKEY_DYN_DATA VELM_PREDEFINED_HKEY(0x80000006)

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_DWORD_LITTLE_ENDIAN = 4;
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
constexpr DWORD REG_LINK = 6;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;
constexpr DWORD REG_QWORD_LITTLE_ENDIAN = 11;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_OPTION_VOLATILE = 1;
constexpr DWORD REG_OPTION_CREATE_LINK = 2;
constexpr DWORD REG_OPTION_BACKUP_RESTORE = 4;
constexpr DWORD REG_OPTION_OPEN_LINK = 8;

constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_EXECUTE = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

extern "C" {

// Opens `subKey` of `key`, creating it and any missing keys on the way. A null or empty
// subKey opens `key` again. `disposition` (optional) receives REG_CREATED_NEW_KEY or
// REG_OPENED_EXISTING_KEY. A subKey starting with '\' or with an empty component is
// ERROR_BAD_PATHNAME; a name longer than 255 characters ERROR_INVALID_PARAMETER. Classes,
// security attributes and the volatile option are accepted and not kept.
LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM desired,
                     LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
// With full access; a null or empty subKey hands back `key` itself.
LONG RegCreateKeyW(HKEY key, LPCWSTR subKey, PHKEY result);

// Opens an existing key (ERROR_FILE_NOT_FOUND when absent; *result is null on failure).
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result);
// With full access; a null or empty subKey hands back `key` itself.
LONG RegOpenKeyW(HKEY key, LPCWSTR subKey, PHKEY result);

// Closing a predefined key does nothing and succeeds.
LONG RegCloseKey(HKEY key);

// The value's type and data; a null or empty name is the default value. With a null `data`
// and a non-null `dataSize`, only the size is given. ERROR_MORE_DATA with the size needed
// when *dataSize is too small; ERROR_FILE_NOT_FOUND when there is no such value.
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);

// Sets the value to exactly `dataSize` bytes of `data`, of any type.
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName);

// Deletes a key that has no subkeys (ERROR_ACCESS_DENIED when it has some, as Windows does).
// An empty subKey deletes `key` itself.
LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey);

// Deletes subKey with everything below it; a null or empty subKey deletes the values and
// subkeys of `key`, keeping the key.
LONG RegDeleteTreeW(HKEY key, LPCWSTR subKey);

// The index-th subkey, in the key's stable order (names sorted without regard to case).
// *nameLength: in, the buffer in characters; out, the characters copied without the NUL.
// ERROR_MORE_DATA when the name does not fit, ERROR_NO_MORE_ITEMS past the last subkey.
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved, LPWSTR keyClass,
                   LPDWORD classLength, PFILETIME lastWriteTime);

// The index-th value, in the order values were first set; sizes as RegEnumKeyExW for the name
// and as RegQueryValueExW for the data.
LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR valueName, LPDWORD valueNameLength, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD dataSize);

// Counts and longest lengths (names in characters without the NUL, data in bytes) of the
// key's subkeys and values, and its last write time. Every output is optional.
LONG RegQueryInfoKeyW(HKEY key, LPWSTR keyClass, LPDWORD classLength, LPDWORD reserved, LPDWORD subKeys,
                      LPDWORD maxSubKeyLength, LPDWORD maxClassLength, LPDWORD values, LPDWORD maxValueNameLength,
                      LPDWORD maxValueLength, LPDWORD securityDescriptorSize, PFILETIME lastWriteTime);

}  // extern "C"
