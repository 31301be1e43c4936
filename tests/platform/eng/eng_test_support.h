// Shared pieces of the engine tests: bitmaps read and written by the tests' own code (not the
// engine's), and a check that every test gives back the engine objects it made.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/memory.h"
#include "eng/engine_objects.h"
#include "eng/winddi.h"

namespace velm::test {

class Bitmap {
 public:
  Bitmap(LONG cx, LONG cy, ULONG format, FLONG fl = BMF_TOPDOWN)
      : handle_(reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{cx, cy}, 0, format, fl, nullptr))),
        so_(handle_ ? EngLockSurface(handle_) : nullptr) {}
  ~Bitmap() {
    if (handle_) EngDeleteSurface(handle_);
  }
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  SURFOBJ* so() const { return so_; }
  HSURF handle() const { return handle_; }
  BYTE* Row(LONG y) const { return static_cast<BYTE*>(so_->pvScan0) + static_cast<ptrdiff_t>(y) * so_->lDelta; }
  ULONG Get(LONG x, LONG y) const {
    const BYTE* row = Row(y);
    switch (so_->iBitmapFormat) {
      case BMF_1BPP: return (row[x / 8] >> (7 - x % 8)) & 1;
      case BMF_4BPP: return x % 2 ? row[x / 2] & 15 : row[x / 2] >> 4;
      case BMF_8BPP: return row[x];
      case BMF_16BPP: return row[2 * x] | row[2 * x + 1] << 8;
      case BMF_24BPP: return row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16;
      default: {
        ULONG v;
        std::memcpy(&v, row + 4 * x, 4);
        return v;
      }
    }
  }
  void Put(LONG x, LONG y, ULONG value) const {
    BYTE* row = Row(y);
    switch (so_->iBitmapFormat) {
      case BMF_1BPP:
        row[x / 8] = static_cast<BYTE>((row[x / 8] & ~(0x80 >> x % 8)) | ((value & 1) << (7 - x % 8)));
        break;
      case BMF_8BPP: row[x] = static_cast<BYTE>(value); break;
      case BMF_24BPP:
        row[3 * x] = static_cast<BYTE>(value);
        row[3 * x + 1] = static_cast<BYTE>(value >> 8);
        row[3 * x + 2] = static_cast<BYTE>(value >> 16);
        break;
      default: std::memcpy(row + 4 * x, &value, 4); break;
    }
  }
  void Fill(ULONG value) const {
    for (LONG y = 0; y < so_->sizlBitmap.cy; ++y) {
      for (LONG x = 0; x < so_->sizlBitmap.cx; ++x) Put(x, y, value);
    }
  }
  // Pixels of value `v` in the rectangle.
  int Count(ULONG v, RECTL r) const {
    int n = 0;
    for (LONG y = r.top; y < r.bottom; ++y) {
      for (LONG x = r.left; x < r.right; ++x) n += Get(x, y) == v;
    }
    return n;
  }

 private:
  HSURF handle_;
  SURFOBJ* so_;
};

// Every engine test gives back what it made.
class EngTest : public ::testing::Test {
 protected:
  void SetUp() override {
    before_ = platform::LiveEngineObjects().Total();
    platform::TakeEngineCalls();
  }
  void TearDown() override { EXPECT_EQ(platform::LiveEngineObjects().Total(), before_); }

 private:
  size_t before_ = 0;
};

}  // namespace velm::test
