// Application contexts: what enable refuses, what an enabled context holds (a name, no handle),
// and that enable and disable, with devmodes fetched between them, leave nothing behind.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "api_fixture.h"
#include "core/handles.h"
#include "settings/job_credentials.h"

namespace velm::test {
namespace {

class ApiContextsTest : public ApiTest {};

// Kernel handles (printers, files, mutexes) opened after `before` and still open.
std::vector<uintptr_t> HandlesOpenSince(HANDLE before, HANDLE after) {
  std::vector<uintptr_t> open;
  for (uintptr_t h = reinterpret_cast<uintptr_t>(before) + 4; h < reinterpret_cast<uintptr_t>(after); h += 4)
    if (platform::LookupHandle(reinterpret_cast<HANDLE>(h))) open.push_back(h);
  return open;
}
// A handle value from the kernel's counter, closed again at once.
HANDLE HandleMark() {
  HANDLE h = nullptr;
  EXPECT_TRUE(OpenPrinterW(u"Velm Printer", &h, nullptr));
  ClosePrinter(h);
  return h;
}

TEST_F(ApiContextsTest, EnableRefusesWhatNamesNoPrinter) {
  LoadModule();
  SetLastError(0);
  EXPECT_EQ(api_.enable(nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(api_.enable(""), nullptr);
  EXPECT_EQ(api_.enable("No Such Printer"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);
  // 260 characters are a name; one more is refused, never cut to one that may name a printer.
  std::string name(kApiNameChars, 'x');
  EXPECT_EQ(api_.enable(name.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  name.pop_back();
  EXPECT_EQ(api_.enable(name.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);
  // A printer whose driver has no model description gives no context either.
  std::filesystem::remove(root_.OnDriveC("Windows/System32/spool/drivers/w32x86/3/qnvelm.dsc"));
  EXPECT_EQ(api_.enable(kPrinter), nullptr);
  EXPECT_EQ(api_.disable(nullptr), 1);
}

TEST_F(ApiContextsTest, EnabledContextKeepsTheNameAndNoHandle) {
  ASSERT_TRUE(platform::SetMachineSetting("os", "xp"));
  DriverContext* context = ApiEnable(kPrinter);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(context->printer, nullptr);
  EXPECT_EQ(context->callerValue, 0u);
  EXPECT_EQ(std::u16string(context->work->printerName), u"Velm Printer");
  EXPECT_EQ(context->work->creationFlags & kCreateApplication, kCreateApplication);
  EXPECT_EQ(OptGetValue(context, 716), 2u);  // vdmOSKind: NT 5 and later

  const ApiLockSnapshot* locks = ApiGetLockSnapshot(context);
  ASSERT_NE(locks, nullptr);
  const ApiLockSnapshot zero{};
  EXPECT_EQ(std::memcmp(locks, &zero, sizeof zero), 0);

  // A call reopens the printer and gives the handle back; the context again holds none.
  EXPECT_EQ(ApiGetDevmode(context, kApiModeRederived, nullptr), static_cast<LONG>(kDmSize));
  EXPECT_EQ(context->printer, nullptr);
  EXPECT_EQ(context->callerValue, 0u);
  ApiDisable(context);
  ApiDisable(nullptr);

  ASSERT_TRUE(platform::SetMachineSetting("os", "nt4"));
  context = ApiEnable(kPrinter);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(OptGetValue(context, 716), 1u);
  ApiDisable(context);
}

TEST_F(ApiContextsTest, ContextWithItsOwnHandleKeepsIt) {
  // A constraint-query context holds the handle it was opened on; a devmode call that reopens the
  // printer by name hands that handle back, not the one it closed.
  HANDLE printer = Open();
  DriverContext* context = CtxCreate(printer, reinterpret_cast<ULONG_PTR>(printer), 0x100000);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(ApiGetDevmode(context, kApiModeCurrent, nullptr), static_cast<LONG>(kDmSize));
  EXPECT_EQ(context->printer, printer);
  EXPECT_EQ(context->callerValue, reinterpret_cast<ULONG_PTR>(printer));
  DWORD size = 0;
  EXPECT_FALSE(GetPrinterW(printer, 2, nullptr, 0, &size));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER) << "the context's own handle was closed";
  CtxDestroyEx(context, kReleaseDestroy);
}

TEST_F(ApiContextsTest, EnableAndDisableLeaveNothingOpen) {
  LoadModule();
  // The first pair loads the model description and opens the settings mutex, which stay.
  VELMAPICONTEXT warm = api_.enable(kPrinter);
  ASSERT_NE(warm, nullptr);
  ASSERT_EQ(api_.getDevmode(warm, 2, nullptr), static_cast<int32_t>(kDmSize));
  api_.disable(warm);

  const uint64_t live = platform::LiveAllocationCount();
  const HANDLE before = HandleMark();
  for (int round = 0; round < 3; ++round) {
    VELMAPICONTEXT first = api_.enable(kPrinter);
    VELMAPICONTEXT second = api_.enable(kPrinter);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    for (uint32_t mode : {1u, 17u, 2u, 18u, 4u}) {
      EXPECT_FALSE(ModuleDevmode(first, mode).empty()) << mode;
      EXPECT_EQ(api_.getDevmode(second, mode, nullptr), static_cast<int32_t>(kDmSize)) << mode;
    }
    EXPECT_EQ(GetModuleHandleW((kDriverFolder + u"qnjobcr.dll").c_str()), nullptr) << "the service stayed loaded";
    EXPECT_EQ(api_.disable(second), 1);
    EXPECT_EQ(api_.disable(first), 1);
    EXPECT_EQ(platform::LiveAllocationCount(), live) << "round " << round;
  }
  const HANDLE after = HandleMark();
  EXPECT_EQ(HandlesOpenSince(before, after), std::vector<uintptr_t>{});
}

TEST_F(ApiContextsTest, EnableFailingAtAnyAllocationLeavesNothingAndLosesOnlyTheLockSnapshot) {
  // Everything that stays loaded for the process is loaded before counting.
  ApiDisable(ApiEnable(kPrinter));
  const uint64_t live = platform::LiveAllocationCount();
  bool lostSnapshot = false;
  for (uint64_t n = 1;; ++n) {
    const uint64_t start = platform::AllocationCount();
    platform::SetAllocationFault(n);
    DriverContext* context = ApiEnable(kPrinter);
    const bool faultReached = platform::AllocationCount() - start >= n;
    platform::SetAllocationFault(0);
    if (context && !ApiGetLockSnapshot(context)) {
      lostSnapshot = true;
      EXPECT_EQ(ApiGetDevmode(context, kApiModeRederived, nullptr), static_cast<LONG>(kDmSize));
    }
    ApiDisable(context);
    EXPECT_EQ(platform::LiveAllocationCount(), live) << "allocation " << n;
    if (!faultReached) break;
    ASSERT_LT(n, 10000u);
  }
  EXPECT_TRUE(lostSnapshot);
}

}  // namespace
}  // namespace velm::test
