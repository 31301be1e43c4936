// The devmodes the application interface hands out: the printer's current settings, the
// driver's defaults and the context's settings re-derived, each built in the context's record
// on a freshly reopened printer and copied out.
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

// Modes of VELMDrvGetDevmode.
constexpr DWORD kApiModeCurrent = 1;
constexpr DWORD kApiModeDefaults = 2;
constexpr DWORD kApiModeRederived = 4;
constexpr DWORD kApiModeBidi = 0x10;  // with 1 or 2: the bidirectional refresh as well

// The machine whose resolution the paper size and memory limit.
constexpr DWORD kApiMachineResolutionLimited = 130;

// VELMDrvGetDevmode on a driver context (an application context, or any context of this library
// that keeps its printer's name). Modes 1 and 17, 2 and 18, 4; the devmode (kDmSize bytes) is
// copied into `buffer` when it is not null. kDmSize, or -1 with the last error:
// ERROR_INVALID_PARAMETER for a null context, a context without a record or an unknown mode,
// ERROR_NOT_SUPPORTED on Windows 9x (the library builds no devmode of that system's layout), the
// spooler's error when the printer cannot be reopened, ERROR_NOT_ENOUGH_MEMORY or the build's
// error when the defaults cannot be rebuilt (the record is then left as it was). A job-credential
// service that is absent or fails leaves the credential items as the record had them.
LONG ApiGetDevmode(DriverContext* context, DWORD mode, void* buffer);

// The steps the modes share, in their order: item 40 := 0, vdmPresentUIMode := 0, change-mask bit
// 0x4000000 cleared; then the mode's own settings:
//   kApiModeCurrent    item 41 := 255, items 185 and 188 := 0
//   kApiModeDefaults   item 41 := 255 and the quality list's planes (ApiReapplyQualityPlanes)
//   kApiModeRederived  nothing
// then the paper items of items 8 and 50 re-derived, and the fit-to-paper scale
// (ApiRecomputeFitScale).
void ApiCommonResets(DriverContext* context, DWORD mode);

// When scale is on (item 58 = 1) as fit to paper (item 90 = 2): items 92 and 93 both := the smaller
// of item 52 x 100 / item 45 and item 51 x 100 / item 44, written as model values (held to the
// items' 16 bits). Nothing when item 45 or 44 is 0, which has no ratio.
void ApiRecomputeFitScale(DriverContext* context);

// When item 185 is 1 and item 188 names quality list 32..39: the list is loaded on a history
// copy, its planes (items 164..167) kept, the history popped with restore and the planes set.
void ApiReapplyQualityPlanes(DriverContext* context);

// Whether mode 4 must put the resolution back to 600 dpi: 0 on a machine other than 130; 1 when
// the page does not fit (ApiCheckPaperDots); else 1 only with the duplex unit installed and
// duplex on, item 248 at 4 and the installed memory (item 10012) at the memory mark (160 with
// the card-memory unit supported and installed, else 32).
int ApiResolutionResetNeeded(DriverContext* context);

// The resolution fit of the context with the resolution items derived from item 42: TRUE when
// the page can be imaged (print quality 600, or the output paper below 30709 dots and the scaled
// source paper at most 30708 each way).
BOOL ApiCheckPaperDots(DriverContext* context);

// When the printer has device information saved for it: that information is loaded, then the
// device asked.
void ApiRefreshBidi(DriverContext* context);

// For duplex, staple and punch (items 61, 66, 65) whose model node is hidden, the binding,
// staple and punch positions (102, 136, 134) survive the paper's re-derivation from the public
// fields (a custom size marked in dmFields is kept); then dmCollate := (item 64 != 0).
void ApiFixFinisher(DriverContext* context);

// The source-paper items from dmPaperSize (from the custom length and width when the paper is the
// custom size and dmFields marks both) and the output-paper items from item 50; dmPaperLength and
// dmPaperWidth stay as they were when dmFields marks both.
void ApiRederivePaper(DriverContext* context);
