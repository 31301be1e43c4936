#include "core/identity.h"

#include <array>
#include <cstring>
#include <optional>
#include <string>

#include "core/machine_root.h"
#include "core/system_settings.h"
#include "core/unicode.h"
#include "core/winerror.h"

namespace {

using velm::platform::MachineSetting;

struct LocaleRow {
  LANGID language;
  const char16_t* iso639;
  const char16_t* iso3166;
  const char16_t* abbreviation;  // LOCALE_SABBREVLANGNAME
  const char16_t* englishLanguage;
  const char16_t* englishCountry;
  DWORD countryCode;  // LOCALE_ICOUNTRY: the international dialling code
  DWORD ansiCodePage;
  DWORD oemCodePage;
  DWORD measure;    // 0 metric, 1 US
  DWORD paperSize;  // 1 Letter, 9 A4
};

constexpr std::array<LocaleRow, 27> kLocales = {{
    {0x0409, u"en", u"US", u"ENU", u"English", u"United States", 1, 1252, 437, 1, 1},
    {0x0809, u"en", u"GB", u"ENG", u"English", u"United Kingdom", 44, 1252, 850, 0, 9},
    {0x0C09, u"en", u"AU", u"ENA", u"English", u"Australia", 61, 1252, 850, 0, 9},
    {0x1009, u"en", u"CA", u"ENC", u"English", u"Canada", 2, 1252, 850, 1, 1},
    {0x0407, u"de", u"DE", u"DEU", u"German", u"Germany", 49, 1252, 850, 0, 9},
    {0x040C, u"fr", u"FR", u"FRA", u"French", u"France", 33, 1252, 850, 0, 9},
    {0x0C0C, u"fr", u"CA", u"FRC", u"French", u"Canada", 2, 1252, 850, 1, 1},
    {0x0410, u"it", u"IT", u"ITA", u"Italian", u"Italy", 39, 1252, 850, 0, 9},
    {0x0C0A, u"es", u"ES", u"ESN", u"Spanish", u"Spain", 34, 1252, 850, 0, 9},
    {0x0413, u"nl", u"NL", u"NLD", u"Dutch", u"Netherlands", 31, 1252, 850, 0, 9},
    {0x0416, u"pt", u"BR", u"PTB", u"Portuguese", u"Brazil", 55, 1252, 850, 0, 9},
    {0x0816, u"pt", u"PT", u"PTG", u"Portuguese", u"Portugal", 351, 1252, 850, 0, 9},
    {0x041D, u"sv", u"SE", u"SVE", u"Swedish", u"Sweden", 46, 1252, 850, 0, 9},
    {0x0406, u"da", u"DK", u"DAN", u"Danish", u"Denmark", 45, 1252, 850, 0, 9},
    {0x0414, u"nb", u"NO", u"NOR", u"Norwegian (Bokm\u00E5l)", u"Norway", 47, 1252, 850, 0, 9},
    {0x040B, u"fi", u"FI", u"FIN", u"Finnish", u"Finland", 358, 1252, 850, 0, 9},
    {0x0415, u"pl", u"PL", u"PLK", u"Polish", u"Poland", 48, 1250, 852, 0, 9},
    {0x0405, u"cs", u"CZ", u"CSY", u"Czech", u"Czech Republic", 420, 1250, 852, 0, 9},
    {0x040E, u"hu", u"HU", u"HUN", u"Hungarian", u"Hungary", 36, 1250, 852, 0, 9},
    {0x0419, u"ru", u"RU", u"RUS", u"Russian", u"Russia", 7, 1251, 866, 0, 9},
    {0x041F, u"tr", u"TR", u"TRK", u"Turkish", u"Turkey", 90, 1254, 857, 0, 9},
    {0x0408, u"el", u"GR", u"ELL", u"Greek", u"Greece", 30, 1253, 737, 0, 9},
    {0x0411, u"ja", u"JP", u"JPN", u"Japanese", u"Japan", 81, 932, 932, 0, 9},
    {0x0804, u"zh", u"CN", u"CHS", u"Chinese", u"People's Republic of China", 86, 936, 936, 0, 9},
    {0x0404, u"zh", u"TW", u"CHT", u"Chinese", u"Taiwan", 886, 950, 950, 0, 9},
    {0x0412, u"ko", u"KR", u"KOR", u"Korean", u"Korea", 82, 949, 949, 0, 9},
    {0x007F, u"iv", u"IV", u"IVL", u"Invariant Language", u"Invariant Country", 1, 1252, 437, 0, 9},
}};

constexpr LANGID kDefaultLanguage = 0x0409;
constexpr WORD kSublangNeutral = 0;
constexpr WORD kSublangDefault = 1;

thread_local std::optional<LCID> t_threadLocale;

LANGID LanguageSetting(std::string_view key) {
  const auto value = velm::platform::IntegerMachineSetting(key);
  return value && *value > 0 && *value <= 0xFFFF ? static_cast<LANGID>(*value) : kDefaultLanguage;
}

const LocaleRow* FindLanguage(LANGID language) {
  for (const LocaleRow& row : kLocales)
    if (row.language == language) return &row;
  // A primary language with the neutral sublanguage means its default one ("en" -> en-US).
  if (SUBLANGID(language) == kSublangNeutral && language != LOCALE_INVARIANT)
    return FindLanguage(MAKELANGID(PRIMARYLANGID(language), kSublangDefault));
  return nullptr;
}

// The language a locale identifier stands for; the defaults resolve to the machine's.
LANGID ResolveLanguage(LCID locale) {
  switch (locale) {
    case LOCALE_NEUTRAL:
    case LOCALE_USER_DEFAULT:
    case LOCALE_CUSTOM_DEFAULT:
      return GetUserDefaultLangID();
    case LOCALE_SYSTEM_DEFAULT:
      return GetSystemDefaultLangID();
    default:
      return LANGIDFROMLCID(locale);
  }
}

std::u16string Decimal(DWORD value) { return velm::platform::Utf8ToUtf16(std::to_string(value)); }

std::u16string Hex4(DWORD value) {
  static constexpr char16_t kDigits[] = u"0123456789abcdef";
  std::u16string text(4, u'0');
  for (int i = 3; i >= 0; --i, value >>= 4) text[i] = kDigits[value & 0xF];
  return text;
}

// The numeric items: their value, or nothing for a text item.
std::optional<DWORD> NumericItem(const LocaleRow& row, LCTYPE type, bool userOverrides, bool systemLocale) {
  switch (type) {
    case LOCALE_ILANGUAGE:
    case LOCALE_IDEFAULTLANGUAGE:
      return row.language;
    case LOCALE_ICOUNTRY:
      if (userOverrides) {
        const auto country = velm::platform::IntegerMachineSetting("country");
        if (country && *country >= 0 && *country <= 0xFFFFFFFFll) return static_cast<DWORD>(*country);
      }
      return row.countryCode;
    case LOCALE_IDEFAULTCOUNTRY:
      return row.countryCode;
    case LOCALE_IDEFAULTCODEPAGE:
      return row.oemCodePage;
    case LOCALE_IDEFAULTANSICODEPAGE:
      if (systemLocale) {
        const auto machine = velm::platform::IntegerMachineSetting("codepage");
        if (machine && *machine > 0 && *machine <= 0xFFFF) return static_cast<DWORD>(*machine);
      }
      return row.ansiCodePage;
    case LOCALE_IMEASURE:
      return row.measure;
    case LOCALE_IPAPERSIZE:
      return row.paperSize;
    default:
      return std::nullopt;
  }
}

std::optional<std::u16string> TextItem(const LocaleRow& row, LCTYPE type) {
  switch (type) {
    case LOCALE_SLANGUAGE:
    case LOCALE_SENGLANGUAGE:
      return row.englishLanguage;
    case LOCALE_SCOUNTRY:
    case LOCALE_SENGCOUNTRY:
      return row.englishCountry;
    case LOCALE_SABBREVLANGNAME:
      return row.abbreviation;
    case LOCALE_SISO639LANGNAME:
      return row.iso639;
    case LOCALE_SISO3166CTRYNAME:
      return row.iso3166;
    case LOCALE_SNAME:
      if (row.language == LOCALE_INVARIANT) return u"";
      return std::u16string(row.iso639) + u"-" + row.iso3166;
    default:
      return std::nullopt;
  }
}

// Copies `text` and its NUL into a caller's buffer by the Win32 size rules of `*size`.
bool CopyName(const std::u16string& text, LPWSTR buffer, LPDWORD size, DWORD tooSmallError, bool countNul) {
  if (!size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const DWORD needed = static_cast<DWORD>(text.size() + 1);
  if (!buffer || *size < needed) {
    *size = needed;
    SetLastError(tooSmallError);
    return false;
  }
  std::memcpy(buffer, text.c_str(), needed * sizeof(WCHAR));
  *size = countNul ? needed : needed - 1;
  return true;
}

}  // namespace

extern "C" BOOL GetUserNameW(LPWSTR buffer, LPDWORD size) {
  std::u16string name = velm::platform::Utf8ToUtf16(MachineSetting("user", "user"));
  if (name.size() > UNLEN) name.resize(UNLEN);
  return CopyName(name, buffer, size, ERROR_INSUFFICIENT_BUFFER, true) ? TRUE : FALSE;
}

extern "C" BOOL GetComputerNameW(LPWSTR buffer, LPDWORD size) {
  std::u16string name = velm::platform::Utf8ToUtf16(MachineSetting("computer", "VELMHOST"));
  if (name.size() > MAX_COMPUTERNAME_LENGTH) name.resize(MAX_COMPUTERNAME_LENGTH);
  for (char16_t& c : name) c = velm::platform::FoldAscii(c);
  return CopyName(name, buffer, size, ERROR_BUFFER_OVERFLOW, false) ? TRUE : FALSE;
}

extern "C" LANGID GetUserDefaultLangID(void) { return LanguageSetting("userlang"); }
extern "C" LANGID GetSystemDefaultLangID(void) { return LanguageSetting("systemlang"); }
extern "C" LANGID GetUserDefaultUILanguage(void) { return GetUserDefaultLangID(); }
extern "C" LANGID GetSystemDefaultUILanguage(void) { return GetSystemDefaultLangID(); }
extern "C" LCID GetUserDefaultLCID(void) { return MAKELCID(GetUserDefaultLangID(), SORT_DEFAULT); }
extern "C" LCID GetSystemDefaultLCID(void) { return MAKELCID(GetSystemDefaultLangID(), SORT_DEFAULT); }

extern "C" LCID GetThreadLocale(void) { return t_threadLocale ? *t_threadLocale : GetUserDefaultLCID(); }

extern "C" BOOL SetThreadLocale(LCID locale) {
  const LANGID language = ResolveLanguage(locale);
  if (!FindLanguage(language)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  t_threadLocale = MAKELCID(language, SORT_DEFAULT);
  return TRUE;
}

extern "C" int GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int capacity) {
  if (capacity < 0 || (capacity > 0 && !data)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const LANGID language = ResolveLanguage(locale);
  const LocaleRow* row = FindLanguage(language);
  if (!row) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const bool noOverride = type & LOCALE_NOUSEROVERRIDE;
  const bool asNumber = type & LOCALE_RETURN_NUMBER;
  const LCTYPE item = type & ~(LOCALE_NOUSEROVERRIDE | LOCALE_USE_CP_ACP | LOCALE_RETURN_NUMBER);
  const LocaleRow* userRow = FindLanguage(GetUserDefaultLangID());
  const LocaleRow* systemRow = FindLanguage(GetSystemDefaultLangID());
  const bool userOverrides = !noOverride && row == userRow;
  const bool systemLocale = row == systemRow;

  const std::optional<DWORD> number = NumericItem(*row, item, userOverrides, systemLocale);
  std::u16string text;
  if (number) {
    if (asNumber) {
      constexpr int kNumberChars = sizeof(DWORD) / sizeof(WCHAR);
      if (capacity == 0) return kNumberChars;
      if (capacity < kNumberChars) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
      }
      std::memcpy(data, &*number, sizeof(DWORD));
      return kNumberChars;
    }
    text = (item == LOCALE_ILANGUAGE || item == LOCALE_IDEFAULTLANGUAGE) ? Hex4(*number) : Decimal(*number);
  } else if (auto found = TextItem(*row, item); found && !asNumber) {
    text = std::move(*found);
  } else {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const int needed = static_cast<int>(text.size() + 1);
  if (capacity == 0) return needed;
  if (capacity < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(data, text.c_str(), needed * sizeof(WCHAR));
  return needed;
}
