#include "gr2k/image_record.h"

#include <cstring>

#include "settings/items/settings_record.h"

namespace {

constexpr DWORD kImageHeaderBytes = 56;

DWORD BitsPerPixel(DWORD format) {
  switch (format & 0xF) {
    case 0: return 1;
    case 1: return 4;
    case 2: return 8;
    default: return 24;
  }
}

DWORD PaletteBytes(DWORD bits) { return bits == 1 ? 6 : bits == 4 ? 48 : 768; }

// The record's bytes after header and palette: the rows sent, then zero padding.
class RowBytes {
 public:
  RowBytes(const ImageDescription& image, bool grey, DWORD rowBytes, DWORD copyBytes)
      : image_(image), grey_(grey), rowBytes_(rowBytes), copyBytes_(copyBytes) {}

  // Writes `count` bytes from `offset` onwards; false when a row cannot be made.
  bool Fill(BYTE* dst, ULONGLONG offset, DWORD count) const {
    while (count) {
      const ULONGLONG row = rowBytes_ ? offset / rowBytes_ : image_.rows;
      if (row >= image_.rows) {
        std::memset(dst, 0, count);
        return true;
      }
      const DWORD from = static_cast<DWORD>(offset % rowBytes_);
      const DWORD take = rowBytes_ - from < count ? rowBytes_ - from : count;
      if (!WriteRow(static_cast<DWORD>(row), from, take, dst)) return false;
      dst += take;
      offset += take;
      count -= take;
    }
    return true;
  }

 private:
  bool WriteRow(DWORD row, DWORD from, DWORD take, BYTE* dst) const {
    const BYTE* src = image_.rowSource ? image_.rowSource->Row(row)
                                       : image_.bits + static_cast<ptrdiff_t>(row) * image_.stride;
    if (!src) return false;
    const DWORD end = from + take;
    const DWORD filled = grey_ ? image_.width : copyBytes_;
    const DWORD stop = end < filled ? end : filled;
    DWORD j = from;
    if (grey_) {
      for (; j < stop; ++j) {
        const DWORD b = src[3 * j], g = src[3 * j + 1], r = src[3 * j + 2];
        *dst++ = static_cast<BYTE>((r * 306 + g * 601 + b * 117) >> 10);
      }
    } else if (j < stop) {
      std::memcpy(dst, src + j, stop - j);
      dst += stop - j;
      j = stop;
    }
    if (j < end) std::memset(dst, 0, end - j);
    return true;
  }

  const ImageDescription& image_;
  bool grey_;
  DWORD rowBytes_;
  DWORD copyBytes_;
};

}  // namespace

BOOL StrmEmitImageAs(CommandStream* stream, const RecordSettings& settings, const ImageDescription& image,
                     const ImageWriting& writing) {
  if (!stream || (image.rows && image.width && !image.bits && !image.rowSource)) return FALSE;
  const DWORD sourceBits = BitsPerPixel(image.format);
  const bool grey = writing.convertGrey && sourceBits == 24 && !(settings.machineColor && settings.colorChoice != 1);
  const DWORD format = grey ? (image.format & 0xE0) | kImageGrey | 0x02 : image.format;
  const DWORD bits = grey ? 8 : sourceBits;
  const bool palette = bits != 24 && image.palette && !(format & kImageNoPalette);
  const DWORD paletteBytes = palette ? PaletteBytes(bits) : 0;

  const ULONGLONG rowBytes = (ULONGLONG{image.width} * bits + 31) / 32 * 4;
  const ULONGLONG needed = grey ? ULONGLONG{image.width} * 3 : (ULONGLONG{image.width} * bits + 7) / 8;
  const ULONGLONG stride = image.stride < 0 ? -static_cast<LONGLONG>(image.stride) : image.stride;
  if (image.rows && !image.rowSource && stride < needed) return FALSE;
  const DWORD prefix = kImageHeaderBytes + paletteBytes;
  const ULONGLONG total = (prefix + ULONGLONG{image.rows} * rowBytes + 3) & ~3ull;
  if (total > kStreamMaxReserve) return FALSE;
  const DWORD length = static_cast<DWORD>(total);
  // A row takes what its source holds up to the record's row length, or only its pixels.
  const ULONGLONG copied = writing.zeroPadding || image.rowSource ? needed : stride < rowBytes ? stride : rowBytes;
  const RowBytes rows(image, grey, static_cast<DWORD>(rowBytes), static_cast<DWORD>(copied));

  // The first reservation holds the header and palette and, when they end off a 4-byte
  // boundary (1 bit with palette: 62 bytes), the first row bytes up to it: every reservation
  // keeps a multiple of 4 so that the records behind stay aligned.
  const bool whole = writing.reserve == ImageReserve::kWhole ||
                     (writing.reserve == ImageReserve::kPieces &&
                      (settings.printType == 5 || settings.printType == 7 || settings.apiUse));
  const DWORD head = whole ? length : ((prefix + 3) & ~3u) < length ? (prefix + 3) & ~3u : length;
  const StreamMark mark = StrmMark(stream);
  BYTE* record = StrmReserve(stream, head);
  if (!record) return FALSE;

  record[0] = kRecImage;
  record[1] = static_cast<BYTE>(format >> 16);
  record[2] = static_cast<BYTE>((format & 0xFF) | (palette ? 0 : kImageNoPalette));
  record[3] = static_cast<BYTE>(((format >> 8) & 0xFF) | (settings.rasterMode && writing.rasterBit ? kImageRasterBit >> 8 : 0));
  DmStoreU32(record, 4, length);
  DmStoreU32(record, 8, static_cast<DWORD>(image.x));
  DmStoreU32(record, 12, static_cast<DWORD>(image.y));
  DmStoreU32(record, 16, static_cast<DWORD>(image.x) + static_cast<DWORD>(image.cx));
  DmStoreU32(record, 20, static_cast<DWORD>(image.y) + static_cast<DWORD>(image.cy));
  DmStoreU32(record, 24, static_cast<DWORD>(image.srcX));
  DmStoreU32(record, 28, static_cast<DWORD>(image.srcY));
  DmStoreU32(record, 32, image.width);
  DmStoreU32(record, 36, image.rows);
  DmStoreU32(record, 40, static_cast<DWORD>(image.x));
  DmStoreU32(record, 44, static_cast<DWORD>(image.y));
  DmStoreU32(record, 48, static_cast<DWORD>(image.cx));
  DmStoreU32(record, 52, static_cast<DWORD>(image.cy));
  if (palette) {
    const DWORD given = image.paletteBytes < paletteBytes ? image.paletteBytes : paletteBytes;
    std::memcpy(record + kImageHeaderBytes, image.palette, given);
    std::memset(record + kImageHeaderBytes + given, 0, paletteBytes - given);
  }
  if (!rows.Fill(record + prefix, 0, head - prefix)) {
    StrmRollback(stream, mark);
    return FALSE;
  }

  const DWORD carry = head - prefix;
  const DWORD rowsPerPiece = writing.reserve == ImageReserve::kRows || rowBytes == 0 || rowBytes > kStreamHoldLimit
                                 ? 1
                                 : kStreamHoldLimit / static_cast<DWORD>(rowBytes);
  ULONGLONG sent = head;
  for (DWORD row = 0; sent < length; row += rowsPerPiece) {
    const ULONGLONG left = length - sent;
    const ULONGLONG piece = ULONGLONG{rowsPerPiece} * rowBytes < left ? ULONGLONG{rowsPerPiece} * rowBytes : left;
    BYTE* at = StrmReserve(stream, static_cast<DWORD>(piece));
    if (!at || !rows.Fill(at, carry + ULONGLONG{row} * rowBytes, static_cast<DWORD>(piece))) {
      // Give the header back; once part of the record has left, the job cannot go on.
      if (!StrmRollback(stream, mark) && stream->owner.flags) *stream->owner.flags |= kPdevFlagAbort;
      return FALSE;
    }
    sent += piece;
  }
  return TRUE;
}

BOOL StrmEmitImage(CommandStream* stream, const RecordSettings& settings, const ImageDescription& image) {
  return StrmEmitImageAs(stream, settings, image, ImageWriting{true, true, ImageReserve::kPieces, false});
}

BOOL StrmEmitImageRows(CommandStream* stream, const RecordSettings& settings, const ImageDescription& image) {
  return StrmEmitImageAs(stream, settings, image, ImageWriting{false, false, ImageReserve::kRows, false});
}
