// Devmode version conversion: the DEVMODE version by size, the bytes each copy takes and leaves,
// the fields the target keeps, and the sources refused. Offsets are the DEVMODEW header's: dmSpecVersion
// 64, dmDriverVersion 66, dmSize 68, dmDriverExtra 70, dmOrientation 76.
#include "settings/devmode/versions.h"

#include <gtest/gtest.h>

#include <vector>

#include "settings/items/settings_record.h"

namespace {

// A devmode buffer of dmSize + dmDriverExtra bytes, each byte `fill`, with its header fields set.
struct Buffer {
  std::vector<BYTE> bytes;
  Buffer(WORD size, WORD extra, WORD devmodeVersion, WORD driverVersion, BYTE fill) : bytes(size + extra, fill) {
    if (size >= 72) {
      DmStoreU16(bytes.data(), 64, devmodeVersion);
      DmStoreU16(bytes.data(), 66, driverVersion);
      DmStoreU16(bytes.data(), 68, size);
      DmStoreU16(bytes.data(), 70, extra);
    }
  }
  DEVMODEW* dm() { return reinterpret_cast<DEVMODEW*>(bytes.data()); }
  WORD U16(size_t at) const { return DmLoadU16(bytes.data(), at); }
  // Whether bytes [from, to) all hold `value`.
  bool All(size_t from, size_t to, BYTE value) const {
    for (size_t i = from; i < to; ++i) {
      if (bytes[i] != value) return false;
    }
    return true;
  }
};

// The target every test converts into: this driver's 220 + 1040 layout.
Buffer Target() { return Buffer(220, 1040, 0x401, 0x400, 0xEE); }

void ExpectHeaderKept(const Buffer& target) {
  EXPECT_EQ(target.U16(64), 0x401);
  EXPECT_EQ(target.U16(66), 0x400);
  EXPECT_EQ(target.U16(68), 220);
  EXPECT_EQ(target.U16(70), 1040);
}

TEST(DevmodeVersionsTest, DevmodeVersionGoesBySize) {
  EXPECT_EQ(DmGetSpecVersion(Buffer(188, 0, 0x123, 0, 0).dm()), 0x320);
  EXPECT_EQ(DmGetSpecVersion(Buffer(212, 0, 0x123, 0, 0).dm()), 0x400);
  EXPECT_EQ(DmGetSpecVersion(Buffer(220, 0, 0x123, 0, 0).dm()), 0x401);
  EXPECT_EQ(DmGetSpecVersion(Buffer(156, 0, 0x3FF, 0, 0).dm()), 0x3FF);  // any other size: its own
  EXPECT_EQ(DmGetSpecVersion(nullptr), 0);
  Buffer stub(220, 0, 0x401, 0, 0);
  DmStoreU16(stub.bytes.data(), 68, 70);  // ends before dmFields
  EXPECT_EQ(DmGetSpecVersion(stub.dm()), 0);
}

TEST(DevmodeVersionsTest, AnOldSmallDevmodeIsCopiedAcrossWithAnyExtra) {
  Buffer source(188, 500, 0x320, 0x350, 0x11);
  for (auto copy : {DmCopyAcrossVersions, DmConvert}) {
    Buffer target = Target();
    EXPECT_EQ(copy(source.dm(), target.dm()), 188 + 500);
    ExpectHeaderKept(target);
    EXPECT_TRUE(target.All(0, 64, 0x11));
    EXPECT_TRUE(target.All(72, 188, 0x11));
    EXPECT_TRUE(target.All(188, 220, 0xEE));  // past the source's public part
    EXPECT_TRUE(target.All(220, 720, 0x11));
    EXPECT_TRUE(target.All(720, 1260, 0xEE));  // past the source's private part
  }
}

TEST(DevmodeVersionsTest, ALargerSourceFillsOnlyWhatTheTargetHolds) {
  // The caller's old devmode asks for this driver's devmode in its own shape.
  Buffer source(220, 1040, 0x401, 0x400, 0x22);
  Buffer target(188, 500, 0x320, 0x350, 0xEE);
  EXPECT_EQ(DmCopyAcrossVersions(source.dm(), target.dm()), 188 + 500);
  EXPECT_EQ(target.U16(64), 0x320);
  EXPECT_EQ(target.U16(66), 0x350);
  EXPECT_EQ(target.U16(68), 188);
  EXPECT_EQ(target.U16(70), 500);
  EXPECT_TRUE(target.All(72, 688, 0x22));
}

TEST(DevmodeVersionsTest, AnotherDriverVersionGivesMinusOneWithThePublicPartTaken) {
  Buffer source(220, 1040, 0x401, 0x3FF, 0x33);
  DmStoreU16(source.bytes.data(), 76, 2);  // landscape
  Buffer target = Target();
  EXPECT_EQ(DmConvert(source.dm(), target.dm()), -1);
  ExpectHeaderKept(target);
  EXPECT_EQ(target.U16(76), 2);
  EXPECT_TRUE(target.All(78, 220, 0x33));
  EXPECT_TRUE(target.All(220, 1260, 0xEE));  // the private part is not taken
}

TEST(DevmodeVersionsTest, ADevmodeOfVersion400IsConvertedButNotCopiedAcross) {
  Buffer source(212, 1040, 0x400, 0x400, 0x55);
  Buffer target = Target();
  EXPECT_EQ(DmCopyAcrossVersions(source.dm(), target.dm()), -1);
  EXPECT_TRUE(target.All(220, 1260, 0xEE));
  EXPECT_TRUE(target.All(72, 220, 0xEE));
  EXPECT_EQ(DmConvert(source.dm(), target.dm()), 212 + 1040);
  ExpectHeaderKept(target);
  EXPECT_TRUE(target.All(72, 212, 0x55));
  EXPECT_TRUE(target.All(212, 220, 0xEE));
  EXPECT_TRUE(target.All(220, 1260, 0x55));  // taken from the source's 212 on
}

TEST(DevmodeVersionsTest, AWindows9xSizedPublicPartIsConvertedOnlyWhenItsPrivatePartFits) {
  Buffer source(148, 1040, 0x400, 0x400, 0x66);
  Buffer target = Target();
  EXPECT_EQ(DmCopyAcrossVersions(source.dm(), target.dm()), -1);
  EXPECT_EQ(DmConvert(source.dm(), target.dm()), 148 + 1040);
  EXPECT_TRUE(target.All(148, 220, 0xEE));
  EXPECT_TRUE(target.All(220, 1260, 0x66));

  Buffer nineX(148, 1048, 0x400, 0x400, 0x77);
  Buffer other = Target();
  EXPECT_EQ(DmConvert(nineX.dm(), other.dm()), -1);  // 1048 is not this driver's private size
  EXPECT_TRUE(other.All(72, 148, 0x77));
}

TEST(DevmodeVersionsTest, NullShortAndVersionlessDevmodesAreRefusedUntouched) {
  Buffer source(220, 1040, 0x401, 0x400, 0x11);
  Buffer target = Target();
  const std::vector<BYTE> before = target.bytes;
  EXPECT_EQ(DmCopyAcrossVersions(nullptr, target.dm()), -1);
  EXPECT_EQ(DmCopyAcrossVersions(source.dm(), nullptr), -1);
  EXPECT_EQ(DmConvert(nullptr, target.dm()), -1);
  EXPECT_EQ(DmConvert(source.dm(), nullptr), -1);

  Buffer shortSource(220, 1040, 0x401, 0x400, 0x11);
  DmStoreU16(shortSource.bytes.data(), 68, 72);  // a header that stops inside dmFields
  EXPECT_EQ(DmCopyAcrossVersions(shortSource.dm(), target.dm()), -1);
  EXPECT_EQ(DmConvert(shortSource.dm(), target.dm()), -1);

  Buffer versionless(156, 1040, 0, 0x400, 0x11);  // an unusual size with dmSpecVersion 0
  EXPECT_EQ(DmCopyAcrossVersions(source.dm(), versionless.dm()), -1);
  EXPECT_EQ(target.bytes, before);
}

// Buffers of exactly the bytes given (so the sanitizer sees any read past them): a source or
// target cut short of its header or of what its header claims is refused, the target untouched.
TEST(DevmodeVersionsTest, ByteBuffersShorterThanTheirHeadersClaimAreRefusedUntouched) {
  const Buffer source(220, 1040, 0x401, 0x400, 0x11);
  struct Cut {
    size_t sourceBytes, targetBytes;
    LONG answer;
  };
  const Cut cuts[] = {
      {0, 1260, -1},    {60, 1260, -1},   {75, 1260, -1},  {219, 1260, -1},
      {1259, 1260, -1}, {1260, 1259, -1}, {1260, 70, -1},  {1260, 1260, 1260},
  };
  for (const Cut& cut : cuts) {
    std::vector<BYTE> from(source.bytes.begin(), source.bytes.begin() + cut.sourceBytes);
    Buffer target = Target();
    target.bytes.resize(cut.targetBytes);
    const std::vector<BYTE> before = target.bytes;
    EXPECT_EQ(DmConvertBytes(from.data(), from.size(), target.bytes.data(), target.bytes.size()), cut.answer)
        << cut.sourceBytes << " into " << cut.targetBytes;
    if (cut.answer < 0) {
      EXPECT_EQ(target.bytes, before) << cut.sourceBytes << " into " << cut.targetBytes;
    }
  }
}

}  // namespace
