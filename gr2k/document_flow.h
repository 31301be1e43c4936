// The order of a job: what leaves at document start, page start, page end and document end,
// and how raster mode walks a page in bands. Every byte leaves through the output library.
//
// Packets of one document: 0xF3 job start, 0xF3 JOBNAME when the job has a name, then per page
// 0xF4 page start, 0xF0, 0xF5 record packets (page-start record 0x60 first, page-end record
// 0x61 last) and 0xF1 page end. After a device reset the next page sends 0xF3 again (without
// JOBNAME). No packet ends the job.
#pragma once

#include "win32.h"

struct RenderPdev;

constexpr DWORD kMergeForDocument = 0x20008;

// Ends the open page as DrvSendPage does (also the last DrvNextBand of a page).
BOOL PdevEndPage(RenderPdev* pdev);

extern "C" {
BOOL DrvStartDoc(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId);
BOOL DrvStartPage(SURFOBJ* pso);
BOOL DrvSendPage(SURFOBJ* pso);
BOOL DrvEndDoc(SURFOBJ* pso, FLONG fl);
BOOL DrvStartBanding(SURFOBJ* pso, POINTL* pptl);
BOOL DrvNextBand(SURFOBJ* pso, POINTL* pptl);
}
