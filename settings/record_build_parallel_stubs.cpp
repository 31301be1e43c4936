// Temporary: removed when the parallel branches merge.
// A plain merge of the incoming public fields, so that a merge on this branch takes an
// application's validated fields: each field whose dmFields bit the incoming devmode sets is
// taken when its validator accepts it, else it takes its default, and its bit is kept in step.
#include "settings/description_access.h"
#include "settings/item_checks.h"
#include "settings/item_store.h"
#include "settings/record_build.h"

namespace {

LONG Field16(const BYTE* devmode, size_t offset) { return static_cast<SHORT>(DmLoadU16(devmode, offset)); }

void SetBits(DriverContext* context, DWORD set, DWORD clear) {
  OptSetValue(context, 6, (OptGetValue(context, 6) & ~clear) | set);
}

void TakeOrDefault(DriverContext* context, WORD item, LONG value, LONG fallback) {
  if (OptValidateField(item, value, context)) {
    OptSetValue(context, item, static_cast<DWORD>(value));
  } else if (DescLookupNode(item, context)) {
    OptResetToDefault(context, OptFindItem(context->itemTable, item));
  } else {
    OptSetValue(context, item, static_cast<DWORD>(fallback));
  }
}

}  // namespace

void DmMergePublicFields(DriverContext* context, const DEVMODEW* incoming) {
  if (!context || !context->settings || !incoming) return;
  const BYTE* in = reinterpret_cast<const BYTE*>(incoming);
  const DWORD fields = DmLoadU32(in, 72);
  const ModelDefaults& d = ContextModelDefaults(context);
  if (fields & DM_DEFAULTSOURCE) {
    TakeOrDefault(context, 13, Field16(in, 88), d.defaultDefaultSource);
    SetBits(context, DM_DEFAULTSOURCE, 0);
  }
  if (fields & DM_ORIENTATION) {
    TakeOrDefault(context, 7, Field16(in, 76), d.defaultOrientation);
    SetBits(context, DM_ORIENTATION, 0);
  }
  const LONG length = Field16(in, 80), width = Field16(in, 82);
  if ((fields & DM_PAPERLENGTH) && (fields & DM_PAPERWIDTH) && length > 0 && width > 0 && !(fields & DM_PAPERSIZE)) {
    OptSetValue(context, 8, static_cast<DWORD>(Field16(in, 78)));
    OptSetValue(context, 9, static_cast<DWORD>(length));
    OptSetValue(context, 10, static_cast<DWORD>(width));
    SetBits(context, DM_PAPERLENGTH | DM_PAPERWIDTH, DM_PAPERSIZE);
  } else if (fields & DM_PAPERSIZE) {
    TakeOrDefault(context, 8, Field16(in, 78), d.defaultPaperSize);
    SetBits(context, DM_PAPERSIZE, DM_PAPERLENGTH | DM_PAPERWIDTH);
  }
  if (fields & DM_SCALE) {
    const LONG scale = Field16(in, 84);
    OptSetValue(context, 11, static_cast<DWORD>(scale >= 1 && scale <= 1000 ? scale : d.defaultScale));
    SetBits(context, 0, DM_SCALE);
  }
  if (fields & DM_COPIES) {
    const LONG copies = Field16(in, 86);
    OptSetValue(context, 12, static_cast<DWORD>(copies >= 1 && copies <= 999 ? copies : d.defaultCopies));
    SetBits(context, DM_COPIES, 0);
  }
  if (fields & DM_PRINTQUALITY) {
    const LONG quality = Field16(in, 90);
    TakeOrDefault(context, 14, quality < 0 && quality >= -4 ? 0 : quality, d.defaultPrintQuality);
    OptSetValue(context, 17, OptGetValue(context, 14));
    SetBits(context, DM_PRINTQUALITY | DM_YRESOLUTION, 0);
  }
  const struct {
    DWORD bit;
    WORD item;
    size_t offset;
    bool wide;
    LONG fallback;
    DWORD keepBit;
  } rest[] = {
      {DM_DUPLEX, 16, 94, false, d.defaultDuplex, DM_DUPLEX},
      {DM_COLOR, 15, 92, false, d.defaultColor, DM_COLOR},
      {DM_TTOPTION, 18, 98, false, d.defaultTTOption, DM_TTOPTION},
      {DM_ICMMETHOD, 27, 188, true, static_cast<LONG>(d.defaultIcmMethod), DM_ICMMETHOD},
      {DM_ICMINTENT, 28, 192, true, static_cast<LONG>(d.defaultIcmIntent), DM_ICMINTENT},
      {DM_DITHERTYPE, 30, 200, true, static_cast<LONG>(d.defaultDitherType), DM_DITHERTYPE},
      {DM_MEDIATYPE, 29, 196, true, static_cast<LONG>(d.defaultMediaType), 0},
  };
  for (const auto& f : rest) {
    if (!(fields & f.bit)) continue;
    TakeOrDefault(context, f.item, f.wide ? static_cast<LONG>(DmLoadU32(in, f.offset)) : Field16(in, f.offset),
                  f.fallback);
    if (f.keepBit) SetBits(context, f.keepBit, 0);
  }
}
