// Whole-file replacement: the old file or the new one, never a mix, and nothing left behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/host_file.h"
#include "core/winerror.h"
#include "support/temp_root.h"

namespace velm::test {
namespace {

namespace fs = std::filesystem;

size_t EntriesIn(const fs::path& folder) {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++count;
  return count;
}

TEST(HostFileTest, ReplacementIsWholeAndLeavesNoTemporaryFile) {
  TempMachineRoot root;
  const fs::path folder = root.path() / "out";
  fs::create_directories(folder);
  const fs::path file = folder / "picture.png";
  WriteHostFile(file, "old");
  ASSERT_EQ(platform::ReplaceWholeFile(file, std::string("\x01\x02\x03", 3)), ERROR_SUCCESS);
  EXPECT_EQ(ReadHostFile(file), std::string("\x01\x02\x03", 3));
  EXPECT_EQ(EntriesIn(folder), 1u);

  const fs::path missing = root.path() / "no" / "such" / "folder" / "x.png";
  EXPECT_EQ(platform::ReplaceWholeFile(missing, "x"), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(fs::exists(missing.parent_path()));
}

TEST(HostFileTest, ABareNameIsWrittenInTheCurrentFolder) {
  TempMachineRoot root;
  const fs::path before = fs::current_path();
  fs::current_path(root.path());
  const DWORD error = platform::ReplaceWholeFile("demo.job", "job");
  fs::current_path(before);
  ASSERT_EQ(error, ERROR_SUCCESS);
  EXPECT_EQ(ReadHostFile(root.path() / "demo.job"), "job");
}

// A copy handed to a user outlives its source and replaces what stood under its name; a source
// that cannot be opened leaves that file as it was.
TEST(HostFileTest, ACopyOutlivesItsSourceAndReplacesTheOldFile) {
  TempMachineRoot root;
  const fs::path folder = root.path() / "out";
  fs::create_directories(folder);
  const fs::path source = root.path() / "spooled.bin", file = folder / "job.bin";
  WriteHostFile(source, std::string(200000, 'j'));
  WriteHostFile(file, "old");
  ASSERT_EQ(platform::ReplaceFileWithCopy(file, source), ERROR_SUCCESS);
  fs::remove(source);
  EXPECT_EQ(ReadHostFile(file), std::string(200000, 'j'));
  EXPECT_EQ(EntriesIn(folder), 1u);

  EXPECT_EQ(platform::ReplaceFileWithCopy(file, source), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ReadHostFile(file), std::string(200000, 'j'));
  EXPECT_EQ(EntriesIn(folder), 1u);
  EXPECT_EQ(platform::ReplaceFileWithCopy(root.path() / "no" / "x.bin", file), ERROR_PATH_NOT_FOUND);
}

}  // namespace
}  // namespace velm::test
