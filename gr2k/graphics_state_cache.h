// The graphics-state cache: the ROP, colour attribute, pattern, colour, line attributes, clip and font
// last sent on this page, so that a drawing call writes only what changed. Every entry is
// forgotten at page start (GraphicsStateCacheReset). A write that fails leaves its entry as it
// was, so the next call tries again.
#pragma once

#include "gr2k/command_stream.h"
#include "gr2k/path_record.h"
#include "gr2k/velm_records.h"

// The pen as the line-attribute records carry it.
struct LineAttrs {
  WORD width;        // pixels
  BYTE styleUnit;
  DWORD styleMask;   // 0xFFFFFFFF solid
  BYTE styleOffset;  // 1/32 of the style pattern
  BYTE endCap;       // 0 round, 1 butt, 2 square
  BYTE join;         // 0 round, 1 bevel, 2 miter
  DWORD miterLimit;  // 1/256
};

// The engine's clip object as ClipSelect needs it.
class ClipSource {
 public:
  virtual ~ClipSource() = default;
  virtual DWORD Complexity() const = 0;  // DC_TRIVIAL, DC_RECT, DC_COMPLEX or another
  virtual RECTL Bounds() const = 0;       // the clip rectangle of a DC_RECT clip
  virtual ULONG Uniq() const = 0;     // the same region keeps its number; 0 names none
  // The outline of a complex clip, or null; given back with CloseOutline.
  virtual PathSource* OpenOutline() = 0;
  virtual void CloseOutline(PathSource* outline) = 0;
};

// The engine's clip object as a source; a null clip is trivial.
class EngineClip : public ClipSource {
 public:
  explicit EngineClip(CLIPOBJ* clip) : clip_(clip) {}
  DWORD Complexity() const override;
  RECTL Bounds() const override;
  ULONG Uniq() const override;
  PathSource* OpenOutline() override;
  void CloseOutline(PathSource* outline) override;

 private:
  CLIPOBJ* clip_;
  PATHOBJ* outline_ = nullptr;
  EnginePath path_{nullptr};
};

enum class ActiveClip : BYTE { kNone, kRect, kPath };

struct GraphicsStateCache {
  BOOL ropValid;
  BYTE rop;
  BOOL colorAttrValid;
  BYTE colorAttr;
  BOOL patternValid;
  DWORD patternKind;
  BOOL colorValid;
  ColorDescriptor color;
  BOOL lineValid;
  LineAttrs line;
  ActiveClip clip;
  RECTL clipRect;
  ULONG clipUniq;
  BOOL fontValid;  // the last font select (0x50 or 0x56): the font's identifier and pitch kind
  ULONG fontId;
  BYTE fontPitchKind;
};

// Forgets every entry: the next call of each kind writes its record.
void GraphicsStateCacheReset(GraphicsStateCache* cache);

// 0x31 when no ROP is held or the ROP's low byte differs.
BOOL StrmEmitRopIfChanged(CommandStream* stream, GraphicsStateCache* cache, DWORD rop);
// 0x32 when no attribute is held or it differs.
BOOL StrmEmitColorAttrIfChanged(CommandStream* stream, GraphicsStateCache* cache, BYTE value);
// 0x40 for every pattern or hatch brush; a solid brush only when no brush kind is held or the
// held kind differs. A null brush fails.
BOOL StrmEmitPatternIfChanged(CommandStream* stream, GraphicsStateCache* cache, const PatternDescriptor* brush);
// 0x30 when no colour is held or its colour mode, kind, third-colour presence, first or second
// colour, or (when present) third colour differs.
BOOL StrmEmitColorIfChanged(CommandStream* stream, GraphicsStateCache* cache, const RecordSettings& settings,
                            const ColorDescriptor& color);
// The first time all four line records (0x33, 0x34, 0x35, 0x36); afterwards one per changed part.
// End cap and join other than 1 and 2 go as 0.
BOOL StrmEmitLineAttrsIfChanged(CommandStream* stream, GraphicsStateCache* cache, const LineAttrs& pen);
// Selects the clip of a drawing call; null is a trivial clip. Trivial gives 0x37 when a clip is
// active; a rectangle 0x10 kind 5 unless the same one is active; a complex clip a path record
// with mode 5 unless the path of the same region is active; any other complexity 0x37.
BOOL ClipSelect(CommandStream* stream, GraphicsStateCache* cache, ClipSource* clip);
