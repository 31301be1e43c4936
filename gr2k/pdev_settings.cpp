// The rendering options a PDEV reads once from its driver context.
#include <algorithm>
#include <cstdint>

#include "gr2k/pdev.h"
#include "settings/items/store.h"
#include "settings/items/unit_conversion.h"

namespace {

// Items read here (items/store.h names 7, 92, 93 and 714).
enum : WORD {
  kItemPaperSize = 8,
  kItemCopies = 12,
  kItemResolution = 14,
  kItemColor = 15,
  kItemSrcPaperLength = 44,
  kItemSrcPaperWidth = 45,
  kItemSrcPrintableLength = 46,
  kItemSrcPrintableWidth = 47,
  kItemSrcXOffset = 48,
  kItemSrcYOffset = 49,
  kItemDstPrintableLength = 53,
  kItemDstPrintableWidth = 54,
  kItemNup = 59,
  kItemNupKind = 94,
  kItemIcmProgram = 149,
  kItemIcmType = 150,
  kItemLanguage = 177,
  kItemEmfSpool = 181,
  kItemPrintArea = 182,
  kItemRasterMode = 183,
  kItemColorMode = 184,
  kItemPrintType = 222,
  kItemMachineColor = 246,
  kItemApiUse = 247,
  kItemFrontFunctions = 249,
  kItemDefaultFace = 350,
  kItemNoStretchBltRop = 351,
  kItemEudc = 361,
  kItemSecondFace = 364,
  kItemDeviceFontsOk = 372,
  kItemVector1Bit = 376,
  kItemDeviceFontSelect = 394,
  kItemDeviceFontsOk2 = 395,
  kItemColorForce = 407,
};

constexpr DWORD kDefaultResolution = 600;
constexpr DWORD kFrontFunctionEudc = 0x80;
constexpr DWORD kNupKindBooklet = 9;

DWORD Item(DriverContext* context, WORD id) { return OptGetValue(context, id); }

// Set: a number or bit that is not 0, a text that is not empty.
BOOL ItemIsSet(DriverContext* context, WORD id) {
  ItemTableRow* row = nullptr;
  const DWORD value = OptGetValue(context, id, &row);
  if (!row || !IsByteType(DescriptorType(row->descriptor))) return value != 0;
  const BYTE* bytes = OptGetItemAddress(context, row);
  return bytes && DescriptorLength(row->descriptor) > 0 && bytes[0] != 0;
}

// The draw-nothing switch shares item 364 with the second face name; only a numeric row can
// hold the switch, so a text there never stops the drawing.
BOOL DrawNothingSwitch(DriverContext* context) {
  ItemTableRow* row = nullptr;
  const DWORD value = OptGetValue(context, kItemSecondFace, &row);
  return row && !IsByteType(DescriptorType(row->descriptor)) && value != 0;
}

void ReadFace(DriverContext* context, WORD id, WCHAR (&face)[kFaceNameChars]) {
  face[0] = 0;
  if (const ItemTableRow* row = OptFindItem(context->itemTable, id)) OptGetString(context, row, face, kFaceNameChars);
}

// A resolution the page record's 16-bit field carries; the stored s16 reads sign-extended.
DWORD Resolution(DWORD stored) {
  const LONG dpi = static_cast<LONG>(stored);
  return dpi > 0 && dpi <= 0xFFFF ? static_cast<DWORD>(dpi) : kDefaultResolution;
}

DWORD TenthMm(DWORD pixels, DWORD resolution) {
  return static_cast<DWORD>(static_cast<uint64_t>(pixels) * 254 / resolution);
}

}  // namespace

void PdevReadSettings(RenderPdev* pdev) {
  DriverContext* c = pdev->context;
  PdevSettings& s = pdev->settings;
  pdev->flags = 0;
  pdev->pageCounter = 0;

  s.copies = Item(c, kItemCopies) & 0xFFFF;
  s.passThrough = (Item(c, kItemJobBinder) & 1) != 0;
  s.rasterMode = Item(c, kItemRasterMode) != 0 && !s.passThrough;
  s.colorMode = Item(c, kItemColorMode);
  s.orientationIndex = (Item(c, kItemOrientation) - 1) & 0xFFFF;
  s.resolution = Resolution(Item(c, kItemResolution));
  s.language = Item(c, kItemLanguage);
  s.machineColor = ItemIsSet(c, kItemMachineColor);
  s.emfSpool = Item(c, kItemEmfSpool) != 0;
  s.colorChoice = Item(c, kItemColor) & 0xFFFF;
  s.printArea = Item(c, kItemPrintArea);
  ReadFace(c, kItemDefaultFace, s.defaultFace);
  s.eudc = Item(c, kItemEudc) != 0 || (Item(c, kItemFrontFunctions) & kFrontFunctionEudc) != 0;
  ReadFace(c, kItemSecondFace, s.secondFace);
  s.drawNothing = DrawNothingSwitch(c);
  s.vector1Bit = Item(c, kItemVector1Bit) != 0;
  s.noStretchBltRop = Item(c, kItemNoStretchBltRop) != 0;
  s.icmProgram = static_cast<BYTE>(Item(c, kItemIcmProgram));
  s.icmType = static_cast<BYTE>(Item(c, kItemIcmType));
  s.deviceFontsUsable =
      Item(c, Item(c, kItemDeviceFontSelect) != 0 ? kItemDeviceFontsOk2 : kItemDeviceFontsOk) != 0;
  if (!s.rasterMode && s.colorMode == 0 && Item(c, kItemColorForce) != 0) s.colorMode = 2;
  s.printType = Item(c, kItemPrintType);
  s.apiUse = Item(c, kItemApiUse) != 0;
  s.printType7 = s.printType == 7;

  PageGeometry& g = pdev->geometry;
  g.paperSize[0] = g.paperSize[1] = 0;
  g.paperWidth = Item(c, kItemSrcPaperWidth);
  g.paperLength = Item(c, kItemSrcPaperLength);
  g.printableWidth = Item(c, kItemSrcPrintableWidth);
  g.printableLength = Item(c, kItemSrcPrintableLength);
  g.widthTenthMm = TenthMm(g.printableWidth, s.resolution);
  g.lengthTenthMm = TenthMm(g.printableLength, s.resolution);
  g.paperId = Item(c, kItemPaperSize) & 0xFFFF;
  g.xOffset = Item(c, kItemSrcXOffset);
  g.yOffset = Item(c, kItemSrcYOffset);

  s.directPage = g.printableLength >= Item(c, kItemDstPrintableLength) &&
                 g.printableWidth >= Item(c, kItemDstPrintableWidth) &&
                 (Item(c, kItemNup) == 0 || Item(c, kItemNupKind) != kNupKindBooklet) &&
                 Item(c, kItemScaleAcross) <= 100 && Item(c, kItemScaleAlong) <= 100 && s.printType != 5 &&
                 s.printType != 7;
  pdev->outputLibraryName = ContextModelDefaults(c).outputLibraryName;
}

BOOL PdevPageIsUsable(const RenderPdev* pdev) {
  const PageGeometry& g = pdev->geometry;
  const ModelDefaults& defaults = ContextModelDefaults(pdev->context);
  const uint64_t largest = std::max(defaults.customLengthMax, defaults.customWidthMax);
  const uint64_t limit = (largest * pdev->settings.resolution + kSettingsDpi - 1) / kSettingsDpi;
  return g.printableWidth > 0 && g.printableLength > 0 && g.printableWidth <= limit && g.printableLength <= limit &&
         g.paperWidth <= limit && g.paperLength <= limit;
}

RecordSettings PdevRecordSettings(const RenderPdev* pdev) {
  const PdevSettings& s = pdev->settings;
  return RecordSettings{s.colorMode, s.rasterMode, s.printType, s.apiUse, s.machineColor, s.colorChoice};
}

BOOL PdevIsOneBit(const RenderPdev* pdev) {
  const PdevSettings& s = pdev->settings;
  return (s.rasterMode || s.vector1Bit) && s.colorMode == 1 && s.colorChoice == 1;
}
