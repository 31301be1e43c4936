// Thousands of damaged and hostile devmodes merged into one context: odd sizes, sizes that claim
// more than is given, random public fields, private parts that are random or this model's own
// with random bytes changed. Nothing may crash or read past what was given (run it under the
// asan preset), and the record must stay this driver's own.
#include <gtest/gtest.h>

#include <random>

#include "core/memory.h"
#include "settings/devmode/record_build_fixture.h"

namespace {

constexpr int kRounds = 3000;

class DevmodeMergeHostileTest : public RecordBuildTest {
 protected:
  template <class T>
  T Pick(std::initializer_list<T> values) {
    return values.begin()[std::uniform_int_distribution<size_t>(0, values.size() - 1)(random_)];
  }
  DWORD Below(DWORD limit) { return std::uniform_int_distribution<DWORD>(0, limit - 1)(random_); }
  bool OneIn(DWORD n) { return Below(n) == 0; }

  // A devmode of `bytes` bytes whose header claims `size` + `extra`.
  std::vector<BYTE> Hostile(const PrivateDevmode& own, WORD size, WORD extra, size_t bytes) {
    std::vector<BYTE> d(bytes);
    for (BYTE& b : d) b = static_cast<BYTE>(Below(256));
    const size_t privateAt = size;
    if (OneIn(2) && privateAt < bytes) {
      // This model's own private part, a few bytes changed.
      const size_t n = std::min<size_t>(bytes - privateAt, kDmPrivateSize);
      std::memcpy(d.data() + privateAt, own.bytes + kDmPublicSize, n);
      for (DWORD k = Below(8); k > 0; --k) d[privateAt + Below(static_cast<DWORD>(n))] = static_cast<BYTE>(Below(256));
    }
    if (bytes >= 76) {
      DmStoreU16(d.data(), 64, Pick<WORD>({0x320, 0x400, 0x401, static_cast<WORD>(Below(0x10000))}));
      DmStoreU16(d.data(), 66, Pick<WORD>({0x400, static_cast<WORD>(Below(0x10000))}));
      DmStoreU16(d.data(), kDmOffSize, size);
      DmStoreU16(d.data(), kDmOffDriverExtra, extra);
      DmStoreU32(d.data(), 72, OneIn(3) ? 0xFFFFFFFF : Below(0x08000000));
      // Plausible values now and then, so that the validators and the items behind them run.
      for (size_t at = 76; at + 2 <= std::min<size_t>({size, bytes, 100}); at += 2)
        if (OneIn(2)) DmStoreU16(d.data(), at, Pick<WORD>({0, 1, 2, 3, 8, 9, 256, 384, 600, 1200, 0xFFFF}));
    }
    return d;
  }

  std::mt19937 random_{20240607};
};

TEST_F(DevmodeMergeHostileTest, NoDevmodeCrashesTheMergeOrLeavesTheRecordForeign) {
  const uint64_t live = velm::platform::LiveAllocationCount();
  DriverContext* c = CtxCreateEx(Open(), 0, kKindModelDefaults, 0, 0, nullptr);
  ASSERT_NE(c, nullptr);
  const PrivateDevmode own = c->settings->devmode;
  const size_t keptBytes[] = {1241, 1242, 1243, 1244, 1245, 1246, 1253, 1255, 1256};
  for (int round = 0; round < kRounds; ++round) {
    const WORD size = Pick<WORD>({0, 40, 76, 100, 148, 188, 212, 220, 221, 300, static_cast<WORD>(Below(2000))});
    const WORD extra = Pick<WORD>({0, 8, 100, 146, 147, 500, 1040, 1048, 1100, static_cast<WORD>(Below(3000))});
    const size_t claimed = size_t(size) + extra;
    const size_t bytes = OneIn(4) ? Below(static_cast<DWORD>(claimed) + 1) : claimed;
    const std::vector<BYTE> devmode = Hostile(own, size, extra, bytes);
    const DWORD flags = Pick<DWORD>({0x10008, 0x20008, 0x2000000, 0x2000004, 0x40000008, 0x1D22000C, 0x10020008,
                                     static_cast<DWORD>(random_())});
    BYTE kept[std::size(keptBytes)];
    for (size_t i = 0; i < std::size(keptBytes); ++i) kept[i] = c->settings->devmode.bytes[keptBytes[i]];

    const auto* incoming = reinterpret_cast<const DEVMODEW*>(devmode.data());
    // DmMerge trusts the sizes the devmode claims, as every caller's devmode may be trusted to hold.
    const int answer =
        bytes == claimed && bytes >= 72 && OneIn(2) ? DmMerge(c, incoming, flags) : DmMergeBytes(c, incoming, bytes, flags);

    ASSERT_EQ(answer, 1) << "round " << round;
    const BYTE* record = c->settings->devmode.bytes;
    ASSERT_TRUE(DmIsCompatible(&c->settings->devmode)) << "round " << round;
    ASSERT_TRUE(DmHasOwnPrivatePart(&c->settings->devmode)) << "round " << round;
    ASSERT_EQ(DmLoadU16(record, kDmOffSize), kDmPublicSize) << "round " << round;
    ASSERT_EQ(DmLoadU16(record, kDmOffDriverExtra), kDmPrivateSize) << "round " << round;
    ASSERT_EQ(DmLoadU16(record, 363), 1260) << "round " << round;
    ASSERT_EQ(DmLoadU16(record, 365), 1768) << "round " << round;
    if (flags & (kMergeUpdate | kMergeInterface)) {
      ASSERT_EQ(DmLoadU32(record, 832) >> 8, 0u) << "round " << round;
    }
    for (size_t i = 0; i < std::size(keptBytes); ++i)
      ASSERT_EQ(record[keptBytes[i]], kept[i]) << "round " << round << ", byte " << keptBytes[i];
  }
  CtxDestroyEx(c, kReleaseDestroy);
  EXPECT_EQ(velm::platform::LiveAllocationCount(), live);
}

}  // namespace
