// The image record (0x20): a 56-byte header, an RGB palette for 1-, 4- and 8-bit rows, then the
// rows top first, each padded to 4 bytes, and zero padding to a multiple of 4.
#pragma once

#include "gr2k/command_stream.h"
#include "gr2k/velm_records.h"

// Image format value: the pixel format in bits 0-3 (0 one bit, 1 four, 2 eight, else 24 in BGR
// order), 0x10 grey rows, 0x20 no palette, 0x80 sent by a blit, 0x800 host colour-managed,
// 0x20000 reduced for lack of memory.
constexpr DWORD kImageGrey = 0x10;
constexpr DWORD kImageNoPalette = 0x20;
constexpr DWORD kImageRasterBit = 0x400;

// Rows made as they are sent (converted or mirrored): Row(i) gives row i of the record, at least
// its (width * bits + 7) / 8 bytes, valid until the next call; null when it cannot be made.
class ImageRowSource {
 public:
  virtual ~ImageRowSource() = default;
  virtual const BYTE* Row(DWORD row) = 0;
};

struct ImageDescription {
  DWORD format;
  LONG x;  // destination
  LONG y;
  LONG cx;
  LONG cy;
  LONG srcX;  // where the device starts reading the rows sent
  LONG srcY;
  DWORD width;  // pixels per row sent
  DWORD rows;
  const BYTE* palette;  // RGB triplets, or null for none
  DWORD paletteBytes;   // given; the record takes 6, 48 or 768, zero-filled past these
  const BYTE* bits;     // the top row
  LONG stride;          // signed: negative for a bottom-up bitmap
  ImageRowSource* rowSource;  // when set, the rows come from it instead of bits and stride
};

// How a record is reserved: the header and then pieces of about 1 MB (whole for print types 5
// and 7 and API use), the header and then every row on its own, or the record in one piece.
enum class ImageReserve { kPieces, kRows, kWhole };
struct ImageWriting {
  bool convertGrey;  // 24-bit rows as grey on a grey device
  bool rasterBit;    // the raster-mode bit in raster mode
  ImageReserve reserve;
  bool zeroPadding;  // a row's bytes past its pixels are 0 rather than the source's
};

// Writes one image record. 24-bit rows go as 8-bit grey unless the machine is colour and the
// colour choice is not 1. Unless the print type is 5 or 7 or the API is in use, the rows are
// reserved in pieces of at most about 1 MB after the header, so a long image may leave over
// several data packets. FALSE on a failed reservation or bad input; the stream then holds nothing
// of the record, or, when part of it has already been sent, the job is marked aborted.
BOOL StrmEmitImage(CommandStream* stream, const RecordSettings& settings, const ImageDescription& image);
// The record as `writing` says; StrmEmitImage is {true, true, kPieces, false}.
BOOL StrmEmitImageAs(CommandStream* stream, const RecordSettings& settings, const ImageDescription& image,
                     const ImageWriting& writing);
// The same record without grey conversion and without the raster-mode bit, reserved as the
// header (with palette) and then one reservation per row. Where the header ends off a 4-byte
// boundary (1 bit with palette: 62 bytes) its reservation takes the first row bytes up to it, and
// every row's reservation holds the rest of its row and the start of the next (zeros after the
// last).
BOOL StrmEmitImageRows(CommandStream* stream, const RecordSettings& settings, const ImageDescription& image);
