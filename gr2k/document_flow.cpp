#include "gr2k/document_flow.h"

#include <cstring>

#include "data/item_ids.h"
#include "gr2k/device_text.h"
#include "gr2k/job_user_settings.h"
#include "gr2k/output_library.h"
#include "gr2k/packets.h"
#include "gr2k/pdev.h"
#include "gr2k/pjl_templates.h"
#include "settings/description/command_node_values.h"
#include "settings/devmode/merge.h"
#include "settings/items/store.h"
#include "settings/context/memory.h"
#include "settings/persistence/profile_wrappers.h"
#include "settings/persistence/paths.h"
#include "settings/services/spooler_info.h"

namespace {

constexpr char kJobNameOpen[] = "@PJL SET JOBNAME = \"";
constexpr char kJobNameClose[] = "\"\r\n";
constexpr DWORD kMaxDocumentNameChars = 32768;  // longer names are cut: only 128 bytes are kept

void FreeJobName(RenderPdev* pdev) {
  PdevMemFree(pdev->allocations, pdev->jobName);
  pdev->jobName = nullptr;
  pdev->jobNameLength = 0;
}

// Keeps the document name in the device code page, at most kJobNameBytes. The name goes
// between double quotes of a PJL line, so it goes through the line rule of job text.
void TakeJobName(RenderPdev* pdev, const WCHAR* name) {
  FreeJobName(pdev);
  DWORD chars = 0;
  while (name && chars < kMaxDocumentNameChars && name[chars]) ++chars;
  if (chars == 0) return;
  auto* bytes = static_cast<BYTE*>(PdevMemAlloc(pdev->allocations, kJobNameBytes));
  if (!bytes) return;
  const DWORD length =
      CmdBlankLineBreakers(reinterpret_cast<char*>(bytes), TxtUnicodeToDevice(bytes, kJobNameBytes, name,
                                                                             chars * sizeof(WCHAR), kDeviceTextEngine));
  if (length == 0) {
    PdevMemFree(pdev->allocations, bytes);
    return;
  }
  pdev->jobName = bytes;
  pdev->jobNameLength = static_cast<WORD>(length);
}

// The print type kept in the settings INI may differ from the one the devmode brought; then the
// context is refreshed from the stored settings.
BOOL RefreshFromStoredPrintType(RenderPdev* pdev) {
  DriverContext* context = pdev->context;
  ItemTableRow* row = nullptr;
  const DWORD printType = OptGetValue(context, kItemPrnMethod, &row);
  const WCHAR* ini = PathGetSettingsIni(context);
  const WCHAR* section = PrnGetPrinterName(context);
  const DWORD stored = row && row->keyName && ini && section && section[0]
                           ? IniProfileGetInt(section, row->keyName, 0, ini)
                           : 0;
  return printType == stored || DmMerge(context, nullptr, kMergeForDocument) != 0;
}

BOOL EmitJobName(RenderPdev* pdev) {
  const DWORD open = sizeof kJobNameOpen - 1, close = sizeof kJobNameClose - 1;
  const DWORD length = open + pdev->jobNameLength + close;
  auto* line = static_cast<char*>(PdevMemAlloc(pdev->allocations, length));
  if (!line) return FALSE;
  std::memcpy(line, kJobNameOpen, open);
  std::memcpy(line + open, pdev->jobName, pdev->jobNameLength);
  std::memcpy(line + open + pdev->jobNameLength, kJobNameClose, close);
  const BOOL ok = PjlEmitText(&pdev->stream, kPacketJobStart, line, length);
  PdevMemFree(pdev->allocations, line);
  return ok;
}

// Page 1 of a pass-through job is the application's own bytes: no page packets or records.
bool IsRawPage(const RenderPdev* pdev) { return pdev->settings.passThrough && pdev->pageCounter == 1; }

}  // namespace

BOOL PdevEndPage(RenderPdev* pdev) {
  CommandStream* stream = &pdev->stream;
  GlyphCacheClear(&pdev->glyphs);
  OutCall(pdev, kOutEndPage);
  const bool raw = IsRawPage(pdev);
  BOOL ok = raw || StrmEmitPageEnd(stream) != nullptr;
  // The flush also empties the stream, so it runs even when the page-end record failed.
  ok = StrmFlush(stream) && ok;
  if (ok && !raw) ok = PjlEmitPageEnd(stream, PjlBuildPageEnd, pdev->context);
  if (!(pdev->flags & kPdevFlagPageOpen)) pdev->pageCounter += 1;
  pdev->flags &= ~kPdevFlagPageOpen;
  // Every page of a spooled job starts its own page again (DrvStartBanding looks at this).
  pdev->pageStartDone = FALSE;
  return ok;
}

extern "C" BOOL DrvStartDoc(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId) {
  RenderPdev* pdev = PdevFromSurface(pso);
  if (!pdev) return FALSE;
  if (dwJobId != 0) pdev->jobId = dwJobId;
  JobMergeUserSettings(pdev->context, pdev->savedDevmode, kMergeForDocument, pdev->printer, pdev->jobId);
  if (OptGetValue(pdev->context, kItemAPIUse) != 0) pdev->settings.directPage = FALSE;
  if (!RefreshFromStoredPrintType(pdev)) return FALSE;

  const bool continuing = (pdev->flags & kPdevFlagContinuation) != 0;
  if (!continuing) {
    // A second start without an end would lose the first binding.
    OutRelease(pdev);
    if (!OutBind(pdev)) return FALSE;
  }
  pdev->flags |= kPdevFlagDocument;
  if (!continuing) {
    pdev->pageCounter = 0;
    pdev->flags &= ~kPdevFlagPageOpen;
  }
  const WCHAR* name = pwszDocName;
  auto* job = pdev->settings.emfSpool ? static_cast<JOB_INFO_2W*>(PrnGetJobInfo(pdev->printer, pdev->jobId, 2))
                                      : nullptr;
  if (job && job->pDocument && job->pDocument[0]) name = job->pDocument;
  // A continued document keeps the name it came with unless it is given one.
  if (!continuing || (name && name[0])) TakeJobName(pdev, name);
  SysFree(job);
  return TRUE;
}

extern "C" BOOL DrvStartPage(SURFOBJ* pso) {
  RenderPdev* pdev = PdevFromSurface(pso);
  if (!pdev) return FALSE;
  pdev->pageStartDone = TRUE;
  OutCall(pdev, kOutStartPage);
  if (pdev->flags & kPdevFlagAbort) {
    SetLastError(ERROR_CANCELLED);
    return FALSE;
  }
  if (pdev->flags & kPdevFlagPageOpen) return TRUE;
  pdev->flags |= kPdevFlagPageOpen;
  pdev->pageCounter += 1;

  CommandStream* stream = &pdev->stream;
  BOOL ok = TRUE;
  const bool firstPage = pdev->pageCounter == 1;
  if (firstPage || (pdev->flags & kPdevFlagContinuation)) {
    pdev->flags &= ~kPdevFlagContinuation;
    StrmReset(stream);
    ok = PjlEmitJobStart(stream, PjlBuildJobStart, pdev->context);
    if (ok && firstPage && pdev->jobNameLength) ok = EmitJobName(pdev);
  }
  const bool raw = IsRawPage(pdev);
  if (ok && !raw) ok = PjlEmitPageStart(stream, PjlBuildPageStart, pdev->context);
  GraphicsStateCacheReset(&pdev->cache);
  if (ok && !raw) {
    const WORD dpi = static_cast<WORD>(pdev->settings.resolution);
    ok = StrmEmitPageStart(stream, pdev->geometry.printableWidth, pdev->geometry.printableLength, dpi, dpi) !=
         nullptr;
  }
  return ok;
}

extern "C" BOOL DrvSendPage(SURFOBJ* pso) {
  RenderPdev* pdev = PdevFromSurface(pso);
  return pdev ? PdevEndPage(pdev) : FALSE;
}

extern "C" BOOL DrvEndDoc(SURFOBJ* pso, FLONG) {
  RenderPdev* pdev = PdevFromSurface(pso);
  if (!pdev) return FALSE;
  OutRelease(pdev);
  FreeJobName(pdev);
  pdev->flags &= ~(kPdevFlagDocument | kPdevFlagContinuation);
  return TRUE;
}
