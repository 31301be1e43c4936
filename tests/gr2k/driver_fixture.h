// A machine root with the driver installed (its libraries and the output library stand-in in
// the driver folder) and one printer, for the tests of the PDEV and the job flow. Two ways in:
//   - in this process: the graphics code is linked into the test, so its hooks are called
//     directly on PDEVs whose settings the test writes through the item store (an open step
//     that sets the test's items in every new context);
//   - the real path: the print host loads velmgr.dll by name from the driver folder and runs a
//     job whose devmode carries the items.
// Either way the output library is the stand-in loaded from the driver folder, writing into a
// spooler job whose file the job decoder reads back.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/machine_root.h"
#include "core/memory.h"
#include "eng/engine_objects.h"
#include "eng/print_host.h"
#include "gr2k/document_flow.h"
#include "gr2k/drawing_hooks.h"
#include "gr2k/pdev.h"
#include "job_decoder.h"
#include "machine_setup.h"
#include "print_command.h"
#include "settings/context/cache.h"
#include "settings/context/open_steps.h"
#include "settings/description/cache.h"
#include "settings/items/store.h"
#include "settings/context/process_state.h"
#include "spool/spool_store.h"
#include "support/temp_root.h"

extern "C" BOOL DrvEnableDriver(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA* pded);
extern "C" BOOL DrvQueryDriverInfo(DWORD dwMode, PVOID pBuffer, DWORD cbBuf, PDWORD pcbNeeded);

namespace velm::test {

// What the open step writes into every context this process builds.
inline std::vector<std::pair<WORD, DWORD>> g_testItems;
inline std::vector<std::pair<WORD, std::u16string>> g_testTexts;

inline BOOL BuildWithTestItems(DriverContext* context, int kind) {
  if (!DmBuildForContext(context, kind)) return FALSE;
  for (const auto& [id, value] : g_testItems) OptSetValue(context, id, value);
  for (const auto& [id, text] : g_testTexts) OptSetString(context, OptFindItem(context->itemTable, id), text.c_str());
  return TRUE;
}

inline const ContextOpenSteps kTestItemSteps = {
    DescLoad,           DescRelease,   CondAllocStack,   CondFreeStack,  BuildWithTestItems,
    DmCopyDeviceConfig, CfgLoadOnOpen, CfgFreeFontBlobs, LstPresetSlots, ResFreeDlls,
};

// A small vector page at 600 dpi: 1000 x 800 printable pixels. The page is given by the items
// alone: a free-size paper (384) that no public field marks, so the merge at enable derives no
// geometry from the public fields and the output page takes the source page's. (A merge that
// runs the constraint rules, at a document start whose print type differs from the stored one,
// derives the page from the paper again.)
inline std::vector<std::pair<WORD, DWORD>> SmallPage() {
  return {{6, 0},     {8, 384},  {45, 1200}, {44, 1000}, {47, 1000},
          {46, 800},  {48, 100}, {49, 100},  {92, 100},  {93, 100}};
}

// "F3 F3 F4 F0 F5 F1 ...": the packet types in order, a run of data packets as one "F5".
inline std::string PacketSequence(const jobdump::Job& job) {
  std::string sequence;
  char previous = 0;
  for (const jobdump::Packet& packet : job.packets) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", packet.type);
    if (packet.type == 0xF5 && previous == 1) continue;
    previous = packet.type == 0xF5 ? 1 : 0;
    sequence += (sequence.empty() ? "" : " ") + std::string(text);
  }
  return sequence;
}

inline std::vector<const jobdump::Record*> RecordsOf(const jobdump::Job& job, uint8_t opcode) {
  std::vector<const jobdump::Record*> found;
  for (const jobdump::Record& record : job.records)
    if (record.opcode == opcode) found.push_back(&record);
  return found;
}

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(tools::InstallDriver({ModuleDir(), {}}, &error)) << error;
    ASSERT_TRUE(tools::AddPrinter({}, &error)) << error;
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ACCESS_USE};
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(tools::kDefaultPrinterName.data()), &printer_, &defaults));
    platform::SetMachineSetting("qnoutlib_log", "C:\\outlib.log");
    SysLibraryAttach(GetModuleHandleW(nullptr));
    // The description stays loaded from its first load on: load it before anything is counted.
    ASSERT_NE(DescLoadFile((std::u16string(platform::kDriverDirectory) + std::u16string(tools::kModelDataFile)).c_str(),
                           nullptr),
              nullptr);
    CtxSetOpenSteps(&kTestItemSteps);
    g_testItems = SmallPage();
    g_testTexts.clear();
    DRVENABLEDATA data{};
    ASSERT_TRUE(DrvEnableDriver(DDI_DRIVER_VERSION_NT5_01, sizeof data, &data));
    hdev_ = platform::CreateEngineDevice(data);
    liveAllocations_ = platform::LiveAllocationCount();
  }

  void TearDown() override {
    CtxFlushCache(1);
    EXPECT_EQ(platform::LiveAllocationCount(), liveAllocations_) << "blocks left allocated";
    platform::DeleteEngineDevice(hdev_);
    EXPECT_EQ(platform::LiveEngineObjects().Total(), 0u) << "engine objects left";
    CtxSetOpenSteps(nullptr);
    SysLibraryDetach();
    g_testItems.clear();
    g_testTexts.clear();
    ClosePrinter(printer_);
  }

  // A PDEV of this process over the test's items (every earlier context forgotten, so that a
  // cached one cannot stand in for the new items).
  RenderPdev* Enable(DEVMODEW* devmode = nullptr) {
    CtxFlushCache(1);
    HSURF patterns[HS_DDI_MAX];
    std::fill(std::begin(patterns), std::end(patterns), reinterpret_cast<HSURF>(1));
    auto* pdev = reinterpret_cast<RenderPdev*>(DrvEnablePDEV(devmode, nullptr, HS_DDI_MAX, patterns, sizeof gdi_,
                                                            reinterpret_cast<ULONG*>(&gdi_), sizeof devinfo_,
                                                            &devinfo_, hdev_, nullptr, printer_));
    if (!pdev) return nullptr;
    for (HSURF pattern : patterns) EXPECT_EQ(pattern, nullptr);
    DrvCompletePDEV(reinterpret_cast<DHPDEV>(pdev), hdev_);
    platform::SetEngineDevicePdev(hdev_, reinterpret_cast<DHPDEV>(pdev));
    return pdev;
  }

  // The surface object the hooks get, as the engine hands it.
  static SURFOBJ Surface(RenderPdev* pdev) {
    SURFOBJ surface{};
    surface.dhpdev = reinterpret_cast<DHPDEV>(pdev);
    surface.hsurf = pdev->surface;
    return surface;
  }

  // A spooler job on the printer for the output library to write into.
  DWORD OpenSpoolJob(const char16_t* name = u"Report") {
    std::u16string document = name, datatype = u"RAW";
    DOC_INFO_1W info{document.data(), nullptr, datatype.data()};
    return StartDocPrinterW(printer_, 1, reinterpret_cast<LPBYTE>(&info));
  }
  // Ends the spooler job and decodes what it holds.
  jobdump::Job CloseSpoolJob(DWORD spoolJob, bool finished = true) {
    EXPECT_TRUE(EndDocPrinter(printer_));
    return Decode(ReadHostFile(platform::SpoolJobFile(spoolJob)), finished);
  }

  static jobdump::Job Decode(const std::string& bytes, bool finished = true) {
    jobdump::Job job;
    std::string error;
    jobdump::Options options;
    options.allowUnfinished = !finished;
    EXPECT_TRUE(jobdump::DecodeJob(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), options, &job, &error))
        << error;
    return job;
  }

  // The real path: velmgr.dll run by the print host on the printer, with a devmode of the model's
  // defaults (A4 at 600 dpi) that carries `items`.
  platform::PrintResult PrintThroughHost(const std::string& pages, const std::vector<tools::ItemAssignment>& items,
                                         const std::u16string& document = u"Report") {
    platform::PrintJob job;
    std::string error;
    // The job's devmode is an application's: built by the library's own steps, not the test's.
    CtxFlushCache(1);
    CtxSetOpenSteps(nullptr);
    EXPECT_TRUE(tools::BuildJobDevmode(printer_, items, &job.devmode, &error)) << error;
    CtxSetOpenSteps(&kTestItemSteps);
    job.printer = printer_;
    job.pages = pages;
    job.documentName = document;
    return platform::RunPrintJob(job);
  }
  jobdump::Job JobOf(const platform::PrintResult& result, bool finished = true) {
    return Decode(ReadHostFile(platform::SpoolJobFile(result.spoolJob)), finished);
  }

  std::string OutputLog() const { return ReadHostFile(root_.OnDriveC("outlib.log")); }

  TempMachineRoot root_;
  HANDLE printer_ = nullptr;
  HDEV hdev_ = nullptr;
  GDIINFO gdi_{};
  DEVINFO devinfo_{};
  uint64_t liveAllocations_ = 0;
};

// "30 32 31 10": the opcodes of the page's drawing records.
inline std::string Opcodes(const jobdump::Job& job) {
  std::string text;
  char hex[4];
  for (const jobdump::Record& record : job.records) {
    if (record.opcode == 0x60 || record.opcode == 0x61) continue;
    std::snprintf(hex, sizeof hex, "%02X", record.opcode);
    text += (text.empty() ? "" : " ") + std::string(hex);
  }
  return text;
}

// The drawing hooks in vector mode, in this process: a document on a colour machine with its
// first page started, and the job it gave.
class VectorPageTest : public DriverTest {
 protected:
  RenderPdev* Start(std::vector<std::pair<WORD, DWORD>> items = {}) {
    g_testItems = SmallPage();
    g_testItems.push_back({246, 1});
    g_testItems.insert(g_testItems.end(), items.begin(), items.end());
    spoolJob_ = OpenSpoolJob();
    RenderPdev* pdev = Enable();
    if (!pdev || !DrvEnableSurface(reinterpret_cast<DHPDEV>(pdev))) return nullptr;
    device_ = EngLockSurface(pdev->surface);
    if (!DrvStartDoc(device_, const_cast<LPWSTR>(u"Pictures"), spoolJob_) || !DrvStartPage(device_)) return nullptr;
    return pdev;
  }
  // Sends the page, ends the document and decodes the job; its bytes stay in jobBytes_.
  jobdump::Job Finish(RenderPdev* pdev) {
    EXPECT_TRUE(DrvSendPage(device_));
    EXPECT_TRUE(DrvEndDoc(device_, 0));
    EngUnlockSurface(device_);
    DrvDisableSurface(reinterpret_cast<DHPDEV>(pdev));
    DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev));
    jobdump::Job job = CloseSpoolJob(spoolJob_);
    jobBytes_ = ReadHostFile(platform::SpoolJobFile(spoolJob_));
    return job;
  }

  DWORD spoolJob_ = 0;
  SURFOBJ* device_ = nullptr;
  std::string jobBytes_;
};

}  // namespace velm::test
