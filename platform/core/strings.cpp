#include "core/strings.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

#include "core/codepage.h"
#include "core/unicode.h"

namespace velm::platform {
namespace {

// ---- formatting engine ----

// Writes into the caller's buffer while there is room and counts everything, so that callers
// learn both what was stored and what the whole output needs.
class Output {
 public:
  Output(WCHAR* target, size_t capacity) : target_(target), capacity_(target ? capacity : 0) {}

  void Put(char16_t c) {
    if (written_ + 1 < capacity_) target_[written_++] = c;
    ++needed_;
  }
  void Put(std::u16string_view text) {
    const size_t n = std::min(text.size(), Room());
    if (n > 0) std::memcpy(target_ + written_, text.data(), n * sizeof(char16_t));
    written_ += n;
    needed_ += text.size();
  }
  void Repeat(char16_t c, size_t count) {
    const size_t n = std::min(count, Room());
    for (size_t i = 0; i < n; ++i) target_[written_++] = c;
    needed_ += count;
  }
  FormatOutcome Finish(bool valid) {
    if (!valid) written_ = 0;
    // A cut between the halves of a surrogate pair would leave a broken character.
    if (needed_ > written_ && written_ > 0 && target_[written_ - 1] >= 0xD800 && target_[written_ - 1] <= 0xDBFF)
      --written_;
    if (capacity_ > 0) target_[written_] = u'\0';
    return {written_, needed_, valid};
  }

 private:
  // Units that still fit before the NUL. Once the output was cut, nothing later fits either.
  size_t Room() const { return needed_ == written_ && written_ + 1 < capacity_ ? capacity_ - written_ - 1 : 0; }

  WCHAR* target_;
  size_t capacity_;
  size_t written_ = 0;
  size_t needed_ = 0;
};

enum class Size { kDefault, kChar, kShort, kLong, kLongLong, kPointer, kLongDouble, kWide };

// One conversion of a format: %[flags][width][.precision][size]conversion.
struct Field {
  bool left = false, plus = false, space = false, alt = false, zero = false;
  size_t width = 0;
  long long precision = -1;  // -1: none
  Size size = Size::kDefault;
  char16_t conversion = 0;
};

constexpr long long kMaxWidth = 0x7FFFFFFF;
constexpr long long kMaxFloatPrecision = 4096;  // keeps a float's text to a sane size

// Reads a decimal number of the format; false when it would exceed kMaxWidth.
bool ReadNumber(const WCHAR*& f, long long& value) {
  value = 0;
  while (*f >= u'0' && *f <= u'9') {
    value = value * 10 + (*f++ - u'0');
    if (value > kMaxWidth) return false;
  }
  return true;
}

void PutPadded(Output& out, const Field& field, std::u16string_view text) {
  const size_t pad = field.width > text.size() ? field.width - text.size() : 0;
  if (!field.left) out.Repeat(field.zero ? u'0' : u' ', pad);
  out.Put(text);
  if (field.left) out.Repeat(u' ', pad);
}

// Sign or prefix, zeros, digits, laid out in the width.
void PutNumber(Output& out, const Field& field, std::u16string_view prefix, size_t zeros, std::u16string_view digits,
               bool zeroPadAllowed) {
  const size_t body = prefix.size() + zeros + digits.size();
  size_t pad = field.width > body ? field.width - body : 0;
  if (field.zero && !field.left && zeroPadAllowed) zeros += pad, pad = 0;
  if (!field.left) out.Repeat(u' ', pad);
  out.Put(prefix);
  out.Repeat(u'0', zeros);
  out.Put(digits);
  if (field.left) out.Repeat(u' ', pad);
}

void PutInteger(Output& out, const Field& field, uint64_t magnitude, bool negative, bool isSigned) {
  const char16_t conv = field.conversion;
  const unsigned base = conv == u'o' ? 8 : (conv == u'x' || conv == u'X' || conv == u'p') ? 16 : 10;
  const char16_t* alphabet = conv == u'x' ? u"0123456789abcdef" : u"0123456789ABCDEF";
  char16_t buffer[24];
  size_t n = 0;
  for (uint64_t v = magnitude; v != 0; v /= base) buffer[sizeof buffer / sizeof *buffer - 1 - n++] = alphabet[v % base];
  const std::u16string_view digits(buffer + sizeof buffer / sizeof *buffer - n, n);
  const size_t minDigits = field.precision >= 0 ? static_cast<size_t>(field.precision) : 1;
  size_t zeros = minDigits > n ? minDigits - n : 0;
  if (conv == u'o' && field.alt && zeros == 0) zeros = 1;  // "#o" always starts with 0
  char16_t prefix[2];
  size_t p = 0;
  if (isSigned && negative) prefix[p++] = u'-';
  else if (isSigned && field.plus) prefix[p++] = u'+';
  else if (isSigned && field.space) prefix[p++] = u' ';
  if ((conv == u'x' || conv == u'X') && field.alt && magnitude != 0) prefix[p++] = u'0', prefix[p++] = conv;
  PutNumber(out, field, std::u16string_view(prefix, p), zeros, digits, field.precision < 0);
}

template <class Float>
void PutFloat(Output& out, const Field& field, Float value) {
  // The host formats the number from a format built here, never the caller's; width and
  // zero padding are laid out by PutNumber like every other number.
  char format[16];
  size_t f = 0;
  format[f++] = '%';
  if (field.plus) format[f++] = '+';
  if (field.space) format[f++] = ' ';
  if (field.alt) format[f++] = '#';
  format[f++] = '.';
  format[f++] = '*';
  if constexpr (sizeof(Float) > sizeof(double)) format[f++] = 'L';
  format[f++] = static_cast<char>(field.conversion);
  format[f] = '\0';
  const int precision = static_cast<int>(field.precision);
  char small[64];
  std::string large;
  int n = std::snprintf(small, sizeof small, format, precision, value);
  const char* text = small;
  if (n < 0) return;
  if (static_cast<size_t>(n) >= sizeof small) {
    large.resize(static_cast<size_t>(n) + 1);
    std::snprintf(large.data(), large.size(), format, precision, value);
    text = large.data();
  }
  if (n == 0) return;
  std::u16string wide(text, text + n);
  size_t prefix = (wide[0] == u'+' || wide[0] == u'-' || wide[0] == u' ') ? 1 : 0;
  if ((field.conversion == u'a' || field.conversion == u'A') && wide.size() >= prefix + 2 && wide[prefix] == u'0')
    prefix += 2;
  const std::u16string_view all(wide);
  PutNumber(out, field, all.substr(0, prefix), 0, all.substr(prefix), std::isfinite(value));
}

// A narrow string argument, cut to `precision` bytes at a character boundary before it is
// converted, so that a field without NUL is never read past its precision.
std::u16string NarrowArgument(const char* text, long long precision) {
  size_t length = precision >= 0 ? strnlen(text, static_cast<size_t>(precision)) : std::strlen(text);
  const std::string_view bytes(text, length);
  if (precision >= 0) length = AnsiCharBoundary(CP_ACP, bytes);
  return AnsiToWide(bytes.substr(0, length));
}

// Reads the flags, width, precision and size of one conversion; false for an invalid one.
bool ReadField(const WCHAR*& f, va_list& args, Field& field) {
  for (;; ++f) {
    if (*f == u'-') field.left = true;
    else if (*f == u'+') field.plus = true;
    else if (*f == u' ') field.space = true;
    else if (*f == u'#') field.alt = true;
    else if (*f == u'0') field.zero = true;
    else break;
  }
  long long number = 0;
  if (*f == u'*') {
    ++f;
    number = va_arg(args, int);
    if (number < 0) field.left = true, number = -number;
    if (number > kMaxWidth) return false;
  } else if (!ReadNumber(f, number)) {
    return false;
  }
  field.width = static_cast<size_t>(number);
  if (*f == u'.') {
    ++f;
    if (*f == u'*') {
      ++f;
      const int p = va_arg(args, int);
      field.precision = p < 0 ? -1 : p;
    } else if (!ReadNumber(f, field.precision)) {
      return false;
    }
  }
  switch (*f) {
    case u'h':
      field.size = *++f == u'h' ? (++f, Size::kChar) : Size::kShort;
      break;
    case u'l':
      field.size = *++f == u'l' ? (++f, Size::kLongLong) : Size::kLong;
      break;
    case u'w':
      ++f, field.size = Size::kWide;
      break;
    case u'L':
      ++f, field.size = Size::kLongDouble;
      break;
    case u'I':
      if (f[1] == u'6' && f[2] == u'4') f += 3, field.size = Size::kLongLong;
      else if (f[1] == u'3' && f[2] == u'2') f += 3, field.size = Size::kLong;
      else ++f, field.size = Size::kPointer;
      break;
    case u'z':
    case u't':
    case u'j':
      ++f, field.size = Size::kPointer;
      break;
    default:
      break;
  }
  field.conversion = *f;
  if (field.conversion == u'\0') return false;
  ++f;
  return true;
}

bool PutSigned(Output& out, const Field& field, va_list& args) {
  int64_t v;
  switch (field.size) {
    case Size::kChar: v = static_cast<signed char>(va_arg(args, int)); break;
    case Size::kShort: v = static_cast<short>(va_arg(args, int)); break;
    case Size::kLongLong: v = va_arg(args, long long); break;
    case Size::kPointer: v = va_arg(args, intptr_t); break;
    default: v = va_arg(args, int); break;  // int, and LONG (32-bit)
  }
  const uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  PutInteger(out, field, magnitude, v < 0, true);
  return true;
}

bool PutUnsigned(Output& out, const Field& field, va_list& args) {
  uint64_t v;
  switch (field.size) {
    case Size::kChar: v = static_cast<unsigned char>(va_arg(args, unsigned)); break;
    case Size::kShort: v = static_cast<unsigned short>(va_arg(args, unsigned)); break;
    case Size::kLongLong: v = va_arg(args, unsigned long long); break;
    case Size::kPointer: v = va_arg(args, uintptr_t); break;
    default: v = va_arg(args, unsigned); break;
  }
  PutInteger(out, field, v, false, false);
  return true;
}

// One conversion; false for one that is not allowed.
bool PutConversion(Output& out, Field field, va_list& args) {
  const char16_t conv = field.conversion;
  switch (conv) {
    case u'd':
    case u'i':
      return PutSigned(out, field, args);
    case u'u':
    case u'o':
    case u'x':
    case u'X':
      return PutUnsigned(out, field, args);
    case u'p': {
      if (field.precision < 0) field.precision = 2 * sizeof(void*);
      field.alt = false;
      PutInteger(out, field, reinterpret_cast<uintptr_t>(va_arg(args, void*)), false, false);
      return true;
    }
    case u'c':
    case u'C': {
      const int value = va_arg(args, int);
      const bool narrow = field.size == Size::kShort || (conv == u'C' && field.size != Size::kLong && field.size != Size::kWide);
      if (!narrow) {
        const char16_t c = static_cast<char16_t>(value);
        PutPadded(out, field, std::u16string_view(&c, 1));
      } else {
        const char byte = static_cast<char>(value);
        PutPadded(out, field, AnsiToWide(std::string_view(&byte, 1)));
      }
      return true;
    }
    case u's':
    case u'S': {
      const bool narrow = field.size == Size::kShort || (conv == u'S' && field.size != Size::kLong && field.size != Size::kWide);
      if (narrow) {
        const char* text = va_arg(args, const char*);
        std::u16string wide = NarrowArgument(text ? text : "(null)", text ? field.precision : -1);
        if (field.precision >= 0 && wide.size() > static_cast<size_t>(field.precision)) wide.resize(field.precision);
        PutPadded(out, field, wide);
      } else {
        const WCHAR* text = va_arg(args, const WCHAR*);
        if (!text) text = u"(null)";
        size_t length = 0;
        const size_t limit = field.precision >= 0 ? static_cast<size_t>(field.precision) : SIZE_MAX;
        while (length < limit && text[length]) ++length;
        PutPadded(out, field, std::u16string_view(text, length));
      }
      return true;
    }
    case u'e':
    case u'E':
    case u'f':
    case u'F':
    case u'g':
    case u'G':
    case u'a':
    case u'A':
      if (field.precision > kMaxFloatPrecision) return false;
      if (field.size == Size::kLongDouble) PutFloat(out, field, va_arg(args, long double));
      else PutFloat(out, field, va_arg(args, double));
      return true;
    default:
      return false;  // %n among them: nothing is ever written through an argument
  }
}

// ---- helpers for the other functions ----

bool IsBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

int DigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'z') return c - u'a' + 10;
  if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
  return 99;
}

// Reads an integer as strtol does, saturating the magnitude at `limit`.
struct Parsed {
  uint64_t magnitude = 0;
  bool negative = false;
  bool overflow = false;
  const WCHAR* end = nullptr;
};

Parsed ParseInteger(const WCHAR* text, int base, uint64_t limit) {
  Parsed r;
  r.end = text;
  const WCHAR* p = text;
  while (IsBlank(*p)) ++p;
  if (*p == u'+' || *p == u'-') r.negative = *p++ == u'-';
  if ((base == 0 || base == 16) && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') && DigitValue(p[2]) < 16) {
    p += 2;
    base = 16;
  } else if (base == 0) {
    base = p[0] == u'0' ? 8 : 10;
  }
  const WCHAR* digits = p;
  for (int d; (d = DigitValue(*p)) < base; ++p) {
    if (r.magnitude > (limit - d) / base) r.overflow = true, r.magnitude = limit;
    else r.magnitude = r.magnitude * base + d;
  }
  if (p != digits) r.end = p;
  return r;
}

LONG ToLong(const Parsed& r) {
  if (r.negative) {
    if (r.overflow || r.magnitude > 0x80000000ull) return INT32_MIN;
    return static_cast<LONG>(-static_cast<int64_t>(r.magnitude));
  }
  return r.overflow || r.magnitude > 0x7FFFFFFFull ? INT32_MAX : static_cast<LONG>(r.magnitude);
}

bool LongOutOfRange(const Parsed& r) {
  return r.overflow || r.magnitude > (r.negative ? 0x80000000ull : 0x7FFFFFFFull);
}

WCHAR* ToText(uint64_t magnitude, bool negative, WCHAR* target, int radix) {
  if (!target) return nullptr;
  if (radix < 2 || radix > 36) {
    errno = EINVAL;
    target[0] = u'\0';
    return target;
  }
  char16_t digits[40];
  size_t n = 0;
  do {
    const unsigned d = static_cast<unsigned>(magnitude % static_cast<unsigned>(radix));
    digits[n++] = static_cast<char16_t>(d < 10 ? u'0' + d : u'a' + d - 10);
    magnitude /= static_cast<unsigned>(radix);
  } while (magnitude != 0);
  WCHAR* p = target;
  if (negative) *p++ = u'-';
  while (n > 0) *p++ = digits[--n];
  *p = u'\0';
  return target;
}

char16_t LowerAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

template <class Char>
int CompareFolded(const Char* a, const Char* b, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const int x = LowerAscii(static_cast<std::make_unsigned_t<Char>>(a[i]));
    const int y = LowerAscii(static_cast<std::make_unsigned_t<Char>>(b[i]));
    if (x != y || x == 0) return x - y;
  }
  return 0;
}

template <class Char>
int Sign(Char a, Char b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

// Lower-case ranges of the letters CharUpperW/CharLowerW map, with where their capitals start.
struct CaseRange {
  char16_t lowerFirst, lowerLast, upperFirst;
};
constexpr CaseRange kCaseRanges[] = {
    {u'a', u'z', u'A'}, {0x00E0, 0x00F6, 0x00C0}, {0x00F8, 0x00FE, 0x00D8}, {0x00FF, 0x00FF, 0x0178},
    {0x0153, 0x0153, 0x0152}, {0x0161, 0x0161, 0x0160}, {0x017E, 0x017E, 0x017D},
};

LPWSTR MapCase(LPWSTR text, char16_t (*map)(char16_t)) {
  const auto value = reinterpret_cast<uintptr_t>(text);
  if ((value >> 16) == 0) return reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(map(static_cast<char16_t>(value))));
  for (WCHAR* p = text; *p; ++p) *p = map(*p);
  return text;
}

// strsafe: checks a target size in units.
bool ValidCch(LPCWSTR target, size_t cch) { return target && cch != 0 && cch <= STRSAFE_MAX_CCH; }

// Copies at most `sourceMax` units of source after target[offset], within cch units.
HRESULT CopyInto(LPWSTR target, size_t cch, size_t offset, LPCWSTR source, size_t sourceMax) {
  size_t i = 0;
  while (i < sourceMax && source[i] && offset + i + 1 < cch) {
    target[offset + i] = source[i];
    ++i;
  }
  target[offset + i] = u'\0';
  return i < sourceMax && source[i] ? STRSAFE_E_INSUFFICIENT_BUFFER : S_OK;
}

HRESULT InvalidStrsafe(LPWSTR target, size_t cch) {
  if (ValidCch(target, cch)) target[0] = u'\0';
  return STRSAFE_E_INVALID_PARAMETER;
}

constexpr size_t kWsprintfUnits = 1024;

// _snwprintf's contract, and swprintf's with a count: the units written, or -1 when cut.
int PrintCounted(WCHAR* target, size_t count, const WCHAR* format, va_list args, bool sizeQuery) {
  if (!format || (!target && !(sizeQuery && count == 0))) {
    errno = EINVAL;
    return -1;
  }
  const FormatOutcome r = FormatWideV(target, count, format, args);
  if (!r.valid) {
    errno = EINVAL;
    return -1;
  }
  if (!target) return r.needed > INT32_MAX ? -1 : static_cast<int>(r.needed);
  if (r.Truncated() || r.needed > INT32_MAX) return -1;
  return static_cast<int>(r.written);
}

}  // namespace

FormatOutcome FormatWideV(WCHAR* target, size_t capacity, const WCHAR* format, va_list args) {
  Output out(target, capacity);
  if (!format) return out.Finish(false);
  va_list ap;
  va_copy(ap, args);
  bool valid = true;
  for (const WCHAR* f = format; *f && valid;) {
    if (*f != u'%') {
      out.Put(*f++);
      continue;
    }
    ++f;
    if (*f == u'%') {
      out.Put(*f++);
      continue;
    }
    Field field;
    valid = ReadField(f, ap, field) && PutConversion(out, field, ap);
  }
  va_end(ap);
  return out.Finish(valid);
}

char16_t UpperCase(char16_t c) {
  for (const CaseRange& r : kCaseRanges)
    if (c >= r.lowerFirst && c <= r.lowerLast) return static_cast<char16_t>(r.upperFirst + (c - r.lowerFirst));
  return c;
}

char16_t LowerCase(char16_t c) {
  for (const CaseRange& r : kCaseRanges)
    if (c >= r.upperFirst && c <= r.upperFirst + (r.lowerLast - r.lowerFirst))
      return static_cast<char16_t>(r.lowerFirst + (c - r.upperFirst));
  return c;
}

}  // namespace velm::platform

using namespace velm::platform;

extern "C" {

int lstrlenW(LPCWSTR text) {
  const size_t n = Length16(text);
  return n > INT32_MAX ? INT32_MAX : static_cast<int>(n);
}

LPWSTR lstrcpyW(LPWSTR target, LPCWSTR source) {
  if (!target || !source) return nullptr;
  std::memmove(target, source, (Length16(source) + 1) * sizeof(WCHAR));
  return target;
}

LPWSTR lstrcpynW(LPWSTR target, LPCWSTR source, int max) {
  if (!target || !source) return nullptr;
  if (max <= 0) return target;
  int i = 0;
  for (; i + 1 < max && source[i]; ++i) target[i] = source[i];
  target[i] = u'\0';
  return target;
}

LPWSTR lstrcatW(LPWSTR target, LPCWSTR source) {
  if (!target || !source) return nullptr;
  lstrcpyW(target + Length16(target), source);
  return target;
}

int lstrcmpW(LPCWSTR a, LPCWSTR b) {
  if (!a || !b) return Sign(a != nullptr, b != nullptr);
  for (;; ++a, ++b)
    if (*a != *b || *a == 0) return Sign(*a, *b);
}

int lstrcmpiW(LPCWSTR a, LPCWSTR b) {
  if (!a || !b) return Sign(a != nullptr, b != nullptr);
  return CompareNoCase(std::u16string_view(a), std::u16string_view(b));
}

int lstrlenA(LPCSTR text) {
  const size_t n = text ? std::strlen(text) : 0;
  return n > INT32_MAX ? INT32_MAX : static_cast<int>(n);
}

LPSTR lstrcpynA(LPSTR target, LPCSTR source, int max) {
  if (!target || !source) return nullptr;
  if (max <= 0) return target;
  const std::string_view head(source, strnlen(source, static_cast<size_t>(max - 1)));
  const size_t n = AnsiCharBoundary(CP_ACP, head);
  std::memmove(target, source, n);
  target[n] = '\0';
  return target;
}

int lstrcmpA(LPCSTR a, LPCSTR b) {
  if (!a || !b) return Sign(a != nullptr, b != nullptr);
  const int r = std::strcmp(a, b);
  return Sign(r, 0);
}

int lstrcmpiA(LPCSTR a, LPCSTR b) {
  if (!a || !b) return Sign(a != nullptr, b != nullptr);
  const UINT cp = MachineCodePage();
  // Both strings advance together while they agree, so a trail byte is never read as a letter.
  while (true) {
    const size_t n = AnsiCharLength(cp, std::string_view(a, strnlen(a, 4)));
    if (n <= 1) {
      const int x = FoldAscii(static_cast<BYTE>(*a)), y = FoldAscii(static_cast<BYTE>(*b));
      if (x != y || x == 0) return Sign(x, y);
      ++a, ++b;
      continue;
    }
    for (size_t i = 0; i < n; ++i, ++a, ++b)
      if (*a != *b) return Sign(static_cast<BYTE>(*a), static_cast<BYTE>(*b));
  }
}

LPWSTR CharUpperW(LPWSTR text) { return MapCase(text, UpperCase); }
LPWSTR CharLowerW(LPWSTR text) { return MapCase(text, LowerCase); }

DWORD CharUpperBuffW(LPWSTR text, DWORD length) {
  if (!text) return 0;
  for (DWORD i = 0; i < length; ++i) text[i] = UpperCase(text[i]);
  return length;
}

DWORD CharLowerBuffW(LPWSTR text, DWORD length) {
  if (!text) return 0;
  for (DWORD i = 0; i < length; ++i) text[i] = LowerCase(text[i]);
  return length;
}

LPSTR CharNextA(LPCSTR current) {
  if (!current) return nullptr;
  if (*current == '\0') return const_cast<LPSTR>(current);
  return const_cast<LPSTR>(current + AnsiCharLength(CP_ACP, std::string_view(current, strnlen(current, 4))));
}

LPSTR CharPrevA(LPCSTR start, LPCSTR current) {
  if (!start || !current) return nullptr;
  if (current <= start) return const_cast<LPSTR>(start);
  const UINT cp = MachineCodePage();
  for (LPCSTR p = start;;) {
    const size_t left = static_cast<size_t>(current - p);
    const size_t n = AnsiCharLength(cp, std::string_view(p, left < 4 ? left : 4));
    if (n >= left) return const_cast<LPSTR>(p);
    p += n;
  }
}

int wvsprintfW(LPWSTR target, LPCWSTR format, va_list args) {
  if (!target) return 0;
  const FormatOutcome r = FormatWideV(target, kWsprintfUnits, format, args);
  return static_cast<int>(r.written);
}

int wsprintfW(LPWSTR target, LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  const int n = wvsprintfW(target, format, args);
  va_end(args);
  return n;
}

HRESULT StringCchCopyW(LPWSTR target, size_t targetCch, LPCWSTR source) {
  if (!ValidCch(target, targetCch) || !source) return InvalidStrsafe(target, targetCch);
  return CopyInto(target, targetCch, 0, source, SIZE_MAX);
}

HRESULT StringCchCopyNW(LPWSTR target, size_t targetCch, LPCWSTR source, size_t sourceMaxCch) {
  if (!ValidCch(target, targetCch) || !source || sourceMaxCch > STRSAFE_MAX_CCH)
    return InvalidStrsafe(target, targetCch);
  return CopyInto(target, targetCch, 0, source, sourceMaxCch);
}

HRESULT StringCchCatW(LPWSTR target, size_t targetCch, LPCWSTR source) {
  if (!ValidCch(target, targetCch) || !source) return STRSAFE_E_INVALID_PARAMETER;
  size_t length = 0;
  while (length < targetCch && target[length]) ++length;
  if (length == targetCch) return STRSAFE_E_INVALID_PARAMETER;  // no NUL: leave it alone
  return CopyInto(target, targetCch, length, source, SIZE_MAX);
}

HRESULT StringCchVPrintfW(LPWSTR target, size_t targetCch, LPCWSTR format, va_list args) {
  if (!ValidCch(target, targetCch) || !format) return InvalidStrsafe(target, targetCch);
  const FormatOutcome r = FormatWideV(target, targetCch, format, args);
  if (!r.valid) return STRSAFE_E_INVALID_PARAMETER;
  return r.Truncated() ? STRSAFE_E_INSUFFICIENT_BUFFER : S_OK;
}

HRESULT StringCchPrintfW(LPWSTR target, size_t targetCch, LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  const HRESULT hr = StringCchVPrintfW(target, targetCch, format, args);
  va_end(args);
  return hr;
}

HRESULT StringCchLengthW(LPCWSTR text, size_t maxCch, size_t* length) {
  if (length) *length = 0;
  if (!text || maxCch > STRSAFE_MAX_CCH) return STRSAFE_E_INVALID_PARAMETER;
  size_t n = 0;
  while (n < maxCch && text[n]) ++n;
  if (n == maxCch) return STRSAFE_E_INVALID_PARAMETER;
  if (length) *length = n;
  return S_OK;
}

HRESULT StringCbCopyW(LPWSTR target, size_t targetBytes, LPCWSTR source) {
  return StringCchCopyW(target, targetBytes / sizeof(WCHAR), source);
}

HRESULT StringCbCatW(LPWSTR target, size_t targetBytes, LPCWSTR source) {
  return StringCchCatW(target, targetBytes / sizeof(WCHAR), source);
}

HRESULT StringCbPrintfW(LPWSTR target, size_t targetBytes, LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  const HRESULT hr = StringCchVPrintfW(target, targetBytes / sizeof(WCHAR), format, args);
  va_end(args);
  return hr;
}

}  // extern "C"

size_t wcslen(const WCHAR* text) { return Length16(text); }

WCHAR* wcscpy(WCHAR* target, const WCHAR* source) {
  std::memmove(target, source, (Length16(source) + 1) * sizeof(WCHAR));
  return target;
}

WCHAR* wcsncpy(WCHAR* target, const WCHAR* source, size_t count) {
  size_t i = 0;
  for (; i < count && source[i]; ++i) target[i] = source[i];
  for (; i < count; ++i) target[i] = u'\0';
  return target;
}

WCHAR* wcscat(WCHAR* target, const WCHAR* source) {
  wcscpy(target + Length16(target), source);
  return target;
}

WCHAR* wcsncat(WCHAR* target, const WCHAR* source, size_t count) {
  WCHAR* end = target + Length16(target);
  size_t i = 0;
  for (; i < count && source[i]; ++i) end[i] = source[i];
  end[i] = u'\0';
  return target;
}

int wcscmp(const WCHAR* a, const WCHAR* b) { return wcsncmp(a, b, SIZE_MAX); }

int wcsncmp(const WCHAR* a, const WCHAR* b, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (a[i] != b[i] || a[i] == 0) return Sign(a[i], b[i]);
  return 0;
}

WCHAR* wcschr(const WCHAR* text, WCHAR c) {
  for (;; ++text) {
    if (*text == c) return const_cast<WCHAR*>(text);
    if (*text == 0) return nullptr;
  }
}

WCHAR* wcsrchr(const WCHAR* text, WCHAR c) {
  const WCHAR* found = nullptr;
  for (;; ++text) {
    if (*text == c) found = text;
    if (*text == 0) return const_cast<WCHAR*>(found);
  }
}

WCHAR* wcsstr(const WCHAR* text, const WCHAR* part) {
  const std::u16string_view haystack(text);
  const size_t at = haystack.find(std::u16string_view(part));
  return at == std::u16string_view::npos ? nullptr : const_cast<WCHAR*>(text) + at;
}

int _wcsicmp(const WCHAR* a, const WCHAR* b) { return CompareFolded(a, b, SIZE_MAX); }
int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t count) { return CompareFolded(a, b, count); }
int _stricmp(const char* a, const char* b) { return CompareFolded(a, b, SIZE_MAX); }
int _strnicmp(const char* a, const char* b, size_t count) { return CompareFolded(a, b, count); }

LONG _wtol(const WCHAR* text) {
  if (!text) return 0;
  // Digits only: a "0x" or a leading 0 is just decimal here, as in the C runtime's atoi.
  const Parsed r = ParseInteger(text, 10, UINT64_MAX / 2);
  if (LongOutOfRange(r)) errno = ERANGE;
  return ToLong(r);
}

int _wtoi(const WCHAR* text) { return _wtol(text); }

WCHAR* _itow(int value, WCHAR* target, int radix) { return _ltow(value, target, radix); }

WCHAR* _ltow(LONG value, WCHAR* target, int radix) {
  if (radix == 10 && value < 0) return ToText(0 - static_cast<uint64_t>(static_cast<int64_t>(value)), true, target, radix);
  return ToText(static_cast<ULONG>(value), false, target, radix);
}

WCHAR* _ultow(ULONG value, WCHAR* target, int radix) { return ToText(value, false, target, radix); }

LONG wcstol(const WCHAR* text, WCHAR** end, int base) {
  if (!text || base < 0 || base == 1 || base > 36) {
    errno = EINVAL;
    if (end) *end = const_cast<WCHAR*>(text);
    return 0;
  }
  const Parsed r = ParseInteger(text, base, UINT64_MAX / 2);
  if (end) *end = const_cast<WCHAR*>(r.end);
  if (LongOutOfRange(r)) errno = ERANGE;
  return ToLong(r);
}

ULONG wcstoul(const WCHAR* text, WCHAR** end, int base) {
  if (!text || base < 0 || base == 1 || base > 36) {
    errno = EINVAL;
    if (end) *end = const_cast<WCHAR*>(text);
    return 0;
  }
  const Parsed r = ParseInteger(text, base, UINT64_MAX / 2);
  if (end) *end = const_cast<WCHAR*>(r.end);
  if (r.overflow || r.magnitude > 0xFFFFFFFFull) {
    errno = ERANGE;
    return 0xFFFFFFFFu;
  }
  const ULONG v = static_cast<ULONG>(r.magnitude);
  return r.negative ? 0u - v : v;
}

int vswprintf_s(WCHAR* target, size_t targetCch, const WCHAR* format, va_list args) {
  if (!target || targetCch == 0 || !format) {
    if (target && targetCch) target[0] = u'\0';
    errno = EINVAL;
    return -1;
  }
  const FormatOutcome r = FormatWideV(target, targetCch, format, args);
  if (!r.valid || r.Truncated() || r.written > INT32_MAX) {
    target[0] = u'\0';
    errno = r.valid ? ERANGE : EINVAL;
    return -1;
  }
  return static_cast<int>(r.written);
}

int swprintf_s(WCHAR* target, size_t targetCch, const WCHAR* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = vswprintf_s(target, targetCch, format, args);
  va_end(args);
  return n;
}

int _vsnwprintf(WCHAR* target, size_t count, const WCHAR* format, va_list args) {
  return PrintCounted(target, count, format, args, true);
}

int _snwprintf(WCHAR* target, size_t count, const WCHAR* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = PrintCounted(target, count, format, args, true);
  va_end(args);
  return n;
}

int swprintf(WCHAR* target, size_t count, const WCHAR* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = PrintCounted(target, count, format, args, false);
  va_end(args);
  return n;
}
