#include "engine/Scale.h"

#include <gtest/gtest.h>

namespace lw {
namespace {

// Every voice value the mixer can scale, at every volume and percentage the controls and
// the clamps allow: the division-free forms must agree with the double expressions.
TEST(Scale, VolumeAgreesWithTheDoubleExpressionEverywhere) {
  for (int32_t volume = 0; volume <= 127; ++volume) {
    for (int32_t s = -32768; s <= 32767; ++s) {
      ASSERT_EQ(ScaleVolume(s, volume), ScaleVolumeReference(s, volume)) << s << " " << volume;
    }
  }
}

TEST(Scale, PercentAgreesWithTheDoubleExpressionEverywhere) {
  for (int32_t percent = 0; percent <= 100; ++percent) {
    for (int32_t s = -32768; s <= 32767; ++s) {
      ASSERT_EQ(ScalePercent(s, percent), ScalePercentReference(s, percent)) << s << " " << percent;
    }
  }
}

TEST(Scale, ExactHalvesFollowTheDoubleExpression) {
  EXPECT_EQ(ScalePercent(1, 50), 0);  // 0.5 to even
  EXPECT_EQ(ScalePercent(3, 50), 2);  // 1.5 to even
  EXPECT_EQ(ScalePercent(-5, 10), 0); // -0.5
  EXPECT_EQ(ScaleVolume(254, 64), 128);
  EXPECT_EQ(ScaleVolume(-32768, 127), -32768);
}

} // namespace
} // namespace lw
