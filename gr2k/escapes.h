// The escapes applications reach the driver with (DrvEscape, declared in drawing_hooks.h):
// queries, the copy count, pass-through device data, and reading or setting a few job settings
// through private escape numbers. Every input and output is checked against its size: an input
// too short or an output too small for the answer gives 0 (-1 where the escape answers -1 for
// bad input), with nothing written.
#pragma once

#include "win32.h"

struct RenderPdev;

// Private escapes: job settings and driver facts.
constexpr ULONG kEscUserCode = 111;
constexpr ULONG kEscOwnerName = 112;
constexpr ULONG kEscJobPassword = 113;
constexpr ULONG kEscUserId = 114;
constexpr ULONG kEscDocumentName = 115;
constexpr ULONG kEscTelephoneNumber = 116;
constexpr ULONG kEscTelephoneLine = 117;
constexpr ULONG kEscStoredPassword = 118;
constexpr ULONG kEscPaperSource = 119;
constexpr ULONG kEscPrintType = 120;
constexpr ULONG kEscApplicationText = 121;
constexpr ULONG kEscIgnoredText = 122;
constexpr ULONG kEscSetting983 = 123;
constexpr ULONG kEscSetting985 = 124;
constexpr ULONG kEscSetting984 = 125;
constexpr ULONG kEscApiUse = 126;
constexpr ULONG kEscVersion = 140;
constexpr ULONG kEscOutputLibrary = 141;

// The answer to QUERYESCSUPPORT for SETCOPYCOUNT.
constexpr ULONG kEscCopyCountSupport = 999;
constexpr DWORD kMaxCopies = 999;
// What escape 140 answers.
constexpr char kEscVersionText[] = "velmgr 1.0";

// Whether the PDEV answers `escape`: 8, 17, 20, 42, 111 to 126, 140 and 141; 19 only in
// pass-through mode.
BOOL EscIsSupported(const RenderPdev* pdev, ULONG escape);
