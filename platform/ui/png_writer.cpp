#include "ui/png_writer.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace velm::ui {
namespace {

constexpr DWORD kMaxSide = 0x7FFFFFFF;

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<BYTE>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void NoFlush(png_structp) {}

struct Source {
  const BYTE* data;
  size_t size;
  size_t at;
};

void ReadBytes(png_structp png, png_bytep into, png_size_t length) {
  auto* source = static_cast<Source*>(png_get_io_ptr(png));
  if (length > source->size - source->at) png_error(png, "the file is cut short");
  std::memcpy(into, source->data + source->at, length);
  source->at += length;
}

// libpng reports through these; a fault jumps back to the caller's setjmp.
void Quiet(png_structp, png_const_charp) {}

}  // namespace

std::vector<BYTE> EncodePng(DWORD width, DWORD height, const std::vector<BYTE>& rgb) {
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return {};
  const size_t row = static_cast<size_t>(width) * 3;
  if (rgb.size() / row < height) return {};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, Quiet);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return {};
  }
  std::vector<BYTE> out;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, AppendBytes, NoFlush);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (DWORD y = 0; y < height; ++y) png_write_row(png, const_cast<BYTE*>(rgb.data() + y * row));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

bool DecodePng(const BYTE* data, size_t size, DWORD* width, DWORD* height, std::vector<BYTE>* rgb) {
  if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Quiet, Quiet);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  Source source{data, size, 0};
  std::vector<png_bytep> rows;  // made before the jump point, so that a fault still frees it
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &source, ReadBytes);
  png_read_info(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_strip_alpha(png);
  png_set_gray_to_rgb(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  if (png_get_rowbytes(png, info) != static_cast<size_t>(w) * 3) png_error(png, "not 8-bit RGB after expansion");
  rgb->assign(static_cast<size_t>(w) * h * 3, 0);
  rows.resize(h);
  for (png_uint_32 y = 0; y < h; ++y) rows[y] = rgb->data() + static_cast<size_t>(y) * w * 3;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  *width = w;
  *height = h;
  return true;
}

}  // namespace velm::ui
