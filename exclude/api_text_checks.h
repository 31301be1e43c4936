// Checks on the ANSI text of application records (names, file names, paths), the font and image
// checks of the watermark fields, and the path preparation of the merge file and overlay path.
// Texts are in the process code page: a double-byte lead byte takes its trail byte with it, and
// no check steps past the terminating NUL.
#pragma once

#include "win32.h"

// 1 when every character is an ASCII letter or digit (an empty text passes), else 0 (also null).
int ApiIsAlnumName(const char* text);

// 0 for null; 0 when the text holds / : ; , * ? " < > | or, unless `allowBackslash`, a
// backslash; else 1. Double-byte characters are never taken for one of these.
int ApiIsValidFileName(const char* text, BOOL allowBackslash);
// A leading drive ("C:") skipped, then ApiIsValidFileName with backslashes allowed.
int ApiIsValidPath(const char* text);

// The part after the last backslash (the whole text when it has none); null for null.
const char* ApiFileNamePart(const char* path);
// The text after the last dot of the file-name part, its length in *count; the whole text and 0
// when the file-name part has no dot.
const char* ApiFileExtension(const char* path, DWORD* count);
// A valid path that holds a backslash, whose file-name part is a valid file name, with the
// extension "rpo" in any case: 1, else 0.
int ApiIsOverlayFileName(const char* path);
// 1 for the watermark kinds 1, 2 and 3, else 0.
int ApiIsSupportedJobKind(DWORD kind);
// 1 when the text holds `c`; a trail byte never matches.
int ApiHasChar(const char* text, char c);

// 1 when the display's font families hold a TrueType family named `name` (widened into 32
// characters, compared with case); vertical forms ("@...") never match. 0 without a DC. The
// answer travels through the enumeration's own argument, so threads may ask at once.
int ApiIsFontPresent(const char* name);

// Watermark kinds of ApiCheckImageFile.
constexpr DWORD kApiImageBitmap = 2;
constexpr DWORD kApiImageOverlay = 3;
// Kind 2: an absolute path to a bitmap file with the 40-byte header; kind 3: an absolute path to
// an existing file with the extension "rpo". 1 or 0 (any other kind 0).
int ApiCheckImageFile(DWORD kind, const char* path);

// The short form of `path` into `out` (MAX_PATH characters). Not on Windows 9x: the path as it
// is. On Windows 9x a missing file (or folder) is made for the query and removed again. 1 or 0.
int ApiGetShortPath(const WCHAR* path, WCHAR* out);
// Whether a file can be made at `path`: a missing file is created, with its folder when that is
// missing, and whatever this call made is removed again (an existing file is never touched).
// On success the full path is narrowed into `out` (MAX_PATH bytes) when it is given. 1 or 0.
int ApiPrepareFilePath(const char* path, char* out);
