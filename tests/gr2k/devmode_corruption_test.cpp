// Damaged devmodes through DrvEnablePDEV, DrvResetPDEV, the printer's stored devmode and the
// application interface, the driver's libraries loaded from the machine root: a fixed run of the
// corruptions the fuzz target explores at length.
#include "fuzz/devmode_corruption.h"

#include <gtest/gtest.h>

#include "machine_setup.h"
#include "print_command.h"
#include "settings/context/cache.h"
#include "settings/context/process_state.h"
#include "support/temp_root.h"

namespace velm::test {
namespace {

class DevmodeCorruptionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(tools::InstallDriver({ModuleDir(), {}}, &error)) << error;
    ASSERT_TRUE(tools::AddPrinter({}, &error)) << error;
    SysLibraryAttach(nullptr);
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(tools::kDefaultPrinterName.data()), &printer, nullptr));
    std::vector<BYTE> good;
    ASSERT_TRUE(tools::BuildJobDevmode(printer, {}, &good, &error)) << error;
    ClosePrinter(printer);
    ASSERT_EQ(machine_.SetUp(tools::kDefaultPrinterName.data(), good), "");
  }
  void TearDown() override {
    CtxFlushCache(1);
    SysLibraryDetach();
  }
  TempMachineRoot root_;
  fuzz::DevmodeCorruptionMachine machine_;
};

TEST_F(DevmodeCorruptionTest, EveryDamageIsAnsweredSanelyAndLeavesTheStoredDevmode) {
  EXPECT_EQ(machine_.Check(machine_.Good()), "");
  for (uint32_t seed = 1; seed <= 150; ++seed) {
    const std::vector<BYTE> damaged = fuzz::CorruptDevmode(machine_.Good(), seed);
    EXPECT_EQ(machine_.Check(damaged), "") << "seed " << seed;
  }
}

// The faults the corruptor found, each on its own: a stored devmode's public fields handed out
// unchecked, and a page of zero width from a custom size.
TEST_F(DevmodeCorruptionTest, StoredFieldsAndCustomSizesThatFoundFaults) {
  struct Damage {
    size_t at;
    SHORT value;
  };
  const Damage damages[] = {{92, 2050}, {76, 0}, {76, 3}, {86, -8703}};  // dmColor, dmOrientation, dmCopies
  for (const Damage& damage : damages) {
    std::vector<BYTE> devmode = machine_.Good();
    fuzz::StoreWord(devmode, damage.at, WORD(damage.value));
    EXPECT_EQ(machine_.Check(devmode), "") << "offset " << damage.at << " = " << damage.value;
  }
  // Only the paper's length and width marked, the width 0.1 mm.
  std::vector<BYTE> custom = machine_.Good();
  const DWORD fields = DM_PAPERLENGTH | DM_PAPERWIDTH;
  std::memcpy(custom.data() + 72, &fields, 4);
  fuzz::StoreWord(custom, 82, 1);
  EXPECT_EQ(machine_.Check(custom), "");
}

}  // namespace
}  // namespace velm::test
