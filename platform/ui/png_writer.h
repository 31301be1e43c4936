// A PNG encoder of its own: 8-bit RGB, no interlace, every row with filter 0, and the zlib
// stream made of stored (uncompressed) deflate blocks. Pictures of dialogs are small, so size
// matters less than having no outside library.
#pragma once

#include <cstddef>
#include <vector>

#include "core/wintypes.h"

namespace velm::ui {

// CRC-32 as PNG chunks carry it (polynomial 0xEDB88320, initial and final value all ones).
DWORD PngCrc32(const BYTE* data, size_t size);
// Adler-32 of zlib (1 and 0 as the starting sums).
DWORD ZlibAdler32(const BYTE* data, size_t size);
// A zlib stream of stored deflate blocks (at most 65535 bytes each) holding `data`.
std::vector<BYTE> ZlibStore(const BYTE* data, size_t size);
// The whole PNG file of a width x height image of RGB rows (top-down, 3 bytes a pixel).
// Empty when a side is 0 or above 2^31-1, or the pixels are fewer than the sides need.
std::vector<BYTE> EncodePng(DWORD width, DWORD height, const std::vector<BYTE>& rgb);

}  // namespace velm::ui
