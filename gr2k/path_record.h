// Path records (0x11 with curves, 0x12 lines only) and the path body they share with glyph
// outlines: a u32 size figure, then the sub-paths {u32 entry count, first point, entries}, where
// a line entry is {0, x, y} and a curve entry {1, three points}. Points are 28.4 fixed point.
//
// The engine's path object reaches the writer through PathSource, which hands out the path in
// PATHDATA pieces as the engine's enumeration does (a figure may be split over several pieces);
// EnginePath is the source over a PATHOBJ.
#pragma once

#include "gr2k/command_stream.h"

class PathSource {
 public:
  virtual ~PathSource() = default;
  virtual void Restart() = 0;
  // Fills the next piece; FALSE when it is the last one.
  virtual BOOL Next(PATHDATA* piece) = 0;
  virtual RECTL BoundsFix() const = 0;    // bounds of every point, 28.4
  virtual DWORD PointBound() const = 0;   // at least the number of points the enumeration gives
};

// Path record modes (byte 2 before the 0x08 and 0x10 bits).
constexpr BYTE kPathStroke = 0;
constexpr BYTE kPathFillAlternate = 1;
constexpr BYTE kPathFillWinding = 2;
constexpr BYTE kPathFillStrokeAlternate = 3;
constexpr BYTE kPathFillStrokeWinding = 4;
constexpr BYTE kPathClip = 5;

// Bytes reserved for a path record of `points` points: an upper bound, trimmed after writing.
// 0 when the bound does not fit a reservation.
DWORD PathRecordBound(DWORD points);

struct PathBodyInfo {
  DWORD bytes;     // written, the size figure included
  DWORD subpaths;
  BOOL curves;     // any curve entry
  BOOL closed;     // any figure closed
};

// Writes the body of the path (size figure first) into `body`, every point moved by minus
// `origin`. FALSE when the body does not fit `capacity`, a figure lacks its first point, or a
// curve run is not a whole number of curves.
BOOL PathWriteBody(PathSource* source, POINTFIX origin, BYTE* body, DWORD capacity, PathBodyInfo* info);

// One path record of the whole path with the given mode, trimmed to its size; null (and nothing
// left in the stream) when the body fails or the reservation does.
BYTE* StrmEmitPath(CommandStream* stream, PathSource* source, BYTE mode);

// Whether a record StrmEmitPath wrote is a stroke the device needs one record per figure for:
// mode 0 with more than one sub-path and any closed figure.
BOOL PathNeedsPerFigure(const BYTE* record);

// Gives `record` (the last one written, by StrmEmitPath) back to the stream and writes the path
// again as one record per sub-path: each reserved with the whole path's bound and trimmed,
// 0x11 from the first sub-path with curves on, the mode plus 0x08 for a closed sub-path (never
// 0x10), the whole path's bounds. FALSE when a sub-path's body or reservation fails.
BOOL PathEmitPerFigure(CommandStream* stream, PathSource* source, BYTE* record, BYTE mode);

// The engine's path object as a source.
class EnginePath : public PathSource {
 public:
  explicit EnginePath(PATHOBJ* path) : path_(path) {}
  void Restart() override;
  BOOL Next(PATHDATA* piece) override;
  RECTL BoundsFix() const override;
  DWORD PointBound() const override;  // three points for each of the engine's curves

 private:
  PATHOBJ* path_;
};
