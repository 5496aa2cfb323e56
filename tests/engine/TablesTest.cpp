#include "engine/Overdrive.h"
#include "engine/PitchTable.h"
#include "engine/Scale.h"
#include "engine/VoiceChain.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

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

// The mixer's table of a voice's chain is indexed by s / 16, truncated toward zero as
// the overdrive's magnitude steps are: values -15..15 share the middle entry, and the
// ends of the sample range land on the table's ends.
TEST(ShapeTable, TheIndexFollowsTheOverdrivesStepsToTheTablesEnds) {
  const std::vector<std::pair<int32_t, int32_t>> edges = {
      {-32768, 0}, {-32767, 1}, {-32752, 1}, {-32751, 2}, {-33, 2046},   {-32, 2046},
      {-31, 2047}, {-16, 2047}, {-15, 2048}, {-1, 2048},  {0, 2048},     {1, 2048},
      {15, 2048},  {16, 2049},  {31, 2049},  {32, 2050},  {32767, 4095},
  };
  for (const auto& [s, index] : edges) {
    EXPECT_EQ(mixing::ShapeIndex(s), index) << s;
  }
  EXPECT_LT(mixing::ShapeIndex(32767), mixing::kShapeEntries);
}

// Reading the chain from its table gives what the arithmetic gives, for every sample
// value, at the curves, fades, volumes and sends where the steps and the caps bite.
TEST(ShapeTable, TheTableGivesTheArithmeticsSumForEveryValue) {
  PercentHalves halves;
  std::vector<int64_t> entries(static_cast<std::size_t>(mixing::kShapeEntries));
  for (const int curve : {0, 1, 32, 63}) {
    for (const int32_t fade : {0, 1, 3, 32000}) {
      for (const int32_t volume : {1, 100, 127}) {
        for (const int32_t send : {0, 37, 100}) {
          const int16_t* curveEntries =
              &OverdriveCurves()[static_cast<std::size_t>(curve) * kOverdriveEntries];
          const mixing::ArithmeticShape shape{curveEntries, fade, volume, send, &halves.For(send)};
          mixing::FillShapeEntries(shape, entries.data());
          const mixing::TableShape table{entries.data()};
          for (int32_t s = -32768; s <= 32767; ++s) {
            int64_t fromTable = 0;
            table.Add(s, fromTable);
            ASSERT_EQ(fromTable, shape.Of(s)) << "curve " << curve << " fade " << fade << " volume "
                                              << volume << " send " << send << " value " << s;
          }
        }
      }
    }
  }
}

} // namespace
} // namespace lw
