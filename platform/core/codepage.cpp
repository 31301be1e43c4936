#include "core/codepage.h"

#include <array>
#include <charconv>
#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <iconv.h>

#include "core/machine_root.h"
#include "core/unicode.h"
#include "core/winerror.h"

namespace velm::platform {
namespace {

constexpr char16_t kNoChar = 0xFFFF;    // decode tables: byte sequence not defined
constexpr uint16_t kNoBytes = 0xFFFF;   // encode table: character not in the code page
constexpr char16_t kReplacement = 0xFFFD;

// The table-driven code pages. Lead and trail bytes are inclusive ranges, as pairs.
struct CodePageInfo {
  UINT id;
  const char* iconvName;
  std::array<BYTE, 4> leads;
  std::array<BYTE, 4> trails;
  char16_t unicodeDefault;  // what undefined bytes decode to
};
constexpr CodePageInfo kTablePages[] = {
    {1252, "CP1252", {}, {}, u'?'},
    {932, "CP932", {0x81, 0x9F, 0xE0, 0xFC}, {0x40, 0x7E, 0x80, 0xFC}, 0x30FB},
    {437, "CP437", {}, {}, u'?'},
};

bool InRanges(const std::array<BYTE, 4>& ranges, BYTE b) {
  for (size_t i = 0; i < ranges.size(); i += 2)
    if (ranges[i + 1] != 0 && b >= ranges[i] && b <= ranges[i + 1]) return true;
  return false;
}

struct CodeTable {
  const CodePageInfo* info = nullptr;
  std::array<bool, 256> lead{};
  std::array<char16_t, 256> single{};
  std::vector<char16_t> pairs;    // [lead * 256 + trail]; empty for single-byte pages
  std::vector<uint16_t> encode;   // [UTF-16 unit]: a byte, or lead << 8 | trail

  bool IsDoubleByte() const { return !pairs.empty(); }
  char16_t Decode(BYTE b0, int b1 = -1) const {
    if (!lead[b0]) return b1 < 0 ? single[b0] : kNoChar;
    return b1 < 0 ? kNoChar : pairs[b0 * 256 + b1];
  }
};

// Runs one conversion of a whole input through iconv; returns the output size, 0 on failure.
size_t IconvOnce(iconv_t cd, const char* in, size_t inLen, char* out, size_t outCap) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* ip = const_cast<char*>(in);
  char* op = out;
  size_t il = inLen, ol = outCap;
  if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0) return 0;
  return outCap - ol;
}

// Converts units of `unitBytes` input bytes each (a run of them in `in`) in as few iconv calls
// as the units iconv refuses allow, and hands each converted unit's output to `take(unit, out,
// length)`; `pieceLength` tells the length of the output piece that starts at a byte. A run whose
// output does not split into one piece per unit is converted again one unit per call.
template <class PieceLength, class Take>
void IconvUnits(iconv_t cd, const std::string& in, size_t unitBytes, PieceLength pieceLength, Take take) {
  std::string out(in.size() * 4 + 8, '\0');
  size_t pos = 0;
  while (pos < in.size()) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* ip = const_cast<char*>(in.data() + pos);
    char* op = out.data();
    size_t il = in.size() - pos, ol = out.size();
    const bool stopped = iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1);
    const size_t consumed = in.size() - pos - il, produced = out.size() - ol;
    // The run ends after the units converted, and after the unit iconv stopped at.
    size_t units = (consumed + unitBytes - 1) / unitBytes + (stopped ? 1 : 0);
    units = std::min(units, (in.size() - pos) / unitBytes);
    std::vector<std::pair<size_t, size_t>> pieces;
    for (size_t at = 0; at < produced && pieces.size() <= units;) {
      const size_t length = pieceLength(reinterpret_cast<const BYTE*>(out.data()) + at);
      pieces.emplace_back(at, std::min(length, produced - at));
      at += length;
    }
    const size_t first = pos / unitBytes;
    if (consumed % unitBytes == 0 && pieces.size() == consumed / unitBytes) {
      for (size_t i = 0; i < pieces.size(); ++i) take(first + i, out.data() + pieces[i].first, pieces[i].second);
    } else {
      for (size_t i = 0; i < units; ++i) {
        char one[8];
        const size_t n = IconvOnce(cd, in.data() + pos + i * unitBytes, unitBytes, one, sizeof one);
        if (n) take(first + i, one, n);
      }
    }
    if (units == 0) break;
    pos += units * unitBytes;
  }
}

// Tables are built once per code page from iconv. The encoder keeps only mappings that decode
// back to the same character, so there is no best fit (U+00A5 does not become '\' in 932).
std::unique_ptr<CodeTable> BuildTable(const CodePageInfo& info) {
  iconv_t toWide = iconv_open("UTF-16LE", info.iconvName);
  if (toWide == reinterpret_cast<iconv_t>(-1)) return nullptr;
  iconv_t fromWide = iconv_open(info.iconvName, "UTF-16LE");
  if (fromWide == reinterpret_cast<iconv_t>(-1)) {
    iconv_close(toWide);
    return nullptr;
  }
  auto table = std::make_unique<CodeTable>();
  table->info = &info;
  const auto unitLength = [](const BYTE* unit) -> size_t { return unit[1] >= 0xD8 && unit[1] <= 0xDB ? 4 : 2; };
  const auto wideUnit = [](const char* out, size_t length) -> char16_t {
    if (length != 2) return kNoChar;
    return static_cast<char16_t>(static_cast<BYTE>(out[0]) | (static_cast<BYTE>(out[1]) << 8));
  };
  // Single bytes, then every lead byte with every trail byte, each decoded in one run.
  std::string singles;
  for (int b = 0; b < 256; ++b) {
    table->lead[b] = InRanges(info.leads, static_cast<BYTE>(b));
    table->single[b] = kNoChar;
    singles += static_cast<char>(table->lead[b] ? 0 : b);
  }
  IconvUnits(toWide, singles, 1, unitLength, [&](size_t b, const char* out, size_t length) {
    if (!table->lead[b]) table->single[b] = wideUnit(out, length);
  });
  for (int b = 0x80; b <= 0x9F; ++b) {
    // Bytes 0x80..0x9F that a code page leaves undefined stand for the C1 control of the same
    // value, so that any byte string survives a round trip.
    if (!table->lead[b] && table->single[b] == kNoChar) table->single[b] = static_cast<char16_t>(b);
  }
  if (info.leads[1] != 0) {
    table->pairs.assign(65536, kNoChar);
    std::string pairs;
    std::vector<uint16_t> pairIndex;
    for (int l = 0; l < 256; ++l) {
      if (!table->lead[l]) continue;
      for (int t = 0; t < 256; ++t) {
        if (!InRanges(info.trails, static_cast<BYTE>(t))) continue;
        pairs += static_cast<char>(l);
        pairs += static_cast<char>(t);
        pairIndex.push_back(static_cast<uint16_t>(l * 256 + t));
      }
    }
    IconvUnits(toWide, pairs, 2, unitLength, [&](size_t i, const char* out, size_t length) {
      table->pairs[pairIndex[i]] = wideUnit(out, length);
    });
  }
  // Only a character that some bytes decode to can encode and decode back, so iconv is asked
  // about those alone, in Unicode order.
  std::vector<bool> decoded(0x10000, false);
  for (char16_t c : table->single)
    if (c != kNoChar) decoded[c] = true;
  for (char16_t c : table->pairs)
    if (c != kNoChar) decoded[c] = true;
  std::string characters;
  std::vector<char16_t> characterOf;
  for (uint32_t u = 0; u < 0x10000; ++u) {
    if (!decoded[u] || (u >= 0xD800 && u <= 0xDFFF)) continue;
    characters += static_cast<char>(u & 0xFF);
    characters += static_cast<char>(u >> 8);
    characterOf.push_back(static_cast<char16_t>(u));
  }
  table->encode.assign(65536, kNoBytes);
  const auto byteLength = [&](const BYTE* bytes) -> size_t { return table->lead[bytes[0]] ? 2 : 1; };
  IconvUnits(fromWide, characters, 2, byteLength, [&](size_t i, const char* out, size_t n) {
    const char16_t u = characterOf[i];
    const BYTE b0 = static_cast<BYTE>(out[0]), b1 = n == 2 ? static_cast<BYTE>(out[1]) : 0;
    if (n == 1 && table->Decode(b0) == u) table->encode[u] = b0;
    if (n == 2 && table->Decode(b0, b1) == u) table->encode[u] = static_cast<uint16_t>(b0 << 8 | b1);
  });
  // Whatever decodes but iconv would not encode (the C1 fill above) encodes back to its bytes.
  for (int b = 0; b < 256; ++b)
    if (table->single[b] != kNoChar && table->encode[table->single[b]] == kNoBytes)
      table->encode[table->single[b]] = static_cast<uint16_t>(b);
  for (size_t i = 0; i < table->pairs.size(); ++i)
    if (table->pairs[i] != kNoChar && table->encode[table->pairs[i]] == kNoBytes)
      table->encode[table->pairs[i]] = static_cast<uint16_t>(i);
  iconv_close(toWide);
  iconv_close(fromWide);
  return table;
}

const CodeTable* TableFor(UINT id) {
  constexpr size_t kCount = std::size(kTablePages);
  static std::once_flag once[kCount];
  static std::unique_ptr<CodeTable> tables[kCount];
  for (size_t i = 0; i < kCount; ++i) {
    if (kTablePages[i].id != id) continue;
    std::call_once(once[i], [i] { tables[i] = BuildTable(kTablePages[i]); });
    return tables[i].get();
  }
  return nullptr;
}

// A resolved code page: a table, or UTF-8 when `table` is null.
struct Codec {
  UINT id;
  const CodeTable* table;
  bool IsUtf8() const { return table == nullptr; }
};

std::optional<Codec> ResolveCodec(UINT codePage) {
  if (codePage == CP_ACP || codePage == CP_THREAD_ACP) codePage = MachineCodePage();
  else if (codePage == CP_OEMCP) codePage = GetOEMCP();
  if (codePage == CP_UTF8) return Codec{CP_UTF8, nullptr};
  if (const CodeTable* table = TableFor(codePage)) return Codec{codePage, table};
  return std::nullopt;
}

// One decoded character: the UTF-16 units it gives and the bytes it took.
struct Decoded {
  char16_t units[2];
  uint8_t count;
  uint8_t consumed;
  bool invalid;
};

// UTF-8 by the well-formed byte sequences of Unicode: an ill-formed sequence gives one U+FFFD
// per maximal subpart, so a bad byte never swallows the valid characters after it.
Decoded DecodeUtf8(std::string_view bytes, size_t pos) {
  const BYTE b = static_cast<BYTE>(bytes[pos]);
  if (b < 0x80) return {{b, 0}, 1, 1, false};
  int need = 0;
  BYTE lo = 0x80, hi = 0xBF;
  char32_t c = 0;
  if (b >= 0xC2 && b <= 0xDF) need = 1, c = b & 0x1F;
  else if (b >= 0xE0 && b <= 0xEF) need = 2, c = b & 0x0F, lo = b == 0xE0 ? 0xA0 : 0x80, hi = b == 0xED ? 0x9F : 0xBF;
  else if (b >= 0xF0 && b <= 0xF4) need = 3, c = b & 0x07, lo = b == 0xF0 ? 0x90 : 0x80, hi = b == 0xF4 ? 0x8F : 0xBF;
  else return {{kReplacement, 0}, 1, 1, true};
  size_t i = pos + 1;
  for (int k = 0; k < need; ++k, ++i) {
    const BYTE t = i < bytes.size() ? static_cast<BYTE>(bytes[i]) : 0;
    if (i >= bytes.size() || t < (k == 0 ? lo : 0x80) || t > (k == 0 ? hi : 0xBF))
      return {{kReplacement, 0}, 1, static_cast<uint8_t>(i - pos), true};
    c = (c << 6) | (t & 0x3F);
  }
  const uint8_t consumed = static_cast<uint8_t>(need + 1);
  if (c < 0x10000) return {{static_cast<char16_t>(c), 0}, 1, consumed, false};
  c -= 0x10000;
  return {{static_cast<char16_t>(0xD800 + (c >> 10)), static_cast<char16_t>(0xDC00 + (c & 0x3FF))}, 2, consumed, false};
}

// A lead byte whose trail byte is not in the trail range (or missing) is invalid on its own,
// and the next byte is read afresh: a broken pair never hides a NUL, line end or '=' after it.
Decoded DecodeTable(const CodeTable& table, std::string_view bytes, size_t pos) {
  const BYTE b = static_cast<BYTE>(bytes[pos]);
  const char16_t fallback = table.info->unicodeDefault;
  if (!table.lead[b]) {
    const char16_t c = table.single[b];
    return c == kNoChar ? Decoded{{fallback, 0}, 1, 1, true} : Decoded{{c, 0}, 1, 1, false};
  }
  if (pos + 1 >= bytes.size() || !InRanges(table.info->trails, static_cast<BYTE>(bytes[pos + 1])))
    return {{fallback, 0}, 1, 1, true};
  const char16_t c = table.Decode(b, static_cast<BYTE>(bytes[pos + 1]));
  return c == kNoChar ? Decoded{{fallback, 0}, 1, 2, true} : Decoded{{c, 0}, 1, 2, false};
}

Decoded DecodeOne(const Codec& codec, std::string_view bytes, size_t pos) {
  return codec.IsUtf8() ? DecodeUtf8(bytes, pos) : DecodeTable(*codec.table, bytes, pos);
}

// Appends the UTF-16 of `bytes` to `out`; false at the first invalid sequence when `strict`.
bool Decode(const Codec& codec, std::string_view bytes, std::u16string& out, bool strict) {
  out.reserve(out.size() + bytes.size());
  for (size_t pos = 0; pos < bytes.size();) {
    const Decoded d = DecodeOne(codec, bytes, pos);
    if (d.invalid && strict) return false;
    out.append(d.units, d.count);
    pos += d.consumed;
  }
  return true;
}

// One encoded character: its bytes and the UTF-16 units it took.
struct Encoded {
  char bytes[4];
  uint8_t size;
  uint8_t units;
  bool defaulted;  // replaced by the default character
  bool invalid;    // an unpaired surrogate
};

Encoded EncodeOne(const Codec& codec, std::u16string_view text, size_t pos, std::string_view defaultChar) {
  Encoded e{};
  const char16_t u = text[pos];
  e.units = 1;
  if (codec.IsUtf8()) {
    char32_t c = u;
    if (u >= 0xD800 && u <= 0xDBFF && pos + 1 < text.size() && text[pos + 1] >= 0xDC00 && text[pos + 1] <= 0xDFFF) {
      c = 0x10000 + ((u - 0xD800) << 10) + (text[pos + 1] - 0xDC00);
      e.units = 2;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      c = kReplacement;
      e.invalid = true;
    }
    auto put = [&](unsigned v) { e.bytes[e.size++] = static_cast<char>(v); };
    if (c < 0x80) {
      put(c);
    } else if (c < 0x800) {
      put(0xC0 | (c >> 6)), put(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      put(0xE0 | (c >> 12)), put(0x80 | ((c >> 6) & 0x3F)), put(0x80 | (c & 0x3F));
    } else {
      put(0xF0 | (c >> 18)), put(0x80 | ((c >> 12) & 0x3F)), put(0x80 | ((c >> 6) & 0x3F)), put(0x80 | (c & 0x3F));
    }
    return e;
  }
  const uint16_t v = codec.table->encode[u];
  if (v == kNoBytes) {
    e.defaulted = true;
    e.size = static_cast<uint8_t>(defaultChar.size());
    std::memcpy(e.bytes, defaultChar.data(), defaultChar.size());
  } else if (v < 0x100) {
    e.bytes[0] = static_cast<char>(v), e.size = 1;
  } else {
    e.bytes[0] = static_cast<char>(v >> 8), e.bytes[1] = static_cast<char>(v & 0xFF), e.size = 2;
  }
  return e;
}

// Appends the bytes of `text` to `out`; false at an unpaired surrogate when `strict`.
bool Encode(const Codec& codec, std::u16string_view text, std::string& out, std::string_view defaultChar,
            bool* usedDefault, bool strict) {
  out.reserve(out.size() + text.size());
  for (size_t pos = 0; pos < text.size();) {
    const Encoded e = EncodeOne(codec, text, pos, defaultChar);
    if (e.invalid && strict) return false;
    if (e.defaulted && usedDefault) *usedDefault = true;
    out.append(e.bytes, e.size);
    pos += e.units;
  }
  return true;
}

// The default character a caller passed: one byte, or two when the first is a lead byte.
std::string DefaultCharOf(const Codec& codec, LPCSTR defaultChar) {
  if (!defaultChar) return "?";
  const BYTE b = static_cast<BYTE>(defaultChar[0]);
  if (codec.table->lead[b] && defaultChar[1] != 0) return std::string(defaultChar, 2);
  return std::string(1, defaultChar[0]);
}

bool IsMachineCodePage(UINT id) { return id == 1252 || id == 932 || id == CP_UTF8; }

}  // namespace

UINT MachineCodePage() {
  // A machine's code page holds until it restarts: it is read once per machine root, and again
  // after this process edits the machine's settings (as tests do to switch it).
  struct Seen {
    std::filesystem::path root;
    uint64_t edits = 0;
    UINT id = 1252;
  };
  static std::mutex mutex;
  static std::optional<Seen> seen;
  std::filesystem::path root = MachineRoot();
  const uint64_t edits = MachineSettingsEdits();
  {
    std::lock_guard lock(mutex);
    if (seen && seen->edits == edits && seen->root == root) return seen->id;
  }
  UINT id = 1252;
  const std::string value = MachineSetting("codepage", "1252");
  UINT parsed = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), parsed);
  if (ec == std::errc() && end == value.data() + value.size() && IsMachineCodePage(parsed)) id = parsed;
  std::lock_guard lock(mutex);
  seen = Seen{std::move(root), edits, id};
  return id;
}

std::u16string AnsiToWide(std::string_view text) {
  std::u16string out;
  if (const auto codec = ResolveCodec(CP_ACP)) Decode(*codec, text, out, false);
  return out;
}

std::string WideToAnsi(std::u16string_view text) {
  std::string out;
  if (const auto codec = ResolveCodec(CP_ACP)) Encode(*codec, text, out, "?", nullptr, false);
  return out;
}

size_t WideToAnsiBounded(std::u16string_view text, char* out, size_t outBytes) {
  if (!out || outBytes == 0) return 0;
  size_t written = 0;
  if (const auto codec = ResolveCodec(CP_ACP)) {
    for (size_t pos = 0; pos < text.size();) {
      const Encoded e = EncodeOne(*codec, text, pos, "?");
      if (written + e.size > outBytes - 1) break;
      std::memcpy(out + written, e.bytes, e.size);
      written += e.size;
      pos += e.units;
    }
  }
  out[written] = '\0';
  return written;
}

size_t AnsiCharLength(UINT codePage, std::string_view text) {
  if (text.empty()) return 0;
  const auto codec = ResolveCodec(codePage);
  if (!codec) return 1;
  if (codec->IsUtf8()) return DecodeUtf8(text, 0).consumed;
  return codec->table->lead[static_cast<BYTE>(text[0])] && text.size() > 1 && text[1] != '\0' ? 2 : 1;
}

size_t AnsiCharBoundary(UINT codePage, std::string_view text) {
  const auto codec = ResolveCodec(codePage);
  if (!codec) return text.size();
  if (codec->IsUtf8()) {
    // Only the last sequence can be unfinished; find where it starts.
    size_t start = text.size();
    for (size_t back = 0; back < 4 && start > 0; ++back) {
      --start;
      if ((static_cast<BYTE>(text[start]) & 0xC0) != 0x80) break;
    }
    if (start == text.size()) return text.size();
    const BYTE lead = static_cast<BYTE>(text[start]);
    const size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return start + need > text.size() ? start : text.size();
  }
  size_t pos = 0;
  while (pos < text.size()) {
    if (!codec->table->lead[static_cast<BYTE>(text[pos])]) {
      ++pos;
    } else if (pos + 1 < text.size()) {
      pos += 2;
    } else {
      break;
    }
  }
  return pos;
}

}  // namespace velm::platform

using namespace velm::platform;

namespace {

// The conversions' common ending: a size query (capacity 0) answers the units needed; a short
// buffer fails with ERROR_INSUFFICIENT_BUFFER; otherwise the units are copied.
template <class Text, class Unit>
int Deliver(const Text& out, Unit* buffer, int capacity) {
  if (out.size() > static_cast<size_t>(INT_MAX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const int needed = static_cast<int>(out.size());
  if (capacity == 0) return needed;
  if (needed > capacity) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, out.data(), out.size() * sizeof(Unit));
  return needed;
}

}  // namespace

extern "C" {

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteCount, LPWSTR wide,
                        int wideCount) {
  if (!multiByte || multiByteCount == 0 || multiByteCount < -1 || wideCount < 0 || (wideCount > 0 && !wide) ||
      static_cast<const void*>(multiByte) == static_cast<const void*>(wide)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto codec = ResolveCodec(codePage);
  if (!codec) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const DWORD allowed = codec->IsUtf8() ? MB_ERR_INVALID_CHARS : (MB_PRECOMPOSED | MB_ERR_INVALID_CHARS);
  if (flags & ~allowed) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const size_t length = multiByteCount == -1 ? std::strlen(multiByte) + 1 : static_cast<size_t>(multiByteCount);
  std::u16string out;
  if (!Decode(*codec, std::string_view(multiByte, length), out, (flags & MB_ERR_INVALID_CHARS) != 0)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return Deliver(out, wide, wideCount);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR multiByte,
                        int multiByteCount, LPCSTR defaultChar, LPBOOL usedDefaultChar) {
  if (!wide || wideCount == 0 || wideCount < -1 || multiByteCount < 0 || (multiByteCount > 0 && !multiByte) ||
      static_cast<const void*>(multiByte) == static_cast<const void*>(wide)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto codec = ResolveCodec(codePage);
  if (!codec) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (codec->IsUtf8() ? (flags & ~WC_ERR_INVALID_CHARS) != 0 : (flags & ~WC_NO_BEST_FIT_CHARS) != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  if (codec->IsUtf8() && (defaultChar || usedDefaultChar)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t length = wideCount == -1 ? Length16(wide) + 1 : static_cast<size_t>(wideCount);
  const std::string fallback = codec->IsUtf8() ? std::string() : DefaultCharOf(*codec, defaultChar);
  std::string out;
  bool used = false;
  if (!Encode(*codec, std::u16string_view(wide, length), out, fallback, &used,
              codec->IsUtf8() && (flags & WC_ERR_INVALID_CHARS))) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  if (usedDefaultChar) *usedDefaultChar = used ? TRUE : FALSE;
  return Deliver(out, multiByte, multiByteCount);
}

UINT GetACP(void) { return MachineCodePage(); }

UINT GetOEMCP(void) {
  const UINT acp = MachineCodePage();
  return acp == 932 || acp == CP_UTF8 ? acp : 437;
}

BOOL IsValidCodePage(UINT codePage) {
  return codePage == CP_UTF8 || TableFor(codePage) != nullptr ? TRUE : FALSE;
}

BOOL IsDBCSLeadByteEx(UINT codePage, BYTE byte) {
  const auto codec = ResolveCodec(codePage);
  if (!codec) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return !codec->IsUtf8() && codec->table->lead[byte] ? TRUE : FALSE;
}

BOOL IsDBCSLeadByte(BYTE byte) { return IsDBCSLeadByteEx(CP_ACP, byte); }

BOOL GetCPInfo(UINT codePage, LPCPINFO info) {
  const auto codec = info ? ResolveCodec(codePage) : std::nullopt;
  if (!codec) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *info = CPINFO{};
  info->DefaultChar[0] = '?';
  if (codec->IsUtf8()) {
    info->MaxCharSize = 4;
    return TRUE;
  }
  const auto& leads = codec->table->info->leads;
  info->MaxCharSize = codec->table->IsDoubleByte() ? 2 : 1;
  std::memcpy(info->LeadByte, leads.data(), leads.size());
  return TRUE;
}

}  // extern "C"
