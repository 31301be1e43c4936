// The library's only way to the system's profile functions: every section name is made safe
// (IniMakeSafeSectionName) in a buffer of its own, and every write is followed by a flush of
// the system's profile cache for that file, so that the INI engine reading the file next sees
// the write.
#pragma once

#include "win32.h"

// GetPrivateProfileIntW on the safe section name; `defaultValue` when the key is absent, when
// the name is longer than 260 characters or when memory for it cannot be had.
UINT IniProfileGetInt(const WCHAR* section, const WCHAR* key, INT defaultValue, const WCHAR* file);

// GetPrivateProfileStringW on the safe section name into `buffer` of `size` characters; its
// answer. When the call cannot be made (name too long, no memory) `defaultValue` is copied (at
// most size-1 characters) and its length answered.
DWORD IniProfileGetString(const WCHAR* section, const WCHAR* key, const WCHAR* defaultValue, WCHAR* buffer,
                          DWORD size, const WCHAR* file);

// The answers of IniProfileLookupString that are not a length.
constexpr LONG kIniLookupAbsent = -1;
constexpr LONG kIniLookupFailed = -2;

// The key's value into `buffer` as IniProfileGetString reads it, telling an absent key from an
// empty value and from a read that could not be made: kIniLookupAbsent (and "") when the key is
// absent or the arguments cannot name one; kIniLookupFailed (and "", last error
// ERROR_NOT_ENOUGH_MEMORY) when memory for the read cannot be had, so that the caller does not
// take a default in place of a stored value; else the characters copied.
LONG IniProfileLookupString(const WCHAR* section, const WCHAR* key, WCHAR* buffer, DWORD size, const WCHAR* file);

// WritePrivateProfileStringW on the safe section name, then the flush call (null section, key
// and value) for the same file. A null key deletes the section, a null value the key. The value
// is written as IniNormalizeValue leaves it, so that the profile functions and the INI engine
// read it back alike; a section or key name they would not (see IniIsWritableName) is refused
// with ERROR_INVALID_PARAMETER. Answers the write's own result and last error, never the
// flush's (which answers FALSE on every system).
BOOL IniProfileWriteString(const WCHAR* section, const WCHAR* key, const WCHAR* value, const WCHAR* file);
