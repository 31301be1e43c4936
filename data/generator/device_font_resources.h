// The graphics library's device-font resources, read from data/device_fonts.txt: four metrics
// resources (type 258, ids 1..4) and the glyph sets (type 260, ids 2 and 3). velm_rescomp
// --fonts writes them into the graphics library's resources.
//
// Metrics resource, little-endian: a 72-byte header, then the IFIMETRICS at offset 72 (its
// fields at their offsets of the engine's IFIMETRICS, 184 bytes, every dp field an offset from
// the IFIMETRICS' start), then the face name in UTF-16 with its NUL, padded to 4 bytes.
//   header: 0 "VFNT"; 4 u16 header bytes (72); 6 u16 version (1); 8 u32 resource bytes;
//   12 u32 IFIMETRICS offset (72); 16 u32 IFIMETRICS bytes (its cjThis); 20 u16 glyph set id;
//   22 u16 code page (932); 24 the face name in that code page, 32 bytes NUL-padded;
//   56..71 zero.
// Glyph set resource: 0 "VGLS"; 4 u16 version (1); 6 u16 code page (932); 8 u32 resource
// bytes; 12 u32 glyph count; 16 u32 run count; 20 the runs {u16 first character, u16 count},
// then one u16 handle (the character's code in the code page) per glyph in run order.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace velm::data {

constexpr uint16_t kMetricsResourceType = 258;
constexpr uint16_t kGlyphSetResourceType = 260;
constexpr uint32_t kMetricsHeaderBytes = 72;
constexpr uint32_t kIfiMetricsBytes = 184;
constexpr uint32_t kGlyphSetHeaderBytes = 20;

struct FontResource {
  uint16_t type = 0;
  uint16_t name = 0;
  std::vector<uint8_t> data;
};

// The resources of `file`; false with "file:line: what" lines in `errors` when it is faulty.
bool ReadDeviceFontResources(const std::filesystem::path& file, std::vector<FontResource>& out, std::string& errors);

}  // namespace velm::data
