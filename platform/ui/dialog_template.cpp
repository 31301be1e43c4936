// Encoding and decoding of the user-interface resource formats. Stands alone (no other platform
// code) because velm_rescomp compiles it too.
#include "ui/dialog_template.h"

#include <cstring>

namespace velm::ui {
namespace {

class Writer {
 public:
  void U16(uint32_t v) {
    bytes_.push_back(static_cast<BYTE>(v));
    bytes_.push_back(static_cast<BYTE>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void Text(const std::u16string& text) {
    U16(static_cast<uint32_t>(text.size()));
    for (char16_t c : text) U16(c);
  }
  void Bytes(const BYTE* data, size_t size) { bytes_.insert(bytes_.end(), data, data + size); }
  std::vector<BYTE> Take() { return std::move(bytes_); }

 private:
  std::vector<BYTE> bytes_;
};

// Every read is bounded by the data; the first short read makes the reader fail for good.
class Reader {
 public:
  Reader(const BYTE* data, size_t size) : data_(data), size_(size) {}
  bool ok() const { return ok_; }
  bool AtEnd() const { return at_ == size_; }
  size_t Left() const { return size_ - at_; }
  uint32_t U16() {
    BYTE b[2] = {};
    Take(b, 2);
    return b[0] | (b[1] << 8);
  }
  uint32_t U32() {
    BYTE b[4] = {};
    Take(b, 4);
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
  }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  std::u16string Text() {
    const size_t length = U16();
    if (!ok_ || length > kMaxTemplateText || length * 2 > Left()) {
      ok_ = false;
      return {};
    }
    std::u16string text(length, u'\0');
    for (char16_t& c : text) c = static_cast<char16_t>(U16());
    return text;
  }
  void Take(BYTE* out, size_t n) {
    if (!ok_ || n > Left()) {
      ok_ = false;
      return;
    }
    if (data_) std::memcpy(out, data_ + at_, n);
    at_ += n;
  }

 private:
  const BYTE* data_;
  size_t size_;
  size_t at_ = 0;
  bool ok_ = true;
};

bool TextFits(const std::u16string& text) { return text.size() <= kMaxTemplateText; }

}  // namespace

std::optional<std::vector<BYTE>> EncodeDialogTemplate(const DialogTemplate& dialog) {
  if (dialog.controls.size() > kMaxTemplateControls || !TextFits(dialog.caption) || !TextFits(dialog.fontFace))
    return std::nullopt;
  Writer out;
  out.Bytes(kDialogMagic, 4);
  out.U16(kDialogVersion);
  out.U16(static_cast<uint32_t>(dialog.controls.size()));
  out.U32(dialog.style);
  out.U32(dialog.exStyle);
  out.I32(dialog.x);
  out.I32(dialog.y);
  out.I32(dialog.width);
  out.I32(dialog.height);
  out.U16(dialog.pointSize);
  out.Text(dialog.caption);
  out.Text(dialog.fontFace);
  for (const DialogControl& control : dialog.controls) {
    if (!TextFits(control.className) || !TextFits(control.text)) return std::nullopt;
    out.U32(control.id);
    out.U32(control.style);
    out.U32(control.exStyle);
    out.I32(control.x);
    out.I32(control.y);
    out.I32(control.width);
    out.I32(control.height);
    out.Text(control.className);
    out.Text(control.text);
  }
  return out.Take();
}

std::optional<DialogTemplate> DecodeDialogTemplate(const BYTE* data, size_t size) {
  if (!data) return std::nullopt;
  Reader in(data, size);
  BYTE magic[4] = {};
  in.Take(magic, 4);
  if (!in.ok() || std::memcmp(magic, kDialogMagic, 4) != 0 || in.U16() != kDialogVersion) return std::nullopt;
  const size_t count = in.U16();
  if (count > kMaxTemplateControls) return std::nullopt;
  DialogTemplate dialog;
  dialog.style = in.U32();
  dialog.exStyle = in.U32();
  dialog.x = in.I32();
  dialog.y = in.I32();
  dialog.width = in.I32();
  dialog.height = in.I32();
  dialog.pointSize = static_cast<WORD>(in.U16());
  dialog.caption = in.Text();
  dialog.fontFace = in.Text();
  for (size_t i = 0; i < count && in.ok(); ++i) {
    DialogControl control;
    control.id = in.U32();
    control.style = in.U32();
    control.exStyle = in.U32();
    control.x = in.I32();
    control.y = in.I32();
    control.width = in.I32();
    control.height = in.I32();
    control.className = in.Text();
    control.text = in.Text();
    dialog.controls.push_back(std::move(control));
  }
  if (!in.ok() || !in.AtEnd()) return std::nullopt;
  return dialog;
}

std::vector<BYTE> EncodeBitmapResource(const BitmapResource& bitmap) {
  Writer out;
  out.U32(bitmap.width);
  out.U32(bitmap.height);
  out.U32(bitmap.bitsPerPixel);
  if (bitmap.bitsPerPixel == 24) out.Bytes(bitmap.rgb.data(), bitmap.rgb.size());
  return out.Take();
}

std::optional<BitmapResource> DecodeBitmapResource(const BYTE* data, size_t size) {
  if (!data) return std::nullopt;
  Reader in(data, size);
  BitmapResource bitmap;
  bitmap.width = in.U32();
  bitmap.height = in.U32();
  bitmap.bitsPerPixel = in.U32();
  if (!in.ok() || bitmap.width > kMaxBitmapSide || bitmap.height > kMaxBitmapSide) return std::nullopt;
  if (bitmap.bitsPerPixel == 0) {
    if (!in.AtEnd()) return std::nullopt;
    return bitmap;
  }
  if (bitmap.bitsPerPixel != 24) return std::nullopt;
  const size_t bytes = size_t(bitmap.width) * bitmap.height * 3;
  if (in.Left() != bytes) return std::nullopt;
  bitmap.rgb.resize(bytes);
  in.Take(bitmap.rgb.data(), bytes);
  return bitmap;
}

std::vector<BYTE> EncodeCursorResource(const CursorResource& cursor) {
  Writer out;
  out.U32(cursor.hotX);
  out.U32(cursor.hotY);
  out.U32(cursor.width);
  out.U32(cursor.height);
  return out.Take();
}

std::optional<CursorResource> DecodeCursorResource(const BYTE* data, size_t size) {
  if (!data || size != kCursorBytes) return std::nullopt;
  Reader in(data, size);
  CursorResource cursor;
  cursor.hotX = in.U32();
  cursor.hotY = in.U32();
  cursor.width = in.U32();
  cursor.height = in.U32();
  return cursor;
}

}  // namespace velm::ui
