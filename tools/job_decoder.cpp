#include "job_decoder.h"

#include <climits>
#include <utility>
#include <cstdio>

namespace velm::jobdump {
namespace {

// ---- Little-endian reads over a checked span ------------------------------------------------

uint8_t U8(const uint8_t* b, size_t o) { return b[o]; }
uint16_t U16(const uint8_t* b, size_t o) { return static_cast<uint16_t>(b[o] | (b[o + 1] << 8)); }
uint32_t U32(const uint8_t* b, size_t o) {
  return static_cast<uint32_t>(b[o]) | (static_cast<uint32_t>(b[o + 1]) << 8) |
         (static_cast<uint32_t>(b[o + 2]) << 16) | (static_cast<uint32_t>(b[o + 3]) << 24);
}
int32_t I32(const uint8_t* b, size_t o) { return static_cast<int32_t>(U32(b, o)); }
int16_t I16(const uint8_t* b, size_t o) { return static_cast<int16_t>(U16(b, o)); }

uint64_t Round4(uint64_t n) { return (n + 3) & ~uint64_t{3}; }

std::string Hex(uint64_t value, int digits) {
  char text[32];
  std::snprintf(text, sizeof(text), "%0*llX", digits, static_cast<unsigned long long>(value));
  return text;
}

// ---- Packets --------------------------------------------------------------------------------

constexpr size_t kHeader = 8;

bool KnownPacketType(uint8_t type) {
  return type == 0xF0 || type == 0xF1 || type == 0xF3 || type == 0xF4 || type == 0xF5;
}

bool AcceptableHeader(const uint8_t* bytes, size_t size, size_t at) {
  if (size - at < kHeader || !KnownPacketType(bytes[at]) || bytes[at + 1] || bytes[at + 2] || bytes[at + 3]) {
    return false;
  }
  const uint32_t length = U32(bytes, at + 4);
  return length <= size - at - kHeader && (bytes[at] != 0xF0 || length == 0);
}

// Why the bytes at `at` are not an acceptable packet header; empty when they are.
std::string HeaderProblem(const uint8_t* bytes, size_t size, size_t at) {
  const size_t left = size - at;
  if (left < kHeader) return "truncated packet header (" + std::to_string(left) + " bytes left)";
  const uint8_t type = bytes[at];
  if (!KnownPacketType(type)) return "unknown packet type 0x" + Hex(type, 2);
  if (bytes[at + 1] || bytes[at + 2] || bytes[at + 3]) return "packet 0x" + Hex(type, 2) + ": reserved bytes not zero";
  const uint32_t length = U32(bytes, at + 4);
  if (length > left - kHeader) {
    return "packet 0x" + Hex(type, 2) + ": length " + std::to_string(length) + " runs past the end (" +
           std::to_string(left - kHeader) + " bytes left)";
  }
  if (type == 0xF0 && length != 0) return "packet 0xF0 must be empty, has length " + std::to_string(length);
  return {};
}

// ---- Records --------------------------------------------------------------------------------

// Reads the fields of one record whose whole length is in range.
class RecordReader {
 public:
  RecordReader(const uint8_t* bytes, uint32_t length, Record* record) : b_(bytes), length_(length), r_(record) {}

  const uint8_t* b() const { return b_; }
  uint32_t length() const { return length_; }
  Record& record() { return *r_; }
  const std::string& error() const { return error_; }

  bool Fail(const std::string& message) {
    if (error_.empty()) error_ = message;
    return false;
  }
  // Reserved bytes and padding must be zero.
  bool Zero(size_t from, size_t to) {
    for (size_t o = from; o < to; ++o) {
      if (b_[o] != 0) return Fail("byte " + std::to_string(o) + " is 0x" + Hex(b_[o], 2) + ", must be 0");
    }
    return true;
  }
  void Add(const char* name, int64_t value, Show show = Show::kDecimal) { r_->fields.push_back({name, value, show}); }
  void AddU8(const char* name, size_t o, Show show = Show::kDecimal) { Add(name, U8(b_, o), show); }
  void AddU16(const char* name, size_t o, Show show = Show::kDecimal) { Add(name, U16(b_, o), show); }
  void AddU32(const char* name, size_t o, Show show = Show::kDecimal) { Add(name, U32(b_, o), show); }
  void AddI32(const char* name, size_t o) { Add(name, I32(b_, o)); }
  void AddRect(const char* prefix, size_t o) {
    const std::string p = prefix;
    r_->fields.push_back({p + "left", I32(b_, o), Show::kDecimal});
    r_->fields.push_back({p + "top", I32(b_, o + 4), Show::kDecimal});
    r_->fields.push_back({p + "right", I32(b_, o + 8), Show::kDecimal});
    r_->fields.push_back({p + "bottom", I32(b_, o + 12), Show::kDecimal});
  }
  void AddRgb(const char* name, size_t o) {
    Add(name, (int64_t{b_[o]} << 16) | (int64_t{b_[o + 1]} << 8) | b_[o + 2], Show::kRgb);
  }
  bool LengthIs(uint64_t expected) {
    if (length_ == expected) return true;
    return Fail("length " + std::to_string(length_) + ", layout gives " + std::to_string(expected));
  }
  // UTF-16 text from `from` up to its zero unit, then zero padding to the end.
  bool Face(size_t from) {
    size_t o = from;
    while (o + 2 <= length_ && U16(b_, o) != 0) {
      r_->face.push_back(static_cast<char16_t>(U16(b_, o)));
      o += 2;
    }
    if (o + 2 > length_) return Fail("face name has no terminating zero");
    return LengthIs(Round4(from + 2 * r_->face.size() + 2)) && Zero(o, length_);
  }
  void Data(std::vector<uint8_t>* into, size_t from, size_t count) { into->assign(b_ + from, b_ + from + count); }

 private:
  const uint8_t* b_;
  uint32_t length_;
  Record* r_;
  std::string error_;
};

// The record's length from its opcode's own rule; 0 with a message when it cannot be read.
uint32_t RecordLength(const uint8_t* b, size_t left, std::string* problem) {
  auto need = [&](size_t n) {
    if (left >= n) return true;
    *problem = "truncated record: its length field needs " + std::to_string(n) + " bytes, " + std::to_string(left) +
               " left";
    return false;
  };
  switch (b[0]) {
    case 0x10: case 0x11: case 0x12: case 0x20: case 0x51: case 0x52: case 0x53: case 0x54: case 0x55: case 0x57:
      return need(8) ? U32(b, 4) : 0;
    case 0x30: return need(2) ? U8(b, 1) : 0;
    case 0x50: case 0x56: return need(16) ? U16(b, 14) : 0;
    case 0x40: return need(6) ? (U16(b, 4) + 9u) & ~3u : 0;
    case 0x31: case 0x32: case 0x34: case 0x35: case 0x37: case 0x61: return 4;
    case 0x33: case 0x36: return 8;
    case 0x60: return 16;
    default:
      *problem = "unknown record opcode 0x" + Hex(b[0], 2);
      return 0;
  }
}

// The smallest length each variable record's fixed part needs.
uint32_t MinimumLength(uint8_t op) {
  switch (op) {
    case 0x10: return 24;
    case 0x11: case 0x12: return 28;
    case 0x20: return 56;
    case 0x30: return 8;
    case 0x40: return 8;
    case 0x50: return 28;
    case 0x51: return 36;
    case 0x52: return 36;
    case 0x53: case 0x57: return 64;
    case 0x54: return 28;
    case 0x55: return 36;
    case 0x56: return 36;
    default: return 4;
  }
}

// Sub-paths from `from` to the record's end; counts lines, curves and sub-paths.
bool SubPaths(RecordReader& in, size_t from, uint64_t* lines, uint64_t* curves) {
  const uint8_t* b = in.b();
  size_t o = from;
  while (o < in.length()) {
    if (in.length() - o < 12) return in.Fail("sub-path header at " + std::to_string(o) + " is cut short");
    SubPath sub{I32(b, o + 4), I32(b, o + 8), {}};
    const uint32_t count = U32(b, o);
    o += 12;
    if (count > (in.length() - o) / 12) return in.Fail("sub-path at " + std::to_string(o - 12) + " claims " +
                                                       std::to_string(count) + " entries, more than fit");
    for (uint32_t i = 0; i < count; ++i) {
      if (in.length() - o < 12) return in.Fail("entry at " + std::to_string(o) + " is cut short");
      PathEntry entry{};
      const uint32_t kind = U32(b, o);
      if (kind == 0) {
        entry.curve = false;
        entry.points[0] = I32(b, o + 4);
        entry.points[1] = I32(b, o + 8);
        o += 12;
        ++*lines;
      } else if (kind == 1) {
        if (in.length() - o < 28) return in.Fail("curve entry at " + std::to_string(o) + " is cut short");
        entry.curve = true;
        for (int k = 0; k < 6; ++k) entry.points[k] = I32(b, o + 4 + 4 * k);
        o += 28;
        ++*curves;
      } else {
        return in.Fail("entry at " + std::to_string(o) + " has kind " + std::to_string(kind) + ", not 0 or 1");
      }
      sub.entries.push_back(entry);
    }
    in.record().subpaths.push_back(std::move(sub));
  }
  return true;
}

bool SizeFigureMatches(RecordReader& in, uint32_t figure, uint64_t lines, uint64_t curves, uint64_t subs) {
  const uint64_t expected = subs == 0 ? 0 : 3 * lines + 7 * curves + 3 * subs + (subs > 1 ? 1 : 0);
  if (figure == expected) return true;
  return in.Fail("size figure " + std::to_string(figure) + ", the entries give " + std::to_string(expected));
}

bool Rect(RecordReader& in) {
  const uint8_t* b = in.b();
  const uint8_t kind = b[2];
  in.Add("kind", kind);
  in.AddRect("", 8);
  const bool single = kind == 5 || kind == 6;
  if (!in.Zero(1, 2) || !in.Zero(3, 4) || !in.LengthIs(single ? 24 : 40)) return false;
  if (!single) {
    in.AddRect("second.", 24);
    for (size_t o = 8; kind == 1 && o < 24; o += 4) {
      if (U32(b, o) != U32(b, o + 16)) return in.Fail("filled rectangle: second rectangle differs from the first");
    }
  }
  return true;
}

bool Path(RecordReader& in) {
  const uint8_t* b = in.b();
  const uint8_t flags = b[2];
  in.Add("mode", flags & 7);
  in.Add("closed", (flags >> 3) & 1);
  in.Add("multiple", (flags >> 4) & 1);
  in.AddRect("bounds.", 8);
  in.AddU32("figure", 24);
  if (!in.Zero(1, 2) || !in.Zero(3, 4)) return false;
  if ((flags & 7) > 5 || (flags & 0xE0)) return in.Fail("path flags 0x" + Hex(flags, 2) + " name no drawing mode");
  uint64_t lines = 0, curves = 0;
  if (!SubPaths(in, 28, &lines, &curves)) return false;
  const uint64_t subs = in.record().subpaths.size();
  if (!SizeFigureMatches(in, U32(b, 24), lines, curves, subs)) return false;
  // 0x11 marks curves; a figure of a stroke sent one by one keeps 0x11 after any earlier curve.
  if (b[0] == 0x12 && curves) return in.Fail("lines-only path record holds curves");
  if (((flags & 0x10) != 0) != (subs > 1)) {
    return in.Fail("flag 0x10 does not match " + std::to_string(subs) + " sub-paths");
  }
  return true;
}

uint32_t CrcOf(const std::vector<uint8_t>& bytes) {
  uint32_t crc = 0xFFFFFFFF;
  for (uint8_t byte : bytes) {
    crc ^= byte;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

bool Image(RecordReader& in) {
  const uint8_t* b = in.b();
  const uint32_t format = b[2] | (b[3] << 8) | (b[1] << 16);
  const uint32_t pixel = format & 0xF;
  const uint32_t bits = pixel == 0 ? 1 : pixel == 1 ? 4 : pixel == 2 ? 8 : 24;
  in.Add("format", format, Show::kHex);
  in.Add("bits", bits);
  in.Add("grey", (format >> 4) & 1);
  in.Add("nopalette", (format >> 5) & 1);
  in.Add("blit", (format >> 7) & 1);
  in.Add("raster", (format >> 10) & 1);
  in.Add("hosticm", (format >> 11) & 1);
  in.Add("reduced", (format >> 17) & 1);
  in.AddRect("", 8);
  in.AddI32("srcx", 24);
  in.AddI32("srcy", 28);
  in.AddU32("width", 32);
  in.AddU32("rows", 36);
  in.AddI32("x", 40);
  in.AddI32("y", 44);
  in.AddI32("cx", 48);
  in.AddI32("cy", 52);
  const uint64_t palette = (format & 0x20) || bits == 24 ? 0 : bits == 1 ? 6 : bits == 4 ? 48 : 768;
  const uint64_t rowBytes = (uint64_t{U32(b, 32)} * bits + 31) / 32 * 4;
  const uint64_t rows = uint64_t{U32(b, 36)} * rowBytes;
  if (!in.LengthIs(Round4(56 + palette + rows))) return false;
  in.Data(&in.record().palette, 56, palette);
  in.Data(&in.record().data, 56 + palette, rows);
  return in.Zero(56 + palette + rows, in.length());
}

bool Color(RecordReader& in) {
  const uint8_t* b = in.b();
  const uint8_t flags = b[2];
  in.Add("flags", flags, Show::kHex);
  if (!in.Zero(3, 4)) return false;
  if (!(flags & 0x01) || (flags & 0x26)) return in.Fail("colour flags 0x" + Hex(flags, 2) + " are not a colour");
  const bool second = flags & 0x08, third = flags & 0x10;
  if (!in.LengthIs((3 + (second ? 3 : 0) + (third ? 3 : 0) + 7) & ~3u)) return false;
  size_t o = 4;
  in.AddRgb("rgb1", o);
  o += 3;
  if (second) {
    in.AddRgb("rgb2", o);
    o += 3;
  }
  if (third) {
    in.AddRgb("rgb3", o);
    o += 3;
  }
  in.Add("mode2", (flags >> 6) & 1);
  in.Add("marked", (flags >> 7) & 1);
  return in.Zero(o, in.length());
}

bool OneByte(RecordReader& in, const char* name, uint8_t limit, Show show = Show::kDecimal) {
  const uint8_t value = in.b()[1];
  in.Add(name, value, show);
  if (!in.Zero(2, 4)) return false;
  if (value > limit) return in.Fail(std::string(name) + " " + std::to_string(value) + " out of range");
  return true;
}

bool Rop(RecordReader& in) {
  if (!OneByte(in, "rop", 0xFF, Show::kHex)) return false;
  if (in.b()[1] == 0xF0) return in.Fail("device ROP 0xF0 is sent as 0xCC");
  return true;
}

bool Line(RecordReader& in) {
  in.AddU8("unit", 1);
  in.AddU16("width", 2);
  in.AddU32("mask", 4, Show::kHex);
  return true;
}

bool LineJoin(RecordReader& in) {
  if (!OneByte(in, "join", 2)) return false;
  in.AddU32("miter", 4);
  return true;
}

bool Pattern(RecordReader& in) {
  const uint8_t* b = in.b();
  const uint8_t flags = b[1], size = b[2];
  const uint16_t n = U16(b, 4);
  in.Add("flags", flags, Show::kHex);
  in.Add("size", size);
  in.Add("bytes", n);
  if (flags & 0x3E) return in.Fail("pattern flags 0x" + Hex(flags, 2) + " hold unknown bits");
  if (b[3] != 1) return in.Fail("byte 3 is " + std::to_string(b[3]) + ", must be 1");
  if (size != 0 && size != 16 && size != 32 && size != 64) return in.Fail("tile size " + std::to_string(size));
  if (!(flags & 0x80)) {
    if (n != 0 || (flags & 0x01)) return in.Fail("solid brush carries a tile");
  } else if (size != 0) {
    const uint32_t expected = (flags & 0x01) ? uint32_t{size} * size * 3 : uint32_t{size} * size / 8;
    if (n != expected) return in.Fail("tile of " + std::to_string(n) + " bytes for size " + std::to_string(size));
  }
  in.Data(&in.record().data, 6, n);
  return in.Zero(6 + n, in.length());
}

// Bytes 4 to 23 of both font-select records.
void FontFields(RecordReader& in) {
  in.AddU16("style", 4, Show::kHex);
  in.AddU16("weight", 6);
  in.AddU16("height", 8);
  in.AddU16("width", 10);
  in.AddU16("rotation", 12);
  in.AddU16("cellheight", 20);
  in.AddU16("leading", 22);
}

bool FontSelect(RecordReader& in) {
  in.AddU8("kind", 1);
  in.AddU8("pitchfamily", 2, Show::kHex);
  in.AddU8("charset", 3);
  FontFields(in);
  if (!in.Zero(16, 20)) return false;
  if (U16(in.b(), 12) > 359) return in.Fail("rotation above 359");
  return in.Face(24);
}

bool DownloadFontSelect(RecordReader& in) {
  in.AddU8("pitchfamily", 1, Show::kHex);
  in.AddU8("charset", 2);
  FontFields(in);
  if (!in.Zero(3, 4) || !in.Zero(16, 20) || !in.Zero(24, 32)) return false;
  if (U16(in.b(), 12) > 359) return in.Fail("rotation above 359");
  return in.Face(32);
}

bool Text(RecordReader& in) {
  const uint8_t* b = in.b();
  if (!in.Zero(1, 2) || !in.Zero(3, 4)) return false;
  in.AddRect("", 8);
  in.AddI32("x", 24);
  in.AddI32("y", 28);
  if (b[2] == 0) {
    in.AddU16("code", 32, Show::kHex);
    return in.LengthIs(36) && in.Zero(34, 36);
  }
  if (b[2] != 1) return in.Fail("text record kind " + std::to_string(b[2]));
  in.AddU32("code", 32, Show::kHex);
  if (in.length() < 40) return in.Fail("glyph outline without its size figure");
  in.AddU32("figure", 36);
  uint64_t lines = 0, curves = 0;
  if (!SubPaths(in, 40, &lines, &curves)) return false;
  return SizeFigureMatches(in, U32(b, 36), lines, curves, in.record().subpaths.size());
}

bool GlyphRun(RecordReader& in) {
  const uint8_t* b = in.b();
  if (!in.Zero(1, 2) || !in.Zero(3, 4) || !in.Zero(34, 36)) return false;
  if (b[2] != 0 && b[2] != 0x80) return in.Fail("glyph run flags 0x" + Hex(b[2], 2));
  in.AddRect("", 8);
  in.AddI32("x", 24);
  in.AddI32("y", 28);
  const uint32_t k = U16(b, 32);
  const uint32_t m = b[2] == 0x80 ? k : 1;
  in.Add("count", k);
  in.Add("stepcount", m);
  if (!in.LengthIs(36 + ((2 * m + 2 * k + 3) & ~3u))) return false;
  for (uint32_t i = 0; i < m; ++i) in.record().steps.push_back(U16(b, 36 + 2 * i));
  for (uint32_t i = 0; i < k; ++i) in.record().codes.push_back(U16(b, 36 + 2 * m + 2 * i));
  return in.Zero(36 + 2 * m + 2 * k, in.length());
}

// A copied bitmap (kind 0) is its rows of whole bytes, exactly or rounded up to 4.
bool BitmapSize(RecordReader& in, uint8_t kind, uint32_t n, uint32_t width, uint32_t height) {
  if (kind == 2) return n != 0 || in.Fail("compressed bitmap without bytes");
  if (kind != 0) return in.Fail("bitmap kind " + std::to_string(kind) + ", not 0 or 2");
  const uint64_t exact = uint64_t{height} * ((uint64_t{width} + 7) / 8);
  if (n == exact || n == Round4(exact)) return true;
  return in.Fail("copied bitmap of " + std::to_string(n) + " bytes for " + std::to_string(width) + " x " +
                 std::to_string(height));
}

bool GlyphDownload(RecordReader& in) {
  const uint8_t* b = in.b();
  in.AddU8("flags", 2, Show::kHex);
  in.AddRect("", 8);
  in.AddI32("x", 24);
  in.AddI32("y", 28);
  in.AddU32("dataoffset", 32);
  in.AddI32("originx", 36);
  in.AddI32("originy", 40);
  in.AddU32("bitmapwidth", 44);
  in.AddU32("bitmapheight", 48);
  in.AddU32("bytes", 52);
  in.AddU16("code", 60, Show::kHex);
  in.AddU8("bitmapkind", 62);
  if (!in.Zero(1, 2) || !in.Zero(3, 4) || !in.Zero(56, 60) || !in.Zero(63, 64)) return false;
  const uint32_t n = U32(b, 52);
  if (!in.LengthIs((uint64_t{n} + 67) & ~uint64_t{3})) return false;
  if (U32(b, 32) != (n ? 64u : 0u)) return in.Fail("data offset " + std::to_string(U32(b, 32)) + " for " +
                                                    std::to_string(n) + " bitmap bytes");
  if (n && !BitmapSize(in, b[62], n, U32(b, 44), U32(b, 48))) return false;
  in.Data(&in.record().data, 64, n);
  return in.Zero(64 + n, in.length());
}

bool FontData(RecordReader& in) {
  const uint8_t* b = in.b();
  in.AddU8("flags", 2, Show::kHex);
  in.AddU32("bytes", 8);
  in.AddU32("bitmapwidth", 12);
  in.AddU32("bitmapheight", 16);
  in.AddU16("code", 24, Show::kHex);
  in.AddU8("bitmapkind", 26);
  if (!in.Zero(1, 2) || !in.Zero(3, 4) || !in.Zero(20, 24) || !in.Zero(27, 28)) return false;
  const uint32_t n = U32(b, 8);
  if (n == 0) return in.Fail("font data without bytes");
  if (!in.LengthIs((uint64_t{n} + 31) & ~uint64_t{3})) return false;
  if (!BitmapSize(in, b[26], n, U32(b, 12), U32(b, 16))) return false;
  in.Data(&in.record().data, 28, n);
  return in.Zero(28 + n, in.length());
}

bool PositionedGlyphs(RecordReader& in) {
  const uint8_t* b = in.b();
  in.AddU8("flags", 2, Show::kHex);
  in.AddRect("", 8);
  in.AddI32("x", 24);
  in.AddI32("y", 28);
  in.AddU32("count", 32);
  if (!in.Zero(3, 4)) return false;
  const uint64_t k = U32(b, 32);
  if (!in.LengthIs(36 + ((6 * k + 3) & ~uint64_t{3}))) return false;
  for (uint64_t i = 0; i < k; ++i) {
    in.record().placed.push_back({I16(b, 36 + 6 * i), I16(b, 38 + 6 * i), U16(b, 40 + 6 * i)});
  }
  return in.Zero(36 + 6 * k, in.length());
}

bool PageStart(RecordReader& in) {
  in.AddU32("width", 4);
  in.AddU32("height", 8);
  in.AddU16("xres", 12);
  in.AddU16("yres", 14);
  return in.Zero(1, 4);
}

bool Fields(RecordReader& in) {
  const uint8_t* b = in.b();
  switch (b[0]) {
    case 0x10: return Rect(in);
    case 0x11: case 0x12: return Path(in);
    case 0x20: return Image(in);
    case 0x30: return Color(in);
    case 0x31: return Rop(in);
    case 0x32: return OneByte(in, "value", 0xFF);
    case 0x33: return Line(in);
    case 0x34: return OneByte(in, "offset", 0xFF);
    case 0x35: return OneByte(in, "endcap", 2);
    case 0x36: return LineJoin(in);
    case 0x37: case 0x61: return in.Zero(1, 4);
    case 0x40: return Pattern(in);
    case 0x50: return FontSelect(in);
    case 0x51: return Text(in);
    case 0x52: return GlyphRun(in);
    case 0x53: case 0x57: return GlyphDownload(in);
    case 0x54: return FontData(in);
    case 0x55: return PositionedGlyphs(in);
    case 0x56: return DownloadFontSelect(in);
    case 0x60: return PageStart(in);
    default: return in.Fail("unknown record opcode 0x" + Hex(b[0], 2));
  }
}

// Decodes the records of one run of data-packet bodies. On damage, *failedAt is the run offset
// of the record that is wrong.
bool DecodeRun(const uint8_t* bytes, size_t size, size_t page, std::vector<Record>* records, size_t* failedAt,
               std::string* problem) {
  size_t o = 0;
  while (o < size) {
    *failedAt = o;
    const uint8_t* b = bytes + o;
    const uint32_t length = RecordLength(b, size - o, problem);
    if (!problem->empty()) return false;
    const std::string what = "record 0x" + Hex(b[0], 2) + ": ";
    if (length < MinimumLength(b[0]) || length % 4) {
      *problem = what + "length " + std::to_string(length) + " is not a record length";
      return false;
    }
    if (length > size - o) {
      *problem = what + "truncated record: length " + std::to_string(length) + ", " + std::to_string(size - o) +
                 " bytes left";
      return false;
    }
    Record record;
    record.opcode = b[0];
    record.name = RecordName(b[0], b[2]);
    record.length = length;
    record.page = page;
    RecordReader in(b, length, &record);
    if (!Fields(in)) {
      *problem = what + in.error();
      return false;
    }
    records->push_back(std::move(record));
    o += length;
  }
  return true;
}

// The job's packet order: F3 [F3] Page+ { F3 Page+ }, Page = F4 F0 F5* F1, and each page's records
// from 0x60 to 0x61.
class JobDecoder {
 public:
  JobDecoder(const uint8_t* bytes, size_t size, const Options& options, Job* job)
      : bytes_(bytes), size_(size), options_(options), job_(job) {}

  bool Run(std::string* error) {
    size_t at = 0;
    while (at < size_) {
      const std::string problem = HeaderProblem(bytes_, size_, at);
      if (!problem.empty()) {
        if (!options_.passThrough) {
          std::string runProblem;  // the records of the whole packets before stay decoded
          EndRun(&runProblem);
          return Fail(at, problem, error);
        }
        if (!Raw(&at, error)) return false;
        continue;
      }
      const uint8_t type = bytes_[at];
      const uint32_t length = U32(bytes_, at + 4);
      if (type != 0xF5 && !EndRun(error)) return false;
      if (!Order(at, type, error)) return false;
      Packet packet;
      packet.type = type;
      packet.length = length;
      packet.offset = at;
      packet.page = job_->pages;
      const uint8_t* body = bytes_ + at + kHeader;
      if (type == 0xF5) {
        pieces_.push_back({job_->packets.size(), run_.size(), at + kHeader});
        run_.insert(run_.end(), body, body + length);
      } else {
        packet.text.assign(reinterpret_cast<const char*>(body), length);
      }
      job_->packets.push_back(std::move(packet));
      at += kHeader + length;
    }
    if (!EndRun(error)) return false;
    if (options_.allowUnfinished) return true;
    if (state_ == State::kStart) return Fail(size_, "job holds no packets", error);
    if (state_ != State::kBetweenPages) return Fail(size_, "job ends inside a page", error);
    return true;
  }

 private:
  enum class State { kStart, kJobStarted, kPageStarted, kInPage, kBetweenPages };
  struct Piece {
    size_t packet;
    size_t runOffset;
    size_t jobOffset;
  };

  bool Fail(size_t at, const std::string& problem, std::string* error) {
    *error = "offset " + std::to_string(at) + ": " + problem;
    return false;
  }

  bool Raw(size_t* at, std::string* error) {
    size_t end = size_;
    if (next_raw_ < options_.rawLengths.size()) {
      const size_t length = options_.rawLengths[next_raw_++];
      if (length == 0 || length > size_ - *at) return Fail(*at, "raw run of " + std::to_string(length) + " bytes does not fit", error);
      end = *at + length;
    } else {
      for (size_t q = *at + 1; q < size_; ++q) {
        if (AcceptableHeader(bytes_, size_, q)) {
          end = q;
          break;
        }
      }
    }
    if (state_ == State::kStart || state_ == State::kPageStarted) {
      return Fail(*at, "unframed bytes where a packet must begin", error);
    }
    if (!EndRun(error)) return false;
    if (state_ == State::kJobStarted) state_ = State::kBetweenPages;
    Packet packet;
    packet.length = static_cast<uint32_t>(end - *at);
    packet.offset = *at;
    packet.page = job_->pages;
    packet.text.assign(reinterpret_cast<const char*>(bytes_ + *at), end - *at);
    job_->packets.push_back(std::move(packet));
    *at = end;
    return true;
  }

  bool Order(size_t at, uint8_t type, std::string* error) {
    auto wrong = [&](const char* expected) {
      return Fail(at, "packet 0x" + Hex(type, 2) + " where " + expected + " must come", error);
    };
    switch (state_) {
      case State::kStart:
        if (type != 0xF3) return wrong("the job-start packet 0xF3");
        state_ = State::kJobStarted;
        job_start_count_ = 1;
        first_segment_ = true;
        return true;
      case State::kJobStarted:
        if (type == 0xF3 && first_segment_ && job_start_count_ == 1) {
          ++job_start_count_;  // the JOBNAME line
          return true;
        }
        if (type != 0xF4) return wrong("a page-start packet 0xF4");
        return StartPage();
      case State::kPageStarted:
        if (type != 0xF0) return wrong("the empty packet 0xF0");
        state_ = State::kInPage;
        return true;
      case State::kInPage:
        if (type == 0xF5) return true;
        if (type != 0xF1) return wrong("a data packet 0xF5 or the page-end packet 0xF1");
        state_ = State::kBetweenPages;
        return EndPage(at, error);
      case State::kBetweenPages:
        if (type == 0xF4) return StartPage();
        if (type == 0xF3) {
          state_ = State::kJobStarted;
          first_segment_ = false;
          return true;
        }
        return wrong("a page-start packet 0xF4 or a job-start packet 0xF3");
    }
    return false;
  }

  bool StartPage() {
    state_ = State::kPageStarted;
    job_->pages += 1;
    page_records_ = 0;
    page_first_ = 0;
    page_ended_ = false;
    return true;
  }

  bool EndPage(size_t at, std::string* error) {
    if (page_records_ == 0) return true;
    if (page_first_ != 0x60) return Fail(at, "page " + std::to_string(job_->pages) + " does not begin with record 0x60", error);
    if (!page_ended_) return Fail(at, "page " + std::to_string(job_->pages) + " does not end with record 0x61", error);
    return true;
  }

  // Decodes the data packets collected so far as one run of records.
  bool EndRun(std::string* error) {
    if (pieces_.empty()) return true;
    const size_t first = job_->records.size();
    size_t failedAt = 0;
    std::string problem;
    const bool ok = DecodeRun(run_.data(), run_.size(), job_->pages, &job_->records, &failedAt, &problem);
    size_t runOffset = 0;
    for (size_t i = first; i < job_->records.size(); ++i) {
      Place(i, runOffset);
      runOffset += job_->records[i].length;
    }
    for (size_t i = first; ok && i < job_->records.size(); ++i) {
      if (!PageOrder(job_->records[i], error)) return false;
    }
    const size_t failedJobOffset = JobOffset(failedAt);
    pieces_.clear();
    run_.clear();
    if (ok) return true;
    return Fail(failedJobOffset, problem, error);
  }

  // Places a record in the packet that holds its first byte.
  void Place(size_t index, size_t runOffset) {
    size_t piece = 0;
    while (piece + 1 < pieces_.size() && pieces_[piece + 1].runOffset <= runOffset) ++piece;
    Record& record = job_->records[index];
    record.packet = pieces_[piece].packet;
    record.offset = runOffset - pieces_[piece].runOffset;
    Packet& packet = job_->packets[record.packet];
    if (packet.recordCount == 0) packet.firstRecord = index;
    packet.recordCount += 1;
  }

  size_t JobOffset(size_t runOffset) const {
    size_t piece = 0;
    while (piece + 1 < pieces_.size() && pieces_[piece + 1].runOffset <= runOffset) ++piece;
    return pieces_.empty() ? size_ : pieces_[piece].jobOffset + (runOffset - pieces_[piece].runOffset);
  }

  bool PageOrder(const Record& record, std::string* error) {
    const size_t at = job_->packets[record.packet].offset + kHeader + record.offset;
    if (page_ended_) return Fail(at, "record 0x" + Hex(record.opcode, 2) + " after the page-end record", error);
    if (record.opcode == 0x60 && page_records_ != 0) return Fail(at, "page-start record inside a page", error);
    if (page_records_ == 0) page_first_ = record.opcode;
    if (record.opcode == 0x61) page_ended_ = true;
    page_records_ += 1;
    return true;
  }

  const uint8_t* bytes_;
  size_t size_;
  const Options& options_;
  Job* job_;
  State state_ = State::kStart;
  size_t job_start_count_ = 0;
  bool first_segment_ = true;
  size_t next_raw_ = 0;
  std::vector<uint8_t> run_;
  std::vector<Piece> pieces_;
  size_t page_records_ = 0;
  uint8_t page_first_ = 0;
  bool page_ended_ = false;
};

// ---- Text -----------------------------------------------------------------------------------

std::string Fixed(int64_t value) {
  // 28.4 fixed point shown exactly: sixteenths have at most four decimals.
  const bool negative = value < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  std::string text = (negative ? "-" : "") + std::to_string(magnitude / 16);
  uint64_t fraction = magnitude % 16 * 625;  // ten-thousandths
  if (fraction) {
    std::string digits = std::to_string(fraction);
    digits.insert(0, 4 - digits.size(), '0');
    while (digits.back() == '0') digits.pop_back();
    text += "." + digits;
  }
  return text;
}

std::string Point(int32_t x, int32_t y) { return "(" + Fixed(x) + "," + Fixed(y) + ")"; }

std::string Printable(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += "\\x" + Hex(c, 2);
    }
  }
  return out;
}

std::string FaceText(const std::u16string& face) {
  std::string out;
  for (char16_t unit : face) {
    if (unit >= 0x20 && unit < 0x7F && unit != '\\' && unit != '"') {
      out += static_cast<char>(unit);
    } else {
      out += "\\u" + Hex(unit, 4);
    }
  }
  return out;
}

std::string BytesSummary(const char* what, const std::vector<uint8_t>& bytes) {
  std::string line = "    " + std::string(what) + " " + std::to_string(bytes.size()) + " bytes";
  if (bytes.empty()) return line + "\n";
  if (bytes.size() <= 32) {
    line += ":";
    for (uint8_t byte : bytes) line += " " + Hex(byte, 2);
  } else {
    line += " crc32=" + Hex(CrcOf(bytes), 8);
  }
  return line + "\n";
}

const char* PacketName(uint8_t type) {
  switch (type) {
    case 0xF0: return "EMPTY";
    case 0xF1: return "PAGE_END_PJL";
    case 0xF3: return "JOB_START_PJL";
    case 0xF4: return "PAGE_START_PJL";
    case 0xF5: return "RECORDS";
    default: return "RAW";
  }
}

}  // namespace

bool Record::Has(std::string_view field) const {
  for (const Field& f : fields) {
    if (f.name == field) return true;
  }
  return false;
}

int64_t Record::Get(std::string_view field) const {
  for (const Field& f : fields) {
    if (f.name == field) return f.value;
  }
  return INT64_MIN;
}

std::string RecordName(uint8_t opcode, uint8_t kind) {
  switch (opcode) {
    case 0x10: return "RECT";
    case 0x11: return "PATH_CURVES";
    case 0x12: return "PATH_LINES";
    case 0x20: return "IMAGE";
    case 0x30: return "COLOR";
    case 0x31: return "ROP";
    case 0x32: return "COLOR_ATTR";
    case 0x33: return "LINE";
    case 0x34: return "STYLE_OFFSET";
    case 0x35: return "LINE_END";
    case 0x36: return "LINE_JOIN";
    case 0x37: return "CLIP_OFF";
    case 0x40: return "PATTERN";
    case 0x50: return "FONT_SELECT";
    case 0x51: return kind == 1 ? "GLYPH_OUTLINE" : "TEXT_POS";
    case 0x52: return "GLYPH_RUN";
    case 0x53: return "GLYPH_DL_CACHED";
    case 0x54: return "FONT_DATA";
    case 0x55: return "POS_GLYPHS";
    case 0x56: return "DL_FONT_SELECT";
    case 0x57: return "GLYPH_DL";
    case 0x60: return "PAGE_START";
    case 0x61: return "PAGE_END";
    default: return {};
  }
}

bool DecodeRecords(const uint8_t* bytes, size_t size, std::vector<Record>* records, std::string* error) {
  size_t failedAt = 0;
  std::string problem;
  if (DecodeRun(bytes, size, 0, records, &failedAt, &problem)) return true;
  *error = "offset " + std::to_string(failedAt) + ": " + problem;
  return false;
}

bool DecodeJob(const uint8_t* bytes, size_t size, const Options& options, Job* job, std::string* error) {
  *job = {};
  error->clear();
  if (!bytes && size) {
    *error = "no job bytes";
    return false;
  }
  return JobDecoder(bytes, size, options, job).Run(error);
}

std::string RenderRecord(const Record& record) {
  std::string out = "  REC " + Hex(record.opcode, 2) + " " + record.name + " len=" + std::to_string(record.length);
  for (const Field& field : record.fields) {
    out += " " + field.name + "=";
    switch (field.show) {
      case Show::kDecimal: out += std::to_string(field.value); break;
      case Show::kHex: out += "0x" + Hex(static_cast<uint64_t>(field.value), 2); break;
      case Show::kRgb: out += "#" + Hex(static_cast<uint64_t>(field.value), 6); break;
      case Show::kFixed: out += Fixed(field.value); break;
    }
  }
  if (record.opcode == 0x50 || record.opcode == 0x56) out += " face=\"" + FaceText(record.face) + "\"";
  out += "\n";
  for (const SubPath& sub : record.subpaths) {
    out += "    subpath " + Point(sub.x, sub.y) + " entries=" + std::to_string(sub.entries.size()) + "\n";
    for (const PathEntry& entry : sub.entries) {
      if (entry.curve) {
        out += "      curve " + Point(entry.points[0], entry.points[1]) + " " + Point(entry.points[2], entry.points[3]) +
               " " + Point(entry.points[4], entry.points[5]) + "\n";
      } else {
        out += "      line " + Point(entry.points[0], entry.points[1]) + "\n";
      }
    }
  }
  if (!record.steps.empty()) {
    out += "    steps";
    for (uint16_t step : record.steps) out += " " + std::to_string(step);
    out += "\n    codes";
    for (uint16_t code : record.codes) out += " " + Hex(code, 4);
    out += "\n";
  }
  for (const PlacedGlyph& glyph : record.placed) {
    out += "    glyph dx=" + std::to_string(glyph.dx) + " dy=" + std::to_string(glyph.dy) + " code=" + Hex(glyph.code, 4) +
           "\n";
  }
  if (record.opcode == 0x20) {
    out += BytesSummary("palette", record.palette);
    out += BytesSummary("rows", record.data);
  } else if (!record.data.empty()) {
    out += BytesSummary(record.opcode == 0x40 ? "tile" : "data", record.data);
  }
  return out;
}

std::string RenderJob(const Job& job) {
  std::string out;
  for (const Packet& packet : job.packets) {
    if (packet.type == 0) {
      out += "RAW @" + std::to_string(packet.offset) + " len=" + std::to_string(packet.length) + "\n";
      out += BytesSummary("bytes", std::vector<uint8_t>(packet.text.begin(), packet.text.end()));
      continue;
    }
    out += "PKT " + Hex(packet.type, 2) + " " + PacketName(packet.type) + " @" + std::to_string(packet.offset) +
           " len=" + std::to_string(packet.length) + "\n";
    // PJL text line by line, split after each CR LF.
    size_t from = 0;
    while (from < packet.text.size()) {
      size_t end = packet.text.find("\r\n", from);
      end = end == std::string::npos ? packet.text.size() : end + 2;
      out += "  | " + Printable(packet.text.substr(from, end - from)) + "\n";
      from = end;
    }
    for (size_t i = 0; i < packet.recordCount; ++i) out += RenderRecord(job.records[packet.firstRecord + i]);
  }
  return out;
}

}  // namespace velm::jobdump
