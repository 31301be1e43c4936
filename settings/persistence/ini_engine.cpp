#include "settings/persistence/ini_engine.h"

#include <cstdint>
#include <cstring>

#include "settings/context/locks.h"
#include "settings/context/memory.h"
#include "settings/persistence/file_primitives.h"
#include "settings/services/platform_tests.h"
#include "settings/services/string_convert.h"

namespace {

bool IsBlank(WCHAR c) { return c == WCH(' ') || c == WCH('\t'); }
bool IsLineBreak(WCHAR c) { return c == WCH('\r') || c == WCH('\n'); }

unsigned char FoldAscii(unsigned char c) { return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c; }

// The lead bytes of the ANSI code page. Only names with bytes over 0x7F need them: an ASCII
// byte of a name never equals a lead byte, so a plain name stops at the first one.
struct LeadBytes {
  bool lead[256] = {};
  void Load() {
    CPINFO info{};
    if (!GetCPInfo(CP_ACP, &info)) return;
    for (int i = 0; i + 1 < static_cast<int>(MAX_LEADBYTES) && (info.LeadByte[i] || info.LeadByte[i + 1]); i += 2)
      for (int b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b) lead[b] = true;
  }
};

// A section or key name narrowed to the ANSI code page in one call, whole or not at all: a name
// cut to fit a field would match another section. 260 characters take at most 780 bytes in any
// code page the machine can have.
class NarrowName {
 public:
  explicit NarrowName(const WCHAR* name) {
    if (!name) return;
    const size_t units = wcslen(name);
    if (units > kIniMaxNameChars) return;
    if (units == 0) {
      ok_ = true;
      return;
    }
    length_ = WideCharToMultiByte(CP_ACP, 0, name, static_cast<int>(units), bytes_, sizeof bytes_, nullptr, nullptr);
    ok_ = length_ > 0;
    for (int i = 0; ok_ && i < length_; ++i)
      if (static_cast<unsigned char>(bytes_[i]) > 0x7F) {
        leads_.Load();
        break;
      }
  }
  bool ok() const { return ok_; }
  int length() const { return length_; }

  // Whether the name stands at `p`: single-byte characters compare with ASCII letters folded,
  // a double-byte character compares exactly. `end` null: the text ends at its NUL.
  bool MatchesAt(const char* p, const char* end) const {
    for (int i = 0; i < length_; ++i) {
      if (end ? p + i >= end : p[i] == 0) return false;
      const auto t = static_cast<unsigned char>(p[i]);
      const auto n = static_cast<unsigned char>(bytes_[i]);
      if (leads_.lead[n] && i + 1 < length_) {
        if (t != n || (end && p + i + 1 >= end) || p[i + 1] != bytes_[i + 1]) return false;
        ++i;
      } else if (FoldAscii(t) != FoldAscii(n)) {
        return false;
      }
    }
    return true;
  }

 private:
  bool ok_ = false;
  int length_ = 0;
  char bytes_[1024];
  LeadBytes leads_;
};

// End of the text: `end`, or the NUL when `end` is null.
bool AtEnd(const char* p, const char* end) { return end ? p >= end : *p == 0; }

// The first byte of the next line (a lone LF ends a line; CR belongs to the line).
const char* NextLine(const char* p, const char* end) {
  while (!AtEnd(p, end) && *p != '\n') ++p;
  return AtEnd(p, end) ? p : p + 1;
}

// The header line of `name` at or after `p`, or null.
const char* FindHeader(const NarrowName& name, const char* p, const char* end) {
  for (; !AtEnd(p, end); p = NextLine(p, end)) {
    if (*p != '[' || !name.MatchesAt(p + 1, end)) continue;
    const char* close = p + 1 + name.length();
    if (!AtEnd(close, end) && *close == ']') return p;
  }
  return nullptr;
}

void CopyBounded(const WCHAR* source, WCHAR* destination, DWORD capacity) {
  lstrcpynW(destination, source ? source : WSTR(""), static_cast<int>(capacity));
}

// Widens `bytes` of value into destination[capacity], cutting at capacity-1 characters but never
// inside a double-byte character or a surrogate pair. A value that does not fit is widened a
// character at a time into the destination itself, so that no value needs memory to be read.
LONG WidenValue(const char* bytes, int count, WCHAR* destination, DWORD capacity) {
  destination[0] = 0;
  if (count == 0) return 0;
  const int units = MultiByteToWideChar(CP_ACP, 0, bytes, count, nullptr, 0);
  if (units <= 0) return 0;
  if (static_cast<DWORD>(units) < capacity) {
    MultiByteToWideChar(CP_ACP, 0, bytes, count, destination, units);
    destination[units] = 0;
    return units;
  }
  DWORD kept = 0;
  for (int at = 0; at < count;) {
    const int step = IsDBCSLeadByte(static_cast<BYTE>(bytes[at])) && at + 1 < count ? 2 : 1;
    WCHAR character[2];
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes + at, step, character, 2);
    if (length <= 0 || kept + static_cast<DWORD>(length) > capacity - 1) break;
    std::memcpy(destination + kept, character, static_cast<size_t>(length) * sizeof(WCHAR));
    kept += static_cast<DWORD>(length);
    at += step;
  }
  destination[kept] = 0;
  return static_cast<LONG>(kept);
}

// The bounds [*begin, *end) of value[0, length) once line breaks count as blanks and blanks at
// either end and enclosing matching quotes are taken away, as often as they appear.
void NormalizedBounds(const WCHAR* value, size_t length, size_t* begin, size_t* end) {
  size_t b = 0;
  size_t e = length;
  for (;;) {
    while (b < e && (IsBlank(value[b]) || IsLineBreak(value[b]))) ++b;
    while (e > b && (IsBlank(value[e - 1]) || IsLineBreak(value[e - 1]))) --e;
    if (e - b >= 2 && (value[b] == WCH('"') || value[b] == WCH('\'')) && value[e - 1] == value[b]) {
      ++b;
      --e;
      continue;
    }
    break;
  }
  *begin = b;
  *end = e;
}

// Makes room for `more` bytes and the NUL after them.
bool Reserve(IniSectionText* text, size_t more) {
  const size_t needed = static_cast<size_t>(text->length) + more + 1;
  if (needed <= text->capacity) return true;
  if (needed > kIniMaxFileBytes) {
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return false;
  }
  size_t capacity = text->capacity ? text->capacity : kIniSectionTextStartBytes;
  while (capacity < needed) capacity *= 2;
  auto* grown = static_cast<char*>(SysAlloc(capacity));
  if (!grown) return false;
  if (text->bytes) std::memcpy(grown, text->bytes, text->length);
  SysFree(text->bytes);
  text->bytes = grown;
  text->capacity = static_cast<DWORD>(capacity);
  return true;
}

// Narrows units of `wide` to the end of the text; the bytes written, -1 when out of memory.
int AppendNarrowed(IniSectionText* text, const WCHAR* wide, size_t units) {
  if (units == 0) return 0;
  const int bytes = WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(units), nullptr, 0, nullptr, nullptr);
  if (bytes <= 0 || !Reserve(text, static_cast<size_t>(bytes))) return -1;
  WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(units), text->bytes + text->length, bytes, nullptr, nullptr);
  text->length += static_cast<DWORD>(bytes);
  return bytes;
}

bool AppendBytes(IniSectionText* text, const char* bytes, size_t count) {
  if (!Reserve(text, count)) return false;
  std::memcpy(text->bytes + text->length, bytes, count);
  text->length += static_cast<DWORD>(count);
  return true;
}

// Ends an append: NUL after the text, or the text put back as it was.
BOOL Finish(IniSectionText* text, DWORD before, bool ok) {
  if (!ok) text->length = before;
  if (text->bytes) text->bytes[text->length] = 0;
  return ok ? TRUE : FALSE;
}

// The whole file into a zeroed block one byte longer than the file. With OPEN_EXISTING an
// absent file gives an empty text (null block, size 0) and true.
bool ReadWholeFile(const WCHAR* path, DWORD disposition, char** text, DWORD* size) {
  *text = nullptr;
  *size = 0;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return disposition == OPEN_EXISTING && GetLastError() == ERROR_FILE_NOT_FOUND;
  DWORD high = 0;
  const DWORD low = GetFileSize(file, &high);
  bool ok = low != INVALID_FILE_SIZE;
  if (ok && (high != 0 || low > kIniMaxFileBytes)) {
    SetLastError(ERROR_FILE_INVALID);
    ok = false;
  }
  char* block = ok ? static_cast<char*>(SysAlloc(static_cast<SIZE_T>(low) + 1)) : nullptr;
  DWORD done = 0;
  while (block && done < low) {
    DWORD read = 0;
    if (!ReadFile(file, block + done, low - done, &read, nullptr)) break;
    if (read == 0) {
      SetLastError(ERROR_HANDLE_EOF);  // the file shrank under us
      break;
    }
    done += read;
  }
  const DWORD error = GetLastError();
  CloseHandle(file);
  if (!block || done != low) {
    SysFree(block);
    SetLastError(error);
    return false;
  }
  *text = block;
  *size = low;
  return true;
}

bool WriteAll(HANDLE file, const char* bytes, DWORD count) {
  DWORD written = 0;
  return count == 0 || (WriteFile(file, bytes, count, &written, nullptr) && written == count);
}

// Temporary files of a rewrite are named after the file they replace: "<file>.~<8 hex>.TMP"
// beside it, so that a later rewrite of the same file knows the ones a failed one left behind.
constexpr WCHAR kTempMark[] = WSTR(".~");
constexpr WCHAR kTempExtension[] = WSTR(".TMP");
constexpr size_t kTempDigits = 8;

// A temporary name for `path` that no file holds yet, created empty; false when none can be had.
bool CreateTemporary(const WCHAR* path, WCHAR (&temp)[MAX_PATH]) {
  const size_t length = wcslen(path);
  if (length + 2 + kTempDigits + 4 >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16) ^ GetCurrentThreadId();
  for (int attempt = 0; attempt < 64; ++attempt) {
    swprintf_s(temp, MAX_PATH, WSTR("%s%s%08X%s"), path, kTempMark, static_cast<UINT>(seed + attempt), kTempExtension);
    HANDLE file = CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

bool IsHexDigit(WCHAR c) { return (c >= WCH('0') && c <= WCH('9')) || (c >= WCH('A') && c <= WCH('F')) || (c >= WCH('a') && c <= WCH('f')); }

// Removes the temporary files that earlier rewrites of `path` left behind. Runs under the
// settings mutex, which every rewrite holds, so none of them belongs to a rewrite in progress.
void RemoveLeftovers(const WCHAR* path) {
  WCHAR pattern[MAX_PATH];
  if (swprintf_s(pattern, MAX_PATH, WSTR("%s%s*%s"), path, kTempMark, kTempExtension) < 0) return;
  const WCHAR* slash = wcsrchr(path, WCH('\\'));
  const size_t folderLength = slash ? static_cast<size_t>(slash - path) + 1 : 0;
  const size_t nameLength = wcslen(path) - folderLength;
  WIN32_FIND_DATAW found{};
  HANDLE find = FindFirstFileW(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    // Only the exact form: the file's own name, the mark, eight hex digits, the extension.
    const WCHAR* name = found.cFileName;
    if (wcslen(name) != nameLength + 2 + kTempDigits + 4) continue;
    bool ours = true;
    for (size_t i = 0; i < kTempDigits; ++i) ours = ours && IsHexDigit(name[nameLength + 2 + i]);
    WCHAR leftover[MAX_PATH];
    if (ours && folderLength + wcslen(name) < MAX_PATH) {
      std::memcpy(leftover, path, folderLength * sizeof(WCHAR));
      lstrcpynW(leftover + folderLength, name, static_cast<int>(MAX_PATH - folderLength));
      DeleteFileW(leftover);
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

// Writes the rewritten content to a new temporary file beside `path`; its name in `temp`.
// Text before the first section stays before every section: old[0, preamble), the new section,
// then the rest of the old text without the old section.
bool WriteTemporary(const WCHAR* path, WCHAR (&temp)[MAX_PATH], const char* newText, DWORD newLength,
                    const char* oldText, DWORD oldLength, const IniRewritePlan& plan) {
  if (!CreateTemporary(path, temp)) return false;
  HANDLE file = CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    DeleteFileW(temp);
    SetLastError(error);
    return false;
  }
  const bool ok = WriteAll(file, oldText, plan.preamble) && (!plan.preambleSeparator || WriteAll(file, "\r\n", 2)) &&
                  WriteAll(file, newText, newLength) && (!plan.separator || WriteAll(file, "\r\n", 2)) &&
                  WriteAll(file, oldText + plan.preamble, plan.keepEnd - plan.preamble) &&
                  WriteAll(file, oldText + plan.resumeAt, oldLength - plan.resumeAt) && FlushFileBuffers(file);
  const DWORD error = GetLastError();
  CloseHandle(file);
  if (!ok) {
    DeleteFileW(temp);
    SetLastError(error);
  }
  return ok;
}

// Where the first section header of `text` starts (the text's length when it has none).
DWORD FirstHeader(const char* text, DWORD length) {
  const char* end = text + length;
  const char* p = text;
  while (p < end && *p != '[') p = NextLine(p, end);
  return static_cast<DWORD>(p - text);
}

}  // namespace

// ---- Whole files ---------------------------------------------------------------------------

char* IniLoadFile(const WCHAR* path, DWORD* bytes) {
  if (bytes) *bytes = 0;
  if (!PathHasDrive(path)) {
    SetLastError(ERROR_BAD_PATHNAME);
    return nullptr;
  }
  char* text = nullptr;
  DWORD size = 0;
  if (!ReadWholeFile(path, OPEN_ALWAYS, &text, &size)) return nullptr;
  if (bytes) *bytes = size;
  return text;
}

BOOL IniFreeFile(char* text) {
  SysFree(text);
  return TRUE;
}

// ---- Reading -------------------------------------------------------------------------------

const char* IniFindSection(const WCHAR* section, const char* text) {
  if (!section || !text) return nullptr;
  const NarrowName name(section);
  if (!name.ok()) return nullptr;
  const char* header = FindHeader(name, text, nullptr);
  return header ? NextLine(header, nullptr) : nullptr;
}

BOOL IniFindSectionSpan(const WCHAR* section, const char* text, DWORD length, DWORD* start, DWORD* span) {
  if (!section || (!text && length) || !start || !span) return FALSE;
  const NarrowName name(section);
  if (!name.ok() || length == 0) return FALSE;
  const char* end = text + length;
  const char* header = FindHeader(name, text, end);
  if (!header) return FALSE;
  const char* next = NextLine(header, end);
  while (next < end && *next != '[') next = NextLine(next, end);
  *start = static_cast<DWORD>(header - text);
  *span = static_cast<DWORD>(next - header);
  return TRUE;
}

LONG IniLookupString(const WCHAR* key, WCHAR* destination, DWORD capacity, const char* sectionText, LONG* cursor) {
  if (!destination || capacity == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  destination[0] = 0;
  if (!key || !sectionText) return -1;
  const NarrowName name(key);
  if (!name.ok()) return -1;

  const char* start = sectionText + (cursor && *cursor > 0 ? *cursor : 0);
  const char* p = start;
  bool wrapped = false;
  for (;;) {
    if (*p == '[' || *p == 0) {
      // The section ends here. A search that began at its end and has come round again
      // starts the next caller at the top.
      if (wrapped) {
        if (cursor) *cursor = 0;
        return -1;
      }
      wrapped = true;
      p = sectionText;
      continue;
    }
    if (wrapped && p == start) return -1;
    if (name.MatchesAt(p, nullptr) && p[name.length()] == '=') {
      const char* value = p + name.length() + 1;
      const char* valueEnd = value;
      while (*valueEnd != 0 && *valueEnd != '\r' && *valueEnd != '\n') ++valueEnd;
      const LONG copied = WidenValue(value, static_cast<int>(valueEnd - value), destination, capacity);
      if (copied >= 0 && cursor) *cursor = static_cast<LONG>(NextLine(valueEnd, nullptr) - sectionText);
      return copied;
    }
    p = NextLine(p, nullptr);
  }
}

DWORD IniGetString(const WCHAR* key, const WCHAR* defaultValue, WCHAR* destination, DWORD capacity,
                   const char* sectionText, LONG* cursor) {
  if (!destination || capacity == 0) return 0;
  const LONG found = IniLookupString(key, destination, capacity, sectionText, cursor);
  if (found >= 0) return static_cast<DWORD>(found);
  CopyBounded(defaultValue, destination, capacity);
  return static_cast<DWORD>(lstrlenW(destination));
}

INT IniGetInt(const WCHAR* key, INT defaultValue, const char* sectionText, LONG* cursor) {
  WCHAR digits[11];
  return IniLookupString(key, digits, 11, sectionText, cursor) > 0 ? _wtoi(digits) : defaultValue;
}

// ---- Writing -------------------------------------------------------------------------------

void IniFreeSectionText(IniSectionText* text) {
  if (!text) return;
  SysFree(text->bytes);
  *text = IniSectionText{};
}

BOOL IniIsWritableName(const WCHAR* name, BOOL key) {
  if (!name) return FALSE;
  const size_t length = wcslen(name);
  if (length == 0) return TRUE;
  if (length > kIniMaxNameChars || IsBlank(name[0]) || IsBlank(name[length - 1])) return FALSE;
  if (key && (name[0] == WCH('[') || name[0] == WCH(';'))) return FALSE;
  for (size_t i = 0; i < length; ++i) {
    const WCHAR c = name[i];
    if (IsLineBreak(c)) return FALSE;
    if (key ? c == WCH('=') : (c == WCH(']') || (c == WCH('[') && i > 0))) return FALSE;
  }
  return TRUE;
}

BOOL IniAppendSection(IniSectionText* text, const WCHAR* section) {
  if (!text || !section) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!IniIsWritableName(section, FALSE)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (section[0] == 0) return TRUE;
  const DWORD before = text->length;
  const bool ok = AppendBytes(text, "[", 1) && AppendNarrowed(text, section, wcslen(section)) > 0 &&
                  AppendBytes(text, "]\r\n", 3);
  return Finish(text, before, ok);
}

BOOL IniAppendEntry(IniSectionText* text, const WCHAR* key, const WCHAR* value) {
  if (!text || !key || !value || !IniIsWritableName(key, TRUE)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (key[0] == 0) return TRUE;
  const DWORD before = text->length;
  size_t begin = 0;
  size_t end = 0;
  NormalizedBounds(value, wcslen(value), &begin, &end);
  bool ok = AppendNarrowed(text, key, wcslen(key)) > 0 && AppendBytes(text, "=", 1);
  const DWORD valueStart = text->length;
  ok = ok && AppendNarrowed(text, value + begin, end - begin) >= 0;
  if (ok) {
    // CR and LF never occur inside a double-byte character, so the bytes can be mended alone.
    for (DWORD i = valueStart; i < text->length; ++i)
      if (text->bytes[i] == '\r' || text->bytes[i] == '\n') text->bytes[i] = ' ';
  }
  ok = ok && AppendBytes(text, "\r\n", 2);
  return Finish(text, before, ok);
}

WCHAR* IniNormalizeValue(WCHAR* value) {
  if (!value) return value;
  const size_t length = wcslen(value);
  size_t begin = 0;
  size_t end = 0;
  NormalizedBounds(value, length, &begin, &end);
  for (size_t i = begin; i < end; ++i)
    if (IsLineBreak(value[i])) value[i] = WCH(' ');
  std::memmove(value, value + begin, (end - begin) * sizeof(WCHAR));
  value[end - begin] = 0;
  return value;
}

IniRewritePlan IniPlanRewrite(const WCHAR* section, const char* oldText, DWORD oldLength, const char* newText,
                              DWORD newLength) {
  IniRewritePlan plan{0, FALSE, oldLength, oldLength, FALSE};
  plan.preamble = oldText ? FirstHeader(oldText, oldLength) : 0;
  DWORD start = 0;
  DWORD span = 0;
  if (IniFindSectionSpan(section, oldText, oldLength, &start, &span)) {
    plan.keepEnd = start;
    plan.resumeAt = start + span;
  }
  plan.preambleSeparator = plan.preamble > 0 && newLength > 0 && oldText[plan.preamble - 1] != '\n';
  const bool followed = plan.keepEnd > plan.preamble || plan.resumeAt < oldLength;
  plan.separator = followed && newLength > 0 && newText[newLength - 1] != '\n';
  return plan;
}

BOOL IniReplaceSection(const WCHAR* path, const WCHAR* section, const char* newText, DWORD length) {
  // A NUL would end the text for every reader that comes after it, hiding the old sections.
  if (!path || !section || (!newText && length) || (length && std::memchr(newText, 0, length))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!PathHasDrive(path)) {
    SetLastError(ERROR_BAD_PATHNAME);
    return FALSE;
  }
  // Every writer of a settings file holds the settings mutex: no write of another process can
  // fall between the read of the old text and the rename.
  const SettingsMutexHold hold(nullptr);
  // The system's profile functions must not hold back changes that this rewrite would miss.
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, path);

  char* old = nullptr;
  DWORD oldLength = 0;
  if (!ReadWholeFile(path, OPEN_EXISTING, &old, &oldLength)) return FALSE;
  const IniRewritePlan plan = IniPlanRewrite(section, old, oldLength, newText, length);
  // Never write a file that the readers would refuse to load.
  const uint64_t total = uint64_t{length} + (plan.separator ? 2 : 0) + plan.keepEnd + (oldLength - plan.resumeAt);
  WCHAR temp[MAX_PATH];
  bool ok = total <= kIniMaxFileBytes;
  if (!ok) SetLastError(ERROR_FILE_INVALID);
  ok = ok && WriteTemporary(path, temp, newText, length, old, oldLength, plan);
  SysFree(old);
  if (ok && !MoveFileExW(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = GetLastError();
    DeleteFileW(temp);
    SetLastError(error);
    ok = false;
  }
  if (ok) {
    RemoveLeftovers(path);
    SetLastError(ERROR_SUCCESS);
  }
  return ok ? TRUE : FALSE;
}

BOOL IniMakeSectionName(const WCHAR* name, WCHAR* out, DWORD capacity) {
  if (!name || !out || capacity == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  out[0] = 0;
  const size_t length = wcslen(name);
  bool exact = true;
  for (size_t i = 0; exact && i < length; ++i) exact = StrConvertsToAnsiExactly(name[i]);
  if (exact) {
    if (length >= capacity) {
      SetLastError(ERROR_INVALID_NAME);
      return FALSE;
    }
    lstrcpynW(out, name, static_cast<int>(capacity));
    IniMakeSafeSectionName(out);
    return TRUE;
  }
  // The marked form: '[' first, which the form above never holds, then every unit that does not
  // convert exactly, and every '%', '[' and ']', as '%' and four hex digits.
  DWORD at = 0;
  auto put = [&](WCHAR c) {
    if (at + 1 >= capacity) return false;
    out[at++] = c;
    return true;
  };
  bool fits = put(kIniMarkedSectionLead);
  for (size_t i = 0; fits && i < length; ++i) {
    const WCHAR c = name[i];
    if (c != WCH('%') && c != WCH('[') && c != WCH(']') && StrConvertsToAnsiExactly(c)) {
      fits = put(c);
      continue;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    fits = put(WCH('%'));
    for (int shift = 12; fits && shift >= 0; shift -= 4) fits = put(static_cast<WCHAR>(kHex[(c >> shift) & 0xF]));
  }
  if (!fits) {
    out[0] = 0;
    SetLastError(ERROR_INVALID_NAME);
    return FALSE;
  }
  out[at] = 0;
  return TRUE;
}

WCHAR* IniMakeSafeSectionName(WCHAR* name) {
  if (!name) return name;
  const bool skipTrailBytes = SysIsWin9x();
  for (WCHAR* c = name; *c != 0; ++c) {
    if (*c == WCH('[') || *c == WCH(']')) {
      *c = WCH(',');
    } else if (skipTrailBytes && IsDBCSLeadByte(static_cast<BYTE>(*c & 0xFF)) && c[1] != 0) {
      ++c;
    }
  }
  return name;
}
