// The job decoder on jobs built byte by byte from the published layouts: what it prints, and
// how it refuses each kind of damage with a message that names it.
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "job_decoder.h"
#include "support/temp_root.h"

namespace {

using velm::jobdump::DecodeJob;
using velm::jobdump::Job;
using velm::jobdump::Options;
using Bytes = std::vector<uint8_t>;

void Put32(Bytes* b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Bytes PacketOf(uint8_t type, const Bytes& body) {
  Bytes p{type, 0, 0, 0};
  Put32(&p, static_cast<uint32_t>(body.size()));
  p.insert(p.end(), body.begin(), body.end());
  return p;
}
Bytes PacketOf(uint8_t type, const std::string& text) { return PacketOf(type, Bytes(text.begin(), text.end())); }

const Bytes kPageStartRecord{0x60, 0, 0, 0, 0x64, 0, 0, 0, 0xC8, 0, 0, 0, 0x2C, 0x01, 0x2C, 0x01};
const Bytes kPageEndRecord{0x61, 0, 0, 0};

// A whole job of one page whose data packet carries `body`.
Bytes JobWithBody(const Bytes& body) {
  Bytes job;
  for (const Bytes& p : {PacketOf(0xF3, "@PJL JOB\r\n"), PacketOf(0xF4, "@PJL SET A = 1\r\n@PJL SET B = 2\r\n"),
                         PacketOf(0xF0, Bytes{}), PacketOf(0xF5, body), PacketOf(0xF1, "@PJL EOJ\r\n")}) {
    job.insert(job.end(), p.begin(), p.end());
  }
  return job;
}

// A whole job of one page whose records are `records` between page start and end.
Bytes JobWith(const Bytes& records) {
  Bytes body = kPageStartRecord;
  body.insert(body.end(), records.begin(), records.end());
  body.insert(body.end(), kPageEndRecord.begin(), kPageEndRecord.end());
  return JobWithBody(body);
}

std::string Refusal(const Bytes& job, const Options& options = {}) {
  Job decoded;
  std::string error;
  EXPECT_FALSE(DecodeJob(job.data(), job.size(), options, &decoded, &error));
  return error;
}

TEST(JobDecoderTest, PrintsPacketsPjlLinesAndRecordFields) {
  const Bytes colour{0x30, 8, 0x01, 0, 0x11, 0x22, 0x33, 0};
  const Bytes job = JobWith(colour);
  Job decoded;
  std::string error;
  ASSERT_TRUE(DecodeJob(job.data(), job.size(), {}, &decoded, &error)) << error;
  EXPECT_EQ(velm::jobdump::RenderJob(decoded),
            "PKT F3 JOB_START_PJL @0 len=10\n"
            "  | @PJL JOB\\x0D\\x0A\n"
            "PKT F4 PAGE_START_PJL @18 len=32\n"
            "  | @PJL SET A = 1\\x0D\\x0A\n"
            "  | @PJL SET B = 2\\x0D\\x0A\n"
            "PKT F0 EMPTY @58 len=0\n"
            "PKT F5 RECORDS @66 len=28\n"
            "  REC 60 PAGE_START len=16 width=100 height=200 xres=300 yres=300\n"
            "  REC 30 COLOR len=8 flags=0x01 rgb1=#112233 mode2=0 marked=0\n"
            "  REC 61 PAGE_END len=4\n"
            "PKT F1 PAGE_END_PJL @102 len=10\n"
            "  | @PJL EOJ\\x0D\\x0A\n");
  EXPECT_EQ(decoded.pages, 1u);
  EXPECT_EQ(decoded.records[1].Get("rgb1"), 0x112233);
  EXPECT_EQ(decoded.records[1].packet, 3u);
  EXPECT_EQ(decoded.records[1].offset, 16u);
}

TEST(JobDecoderTest, RecordSplitOverDataPacketsIsJoined) {
  // A 40-byte rectangle whose second half comes in the next data packet.
  Bytes rect{0x10, 0, 1, 0, 40, 0, 0, 0};
  for (uint32_t v : {1u, 2u, 3u, 4u, 1u, 2u, 3u, 4u}) Put32(&rect, v);
  Bytes first = kPageStartRecord;
  first.insert(first.end(), rect.begin(), rect.begin() + 20);
  Bytes second(rect.begin() + 20, rect.end());
  second.insert(second.end(), kPageEndRecord.begin(), kPageEndRecord.end());
  Bytes job;
  for (const Bytes& p : {PacketOf(0xF3, "J"), PacketOf(0xF4, "P"), PacketOf(0xF0, Bytes{}), PacketOf(0xF5, first),
                         PacketOf(0xF5, second), PacketOf(0xF1, "E")}) {
    job.insert(job.end(), p.begin(), p.end());
  }
  Job decoded;
  std::string error;
  ASSERT_TRUE(DecodeJob(job.data(), job.size(), {}, &decoded, &error)) << error;
  ASSERT_EQ(decoded.records.size(), 3u);
  EXPECT_EQ(decoded.records[1].Get("bottom"), 4);
  EXPECT_EQ(decoded.records[2].packet, 4u);
  EXPECT_EQ(decoded.records[2].offset, 20u);
}

TEST(JobDecoderTest, RefusesDamagedPackets) {
  const Bytes good = JobWith({});
  Bytes type = good;
  type[0] = 0xF2;
  EXPECT_EQ(Refusal(type), "offset 0: unknown packet type 0xF2");
  Bytes reserved = good;
  reserved[2] = 1;
  EXPECT_EQ(Refusal(reserved), "offset 0: packet 0xF3: reserved bytes not zero");
  Bytes longer = good;
  longer[4] = 0xFF;
  EXPECT_NE(Refusal(longer).find("runs past the end"), std::string::npos);
  Bytes cut(good.begin(), good.end() - 3);
  EXPECT_NE(Refusal(cut).find("runs past the end"), std::string::npos);
  Bytes header(good.begin(), good.begin() + 20);
  EXPECT_EQ(Refusal(header), "offset 18: truncated packet header (2 bytes left)");
  Bytes empty = good;
  empty[62] = 1;  // the 0xF0 packet's length
  EXPECT_NE(Refusal(empty).find("must be empty"), std::string::npos);
  EXPECT_EQ(Refusal({}), "offset 0: job holds no packets");
}

TEST(JobDecoderTest, RefusesPacketsOutOfOrder) {
  const Bytes js = PacketOf(0xF3, "J"), ps = PacketOf(0xF4, "P"), empty = PacketOf(0xF0, Bytes{}),
              pe = PacketOf(0xF1, "E");
  Bytes records = kPageStartRecord;
  records.insert(records.end(), kPageEndRecord.begin(), kPageEndRecord.end());
  const Bytes data = PacketOf(0xF5, records);
  auto join = [](std::initializer_list<Bytes> parts) {
    Bytes job;
    for (const Bytes& p : parts) job.insert(job.end(), p.begin(), p.end());
    return job;
  };
  EXPECT_NE(Refusal(join({ps, empty, pe})).find("where the job-start packet 0xF3 must come"), std::string::npos);
  EXPECT_NE(Refusal(join({js, ps, data, pe})).find("where the empty packet 0xF0 must come"), std::string::npos);
  EXPECT_NE(Refusal(join({js, js, js, ps, empty, pe})).find("0xF3 where a page-start"), std::string::npos);
  EXPECT_NE(Refusal(join({js, ps, empty, data})).find("job ends inside a page"), std::string::npos);
  EXPECT_NE(Refusal(join({js, ps, empty, pe, data})).find("0xF5 where"), std::string::npos);
  // A JOBNAME packet only follows the first job start.
  EXPECT_NE(Refusal(join({js, ps, empty, pe, js, js, ps, empty, pe})).find("0xF3 where"), std::string::npos);
  Job decoded;
  std::string error;
  const Bytes reset = join({js, js, ps, empty, data, pe, js, ps, empty, pe});
  EXPECT_TRUE(DecodeJob(reset.data(), reset.size(), {}, &decoded, &error)) << error;
}

TEST(JobDecoderTest, EachPageRunsFromPageStartToPageEnd) {
  EXPECT_EQ(Refusal(JobWithBody({0x37, 0, 0, 0, 0x61, 0, 0, 0})),
            "offset 82: page 1 does not begin with record 0x60");
  EXPECT_EQ(Refusal(JobWithBody(kPageStartRecord)), "offset 90: page 1 does not end with record 0x61");
  const Bytes twice = JobWith(kPageStartRecord);
  EXPECT_NE(Refusal(twice).find("page-start record inside a page"), std::string::npos);
  const Bytes after = JobWith({0x61, 0, 0, 0});
  EXPECT_NE(Refusal(after).find("after the page-end record"), std::string::npos);
}

TEST(JobDecoderTest, RefusesDamagedRecords) {
  auto refused = [](const Bytes& record) { return Refusal(JobWith(record)); };
  EXPECT_NE(refused({0x99, 0, 0, 0}).find("unknown record opcode 0x99"), std::string::npos);
  EXPECT_NE(refused({0x31, 0xF0, 0, 0}).find("0xF0 is sent as 0xCC"), std::string::npos);
  EXPECT_NE(refused({0x32, 1, 0, 7}).find("byte 3 is 0x07, must be 0"), std::string::npos);
  EXPECT_NE(refused({0x35, 3, 0, 0}).find("endcap 3 out of range"), std::string::npos);
  // The colour's length follows its layout: one colour is 8 bytes, not 4.
  EXPECT_NE(refused({0x30, 4, 0x01, 0}).find("not a record length"), std::string::npos);
  EXPECT_NE(refused({0x30, 12, 0x01, 0, 1, 2, 3, 0, 0, 0, 0, 0}).find("length 12, layout gives 8"), std::string::npos);
  EXPECT_NE(refused({0x30, 8, 0x01, 0, 1, 2, 3, 9}).find("byte 7 is 0x09"), std::string::npos);
  // A record longer than what is left of its run.
  Bytes rect{0x10, 0, 1, 0, 0x00, 0x01, 0, 0};
  EXPECT_NE(refused(rect).find("truncated record: length 256"), std::string::npos);
  // A filled rectangle's two rectangles are equal.
  Bytes fill{0x10, 0, 1, 0, 40, 0, 0, 0};
  for (uint32_t v : {1u, 2u, 3u, 4u, 1u, 2u, 3u, 5u}) Put32(&fill, v);
  EXPECT_NE(refused(fill).find("second rectangle differs"), std::string::npos);
  // A path whose size figure does not match its entries.
  Bytes path{0x12, 0, 0x00, 0, 40, 0, 0, 0};
  for (uint32_t v : {0u, 0u, 1u, 1u, 7u, 0u, 0u, 0u}) Put32(&path, v);
  EXPECT_NE(refused(path).find("size figure 7, the entries give 3"), std::string::npos);
  // A path that claims more entries than it holds.
  Bytes claim{0x12, 0, 0x00, 0, 40, 0, 0, 0};
  for (uint32_t v : {0u, 0u, 1u, 1u, 3u, 1000000u, 0u, 0u}) Put32(&claim, v);
  EXPECT_NE(refused(claim).find("more than fit"), std::string::npos);
  // An image whose rows do not fill its length.
  Bytes image{0x20, 0, 0x24, 0, 60, 0, 0, 0};
  for (uint32_t v : {0u, 0u, 1u, 1u, 0u, 0u, 2u, 1u, 0u, 0u, 1u, 1u}) Put32(&image, v);
  Put32(&image, 0);
  EXPECT_NE(refused(image).find("length 60, layout gives 64"), std::string::npos);
  // A pattern tile of the wrong size for its edge.
  Bytes tile{0x40, 0x80, 16, 1, 30, 0};
  tile.resize(36, 0);
  EXPECT_NE(refused(tile).find("tile of 30 bytes for size 16"), std::string::npos);
  // A face name without its terminating zero.
  Bytes font{0x50, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 28, 0};
  font.resize(24, 0);
  font.resize(28, 'A');
  EXPECT_NE(refused(font).find("no terminating zero"), std::string::npos);
  // A glyph run whose length does not follow its counts.
  Bytes run{0x52, 0, 0x80, 0, 40, 0, 0, 0};
  run.resize(40, 0);
  run[32] = 2;
  EXPECT_NE(refused(run).find("length 40, layout gives 44"), std::string::npos);
}

TEST(JobDecoderTest, PassThroughRunsBetweenPackets) {
  const Bytes raw{'%', '!', 'P', 'S', 0xF5, 1, 2};
  Bytes job = PacketOf(0xF3, "J");
  job.insert(job.end(), raw.begin(), raw.end());
  Bytes page = JobWith({});
  page.erase(page.begin(), page.begin() + 18);  // its own job-start packet
  job.insert(job.end(), page.begin(), page.end());
  EXPECT_NE(Refusal(job).find("unknown packet type 0x25"), std::string::npos);

  Options passThrough;
  passThrough.passThrough = true;
  Job decoded;
  std::string error;
  ASSERT_TRUE(DecodeJob(job.data(), job.size(), passThrough, &decoded, &error)) << error;
  ASSERT_EQ(decoded.packets.size(), 6u);
  EXPECT_EQ(decoded.packets[1].type, 0);
  EXPECT_EQ(decoded.packets[1].length, raw.size());
  EXPECT_NE(velm::jobdump::RenderJob(decoded).find("RAW @9 len=7\n    bytes 7 bytes: 25 21 50 53 F5 01 02\n"),
            std::string::npos);
  // Given lengths make the run exact even when it holds a header-like byte.
  passThrough.rawLengths = {7};
  ASSERT_TRUE(DecodeJob(job.data(), job.size(), passThrough, &decoded, &error)) << error;
  passThrough.rawLengths = {100000};
  EXPECT_NE(Refusal(job, passThrough).find("does not fit"), std::string::npos);
}

TEST(JobDecoderTest, DumpCommandPrintsAndRefuses) {
  velm::test::TempMachineRoot root;
  const auto file = root.path() / "job.bin";
  const Bytes job = JobWith({0x37, 0, 0, 0});
  velm::test::WriteHostFile(file, std::string(job.begin(), job.end()));
  const auto velm = velm::test::BuildDir() / "bin" / "velm";
  const auto out = root.path() / "out.txt";
  const std::string command = velm.string() + " dump " + file.string() + " > " + out.string() + " 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0);
  EXPECT_NE(velm::test::ReadHostFile(out).find("  REC 37 CLIP_OFF len=4\n"), std::string::npos);

  Bytes damaged = job;
  damaged[66 + 8 + 16] = 0x99;
  velm::test::WriteHostFile(file, std::string(damaged.begin(), damaged.end()));
  EXPECT_NE(std::system(command.c_str()), 0);
  EXPECT_NE(velm::test::ReadHostFile(out).find("damaged job: offset 90: unknown record opcode 0x99"), std::string::npos)
      << velm::test::ReadHostFile(out);
}

}  // namespace
