#include "ui2k/entry/device_capabilities.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include "settings/context/memory.h"
#include "settings/items/settings_record.h"
#include "settings/items/store.h"
#include "settings/persistence/paths.h"
#include "settings/persistence/printer_data.h"
#include "settings/persistence/profile_wrappers.h"
#include "settings/persistence/user_lists.h"
#include "settings/services/device_caps.h"
#include "settings/services/resource_strings.h"
#include "settings/services/spooler_info.h"
#include "ui2k/entry/seams.h"
#include "ui2k/entry/sheet_commit.h"
#include "ui2k/entry/ui_context.h"

namespace {

constexpr DWORD kNoAnswer = 0xFFFFFFFF;
constexpr DWORD kNupCounts[] = {1, 2, 4, 9, 16};
constexpr WCHAR kPersonality[] = WSTR("VELM");
constexpr WCHAR kPrintRateKey[] = WSTR("PPM");
constexpr WORD kTraySlots = 32;

// The queries answered on a context of the printer (AnswerOnContext); any other index that is not
// a constant answers -1 without one.
constexpr WORD kContextQueries[] = {
    DC_FIELDS,     DC_PAPERS,  DC_PAPERSIZE, DC_BINS,      DC_DUPLEX,     DC_BINNAMES,     DC_ENUMRESOLUTIONS, DC_TRUETYPE,
    DC_PAPERNAMES, DC_COLLATE, DC_PRINTRATE, DC_MEDIAREADY, DC_STAPLE,    DC_PRINTRATEPPM, DC_COLORDEVICE};

DWORD Count(int count) { return static_cast<DWORD>(count); }

// The answers that need no printer. FALSE for every other index.
BOOL AnswerConstant(WORD capability, void* output, DWORD* answer) {
  const ModelDefaults& model = kModelDefaults;
  switch (capability) {
    case DC_SIZE: *answer = kDmPublicSize; return TRUE;
    case DC_EXTRA: *answer = kDmPrivateSize; return TRUE;
    case DC_VERSION: *answer = static_cast<WORD>(model.specVersion); return TRUE;
    case DC_DRIVER: *answer = static_cast<WORD>(model.driverVersion); return TRUE;
    case DC_ORIENTATION: *answer = model.capabilityWord; return TRUE;
    case DC_COPIES: *answer = model.copiesMax; return TRUE;
    case DC_FILEDEPENDENCIES: *answer = 0; return TRUE;
    case DC_BINADJUST:
    case DC_EMF_COMPLIANT:
    case DC_DATATYPE_PRODUCED: *answer = kNoAnswer; return TRUE;
    case DC_PRINTRATEUNIT: *answer = PRINTRATEUNIT_PPM; return TRUE;
    case DC_NUP:
      if (output) std::memcpy(output, kNupCounts, sizeof kNupCounts);
      *answer = static_cast<DWORD>(std::size(kNupCounts));
      return TRUE;
    case DC_PERSONALITY:
      if (output) {
        auto* text = static_cast<WCHAR*>(output);
        std::fill(text, text + kDevCapsPersonalityChars, WCHAR{0});
        std::copy(std::begin(kPersonality), std::end(kPersonality) - 1, text);
      }
      *answer = 1;
      return TRUE;
    // The custom extents are the model's, on the template context without a devmode.
    case DC_MINEXTENT:
      *answer = static_cast<DWORD>(CapsGetMinExtent(const_cast<DriverContext*>(&CtxGetTemplate()), nullptr));
      return TRUE;
    case DC_MAXEXTENT:
      *answer = static_cast<DWORD>(CapsGetMaxExtent(const_cast<DriverContext*>(&CtxGetTemplate()), nullptr));
      return TRUE;
    default: return FALSE;
  }
}

// The allowed stored values of `item`, or none when it has no list or allows nothing.
std::vector<DWORD> AllowedValues(DriverContext* context, WORD item) {
  const int count = CapsGetAllowedValues(context, nullptr, item);
  if (count <= 0) return {};
  std::vector<DWORD> values(static_cast<size_t>(count));
  if (CapsGetAllowedValues(context, values.data(), item) != count) return {};
  return values;
}

// A list of ids answered as WORDs.
DWORD AnswerIdList(DriverContext* context, WORD item, void* output) {
  const int count = CapsGetAllowedValues(context, nullptr, item);
  if (count <= 0 || !output) return Count(count);
  const std::vector<DWORD> values = AllowedValues(context, item);
  if (values.size() != static_cast<size_t>(count)) return kNoAnswer;
  auto* ids = static_cast<WORD*>(output);
  for (size_t i = 0; i < values.size(); ++i) ids[i] = static_cast<WORD>(values[i]);
  return Count(count);
}

// The name of stored value `value` of `item` into a zeroed field of `width` characters: a
// free-size paper by its slot, any other value by the string of its model value.
void NameValue(DriverContext* context, WORD item, DWORD value, WCHAR* field, DWORD width) {
  std::fill(field, field + width, WCHAR{0});
  if (item == kItemPaperSize && LstIsFreeSizePaper(value)) {
    CapsGetFreeSizeName(context, value, field, width);
    return;
  }
  const DWORD model = OptRawToModelValue(context, OptFindItem(context->itemTable, item), value);
  ResLoadString(context, model, field, width, TRUE);
}

// The trays allowed, named in the order of DC_BINS so that entry i of both is the same tray.
DWORD AnswerBinNames(DriverContext* context, WCHAR* names) {
  const int count = CapsGetAllowedValues(context, nullptr, kItemDefaultSource);
  if (count <= 0 || !names) return Count(count);
  const std::vector<DWORD> bins = AllowedValues(context, kItemDefaultSource);
  if (bins.size() != static_cast<size_t>(count)) return kNoAnswer;
  for (size_t i = 0; i < bins.size(); ++i)
    NameValue(context, kItemDefaultSource, bins[i], names + i * kDevCapsBinNameChars, kDevCapsBinNameChars);
  return Count(count);
}

// Printer data value named by item 10014's key: 1 for a non-zero number, 0 for 0, -1 unreadable.
DWORD AnswerDuplex(HANDLE printer, DriverContext* context) {
  const ItemTableRow* row = OptFindItem(context->itemTable, kItemSourceOptionTypeDuplex);
  DWORD value = 0;
  if (!row || !row->keyName || !PrnGetData(printer, row->keyName, &value, sizeof value)) return kNoAnswer;
  return value ? 1 : 0;
}

// The colour byte of the printer's own default devmode; -1 without one.
DWORD AnswerColorDevice(const PRINTER_INFO_2W& info) {
  const DEVMODEW* devmode = info.pDevMode;
  if (!devmode) return kNoAnswer;
  const ItemTableRow* row = OptFindItem(CtxGetTemplate().itemTable, kItemMachineColor);
  const size_t bytes = size_t{devmode->dmSize} + devmode->dmDriverExtra;
  if (!row || row->offset >= bytes) return 0;
  BYTE color = 0;
  std::memcpy(&color, reinterpret_cast<const BYTE*>(devmode) + row->offset, 1);
  return color == 1 ? 1 : 0;
}

DWORD AnswerOnContext(HANDLE printer, const PRINTER_INFO_2W& info, UiContext* ui, WORD capability, void* output) {
  DriverContext* context = ui->driver;
  switch (capability) {
    case DC_FIELDS: return OptGetValue(context, kItemFields);
    case DC_PAPERS: return AnswerIdList(context, kItemPaperSize, output);
    case DC_PAPERSIZE: return Count(CapsGetPaperSizes(context, static_cast<POINT*>(output), kItemPaperSize));
    case DC_BINS: return AnswerIdList(context, kItemDefaultSource, output);
    case DC_DUPLEX: return AnswerDuplex(printer, context);
    case DC_BINNAMES:
      return AnswerBinNames(context, static_cast<WCHAR*>(output));
    case DC_ENUMRESOLUTIONS:
      return Count(CapsListResolutions(context, static_cast<LONG*>(output), kCapsResolutionPairs));
    case DC_TRUETYPE:
      return OptGetSavedValue(context, kItemFrontFunc) & 1 ? DCTT_BITMAP | DCTT_SUBDEV : DCTT_BITMAP;
    case DC_PAPERNAMES:
      return Count(CapsGetValueNames(context, static_cast<WCHAR*>(output), kDevCapsPaperNameChars, kItemPaperSize));
    case DC_COLLATE: {
      const std::vector<DWORD> sorts = AllowedValues(context, kItemSortType);
      return sorts.size() > 1 || (sorts.size() == 1 && sorts[0] != 0) ? 1 : 0;
    }
    case DC_PRINTRATE:
    case DC_PRINTRATEPPM: return DevCapsPrintRate(context);
    case DC_MEDIAREADY: return Count(DevCapsListMediaReady(context, static_cast<WCHAR*>(output)));
    case DC_STAPLE: return AllowedValues(context, kItemStapleType).empty() ? 0 : 1;
    case DC_COLORDEVICE: return AnswerColorDevice(info);
    default: return kNoAnswer;
  }
}

struct InfoDeleter {
  void operator()(void* block) const { SysFree(block); }
};

// The query on a context of the printer with the caller's devmode merged, released to the
// reuse cache's table 1.
DWORD DevCapsWithContext(HANDLE printer, WORD capability, void* output, const DEVMODEW* devmode) {
  std::unique_ptr<void, InfoDeleter> block(PrnGetPrinterInfo(printer, 2));
  if (!block) return kNoAnswer;
  const auto& info = *static_cast<const PRINTER_INFO_2W*>(block.get());
  if (UiGetSeams().instEnsurePrinterReady(printer) != 1) return kNoAnswer;
  UiContext* ui = UiCreateContext(printer, 0, kKindOrdinary, kDevCapsCreationFlags, 0, &info);
  if (!ui) return kNoAnswer;
  // TrueType is a stored setting of the printer: a document's devmode does not change it.
  DWORD answer = kNoAnswer;
  if (capability == DC_TRUETYPE || DmMergeIntoUiContext(ui, devmode, kDevCapsMergeFlags))
    answer = AnswerOnContext(printer, info, ui, capability, output);
  UiDestroyContextEx(ui, kReleaseToTable1);
  return answer;
}

}  // namespace

DWORD DevCapsPrintRate(DriverContext* context) {
  const WCHAR* ini = PathGetApiIni(context);
  const WCHAR* driver = PrnGetDriverName(context);
  if (!ini || !driver) return 0;
  return IniProfileGetInt(driver, kPrintRateKey, 0, ini);
}

int DevCapsListMediaReady(DriverContext* context, WCHAR* names) {
  DWORD papers[kTraySlots] = {};
  int count = 0;
  for (WORD j = 0; j < kTraySlots; ++j) {
    const DWORD paper = OptGetSavedValue(context, kItemTrayPaperTray1 + j);
    if (!OptGetSavedValue(context, kItemTrayInstalledTray1 + j) || !paper) continue;
    if (std::find(papers, papers + count, paper) == papers + count) papers[count++] = paper;
  }
  if (!names) return count;
  LstLoadFreeSizes(context);
  // A tray holds a paper code, named as the paper list names it.
  for (int i = 0; i < count; ++i)
    NameValue(context, kItemPaperSize, papers[i], names + size_t(i) * kDevCapsPaperNameChars, kDevCapsPaperNameChars);
  return count;
}

DWORD UiDeviceCapabilities(HANDLE printer, WCHAR*, WORD capability, void* output, DEVMODEW* devmode) {
  DWORD answer = kNoAnswer;
  if (AnswerConstant(capability, output, &answer)) return answer;
  if (std::find(std::begin(kContextQueries), std::end(kContextQueries), capability) == std::end(kContextQueries))
    return kNoAnswer;
  return DevCapsWithContext(printer, capability, output, devmode);
}
