#include <gtest/gtest.h>

#include "core/winerror.h"
#include "eng_test_support.h"

namespace velm::test {
namespace {

using EngSurfaceTest = EngTest;

TEST_F(EngSurfaceTest, StrideIsTheRowRoundedUpToFourBytes) {
  struct Case {
    ULONG format;
    LONG stride;
  };
  for (const Case& c : {Case{BMF_1BPP, 4}, Case{BMF_4BPP, 8}, Case{BMF_8BPP, 16}, Case{BMF_16BPP, 28},
                        Case{BMF_24BPP, 40}, Case{BMF_32BPP, 52}}) {
    Bitmap bitmap(13, 3, c.format);
    ASSERT_NE(bitmap.so(), nullptr);
    EXPECT_EQ(bitmap.so()->lDelta, c.stride) << c.format;
    EXPECT_EQ(bitmap.so()->cjBits, static_cast<ULONG>(c.stride * 3));
    EXPECT_EQ(bitmap.so()->iBitmapFormat, c.format);
    EXPECT_EQ(bitmap.so()->iType, STYPE_BITMAP);
  }
  // A wider allocation width is kept, rounded up to 4.
  const HBITMAP wide = EngCreateBitmap(SIZEL{13, 2}, 50, BMF_8BPP, BMF_TOPDOWN, nullptr);
  EXPECT_EQ(EngLockSurface(reinterpret_cast<HSURF>(wide))->lDelta, 52);
  EXPECT_TRUE(EngDeleteSurface(reinterpret_cast<HSURF>(wide)));
}

TEST_F(EngSurfaceTest, BottomUpBitmapsStartTheirTopRowAtTheEndOfMemory) {
  Bitmap down(5, 4, BMF_24BPP, BMF_TOPDOWN), up(5, 4, BMF_24BPP, 0);
  EXPECT_EQ(down.so()->pvScan0, down.so()->pvBits);
  EXPECT_EQ(down.so()->lDelta, 16);
  EXPECT_EQ(down.so()->fjBitmap & BMF_TOPDOWN, BMF_TOPDOWN);
  EXPECT_EQ(up.so()->lDelta, -16);
  EXPECT_EQ(static_cast<BYTE*>(up.so()->pvScan0), static_cast<BYTE*>(up.so()->pvBits) + 3 * 16);
  EXPECT_EQ(up.so()->fjBitmap & BMF_TOPDOWN, 0);
  // Memory starts zeroed; the engine draws the top row where pvScan0 says.
  EXPECT_EQ(up.Count(0, RECTL{0, 0, 5, 4}), 20);
  RECTL top{0, 0, 5, 1};
  ASSERT_TRUE(EngEraseSurface(up.so(), &top, 0x123456));
  const BYTE* memory = static_cast<BYTE*>(up.so()->pvBits);
  EXPECT_EQ(memory[3 * 16], 0x56);
  EXPECT_EQ(memory[0], 0x00);
}

TEST_F(EngSurfaceTest, CallerMemoryIsUsedAsGiven) {
  std::vector<BYTE> memory(3 * 10, 0xAB);
  const HSURF h = reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{8, 3}, 10, BMF_8BPP, BMF_TOPDOWN, memory.data()));
  ASSERT_NE(h, nullptr);
  SURFOBJ* so = EngLockSurface(h);
  EXPECT_EQ(so->pvBits, memory.data());
  EXPECT_EQ(so->lDelta, 10);  // taken as it is, not rounded
  EXPECT_TRUE(EngDeleteSurface(h));
  EXPECT_EQ(memory[0], 0xAB);  // neither cleared nor freed
}

TEST_F(EngSurfaceTest, BadRequestsAreRefused) {
  BYTE memory[16];
  SetLastError(0);
  EXPECT_EQ(EngCreateBitmap(SIZEL{0, 4}, 0, BMF_8BPP, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(EngCreateBitmap(SIZEL{4, 4}, 0, BMF_4RLE, 0, nullptr), nullptr);
  EXPECT_EQ(EngCreateBitmap(SIZEL{9, 1}, 8, BMF_8BPP, 0, memory), nullptr);  // a row does not fit
  EXPECT_EQ(EngCreateBitmap(SIZEL{0x80000, 0x80000}, 0, BMF_32BPP, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_FALSE(EngDeleteSurface(reinterpret_cast<HSURF>(memory)));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(EngLockSurface(nullptr), nullptr);
}

TEST_F(EngSurfaceTest, FaultsFailBitmapsWithoutLeaking) {
  const uint64_t live = platform::LiveAllocationCount();
  platform::SetEngineFaults({.failBitmapAt = 2});
  const HBITMAP first = EngCreateBitmap(SIZEL{4, 4}, 0, BMF_8BPP, 0, nullptr);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(EngCreateBitmap(SIZEL{4, 4}, 0, BMF_8BPP, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  platform::SetEngineFaults({.bitmapByteLimit = 64});
  const HBITMAP limit = EngCreateBitmap(SIZEL{8, 8}, 0, BMF_8BPP, 0, nullptr);  // 64 bytes: allowed
  EXPECT_NE(limit, nullptr);
  EXPECT_EQ(EngCreateBitmap(SIZEL{8, 9}, 0, BMF_8BPP, 0, nullptr), nullptr);
  platform::SetEngineFaults({});
  platform::SetAllocationFault(1);
  EXPECT_EQ(EngCreateBitmap(SIZEL{4, 4}, 0, BMF_8BPP, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  platform::SetAllocationFault(0);
  EXPECT_EQ(platform::LiveAllocationCount(), live + 2);
  EXPECT_TRUE(EngDeleteSurface(reinterpret_cast<HSURF>(first)));
  EXPECT_TRUE(EngDeleteSurface(reinterpret_cast<HSURF>(limit)));
  EXPECT_EQ(platform::LiveAllocationCount(), live);
}

TEST_F(EngSurfaceTest, DeviceSurfacesAssociateWithTheDevicesPdevAndRecordDrawing) {
  const SIZEL size{100, 50};
  const HSURF device = EngCreateDeviceSurface(reinterpret_cast<DHSURF>(0x1234), size, BMF_24BPP);
  ASSERT_NE(device, nullptr);
  SURFOBJ* so = EngLockSurface(device);
  EXPECT_EQ(so->iType, STYPE_DEVICE);
  EXPECT_EQ(so->pvBits, nullptr);
  EXPECT_EQ(so->dhsurf, reinterpret_cast<DHSURF>(0x1234));

  DRVENABLEDATA data{DDI_DRIVER_VERSION_NT5, 0, nullptr};
  const HDEV hdev = platform::CreateEngineDevice(data);
  platform::SetEngineDevicePdev(hdev, reinterpret_cast<DHPDEV>(0x5678));
  EXPECT_FALSE(EngMarkBandingSurface(device));  // only bitmaps band
  EXPECT_TRUE(EngAssociateSurface(device, hdev, HOOK_BITBLT | HOOK_FILLPATH));
  EXPECT_EQ(so->hdev, hdev);
  EXPECT_EQ(so->dhpdev, reinterpret_cast<DHPDEV>(0x5678));
  platform::SurfaceFacts facts;
  ASSERT_TRUE(platform::QuerySurface(device, facts));
  EXPECT_EQ(facts.hooks, HOOK_BITBLT | HOOK_FILLPATH);
  EXPECT_FALSE(facts.banding);
  platform::SetEngineFaults({.failAssociate = true});
  EXPECT_FALSE(EngAssociateSurface(device, hdev, 0));
  platform::SetEngineFaults({});

  // Work handed back on a device surface is recorded, not drawn.
  RECTL rect{1, 2, 3, 4};
  BRUSHOBJ* brush = platform::CreateSolidBrushObj(0);
  EXPECT_TRUE(EngBitBlt(so, nullptr, nullptr, nullptr, nullptr, &rect, nullptr, nullptr, brush, nullptr, 0xF0F0));
  EXPECT_TRUE(EngEraseSurface(so, &rect, 0));
  EXPECT_EQ(platform::TakeEngineCalls(),
            (std::vector<std::string>{"EngBitBlt device rop4=0xF0F0 (1,2,3,4)", "EngEraseSurface device (1,2,3,4)"}));
  platform::DeleteBrushObj(brush);

  Bitmap band(10, 4, BMF_1BPP);
  EXPECT_TRUE(EngMarkBandingSurface(band.handle()));
  ASSERT_TRUE(platform::QuerySurface(band.handle(), facts));
  EXPECT_TRUE(facts.banding);
  EXPECT_TRUE(EngDeleteSurface(device));
  platform::DeleteEngineDevice(hdev);
}

TEST_F(EngSurfaceTest, EraseFillsOnlyThePartInsideTheBitmap) {
  Bitmap mono(12, 3, BMF_1BPP);
  RECTL rect{-5, 1, 5, 10};
  ASSERT_TRUE(EngEraseSurface(mono.so(), &rect, 0xFFFFFF));  // masked to the format: 1
  EXPECT_EQ(mono.Count(1, RECTL{0, 0, 12, 3}), 10);
  EXPECT_EQ(mono.Count(1, RECTL{0, 1, 5, 3}), 10);
  EXPECT_EQ(mono.Row(1)[0], 0xF8);
  EXPECT_EQ(mono.Row(1)[1], 0x00);
}

}  // namespace
}  // namespace velm::test
