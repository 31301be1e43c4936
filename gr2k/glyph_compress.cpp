#include "gr2k/glyph_compress.h"

namespace {

constexpr DWORD kSkipField = 15;
constexpr DWORD kCountField = 7;
// A run of at least this many equal bytes is sent as a repeat group.
constexpr DWORD kMinRepeat = 3;

class Writer {
 public:
  Writer(BYTE* out, DWORD capacity) : out_(out), capacity_(capacity) {}
  bool Put(BYTE b) {
    if (at_ >= capacity_) return false;
    out_[at_++] = b;
    return true;
  }
  // The continuation bytes of a field whose control bits hold `largest`.
  bool Continue(DWORD value, DWORD largest) {
    if (value < largest) return true;
    value -= largest;
    for (; value >= 255; value -= 255) {
      if (!Put(255)) return false;
    }
    return Put(static_cast<BYTE>(value));
  }
  DWORD written() const { return at_; }

 private:
  BYTE* out_;
  DWORD capacity_;
  DWORD at_ = 0;
};

DWORD RunLength(const BYTE* bytes, DWORD from, DWORD end) {
  DWORD to = from + 1;
  while (to < end && bytes[to] == bytes[from]) ++to;
  return to - from;
}

DWORD Field(DWORD value, DWORD largest) { return value < largest ? value : largest; }

}  // namespace

DWORD GlyphCompress(const BYTE* bytes, DWORD count, BYTE* out, DWORD capacity) {
  if (!bytes || !out) return 0;
  DWORD end = count;
  while (end > 0 && bytes[end - 1] == 0) --end;
  Writer writer(out, capacity);
  DWORD at = 0;
  while (at < end) {
    const DWORD zeroStart = at;
    while (bytes[at] == 0) ++at;  // a non-zero byte lies ahead: `end` follows the last one
    const DWORD skip = at - zeroStart;
    const DWORD run = RunLength(bytes, at, end);
    const bool repeat = run >= kMinRepeat;
    DWORD length = run;
    if (!repeat) {
      // Literals up to the next run worth repeating, or the end.
      length = 0;
      while (at + length < end && RunLength(bytes, at + length, end) < kMinRepeat) length += RunLength(bytes, at + length, end);
    }
    const BYTE control = static_cast<BYTE>((repeat ? 0x80 : 0) | Field(skip, kSkipField) << 3 |
                                           Field(length - 1, kCountField));
    if (!writer.Put(control) || !writer.Continue(skip, kSkipField) || !writer.Continue(length - 1, kCountField)) return 0;
    if (repeat) {
      if (!writer.Put(bytes[at])) return 0;
    } else {
      for (DWORD i = 0; i < length; ++i) {
        if (!writer.Put(bytes[at + i])) return 0;
      }
    }
    at += length;
  }
  return writer.written();
}
