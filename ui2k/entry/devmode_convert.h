// Devmodes across the interface boundary: the conversion core of DrvConvertDevMode and the copy
// of a context's devmode into a caller's output devmode shaped like its input.
#pragma once

#include "win32.h"

// Results of DmConvertCore.
constexpr int kConvertFailed = 0;    // the last error is set
constexpr int kConvertDone = 1;
constexpr int kConvertContinue = 2;  // the caller goes on (driver defaults, or a mode it knows)

constexpr LONG kConvert351Needed = 1040 + 188;
constexpr LONG kConvertDefaultNeeded = 1040 + 220;

// The conversion core. `*pcbNeeded` is in: the bytes of `pdmOut`, out: the bytes needed.
//   no pcbNeeded: ERROR_INVALID_PARAMETER, 0;
//   CDM_CONVERT: `pdmIn` converted into `pdmOut`, which keeps its own size and version fields;
//     *pcbNeeded must cover pdmOut's size fields and then its dmSize + dmDriverExtra; done: 1
//     with *pcbNeeded = that size; else ERROR_INVALID_PARAMETER, 0 (also for a null devmode);
//   CDM_CONVERT351: `pdmOut` becomes a 3.51 devmode (dmSpecVersion 0x320, dmSize 188, driver version 0x350,
//     driver extra 1040) of `pdmIn`; short of 1228 bytes: *pcbNeeded = 1228,
//     ERROR_INSUFFICIENT_BUFFER, 0;
//   CDM_DRIVER_DEFAULT: short of 1260 bytes: as above; else *pcbNeeded = 1260 and 2 (the caller
//     fills the defaults);
//   any other mode: 2.
int DmConvertCore(const WCHAR* printerName, const DEVMODEW* pdmIn, DEVMODEW* pdmOut, LONG* pcbNeeded, DWORD fMode);

// Copies `source` (a devmode of this driver) into `pdmOut`: without `pdmIn` the whole of it
// (dmSize + dmDriverExtra); else pdmOut takes dmSpecVersion and dmSize from whichever of pdmIn
// and source has the smaller dmSize (source on a tie), dmDriverVersion and dmDriverExtra from the
// smaller dmDriverExtra, and the source is copied across versions into that shape. 1 when bytes
// were copied, else 0; -1 without pdmOut.
int DmConvertForApply(const DEVMODEW* source, const DEVMODEW* pdmIn, DEVMODEW* pdmOut);
