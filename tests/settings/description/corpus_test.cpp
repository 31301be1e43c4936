// Replays the description fuzz target's corpus, so the inputs the fuzzer keeps are parsed in
// every ordinary build (and under the sanitizers of the asan preset).
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/description/description_fixture.h"
#include "fuzz/description_invariants.h"
#include "support/temp_root.h"

namespace {

using velm::test::ParseDescription;

TEST(DescriptionCorpusTest, EveryCorpusFileParsesToASoundResult) {
  const std::filesystem::path folder = velm::test::SourceDir() / "fuzz" / "corpus" / "description";
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 10u) << folder;
  for (const auto& file : files) {
    const std::string bytes = velm::test::ReadHostFile(file);
    for (const bool doubleByte : {false, true}) {
      const auto result = ParseDescription(bytes, doubleByte);
      // Text in memory always parses: only a lack of memory ends a parse without a result.
      ASSERT_TRUE(result) << file;
      EXPECT_TRUE(velm::fuzz::ResultHolds(*result)) << file << (doubleByte ? " (double-byte)" : "");
    }
  }
}

// Every prefix of a description: statements cut anywhere, values left open. Each prefix sits in
// a block of its own size, so a read past its end is a read past the block.
TEST(DescriptionCorpusTest, EveryPrefixOfTheSkeletonParses) {
  const std::string bytes =
      velm::test::ReadHostFile(velm::test::SourceDir() / "fuzz" / "corpus" / "description" / "skeleton.dsc");
  ASSERT_FALSE(bytes.empty());
  for (size_t size = 0; size <= bytes.size(); ++size) {
    const std::unique_ptr<char[]> prefix(new char[size ? size : 1]);
    std::copy_n(bytes.data(), size, prefix.get());
    const auto result = ParseDescription(std::string_view(prefix.get(), size));
    ASSERT_TRUE(result) << size;
    ASSERT_TRUE(velm::fuzz::ResultHolds(*result)) << size;
  }
}

}  // namespace
