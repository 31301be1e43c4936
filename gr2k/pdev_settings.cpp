// The rendering options a PDEV reads once from its driver context.
#include <algorithm>
#include <cstdint>

#include "data/item_ids.h"
#include "gr2k/pdev.h"
#include "settings/items/store.h"
#include "settings/items/unit_conversion.h"

namespace {

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
  const DWORD value = OptGetValue(context, kItemSecondFaceName, &row);
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
  s.resolution = Resolution(Item(c, kItemPrintQuality));
  s.language = Item(c, kItemLanguageID);
  s.machineColor = ItemIsSet(c, kItemMachineColor);
  s.emfSpool = Item(c, kItemEMFSpool) != 0;
  s.colorChoice = Item(c, kItemColor) & 0xFFFF;
  s.printArea = Item(c, kItemExtPrintArea);
  ReadFace(c, kItemDefFaceName, s.defaultFace);
  s.eudc = Item(c, kItemEUDC) != 0 || (Item(c, kItemFrontFunc) & kFrontFunctionEudc) != 0;
  ReadFace(c, kItemSecondFaceName, s.secondFace);
  s.drawNothing = DrawNothingSwitch(c);
  s.vector1Bit = Item(c, kItemVector1Bit) != 0;
  s.noStretchBltRop = Item(c, kItemNoStretchBltRop) != 0;
  s.icmProgram = static_cast<BYTE>(Item(c, kItemICMProgram));
  s.icmType = static_cast<BYTE>(Item(c, kItemICMType));
  s.deviceFontsUsable =
      Item(c, Item(c, kItemDeviceFontSelect) != 0 ? kItemDeviceFontOK2 : kItemDeviceFontOK) != 0;
  if (!s.rasterMode && s.colorMode == 0 && Item(c, kItemColorForce) != 0) s.colorMode = 2;
  s.printType = Item(c, kItemPrnMethod);
  s.apiUse = Item(c, kItemAPIUse) != 0;
  s.printType7 = s.printType == 7;

  PageGeometry& g = pdev->geometry;
  g.paperSize[0] = g.paperSize[1] = 0;
  g.paperWidth = Item(c, kItemSrcPaperWidthDot);
  g.paperLength = Item(c, kItemSrcPaperLengthDot);
  g.printableWidth = Item(c, kItemSrcPaperPrnWidthDot);
  g.printableLength = Item(c, kItemSrcPaperPrnLengthDot);
  g.widthTenthMm = TenthMm(g.printableWidth, s.resolution);
  g.lengthTenthMm = TenthMm(g.printableLength, s.resolution);
  g.paperId = Item(c, kItemPaperSize) & 0xFFFF;
  g.xOffset = Item(c, kItemSrcXOffset);
  g.yOffset = Item(c, kItemSrcYOffset);

  s.directPage = g.printableLength >= Item(c, kItemDstPaperPrnLengthDot) &&
                 g.printableWidth >= Item(c, kItemDstPaperPrnWidthDot) &&
                 (Item(c, kItemFuncSelectNup) == 0 || Item(c, kItemNUPPOSTKind) != kNupKindBooklet) &&
                 Item(c, kItemScaleH) <= 100 && Item(c, kItemScaleV) <= 100 && s.printType != 5 &&
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
