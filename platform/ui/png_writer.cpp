#include "ui/png_writer.h"

#include <array>
#include <cstdio>
#include <string>

namespace velm::ui {
namespace {

constexpr size_t kMaxStoredBlock = 65535;
constexpr BYTE kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

const std::array<DWORD, 256>& CrcTable() {
  static const std::array<DWORD, 256> table = [] {
    std::array<DWORD, 256> t{};
    for (DWORD n = 0; n < 256; ++n) {
      DWORD c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  return table;
}

void PutU32BigEndian(std::vector<BYTE>& out, DWORD value) {
  out.push_back(static_cast<BYTE>(value >> 24));
  out.push_back(static_cast<BYTE>(value >> 16));
  out.push_back(static_cast<BYTE>(value >> 8));
  out.push_back(static_cast<BYTE>(value));
}

// Length, type, data, and the CRC of type and data.
void PutChunk(std::vector<BYTE>& out, const char (&type)[5], const std::vector<BYTE>& data) {
  PutU32BigEndian(out, static_cast<DWORD>(data.size()));
  const size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutU32BigEndian(out, PngCrc32(out.data() + typeAt, out.size() - typeAt));
}

}  // namespace

DWORD PngCrc32(const BYTE* data, size_t size) {
  DWORD c = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) c = CrcTable()[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

DWORD ZlibAdler32(const BYTE* data, size_t size) {
  constexpr DWORD kBase = 65521;
  DWORD a = 1, b = 0;
  for (size_t i = 0; i < size; ++i) {
    a = (a + data[i]) % kBase;
    b = (b + a) % kBase;
  }
  return (b << 16) | a;
}

std::vector<BYTE> ZlibStore(const BYTE* data, size_t size) {
  // CMF 0x78 (deflate, 32K window), FLG 0x01: no dictionary, lowest level, (CMF*256+FLG) % 31 == 0.
  std::vector<BYTE> out = {0x78, 0x01};
  size_t at = 0;
  do {
    const size_t length = std::min(kMaxStoredBlock, size - at);
    const bool last = at + length == size;
    out.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00
    out.push_back(static_cast<BYTE>(length));
    out.push_back(static_cast<BYTE>(length >> 8));
    out.push_back(static_cast<BYTE>(~length));
    out.push_back(static_cast<BYTE>(~length >> 8));
    out.insert(out.end(), data + at, data + at + length);
    at += length;
  } while (at < size);
  PutU32BigEndian(out, ZlibAdler32(data, size));
  return out;
}

std::vector<BYTE> EncodePng(DWORD width, DWORD height, const std::vector<BYTE>& rgb) {
  constexpr DWORD kMaxSide = 0x7FFFFFFF;
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return {};
  const size_t row = static_cast<size_t>(width) * 3;
  if (rgb.size() / row < height) return {};
  std::vector<BYTE> raw;
  raw.reserve((row + 1) * height);
  for (DWORD y = 0; y < height; ++y) {
    raw.push_back(0);  // filter: none
    raw.insert(raw.end(), rgb.begin() + static_cast<long>(y * row), rgb.begin() + static_cast<long>((y + 1) * row));
  }
  std::vector<BYTE> png(kSignature, kSignature + sizeof(kSignature));
  std::vector<BYTE> header;
  PutU32BigEndian(header, width);
  PutU32BigEndian(header, height);
  header.insert(header.end(), {8, 2, 0, 0, 0});  // depth 8, colour type 2 (RGB), deflate, filter 0, no interlace
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", ZlibStore(raw.data(), raw.size()));
  PutChunk(png, "IEND", {});
  return png;
}

}  // namespace velm::ui
