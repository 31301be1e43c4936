// Replays the devmode merge fuzz target's corpus as ordinary test cases.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/merge_fuzz.h"
#include "settings/devmode/record_build_fixture.h"

namespace {

TEST_F(RecordBuildTest, EveryMergeCorpusInputKeepsTheRecordTheDriversOwn) {
  DriverContext* c = Build(Open(), kKindModelDefaults);
  const SettingsRecord start = *c->settings;
  const std::filesystem::path corpus = velm::test::SourceDir() / "fuzz" / "corpus" / "merge";
  size_t inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    const std::string bytes = velm::test::ReadHostFile(entry.path());
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_EQ(velm::fuzz::CheckMerge(c, start, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), "");
    ++inputs;
  }
  EXPECT_GE(inputs, 12u);
}

}  // namespace
