#include "core/profile.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/codepage.h"
#include "core/file_stamp.h"
#include "core/host_file.h"
#include "core/machine_root.h"
#include "core/path_map.h"
#include "core/profile_text.h"
#include "core/unicode.h"
#include "core/winerror.h"
#include "core/write_observer.h"

namespace velm::platform {
namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxProfileBytes = 16u << 20;
constexpr std::u16string_view kWindowsDirectory = u"C:\\Windows";
constexpr WCHAR kWinIni[] = u"win.ini";
// The longest list WritePrivateProfileSection accepts, so that an unterminated list ends.
constexpr size_t kMaxSectionUnits = kMaxProfileBytes;

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) text.remove_suffix(1);
  return text;
}

bool HasLineBreak(std::u16string_view text) { return text.find_first_of(u"\r\n") != std::u16string_view::npos; }

bool IsUtf16(const std::string& bytes) {
  return bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
}

// A name without a folder lives in the Windows directory, as Windows places it.
bool MapProfile(const WCHAR* fileName, fs::path& host, DWORD& error) {
  std::u16string_view name = fileName ? std::u16string_view(fileName) : kWinIni;
  std::u16string full;
  if (name.find_first_of(u"\\/:") == std::u16string_view::npos) {
    full = std::u16string(kWindowsDirectory) + u"\\" + std::u16string(name);
    name = full;
  }
  MappedPath mapped;
  if (!MapPath(name, mapped, error)) return false;
  host = mapped.host;
  return true;
}

// The profile files this process read, parsed (see core/file_stamp.h): a file is trusted while
// a stat shows the same settled stamp and the machine's code page is the one it was decoded in;
// otherwise it is read again and parsed again only when its bytes changed. So a change another
// process made is always seen, and an unchanged file is read once however many values are asked.
class ParsedProfiles {
 public:
  std::shared_ptr<const ProfileText> Read(const fs::path& host, DWORD& error) {
    const std::string key = host.string();
    const std::optional<FileStamp> seen = StampOfFile(host);
    const UINT codePage = MachineCodePage();
    std::lock_guard guard(mutex_);
    Entry* cached = Find(key);
    if (cached && seen && cached->settled && cached->stamp == seen && cached->codePage == codePage)
      return cached->text;
    std::string bytes;
    error = ReadWholeFile(host, kMaxProfileBytes, bytes);
    if (error != ERROR_SUCCESS || IsUtf16(bytes)) {
      if (error == ERROR_SUCCESS) error = ERROR_INVALID_DATA;
      if (cached) entries_.erase(entries_.begin() + (cached - entries_.data()));
      return nullptr;
    }
    if (!cached) {
      if (entries_.size() == kMaxFiles) entries_.erase(entries_.begin());
      cached = &entries_.emplace_back();
      cached->key = key;
    }
    if (!cached->text || cached->codePage != codePage || cached->text->bytes() != bytes)
      cached->text = std::make_shared<const ProfileText>(std::move(bytes));
    cached->stamp = seen;
    cached->settled = seen && IsSettled(*seen);
    cached->codePage = codePage;
    return cached->text;
  }

 private:
  static constexpr size_t kMaxFiles = 16;
  struct Entry {
    std::string key;
    std::optional<FileStamp> stamp;
    bool settled = false;
    UINT codePage = 0;
    std::shared_ptr<const ProfileText> text;
  };
  Entry* Find(const std::string& key) {
    for (Entry& entry : entries_)
      if (entry.key == key) return &entry;
    return nullptr;
  }
  std::mutex mutex_;
  std::vector<Entry> entries_;
};

// The file's text; null with the error when it is missing or cannot be read.
std::shared_ptr<const ProfileText> ReadProfile(const WCHAR* fileName, DWORD& error) {
  static ParsedProfiles parsed;
  fs::path host;
  if (!MapProfile(fileName, host, error)) return nullptr;
  return parsed.Read(host, error);
}

// Applies `edit` to the file under the machine's profile lock and writes the result when it
// changed anything, so concurrent writers never lose each other's changes.
BOOL EditProfile(const WCHAR* fileName, const std::function<bool(ProfileText&)>& edit) {
  fs::path host;
  DWORD error = ERROR_SUCCESS;
  if (!MapProfile(fileName, host, error)) {
    SetLastError(error);
    return FALSE;
  }
  FileLock lock(MachineStore("locks") / "profile.lock");
  if (lock.error() != ERROR_SUCCESS) {
    SetLastError(lock.error());
    return FALSE;
  }
  std::string bytes;
  error = ReadWholeFile(host, kMaxProfileBytes, bytes);
  if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) {
    SetLastError(error);
    return FALSE;
  }
  if (IsUtf16(bytes)) {
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
  }
  ProfileText text(std::move(bytes));
  if (edit(text)) {
    error = ReplaceWholeFile(host, text.bytes());
    if (error != ERROR_SUCCESS) {
      SetLastError(error);
      return FALSE;
    }
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

bool ValidSection(std::u16string_view section) {
  return !HasLineBreak(section) && section.find(u']') == std::u16string_view::npos;
}

bool ValidKey(std::u16string_view key) {
  return !HasLineBreak(key) && key.find(u'=') == std::u16string_view::npos &&
         (key.empty() || (key.front() != u'[' && key.front() != u';'));
}

// A section line may be anything but a line break or a header.
bool ValidSectionLine(std::u16string_view line) {
  const std::u16string_view trimmed = Trim(line);
  return !HasLineBreak(line) && (trimmed.empty() || trimmed.front() != u'[');
}

// --- copying answers out, in WCHAR or in the ANSI code page ---

template <class Char>
std::basic_string<Char> Encode(std::u16string_view text);
template <>
std::u16string Encode<WCHAR>(std::u16string_view text) {
  return std::u16string(text);
}
template <>
std::string Encode<char>(std::u16string_view text) {
  return WideToAnsi(text);
}

// The longest encoded prefix of `text` that fits `limit` units without splitting a character.
template <class Char>
std::basic_string<Char> EncodePrefix(std::u16string_view text, size_t limit);
template <>
std::u16string EncodePrefix<WCHAR>(std::u16string_view text, size_t limit) {
  if (limit < text.size() && limit > 0 && text[limit - 1] >= 0xD800 && text[limit - 1] <= 0xDBFF) --limit;
  return std::u16string(text.substr(0, limit));
}
template <>
std::string EncodePrefix<char>(std::u16string_view text, size_t limit) {
  std::string out(limit + 1, '\0');
  out.resize(WideToAnsiBounded(text, out.data(), out.size()));
  return out;
}

template <class Char>
DWORD CopyValue(std::u16string_view value, Char* buffer, DWORD size, DWORD error) {
  if (!buffer || size == 0) {
    SetLastError(error);
    return 0;
  }
  std::basic_string<Char> out = Encode<Char>(value);
  if (out.size() >= size) {
    out = EncodePrefix<Char>(value, size - 1);
    error = ERROR_MORE_DATA;
  }
  std::copy(out.begin(), out.end(), buffer);
  buffer[out.size()] = 0;
  SetLastError(error);
  return static_cast<DWORD>(out.size());
}

template <class Char>
DWORD CopyList(const std::vector<std::u16string>& items, Char* buffer, DWORD size, DWORD error) {
  if (!buffer || size == 0) {
    SetLastError(error);
    return 0;
  }
  std::u16string flat;
  for (const std::u16string& item : items) {
    flat += item;
    flat += u'\0';
  }
  std::basic_string<Char> out = Encode<Char>(flat);
  if (out.size() + 1 <= size) {
    std::copy(out.begin(), out.end(), buffer);
    buffer[out.size()] = 0;
    if (out.empty() && size >= 2) buffer[1] = 0;
    SetLastError(error);
    return static_cast<DWORD>(out.size());
  }
  // Cut short: the last string is truncated and followed by two NULs.
  if (size < 2) {
    buffer[0] = 0;
    SetLastError(ERROR_MORE_DATA);
    return 0;
  }
  out = EncodePrefix<Char>(flat, size - 2);
  std::copy(out.begin(), out.end(), buffer);
  std::fill(buffer + out.size(), buffer + size, Char(0));
  SetLastError(ERROR_MORE_DATA);
  return size - 2;
}

// --- the functions, over WCHAR arguments ---

// What GetPrivateProfileString answers: a list for a null section or key, else one value.
struct StringAnswer {
  bool isList = false;
  std::vector<std::u16string> items;
  std::u16string value;
  DWORD error = ERROR_SUCCESS;
};

StringAnswer ProfileGetString(const WCHAR* section, const WCHAR* key, const WCHAR* defaultValue,
                              const WCHAR* fileName) {
  StringAnswer answer;
  DWORD error = ERROR_SUCCESS;
  const std::shared_ptr<const ProfileText> text = ReadProfile(fileName, error);
  if (!section || !key) {
    answer.isList = true;
    answer.error = error;
    if (text) answer.items = section ? text->KeyNames(Trim(section)) : text->SectionNames();
    return answer;
  }
  std::optional<std::u16string> value;
  if (text) value = text->Value(Trim(section), Trim(key));
  if (value) {
    answer.value = std::move(*value);
    return answer;
  }
  std::u16string_view fallback = defaultValue ? std::u16string_view(defaultValue) : std::u16string_view();
  while (!fallback.empty() && (fallback.back() == u' ' || fallback.back() == u'\t')) fallback.remove_suffix(1);
  answer.value = fallback;
  answer.error = text ? ERROR_FILE_NOT_FOUND : error;
  return answer;
}

// 0..15 for a hex digit, 16 for anything else.
uint32_t DigitValue(char16_t c) {
  c = FoldAscii(c);
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return 16;
}

UINT ParseProfileInt(std::u16string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
    negative = text.front() == u'-';
    text.remove_prefix(1);
  }
  uint32_t number = 0;  // wraps past 32 bits
  if (text.size() > 2 && text[0] == u'0' && FoldAscii(text[1]) == u'X' && DigitValue(text[2]) < 16) {
    for (size_t i = 2; i < text.size() && DigitValue(text[i]) < 16; ++i) number = number * 16 + DigitValue(text[i]);
  } else {
    for (size_t i = 0; i < text.size() && DigitValue(text[i]) < 10; ++i) number = number * 10 + DigitValue(text[i]);
  }
  return negative ? 0u - number : number;
}

UINT ProfileGetInt(const WCHAR* section, const WCHAR* key, INT defaultValue, const WCHAR* fileName) {
  if (!section || !key) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return static_cast<UINT>(defaultValue);
  }
  DWORD error = ERROR_SUCCESS;
  const std::shared_ptr<const ProfileText> text = ReadProfile(fileName, error);
  std::optional<std::u16string> value;
  if (text) value = text->Value(Trim(section), Trim(key));
  if (!value) {
    SetLastError(text ? ERROR_FILE_NOT_FOUND : error);
    return static_cast<UINT>(defaultValue);
  }
  SetLastError(ERROR_SUCCESS);
  return ParseProfileInt(*value);
}

static void ReportProfileWrite(const WCHAR* fileName, const std::u16string& section, const std::u16string& key,
                               const std::u16string& text, bool removed) {
  ObservedWrite write;
  write.kind = ObservedWrite::Kind::kProfile;
  write.file = fileName ? fileName : u"";
  write.section = section;
  write.name = key;
  write.text = text;
  write.removed = removed;
  ReportWrite(write);
}

BOOL ProfileWriteString(const WCHAR* section, const WCHAR* key, const WCHAR* value, const WCHAR* fileName) {
  if (!section) {
    // Section, key and value all null is the flush request; nothing is cached, and Windows
    // answers it with FALSE.
    SetLastError(!key && !value ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::u16string sectionName(Trim(section));
  const std::u16string keyName(key ? Trim(key) : std::u16string_view());
  if (!ValidSection(sectionName) || (key && !ValidKey(keyName)) || (value && HasLineBreak(value))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const BOOL written = EditProfile(fileName, [&](ProfileText& text) {
    if (!key) return text.DeleteSection(sectionName);
    if (!value) return text.DeleteKey(sectionName, keyName);
    return text.SetValue(sectionName, keyName, value);
  });
  if (written) {
    ReportProfileWrite(fileName, sectionName, keyName, value ? value : u"", !value);
  }
  return written;
}

BOOL ProfileWriteSection(const WCHAR* section, const std::vector<std::u16string>* lines, const WCHAR* fileName) {
  if (!section) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::u16string sectionName(Trim(section));
  bool valid = ValidSection(sectionName);
  if (lines)
    for (const std::u16string& line : *lines) valid = valid && ValidSectionLine(line);
  if (!valid) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const BOOL written = EditProfile(fileName, [&](ProfileText& text) {
    if (!lines) return text.DeleteSection(sectionName);
    const std::string before = text.bytes();
    text.ReplaceSection(sectionName, *lines);
    return text.bytes() != before;
  });
  if (written) {
    // A whole section: its lines, one per line of the text.
    std::u16string joined;
    if (lines)
      for (const std::u16string& line : *lines) joined += line + u"\n";
    ReportProfileWrite(fileName, sectionName, u"", joined, !lines);
  }
  return written;
}

// Splits a double-NUL list; false when it has no end within the bound.
template <class Char>
bool SplitList(const Char* list, std::vector<std::basic_string<Char>>& out) {
  size_t i = 0;
  while (list[i] != 0) {
    const size_t start = i;
    while (list[i] != 0) {
      if (++i > kMaxSectionUnits) return false;
    }
    out.emplace_back(list + start, i - start);
    ++i;
  }
  return true;
}

// ANSI arguments, widened; null stays null.
class Widened {
 public:
  explicit Widened(const char* text) : null_(!text) {
    if (text) text_ = AnsiToWide(text);
  }
  const WCHAR* get() const { return null_ ? nullptr : text_.c_str(); }

 private:
  bool null_;
  std::u16string text_;
};

}  // namespace
}  // namespace velm::platform

using namespace velm::platform;

extern "C" {

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer, DWORD size,
                               LPCWSTR fileName) {
  const StringAnswer answer = ProfileGetString(section, key, defaultValue, fileName);
  return answer.isList ? CopyList(answer.items, buffer, size, answer.error)
                       : CopyValue(answer.value, buffer, size, answer.error);
}

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                               LPCSTR fileName) {
  const StringAnswer answer = ProfileGetString(Widened(section).get(), Widened(key).get(),
                                               Widened(defaultValue).get(), Widened(fileName).get());
  return answer.isList ? CopyList(answer.items, buffer, size, answer.error)
                       : CopyValue(answer.value, buffer, size, answer.error);
}

UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR fileName) {
  return ProfileGetInt(section, key, defaultValue, fileName);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName) {
  return ProfileGetInt(Widened(section).get(), Widened(key).get(), defaultValue, Widened(fileName).get());
}

DWORD GetPrivateProfileSectionW(LPCWSTR section, LPWSTR buffer, DWORD size, LPCWSTR fileName) {
  if (!section) return CopyList<WCHAR>({}, buffer, size, ERROR_INVALID_PARAMETER);
  DWORD error = ERROR_SUCCESS;
  const std::shared_ptr<const ProfileText> text = ReadProfile(fileName, error);
  return CopyList(text ? text->SectionLines(Trim(section)) : std::vector<std::u16string>(), buffer, size, error);
}

DWORD GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR fileName) {
  if (!section) return CopyList<char>({}, buffer, size, ERROR_INVALID_PARAMETER);
  DWORD error = ERROR_SUCCESS;
  const std::shared_ptr<const ProfileText> text = ReadProfile(Widened(fileName).get(), error);
  return CopyList(text ? text->SectionLines(Trim(AnsiToWide(section))) : std::vector<std::u16string>(), buffer,
                  size, error);
}

DWORD GetPrivateProfileSectionNamesW(LPWSTR buffer, DWORD size, LPCWSTR fileName) {
  return GetPrivateProfileStringW(nullptr, nullptr, nullptr, buffer, size, fileName);
}

DWORD GetPrivateProfileSectionNamesA(LPSTR buffer, DWORD size, LPCSTR fileName) {
  return GetPrivateProfileStringA(nullptr, nullptr, nullptr, buffer, size, fileName);
}

BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName) {
  return ProfileWriteString(section, key, value, fileName);
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
  return ProfileWriteString(Widened(section).get(), Widened(key).get(), Widened(value).get(),
                            Widened(fileName).get());
}

BOOL WritePrivateProfileSectionW(LPCWSTR section, LPCWSTR lines, LPCWSTR fileName) {
  std::vector<std::u16string> split;
  if (lines && !SplitList(lines, split)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return ProfileWriteSection(section, lines ? &split : nullptr, fileName);
}

BOOL WritePrivateProfileSectionA(LPCSTR section, LPCSTR lines, LPCSTR fileName) {
  std::vector<std::string> split;
  if (lines && !SplitList(lines, split)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<std::u16string> wide;
  for (const std::string& line : split) wide.push_back(AnsiToWide(line));
  return ProfileWriteSection(Widened(section).get(), lines ? &wide : nullptr, Widened(fileName).get());
}

DWORD GetProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer, DWORD size) {
  return GetPrivateProfileStringW(section, key, defaultValue, buffer, size, kWinIni);
}

DWORD GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size) {
  return GetPrivateProfileStringA(section, key, defaultValue, buffer, size, "win.ini");
}

UINT GetProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue) {
  return GetPrivateProfileIntW(section, key, defaultValue, kWinIni);
}

BOOL WriteProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value) {
  return WritePrivateProfileStringW(section, key, value, kWinIni);
}

BOOL WriteProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value) {
  return WritePrivateProfileStringA(section, key, value, "win.ini");
}

}  // extern "C"
