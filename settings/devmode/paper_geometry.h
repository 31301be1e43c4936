// The paper geometry items: the source paper (items 44..49) and the output paper (51..56), in
// dots at the destination resolution, derived from a paper value and the model description's
// paper records.
//
// Each group holds length, width, printable length, printable width, left margin and top margin.
// Standard papers take them from the description's paper record at the current resolution and
// orientation; user papers (256, the custom size, and 384..392, the free sizes) take their size
// from the settings (1200-dpi dots) and only the margins from the record. Every value is held
// within 0..65535, the range of the items: a printable length never goes below 0, even for a
// paper smaller than its margins or an empty free-size slot.
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

// The source-paper items from paper value `paper` (stored value of `item`, translated through
// its value map to find the description's record).
//   User paper: the free sizes are loaded, the slot's name, width and length go to items
//   862..864; the size (the slot's; for 256 the record's dmPaperLength and dmPaperWidth, or
//   items 860 and 861 when the record has no custom size) is clamped to the custom
//   limits in display units and rescaled from 1200 dpi to item 42's resolution; for a free
//   size dmPaperLength and dmPaperWidth take it in 0.1 mm and dmFields gains 0xC. With `swap`
//   in landscape, length and width change places in the items (never in the public fields).
//   Standard paper: only when item 8's value check accepts it and a record fits; the record's
//   pair and printable area; dmPaperLength and dmPaperWidth from the current paper's metric
//   size when it has one; dmFields loses 0xC.
// dmFields gains DM_PAPERSIZE whenever items were derived. FALSE (and nothing changed) when a
// standard paper is refused or has no record.
BOOL DmDeriveSrcPaperFrom(DriverContext* context, DWORD paper, WORD item, BOOL swap);
// Without and with the landscape swap.
BOOL DmDeriveSrcPaper(DriverContext* context, DWORD paper, WORD item);
BOOL DmDeriveSrcPaperOriented(DriverContext* context, DWORD paper, WORD item);

// The source-paper items from the devmode's own custom size: dmPaperLength and dmPaperWidth
// (0.1 mm), held to the model's smallest and largest custom paper, as dots at dmPrintQuality,
// the margins from the custom paper's record. A print quality of 0 or below (the draft levels
// -4..-1) counts as the model's default resolution. dmFields is left alone.
void DmDeriveSrcPaperCustom(DriverContext* context);

// A custom size in 0.1 mm held within the model's custom limits (converted as the device
// capabilities report them).
void DmHoldCustomSize(DriverContext* context, LONG* length, LONG* width);

// The output-paper items from paper value `paper`. 1024 stands for the devmode's dmPaperSize;
// when that is a user paper the source items are copied. The value map is `item`'s when it maps
// the paper, else item 8's. A user paper takes the slot's size (for 256 the custom size as
// above; swapped with `swap` in landscape), length rescaled to item 43's resolution and width
// to item 42's, with no clamp; a standard paper as for the source. FALSE (and nothing changed)
// when a standard paper is refused or has no record.
BOOL DmDeriveDstPaperFrom(DriverContext* context, DWORD paper, WORD item, BOOL swap);
BOOL DmDeriveDstPaper(DriverContext* context, DWORD paper, WORD item);
BOOL DmDeriveDstPaperOriented(DriverContext* context, DWORD paper, WORD item);

