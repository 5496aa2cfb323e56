#include "engine/Scale.h"

#include <gtest/gtest.h>

#include <memory>

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
  auto halves = std::make_unique<PercentHalves>();
  for (int32_t percent = 0; percent <= 100; ++percent) {
    const PercentHalves::Bits& table = halves->For(percent);
    for (int32_t s = -32768; s <= 32767; ++s) {
      const int32_t expected = ScalePercentReference(s, percent);
      ASSERT_EQ(ScalePercent(s, percent), expected) << s << " " << percent;
      ASSERT_EQ(ScalePercent(s, percent, table), expected) << s << " " << percent;
    }
    // Beyond the table the division-free form answers.
    ASSERT_EQ(ScalePercent(98303, percent, table), ScalePercentReference(98303, percent));
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
