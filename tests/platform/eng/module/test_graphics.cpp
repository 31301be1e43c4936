// A graphics driver for the print host's tests. It reads its behaviour from
// <root>/test_graphics.conf (key=value lines), writes one line per call it gets through
// EngWritePrinter, and draws every drawing call through the engine's Eng... functions: into
// its band in raster mode, into a page-sized shadow bitmap in vector mode, which DrvSendPage
// writes out after a "Page W H STRIDE" line.
//
//   mode=raster|vector   width= height= dpi= band= (band height)   bpp=1|24 (raster band)
//   hooks=0x..  (surface hooks; default: raster 0x0B, vector 0x25EF)   caps=0x.. (GCAPS)
//   refuse=Name,Name  (those hooks answer FALSE: StartPage, NextBand, FillPath, ...)
//   nobands=1 (no band hooks in the table)   noreset=1 (no DrvResetPDEV)
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/machine_root.h"
#include "eng/winddi.h"

namespace {

struct Config {
  bool raster = true;
  LONG width = 200, height = 100, dpi = 100, band = 32;
  ULONG bpp = 24;
  FLONG hooks = 0, caps = 0;
  bool hooksGiven = false, capsGiven = false, noBands = false, noReset = false;
  std::set<std::string> refuse;
};

struct Pdev {
  HANDLE printer = nullptr;
  HDEV hdev = nullptr;
  HSURF surface = nullptr;
  HSURF shadow = nullptr;
  HPALETTE palette = nullptr;
  Config config;
  LONG bandY = 0;
  bool inDocument = false;  // between StartDoc and EndDoc, when a failed write fails the hook
};

Config ReadConfig() {
  Config config;
  std::ifstream file(velm::platform::MachineRoot() / "test_graphics.conf");
  std::string line;
  while (std::getline(file, line)) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
    const long number = std::strtol(value.c_str(), nullptr, 0);
    if (key == "mode") config.raster = value != "vector";
    if (key == "width") config.width = number;
    if (key == "height") config.height = number;
    if (key == "dpi") config.dpi = number;
    if (key == "band") config.band = number;
    if (key == "bpp") config.bpp = static_cast<ULONG>(number);
    if (key == "hooks") config.hooks = static_cast<FLONG>(number), config.hooksGiven = true;
    if (key == "caps") config.caps = static_cast<FLONG>(number), config.capsGiven = true;
    if (key == "nobands") config.noBands = number != 0;
    if (key == "noreset") config.noReset = number != 0;
    if (key == "refuse") {
      std::stringstream names(value);
      std::string name;
      while (std::getline(names, name, ',')) config.refuse.insert(name);
    }
  }
  return config;
}

Pdev* PdevOf(SURFOBJ* pso) { return pso ? reinterpret_cast<Pdev*>(pso->dhpdev) : nullptr; }

bool Write(Pdev* pdev, const std::string& text) {
  DWORD written = 0;
  return EngWritePrinter(pdev->printer, const_cast<char*>(text.data()), static_cast<DWORD>(text.size()), &written) &&
         written == text.size();
}

// Logs the call; false when the configuration makes it refuse, or when the line cannot be
// written inside a document (outside one there may be no job to write to).
bool Enter(Pdev* pdev, const std::string& name, const std::string& details = "") {
  const bool refused = pdev->config.refuse.count(name) != 0;
  const bool written = Write(pdev, name + (details.empty() ? "" : " " + details) + (refused ? " refused" : "") + "\n");
  return (written || !pdev->inDocument) && !refused;
}

SURFOBJ* Canvas(Pdev* pdev, SURFOBJ* pso) {
  return pdev->config.raster ? pso : EngLockSurface(pdev->shadow);
}

std::string Rect(const RECTL* r) {
  if (!r) return "()";
  char text[64];
  std::snprintf(text, sizeof text, "(%d,%d,%d,%d)", r->left, r->top, r->right, r->bottom);
  return text;
}

std::string Hex(ULONG value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", value);
  return text;
}

std::string ClipText(CLIPOBJ* pco) {
  if (!pco) return "none";
  return std::to_string(pco->iDComplexity) + ":" + std::to_string(pco->iUniq);
}

std::string BrushText(BRUSHOBJ* pbo) {
  if (!pbo) return "none";
  if (pbo->iSolidColor != 0xFFFFFFFF) return Hex(pbo->iSolidColor);
  return BRUSHOBJ_pvGetRbrush(pbo) ? "realized" : "unrealized";
}

std::string PathText(PATHOBJ* ppo) {
  ULONG records = 0, points = 0;
  PATHDATA data;
  PATHOBJ_vEnumStart(ppo);
  bool more;
  do {
    more = PATHOBJ_bEnum(ppo, &data);
    ++records;
    points += data.count;
  } while (more);
  return "records=" + std::to_string(records) + " points=" + std::to_string(points) +
         ((ppo->fl & PO_BEZIERS) ? " curves" : "");
}

IFIMETRICS g_deviceFont = [] {
  IFIMETRICS ifi{};
  ifi.cjThis = sizeof ifi;
  ifi.fwdUnitsPerEm = 1000;
  ifi.fwdWinAscender = 800;
  ifi.fwdWinDescender = 200;
  ifi.fwdAveCharWidth = 500;
  ifi.fwdMaxCharInc = 500;
  ifi.flInfo = FM_INFO_CONSTANT_WIDTH;
  return ifi;
}();

// Hooks --------------------------------------------------------------------------------------

DHPDEV EnablePDEV(DEVMODEW* pdm, LPWSTR, ULONG cPat, HSURF* phsurfPatterns, ULONG cjCaps, ULONG* pdevcaps,
                  ULONG cjDevInfo, DEVINFO* pdi, HDEV, LPWSTR, HANDLE hDriver) {
  auto* pdev = new Pdev;
  pdev->printer = hDriver;
  pdev->config = ReadConfig();
  const Config& c = pdev->config;
  for (ULONG i = 0; i < cPat; ++i) phsurfPatterns[i] = nullptr;
  GDIINFO gdi{};
  gdi.ulVersion = 0x500;
  gdi.ulTechnology = DT_RASPRINTER;
  gdi.ulHorzRes = static_cast<ULONG>(c.width);
  gdi.ulVertRes = static_cast<ULONG>(c.height);
  gdi.ulLogPixelsX = gdi.ulLogPixelsY = static_cast<ULONG>(c.dpi);
  gdi.cBitsPixel = c.raster ? c.bpp : 24;
  gdi.cPlanes = 1;
  std::memcpy(pdevcaps, &gdi, std::min<size_t>(cjCaps, sizeof gdi));
  DEVINFO info{};
  info.flGraphicsCaps = c.capsGiven ? c.caps : (c.raster ? GCAPS_HALFTONE : 0x1F);
  info.cFonts = c.raster ? 0 : 1;
  if (c.raster && c.bpp == 1) {
    ULONG entries[2] = {RGB(0, 0, 0), RGB(255, 255, 255)};
    pdev->palette = EngCreatePalette(PAL_INDEXED, 2, entries, 0, 0, 0);
    info.iDitherFormat = BMF_1BPP;
  } else {
    pdev->palette = EngCreatePalette(PAL_BGR, 0, nullptr, 0, 0, 0);
    info.iDitherFormat = BMF_24BPP;
  }
  info.hpalDefault = pdev->palette;
  std::memcpy(pdi, &info, std::min<size_t>(cjDevInfo, sizeof info));
  if (!pdev->palette || !Enter(pdev, "EnablePDEV", pdm ? "devmode" : "nodevmode")) {
    if (pdev->palette) EngDeletePalette(pdev->palette);
    delete pdev;
    return nullptr;
  }
  return reinterpret_cast<DHPDEV>(pdev);
}

void CompletePDEV(DHPDEV dhpdev, HDEV hdev) {
  auto* pdev = reinterpret_cast<Pdev*>(dhpdev);
  pdev->hdev = hdev;
  Enter(pdev, "CompletePDEV");
}

void DisablePDEV(DHPDEV dhpdev) {
  auto* pdev = reinterpret_cast<Pdev*>(dhpdev);
  Enter(pdev, "DisablePDEV");
  EngDeletePalette(pdev->palette);
  delete pdev;
}

BOOL ResetPDEV(DHPDEV oldPdev, DHPDEV newPdev) {
  return Enter(reinterpret_cast<Pdev*>(oldPdev), "ResetPDEV", newPdev ? "new" : "none");
}

HSURF EnableSurface(DHPDEV dhpdev) {
  auto* pdev = reinterpret_cast<Pdev*>(dhpdev);
  const Config& c = pdev->config;
  if (!Enter(pdev, "EnableSurface")) return nullptr;
  FLONG hooks;
  if (c.raster) {
    const ULONG format = c.bpp == 1 ? BMF_1BPP : BMF_24BPP;
    pdev->surface = reinterpret_cast<HSURF>(
        EngCreateBitmap(SIZEL{c.width, std::min(c.band, c.height)}, 0, format, BMF_TOPDOWN, nullptr));
    if (!pdev->surface || !EngMarkBandingSurface(pdev->surface)) return nullptr;
    hooks = HOOK_BITBLT | HOOK_STRETCHBLT | HOOK_TEXTOUT;
  } else {
    pdev->surface = EngCreateDeviceSurface(reinterpret_cast<DHSURF>(pdev), SIZEL{c.width, c.height}, BMF_24BPP);
    pdev->shadow =
        reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{c.width, c.height}, 0, BMF_24BPP, BMF_TOPDOWN, nullptr));
    if (!pdev->surface || !pdev->shadow) return nullptr;
    hooks = HOOK_BITBLT | HOOK_STRETCHBLT | HOOK_TEXTOUT | HOOK_STROKEPATH | HOOK_FILLPATH |
            HOOK_STROKEANDFILLPATH | HOOK_LINETO | HOOK_COPYBITS | HOOK_STRETCHBLTROP;
  }
  if (!EngAssociateSurface(pdev->surface, pdev->hdev, c.hooksGiven ? c.hooks : hooks)) {
    EngDeleteSurface(pdev->surface);
    pdev->surface = nullptr;
    return nullptr;
  }
  return pdev->surface;
}

void DisableSurface(DHPDEV dhpdev) {
  auto* pdev = reinterpret_cast<Pdev*>(dhpdev);
  Enter(pdev, "DisableSurface");
  if (pdev->surface) EngDeleteSurface(pdev->surface);
  if (pdev->shadow) EngDeleteSurface(pdev->shadow);
  pdev->surface = pdev->shadow = nullptr;
}

BOOL StartDoc(SURFOBJ* pso, LPWSTR name, DWORD jobId) {
  std::string ascii;
  for (; name && *name; ++name) ascii += static_cast<char>(*name);
  PdevOf(pso)->inDocument = true;
  return Enter(PdevOf(pso), "StartDoc", ascii + " " + std::to_string(jobId));
}

BOOL EndDoc(SURFOBJ* pso, FLONG fl) {
  const BOOL ended = Enter(PdevOf(pso), "EndDoc", std::to_string(fl));
  PdevOf(pso)->inDocument = false;
  return ended;
}

BOOL StartPage(SURFOBJ* pso) {
  Pdev* pdev = PdevOf(pso);
  if (!pdev->config.raster) {
    SURFOBJ* shadow = EngLockSurface(pdev->shadow);
    RECTL all{0, 0, shadow->sizlBitmap.cx, shadow->sizlBitmap.cy};
    EngEraseSurface(shadow, &all, 0xFFFFFF);
  }
  return Enter(pdev, "StartPage");
}

BOOL SendPage(SURFOBJ* pso) {
  Pdev* pdev = PdevOf(pso);
  if (!Enter(pdev, "SendPage")) return FALSE;
  SURFOBJ* shadow = EngLockSurface(pdev->shadow);
  const std::string header = "Page " + std::to_string(shadow->sizlBitmap.cx) + " " +
                             std::to_string(shadow->sizlBitmap.cy) + " " + std::to_string(shadow->lDelta) + "\n";
  return Write(pdev, header) &&
         Write(pdev, std::string(static_cast<char*>(shadow->pvBits), shadow->cjBits));
}

BOOL StartBanding(SURFOBJ* pso, POINTL* pptl) {
  Pdev* pdev = PdevOf(pso);
  pdev->bandY = 0;
  *pptl = POINTL{0, 0};
  RECTL all{0, 0, pso->sizlBitmap.cx, pso->sizlBitmap.cy};
  EngEraseSurface(pso, &all, 0xFFFFFF);
  return Enter(pdev, "StartBanding");
}

BOOL NextBand(SURFOBJ* pso, POINTL* pptl) {
  Pdev* pdev = PdevOf(pso);
  if (!Enter(pdev, "NextBand", std::to_string(pdev->bandY))) return FALSE;
  pdev->bandY += pso->sizlBitmap.cy;
  *pptl = pdev->bandY >= pdev->config.height ? POINTL{-1, -1} : POINTL{0, pdev->bandY};
  RECTL all{0, 0, pso->sizlBitmap.cx, pso->sizlBitmap.cy};
  EngEraseSurface(pso, &all, 0xFFFFFF);
  return TRUE;
}

BOOL BitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclTrg,
            POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush, ROP4 rop4) {
  Pdev* pdev = PdevOf(psoTrg);
  if (!Enter(pdev, "BitBlt", "rop4=" + Hex(rop4) + " clip=" + ClipText(pco) + " " + Rect(prclTrg) + " brush=" +
                                 BrushText(pbo) + (psoSrc ? " source" : ""))) {
    return FALSE;
  }
  return EngBitBlt(Canvas(pdev, psoTrg), psoSrc, psoMask, pco, pxlo, prclTrg, pptlSrc, pptlMask, pbo, pptlBrush, rop4);
}

BOOL CopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest, POINTL* pptlSrc) {
  Pdev* pdev = PdevOf(psoDest);
  if (!Enter(pdev, "CopyBits", Rect(prclDest) + " xlate=" + std::to_string(pxlo ? pxlo->flXlate : 0))) return FALSE;
  return EngCopyBits(Canvas(pdev, psoDest), psoSrc, pco, pxlo, prclDest, pptlSrc);
}

BOOL StretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask,
                ULONG iMode) {
  Pdev* pdev = PdevOf(psoDest);
  if (!Enter(pdev, "StretchBlt", Rect(prclDest) + " from " + Rect(prclSrc) + " mode=" + std::to_string(iMode))) {
    return FALSE;
  }
  return EngStretchBlt(Canvas(pdev, psoDest), psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc,
                       pptlMask, iMode);
}

BOOL StretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                   COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask,
                   ULONG iMode, BRUSHOBJ* pbo, DWORD rop4) {
  Pdev* pdev = PdevOf(psoDest);
  if (!Enter(pdev, "StretchBltROP", "rop4=" + Hex(rop4))) return FALSE;
  return EngStretchBltROP(Canvas(pdev, psoDest), psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc,
                          pptlMask, iMode, pbo, rop4);
}

BOOL TextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra, RECTL* prclOpaque,
             BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix) {
  Pdev* pdev = PdevOf(pso);
  ULONG glyphs = 0, batches = 0, count;
  GLYPHPOS* positions;
  STROBJ_vEnumStart(pstro);
  bool more;
  do {
    more = STROBJ_bEnum(pstro, &count, &positions);
    glyphs += count;
    ++batches;
  } while (more);
  std::string text;
  for (ULONG i = 0; i < pstro->cGlyphs; ++i) text += static_cast<char>(pstro->pwszOrg[i]);
  std::string bits = "none";
  HGLYPH first = pstro->cGlyphs ? pstro->pwszOrg[0] : 0;
  PVOID data = nullptr;
  if (pstro->cGlyphs && FONTOBJ_cGetGlyphs(pfo, FO_GLYPHBITS, 1, &first, &data) == 1) {
    const GLYPHBITS* gb = static_cast<GLYPHDATA*>(data)->gdf.pgb;
    bits = std::to_string(gb->sizlBitmap.cx) + "x" + std::to_string(gb->sizlBitmap.cy);
  }
  if (!Enter(pdev, "TextOut", "glyphs=" + std::to_string(glyphs) + " batches=" + std::to_string(batches) +
                                  " face=" + std::to_string(pfo->iFace) + " bits=" + bits + " text=" + text +
                                  (prclOpaque ? " opaque" : ""))) {
    return FALSE;
  }
  return EngTextOut(Canvas(pdev, pso), pstro, pfo, pco, prclExtra, prclOpaque, pboFore, pboOpaque, pptlOrg, mix);
}

BOOL StrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo, POINTL* pptlBrushOrg,
                LINEATTRS* plineattrs, MIX mix) {
  Pdev* pdev = PdevOf(pso);
  if (!Enter(pdev, "StrokePath", PathText(ppo) + " clip=" + ClipText(pco))) return FALSE;
  return EngStrokePath(Canvas(pdev, pso), ppo, pco, pxo, pbo, pptlBrushOrg, plineattrs, mix);
}

BOOL FillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix,
              FLONG flOptions) {
  Pdev* pdev = PdevOf(pso);
  if (!Enter(pdev, "FillPath", PathText(ppo) + " mode=" + std::to_string(flOptions) + " brush=" + BrushText(pbo))) {
    return FALSE;
  }
  return EngFillPath(Canvas(pdev, pso), ppo, pco, pbo, pptlBrushOrg, mix, flOptions);
}

BOOL StrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pboStroke,
                       LINEATTRS* plineattrs, BRUSHOBJ* pboFill, POINTL* pptlBrushOrg, MIX mixFill, FLONG flOptions) {
  Pdev* pdev = PdevOf(pso);
  if (!Enter(pdev, "StrokeAndFillPath", PathText(ppo))) return FALSE;
  return EngStrokeAndFillPath(Canvas(pdev, pso), ppo, pco, pxo, pboStroke, plineattrs, pboFill, pptlBrushOrg, mixFill,
                              flOptions);
}

BOOL LineTo(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2, LONG y2, RECTL* prclBounds,
            MIX mix) {
  Pdev* pdev = PdevOf(pso);
  if (!Enter(pdev, "LineTo")) return FALSE;
  return EngLineTo(Canvas(pdev, pso), pco, pbo, x1, y1, x2, y2, prclBounds, mix);
}

BOOL RealizeBrush(BRUSHOBJ* pbo, SURFOBJ* psoTarget, SURFOBJ* psoPattern, SURFOBJ*, XLATEOBJ* pxlo, ULONG iHatch) {
  Pdev* pdev = PdevOf(psoTarget);
  const std::string pattern = psoPattern ? std::to_string(psoPattern->sizlBitmap.cx) + "x" +
                                               std::to_string(psoPattern->sizlBitmap.cy)
                                         : "none";
  if (!Enter(pdev, "RealizeBrush", "hatch=" + std::to_string(iHatch) + " pattern=" + pattern +
                                       " colours=" + std::to_string(pxlo ? pxlo->cEntries : 0))) {
    return FALSE;
  }
  auto* realization = static_cast<ULONG*>(BRUSHOBJ_pvAllocRbrush(pbo, 16));
  if (!realization) return FALSE;
  realization[0] = iHatch;
  return TRUE;
}

ULONG Escape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID, ULONG, PVOID) {
  Enter(PdevOf(pso), "Escape", std::to_string(iEsc) + " " + std::to_string(cjIn));
  return cjIn;
}

IFIMETRICS* QueryFont(DHPDEV, ULONG_PTR, ULONG iFace, ULONG_PTR* pid) {
  if (pid) *pid = 0;
  return iFace == 1 ? &g_deviceFont : nullptr;
}

ULONG GetGlyphMode(DHPDEV, FONTOBJ*) { return FO_GLYPHBITS; }

template <class F>
PFN Fn(F function) {
  return reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(function));
}

const DRVFN kHooks[] = {
    {INDEX_DrvEnablePDEV, Fn(&EnablePDEV)},
    {INDEX_DrvCompletePDEV, Fn(&CompletePDEV)},
    {INDEX_DrvDisablePDEV, Fn(&DisablePDEV)},
    {INDEX_DrvEnableSurface, Fn(&EnableSurface)},
    {INDEX_DrvDisableSurface, Fn(&DisableSurface)},
    {INDEX_DrvStartDoc, Fn(&StartDoc)},
    {INDEX_DrvEndDoc, Fn(&EndDoc)},
    {INDEX_DrvStartPage, Fn(&StartPage)},
    {INDEX_DrvSendPage, Fn(&SendPage)},
    {INDEX_DrvBitBlt, Fn(&BitBlt)},
    {INDEX_DrvCopyBits, Fn(&CopyBits)},
    {INDEX_DrvStretchBlt, Fn(&StretchBlt)},
    {INDEX_DrvStretchBltROP, Fn(&StretchBltROP)},
    {INDEX_DrvTextOut, Fn(&TextOut)},
    {INDEX_DrvStrokePath, Fn(&StrokePath)},
    {INDEX_DrvFillPath, Fn(&FillPath)},
    {INDEX_DrvStrokeAndFillPath, Fn(&StrokeAndFillPath)},
    {INDEX_DrvLineTo, Fn(&LineTo)},
    {INDEX_DrvRealizeBrush, Fn(&RealizeBrush)},
    {INDEX_DrvEscape, Fn(&Escape)},
    {INDEX_DrvQueryFont, Fn(&QueryFont)},
    {INDEX_DrvGetGlyphMode, Fn(&GetGlyphMode)},
    {INDEX_DrvResetPDEV, Fn(&ResetPDEV)},
    {INDEX_DrvStartBanding, Fn(&StartBanding)},
    {INDEX_DrvNextBand, Fn(&NextBand)},
};

}  // namespace

extern "C" BOOL DrvQueryDriverInfo(DWORD dwMode, PVOID pBuffer, DWORD cbBuf, PDWORD pcbNeeded) {
  if (dwMode != DRVQUERY_USERMODE) return FALSE;
  *pcbNeeded = sizeof(DWORD);
  if (cbBuf < sizeof(DWORD)) return FALSE;
  *static_cast<DWORD*>(pBuffer) = TRUE;
  return TRUE;
}

extern "C" BOOL DrvEnableDriver(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA* pded) {
  if (iEngineVersion < DDI_DRIVER_VERSION_NT5 || cj < sizeof(DRVENABLEDATA)) return FALSE;
  const Config config = ReadConfig();
  static std::vector<DRVFN> table;
  table.clear();
  for (const DRVFN& fn : kHooks) {
    if (config.noReset && fn.iFunc == INDEX_DrvResetPDEV) continue;
    if (config.noBands && (fn.iFunc == INDEX_DrvStartBanding || fn.iFunc == INDEX_DrvNextBand)) continue;
    table.push_back(fn);
  }
  pded->iDriverVersion = DDI_DRIVER_VERSION_NT5;
  pded->c = static_cast<ULONG>(table.size());
  pded->pdrvfn = table.data();
  return TRUE;
}

extern "C" void DrvDisableDriver() {}
