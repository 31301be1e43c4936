// PNG files through libpng: 8-bit RGB rows, no interlace, zlib compression at its default level
// with libpng's adaptive row filters.
#pragma once

#include <cstddef>
#include <vector>

#include "core/wintypes.h"

namespace velm::ui {

// The whole PNG file of a width x height image of RGB rows (top-down, 3 bytes a pixel).
// Empty when a side is 0 or above 2^31-1, the pixels are fewer than the sides need, or libpng
// fails.
std::vector<BYTE> EncodePng(DWORD width, DWORD height, const std::vector<BYTE>& rgb);

// Reads a PNG file back as 8-bit RGB rows (any bit depth, palette or grey turned into RGB, alpha
// dropped). False for bytes libpng refuses.
bool DecodePng(const BYTE* data, size_t size, DWORD* width, DWORD* height, std::vector<BYTE>* rgb);

}  // namespace velm::ui
