// Paths and clips built in a test, handed out as the engine's enumeration would.
#pragma once

#include <vector>

#include "gr2k/graphics_state_cache.h"
#include "gr2k/path_record.h"

namespace velm::test {

struct TestPiece {
  DWORD flags;
  std::vector<POINTFIX> points;
};

class TestPath : public PathSource {
 public:
  explicit TestPath(std::vector<TestPiece> pieces, DWORD pointBound = 0) : pieces_(std::move(pieces)) {
    bound_ = pointBound;
    if (!bound_) {
      for (const TestPiece& piece : pieces_) bound_ += static_cast<DWORD>(piece.points.size());
    }
    bounds_ = {0, 0, 0, 0};
    bool first = true;
    for (const TestPiece& piece : pieces_) {
      for (const POINTFIX& p : piece.points) {
        if (first || p.x < bounds_.left) bounds_.left = p.x;
        if (first || p.y < bounds_.top) bounds_.top = p.y;
        if (first || p.x > bounds_.right) bounds_.right = p.x;
        if (first || p.y > bounds_.bottom) bounds_.bottom = p.y;
        first = false;
      }
    }
  }

  void Restart() override {
    next_ = 0;
    ++restarts;
  }
  BOOL Next(PATHDATA* piece) override {
    if (next_ >= pieces_.size()) {
      *piece = {0, 0, nullptr};
      return FALSE;
    }
    TestPiece& p = pieces_[next_++];
    *piece = {p.flags, static_cast<ULONG>(p.points.size()), p.points.data()};
    return next_ < pieces_.size();
  }
  RECTL BoundsFix() const override { return bounds_; }
  DWORD PointBound() const override { return bound_; }

  int restarts = 0;

 private:
  std::vector<TestPiece> pieces_;
  size_t next_ = 0;
  DWORD bound_;
  RECTL bounds_;
};

constexpr POINTFIX Px(LONG x, LONG y) { return {x * 16, y * 16}; }

// One closed square of side `side` pixels at (x, y).
inline TestPath Square(LONG x, LONG y, LONG side) {
  return TestPath({{PD_BEGINSUBPATH | PD_ENDSUBPATH | PD_CLOSEFIGURE,
                    {Px(x, y), Px(x + side, y), Px(x + side, y + side), Px(x, y + side)}}});
}

class TestClip : public ClipSource {
 public:
  TestClip(DWORD complexity, RECTL bounds, ULONG uniq = 0) : complexity_(complexity), bounds_(bounds), uniq_(uniq),
      outline_(Square(bounds.left, bounds.top, bounds.right - bounds.left)) {}

  DWORD Complexity() const override { return complexity_; }
  RECTL Bounds() const override { return bounds_; }
  ULONG Uniq() const override { return uniq_; }
  PathSource* OpenOutline() override {
    ++opened;
    return &outline_;
  }
  void CloseOutline(PathSource* outline) override {
    if (outline == &outline_) ++closed;
  }

  int opened = 0;
  int closed = 0;

 private:
  DWORD complexity_;
  RECTL bounds_;
  ULONG uniq_;
  TestPath outline_;
};

}  // namespace velm::test
