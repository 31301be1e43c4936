// The chunked command stream: where chunks start, how big they are, when the stream flushes by
// itself, how writes are cut for the output library, and the abort rule.
#include <vector>

#include <gtest/gtest.h>

#include "gr2k/command_stream.h"
#include "gr2k/velm_records.h"
#include "stream_harness.h"

namespace {

using velm::test::StreamHarness;

constexpr SIZE_T kChunkHeader = sizeof(StreamChunk);

// Data packets as {length} in the order they were written.
std::vector<uint32_t> DataPackets(const std::vector<uint8_t>& bytes) {
  std::vector<uint32_t> lengths;
  for (size_t at = 0; at + 8 <= bytes.size();) {
    const uint32_t length = bytes[at + 4] | (bytes[at + 5] << 8) | (bytes[at + 6] << 16) | (uint32_t{bytes[at + 7]} << 24);
    EXPECT_EQ(bytes[at], 0xF5);
    lengths.push_back(length);
    at += 8 + length;
  }
  return lengths;
}

TEST(CommandStreamTest, RecordOfExactlyTheFreeBytesStartsANewChunk) {
  StreamHarness h;
  BYTE* first = StrmReserve(h.stream(), 100);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, h.stream()->firstData);

  // 10140 bytes are free in the inline chunk: 10139 fit, 10140 need one byte to spare.
  BYTE* fits = StrmReserve(h.stream(), 10139);
  EXPECT_EQ(fits, first + 100);
  EXPECT_TRUE(h.allocator.sizes.empty());
  BYTE* next = StrmReserve(h.stream(), 1);
  ASSERT_NE(next, nullptr);
  ASSERT_EQ(h.allocator.sizes.size(), 1u);
  EXPECT_EQ(h.allocator.sizes[0], kChunkHeader + 10240);

  StreamHarness fresh;
  ASSERT_NE(StrmReserve(fresh.stream(), 10240), nullptr);  // a whole chunk never fits the inline one
  ASSERT_EQ(fresh.allocator.sizes.size(), 1u);
  EXPECT_EQ(fresh.allocator.sizes[0], kChunkHeader + 10240);
  EXPECT_EQ(fresh.stream()->head, &fresh.stream()->first);
  EXPECT_EQ(fresh.stream()->first.write, fresh.stream()->firstData);  // left empty
}

TEST(CommandStreamTest, EveryChunkLeavesAsAPacketEvenAnEmptyOne) {
  StreamHarness h;
  ASSERT_NE(StrmReserve(h.stream(), 10240), nullptr);  // passes over the empty inline chunk
  ASSERT_TRUE(StrmFlush(h.stream()));
  const std::vector<uint8_t> header{0xF5, 0, 0, 0, 0, 0, 0, 0};
  ASSERT_GE(h.output.bytes.size(), 8u);
  EXPECT_EQ(std::vector<uint8_t>(h.output.bytes.begin(), h.output.bytes.begin() + 8), header);
  EXPECT_EQ(DataPackets(h.output.bytes), (std::vector<uint32_t>{0, 10240}));
}

TEST(CommandStreamTest, NewChunkDataAreaIsTheRequestRoundedUpToWholeChunks) {
  const struct {
    DWORD request;
    SIZE_T data;
  } cases[] = {{30000, 30720}, {10241, 20480}, {20480, 20480}, {20481, 30720}, {0x100000, 1054720}};
  for (const auto& c : cases) {
    StreamHarness h;
    BYTE* record = StrmReserve(h.stream(), c.request);
    ASSERT_NE(record, nullptr) << c.request;
    ASSERT_EQ(h.allocator.sizes.size(), 1u);
    EXPECT_EQ(h.allocator.sizes[0] - kChunkHeader, c.data) << c.request;
    EXPECT_EQ(static_cast<SIZE_T>(h.stream()->tail->end - record), c.data) << c.request;
    EXPECT_EQ(h.stream()->bytesBuffered, c.request);
    EXPECT_EQ(h.stream()->recordsBuffered, 1u);
  }
}

TEST(CommandStreamTest, FlushesBeforeGrowingOnlyAboveOneMegabyte) {
  StreamHarness h;
  // Exactly 0x100000 buffered in a chunk of 1054720 bytes, 6144 of them free.
  ASSERT_NE(StrmReserve(h.stream(), 0x100000), nullptr);
  ASSERT_NE(StrmReserve(h.stream(), 6144), nullptr);  // needs a chunk; 0x100000 is not above the limit
  EXPECT_TRUE(h.output.bytes.empty());
  EXPECT_EQ(h.stream()->bytesBuffered, 0x100000u + 6144);

  // Above the limit, a request that still fits does not flush...
  ASSERT_NE(StrmReserve(h.stream(), 4095), nullptr);
  EXPECT_TRUE(h.output.bytes.empty());
  // ...one that needs a chunk does, before it takes the new chunk.
  BYTE* after = StrmReserve(h.stream(), 2);
  ASSERT_NE(after, nullptr);
  // The inline chunk, passed over by the first request, leaves as an empty packet.
  EXPECT_EQ(DataPackets(h.output.bytes), (std::vector<uint32_t>{0, 0x100000, 6144 + 4095}));
  EXPECT_EQ(h.stream()->bytesBuffered, 2u);
  EXPECT_EQ(h.stream()->recordsBuffered, 1u);
  EXPECT_EQ(h.allocator.live.size(), 1u);  // the chunk taken after the flush
}

TEST(CommandStreamTest, LongPageLeavesInGroupsOfOnePacketPerChunk) {
  StreamHarness h;
  ASSERT_NE(StrmEmitPageStart(h.stream(), 4960, 7016, 600, 600), nullptr);
  constexpr int kRops = 300000;  // 1.2 MB of 4-byte records
  for (int i = 0; i < kRops; ++i) ASSERT_NE(StrmEmitRop(h.stream(), i & 0xFF), nullptr);
  // A full chunk holds 10236 bytes: a 4-byte record needs one byte to spare. The stream flushes
  // when the 104th chunk is needed: 103 * 10236 bytes are the first amount above 0x100000.
  EXPECT_EQ(h.output.bytes.size(), 103u * (8 + 10236));
  ASSERT_NE(StrmEmitPageEnd(h.stream()), nullptr);

  std::string error;
  const auto records = h.FlushedRecords(&error);
  EXPECT_EQ(error, "");
  ASSERT_EQ(records.size(), kRops + 2u);
  EXPECT_EQ(records.front().opcode, 0x60);
  EXPECT_EQ(records.back().opcode, 0x61);
  EXPECT_EQ(records[1 + 12345].Get("rop"), 12345 & 0xFF);

  // Every chunk is its own packet carrying exactly its used bytes; only the last is not full.
  // The inline chunk, left empty after the flush by the chunk that the flushing request takes,
  // leaves as the empty packet of the second group.
  const auto packets = DataPackets(h.output.bytes);
  ASSERT_GT(packets.size(), 104u);
  EXPECT_EQ(packets[103], 0u);
  size_t total = 0;
  for (size_t i = 0; i < packets.size(); ++i) {
    total += packets[i];
    if (i + 1 < packets.size() && i != 103) {
      EXPECT_EQ(packets[i], 10236u) << i;
    }
  }
  EXPECT_EQ(total, 16 + 4u * kRops + 4);
  EXPECT_TRUE(h.allocator.live.empty());
}

TEST(CommandStreamTest, WritesReachTheOutputInPiecesOfAtMost4096) {
  const struct {
    DWORD n;
    std::vector<DWORD> calls;
  } cases[] = {{10000, {4096, 4096, 1808}}, {4096, {4096}}, {4097, {4096, 1}}, {8192, {4096, 4096}}, {1, {1}}};
  for (const auto& c : cases) {
    StreamHarness h;
    std::vector<uint8_t> data(c.n);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
    EXPECT_TRUE(StrmWrite(h.stream(), data.data(), c.n));
    EXPECT_EQ(h.output.calls, c.calls) << c.n;
    EXPECT_EQ(h.output.bytes, data);
  }
}

TEST(CommandStreamTest, FlushWithNothingBufferedWritesNothing) {
  StreamHarness h;
  EXPECT_TRUE(StrmFlush(h.stream()));
  EXPECT_TRUE(h.output.calls.empty());
  // A flush always sends a chunk as header and bytes, two writes.
  ASSERT_NE(StrmEmitPageEnd(h.stream()), nullptr);
  EXPECT_TRUE(StrmFlush(h.stream()));
  EXPECT_EQ(h.output.calls, (std::vector<DWORD>{8, 4}));
  EXPECT_EQ(h.output.bytes, (std::vector<uint8_t>{0xF5, 0, 0, 0, 4, 0, 0, 0, 0x61, 0, 0, 0}));
  EXPECT_TRUE(StrmFlush(h.stream()));
  EXPECT_EQ(h.output.calls.size(), 2u);
}

TEST(CommandStreamTest, ShortOrRefusedWriteSetsTheAbortFlag) {
  {
    StreamHarness h;
    h.flags = 0x4;
    h.output.shortCall = 1;
    std::vector<uint8_t> data(5000, 0xAB);
    EXPECT_FALSE(StrmWrite(h.stream(), data.data(), 5000));
    EXPECT_EQ(h.flags, 0x4u | kPdevFlagAbort);
    EXPECT_EQ(h.output.calls, (std::vector<DWORD>{4096, 904}));
    // Later writes still reach the output.
    EXPECT_TRUE(StrmWrite(h.stream(), data.data(), 10));
    EXPECT_EQ(h.output.calls.size(), 3u);
  }
  {
    StreamHarness h;
    h.output.failCall = 0;
    ASSERT_NE(StrmEmitPageStart(h.stream(), 1, 1, 600, 600), nullptr);
    EXPECT_FALSE(StrmFlush(h.stream()));
    EXPECT_EQ(h.flags, kPdevFlagAbort);
    EXPECT_EQ(h.output.calls.size(), 1u);  // the header failed; the bytes were not tried
  }
}

TEST(CommandStreamTest, FailedFlushStillFreesChunksAndResets) {
  StreamHarness h;
  ASSERT_NE(StrmReserve(h.stream(), 20000), nullptr);
  ASSERT_NE(StrmReserve(h.stream(), 30000), nullptr);
  EXPECT_EQ(h.allocator.live.size(), 2u);
  h.output.failCall = 1;  // the first chunk's bytes
  EXPECT_FALSE(StrmFlush(h.stream()));
  EXPECT_TRUE(h.allocator.live.empty());
  EXPECT_EQ(h.stream()->bytesBuffered, 0u);
  EXPECT_EQ(h.stream()->recordsBuffered, 0u);
  EXPECT_EQ(h.stream()->tail, &h.stream()->first);
  EXPECT_EQ(h.stream()->first.write, h.stream()->firstData);
  EXPECT_EQ(h.stream()->first.next, nullptr);
}

TEST(CommandStreamTest, WithoutOutputLibraryBytesAreDroppedAsWritten) {
  StreamHarness h;
  h.stream()->outputModule = nullptr;
  EXPECT_TRUE(StrmWrite(h.stream(), "abc", 3));
  h.stream()->outputModule = reinterpret_cast<HMODULE>(&h);
  h.stream()->writeCallback = nullptr;
  ASSERT_NE(StrmEmitPageEnd(h.stream()), nullptr);
  EXPECT_TRUE(StrmFlush(h.stream()));
  EXPECT_TRUE(h.output.calls.empty());
  EXPECT_EQ(h.flags, 0u);
}

TEST(CommandStreamTest, PassThroughPageOneSendsNoRecords) {
  StreamHarness h;
  h.stream()->owner.passThrough = TRUE;
  h.pageCounter = 1;
  ASSERT_NE(StrmEmitPageStart(h.stream(), 10, 10, 600, 600), nullptr);
  ASSERT_NE(StrmReserve(h.stream(), 20000), nullptr);
  EXPECT_TRUE(StrmFlush(h.stream()));
  EXPECT_TRUE(h.output.calls.empty());
  EXPECT_EQ(h.stream()->bytesBuffered, 0u);  // dropped, and the stream is reset
  EXPECT_TRUE(h.allocator.live.empty());

  h.pageCounter = 2;
  ASSERT_NE(StrmEmitPageEnd(h.stream()), nullptr);
  EXPECT_TRUE(StrmFlush(h.stream()));
  EXPECT_EQ(DataPackets(h.output.bytes), (std::vector<uint32_t>{4}));
}

TEST(CommandStreamTest, ReservationFailures) {
  StreamHarness h;
  EXPECT_EQ(StrmReserve(h.stream(), 0), nullptr);
  EXPECT_EQ(StrmReserve(h.stream(), kStreamMaxReserve + 1), nullptr);
  h.allocator.failFrom = 0;
  EXPECT_EQ(StrmReserve(h.stream(), 10240), nullptr);
  EXPECT_EQ(h.stream()->bytesBuffered, 0u);
  EXPECT_EQ(h.stream()->recordsBuffered, 0u);

  // A flush that fails before growing fails the reservation.
  StreamHarness full;
  ASSERT_NE(StrmReserve(full.stream(), 0x100001), nullptr);
  full.output.failCall = 0;
  EXPECT_EQ(StrmReserve(full.stream(), 0x10000), nullptr);
  EXPECT_EQ(full.flags, kPdevFlagAbort);
}

TEST(CommandStreamTest, RollbackGivesBackWhatFollowedTheMark) {
  StreamHarness h;
  ASSERT_NE(StrmEmitPageStart(h.stream(), 1, 1, 600, 600), nullptr);
  const StreamMark mark = StrmMark(h.stream());
  ASSERT_NE(StrmReserve(h.stream(), 8000), nullptr);
  ASSERT_NE(StrmReserve(h.stream(), 8000), nullptr);
  EXPECT_EQ(h.allocator.live.size(), 1u);
  EXPECT_TRUE(StrmRollback(h.stream(), mark));
  EXPECT_TRUE(h.allocator.live.empty());
  EXPECT_EQ(h.stream()->bytesBuffered, 16u);
  EXPECT_EQ(h.stream()->recordsBuffered, 1u);
  EXPECT_EQ(h.stream()->first.write, h.stream()->firstData + 16);

  // Once a flush has sent part of it, nothing can be given back.
  const StreamMark late = StrmMark(h.stream());
  ASSERT_NE(StrmReserve(h.stream(), 4), nullptr);
  ASSERT_TRUE(StrmFlush(h.stream()));
  EXPECT_FALSE(StrmRollback(h.stream(), late));
}

}  // namespace
