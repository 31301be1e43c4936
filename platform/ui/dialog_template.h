// The binary formats of the user-interface resources: dialog templates (RT_DIALOG), bitmaps
// (RT_BITMAP) and cursors (RT_GROUP_CURSOR and RT_CURSOR), as velm_rescomp writes them into a
// resource library and the window manager and GDI read them. All little-endian; units are pixels.
//
// Dialog template:
//   "VDLG", u16 version 1, u16 control count,
//   u32 style, u32 extended style, i32 x, i32 y, i32 width, i32 height, u16 font point size,
//   text caption, text font face (empty: the default dialog font),
//   then per control: u32 id, u32 style, u32 extended style, i32 x, i32 y, i32 width, i32 height,
//   text class name, text window text.
//   A text is a u16 length in characters (at most kMaxTemplateText) and that many UTF-16 units.
// Bitmap: u32 width, u32 height, u32 bits per pixel (0 = no pixels, a placeholder of that size;
//   24 = width * height * 3 bytes of RGB rows, top-down, no padding), then the pixels.
// Cursor: u32 hot-spot x, u32 hot-spot y, u32 width, u32 height.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/wintypes.h"

namespace velm::ui {

inline constexpr BYTE kDialogMagic[4] = {'V', 'D', 'L', 'G'};
constexpr WORD kDialogVersion = 1;
constexpr size_t kMaxTemplateText = 4096;
constexpr size_t kMaxTemplateControls = 1024;
constexpr DWORD kMaxBitmapSide = 4096;
constexpr DWORD kBitmapHeaderBytes = 12;
constexpr DWORD kCursorBytes = 16;

struct DialogControl {
  DWORD id = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  LONG x = 0, y = 0, width = 0, height = 0;
  std::u16string className;
  std::u16string text;
};

struct DialogTemplate {
  DWORD style = 0;
  DWORD exStyle = 0;
  LONG x = 0, y = 0, width = 0, height = 0;
  WORD pointSize = 0;
  std::u16string caption;
  std::u16string fontFace;
  std::vector<DialogControl> controls;
};

// The template's bytes; the encoder refuses (nullopt) texts or control counts beyond the limits.
std::optional<std::vector<BYTE>> EncodeDialogTemplate(const DialogTemplate& dialog);
// The template of `size` bytes at `data`; nullopt for anything malformed (wrong magic or
// version, a count or text beyond the limits or the data, trailing bytes).
std::optional<DialogTemplate> DecodeDialogTemplate(const BYTE* data, size_t size);

struct BitmapResource {
  DWORD width = 0;
  DWORD height = 0;
  DWORD bitsPerPixel = 0;  // 0 or 24
  std::vector<BYTE> rgb;   // width * height * 3 bytes when bitsPerPixel is 24
};
std::vector<BYTE> EncodeBitmapResource(const BitmapResource& bitmap);
// Nullopt for sides beyond kMaxBitmapSide, another depth, or a pixel count the data does not hold.
std::optional<BitmapResource> DecodeBitmapResource(const BYTE* data, size_t size);

struct CursorResource {
  DWORD hotX = 0, hotY = 0, width = 0, height = 0;
};
std::vector<BYTE> EncodeCursorResource(const CursorResource& cursor);
std::optional<CursorResource> DecodeCursorResource(const BYTE* data, size_t size);

}  // namespace velm::ui
