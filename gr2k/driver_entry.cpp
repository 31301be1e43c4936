// The graphics library's entry points: the hook table GDI gets from DrvEnableDriver, and the
// queries around it.
#include "gr2k/document_flow.h"
#include "gr2k/drawing_hooks.h"
#include "gr2k/pdev.h"
#include "settings/context/boundary.h"

namespace {

constexpr ULONG kEngineVersionMin = 0x20000;  // an older engine gets ERROR_BAD_DRIVER_LEVEL
constexpr ULONG kDriverVersion = 0x20000;
constexpr DWORD kUserModeAnswerBytes = sizeof(DWORD);

constexpr ULONG kEscapeFailed = 0xFFFFFFFF;
constexpr LONG kFontDataFailed = -1;  // FD_ERROR

// A hook as the table holds it: an exception it throws becomes its failure answer (0, FALSE or
// null unless given) with ERROR_NOT_ENOUGH_MEMORY, never reaching GDI.
template <auto function, auto failure = 0>
PFN Hook() {
  return reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(&SysGuardedHook<function, failure>::Call));
}

// In the order GDI is handed them.
DRVFN kHooks[] = {
    {INDEX_DrvEnablePDEV, Hook<DrvEnablePDEV>()},
    {INDEX_DrvDisablePDEV, Hook<DrvDisablePDEV>()},
    {INDEX_DrvCompletePDEV, Hook<DrvCompletePDEV>()},
    {INDEX_DrvResetPDEV, Hook<DrvResetPDEV>()},
    {INDEX_DrvEnableSurface, Hook<DrvEnableSurface>()},
    {INDEX_DrvDisableSurface, Hook<DrvDisableSurface>()},
    {INDEX_DrvStartPage, Hook<DrvStartPage>()},
    {INDEX_DrvSendPage, Hook<DrvSendPage>()},
    {INDEX_DrvStartDoc, Hook<DrvStartDoc>()},
    {INDEX_DrvEndDoc, Hook<DrvEndDoc>()},
    {INDEX_DrvStartBanding, Hook<DrvStartBanding>()},
    {INDEX_DrvNextBand, Hook<DrvNextBand>()},
    {INDEX_DrvBitBlt, Hook<DrvBitBlt>()},
    {INDEX_DrvStretchBlt, Hook<DrvStretchBlt>()},
    {INDEX_DrvStrokePath, Hook<DrvStrokePath>()},
    {INDEX_DrvFillPath, Hook<DrvFillPath>()},
    {INDEX_DrvStrokeAndFillPath, Hook<DrvStrokeAndFillPath>()},
    {INDEX_DrvRealizeBrush, Hook<DrvRealizeBrush>()},
    {INDEX_DrvEscape, Hook<DrvEscape, kEscapeFailed>()},
    {INDEX_DrvGetGlyphMode, Hook<DrvGetGlyphMode>()},
    {INDEX_DrvDitherColor, Hook<DrvDitherColor>()},
    {INDEX_DrvCopyBits, Hook<DrvCopyBits>()},
    {INDEX_DrvQueryFont, Hook<DrvQueryFont>()},
    {INDEX_DrvQueryFontData, Hook<DrvQueryFontData, kFontDataFailed>()},
    {INDEX_DrvQueryFontTree, Hook<DrvQueryFontTree>()},
    {INDEX_DrvIcmCreateColorTransform, Hook<DrvIcmCreateColorTransform>()},
    {INDEX_DrvIcmDeleteColorTransform, Hook<DrvIcmDeleteColorTransform>()},
    {INDEX_DrvStretchBltROP, Hook<DrvStretchBltROP>()},
    {INDEX_DrvQueryAdvanceWidths, Hook<DrvQueryAdvanceWidths>()},
    {INDEX_DrvTextOut, Hook<DrvTextOut>()},
};
static_assert(sizeof kHooks / sizeof kHooks[0] == 30);

}  // namespace

// Hands GDI the hook table. FALSE with ERROR_BAD_DRIVER_LEVEL for an engine older than
// version 0x20000, with ERROR_INVALID_PARAMETER when `cj` cannot hold the whole answer (version,
// count and the table's pointer: 16 bytes in a 64-bit process).
DRIVER_EXPORT BOOL DrvEnableDriver(ULONG iEngineVersion, ULONG cj,
                                                                      DRVENABLEDATA* pded) try {
  if (iEngineVersion < kEngineVersionMin) {
    SetLastError(ERROR_BAD_DRIVER_LEVEL);
    return FALSE;
  }
  if (cj < sizeof(DRVENABLEDATA) || !pded) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  pded->iDriverVersion = kDriverVersion;
  pded->c = sizeof kHooks / sizeof kHooks[0];
  pded->pdrvfn = kHooks;
  return TRUE;
} catch (...) {
  return SysFailAtBoundary(FALSE);
}

// The library runs in user mode: DRVQUERY_USERMODE answers TRUE into a DWORD. *pcbNeeded gets
// the size the answer needs; a smaller buffer gets ERROR_INSUFFICIENT_BUFFER.
DRIVER_EXPORT BOOL DrvQueryDriverInfo(DWORD dwMode, PVOID pBuffer, DWORD cbBuf,
                                                                         PDWORD pcbNeeded) try {
  if (dwMode != DRVQUERY_USERMODE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (pcbNeeded) *pcbNeeded = kUserModeAnswerBytes;
  if (!pBuffer || cbBuf < kUserModeAnswerBytes) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  *static_cast<DWORD*>(pBuffer) = TRUE;
  return TRUE;
} catch (...) {
  return SysFailAtBoundary(FALSE);
}

DRIVER_EXPORT void DrvDisableDriver(void) {}
