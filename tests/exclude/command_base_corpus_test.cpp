// Replays the command-base fuzz target's corpus as ordinary test cases, on one session, each
// input after the one before.
#include <filesystem>

#include "exc_fixture.h"
#include "fuzz/command_base_fuzz.h"

namespace velm::test {
namespace {

class CommandBaseCorpusTest : public ExcTest {};

TEST_F(CommandBaseCorpusTest, EveryInputLeavesWholeBlocksAndADocumentedResult) {
  EXCSESSION s = Session();
  ASSERT_NE(s, nullptr);
  const std::filesystem::path corpus = SourceDir() / "fuzz" / "corpus" / "command_base";
  size_t inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    const std::string bytes = ReadHostFile(entry.path());
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_EQ(fuzz::CheckCommandBase(s, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), "");
    ++inputs;
  }
  EXPECT_GE(inputs, 7u);
}

}  // namespace
}  // namespace velm::test
