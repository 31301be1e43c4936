// Who and where the machine is: the user and computer names and the language and locale
// answers, from the machine root's settings "user", "computer", "userlang", "systemlang"
// (decimal language identifiers, 1033 when unset) and "country" (the user locale's country
// code as the user set it, LOCALE_ICOUNTRY).
#pragma once

#include "core/wintypes.h"

using LCTYPE = DWORD;

constexpr DWORD UNLEN = 256;
constexpr DWORD MAX_COMPUTERNAME_LENGTH = 15;

constexpr LCID LOCALE_NEUTRAL = 0x0000;
constexpr LCID LOCALE_INVARIANT = 0x007F;
constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
constexpr LCID LOCALE_CUSTOM_DEFAULT = 0x0C00;
constexpr WORD SORT_DEFAULT = 0;
constexpr LCID MAKELCID(LANGID language, WORD sort) { return (static_cast<DWORD>(sort) << 16) | language; }
constexpr LANGID LANGIDFROMLCID(LCID locale) { return static_cast<LANGID>(locale & 0xFFFF); }

// Flags that may be or-ed into an LCTYPE.
constexpr LCTYPE LOCALE_NOUSEROVERRIDE = 0x80000000;
constexpr LCTYPE LOCALE_USE_CP_ACP = 0x40000000;
constexpr LCTYPE LOCALE_RETURN_NUMBER = 0x20000000;

constexpr LCTYPE LOCALE_ILANGUAGE = 0x0001;
constexpr LCTYPE LOCALE_SLANGUAGE = 0x0002;
constexpr LCTYPE LOCALE_SABBREVLANGNAME = 0x0003;
constexpr LCTYPE LOCALE_ICOUNTRY = 0x0005;
constexpr LCTYPE LOCALE_SCOUNTRY = 0x0006;
constexpr LCTYPE LOCALE_IDEFAULTLANGUAGE = 0x0009;
constexpr LCTYPE LOCALE_IDEFAULTCOUNTRY = 0x000A;
constexpr LCTYPE LOCALE_IDEFAULTCODEPAGE = 0x000B;
constexpr LCTYPE LOCALE_IMEASURE = 0x000D;
constexpr LCTYPE LOCALE_SISO639LANGNAME = 0x0059;
constexpr LCTYPE LOCALE_SISO3166CTRYNAME = 0x005A;
constexpr LCTYPE LOCALE_SNAME = 0x005C;
constexpr LCTYPE LOCALE_SENGLANGUAGE = 0x1001;
constexpr LCTYPE LOCALE_SENGCOUNTRY = 0x1002;
constexpr LCTYPE LOCALE_IDEFAULTANSICODEPAGE = 0x1004;
constexpr LCTYPE LOCALE_IPAPERSIZE = 0x100A;

extern "C" {
// Size protocol: *size is the buffer's capacity in characters. Too small (or no buffer):
// FALSE, ERROR_INSUFFICIENT_BUFFER, *size = characters needed including the NUL.
// Success: *size = characters copied including the NUL.
BOOL GetUserNameW(LPWSTR buffer, LPDWORD size);
// The NetBIOS name (at most 15 characters, upper case). Too small: FALSE, ERROR_BUFFER_OVERFLOW,
// *size = characters needed including the NUL. Success: *size = characters copied without it.
BOOL GetComputerNameW(LPWSTR buffer, LPDWORD size);

LANGID GetUserDefaultLangID(void);
LANGID GetSystemDefaultLangID(void);
LANGID GetUserDefaultUILanguage(void);
LANGID GetSystemDefaultUILanguage(void);
LCID GetUserDefaultLCID(void);
LCID GetSystemDefaultLCID(void);
// The calling thread's locale: the user default until SetThreadLocale changes it.
LCID GetThreadLocale(void);
BOOL SetThreadLocale(LCID locale);

// One item of a locale, as text (or, with LOCALE_RETURN_NUMBER, a DWORD filling 2 characters).
// Returns the characters written including the NUL; with `capacity` 0 the characters needed
// (`data` is not touched). 0 with ERROR_INSUFFICIENT_BUFFER when too small, ERROR_INVALID_FLAGS
// for an item this machine does not know, ERROR_INVALID_PARAMETER for an unknown locale.
// The user default locale answers the "country" setting for LOCALE_ICOUNTRY (a user override:
// LOCALE_NOUSEROVERRIDE gives the locale's own); the system locale's ANSI code page is the
// machine's ("codepage"), the one GetACP answers.
int GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int capacity);
}
