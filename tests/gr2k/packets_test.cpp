// Packets: the 8-byte header and the PJL packets, each written in one piece.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gr2k/packets.h"
#include "stream_harness.h"

namespace {

using velm::test::StreamHarness;
using Bytes = std::vector<uint8_t>;

// A template builder over fixed text; can fail when measuring or when writing, or write less.
struct TextBuilder {
  std::string text;
  bool failMeasure = false;
  bool failWrite = false;
  size_t writeShort = 0;
  int calls = 0;

  static int Build(void* context, char* buffer, DWORD capacity, DWORD* length) {
    auto* self = static_cast<TextBuilder*>(context);
    ++self->calls;
    if (!buffer) {
      *length = static_cast<DWORD>(self->text.size());
      return self->failMeasure ? -1 : 1;
    }
    if (self->failWrite) return -1;
    const size_t n = self->text.size() - self->writeShort;
    if (n > capacity) return -1;
    self->text.copy(buffer, n);
    if (n < capacity) buffer[n] = '\0';  // a builder may terminate; the body must not carry it
    *length = static_cast<DWORD>(n);
    return 0;
  }
};

TEST(PacketsTest, HeaderIsTypeThreeZerosAndBodyLength) {
  BYTE header[8];
  std::memset(header, 0xEE, sizeof(header));
  PacketWriteHeader(header, 0xF4, 0x01020304);
  EXPECT_EQ(Bytes(header, header + 8), (Bytes{0xF4, 0, 0, 0, 0x04, 0x03, 0x02, 0x01}));
}

TEST(PacketsTest, PageStartIsItsTextThenAnEmptyPacket) {
  StreamHarness h;
  TextBuilder builder{"@PJL\r\n"};
  ASSERT_TRUE(PjlEmitPageStart(h.stream(), &TextBuilder::Build, &builder));
  EXPECT_EQ(h.output.bytes, (Bytes{0xF4, 0, 0, 0, 6, 0, 0, 0, '@', 'P', 'J', 'L', '\r', '\n',
                                  0xF0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(h.output.calls, (std::vector<DWORD>{14, 8}));  // header and text in one write
  EXPECT_EQ(builder.calls, 2);
  EXPECT_TRUE(h.allocator.live.empty());
  ASSERT_EQ(h.allocator.sizes.size(), 1u);
  EXPECT_EQ(h.allocator.sizes[0], 8u + 6 + 4);
}

TEST(PacketsTest, JobStartAndPageEndTypes) {
  StreamHarness h;
  TextBuilder builder{"X"};
  ASSERT_TRUE(PjlEmitJobStart(h.stream(), &TextBuilder::Build, &builder));
  ASSERT_TRUE(PjlEmitPageEnd(h.stream(), &TextBuilder::Build, &builder));
  ASSERT_TRUE(PjlEmitText(h.stream(), 0xF3, "@PJL SET JOBNAME = \"a\"\r\n", 24));
  ASSERT_EQ(h.output.bytes.size(), 9u + 9 + 32);
  EXPECT_EQ(h.output.bytes[0], 0xF3);
  EXPECT_EQ(h.output.bytes[9], 0xF1);
  EXPECT_EQ(h.output.bytes[18], 0xF3);
  EXPECT_EQ(h.output.bytes[22], 24);
}

TEST(PacketsTest, BuilderFailuresSendNothingAndFreeTheBuffer) {
  StreamHarness h;
  TextBuilder measure{"abc", true};
  EXPECT_FALSE(PjlEmitPageStart(h.stream(), &TextBuilder::Build, &measure));
  TextBuilder write{"abc", false, true};
  EXPECT_FALSE(PjlEmitJobStart(h.stream(), &TextBuilder::Build, &write));
  EXPECT_FALSE(PjlEmitJobStart(h.stream(), nullptr, nullptr));
  EXPECT_TRUE(h.output.calls.empty());
  EXPECT_TRUE(h.allocator.live.empty());
  h.allocator.failFrom = 0;
  TextBuilder fine{"abc"};
  EXPECT_FALSE(PjlEmitPageEnd(h.stream(), &TextBuilder::Build, &fine));
  EXPECT_FALSE(PjlEmitText(h.stream(), 0xF3, "abc", 3));
  EXPECT_TRUE(h.output.calls.empty());
  EXPECT_EQ(h.flags, 0u);
}

TEST(PacketsTest, BuilderThatWritesLessSendsOnlyWhatItWrote) {
  StreamHarness h;
  TextBuilder builder{"@PJL ENTER\r\n"};
  builder.writeShort = 2;
  ASSERT_TRUE(PjlEmitPageEnd(h.stream(), &TextBuilder::Build, &builder));
  EXPECT_EQ(h.output.bytes, (Bytes{0xF1, 0, 0, 0, 10, 0, 0, 0, '@', 'P', 'J', 'L', ' ', 'E', 'N', 'T', 'E', 'R'}));
}

TEST(PacketsTest, FailedPacketWriteAborts) {
  StreamHarness h;
  h.output.failCall = 1;  // the empty packet behind the page-start text
  TextBuilder builder{"@PJL\r\n"};
  EXPECT_FALSE(PjlEmitPageStart(h.stream(), &TextBuilder::Build, &builder));
  EXPECT_EQ(h.flags, kPdevFlagAbort);
  EXPECT_TRUE(h.allocator.live.empty());
}

}  // namespace
