#include "gr2k/path_record.h"

#include "gr2k/velm_records.h"
#include "settings/items/settings_record.h"

namespace {

constexpr DWORD kPathHeaderBytes = 24;  // before the size figure
constexpr DWORD kLineEntryBytes = 12;
constexpr DWORD kCurveEntryBytes = 28;

// Writes bounded entries into the body; any overflow fails the whole body.
class BodyWriter {
 public:
  BodyWriter(BYTE* body, DWORD capacity, POINTFIX origin) : body_(body), capacity_(capacity), origin_(origin) {}

  bool Room(DWORD n) const { return n <= capacity_ - at_; }
  DWORD at() const { return at_; }

  void U32(DWORD value) {
    DmStoreU32(body_, at_, value);
    at_ += 4;
  }
  void Point(const POINTFIX& point) {
    // Unsigned arithmetic: a far point wraps as the device's 32-bit fields would.
    U32(static_cast<DWORD>(point.x) - static_cast<DWORD>(origin_.x));
    U32(static_cast<DWORD>(point.y) - static_cast<DWORD>(origin_.y));
  }
  void Patch(DWORD offset, DWORD value) { DmStoreU32(body_, offset, value); }

 private:
  BYTE* body_;
  DWORD capacity_;
  POINTFIX origin_;
  DWORD at_ = 0;
};

}  // namespace

DWORD PathRecordBound(DWORD points) {
  const ULONGLONG n = points;
  const ULONGLONG bound = n * 4 + ((n * 36 + 15) & ~3ull) + 28;
  return bound > kStreamMaxReserve ? 0 : static_cast<DWORD>(bound);
}

BOOL PathWriteBody(PathSource* source, POINTFIX origin, BYTE* body, DWORD capacity, PathBodyInfo* info) {
  if (!source || !body || !info || capacity < 4) return FALSE;
  *info = {};
  BodyWriter out(body, capacity, origin);
  out.U32(0);  // size figure, patched at the end

  DWORD lines = 0;
  DWORD curves = 0;
  bool open = false;
  DWORD headerAt = 0;
  DWORD entries = 0;
  auto closeSubpath = [&] {
    out.Patch(headerAt, entries);
    open = false;
  };

  // Every piece but empty ones moves the body on; the limit ends a source that never stops.
  const DWORD pieceLimit = capacity / 4 + 2;
  source->Restart();
  BOOL more = TRUE;
  for (DWORD pieces = 0; more; ++pieces) {
    if (pieces == pieceLimit) return FALSE;
    PATHDATA piece{};
    more = source->Next(&piece);
    if (piece.count && !piece.pptfx) return FALSE;
    DWORD i = 0;
    if (piece.flags & PD_BEGINSUBPATH) {
      if (open) closeSubpath();
      if (piece.count == 0 || !out.Room(12)) return FALSE;
      headerAt = out.at();
      out.U32(0);
      out.Point(piece.pptfx[0]);
      open = true;
      entries = 0;
      info->subpaths += 1;
      i = 1;
    } else if (piece.count && !open) {
      return FALSE;  // points with no figure to belong to
    }
    if (piece.flags & PD_BEZIERS) {
      if ((piece.count - i) % 3 != 0) return FALSE;
      for (; i < piece.count; i += 3) {
        if (!out.Room(kCurveEntryBytes)) return FALSE;
        out.U32(1);
        out.Point(piece.pptfx[i]);
        out.Point(piece.pptfx[i + 1]);
        out.Point(piece.pptfx[i + 2]);
        ++entries;
        ++curves;
      }
    } else {
      for (; i < piece.count; ++i) {
        if (!out.Room(kLineEntryBytes)) return FALSE;
        out.U32(0);
        out.Point(piece.pptfx[i]);
        ++entries;
        ++lines;
      }
    }
    if (open && (piece.flags & PD_ENDSUBPATH)) {
      if (piece.flags & PD_CLOSEFIGURE) info->closed = TRUE;
      closeSubpath();
    }
  }
  if (open) closeSubpath();

  const DWORD s = info->subpaths;
  const DWORD figure = s == 0 ? 0 : 3 * lines + 7 * curves + 3 * (s - 1) + 3 + (s > 1 ? 1 : 0);
  out.Patch(0, figure);
  info->bytes = out.at();
  info->curves = curves != 0;
  return TRUE;
}

namespace {

// The pieces of one sub-path of a source: the figure'th run from a PD_BEGINSUBPATH on.
class FigureSource : public PathSource {
 public:
  FigureSource(PathSource* whole, DWORD figure) : whole_(whole), figure_(figure) {}
  void Restart() override {
    whole_->Restart();
    seen_ = 0;
    more_ = TRUE;
  }
  BOOL Next(PATHDATA* piece) override {
    *piece = {};
    while (more_) {
      PATHDATA next{};
      more_ = whole_->Next(&next);
      if (next.flags & PD_BEGINSUBPATH) ++seen_;
      if (seen_ != figure_ + 1) continue;
      *piece = next;
      if (next.flags & PD_ENDSUBPATH) more_ = FALSE;
      return more_;
    }
    return FALSE;
  }
  RECTL BoundsFix() const override { return whole_->BoundsFix(); }
  DWORD PointBound() const override { return whole_->PointBound(); }

 private:
  PathSource* whole_;
  DWORD figure_;
  DWORD seen_ = 0;
  BOOL more_ = TRUE;
};

void WriteHeader(BYTE* record, BYTE opcode, BYTE flags, DWORD length, const RECTL& boundsFix) {
  record[0] = opcode;
  record[1] = 0;
  record[2] = flags;
  record[3] = 0;
  DmStoreU32(record, 4, length);
  DmStoreU32(record, 8, static_cast<DWORD>(boundsFix.left >> 4));
  DmStoreU32(record, 12, static_cast<DWORD>(boundsFix.top >> 4));
  DmStoreU32(record, 16, static_cast<DWORD>(boundsFix.right >> 4));
  DmStoreU32(record, 20, static_cast<DWORD>(boundsFix.bottom >> 4));
}

}  // namespace

BYTE* StrmEmitPath(CommandStream* stream, PathSource* source, BYTE mode) {
  if (!stream || !source) return nullptr;
  const DWORD bound = PathRecordBound(source->PointBound());
  if (bound == 0) return nullptr;
  const StreamMark mark = StrmMark(stream);
  BYTE* record = StrmReserve(stream, bound);
  if (!record) return nullptr;
  PathBodyInfo info{};
  const POINTFIX none{0, 0};
  if (!PathWriteBody(source, none, record + kPathHeaderBytes, bound - kPathHeaderBytes, &info)) {
    StrmRollback(stream, mark);  // the reservation is the last one: nothing was flushed since
    return nullptr;
  }
  const DWORD length = kPathHeaderBytes + info.bytes;
  BYTE flags = mode & 0x07;
  if (info.closed) flags |= 0x08;
  if (info.subpaths > 1) flags |= 0x10;
  WriteHeader(record, info.curves ? kRecPathCurves : kRecPathLines, flags, length, source->BoundsFix());
  StrmTrim(stream, record, length);
  return record;
}

BOOL PathNeedsPerFigure(const BYTE* record) {
  return record && (record[2] & 0x07) == kPathStroke && (record[2] & 0x10) && (record[2] & 0x08);
}

BOOL PathEmitPerFigure(CommandStream* stream, PathSource* source, BYTE* record, BYTE mode) {
  if (!stream || !source || !record) return FALSE;
  StrmTrim(stream, record, 0);
  const DWORD bound = PathRecordBound(source->PointBound());
  if (bound == 0) return FALSE;
  const RECTL boundsFix = source->BoundsFix();
  const POINTFIX none{0, 0};
  BOOL curves = FALSE;
  const StreamMark start = StrmMark(stream);
  // A source has at most one sub-path per point; the limit ends one that never stops.
  for (DWORD figure = 0; figure <= source->PointBound(); ++figure) {
    FigureSource one(source, figure);
    BYTE* part = StrmReserve(stream, bound);
    if (!part) {
      StrmRollback(stream, start);  // nothing of the path stays when no flush sent part of it
      return FALSE;
    }
    PathBodyInfo info{};
    const BOOL written = PathWriteBody(&one, none, part + kPathHeaderBytes, bound - kPathHeaderBytes, &info);
    if (!written || info.subpaths == 0) {  // a bad sub-path, or past the last one
      StrmTrim(stream, part, 0);
      if (!written) StrmRollback(stream, start);
      return written;
    }
    curves = curves || info.curves;
    const DWORD length = kPathHeaderBytes + info.bytes;
    WriteHeader(part, curves ? kRecPathCurves : kRecPathLines, static_cast<BYTE>((mode & 0x07) | (info.closed ? 0x08 : 0)),
                length, boundsFix);
    StrmTrim(stream, part, length);
  }
  return TRUE;
}

void EnginePath::Restart() { PATHOBJ_vEnumStart(path_); }

BOOL EnginePath::Next(PATHDATA* piece) { return PATHOBJ_bEnum(path_, piece); }

RECTL EnginePath::BoundsFix() const {
  RECTFX bounds{};
  PATHOBJ_vGetBounds(path_, &bounds);
  return {bounds.xLeft, bounds.yTop, bounds.xRight, bounds.yBottom};
}

DWORD EnginePath::PointBound() const {
  const ULONGLONG bound = ULONGLONG{path_->cCurves} * 3;
  return bound > kStreamMaxReserve ? kStreamMaxReserve : static_cast<DWORD>(bound);
}
