// Replays the escape fuzz target's corpus as ordinary test cases, and checks the line rule the
// target holds every job's PJL to.
#include <filesystem>

#include "fuzz/escape_calls.h"
#include "printer_fixture.h"

namespace velm::tools {
namespace {

class EscapeCorpusTest : public PrinterTest {};

TEST_F(EscapeCorpusTest, EveryInputPrintsADecodableJobWithWholePjlLines) {
  const std::filesystem::path corpus = test::SourceDir() / "fuzz" / "corpus" / "escape";
  size_t inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    const std::string bytes = test::ReadHostFile(entry.path());
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_EQ(fuzz::CheckEscapeJob(printer_, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), "");
    ++inputs;
  }
  EXPECT_GE(inputs, 10u);
}

TEST(EscapeCallsTest, InputsBecomeEscapeLinesAndLinesAreJudgedWhole) {
  const uint8_t calls[] = {9, 4, 2, 'A', '"', 3, 0, 0, 24, 1, 5, 'x'};
  EXPECT_EQ(fuzz::EscapePages(calls, sizeof calls),
            "escape 115 4122 out=4\nescape 20 out=0\nescape 4096 78 out=1\n"
            "fill 0 0 5 5 red\nreset\npage\nfill 0 0 5 5 blue\n");
  const struct {
    const char* text;
    const char* broken;
  } cases[] = {
      {"\x1b%-12345X@PJL \r\n@PJL SET USERID = \"A B\" \r\n", ""},
      {"@PJL SET USERID = \"A\"B\" \r\n", "@PJL SET USERID = \"A\"B\" "},
      {"@PJL SET USERID = \"A\r\n@PJL SET X = 1\" \r\n", "@PJL SET USERID = \"A"},
      {"@PJL SET USERID = \"A @PJL X\" \r\n", ""},  // a command's text inside quotes is text
      {"@PJL SET USERID = \"A\x01\" \r\n", "@PJL SET USERID = \"A\x01\" "},
      {"SET X \r\n", "SET X "},
  };
  for (const auto& c : cases) EXPECT_EQ(fuzz::BrokenPjlLine(c.text), c.broken) << c.text;
}

}  // namespace
}  // namespace velm::tools
