// Replays the decimal parser fuzz target's corpus as ordinary test cases.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/decimal_parse_fuzz.h"
#include "support/temp_root.h"

namespace {

TEST(DecimalParseCorpusTest, EveryCorpusInputParsesToANonNegativeNumberThatRoundTrips) {
  const std::filesystem::path corpus = velm::test::SourceDir() / "fuzz" / "corpus" / "decimal_parse";
  size_t inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    const std::string bytes = velm::test::ReadHostFile(entry.path());
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_EQ(velm::fuzz::CheckDecimalParse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), "");
    ++inputs;
  }
  EXPECT_GE(inputs, 8u);
}

}  // namespace
