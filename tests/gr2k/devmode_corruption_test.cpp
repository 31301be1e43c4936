// Damaged devmodes through DrvEnablePDEV, DrvResetPDEV, the printer's stored devmode and the
// application interface, the driver's libraries loaded from the machine root: a fixed run of the
// corruptions the fuzz target explores at length.
#include "fuzz/devmode_corruption.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "core/memory.h"
#include "machine_setup.h"
#include "print_command.h"
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
    ASSERT_TRUE(tools::BuildJobDevmode(printer, {}, &good_, &error)) << error;
    ClosePrinter(printer);
    ASSERT_EQ(machine_.emplace().SetUp(tools::kDefaultPrinterName.data(), good_), "");
  }
  void TearDown() override { SysLibraryDetach(); }
  TempMachineRoot root_;
  std::vector<BYTE> good_;
  std::optional<fuzz::DevmodeCorruptionMachine> machine_;
};

TEST_F(DevmodeCorruptionTest, EveryDamageIsAnsweredSanelyAndLeavesTheStoredDevmode) {
  EXPECT_EQ(machine_->Check(machine_->Good()), "");
  for (uint32_t seed = 1; seed <= 150; ++seed) {
    const std::vector<BYTE> damaged = fuzz::CorruptDevmode(machine_->Good(), seed);
    EXPECT_EQ(machine_->Check(damaged), "") << "seed " << seed;
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
    std::vector<BYTE> devmode = machine_->Good();
    fuzz::StoreWord(devmode, damage.at, WORD(damage.value));
    EXPECT_EQ(machine_->Check(devmode), "") << "offset " << damage.at << " = " << damage.value;
  }
  // Only the paper's length and width marked, the width 0.1 mm.
  std::vector<BYTE> custom = machine_->Good();
  const DWORD fields = DM_PAPERLENGTH | DM_PAPERWIDTH;
  std::memcpy(custom.data() + 72, &fields, 4);
  fuzz::StoreWord(custom, 82, 1);
  EXPECT_EQ(machine_->Check(custom), "");
}

// The contexts a library caches when a PDEV or an application context is done hold font blocks;
// freeing the libraries must destroy them, and nothing the damaged devmodes went through may be
// left allocated once they are gone.
TEST_F(DevmodeCorruptionTest, FreedLibrariesLeaveNothingAllocated) {
  machine_.reset();
  const uint64_t live = platform::LiveAllocationCount();
  {
    fuzz::DevmodeCorruptionMachine machine;
    ASSERT_EQ(machine.SetUp(tools::kDefaultPrinterName.data(), good_), "");
    for (uint32_t seed = 1; seed <= 10; ++seed) EXPECT_EQ(machine.Check(fuzz::CorruptDevmode(good_, seed)), "");
  }
  EXPECT_EQ(platform::LiveAllocationCount(), live);
}

}  // namespace
// The fuzz target's seeds, taken as the target takes them.
TEST_F(DevmodeCorruptionTest, TheFuzzSeedsAreAnsweredSanely) {
  size_t seeds = 0;
  for (const auto& entry : std::filesystem::directory_iterator(SourceDir() / "fuzz" / "corpus" / "devmode_corruption")) {
    const std::string bytes = ReadHostFile(entry.path());
    const std::vector<BYTE> devmode =
        fuzz::DevmodeFromInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ASSERT_FALSE(devmode.empty()) << entry.path();
    EXPECT_EQ(machine_->Check(devmode), "") << entry.path().filename();
    ++seeds;
  }
  EXPECT_GE(seeds, 10u);
}

}  // namespace velm::test
