// Unit conversions at their edges and the custom paper limits in both unit systems.
#include <limits>

#include "settings/items/store_fixture.h"
#include "settings/items/unit_conversion.h"

namespace {

TEST(UnitConversionTest, FormulasAtTheirEdges) {
  EXPECT_EQ(DmDotsToTenthMm(21000, 1200), 4445u);
  EXPECT_EQ(DmTenthMmToDots(4445, 1200), 21000u);
  EXPECT_EQ(DmDotsToTenthMm(21000, 0), 0u);
  EXPECT_EQ(DmDotsToTenthMm(4'000'000'000u, 1200), 846'666'666u);  // no intermediate overflows
  EXPECT_EQ(DmHundredthInchToDots(850, 600), 5100u);
  EXPECT_EQ(DmHundredthInchToDots(850, 1200), 10200u);
  EXPECT_EQ(DmDotsToHundredthInch(10211, 1200), 850u);
  EXPECT_EQ(DmDotsToHundredthInch(5000, 0), 0u);  // below 100 dpi there is no divisor
  EXPECT_EQ(DmDotsToHundredthInch(5000, 50), 0u);
  EXPECT_EQ(DmRescale(1001, 1200, 600), 500u);
  EXPECT_EQ(DmRescale(5, 0, 600), 0u);
  EXPECT_EQ(DmRescale(5, 600, 0), 0u);
  EXPECT_EQ(DmRescale(4'000'000'000u, 7, 6), 3'428'571'428u);
  EXPECT_EQ(DmMulDiv(7, 5, 0), -1);
  EXPECT_EQ(DmMulDiv(-7, 5, 2), -17);  // truncated
  EXPECT_EQ(DmMulDiv(100000, 100000, 1000), 10'000'000);
  EXPECT_EQ(DmMulDiv(std::numeric_limits<LONG>::max(), 2, 1), -1);
}

TEST(UnitConversionTest, UnitsToDotsIsEvenAndNeverMoreAndDotsToUnitsRoundsUpAndBack) {
  EXPECT_EQ(DmUnitsToDots(kUnitTenthMm, 4445, 1200), 21000u);
  EXPECT_EQ(DmUnitsToDots(kUnitTenthMm, 5, 1200), 22u);  // 23.6 dots: 23 is odd
  EXPECT_EQ(DmUnitsToDots(kUnitTenthMm, 5, 600), 11u);
  EXPECT_EQ(DmUnitsToDots(kUnitHundredthInch, 850, 300), 2550u);
  EXPECT_EQ(DmUnitsToDots(3, 850, 1200), 0u);
  EXPECT_EQ(DmUnitsToDots(kUnitHundredthInch, 0xFFFFFFFFu, 1200), 0xFFFFFFFEu);
  EXPECT_EQ(DmDotsToUnits(kUnitTenthMm, 4250, 1200), 900u);  // 899 tenth-mm is 4247 dots
  EXPECT_EQ(DmDotsToUnits(kUnitHundredthInch, 10201, 1200), 851u);
  EXPECT_EQ(DmDotsToUnits(kUnitHundredthInch, 5100, 600), 850u);
  for (DWORD units : {1u, 5u, 899u, 3050u, 4445u}) {
    for (int unit : {kUnitTenthMm, kUnitHundredthInch})
      EXPECT_EQ(DmDotsToUnits(unit, DmUnitsToDots(unit, units, 1200), 1200), units) << unit << " " << units;
  }
}

TEST_F(ItemStoreTest, DisplayUnitsFollowItem179) {
  EXPECT_EQ(DmDotsToDisplayUnits(context_, 0, 21000), 4445u);
  EXPECT_EQ(DmDotsToDisplayUnits(context_, 0, -1), 0u);
  EXPECT_EQ(DmDisplayUnitsToDots(context_, 0, -5), 0u);
  EXPECT_EQ(DmDisplayUnitsToDots(context_, kItemScaleH, 5), 22u);  // stored as the item's value
  EXPECT_EQ(OptGetValue(context_, kItemScaleH), 22u);
  EXPECT_EQ(DmDotsToDisplayUnits(context_, kItemScaleH, 999999), 5u);
  ASSERT_TRUE(OptSetValue(context_, kItemUnit, 1));
  EXPECT_FALSE(OptIsMetricUnit(context_));
  EXPECT_EQ(DmDotsToDisplayUnits(context_, 0, 10200), 850u);
}

TEST_F(ItemStoreTest, CustomPaperLimitsInBothUnitSystems) {
  const struct {
    DWORD unit;
    WORD item;
    DWORD low, high;
  } limits[] = {{0, kItemFreeSizeWidth, 900, 3050},  {0, kItemFreeSizeLength, 1480, 4570},
                {1, kItemFreeSizeWidth, 355, 1200},  // 1201 would be 14412 dots, above 14408
                {1, kItemFreeSizeLength, 583, 1799}};
  for (const auto& l : limits) {
    SCOPED_TRACE(l.item);
    OptSetValue(context_, kItemUnit, l.unit);
    DWORD low = 0, high = 0;
    ASSERT_TRUE(DmGetCustomPaperLimits(context_, l.item, &low, &high));
    EXPECT_EQ(low, l.low);
    EXPECT_EQ(high, l.high);
  }
  DWORD low = 1, high = 1;
  EXPECT_FALSE(DmGetCustomPaperLimits(context_, 7, &low, &high));
  EXPECT_EQ(low + high, 0u);
}

}  // namespace
