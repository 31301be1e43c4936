// String functions over UTF-16 (WCHAR) and 8-bit ANSI text: the Win32 lstr/Char functions, the
// safe-string (StringCch/StringCb) family and the C-runtime helpers the driver calls.
// Case-insensitive comparisons fold ASCII letters only, so every reader of a name agrees
// whatever the locale. 8-bit functions that walk characters follow the ANSI code page and never
// split a double-byte character.
//
// Every printf-style function here formats with one engine (FormatWideV) with the wide-printf
// rules of Windows: %s %ls %ws wide string, %S %hs narrow (ANSI) string, %c %lc wide char,
// %C %hc narrow char; d i u o x X with hh h l (32-bit: l is LONG) ll I64 I32 I z t j; %p as
// 16 upper-case hex digits; e E f F g G a A; flags - + 0 space #, width and precision given
// or '*'; %%. A null string prints "(null)". %n and unknown conversions make the format
// invalid. Output is always bounded by the buffer and NUL-terminated.
#pragma once

#include <cstdarg>
#include <cstddef>
// Before the WCHAR overloads below: the standard library takes the address of wcstol, wcstoul
// and vswprintf, which must then name the host's functions alone.
#include <cwchar>
#include <string>

#include "core/wintypes.h"

constexpr HRESULT STRSAFE_E_INSUFFICIENT_BUFFER = static_cast<HRESULT>(0x8007007A);
constexpr HRESULT STRSAFE_E_INVALID_PARAMETER = static_cast<HRESULT>(0x80070057);
constexpr size_t STRSAFE_MAX_CCH = 2147483647;

extern "C" {
// lstr functions take null as "" where Windows survives it; copies to a null target give null.
int lstrlenW(LPCWSTR text);
LPWSTR lstrcpyW(LPWSTR target, LPCWSTR source);
// Copies at most max-1 units and a NUL; max <= 0 writes nothing.
LPWSTR lstrcpynW(LPWSTR target, LPCWSTR source, int max);
LPWSTR lstrcatW(LPWSTR target, LPCWSTR source);
// Ordinal by UTF-16 unit: negative, zero or positive.
int lstrcmpW(LPCWSTR a, LPCWSTR b);
int lstrcmpiW(LPCWSTR a, LPCWSTR b);
int lstrlenA(LPCSTR text);
// Copies at most max-1 bytes and a NUL, cutting only between characters of the ANSI code page.
LPSTR lstrcpynA(LPSTR target, LPCSTR source, int max);
int lstrcmpA(LPCSTR a, LPCSTR b);
// Folds single-byte ASCII letters only; the bytes of a double-byte character compare as they are.
int lstrcmpiA(LPCSTR a, LPCSTR b);

// Converts the string in place, or, when the pointer's high bits are zero, the one character
// in its low word (returned the same way). Maps the letters of code page 1252: ASCII,
// Latin-1, and Š Œ Ž Ÿ with their small letters.
LPWSTR CharUpperW(LPWSTR text);
LPWSTR CharLowerW(LPWSTR text);
DWORD CharUpperBuffW(LPWSTR text, DWORD length);
DWORD CharLowerBuffW(LPWSTR text, DWORD length);
// Steps over one character of the ANSI code page (a double-byte character is one step).
LPSTR CharNextA(LPCSTR current);
LPSTR CharPrevA(LPCSTR start, LPCSTR current);

// The target holds 1024 units: at most 1023 are formatted and a NUL. Returns the units stored;
// an invalid format stores "" and returns 0.
int wsprintfW(LPWSTR target, LPCWSTR format, ...);
int wvsprintfW(LPWSTR target, LPCWSTR format, va_list args);

// Safe-string functions: S_OK; STRSAFE_E_INSUFFICIENT_BUFFER with the result cut to fit and
// NUL-terminated; STRSAFE_E_INVALID_PARAMETER for a null pointer, a size of 0 or over
// STRSAFE_MAX_CCH, a target without NUL (Cat) or an invalid format (the target, when it has
// room, is then "").
HRESULT StringCchCopyW(LPWSTR target, size_t targetCch, LPCWSTR source);
HRESULT StringCchCopyNW(LPWSTR target, size_t targetCch, LPCWSTR source, size_t sourceMaxCch);
HRESULT StringCchCatW(LPWSTR target, size_t targetCch, LPCWSTR source);
HRESULT StringCchPrintfW(LPWSTR target, size_t targetCch, LPCWSTR format, ...);
HRESULT StringCchVPrintfW(LPWSTR target, size_t targetCch, LPCWSTR format, va_list args);
// *length gets the units before the NUL; no NUL within maxCch is STRSAFE_E_INVALID_PARAMETER.
HRESULT StringCchLengthW(LPCWSTR text, size_t maxCch, size_t* length);
HRESULT StringCbCopyW(LPWSTR target, size_t targetBytes, LPCWSTR source);
HRESULT StringCbCatW(LPWSTR target, size_t targetBytes, LPCWSTR source);
HRESULT StringCbPrintfW(LPWSTR target, size_t targetBytes, LPCWSTR format, ...);
}

// C-runtime helpers for WCHAR, as overloads of the host's wchar_t names (or the Windows
// underscore names). The wcs* copies are unbounded as in C, except where a count is given.
size_t wcslen(const WCHAR* text);
WCHAR* wcscpy(WCHAR* target, const WCHAR* source);
// As in C: pads with NULs up to count and does not terminate a source of count units or more.
WCHAR* wcsncpy(WCHAR* target, const WCHAR* source, size_t count);
WCHAR* wcscat(WCHAR* target, const WCHAR* source);
// Appends at most count units and always a NUL.
WCHAR* wcsncat(WCHAR* target, const WCHAR* source, size_t count);
int wcscmp(const WCHAR* a, const WCHAR* b);
int wcsncmp(const WCHAR* a, const WCHAR* b, size_t count);
// As the C runtime declares them: one function each, a non-const result from const text.
WCHAR* wcschr(const WCHAR* text, WCHAR c);
WCHAR* wcsrchr(const WCHAR* text, WCHAR c);
WCHAR* wcsstr(const WCHAR* text, const WCHAR* part);
// ASCII-folding comparisons, ordered by the lower-case letter as the C runtime orders them.
int _wcsicmp(const WCHAR* a, const WCHAR* b);
int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t count);
int _stricmp(const char* a, const char* b);
int _strnicmp(const char* a, const char* b, size_t count);
// Skip blanks, take an optional sign and decimal digits, stop at the first non-digit; a value
// out of 32-bit range gives INT32_MAX or INT32_MIN (and errno ERANGE). Null gives 0.
int _wtoi(const WCHAR* text);
LONG _wtol(const WCHAR* text);
// Radix 2..36 (else "" and errno EINVAL); a minus sign only for negative values in radix 10.
// The target must hold 33 units.
WCHAR* _itow(int value, WCHAR* target, int radix);
WCHAR* _ltow(LONG value, WCHAR* target, int radix);
WCHAR* _ultow(ULONG value, WCHAR* target, int radix);
// As C's strtol/strtoul over 32-bit LONG/ULONG: base 0 reads 0x and 0 prefixes; out of range
// saturates with errno ERANGE; *end gets the first unread unit (text itself when none was read).
LONG wcstol(const WCHAR* text, WCHAR** end, int base);
ULONG wcstoul(const WCHAR* text, WCHAR** end, int base);
// Returns the units written; on truncation or an invalid format the target gets "" and -1.
int swprintf_s(WCHAR* target, size_t targetCch, const WCHAR* format, ...);
int vswprintf_s(WCHAR* target, size_t targetCch, const WCHAR* format, va_list args);
// Returns the units written; on truncation the target keeps what fits, NUL-terminated, and the
// result is -1. A null target with count 0 returns the units the output needs.
int _snwprintf(WCHAR* target, size_t count, const WCHAR* format, ...);
int _vsnwprintf(WCHAR* target, size_t count, const WCHAR* format, va_list args);
// The ISO form with a count: as _snwprintf.
int swprintf(WCHAR* target, size_t count, const WCHAR* format, ...);

namespace velm::platform {

struct FormatOutcome {
  size_t written = 0;  // units stored before the NUL
  size_t needed = 0;   // units the whole output takes (without the NUL)
  bool valid = true;   // false: the format was invalid and the target holds ""
  bool Truncated() const { return needed > written; }
};

// The one formatting engine: formats into target[0..capacity), NUL-terminated when capacity
// is not 0; a truncated output never ends in half a surrogate pair. Arguments are read from
// `args` as the format says.
FormatOutcome FormatWideV(WCHAR* target, size_t capacity, const WCHAR* format, va_list args);

// The case mapping of CharUpperW/CharLowerW for one unit.
char16_t UpperCase(char16_t c);
char16_t LowerCase(char16_t c);

}  // namespace velm::platform
