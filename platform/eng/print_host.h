// The print host: plays the graphics system's part for one print job. It loads a graphics
// driver by its Windows path, takes its hook table (DrvEnableDriver) and drives it through the
// job: DrvEnablePDEV with the job's devmode, DrvCompletePDEV, DrvEnableSurface, DrvStartDoc;
// per page DrvStartPage, then either the band loop (a banding surface: DrvStartBanding, the
// page's calls once per band, DrvNextBand until it answers (-1, -1)) or the calls and
// DrvSendPage; then DrvEndDoc, DrvDisableSurface, DrvDisablePDEV, DrvDisableDriver. A "reset"
// in the description runs the ResetDC sequence between pages.
//
// Each drawing call goes to the driver hook that the surface hooks (EngAssociateSurface) and
// otherwise to the engine's Eng... function; a path hook that answers FALSE is drawn by the
// engine instead ("engine fallback requested"). Curves reach a driver without GCAPS_BEZIERS
// flattened. A failed DrvStartPage, DrvSendPage or DrvNextBand aborts the job with
// DrvEndDoc(ED_ABORTDOC).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "eng/engine_objects.h"

namespace velm::platform {

constexpr char16_t kDefaultGraphicsDriver[] = u"C:\\Windows\\System32\\spool\\drivers\\w32x86\\3\\velmgr.dll";

struct PrintJob {
  std::u16string driverPath = kDefaultGraphicsDriver;
  // An open printer (OpenPrinterW): handed to DrvEnablePDEV as hDriver; without a sink the host
  // opens a spooler job on it for the document (StartDocPrinterW, StartPagePrinter and
  // EndPagePrinter per page, EndDocPrinter, or AbortPrinter when the job fails) and
  // EngWritePrinter writes into that job.
  HANDLE printer = nullptr;
  std::vector<BYTE> devmode;   // the job's devmode; empty: none
  std::u16string deviceName = u"Velm";
  std::u16string documentName = u"Document";
  DWORD jobId = 1;             // for DrvStartDoc when there is no spooler job
  std::string pages;           // a page description (page_description.h); empty: the test page
  // Where EngWritePrinter's bytes go instead; with neither sink nor printer they are kept in
  // PrintResult::output.
  PrinterWriteSink sink;
  // Whether PrintResult::rasters gets each page as the surface held it (a full-page copy per
  // page, so only for callers that look at the pixels).
  bool keepPageRasters = false;
  uint64_t allocationFaultAt = 0;  // the nth allocation after the driver is loaded fails (0: none)
  PrinterWriteFault writeFault;
  EngineFaults engineFaults;
};

// A page as the bands of a banding (or plain bitmap) surface held it before the driver sent
// them: rows top-down in the surface's format, each padded to 4 bytes. Kept only when the job
// asks (PrintJob::keepPageRasters); a device surface has none.
struct PageRaster {
  LONG width = 0, height = 0;
  ULONG format = 0;
  LONG stride = 0;
  std::vector<BYTE> bits;
  std::vector<ULONG> palette;  // the device palette's colours (indexed formats), 0x00RRGGBB
  ULONG devicePaletteMode = 0;
  ULONG masks[3] = {};         // its red, green and blue masks (PAL_BITFIELDS)
  ULONG Value(LONG x, LONG y) const;
  ULONG Rgb(LONG x, LONG y) const;
  // The page as a binary PPM (P6) image.
  std::string ToPpm() const;
};

struct PrintResult {
  bool ok = false;
  DWORD error = 0;             // the Win32 error of the failure
  std::string message;         // what failed
  std::string output;          // EngWritePrinter's bytes, when the job had neither sink nor printer
  DWORD spoolJob = 0;          // the spooler job the document went to (0: none)
  std::vector<std::string> calls;  // every hook and engine call, in order, with its answer
  std::vector<PageRaster> rasters;  // one per page of a bitmap surface, when the job kept them
  size_t pages = 0;            // pages the driver accepted (DrvStartPage answered TRUE)
  EngineObjectCounts leaked;   // engine objects alive after the job that were not before
};

// Runs the job. Never throws; every failure is in the result.
PrintResult RunPrintJob(const PrintJob& job);

}  // namespace velm::platform
