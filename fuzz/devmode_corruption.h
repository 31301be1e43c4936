// Damaged devmodes as a certification corruptor makes them (sizes that lie, odd versions, random
// public and private bytes, flipped bits), handed to the driver the ways a devmode reaches it:
// DrvEnablePDEV and DrvResetPDEV of velmgr.dll, the printer's stored devmode, and the
// application interface of velmexc.dll (each loaded by name from the machine root). After each
// call the answer must be sane and the printer's stored data unchanged. Shared by the fuzz
// target and the test that runs a fixed set of damages.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/modules.h"
#include "core/unicode.h"
#include "core/winerror.h"
#include "eng/engine.h"
#include "eng/engine_objects.h"
#include "exclude/velmexc.h"
#include "spool/spool_store.h"
#include "spool/winspool.h"

namespace velm::fuzz {

constexpr size_t kDevmodeOffSpecVersion = 64, kDevmodeOffDriverVersion = 66, kDevmodeOffSize = 68,
                 kDevmodeOffDriverExtra = 70;
constexpr size_t kDevmodePublicBytes = 220, kDevmodeBytes = 1260;

inline WORD LoadWord(const std::vector<BYTE>& bytes, size_t at) { return WORD(bytes[at] | bytes[at + 1] << 8); }
inline void StoreWord(std::vector<BYTE>& bytes, size_t at, WORD value) {
  bytes[at] = BYTE(value);
  bytes[at + 1] = BYTE(value >> 8);
}
inline SHORT PublicShort(const BYTE* devmode, size_t at) { return SHORT(devmode[at] | devmode[at + 1] << 8); }

// `good` damaged in one to three ways chosen by `seed`. The buffer always holds the
// dmSize + dmDriverExtra bytes the header claims: the graphics system and the spooler check that
// much before a driver sees a devmode (the rest of a claim beyond `good` is random bytes).
inline std::vector<BYTE> CorruptDevmode(const std::vector<BYTE>& good, uint32_t seed) {
  uint32_t state = seed * 2654435761u + 1;
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  std::vector<BYTE> bytes = good;
  const int ways = 1 + int(next() % 3);
  for (int w = 0; w < ways; ++w) {
    switch (next() % 5) {
      case 0: {  // sizes that lie
        constexpr WORD kSizes[] = {0, 1, 156, 188, 219, 221, 1260, 0xFFFF};
        constexpr WORD kExtras[] = {0, 1, 1039, 1041, 2080, 9452};
        StoreWord(bytes, kDevmodeOffSize, next() % 3 ? kSizes[next() % 8] : WORD(next()));
        StoreWord(bytes, kDevmodeOffDriverExtra, next() % 3 ? kExtras[next() % 6] : WORD(next()));
        break;
      }
      case 1: {  // odd versions
        constexpr WORD kVersions[] = {0, 0x300, 0x320, 0x400, 0x401, 0x402, 0x500, 0xFFFF};
        StoreWord(bytes, kDevmodeOffSpecVersion, kVersions[next() % 8]);
        StoreWord(bytes, kDevmodeOffDriverVersion, next() % 2 ? kVersions[next() % 8] : WORD(next()));
        break;
      }
      case 2:  // random public bytes
        for (uint32_t n = 1 + next() % 16; n > 0; --n) bytes[next() % kDevmodePublicBytes] = BYTE(next());
        break;
      case 3:  // random private bytes
        for (uint32_t n = 1 + next() % 32; n > 0; --n)
          bytes[kDevmodePublicBytes + next() % (bytes.size() - kDevmodePublicBytes)] = BYTE(next());
        break;
      default:  // flipped bits
        for (uint32_t n = 1 + next() % 8; n > 0; --n) bytes[next() % bytes.size()] ^= BYTE(1u << (next() % 8));
        break;
    }
  }
  const size_t claimed = size_t{LoadWord(bytes, kDevmodeOffSize)} + LoadWord(bytes, kDevmodeOffDriverExtra);
  while (bytes.size() < claimed) bytes.push_back(BYTE(next()));
  return bytes;
}

// A fuzz input or corpus seed as a devmode: zero-padded to the dmSize + dmDriverExtra its header
// claims, as the graphics system would hand no less. Empty when it is too short for the header.
inline std::vector<BYTE> DevmodeFromInput(const uint8_t* data, size_t size) {
  if (size < kDevmodeOffDriverExtra + 2) return {};
  std::vector<BYTE> devmode(data, data + size);
  const size_t claimed = size_t{LoadWord(devmode, kDevmodeOffSize)} + LoadWord(devmode, kDevmodeOffDriverExtra);
  if (devmode.size() < claimed) devmode.resize(claimed, 0);
  return devmode;
}

// "" when a devmode the driver hands out is one a caller can use, else what is wrong with it.
inline std::string DevmodeFault(const BYTE* devmode) {
  if (PublicShort(devmode, kDevmodeOffSize) != SHORT(kDevmodePublicBytes) ||
      PublicShort(devmode, kDevmodeOffDriverExtra) != SHORT(kDevmodeBytes - kDevmodePublicBytes))
    return "sizes";
  struct Range {
    size_t at;
    SHORT low, high;
    const char* name;
  };
  constexpr Range kFields[] = {{76, 1, 2, "dmOrientation"}, {78, 1, 0x7FFF, "dmPaperSize"},
                               {86, 1, 999, "dmCopies"},    {92, 1, 2, "dmColor"},
                               {94, 1, 3, "dmDuplex"},      {80, 0, 0x7FFF, "dmPaperLength"},
                               {82, 0, 0x7FFF, "dmPaperWidth"}};
  for (const Range& field : kFields) {
    const SHORT value = PublicShort(devmode, field.at);
    if (value < field.low || value > field.high) return std::string(field.name) + " " + std::to_string(value);
  }
  return {};
}

// "" when an enabled PDEV describes a page that can be printed.
inline std::string GdiInfoFault(const GDIINFO& gdi) {
  if (gdi.ulHorzRes == 0 || gdi.ulVertRes == 0 || gdi.ulHorzRes > 0xFFFF || gdi.ulVertRes > 0xFFFF)
    return "a page of " + std::to_string(gdi.ulHorzRes) + " x " + std::to_string(gdi.ulVertRes) + " pixels";
  if (gdi.ulLogPixelsX == 0 || gdi.szlPhysSize.cx < LONG(gdi.ulHorzRes) || gdi.szlPhysSize.cy < LONG(gdi.ulVertRes))
    return "a paper smaller than its printable area";
  return {};
}

// The driver's libraries loaded from the machine root, an engine device and the printer.
class DevmodeCorruptionMachine {
 public:
  // The machine root must hold the installed driver and its printer; `good` is a devmode of the
  // driver for it, stored as the printer's between checks. "" when all is ready.
  std::string SetUp(const char16_t* printerName, const std::vector<BYTE>& good) {
    printerName_ = printerName;
    good_ = good;
    const std::u16string folder(platform::kDriverDirectory);
    graphics_ = LoadLibraryW((folder + u"velmgr.dll").c_str());
    queries_ = LoadLibraryW((folder + u"velmexc.dll").c_str());
    if (!graphics_ || !queries_) return "cannot load the driver's libraries";
    auto enableDriver = Proc<PFN_DrvEnableDriver>(graphics_, "DrvEnableDriver");
    apiEnable_ = Proc<VELMDrvEnableProc>(queries_, "VELMDrvEnable");
    apiDisable_ = Proc<VELMDrvDisableProc>(queries_, "VELMDrvDisable");
    apiDevmode_ = Proc<VELMDrvGetDevmodeProc>(queries_, "VELMDrvGetDevmode");
    DRVENABLEDATA data{};
    if (!enableDriver || !enableDriver(DDI_DRIVER_VERSION_NT5_01, sizeof data, &data)) return "DrvEnableDriver failed";
    // The PDEV entries come from the hook table, as the graphics system takes them.
    for (ULONG i = 0; i < data.c; ++i) {
      const DRVFN& hook = data.pdrvfn[i];
      if (hook.iFunc == INDEX_DrvEnablePDEV) enablePdev_ = reinterpret_cast<PFN_DrvEnablePDEV>(reinterpret_cast<void (*)()>(hook.pfn));
      if (hook.iFunc == INDEX_DrvDisablePDEV) disablePdev_ = reinterpret_cast<PFN_DrvDisablePDEV>(reinterpret_cast<void (*)()>(hook.pfn));
      if (hook.iFunc == INDEX_DrvResetPDEV) resetPdev_ = reinterpret_cast<PFN_DrvResetPDEV>(reinterpret_cast<void (*)()>(hook.pfn));
    }
    if (!enablePdev_ || !disablePdev_ || !resetPdev_ || !apiEnable_ || !apiDisable_ || !apiDevmode_)
      return "the driver's entry points are missing";
    hdev_ = platform::CreateEngineDevice(data);
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterW(const_cast<LPWSTR>(printerName), &printer_, &defaults)) return "cannot open the printer";
    if (good_.size() != kDevmodeBytes || !Stored(good_)) return "cannot store the driver's devmode";
    return {};
  }
  DevmodeCorruptionMachine() = default;
  DevmodeCorruptionMachine(const DevmodeCorruptionMachine&) = delete;
  DevmodeCorruptionMachine& operator=(const DevmodeCorruptionMachine&) = delete;
  // Freeing the libraries runs their process detach, which destroys the contexts their own
  // caches still hold (the caller's settings library has a cache of its own).
  ~DevmodeCorruptionMachine() {
    if (printer_) ClosePrinter(printer_);
    if (hdev_) platform::DeleteEngineDevice(hdev_);
    if (queries_) FreeLibrary(queries_);
    if (graphics_) FreeLibrary(graphics_);
  }

  const std::vector<BYTE>& Good() const { return good_; }

  // Hands `devmode` to every entry in turn; "" when every answer was sane and the printer's
  // stored data stayed as it was, else the first fault found.
  std::string Check(const std::vector<BYTE>& devmode) {
    std::vector<BYTE> job = devmode;
    std::string fault = Stored(good_) ? CheckPdevs(job) : "cannot store the devmode";
    if (fault.empty()) fault = Unchanged(good_, "after DrvEnablePDEV and DrvResetPDEV");
    if (fault.empty() && Stored(devmode)) {
      job = good_;
      fault = CheckPdevs(job, "with the damaged devmode stored: ");
      if (fault.empty()) fault = CheckApplication();
      if (fault.empty()) fault = Unchanged(devmode, "after the stored devmode was used");
    }
    Stored(good_);
    return fault;
  }

 private:
  template <class P>
  static P Proc(HMODULE module, const char* name) {
    return reinterpret_cast<P>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  }

  DHPDEV Enable(std::vector<BYTE>* devmode, GDIINFO* gdi) {
    HSURF patterns[HS_DDI_MAX] = {};
    DEVINFO info{};
    *gdi = GDIINFO{};
    return enablePdev_(devmode ? reinterpret_cast<DEVMODEW*>(devmode->data()) : nullptr, nullptr, HS_DDI_MAX, patterns,
                       sizeof *gdi, reinterpret_cast<ULONG*>(gdi), sizeof info, &info, hdev_, nullptr, printer_);
  }

  // DrvEnablePDEV with the devmode, then a reset from a PDEV of the printer's own devmode to it.
  std::string CheckPdevs(std::vector<BYTE>& devmode, const std::string& when = {}) {
    GDIINFO gdi{};
    const std::vector<BYTE> given = devmode;
    DHPDEV pdev = Enable(&devmode, &gdi);
    std::string fault = pdev ? GdiInfoFault(gdi) : std::string();
    if (devmode != given) fault = "DrvEnablePDEV wrote into the caller's devmode";
    if (!fault.empty()) fault = when + "DrvEnablePDEV: " + fault;
    GDIINFO first{};
    DHPDEV old = Enable(nullptr, &first);
    if (fault.empty() && !old) fault = when + "DrvEnablePDEV refused the printer's own devmode";
    if (old && pdev) resetPdev_(old, pdev);
    if (pdev) disablePdev_(pdev);
    if (old) disablePdev_(old);
    return fault;
  }

  std::string CheckApplication() {
    const std::string name = platform::Utf16ToUtf8(printerName_);
    VELMAPICONTEXT context = apiEnable_(name.c_str());
    if (!context) return "VELMDrvEnable refused a printer whose stored devmode is damaged";
    std::string fault;
    for (uint32_t mode : {1u, 2u, 4u}) {
      std::vector<BYTE> out(kDevmodeBytes + 8, 0xCC);
      const int32_t size = apiDevmode_(context, mode, out.data());
      if (size == -1) continue;
      if (size != int32_t(kDevmodeBytes) || out[kDevmodeBytes] != 0xCC) {
        fault = "VELMDrvGetDevmode mode " + std::to_string(mode) + " answered " + std::to_string(size);
      } else if (std::string what = DevmodeFault(out.data()); !what.empty()) {
        fault = "VELMDrvGetDevmode mode " + std::to_string(mode) + ": " + what;
      }
      if (!fault.empty()) break;
    }
    apiDisable_(context);
    return fault;
  }

  bool Stored(const std::vector<BYTE>& devmode) {
    return platform::UpdateSpoolPrinter(printerName_, [&](platform::SpoolPrinter& p) {
             p.devmode.assign(devmode.begin(), devmode.end());
           }) == ERROR_SUCCESS;
  }

  std::string Unchanged(const std::vector<BYTE>& devmode, const char* when) {
    const auto stored = platform::FindSpoolPrinter(printerName_);
    if (!stored || stored->devmode != std::string(devmode.begin(), devmode.end()))
      return std::string("the stored devmode changed ") + when;
    return {};
  }

  std::u16string printerName_;
  HMODULE graphics_ = nullptr;
  HMODULE queries_ = nullptr;
  PFN_DrvEnablePDEV enablePdev_ = nullptr;
  PFN_DrvDisablePDEV disablePdev_ = nullptr;
  PFN_DrvResetPDEV resetPdev_ = nullptr;
  VELMDrvEnableProc apiEnable_ = nullptr;
  VELMDrvDisableProc apiDisable_ = nullptr;
  VELMDrvGetDevmodeProc apiDevmode_ = nullptr;
  HDEV hdev_ = nullptr;
  HANDLE printer_ = nullptr;
  std::vector<BYTE> good_;
};

}  // namespace velm::fuzz
