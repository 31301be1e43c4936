#include "exclude/api_text_checks.h"

#include <cstring>
#include <string>

#include "settings/persistence/file_primitives.h"
#include "settings/services/platform_tests.h"
#include "settings/services/resource_strings.h"

namespace {

constexpr int kFontNameChars = 32;

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAsciiAlnum(char c) { return (c >= '0' && c <= '9') || IsAsciiLetter(c); }

// The next character of an ANSI text: a lead byte takes its trail byte along, but never the NUL.
const char* NextChar(const char* p) {
  if (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1] != 0) return p + 2;
  return p + 1;
}

bool IsForbiddenFileNameChar(char c) { return c != 0 && std::strchr("/:;,*?\"<>|", c) != nullptr; }

bool EqualsNoCase(const char* text, DWORD length, const char* ascii) {
  if (std::strlen(ascii) != length) return false;
  for (DWORD i = 0; i < length; ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != ascii[i]) return false;
  }
  return true;
}

bool EqualsNoCase(const WCHAR* text, DWORD length, const char* ascii) {
  if (std::strlen(ascii) != length) return false;
  for (DWORD i = 0; i < length; ++i) {
    WCHAR c = text[i];
    if (c >= WCH('A') && c <= WCH('Z')) c = static_cast<WCHAR>(c - WCH('A') + WCH('a'));
    if (c != static_cast<WCHAR>(ascii[i])) return false;
  }
  return true;
}

bool Widen(const char* text, WCHAR* wide, int capacity) {
  wide[0] = 0;
  return text && MultiByteToWideChar(CP_ACP, 0, text, -1, wide, capacity) > 0;
}

struct FontSearch {
  WCHAR name[kFontNameChars + 1];
  bool found;
};

int CALLBACK MatchFontFamily(const LOGFONTW* font, const TEXTMETRICW*, DWORD fontType, LPARAM state) try {
  FontSearch* search = reinterpret_cast<FontSearch*>(state);
  if (!(fontType & TRUETYPE_FONTTYPE) || !font || font->lfFaceName[0] == WCH('@')) return 1;
  for (int i = 0; i < kFontNameChars; ++i) {
    if (font->lfFaceName[i] != search->name[i]) return 1;
    if (font->lfFaceName[i] == 0) break;
  }
  search->found = true;
  return 0;
} catch (...) {
  return 0;
}

// What MakeFileForCheck created, so that exactly that is removed again.
struct MadeForCheck {
  bool file = false;
  bool folder = false;
  WCHAR folderPath[MAX_PATH] = {};
};

BOOL CreateNewFile(const WCHAR* path) {
  HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  CloseHandle(file);
  return TRUE;
}

bool IsMissingPathError(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// Makes a missing file at `path`, and its folder (one level) when that is missing too. An
// existing file is left alone. TRUE when the file exists afterwards.
BOOL MakeFileForCheck(const WCHAR* path, MadeForCheck* made) {
  if (PathExists(path)) return TRUE;
  if (CreateNewFile(path)) {
    made->file = true;
    return TRUE;
  }
  if (!IsMissingPathError(GetLastError())) return FALSE;
  const WCHAR* name = PathGetFileName(path);
  const size_t folderLength = static_cast<size_t>(name - path);
  if (folderLength < 2 || folderLength > MAX_PATH) return FALSE;
  std::memcpy(made->folderPath, path, (folderLength - 1) * sizeof(WCHAR));
  made->folderPath[folderLength - 1] = 0;
  if (!CreateDirectoryW(made->folderPath, nullptr)) return FALSE;
  made->folder = true;
  if (!CreateNewFile(path)) return FALSE;
  made->file = true;
  return TRUE;
}

void RemoveMadeForCheck(const WCHAR* path, const MadeForCheck& made) {
  const DWORD error = GetLastError();
  if (made.file) DeleteFileW(path);
  if (made.folder) RemoveDirectoryW(made.folderPath);
  SetLastError(error);
}

}  // namespace

int ApiIsAlnumName(const char* text) {
  if (!text) return 0;
  for (; *text; ++text)
    if (!IsAsciiAlnum(*text)) return 0;
  return 1;
}

int ApiIsValidFileName(const char* text, BOOL allowBackslash) {
  if (!text) return 0;
  for (const char* p = text; *p; p = NextChar(p)) {
    if (IsDBCSLeadByte(static_cast<BYTE>(*p))) continue;
    if (IsForbiddenFileNameChar(*p)) return 0;
    if (*p == '\\' && !allowBackslash) return 0;
  }
  return 1;
}

int ApiIsValidPath(const char* text) {
  if (!text) return 0;
  if (IsAsciiLetter(text[0]) && text[1] == ':') text += 2;
  return ApiIsValidFileName(text, TRUE);
}

const char* ApiFileNamePart(const char* path) {
  if (!path) return nullptr;
  const char* part = path;
  for (const char* p = path; *p; p = NextChar(p))
    if (*p == '\\') part = p + 1;
  return part;
}

const char* ApiFileExtension(const char* path, DWORD* count) {
  if (count) *count = 0;
  if (!path) return nullptr;
  const char* dot = nullptr;
  for (const char* p = ApiFileNamePart(path); *p; p = NextChar(p))
    if (*p == '.') dot = p;
  if (!dot) return path;
  if (count) *count = static_cast<DWORD>(std::strlen(dot + 1));
  return dot + 1;
}

int ApiIsOverlayFileName(const char* path) {
  if (!ApiIsValidPath(path) || !ApiHasChar(path, '\\')) return 0;
  if (!ApiIsValidFileName(ApiFileNamePart(path), FALSE)) return 0;
  DWORD length = 0;
  const char* extension = ApiFileExtension(path, &length);
  return length != 0 && EqualsNoCase(extension, length, "rpo") ? 1 : 0;
}

int ApiIsSupportedJobKind(DWORD kind) { return kind >= 1 && kind <= 3 ? 1 : 0; }

int ApiHasChar(const char* text, char c) {
  if (!text) return 0;
  for (const char* p = text; *p; p = NextChar(p)) {
    if (IsDBCSLeadByte(static_cast<BYTE>(*p))) continue;
    if (*p == c) return 1;
  }
  return 0;
}

int ApiIsFontPresent(const char* name) {
  FontSearch search{};
  if (!name) return 0;
  // A name longer than the face-name field is cut to it, as the field would hold it.
  char cut[kFontNameChars + 1] = {};
  std::strncpy(cut, name, kFontNameChars);
  if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, cut, -1, search.name, kFontNameChars + 1) <= 0) return 0;
  search.name[kFontNameChars] = 0;
  HWND desktop = GetDesktopWindow();
  HDC dc = GetDC(desktop);
  if (!dc) return 0;
  EnumFontFamiliesW(dc, nullptr, MatchFontFamily, reinterpret_cast<LPARAM>(&search));
  ReleaseDC(desktop, dc);
  return search.found ? 1 : 0;
}

int ApiCheckImageFile(DWORD kind, const char* path) {
  WCHAR wide[MAX_PATH];
  if (!Widen(path, wide, MAX_PATH) || !PathIsAbsolute(wide)) return 0;
  if (kind == kApiImageBitmap) {
    HFILE file = HFILE_ERROR;
    if (!ResOpenBitmapFile(path, &file)) return 0;
    _lclose(file);
    return 1;
  }
  if (kind == kApiImageOverlay) {
    if (!PathExists(wide)) return 0;
    DWORD length = 0;
    const WCHAR* extension = PathGetExtension(wide, &length);
    return extension && EqualsNoCase(extension, length, "rpo") ? 1 : 0;
  }
  return 0;
}

int ApiGetShortPath(const WCHAR* path, WCHAR* out) {
  if (!path || !out) return 0;
  if (!SysIsWin9x()) {
    const size_t length = std::char_traits<WCHAR>::length(path);
    if (length >= MAX_PATH) return 0;
    std::memcpy(out, path, (length + 1) * sizeof(WCHAR));
    return 1;
  }
  DWORD got = GetShortPathNameW(path, out, MAX_PATH);
  if (got > 0 && got < MAX_PATH) return 1;
  if (got != 0 || !IsMissingPathError(GetLastError()) || PathExists(path)) return 0;
  MadeForCheck made;
  if (MakeFileForCheck(path, &made)) got = GetShortPathNameW(path, out, MAX_PATH);
  else got = 0;
  RemoveMadeForCheck(path, made);
  return got > 0 && got < MAX_PATH ? 1 : 0;
}

int ApiPrepareFilePath(const char* path, char* out) {
  WCHAR wide[MAX_PATH];
  if (!Widen(path, wide, MAX_PATH)) return 0;
  MadeForCheck made;
  const BOOL usable = MakeFileForCheck(wide, &made);
  RemoveMadeForCheck(wide, made);
  if (!usable) return 0;
  WCHAR full[MAX_PATH];
  const DWORD length = GetFullPathNameW(wide, MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH) return 0;
  if (out && WideCharToMultiByte(CP_ACP, 0, full, -1, out, MAX_PATH, nullptr, nullptr) <= 0) return 0;
  return 1;
}
