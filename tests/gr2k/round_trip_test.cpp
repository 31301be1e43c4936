// Every record kind written by the stream and read back by the job decoder with the values that
// went in; the same job cut short or damaged anywhere is refused without a crash.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gr2k/graphics_state_cache.h"
#include "gr2k/image_record.h"
#include "gr2k/packets.h"
#include "gr2k/path_record.h"
#include "job_decoder.h"
#include "stream_harness.h"
#include "test_paths.h"

namespace {

using velm::jobdump::Job;
using velm::jobdump::Options;
using velm::jobdump::Record;
using velm::test::Px;
using velm::test::StreamHarness;
using velm::test::TestPath;

int Text(void* context, char* buffer, DWORD capacity, DWORD* length) {
  const std::string& text = *static_cast<const std::string*>(context);
  if (buffer) {
    if (text.size() > capacity) return -1;
    text.copy(buffer, text.size());
  }
  *length = static_cast<DWORD>(text.size());
  return 0;
}

struct SampleJob {
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> tile;
  std::vector<uint8_t> pixels;
};

// Two job segments (as after a device reset), three pages, every record kind on page 1.
SampleJob WriteSampleJob() {
  SampleJob sample;
  StreamHarness h;
  CommandStream* s = h.stream();
  std::string jobStart = "\x1B%-12345X@PJL JOB\r\n", pageStart = "@PJL SET PAGE = 1\r\n", pageEnd = "@PJL EOP\r\n";
  EXPECT_TRUE(PjlEmitJobStart(s, Text, &jobStart));
  EXPECT_TRUE(PjlEmitText(s, kPacketJobStart, "@PJL SET JOBNAME = \"report\"\r\n", 29));
  EXPECT_TRUE(PjlEmitPageStart(s, Text, &pageStart));

  const RecordSettings settings{2, FALSE, 0, FALSE, TRUE, 2};
  EXPECT_NE(StrmEmitPageStart(s, 4960, 7016, 600, 600), nullptr);
  EXPECT_NE(StrmEmitRop(s, 0xF0), nullptr);
  EXPECT_NE(StrmEmitColorAttr(s, 2), nullptr);
  ColorDescriptor colour{13, 2, 0x112233, 0x445566, 0x778899, TRUE, 0, TRUE};
  ColorSwapDescriptor(&colour);
  EXPECT_NE(StrmEmitColor(s, settings, colour), nullptr);
  EXPECT_NE(StrmEmitLineA(s, 4, 3, 0xF0F0F0F0), nullptr);
  EXPECT_NE(StrmEmitLineB(s, 16), nullptr);
  EXPECT_NE(StrmEmitLineEnd(s, 1), nullptr);
  EXPECT_NE(StrmEmitLineJoin(s, 2, 2560), nullptr);
  EXPECT_NE(StrmEmitClipOff(s), nullptr);
  sample.tile.resize(32 * 32 * 3);
  for (size_t i = 0; i < sample.tile.size(); ++i) sample.tile[i] = static_cast<uint8_t>(i * 5);
  EXPECT_NE(StrmEmitPattern(s, {3, 24, 32, TRUE, sample.tile.data()}), nullptr);
  EXPECT_NE(StrmEmitPattern(s, {0, 24, 32, FALSE, nullptr}), nullptr);
  EXPECT_NE(StrmEmitRect(s, kRectFill, {1, 2, 3, 4}), nullptr);
  EXPECT_NE(StrmEmitRect(s, kRectClip, {-5, -6, 7, 8}), nullptr);
  EXPECT_NE(StrmEmitRect(s, kRectKind6, {9, 10, 11, 12}), nullptr);
  TestPath curves({{PD_BEGINSUBPATH | PD_BEZIERS | PD_ENDSUBPATH | PD_CLOSEFIGURE,
                    {Px(0, 0), {1, 2}, {3, 4}, {5, 6}}}});
  EXPECT_NE(StrmEmitPath(s, &curves, kPathFillStrokeWinding), nullptr);
  TestPath lines({{PD_BEGINSUBPATH | PD_ENDSUBPATH, {Px(1, 1), Px(2, 2)}},
                  {PD_BEGINSUBPATH | PD_ENDSUBPATH, {Px(3, 3), Px(4, 4), Px(5, 3)}}});
  EXPECT_NE(StrmEmitPath(s, &lines, kPathStroke), nullptr);
  sample.pixels.resize(16 * 3);
  for (size_t i = 0; i < sample.pixels.size(); ++i) sample.pixels[i] = static_cast<uint8_t>(0x80 + i);
  const BYTE palette[6] = {0, 0, 0, 255, 255, 255};
  EXPECT_TRUE(StrmEmitImage(s, settings, {0x80, 10, 20, 100, 3, 0, 0, 100, 3, palette, 6, sample.pixels.data(), 16, nullptr}));
  EXPECT_TRUE(StrmEmitImage(s, {0, FALSE, 0, FALSE, FALSE, 1}, {4, 0, 0, 4, 1, 0, 0, 4, 1, nullptr, 0, sample.pixels.data(), 12, nullptr}));
  const FontSelect font{2, 0x31, 128, 0x2002, 700, 87, 43, 90, 100, 13};
  EXPECT_NE(StrmEmitFontSelect(s, font, u"Mincho", 6), nullptr);
  EXPECT_NE(StrmEmitDownloadFontSelect(s, font, u"\u660E\u671D", 2), nullptr);
  EXPECT_NE(StrmEmitTextPos(s, {0, 0, 50, 87}, 0, 70, 0x8241), nullptr);
  TestPath glyph = velm::test::Square(100, 200, 10);
  std::vector<BYTE> outline(PathRecordBound(glyph.PointBound()));
  PathBodyInfo info{};
  EXPECT_TRUE(PathWriteBody(&glyph, Px(100, 200), outline.data(), static_cast<DWORD>(outline.size()), &info));
  EXPECT_NE(StrmEmitTextRun(s, {100, 200, 110, 210}, 0x3042, outline.data(), info.bytes), nullptr);
  const WORD codes[] = {0x41, 0x42, 0x43}, step = 50, steps[] = {50, 60, 0};
  EXPECT_NE(StrmEmitGlyphs(s, {0, 0, 150, 87}, 0, 17, &step, 1, codes, 3), nullptr);
  EXPECT_NE(StrmEmitGlyphs(s, {0, 0, 150, 87}, 0, 17, steps, 3, codes, 3), nullptr);
  const BYTE bitmap[20] = {0xFF, 0x81, 0x81, 0xFF};
  EXPECT_NE(StrmEmitGlyphDownload(s, TRUE, {0x08, {0, 0, 8, 10}, 0, -7, 0, -10, 8, 10, 0x41, 0}, bitmap, 10), nullptr);
  EXPECT_NE(StrmEmitGlyphDownload(s, FALSE, {0x48, {8, 0, 16, 10}, 8, -7, 0, -10, 8, 10, 0x41, 0}, nullptr, 0), nullptr);
  EXPECT_NE(StrmEmitFontData(s, {0x04, 16, 5, 0x42, 0}, bitmap, 12), nullptr);
  const PositionedGlyph placed[] = {{0, 0, 0x42}, {17, -1, 0x42}};
  EXPECT_NE(StrmEmitPositionedGlyphs(s, 0x04, {0, 0, 40, 10}, 3, 4, placed, 2), nullptr);
  EXPECT_NE(StrmEmitPageEnd(s), nullptr);
  EXPECT_TRUE(StrmFlush(s));
  EXPECT_TRUE(PjlEmitPageEnd(s, Text, &pageEnd));

  for (int page = 2; page <= 3; ++page) {
    if (page == 3) {
      EXPECT_TRUE(PjlEmitJobStart(s, Text, &jobStart));  // the next segment
    }
    EXPECT_TRUE(PjlEmitPageStart(s, Text, &pageStart));
    EXPECT_NE(StrmEmitPageStart(s, 100, 200, 300, 300), nullptr);
    EXPECT_NE(StrmEmitPageEnd(s), nullptr);
    EXPECT_TRUE(StrmFlush(s));
    EXPECT_TRUE(PjlEmitPageEnd(s, Text, &pageEnd));
  }
  sample.bytes = h.output.bytes;
  return sample;
}

const Record& Find(const Job& job, uint8_t opcode, int nth = 0) {
  for (const Record& record : job.records) {
    if (record.opcode == opcode && nth-- == 0) return record;
  }
  static const Record none;
  ADD_FAILURE() << "no record 0x" << std::hex << int{opcode};
  return none;
}

TEST(RoundTripTest, EveryRecordKindReadsBackWithItsFields) {
  const SampleJob sample = WriteSampleJob();
  Job job;
  std::string error;
  ASSERT_TRUE(velm::jobdump::DecodeJob(sample.bytes.data(), sample.bytes.size(), {}, &job, &error)) << error;
  EXPECT_EQ(job.pages, 3u);
  std::vector<int> types;
  for (const auto& packet : job.packets) types.push_back(packet.type);
  EXPECT_EQ(types, (std::vector<int>{0xF3, 0xF3, 0xF4, 0xF0, 0xF5, 0xF1, 0xF4, 0xF0, 0xF5, 0xF1, 0xF3, 0xF4, 0xF0,
                                     0xF5, 0xF1}));
  EXPECT_EQ(job.packets[1].text, "@PJL SET JOBNAME = \"report\"\r\n");

  EXPECT_EQ(Find(job, 0x60).Get("width"), 4960);
  EXPECT_EQ(Find(job, 0x60).Get("yres"), 600);
  EXPECT_EQ(Find(job, 0x31).Get("rop"), 0xCC);
  EXPECT_EQ(Find(job, 0x32).Get("value"), 2);
  const Record& colour = Find(job, 0x30);
  EXPECT_EQ(colour.length, 16u);
  EXPECT_EQ(colour.Get("rgb1"), 0x112233);
  EXPECT_EQ(colour.Get("rgb2"), 0x445566);
  EXPECT_EQ(colour.Get("rgb3"), 0x778899);
  EXPECT_EQ(colour.Get("mode2"), 1);
  EXPECT_EQ(colour.Get("marked"), 1);
  EXPECT_EQ(Find(job, 0x33).Get("unit"), 4);
  EXPECT_EQ(Find(job, 0x33).Get("width"), 3);
  EXPECT_EQ(Find(job, 0x33).Get("mask"), 0xF0F0F0F0);
  EXPECT_EQ(Find(job, 0x34).Get("offset"), 16);
  EXPECT_EQ(Find(job, 0x35).Get("endcap"), 1);
  EXPECT_EQ(Find(job, 0x36).Get("join"), 2);
  EXPECT_EQ(Find(job, 0x36).Get("miter"), 2560);
  EXPECT_EQ(Find(job, 0x37).length, 4u);
  EXPECT_EQ(Find(job, 0x40).Get("flags"), 0xC1);
  EXPECT_EQ(Find(job, 0x40).data, sample.tile);
  EXPECT_EQ(Find(job, 0x40, 1).Get("bytes"), 0);
  EXPECT_EQ(Find(job, 0x10).Get("second.bottom"), 4);
  EXPECT_EQ(Find(job, 0x10, 1).Get("kind"), 5);
  EXPECT_EQ(Find(job, 0x10, 1).Get("left"), -5);
  EXPECT_EQ(Find(job, 0x10, 2).Get("kind"), 6);

  const Record& curve = Find(job, 0x11);
  EXPECT_EQ(curve.Get("mode"), 4);
  EXPECT_EQ(curve.Get("closed"), 1);
  ASSERT_EQ(curve.subpaths.size(), 1u);
  ASSERT_EQ(curve.subpaths[0].entries.size(), 1u);
  EXPECT_TRUE(curve.subpaths[0].entries[0].curve);
  EXPECT_EQ(curve.subpaths[0].entries[0].points[5], 6);
  const Record& polyline = Find(job, 0x12);
  EXPECT_EQ(polyline.Get("multiple"), 1);
  EXPECT_EQ(polyline.Get("figure"), 3 * 3 + 3 * 2 + 1);
  ASSERT_EQ(polyline.subpaths.size(), 2u);
  EXPECT_EQ(polyline.subpaths[1].x, 48);
  EXPECT_EQ(polyline.subpaths[1].entries[1].points[0], 80);

  const Record& oneBit = Find(job, 0x20);
  EXPECT_EQ(oneBit.length, 56u + 6 + 3 * 16 + 2);
  EXPECT_EQ(oneBit.Get("blit"), 1);
  EXPECT_EQ(oneBit.Get("width"), 100);
  EXPECT_EQ(oneBit.Get("right"), 110);
  EXPECT_EQ(oneBit.palette, (std::vector<uint8_t>{0, 0, 0, 255, 255, 255}));
  EXPECT_EQ(oneBit.data, sample.pixels);
  const Record& grey = Find(job, 0x20, 1);
  EXPECT_EQ(grey.Get("grey"), 1);
  EXPECT_EQ(grey.Get("bits"), 8);
  EXPECT_EQ(grey.data.size(), 4u);

  EXPECT_EQ(Find(job, 0x50).face, u"Mincho");
  EXPECT_EQ(Find(job, 0x50).Get("kind"), 2);
  EXPECT_EQ(Find(job, 0x50).Get("leading"), 13);
  EXPECT_EQ(Find(job, 0x56).face, u"\u660E\u671D");
  EXPECT_EQ(Find(job, 0x56).Get("charset"), 128);
  EXPECT_EQ(Find(job, 0x56).Get("rotation"), 90);
  EXPECT_EQ(Find(job, 0x51).Get("code"), 0x8241);
  const Record& outline = Find(job, 0x51, 1);
  EXPECT_EQ(outline.name, "GLYPH_OUTLINE");
  EXPECT_EQ(outline.Get("x"), 100);
  EXPECT_EQ(outline.subpaths.size(), 1u);
  EXPECT_EQ(outline.subpaths[0].entries.size(), 3u);
  EXPECT_EQ(Find(job, 0x52).steps, (std::vector<uint16_t>{50}));
  EXPECT_EQ(Find(job, 0x52).codes, (std::vector<uint16_t>{0x41, 0x42, 0x43}));
  EXPECT_EQ(Find(job, 0x52, 1).steps, (std::vector<uint16_t>{50, 60, 0}));
  EXPECT_EQ(Find(job, 0x53).Get("bytes"), 10);
  EXPECT_EQ(Find(job, 0x53).Get("originy"), -10);
  EXPECT_EQ(Find(job, 0x53).data.size(), 10u);
  EXPECT_EQ(Find(job, 0x57).Get("dataoffset"), 0);
  EXPECT_EQ(Find(job, 0x57).Get("flags"), 0x48);
  EXPECT_EQ(Find(job, 0x54).Get("bitmapwidth"), 16);
  EXPECT_EQ(Find(job, 0x54).Get("code"), 0x42);
  ASSERT_EQ(Find(job, 0x55).placed.size(), 2u);
  EXPECT_EQ(Find(job, 0x55).placed[1].dy, -1);
  EXPECT_EQ(Find(job, 0x61).page, 1u);
  EXPECT_EQ(job.records.back().page, 3u);

  const std::string text = velm::jobdump::RenderJob(job);
  EXPECT_NE(text.find("PKT F3 JOB_START_PJL @0 len=19\n  | \\x1B%-12345X@PJL JOB\\x0D\\x0A\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("REC 30 COLOR len=16 flags=0xD9 rgb1=#112233 rgb2=#445566 rgb3=#778899 mode2=1 marked=1\n"),
            std::string::npos);
  EXPECT_NE(text.find("    subpath (3,3) entries=2\n      line (4,4)\n"), std::string::npos);
  EXPECT_NE(text.find("      curve (0.0625,0.125) (0.1875,0.25) (0.3125,0.375)\n"), std::string::npos);
  EXPECT_NE(text.find("face=\"\\u660E\\u671D\""), std::string::npos);
}

TEST(RoundTripTest, CutOrDamagedJobIsRefusedNeverCrashes) {
  const std::vector<uint8_t> job = WriteSampleJob().bytes;
  Job decoded;
  std::string error;
  Options unfinished;
  unfinished.allowUnfinished = true;
  // Cut anywhere but after a page-end packet, the job is refused; between packets it reads as
  // unfinished.
  size_t wholeJobs = 0, boundaries = 0;
  for (size_t n = 0; n < job.size(); ++n) {
    if (velm::jobdump::DecodeJob(job.data(), n, {}, &decoded, &error)) {
      ++wholeJobs;
      EXPECT_EQ(job[n - decoded.packets.back().length - 8], 0xF1);
    } else {
      EXPECT_FALSE(error.empty());
    }
    if (velm::jobdump::DecodeJob(job.data(), n, unfinished, &decoded, &error)) ++boundaries;
  }
  EXPECT_EQ(wholeJobs, 2u);    // after pages 1 and 2
  EXPECT_EQ(boundaries, 15u);  // one per packet, the empty prefix included
  // Any one byte changed: decoded or refused, never a crash.
  for (size_t i = 0; i < job.size(); ++i) {
    std::vector<uint8_t> damaged = job;
    damaged[i] ^= 0x5A;
    velm::jobdump::DecodeJob(damaged.data(), damaged.size(), {}, &decoded, &error);
    velm::jobdump::RenderJob(decoded);
  }
}

}  // namespace
