// The print host: a graphics system's run of one print job through a driver's hook table.
#include "eng/print_host.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "core/memory.h"
#include "core/modules.h"
#include "core/unicode.h"
#include "core/winerror.h"
#include "eng/eng_internal.h"
#include "eng/page_description.h"
#include "spool/winspool.h"

namespace velm::platform {
namespace {

using eng::Pixels;
using PFN_DrvDestroyFont = void (*)(FONTOBJ* pfo);

constexpr LONG kMaxPageSide = 0x100000;

std::string Hex(ULONG value, int digits = 4) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

std::string Answer(BOOL answer) {
  if (static_cast<ULONG>(answer) == DDI_ERROR) return "DDI_ERROR";
  return answer ? "TRUE" : "FALSE";
}

RECTL Offset(const RECTL& r, POINTL origin) {
  return RECTL{r.left - origin.x, r.top - origin.y, r.right - origin.x, r.bottom - origin.y};
}

RECTL Grow(const RECTL& r, LONG by) { return RECTL{r.left - by, r.top - by, r.right + by, r.bottom + by}; }

bool Intersects(const RECTL& a, const RECTL& b) { return !eng::IsEmpty(eng::Intersect(a, b)); }

bool Contains(const RECTL& outer, const RECTL& inner) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

// The standard 16 colours of a 4-bit image.
constexpr ULONG kSixteenColours[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                       0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                       0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

ULONG BmfOfBpp(ULONG bpp) {
  switch (bpp) {
    case 1: return BMF_1BPP;
    case 4: return BMF_4BPP;
    case 8: return BMF_8BPP;
    case 16: return BMF_16BPP;
    case 24: return BMF_24BPP;
    default: return BMF_32BPP;
  }
}

// rgb 0x00RRGGBB as a PALETTEENTRY read as a ULONG.
ULONG EntryOfRgb(ULONG rgb) { return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF); }

// An image's source palette: what the application's bitmap would carry.
HPALETTE ImagePalette(ULONG bpp) {
  std::vector<ULONG> entries;
  switch (bpp) {
    case 1: entries = {EntryOfRgb(0x000000), EntryOfRgb(0xFFFFFF)}; break;
    case 4:
      for (ULONG rgb : kSixteenColours) entries.push_back(EntryOfRgb(rgb));
      break;
    case 8:
      for (ULONG g = 0; g < 256; ++g) entries.push_back(g * 0x010101);
      break;
    case 16: return EngCreatePalette(PAL_BITFIELDS, 0, nullptr, 0x7C00, 0x03E0, 0x001F);
    default: return EngCreatePalette(PAL_BGR, 0, nullptr, 0, 0, 0);
  }
  return EngCreatePalette(PAL_INDEXED, static_cast<ULONG>(entries.size()), entries.data(), 0, 0, 0);
}

// Engine objects a call makes, freed when it ends.
struct BrushHolder {
  BRUSHOBJ* bo = nullptr;
  HSURF pattern = nullptr;
  HPALETTE palette = nullptr;
  XLATEOBJ* xlate = nullptr;
  BrushHolder() = default;
  BrushHolder(const BrushHolder&) = delete;
  BrushHolder& operator=(const BrushHolder&) = delete;
  ~BrushHolder() {
    DeleteBrushObj(bo);
    DeleteXlate(xlate);
    if (palette) EngDeletePalette(palette);
    if (pattern) EngDeleteSurface(pattern);
  }
};
struct PathHolder {
  PATHOBJ* ppo = nullptr;
  ~PathHolder() { EngDeletePath(ppo); }
};
struct XformHolder {
  XFORMOBJ* pxo = nullptr;
  ~XformHolder() { DeleteXformObj(pxo); }
};

struct Pdev {
  HDEV hdev = nullptr;
  DHPDEV dhpdev = nullptr;
  HSURF hsurf = nullptr;
  SURFOBJ* pso = nullptr;
  GDIINFO gdi{};
  DEVINFO devinfo{};
  SurfaceFacts facts;
  bool documentStarted = false;
};

// The clip objects of one pass over a page (one band), made as calls need them: the same
// region keeps one object, and so one iUniq, for the whole pass.
struct Pass {
  POINTL origin{};
  RECTL surface{};
  std::vector<CLIPOBJ*> regions;
  CLIPOBJ* trivial = nullptr;
  CLIPOBJ* bounds = nullptr;
  ~Pass() {
    for (CLIPOBJ* clip : regions) EngDeleteClip(clip);
    EngDeleteClip(trivial);
    EngDeleteClip(bounds);
  }
};

// An image call's source bitmap and its translation to the device's palette, made once per page
// and kept for all of the page's bands.
struct ImageSource {
  HSURF image = nullptr;
  HPALETTE palette = nullptr;
  XLATEOBJ* xlate = nullptr;
  SURFOBJ* source = nullptr;
  HSURF maskImage = nullptr;
  SURFOBJ* mask = nullptr;
  ImageSource() = default;
  ImageSource(const ImageSource&) = delete;
  ImageSource& operator=(const ImageSource&) = delete;
  ~ImageSource() {
    if (mask) EngUnlockSurface(mask);
    if (maskImage) EngDeleteSurface(maskImage);
    if (source) EngUnlockSurface(source);
    DeleteXlate(xlate);
    if (palette) EngDeletePalette(palette);
    if (image) EngDeleteSurface(image);
  }
};

// A page's calls as the bands need them: each call's bounds on the page (worked out once) and
// the image sources made so far.
struct PreparedPage {
  std::vector<RECTL> bounds;  // page coordinates; empty for a call that draws nothing
  std::vector<std::unique_ptr<ImageSource>> images;
};

class Host {
 public:
  Host(const PrintJob& job, PrintResult& result) : job_(job), result_(result) {}
  bool Run();

 private:
  template <class Function>
  Function Hook(ULONG index) const {
    return HookAs<Function>(index < INDEX_LAST ? hooks_[index] : nullptr);
  }
  void Log(std::string line) { result_.calls.push_back(std::move(line)); }
  bool Fail(DWORD error, std::string message) {
    if (result_.error == 0) {
      result_.error = error;
      result_.message = std::move(message);
    }
    return false;
  }

  bool Load();
  void Unload();
  bool Job();
  bool EnablePdev(Pdev& pdev);
  bool EnableSurface(Pdev& pdev);
  bool StartDoc(Pdev& pdev);
  void DisableSurface(Pdev& pdev);
  void DisablePdev(Pdev& pdev);
  bool Reset(Pdev& pdev);
  bool PrintPage(Pdev& pdev, const DescribedPage& page);
  bool DrawPage(Pdev& pdev, const DescribedPage& page);
  void Capture(const Pdev& pdev, POINTL origin, PageRaster& raster);

  void Prepare(const DescribedPage& page, PreparedPage& prepared);
  void DrawPass(Pdev& pdev, const DescribedPage& page, PreparedPage& prepared, POINTL origin, bool first);
  CLIPOBJ* ClipFor(Pass& pass, const DescribedPage& page, int index, const RECTL& bounds);
  ULONG Value(ULONG rgb) const { return PaletteValueFromRgb(pdev_->devinfo.hpalDefault, rgb); }
  // A solid, hatch or pattern brush (pattern: the call whose pattern it is, or null).
  bool MakeBrush(BrushHolder& holder, ULONG rgb, ULONG hatch, const PageCall* pattern, ULONG background);
  void DrawFill(const PageCall& call, CLIPOBJ* clip, const Pass& pass);
  void DrawPath(const PageCall& call, PATHOBJ* ppo, CLIPOBJ* clip, const Pass& pass);
  // What the engine does on a surface only the driver draws when the driver hands a path back:
  // `draw` paints the path's shape into a 1-bit mask of the surface with the ink brush, and the
  // driver fills the mask's region with the brush under the mix (DrvBitBlt without a source).
  BOOL FillShapeThroughDriver(const std::function<BOOL(SURFOBJ* mask, BRUSHOBJ* ink)>& draw, BRUSHOBJ* brush,
                              POINTL* origin, MIX mix);
  void DrawText(const PageCall& call, CLIPOBJ* clip, const Pass& pass);
  ImageSource* MakeImage(const PageCall& call);
  void DrawImage(const PageCall& call, const ImageSource& image, CLIPOBJ* clip, const Pass& pass);
  void SendEscape(const PageCall& call);
  PATHOBJ* BuildPath(const PageCall& call, POINTL origin);
  FONTOBJ* MakeFont(const PageCall& call);
  void DestroyFont(FONTOBJ* pfo);

  const PrintJob& job_;
  PrintResult& result_;
  PageDescription description_;
  std::vector<BYTE> devmode_;
  HMODULE module_ = nullptr;
  DRVENABLEDATA enableData_{};
  PFN hooks_[INDEX_LAST] = {};
  Pdev* pdev_ = nullptr;
  bool spooling_ = false;  // the document goes to a spooler job on job_.printer
};

bool Host::Run() {
  std::string error;
  const std::string_view text = job_.pages.empty() ? BuiltInTestPage() : std::string_view(job_.pages);
  if (!ParsePageDescription(text, description_, error)) return Fail(ERROR_INVALID_DATA, "page description: " + error);
  if (!job_.devmode.empty()) {
    DEVMODEW header{};
    if (job_.devmode.size() < offsetof(DEVMODEW, dmFields)) {
      return Fail(ERROR_INVALID_PARAMETER, "devmode shorter than its header");
    }
    std::memcpy(&header, job_.devmode.data(), offsetof(DEVMODEW, dmFields));
    if (header.dmSize < offsetof(DEVMODEW, dmFields) ||
        static_cast<size_t>(header.dmSize) + header.dmDriverExtra > job_.devmode.size()) {
      return Fail(ERROR_INVALID_PARAMETER, "devmode shorter than dmSize + dmDriverExtra");
    }
    devmode_ = job_.devmode;
  }
  const EngineObjectCounts before = LiveEngineObjects();
  const PrinterWriteSink capture = [this](HANDLE, const BYTE* data, DWORD size, DWORD* written) {
    result_.output.append(reinterpret_cast<const char*>(data), size);
    *written = size;
    return TRUE;
  };
  spooling_ = !job_.sink && job_.printer;
  const PrinterWriteSink previousSink = SetPrinterWriteSink(job_.sink ? job_.sink : spooling_ ? nullptr : capture);
  SetPrinterWriteFault(job_.writeFault);
  SetEngineFaults(job_.engineFaults);
  bool ok = Load();
  if (ok) {
    if (job_.allocationFaultAt) SetAllocationFault(job_.allocationFaultAt);
    ok = Job();
    SetAllocationFault(0);
    Unload();
  }
  SetEngineFaults(EngineFaults{});
  SetPrinterWriteFault(PrinterWriteFault{});
  SetPrinterWriteSink(previousSink);
  const EngineObjectCounts after = LiveEngineObjects();
  const auto grown = [](size_t a, size_t b) { return a > b ? a - b : 0; };
  result_.leaked.surfaces = grown(after.surfaces, before.surfaces);
  result_.leaked.palettes = grown(after.palettes, before.palettes);
  result_.leaked.paths = grown(after.paths, before.paths);
  result_.leaked.clips = grown(after.clips, before.clips);
  result_.leaked.xlates = grown(after.xlates, before.xlates);
  result_.leaked.brushes = grown(after.brushes, before.brushes);
  result_.leaked.xforms = grown(after.xforms, before.xforms);
  result_.leaked.fonts = grown(after.fonts, before.fonts);
  result_.leaked.strings = grown(after.strings, before.strings);
  result_.leaked.devices = grown(after.devices, before.devices);
  return ok;
}

bool Host::Load() {
  module_ = LoadLibraryW(job_.driverPath.c_str());
  if (!module_) {
    const DWORD error = GetLastError();
    return Fail(error, "cannot load " + Utf16ToUtf8(job_.driverPath));
  }
  const auto query = HookAs<PFN_DrvQueryDriverInfo>(GetProcAddress(module_, "DrvQueryDriverInfo"));
  if (query) {
    DWORD userMode = 0, needed = 0;
    const BOOL answered = query(DRVQUERY_USERMODE, &userMode, sizeof userMode, &needed);
    Log("DrvQueryDriverInfo -> " + Answer(answered));
    if (!answered || !userMode) {
      Unload();
      return Fail(ERROR_BAD_EXE_FORMAT, "the driver does not run in user mode");
    }
  }
  const auto enable = HookAs<PFN_DrvEnableDriver>(GetProcAddress(module_, "DrvEnableDriver"));
  if (!enable) {
    Unload();
    return Fail(ERROR_PROC_NOT_FOUND, "the driver exports no DrvEnableDriver");
  }
  const BOOL enabled = enable(DDI_DRIVER_VERSION_NT5_01, sizeof enableData_, &enableData_);
  Log("DrvEnableDriver -> " + Answer(enabled));
  if (!enabled) {
    const DWORD error = GetLastError();
    Unload();
    return Fail(error, "DrvEnableDriver failed");
  }
  if (!enableData_.pdrvfn || enableData_.c > 1024) {
    Unload();
    return Fail(ERROR_INVALID_DATA, "DrvEnableDriver gave no hook table");
  }
  for (ULONG i = 0; i < enableData_.c; ++i) {
    const DRVFN& fn = enableData_.pdrvfn[i];
    if (fn.iFunc < INDEX_LAST) hooks_[fn.iFunc] = fn.pfn;
  }
  for (ULONG required : {INDEX_DrvEnablePDEV, INDEX_DrvCompletePDEV, INDEX_DrvDisablePDEV, INDEX_DrvEnableSurface,
                         INDEX_DrvDisableSurface, INDEX_DrvStartDoc, INDEX_DrvEndDoc, INDEX_DrvStartPage}) {
    if (!hooks_[required]) {
      Unload();
      return Fail(ERROR_PROC_NOT_FOUND, "the hook table lacks index " + std::to_string(required));
    }
  }
  return true;
}

void Host::Unload() {
  if (!module_) return;
  if (enableData_.pdrvfn) {
    if (const auto disable = HookAs<PFN_DrvDisableDriver>(GetProcAddress(module_, "DrvDisableDriver"))) {
      disable();
      Log("DrvDisableDriver");
    }
  }
  FreeLibrary(module_);
  module_ = nullptr;
}

bool Host::EnablePdev(Pdev& pdev) {
  pdev.hdev = CreateEngineDevice(enableData_);
  if (!pdev.hdev) return Fail(ERROR_NOT_ENOUGH_MEMORY, "no engine device");
  HSURF patterns[HS_DDI_MAX] = {};
  std::u16string deviceName = job_.deviceName;
  std::u16string port = u"FILE:";
  pdev.dhpdev = Hook<PFN_DrvEnablePDEV>(INDEX_DrvEnablePDEV)(
      devmode_.empty() ? nullptr : reinterpret_cast<DEVMODEW*>(devmode_.data()), port.data(), HS_DDI_MAX, patterns,
      sizeof pdev.gdi, reinterpret_cast<ULONG*>(&pdev.gdi), sizeof pdev.devinfo, &pdev.devinfo, pdev.hdev,
      deviceName.data(), job_.printer);
  Log(std::string("DrvEnablePDEV -> ") + (pdev.dhpdev ? "PDEV" : "NULL"));
  if (!pdev.dhpdev) {
    const DWORD error = GetLastError();
    return Fail(error ? error : ERROR_GEN_FAILURE, "DrvEnablePDEV failed");
  }
  SetEngineDevicePdev(pdev.hdev, pdev.dhpdev);
  const GDIINFO& gdi = pdev.gdi;
  PaletteFacts palette;
  if (gdi.ulHorzRes == 0 || gdi.ulVertRes == 0 || gdi.ulHorzRes > kMaxPageSide || gdi.ulVertRes > kMaxPageSide ||
      gdi.ulLogPixelsX == 0 || gdi.ulLogPixelsY == 0) {
    return Fail(ERROR_INVALID_DATA, "GDIINFO gives no usable page size or resolution");
  }
  if (!QueryPalette(pdev.devinfo.hpalDefault, palette)) {
    return Fail(ERROR_INVALID_DATA, "DEVINFO gives no default palette");
  }
  Hook<PFN_DrvCompletePDEV>(INDEX_DrvCompletePDEV)(pdev.dhpdev, pdev.hdev);
  Log("DrvCompletePDEV");
  return true;
}

bool Host::EnableSurface(Pdev& pdev) {
  pdev.hsurf = Hook<PFN_DrvEnableSurface>(INDEX_DrvEnableSurface)(pdev.dhpdev);
  Log(std::string("DrvEnableSurface -> ") + (pdev.hsurf ? "surface" : "NULL"));
  if (!pdev.hsurf) {
    const DWORD error = GetLastError();
    return Fail(error ? error : ERROR_GEN_FAILURE, "DrvEnableSurface failed");
  }
  if (!QuerySurface(pdev.hsurf, pdev.facts) || !pdev.facts.associated) {
    return Fail(ERROR_INVALID_DATA, "the driver's surface is not associated with its device");
  }
  pdev.pso = EngLockSurface(pdev.hsurf);
  pdev.pso->dhpdev = pdev.dhpdev;
  return true;
}

bool Host::StartDoc(Pdev& pdev) {
  std::u16string name = job_.documentName;
  DWORD jobId = job_.jobId;
  if (spooling_) {
    if (result_.spoolJob == 0) {
      std::u16string datatype = u"RAW";
      DOC_INFO_1W info{name.data(), nullptr, datatype.data()};
      result_.spoolJob = StartDocPrinterW(job_.printer, 1, reinterpret_cast<LPBYTE>(&info));
      Log("StartDocPrinterW -> " + std::to_string(result_.spoolJob));
      if (result_.spoolJob == 0) return Fail(GetLastError(), "the spooler refused the job");
    }
    jobId = result_.spoolJob;
  }
  const BOOL started = Hook<PFN_DrvStartDoc>(INDEX_DrvStartDoc)(pdev.pso, name.data(), jobId);
  Log("DrvStartDoc -> " + Answer(started));
  if (!started) return Fail(GetLastError(), "DrvStartDoc failed");
  pdev.documentStarted = true;
  return true;
}

void Host::DisableSurface(Pdev& pdev) {
  if (!pdev.hsurf) return;
  if (pdev.pso) EngUnlockSurface(pdev.pso);
  pdev.pso = nullptr;
  Hook<PFN_DrvDisableSurface>(INDEX_DrvDisableSurface)(pdev.dhpdev);
  Log("DrvDisableSurface");
  pdev.hsurf = nullptr;
}

void Host::DisablePdev(Pdev& pdev) {
  if (pdev.dhpdev) {
    Hook<PFN_DrvDisablePDEV>(INDEX_DrvDisablePDEV)(pdev.dhpdev);
    Log("DrvDisablePDEV");
  }
  DeleteEngineDevice(pdev.hdev);
  pdev = Pdev{};
}

bool Host::Job() {
  Pdev pdev;
  pdev_ = &pdev;
  bool ok = EnablePdev(pdev) && EnableSurface(pdev) && StartDoc(pdev);
  bool aborted = false;
  for (size_t i = 0; ok && i < description_.pages.size(); ++i) {
    const DescribedPage& page = description_.pages[i];
    if (page.resetBefore && i > 0 && !Reset(pdev)) {
      ok = false;
      aborted = pdev.documentStarted;
      break;
    }
    if (!PrintPage(pdev, page)) {
      ok = false;
      aborted = true;
    }
  }
  if (pdev.documentStarted) {
    const BOOL ended = Hook<PFN_DrvEndDoc>(INDEX_DrvEndDoc)(pdev.pso, aborted ? ED_ABORTDOC : 0);
    Log(std::string("DrvEndDoc") + (aborted ? " ED_ABORTDOC" : "") + " -> " + Answer(ended));
    if (!ended && ok) ok = Fail(GetLastError(), "DrvEndDoc failed");
  }
  if (result_.spoolJob != 0) {
    const BOOL closed = ok ? EndDocPrinter(job_.printer) : AbortPrinter(job_.printer);
    Log(std::string(ok ? "EndDocPrinter" : "AbortPrinter") + " -> " + Answer(closed));
    if (!closed && ok) ok = Fail(GetLastError(), "the spooler could not end the job");
  }
  DisableSurface(pdev);
  DisablePdev(pdev);
  pdev_ = nullptr;
  return ok;
}

bool Host::Reset(Pdev& pdev) {
  Pdev next;
  pdev_ = &next;
  if (!EnablePdev(next)) {
    DisablePdev(next);
    pdev_ = &pdev;
    return false;
  }
  if (const auto reset = Hook<PFN_DrvResetPDEV>(INDEX_DrvResetPDEV)) {
    const BOOL carried = reset(pdev.dhpdev, next.dhpdev);
    Log("DrvResetPDEV -> " + Answer(carried));
    if (!carried) {
      DisablePdev(next);
      pdev_ = &pdev;
      return Fail(GetLastError(), "DrvResetPDEV failed");
    }
  }
  DisableSurface(pdev);
  DisablePdev(pdev);
  pdev = next;
  pdev_ = &pdev;
  return EnableSurface(pdev) && StartDoc(pdev);
}

bool Host::PrintPage(Pdev& pdev, const DescribedPage& page) {
  if (spooling_ && !StartPagePrinter(job_.printer)) return Fail(GetLastError(), "the spooler refused the page");
  const bool ok = DrawPage(pdev, page);
  if (spooling_ && !EndPagePrinter(job_.printer) && ok) return Fail(GetLastError(), "the spooler refused the page");
  return ok;
}

bool Host::DrawPage(Pdev& pdev, const DescribedPage& page) {
  SURFOBJ* pso = pdev.pso;
  const BOOL started = Hook<PFN_DrvStartPage>(INDEX_DrvStartPage)(pso);
  Log("DrvStartPage -> " + Answer(started));
  if (!started) return Fail(GetLastError() ? GetLastError() : ERROR_CANCELLED, "DrvStartPage failed");
  ++result_.pages;

  PageRaster raster;
  Pixels band;
  const bool bitmap = job_.keepPageRasters && eng::SurfacePixels(pso, band);
  if (bitmap) {
    raster.width = band.cx;
    raster.height = static_cast<LONG>(pdev.gdi.ulVertRes);
    raster.format = band.format;
    raster.stride = static_cast<LONG>((static_cast<int64_t>(band.cx) * band.bpp + 31) / 32 * 4);
    raster.bits.assign(static_cast<size_t>(raster.stride) * raster.height, 0);
    PaletteFacts palette;
    QueryPalette(pdev.devinfo.hpalDefault, palette);
    raster.palette = palette.rgb;
    raster.devicePaletteMode = palette.mode;
    for (int i = 0; i < 3; ++i) raster.masks[i] = palette.masks[i];
  }

  if (pdev.facts.banding) {
    const auto startBanding = Hook<PFN_DrvStartBanding>(INDEX_DrvStartBanding);
    const auto nextBand = Hook<PFN_DrvNextBand>(INDEX_DrvNextBand);
    if (!startBanding || !nextBand) return Fail(ERROR_PROC_NOT_FOUND, "a banding surface without band hooks");
    POINTL origin{0, 0};
    const BOOL banding = startBanding(pso, &origin);
    Log("DrvStartBanding -> " + Answer(banding) + " (" + std::to_string(origin.x) + "," + std::to_string(origin.y) +
        ")");
    if (!banding) return Fail(GetLastError() ? GetLastError() : ERROR_CANCELLED, "DrvStartBanding failed");
    const size_t limit = static_cast<size_t>(pdev.gdi.ulVertRes) + 2;
    PreparedPage prepared;
    Prepare(page, prepared);
    for (size_t count = 0;; ++count) {
      if (count > limit) return Fail(ERROR_INVALID_DATA, "the driver's band loop does not end");
      DrawPass(pdev, page, prepared, origin, count == 0);
      if (bitmap) Capture(pdev, origin, raster);
      const BOOL next = nextBand(pso, &origin);
      Log("DrvNextBand -> " + Answer(next) + " (" + std::to_string(origin.x) + "," + std::to_string(origin.y) + ")");
      if (!next) return Fail(GetLastError() ? GetLastError() : ERROR_CANCELLED, "DrvNextBand failed");
      if (origin.x == -1 && origin.y == -1) break;
    }
  } else {
    PreparedPage prepared;
    Prepare(page, prepared);
    DrawPass(pdev, page, prepared, POINTL{0, 0}, true);
    if (bitmap) Capture(pdev, POINTL{0, 0}, raster);
    const auto sendPage = Hook<PFN_DrvSendPage>(INDEX_DrvSendPage);
    if (!sendPage) return Fail(ERROR_PROC_NOT_FOUND, "the hook table lacks DrvSendPage");
    const BOOL sent = sendPage(pso);
    Log("DrvSendPage -> " + Answer(sent));
    if (!sent) return Fail(GetLastError() ? GetLastError() : ERROR_CANCELLED, "DrvSendPage failed");
  }
  if (bitmap) result_.rasters.push_back(std::move(raster));
  return true;
}

void Host::Capture(const Pdev& pdev, POINTL origin, PageRaster& raster) {
  Pixels band;
  if (!eng::SurfacePixels(pdev.pso, band) || band.format != raster.format) return;
  Pixels page;
  page.scan0 = raster.bits.data();
  page.delta = raster.stride;
  page.cx = raster.width;
  page.cy = raster.height;
  page.format = raster.format;
  page.bpp = band.bpp;
  page.mask = band.mask;
  // Whole bytes at the same place copy row by row.
  const bool rows = origin.x == 0 && band.bpp % 8 == 0 && band.cx == page.cx;
  const size_t rowBytes = static_cast<size_t>(band.cx) * band.bpp / 8;
  for (LONG y = 0; y < band.cy; ++y) {
    const LONG py = origin.y + y;
    if (py < 0 || py >= page.cy) continue;
    if (rows) {
      std::memcpy(page.Row(py), band.Row(y), rowBytes);
      continue;
    }
    for (LONG x = 0; x < band.cx; ++x) {
      const LONG px = origin.x + x;
      if (px >= 0 && px < page.cx) page.Put(px, py, band.Get(x, y));
    }
  }
}

CLIPOBJ* Host::ClipFor(Pass& pass, const DescribedPage& page, int index, const RECTL& bounds) {
  if (index >= 0) {
    if (pass.regions.size() != page.clips.size()) pass.regions.assign(page.clips.size(), nullptr);
    CLIPOBJ*& region = pass.regions[index];
    if (!region) {
      std::vector<RECTL> rects;
      for (const RECTL& r : page.clips[index]) {
        const RECTL piece = eng::Intersect(Offset(eng::Ordered(r), pass.origin), pass.surface);
        if (!eng::IsEmpty(piece)) rects.push_back(piece);
      }
      region = CreateRegionClip(rects.data(), rects.size());
    }
    return region && !eng::IsEmpty(region->rclBounds) && Intersects(region->rclBounds, bounds) ? region : nullptr;
  }
  if (Contains(pass.surface, bounds)) {
    if (!pass.trivial && (pass.trivial = EngCreateClip())) pass.trivial->rclBounds = pass.surface;
    return pass.trivial;
  }
  if (!pass.bounds) pass.bounds = CreateRegionClip(&pass.surface, 1);
  return pass.bounds;
}

void Host::Prepare(const DescribedPage& page, PreparedPage& prepared) {
  prepared.bounds.assign(page.calls.size(), RECTL{});
  prepared.images.resize(page.calls.size());
  for (size_t i = 0; i < page.calls.size(); ++i) {
    const PageCall& call = page.calls[i];
    RECTL& bounds = prepared.bounds[i];
    switch (call.kind) {
      case PageCall::Kind::Fill:
      case PageCall::Kind::Image: bounds = eng::Ordered(call.rect); break;
      case PageCall::Kind::Rect: bounds = Grow(eng::Ordered(call.rect), call.width / 2 + 1); break;
      case PageCall::Kind::Line:
      case PageCall::Kind::Path: {
        PathHolder path;
        path.ppo = BuildPath(call, POINTL{0, 0});
        if (!path.ppo) {
          Log("line " + std::to_string(call.line) + ": no path (" + std::to_string(GetLastError()) + ")");
          break;
        }
        RECTFX fx;
        PATHOBJ_vGetBounds(path.ppo, &fx);
        bounds = Grow(RECTL{FXTOL(fx.xLeft), FXTOL(fx.yTop), FXTOL(fx.xRight) + 1, FXTOL(fx.yBottom) + 1},
                      call.width / 2 + 1);
        break;
      }
      case PageCall::Kind::Text: {
        const LONG size = call.size;
        bounds = RECTL{call.points[0].x, call.points[0].y - 2 * size,
                       call.points[0].x + 2 * size * static_cast<LONG>(call.text.size()) + 1, call.points[0].y + size};
        break;
      }
      default: break;
    }
  }
}

void Host::DrawPass(Pdev& pdev, const DescribedPage& page, PreparedPage& prepared, POINTL origin, bool first) {
  Pass pass;
  pass.origin = origin;
  pass.surface = RECTL{0, 0, pdev.pso->sizlBitmap.cx, pdev.pso->sizlBitmap.cy};
  for (size_t i = 0; i < page.calls.size(); ++i) {
    const PageCall& call = page.calls[i];
    if (call.kind == PageCall::Kind::Escape) {
      if (first) SendEscape(call);
      continue;
    }
    const RECTL bounds = Offset(prepared.bounds[i], origin);
    if (!Intersects(bounds, pass.surface)) continue;
    CLIPOBJ* clip = ClipFor(pass, page, call.clip, bounds);
    if (!clip) continue;
    switch (call.kind) {
      case PageCall::Kind::Fill: DrawFill(call, clip, pass); break;
      case PageCall::Kind::Rect:
      case PageCall::Kind::Line:
      case PageCall::Kind::Path: {
        PathHolder moved;
        moved.ppo = BuildPath(call, origin);
        if (moved.ppo) DrawPath(call, moved.ppo, clip, pass);
        break;
      }
      case PageCall::Kind::Text: DrawText(call, clip, pass); break;
      case PageCall::Kind::Image: {
        std::unique_ptr<ImageSource>& image = prepared.images[i];
        if (!image) image.reset(MakeImage(call));
        if (image->source) DrawImage(call, *image, clip, pass);
        break;
      }
      default: break;
    }
  }
}

bool Host::MakeBrush(BrushHolder& holder, ULONG rgb, ULONG hatch, const PageCall* pattern, ULONG background) {
  SURFOBJ* target = pdev_->pso;
  if (hatch < HS_DDI_MAX) {
    holder.bo = CreateHatchBrushObj(hatch, Value(rgb), Value(background), target);
  } else if (pattern && !pattern->pattern.empty()) {
    const LONG w = pattern->patternWidth, h = pattern->patternHeight;
    holder.pattern = reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{w, h}, 0, BmfOfBpp(pattern->patternBits),
                                                             pattern->patternBottomUp ? 0 : BMF_TOPDOWN, nullptr));
    if (pattern->patternBits == 1) {
      const ULONG entries[2] = {Value(background), Value(rgb)};
      holder.xlate = CreateTableXlate(entries, 2);
    } else {
      holder.palette = ImagePalette(pattern->patternBits);
      holder.xlate = holder.palette ? CreateXlate(holder.palette, pdev_->devinfo.hpalDefault) : nullptr;
    }
    if (holder.pattern && holder.xlate) {
      SURFOBJ* so = EngLockSurface(holder.pattern);
      const size_t rowBytes = pattern->patternRows ? (static_cast<size_t>(w) * pattern->patternBits + 31) / 32 * 4 : 1;
      for (LONG y = 0; y < h; ++y) {
        std::memcpy(static_cast<BYTE*>(so->pvScan0) + static_cast<ptrdiff_t>(y) * so->lDelta,
                    pattern->pattern.data() + y * rowBytes, rowBytes);
      }
      holder.bo = CreatePatternBrushObj(so, holder.xlate, target);
    }
  } else {
    holder.bo = CreateSolidBrushObj(Value(rgb), RGB(static_cast<BYTE>(rgb >> 16), static_cast<BYTE>(rgb >> 8),
                                                    static_cast<BYTE>(rgb)));
  }
  return holder.bo != nullptr;
}

void Host::DrawFill(const PageCall& call, CLIPOBJ* clip, const Pass& pass) {
  BrushHolder brush;
  if (!MakeBrush(brush, call.brush, call.hatch, &call, call.background)) {
    Log("line " + std::to_string(call.line) + ": no brush (" + std::to_string(GetLastError()) + ")");
    return;
  }
  RECTL rect = Offset(eng::Ordered(call.rect), pass.origin);
  POINTL origin{-pass.origin.x, -pass.origin.y};
  SURFOBJ* pso = pdev_->pso;
  if (pdev_->facts.hooks & HOOK_BITBLT) {
    const BOOL done = Hook<PFN_DrvBitBlt>(INDEX_DrvBitBlt)(pso, nullptr, nullptr, clip, nullptr, &rect, nullptr,
                                                            nullptr, brush.bo, &origin, call.rop4);
    Log("DrvBitBlt rop4=" + Hex(call.rop4) + " -> " + Answer(done));
  } else {
    const BOOL done = EngBitBlt(pso, nullptr, nullptr, clip, nullptr, &rect, nullptr, nullptr, brush.bo, &origin,
                                call.rop4);
    Log("EngBitBlt rop4=" + Hex(call.rop4) + " -> " + Answer(done));
  }
}

PATHOBJ* Host::BuildPath(const PageCall& call, POINTL origin) {
  const FIX dx = LTOFX(origin.x), dy = LTOFX(origin.y);
  PATHOBJ* ppo = EngCreatePath();
  if (!ppo) return nullptr;
  const auto at = [&](LONG x, LONG y) { return POINTFIX{LTOFX(x) - dx, LTOFX(y) - dy}; };
  bool ok = true;
  if (call.kind == PageCall::Kind::Rect) {
    const RECTL r = eng::Ordered(call.rect);
    POINTFIX corners[3] = {at(r.right, r.top), at(r.right, r.bottom), at(r.left, r.bottom)};
    ok = PATHOBJ_bMoveTo(ppo, at(r.left, r.top)) && PATHOBJ_bPolyLineTo(ppo, corners, 3) && PATHOBJ_bCloseFigure(ppo);
  } else if (call.kind == PageCall::Kind::Line) {
    std::vector<POINTFIX> points;
    for (size_t i = 1; i < call.points.size(); ++i) points.push_back(at(call.points[i].x, call.points[i].y));
    ok = PATHOBJ_bMoveTo(ppo, at(call.points[0].x, call.points[0].y)) &&
         PATHOBJ_bPolyLineTo(ppo, points.data(), static_cast<ULONG>(points.size()));
  } else {
    for (const PathStep& step : call.steps) {
      POINTFIX points[3];
      for (int i = 0; i < 3; ++i) points[i] = POINTFIX{step.points[i].x - dx, step.points[i].y - dy};
      switch (step.op) {
        case 'M': ok = PATHOBJ_bMoveTo(ppo, points[0]); break;
        case 'L': ok = PATHOBJ_bPolyLineTo(ppo, points, 1); break;
        case 'C': ok = PATHOBJ_bPolyBezierTo(ppo, points, 3); break;
        default: ok = PATHOBJ_bCloseFigure(ppo); break;
      }
      if (!ok) break;
    }
  }
  if (!ok) {
    EngDeletePath(ppo);
    return nullptr;
  }
  return ppo;
}

void Host::DrawPath(const PageCall& call, PATHOBJ* ppo, CLIPOBJ* clip, const Pass& pass) {
  SURFOBJ* pso = pdev_->pso;
  const FLONG hooks = pdev_->facts.hooks;
  const FLONG caps = pdev_->devinfo.flGraphicsCaps;
  const bool pen = call.hasPen, fill = call.hasBrush && call.kind != PageCall::Kind::Line;
  BrushHolder penBrush, fillBrush;
  if ((pen && !MakeBrush(penBrush, call.pen, HS_DDI_MAX, {}, 0)) ||
      (fill && !MakeBrush(fillBrush, call.brush, call.hatch, &call, call.background))) {
    Log("line " + std::to_string(call.line) + ": no brush (" + std::to_string(GetLastError()) + ")");
    return;
  }
  XformHolder xform;
  xform.pxo = CreateXformObj(XFORML{1, 0, 0, 1, 0, 0});
  std::vector<FLOAT_LONG> style;
  LINEATTRS la{};
  if (call.width > 1 || call.geometric) {
    la.fl = LA_GEOMETRIC;
    la.iJoin = call.join;
    la.iEndCap = call.cap;
    la.elWidth.e = static_cast<FLOATL>(std::max<LONG>(call.width, 1));
  } else {
    la.elWidth.l = 1;
  }
  if (call.startGap) la.fl |= LA_STARTGAP;
  la.eMiterLimit = static_cast<FLOATL>(call.miterLimit);
  for (LONG element : call.style) {
    FLOAT_LONG value;
    if (la.fl & LA_GEOMETRIC) value.e = static_cast<FLOATL>(element);
    else value.l = element;
    style.push_back(value);
  }
  if (!style.empty()) {
    la.fl |= LA_STYLED;
    la.cstyle = static_cast<ULONG>(style.size());
    la.pstyle = style.data();
  }
  POINTL origin{-pass.origin.x, -pass.origin.y};
  const MIX mix = call.mix | (call.mix << 8);
  const FLONG mode = call.winding ? FP_WINDINGMODE : FP_ALTERNATEMODE;
  const bool modeSupported = (caps & (call.winding ? GCAPS_WINDINGFILL : GCAPS_ALTERNATEFILL)) != 0;

  // A cosmetic two-point line may go to DrvLineTo.
  if (call.kind == PageCall::Kind::Line && call.points.size() == 2 && call.width <= 1 && style.empty() &&
      (hooks & HOOK_LINETO) && Hook<PFN_DrvLineTo>(INDEX_DrvLineTo)) {
    const LONG x1 = call.points[0].x - pass.origin.x, y1 = call.points[0].y - pass.origin.y;
    const LONG x2 = call.points[1].x - pass.origin.x, y2 = call.points[1].y - pass.origin.y;
    RECTL bounds = eng::Ordered(RECTL{x1, y1, x2 + 1, y2 + 1});
    const BOOL done = Hook<PFN_DrvLineTo>(INDEX_DrvLineTo)(pso, clip, penBrush.bo, x1, y1, x2, y2, &bounds, mix);
    Log("DrvLineTo -> " + Answer(done) + (done ? "" : " (engine fallback requested)"));
    if (done) return;
    Log("EngLineTo -> " + Answer(EngLineTo(pso, clip, penBrush.bo, x1, y1, x2, y2, &bounds, mix)));
    return;
  }

  PathHolder flattened;
  PATHOBJ* forDriver = ppo;
  if (!(caps & GCAPS_BEZIERS) && (ppo->fl & PO_BEZIERS)) {
    flattened.ppo = FlattenPath(ppo);
    if (flattened.ppo) forDriver = flattened.ppo;
  }
  const bool device = pso->iType == STYPE_DEVICE;
  const auto fallback = [&](const char* hook, BOOL answer) {
    Log(std::string(hook) + " -> " + Answer(answer) + (answer == FALSE ? " (engine fallback requested)" : ""));
    return answer == FALSE;
  };
  if (pen && fill) {
    bool engine = true;
    if ((hooks & HOOK_STROKEANDFILLPATH) && modeSupported) {
      engine = fallback("DrvStrokeAndFillPath", Hook<PFN_DrvStrokeAndFillPath>(INDEX_DrvStrokeAndFillPath)(
                                                    pso, forDriver, clip, xform.pxo, penBrush.bo, &la, fillBrush.bo,
                                                    &origin, mix, mode));
    }
    if (engine && device) {
      Log("region fill -> " + Answer(FillShapeThroughDriver(
                                  [&](SURFOBJ* mask, BRUSHOBJ* ink) {
                                    return EngFillPath(mask, ppo, clip, ink, &origin, R2_COPYPEN, mode);
                                  },
                                  fillBrush.bo, &origin, mix)));
      Log("region stroke -> " + Answer(FillShapeThroughDriver(
                                    [&](SURFOBJ* mask, BRUSHOBJ* ink) {
                                      return EngStrokePath(mask, ppo, clip, xform.pxo, ink, &origin, &la, R2_COPYPEN);
                                    },
                                    penBrush.bo, &origin, mix)));
    } else if (engine) {
      Log("EngStrokeAndFillPath -> " + Answer(EngStrokeAndFillPath(pso, ppo, clip, xform.pxo, penBrush.bo, &la,
                                                                   fillBrush.bo, &origin, mix, mode)));
    }
  } else if (fill) {
    bool engine = true;
    if ((hooks & HOOK_FILLPATH) && modeSupported) {
      engine = fallback("DrvFillPath", Hook<PFN_DrvFillPath>(INDEX_DrvFillPath)(pso, forDriver, clip, fillBrush.bo,
                                                                                 &origin, mix, mode));
    }
    if (engine && device) {
      Log("region fill -> " + Answer(FillShapeThroughDriver(
                                  [&](SURFOBJ* mask, BRUSHOBJ* ink) {
                                    return EngFillPath(mask, ppo, clip, ink, &origin, R2_COPYPEN, mode);
                                  },
                                  fillBrush.bo, &origin, mix)));
    } else if (engine) {
      Log("EngFillPath -> " + Answer(EngFillPath(pso, ppo, clip, fillBrush.bo, &origin, mix, mode)));
    }
  } else if (pen) {
    bool engine = true;
    if (hooks & HOOK_STROKEPATH) {
      engine = fallback("DrvStrokePath", Hook<PFN_DrvStrokePath>(INDEX_DrvStrokePath)(
                                             pso, forDriver, clip, xform.pxo, penBrush.bo, &origin, &la, mix));
    }
    if (engine && device) {
      Log("region stroke -> " + Answer(FillShapeThroughDriver(
                                    [&](SURFOBJ* mask, BRUSHOBJ* ink) {
                                      return EngStrokePath(mask, ppo, clip, xform.pxo, ink, &origin, &la, R2_COPYPEN);
                                    },
                                    penBrush.bo, &origin, mix)));
    } else if (engine) {
      Log("EngStrokePath -> " + Answer(EngStrokePath(pso, ppo, clip, xform.pxo, penBrush.bo, &origin, &la, mix)));
    }
  }
}

BOOL Host::FillShapeThroughDriver(const std::function<BOOL(SURFOBJ* mask, BRUSHOBJ* ink)>& draw, BRUSHOBJ* brush,
                                  POINTL* origin, MIX mix) {
  SURFOBJ* pso = pdev_->pso;
  const auto blit = Hook<PFN_DrvBitBlt>(INDEX_DrvBitBlt);
  if (!blit || !brush) return FALSE;
  const LONG cx = pso->sizlBitmap.cx, cy = pso->sizlBitmap.cy;
  const HSURF handle = reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{cx, cy}, 0, BMF_1BPP, BMF_TOPDOWN, nullptr));
  SURFOBJ* mask = handle ? EngLockSurface(handle) : nullptr;
  BRUSHOBJ* ink = CreateSolidBrushObj(1);
  std::vector<RECTL> rects;
  BOOL drawn = mask && ink && draw(mask, ink);
  if (drawn) {
    // The mask's runs, row by row; a row with the same runs as the one above extends its rectangles.
    std::vector<std::pair<LONG, LONG>> above, runs;
    size_t aboveFirst = 0;
    for (LONG y = 0; y < cy; ++y) {
      const BYTE* row = static_cast<const BYTE*>(mask->pvScan0) + static_cast<ptrdiff_t>(y) * mask->lDelta;
      runs.clear();
      for (LONG x = 0; x < cx;) {
        if ((x & 7) == 0 && row[x >> 3] == 0) {
          x += 8;
          continue;
        }
        if (!(row[x >> 3] & (0x80 >> (x & 7)))) {
          ++x;
          continue;
        }
        const LONG start = x;
        while (x < cx && (row[x >> 3] & (0x80 >> (x & 7)))) ++x;
        runs.emplace_back(start, x);
      }
      if (!runs.empty() && runs == above) {
        for (size_t i = aboveFirst; i < rects.size(); ++i) rects[i].bottom = y + 1;
        continue;
      }
      aboveFirst = rects.size();
      for (const auto& [left, right] : runs) rects.push_back(RECTL{left, y, right, y + 1});
      above = runs;
    }
  }
  if (ink) DeleteBrushObj(ink);
  if (mask) EngUnlockSurface(mask);
  if (handle) EngDeleteSurface(handle);
  if (!drawn) return FALSE;
  if (rects.empty()) return TRUE;
  CLIPOBJ* region = CreateRegionClip(rects.data(), rects.size());
  if (!region) return FALSE;
  RECTL bounds = region->rclBounds;
  const ULONG rop3 = eng::MixRop3(mix & 0xFF);
  const BOOL done = blit(pso, nullptr, nullptr, region, nullptr, &bounds, nullptr, nullptr, brush, origin,
                         rop3 | (rop3 << 8));
  EngDeleteClip(region);
  return done;
}

// An engine font under the face name and turn the call gives; null when it cannot have them.
FONTOBJ* NameEngineFont(FONTOBJ* font, const PageCall& call) {
  if (!font) return nullptr;
  if ((call.face.empty() || SetEngineFontFace(font, call.face)) &&
      ((call.rotation == 0 && !call.mirror) || SetEngineFontTransform(font, call.rotation, call.mirror)))
    return font;
  DeleteFontObj(font);
  return nullptr;
}

// A strike-out: a bar of an eighth of the size (at least a pixel) through the middle of the
// cells above the baseline.
RECTL StrikeOutBar(const STROBJ& string, LONG size) {
  const RECTL& cells = string.rclBkGround;
  const LONG y = string.pgp ? string.pgp[0].ptl.y - size * 3 / 8 : (cells.top + cells.bottom) / 2;
  return RECTL{cells.left, y, cells.right, y + std::max<LONG>(1, size / 8)};
}

FONTOBJ* Host::MakeFont(const PageCall& call) {
  const LONG resolution = static_cast<LONG>(pdev_->gdi.ulLogPixelsY);
  // A device font the driver does not offer is mapped, as the font mapper does, to the engine's font.
  if (call.deviceFont == 0 || call.deviceFont > pdev_->devinfo.cFonts) {
    if (call.deviceFont) Log("device font " + std::to_string(call.deviceFont) + " mapped to the engine font");
    return NameEngineFont(CreateEngineFontObj(call.size, resolution), call);
  }
  const auto query = Hook<PFN_DrvQueryFont>(INDEX_DrvQueryFont);
  if (!query) return nullptr;
  ULONG_PTR id = 0;
  IFIMETRICS* ifi = query(pdev_->dhpdev, 0, call.deviceFont, &id);
  Log("DrvQueryFont " + std::to_string(call.deviceFont) + (ifi ? " -> IFIMETRICS" : " -> NULL"));
  if (!ifi || ifi->fwdUnitsPerEm <= 0) return nullptr;
  const FLOATL scale = static_cast<FLOATL>(call.size) / ifi->fwdUnitsPerEm;
  FONTOBJ* font = CreateDeviceFontObj(call.deviceFont, ifi, XFORML{scale, 0, 0, scale, 0, 0}, resolution);
  if (const auto tree = Hook<PFN_DrvQueryFontTree>(INDEX_DrvQueryFontTree); font && tree) {
    ULONG_PTR treeId = 0;
    SetDeviceFontGlyphSet(font, static_cast<const FD_GLYPHSET*>(tree(pdev_->dhpdev, 0, call.deviceFont, QFT_GLYPHSET, &treeId)));
  }
  return font;
}

void Host::DestroyFont(FONTOBJ* pfo) {
  if (!pfo) return;
  if (const auto destroy = Hook<PFN_DrvDestroyFont>(INDEX_DrvDestroyFont)) destroy(pfo);
  DeleteFontObj(pfo);
}

void Host::DrawText(const PageCall& call, CLIPOBJ* clip, const Pass& pass) {
  FONTOBJ* font = MakeFont(call);
  if (!font) {
    Log("line " + std::to_string(call.line) + ": text skipped, font " + std::to_string(call.deviceFont) +
        " not available");
    return;
  }
  if (const auto mode = Hook<PFN_DrvGetGlyphMode>(INDEX_DrvGetGlyphMode)) {
    Log("DrvGetGlyphMode -> " + std::to_string(mode(pdev_->dhpdev, font)));
  }
  STROBJ* string = CreateStrObj(font, call.text, POINTL{call.points[0].x - pass.origin.x, call.points[0].y - pass.origin.y},
                                StrLayout{call.vertical, call.glyphIndex});
  BrushHolder fore, opaque;
  if (!string || !MakeBrush(fore, call.brush, HS_DDI_MAX, {}, 0) ||
      (call.hasBackground && !MakeBrush(opaque, call.background, HS_DDI_MAX, {}, 0))) {
    Log("line " + std::to_string(call.line) + ": text objects not made (" + std::to_string(GetLastError()) + ")");
    DeleteStrObj(string);
    DestroyFont(font);
    return;
  }
  RECTL background = string->rclBkGround;
  POINTL origin{-pass.origin.x, -pass.origin.y};
  const MIX mix = R2_COPYPEN | (R2_COPYPEN << 8);
  SURFOBJ* pso = pdev_->pso;
  RECTL* opaqueRect = call.hasBackground ? &background : nullptr;
  // An underline: a bar of an eighth of the size (at least a pixel) one pixel under the baseline,
  // then the all-zero rectangle that ends the list.
  RECTL extra[3] = {};
  if (call.underline) {
    const LONG y = string->pgp ? string->pgp[0].ptl.y + 1 : background.bottom;
    extra[0] = RECTL{background.left, y, background.right, y + std::max<LONG>(1, call.size / 8)};
  }
  if (call.strikeOut) extra[call.underline ? 1 : 0] = StrikeOutBar(*string, call.size);
  RECTL* extraRects = call.underline || call.strikeOut ? extra : nullptr;
  if (pdev_->facts.hooks & HOOK_TEXTOUT) {
    const BOOL done = Hook<PFN_DrvTextOut>(INDEX_DrvTextOut)(pso, string, font, clip, extraRects, opaqueRect,
                                                             fore.bo, opaque.bo, &origin, mix);
    Log("DrvTextOut -> " + Answer(done));
  } else {
    Log("EngTextOut -> " +
        Answer(EngTextOut(pso, string, font, clip, extraRects, opaqueRect, fore.bo, opaque.bo, &origin, mix)));
  }
  DeleteStrObj(string);
  DestroyFont(font);
}

ImageSource* Host::MakeImage(const PageCall& call) {
  auto made = std::make_unique<ImageSource>();
  const LONG w = call.imageWidth, h = call.imageHeight;
  made->image = reinterpret_cast<HSURF>(
      EngCreateBitmap(SIZEL{w, h}, 0, BmfOfBpp(call.bpp), call.bottomUp ? 0 : BMF_TOPDOWN, nullptr));
  made->palette = ImagePalette(call.bpp);
  made->xlate = made->palette ? CreateXlate(made->palette, pdev_->devinfo.hpalDefault) : nullptr;
  SURFOBJ* source = made->image ? EngLockSurface(made->image) : nullptr;
  Pixels pixels;
  if (!source || !made->xlate || !eng::SurfacePixels(source, pixels)) {
    Log("line " + std::to_string(call.line) + ": image objects not made (" + std::to_string(GetLastError()) + ")");
    if (source) EngUnlockSurface(source);
    return made.release();
  }
  eng::Palette sourcePalette;
  eng::CopyPalette(made->palette, sourcePalette);
  const ULONG black = eng::PaletteValueFromRgb(sourcePalette, 0), white = eng::PaletteValueFromRgb(sourcePalette, 0xFFFFFF);
  const ULONG solid = eng::PaletteValueFromRgb(sourcePalette, call.fillColour);
  const LONG rowBytes = (w * static_cast<LONG>(call.bpp) + 31) / 32 * 4;
  // A row's pixels depend on one key (the gradient's green, the checker's phase), so a row whose
  // key is the previous row's is a copy of it; a gradient's colours come from a table of its reds.
  std::vector<BYTE> redOf(static_cast<size_t>(w));
  for (LONG x = 0; x < w; ++x) redOf[x] = static_cast<BYTE>(w > 1 ? x * 255 / (w - 1) : 0);
  ULONG valueOfRed[256];
  LONG previousKey = -1;
  for (LONG y = 0; y < h; ++y) {
    if (call.fill == PageCall::Fill::Hex) {
      std::memcpy(pixels.Row(y), call.bits.data() + static_cast<size_t>(y) * rowBytes, rowBytes);
      continue;
    }
    const ULONG green = h > 1 ? static_cast<ULONG>(y * 255 / (h - 1)) : 0;
    const LONG key = call.fill == PageCall::Fill::Gradient  ? static_cast<LONG>(green)
                     : call.fill == PageCall::Fill::Checker ? (y / 8) & 1
                                                            : 0;
    if (key == previousKey) {
      std::memcpy(pixels.Row(y), pixels.Row(y - 1), rowBytes);
      continue;
    }
    previousKey = key;
    if (call.fill == PageCall::Fill::Gradient)
      for (ULONG red = 0; red < 256; ++red)
        valueOfRed[red] = eng::PaletteValueFromRgb(sourcePalette, (red << 16) | (green << 8) | 0x80);
    for (LONG x = 0; x < w; ++x) {
      ULONG value;
      if (call.fill == PageCall::Fill::Checker) {
        value = ((x / 8 + y / 8) & 1) ? white : black;
      } else if (call.fill == PageCall::Fill::Solid) {
        value = solid;
      } else {
        value = valueOfRed[redOf[x]];
      }
      pixels.Put(x, y, value);
    }
  }
  if (call.bpp == 32 && call.fill != PageCall::Fill::Hex) {
    for (LONG y = 0; y < h; ++y)
      for (LONG x = 0; x < w; ++x) pixels.Row(y)[4 * x + 3] = call.alpha;
  }
  if (call.mask) {
    made->maskImage = reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{w, h}, 0, BMF_1BPP, BMF_TOPDOWN, nullptr));
    made->mask = made->maskImage ? EngLockSurface(made->maskImage) : nullptr;
    Pixels maskPixels;
    if (!made->mask || !eng::SurfacePixels(made->mask, maskPixels)) {
      Log("line " + std::to_string(call.line) + ": image mask not made (" + std::to_string(GetLastError()) + ")");
      EngUnlockSurface(source);
      return made.release();
    }
    for (LONG y = 0; y < h; ++y)
      for (LONG x = 0; x < w; ++x) maskPixels.Put(x, y, ((x / 8 + y / 8) & 1) == 0 ? 1 : 0);
  }
  made->source = source;
  return made.release();
}

void Host::DrawImage(const PageCall& call, const ImageSource& image, CLIPOBJ* clip, const Pass& pass) {
  const LONG w = call.imageWidth, h = call.imageHeight;
  SURFOBJ* source = image.source;
  XLATEOBJ* xlate = image.xlate;
  BrushHolder brush;
  if (!MakeBrush(brush, call.hasBrush ? call.brush : 0, call.hatch, &call, call.background)) {
    Log("line " + std::to_string(call.line) + ": image objects not made (" + std::to_string(GetLastError()) + ")");
  } else {
    SURFOBJ* pso = pdev_->pso;
    const FLONG hooks = pdev_->facts.hooks;
    RECTL dest = Offset(call.rect, pass.origin);
    POINTL zero{0, 0};
    POINTL brushOrigin{-pass.origin.x, -pass.origin.y};
    const bool sameSize = dest.right - dest.left == w && dest.bottom - dest.top == h;
    if (sameSize && call.rop4 == 0xCCCC && (hooks & HOOK_COPYBITS)) {
      Log("DrvCopyBits -> " + Answer(Hook<PFN_DrvCopyBits>(INDEX_DrvCopyBits)(pso, source, clip, xlate, &dest, &zero)));
    } else if (sameSize && (hooks & HOOK_BITBLT)) {
      const BOOL done = Hook<PFN_DrvBitBlt>(INDEX_DrvBitBlt)(pso, source, image.mask, clip, xlate, &dest, &zero,
                                                              image.mask ? &zero : nullptr, brush.bo, &brushOrigin,
                                                              call.rop4);
      Log("DrvBitBlt rop4=" + Hex(call.rop4) + " -> " + Answer(done));
    } else if (sameSize) {
      const BOOL done = EngBitBlt(pso, source, image.mask, clip, xlate, &dest, &zero, image.mask ? &zero : nullptr,
                                  brush.bo, &brushOrigin, call.rop4);
      Log("EngBitBlt rop4=" + Hex(call.rop4) + " -> " + Answer(done));
    } else {
      RECTL src{0, 0, w, h};
      COLORADJUSTMENT adjustment{sizeof(COLORADJUSTMENT), 0, 0, 10000, 10000, 10000, 0, 10000, 0, 0, 0, 0};
      POINTL halftoneOrigin{0, 0};
      const ULONG mode = call.halftone ? HALFTONE : COLORONCOLOR;
      if (call.rop4 == 0xCCCC) {
        if (hooks & HOOK_STRETCHBLT) {
          Log("DrvStretchBlt -> " + Answer(Hook<PFN_DrvStretchBlt>(INDEX_DrvStretchBlt)(
                                        pso, source, nullptr, clip, xlate, &adjustment, &halftoneOrigin, &dest, &src,
                                        nullptr, mode)));
        } else {
          Log("EngStretchBlt -> " + Answer(EngStretchBlt(pso, source, nullptr, clip, xlate, &adjustment,
                                                         &halftoneOrigin, &dest, &src, nullptr, mode)));
        }
      } else if ((hooks & HOOK_STRETCHBLTROP) && Hook<PFN_DrvStretchBltROP>(INDEX_DrvStretchBltROP)) {
        Log("DrvStretchBltROP rop4=" + Hex(call.rop4) + " -> " +
            Answer(Hook<PFN_DrvStretchBltROP>(INDEX_DrvStretchBltROP)(pso, source, nullptr, clip, xlate, &adjustment,
                                                                      &halftoneOrigin, &dest, &src, nullptr, mode,
                                                                      brush.bo, call.rop4)));
      } else {
        Log("EngStretchBltROP rop4=" + Hex(call.rop4) + " -> " +
            Answer(EngStretchBltROP(pso, source, nullptr, clip, xlate, &adjustment, &halftoneOrigin, &dest, &src,
                                    nullptr, mode, brush.bo, call.rop4)));
      }
    }
  }
}

void Host::SendEscape(const PageCall& call) {
  const auto escape = Hook<PFN_DrvEscape>(INDEX_DrvEscape);
  if (!escape) {
    Log("escape " + std::to_string(call.escape) + " not sent: no DrvEscape");
    return;
  }
  std::vector<BYTE> data = call.data;
  std::vector<BYTE> out(call.escapeOut);
  const ULONG answer = escape(pdev_->pso, call.escape, static_cast<ULONG>(data.size()),
                              data.empty() ? nullptr : data.data(), call.escapeOut, out.empty() ? nullptr : out.data());
  std::string shown;
  for (size_t i = 0; i < out.size() && i < 64; ++i) shown += Hex(out[i], 2).substr(2);
  Log("DrvEscape " + std::to_string(call.escape) + " -> " + std::to_string(static_cast<LONG>(answer)) +
      (shown.empty() ? "" : " out " + shown));
}

}  // namespace

ULONG PageRaster::Value(LONG x, LONG y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0;
  eng::Pixels pixels;
  pixels.scan0 = const_cast<BYTE*>(bits.data());
  pixels.delta = stride;
  pixels.cx = width;
  pixels.cy = height;
  pixels.format = format;
  pixels.bpp = eng::BitsPerPixel(format);
  return pixels.Get(x, y);
}

ULONG PageRaster::Rgb(LONG x, LONG y) const {
  const ULONG value = Value(x, y);
  eng::Palette palette;
  palette.mode = devicePaletteMode;
  palette.rgb = this->palette;
  for (int i = 0; i < 3; ++i) palette.masks[i] = masks[i];
  return eng::RgbFromPaletteValue(palette, value);
}

std::string PageRaster::ToPpm() const {
  std::string ppm = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  ppm.reserve(ppm.size() + static_cast<size_t>(width) * height * 3);
  for (LONG y = 0; y < height; ++y) {
    for (LONG x = 0; x < width; ++x) {
      const ULONG rgb = Rgb(x, y);
      ppm += static_cast<char>(rgb >> 16);
      ppm += static_cast<char>(rgb >> 8);
      ppm += static_cast<char>(rgb);
    }
  }
  return ppm;
}

PrintResult RunPrintJob(const PrintJob& job) {
  PrintResult result;
  Host host(job, result);
  result.ok = host.Run();
  return result;
}

}  // namespace velm::platform
