// Code pages: conversion between the 8-bit text of a code page and UTF-16.
// The ANSI code page is the machine root's "codepage" setting (1252 unless the root says 932);
// the OEM code page follows it (932 for 932, else 437). Supported code pages: 1252, 932, 437
// (tables built once from the C library's iconv) and UTF-8.
// Conversions never best-fit: a character without an exact counterpart becomes the default
// character, so every converted string converts back to itself.
#pragma once

#include <string>
#include <string_view>

#include "core/wintypes.h"

constexpr UINT CP_ACP = 0;
constexpr UINT CP_OEMCP = 1;
constexpr UINT CP_MACCP = 2;
constexpr UINT CP_THREAD_ACP = 3;
constexpr UINT CP_UTF8 = 65001;

constexpr DWORD MB_PRECOMPOSED = 0x00000001;
constexpr DWORD MB_COMPOSITE = 0x00000002;
constexpr DWORD MB_USEGLYPHCHARS = 0x00000004;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;
constexpr DWORD WC_DISCARDNS = 0x00000010;
constexpr DWORD WC_SEPCHARS = 0x00000020;
constexpr DWORD WC_DEFAULTCHAR = 0x00000040;
constexpr DWORD WC_ERR_INVALID_CHARS = 0x00000080;
constexpr DWORD WC_COMPOSITECHECK = 0x00000200;
constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x00000400;

constexpr UINT MAX_LEADBYTES = 12;
constexpr UINT MAX_DEFAULTCHAR = 2;

struct CPINFO {
  UINT MaxCharSize;                  // bytes of the longest character
  BYTE DefaultChar[MAX_DEFAULTCHAR];  // what unmappable characters become
  BYTE LeadByte[MAX_LEADBYTES];       // inclusive lead-byte ranges as pairs, ended by 0,0
};
using LPCPINFO = CPINFO*;

extern "C" {
// Converts `multiByte` bytes (-1: NUL-terminated, the NUL converted too) of `codePage` into
// `wide`. With wideCount 0 returns the units needed; returns 0 with ERROR_INSUFFICIENT_BUFFER
// when `wide` is too small, ERROR_NO_UNICODE_TRANSLATION for invalid input under
// MB_ERR_INVALID_CHARS (otherwise invalid bytes become the code page's Unicode default).
// MB_COMPOSITE and MB_USEGLYPHCHARS are refused with ERROR_INVALID_FLAGS.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteCount, LPWSTR wide,
                        int wideCount);
// Converts `wideCount` units (-1: NUL-terminated, the NUL converted too) into `multiByte`.
// With multiByteCount 0 returns the bytes needed. Unmappable characters become `defaultChar`
// (the code page's own when null) and set *usedDefaultChar; for CP_UTF8 both must be null and
// only WC_ERR_INVALID_CHARS is accepted (unpaired surrogates fail with it, else become U+FFFD).
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR multiByte,
                        int multiByteCount, LPCSTR defaultChar, LPBOOL usedDefaultChar);
UINT GetACP(void);
UINT GetOEMCP(void);
BOOL IsValidCodePage(UINT codePage);
// Whether `byte` opens a double-byte character in the ANSI code page (or in `codePage`).
BOOL IsDBCSLeadByte(BYTE byte);
BOOL IsDBCSLeadByteEx(UINT codePage, BYTE byte);
BOOL GetCPInfo(UINT codePage, LPCPINFO info);
}

namespace velm::platform {

// The ANSI code page of the machine root, re-read whenever the root's settings file changes.
UINT MachineCodePage();

// Conversions through the ANSI code page, replacing what cannot be converted.
std::u16string AnsiToWide(std::string_view text);
std::string WideToAnsi(std::u16string_view text);

// Narrows `text` into a fixed field of `outBytes` bytes: at most outBytes-1 bytes and a NUL,
// cut only between characters, so a double-byte character is never split. Returns the bytes
// written before the NUL (0 and nothing written when outBytes is 0).
size_t WideToAnsiBounded(std::u16string_view text, char* out, size_t outBytes);

// Bytes of the character that starts at text[0] in `codePage` (1 for a lead byte without a
// trail byte in `text`; 0 for empty text). For walking 8-bit text character by character.
size_t AnsiCharLength(UINT codePage, std::string_view text);

// Length of the longest prefix of `text` that ends between characters: a lead byte (or an
// unfinished UTF-8 sequence) at the end of `text` is left out. For cutting 8-bit text.
size_t AnsiCharBoundary(UINT codePage, std::string_view text);

}  // namespace velm::platform
