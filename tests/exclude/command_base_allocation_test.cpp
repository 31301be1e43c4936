// A constraint-query base with each of its allocations failing in turn: the export answers a
// failure or the whole base, never throws, and the session stays usable.
#include "core/memory.h"
#include "exc_fixture.h"

namespace velm::test {
namespace {

class CommandBaseAllocationTest : public ExcTest {};

TEST_F(CommandBaseAllocationTest, EachFailedAllocationFailsTheBaseOrLeavesItWhole) {
  const std::string block = kRequiredLines + SetLine("COPIES", "3") + SetLine("DUPLEX", "ON");
  EXCSESSION whole = Session();
  ASSERT_NE(whole, nullptr);
  const uint64_t before = platform::AllocationCount();
  const int32_t expected = ApplyBase(whole, block);
  const uint64_t total = platform::AllocationCount() - before;
  ASSERT_GE(expected, kExcDone);
  const std::string expectedBase = Base(whole);
  Close(whole);

  int failed = 0;
  for (uint64_t n = 1; n <= total; ++n) {
    EXCSESSION s = Session();
    ASSERT_NE(s, nullptr);
    uint32_t size = 0;
    int32_t result = kExcFailed;
    platform::SetAllocationFault(n);
    EXPECT_NO_THROW(result = ExcSetCommandBase(s, block.c_str(), &size)) << "allocation " << n;
    platform::SetAllocationFault(0);
    if (result == kExcFailed) {
      ++failed;
    } else {
      EXPECT_EQ(result, expected) << "allocation " << n;
      EXPECT_EQ(Base(s), expectedBase) << "allocation " << n;
    }
    // With memory again the same session takes the base.
    EXPECT_EQ(ApplyBase(s, block), expected) << "allocation " << n;
    EXPECT_EQ(Base(s), expectedBase) << "allocation " << n;
    Close(s);
  }
  EXPECT_GT(failed, 0);
}

}  // namespace
}  // namespace velm::test
