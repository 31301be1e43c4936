// The profile (INI file) functions, with Windows' own reading rules and a careful writer.
//
// Files are 8-bit text in the machine's ANSI code page with no byte-order mark; lines are
// written with CR LF, and a lone LF ends a line on reading. Section and key names compare
// without regard to ASCII case; values are trimmed of blanks and lose one pair of matching
// surrounding quotes on reading. There is no cache: every call reads the file afresh, and
// every change is written to a temporary file in the same folder and renamed over the old
// one, keeping every byte outside the lines it changes. A file name without a folder is in
// the Windows directory ("C:\Windows\name.ini"), a null file name is win.ini there.
// A file that starts with a UTF-16 byte-order mark is not read (reads give the default,
// ERROR_INVALID_DATA) and not written (FALSE, ERROR_INVALID_DATA).
#pragma once

#include "core/wintypes.h"

extern "C" {

// Copies the value of `key` in `section` (or `defaultValue`, "" when null, without its
// trailing blanks) into `buffer` of `size` characters. A null key lists the section's keys,
// a null section lists the section names, as NUL-separated lists ended by a second NUL.
// Returns the characters copied without the final NUL; a value cut short returns size-1,
// a list cut short returns size-2 (ERROR_MORE_DATA). ERROR_FILE_NOT_FOUND when the default
// is used.
DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer, DWORD size,
                               LPCWSTR fileName);
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                               LPCSTR fileName);

// The leading number of the value: optional sign, then decimal digits or "0x" and hex
// digits, 32 bits wrapping ("102abc" is 102, "" is 0). `defaultValue` unchanged when the
// key is absent.
UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR fileName);
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName);

// The section's lines ("key=value", quotes kept; comments and blank lines left out) as a
// NUL-separated list ended by a second NUL. Returns the characters copied without the final
// NUL, or size-2 when the list is cut short.
DWORD GetPrivateProfileSectionW(LPCWSTR section, LPWSTR buffer, DWORD size, LPCWSTR fileName);
DWORD GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR fileName);

// The section names as a double-NUL list, with the size rules of GetPrivateProfileSectionW.
DWORD GetPrivateProfileSectionNamesW(LPWSTR buffer, DWORD size, LPCWSTR fileName);
DWORD GetPrivateProfileSectionNamesA(LPSTR buffer, DWORD size, LPCSTR fileName);

// Sets `key` in `section` to `value`, creating the file (not its folder), the section (at
// the end) and the key (after the section's last non-blank line) as needed; a null value
// deletes the key, a null key deletes the section from its header to the next header.
// Section, key and value all null asks for the cache to be flushed: there is none, and the
// call returns FALSE as Windows' does. Names and values that would change the file's
// structure (a line break, ']' in a section name, '=' in a key, a key starting with '[' or
// ';') are refused with ERROR_INVALID_PARAMETER.
BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName);
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName);

// Replaces the section's whole content with `lines` (NUL-separated "key=value" strings
// ended by a second NUL), creating the section at the end when it is absent; null `lines`
// deletes the section.
BOOL WritePrivateProfileSectionW(LPCWSTR section, LPCWSTR lines, LPCWSTR fileName);
BOOL WritePrivateProfileSectionA(LPCSTR section, LPCSTR lines, LPCSTR fileName);

// The same over "C:\Windows\win.ini".
DWORD GetProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer, DWORD size);
DWORD GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size);
UINT GetProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue);
BOOL WriteProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value);
BOOL WriteProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value);

}  // extern "C"
