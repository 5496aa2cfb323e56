#include "engine/Overdrive.h"
#include "engine/PitchTable.h"

#include <gtest/gtest.h>

#include <memory>

namespace lw {
namespace {

int16_t Entry(int curve, int j) {
  return OverdriveCurves()[static_cast<std::size_t>(curve) * kOverdriveEntries + j];
}

// The first entry at which a curve reaches its 32000 ceiling.
int SaturatesFrom(int curve) {
  for (int j = 0; j < kOverdriveEntries; ++j) {
    if (Entry(curve, j) == 32000) {
      return j;
    }
  }
  return -1;
}

TEST(Overdrive, TheCompiledCurvesAreTheOnesBuiltInExtendedPrecision) {
  auto built = std::make_unique<OverdriveTable>();
  BuildOverdriveCurves(*built);
  EXPECT_TRUE(*built == OverdriveCurves());
}

TEST(Overdrive, CurvesHaveTheirTellingValues) {
  EXPECT_EQ(Entry(32, 10), 569);
  EXPECT_EQ(Entry(32, 100), 10119);
  EXPECT_EQ(Entry(63, 1), 63);
  EXPECT_EQ(Entry(63, 10), 1945);
  EXPECT_EQ(SaturatesFrom(32), 252);
  EXPECT_EQ(SaturatesFrom(63), 66);
  EXPECT_EQ(SaturatesFrom(0), 2000);
  for (int i = 0; i < kOverdriveCurves; ++i) {
    EXPECT_EQ(Entry(i, 0), 0);
    for (int j = 1; j < kOverdriveEntries; ++j) {
      ASSERT_GE(Entry(i, j), Entry(i, j - 1)) << "curve " << i << " entry " << j;
      ASSERT_LE(Entry(i, j), 32000);
    }
  }
}

TEST(Overdrive, SamplesAreShapedByMagnitudeInStepsOf16) {
  for (int curve = 0; curve < kOverdriveCurves; ++curve) {
    const auto c = static_cast<uint8_t>(curve);
    EXPECT_EQ(OverdriveSample(15, c), 0);
    EXPECT_EQ(OverdriveSample(-15, c), 0);
    EXPECT_EQ(OverdriveSample(-32768, c), -32000);
  }
  EXPECT_EQ(OverdriveSample(1600, 32), 10119);
  EXPECT_EQ(OverdriveSample(-1600, 32), -10119);
  EXPECT_EQ(OverdriveSample(1615, 32), 10119);
  EXPECT_EQ(OverdriveSample(1000, 0), 992);
  EXPECT_EQ(OverdriveSample(-1000, 0), -992);
  EXPECT_EQ(OverdriveSample(32767, 0), 32000);
}

TEST(Overdrive, CurvesBeyond63UseCurve63) {
  EXPECT_EQ(OverdriveSample(160, 200), OverdriveSample(160, 63));
  EXPECT_EQ(OverdriveSample(-16, 255), -63);
}

TEST(PitchTable, OctavesDoubleExactlyFromTheSamplesOwnPitch) {
  const PitchTable& t = GetPitchTable();
  EXPECT_EQ(t[36], 1.0);
  EXPECT_EQ(t[24], 0.5);
  EXPECT_EQ(t[48], 2.0);
  EXPECT_EQ(t[0], 0.125);
  EXPECT_NEAR(t[95], 30.2, 0.05);
  EXPECT_NEAR(t[37], 1.059462, 1e-6);
  EXPECT_EQ(t[37], 17.3239 / 16.3516 / 8 * 8) << "ratios follow the rounded frequencies";
  for (int n = 12; n < kPitchNotes; ++n) {
    EXPECT_EQ(t[n], 2 * t[n - 12]) << n;
  }
}

} // namespace
} // namespace lw
