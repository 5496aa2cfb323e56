#include "engine/Delay.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace lw {
namespace {

// Feeds one impulse and returns the output at every multiple of the delay length.
std::vector<int32_t> EchoTrain(Delay& delay, int32_t impulse, int echoes) {
  std::vector<int32_t> train;
  const int32_t length = delay.delayLength();
  for (int32_t n = 0; n <= length * echoes; ++n) {
    const int32_t out = delay.Process(n == 0 ? impulse : 0);
    if (n % length == 0 && n > 0) {
      train.push_back(out);
    } else {
      EXPECT_EQ(out, 0) << "between echoes, sample " << n;
    }
  }
  return train;
}

TEST(Delay, LengthFollowsTempoAndStepsAndIsCapped) {
  auto d = std::make_unique<Delay>();
  d->SetParameters(120, 0, 0.5);
  EXPECT_EQ(d->delayLength(), 256);
  d->SetParameters(30, 0, 0.5);
  EXPECT_EQ(d->delayLength(), 256) << "no steps: 256 samples whatever the tempo";
  d->SetParameters(120, 3, 0.5);
  EXPECT_EQ(d->delayLength(), 16538) << "16537.5 rounds to even";
  d->SetParameters(30, 6, 0.5);
  EXPECT_EQ(d->delayLength(), 65536);
  EXPECT_EQ(d->wrapIndex(), 65536);
  d->SetParameters(0, 2, 0.5);
  EXPECT_EQ(d->delayLength(), 65536) << "tempo 0 never divides by zero";
}

TEST(Delay, EchoesFallByTheFeedbackRoundedHalfToEven) {
  auto d = std::make_unique<Delay>();
  d->SetParameters(1230, 1, 0.5);
  EXPECT_EQ(EchoTrain(*d, 1000, 13),
            (std::vector<int32_t>{1000, 500, 250, 125, 62, 31, 16, 8, 4, 2, 1, 0, 0}));
}

TEST(Delay, ZeroFeedbackGivesExactlyOneEcho) {
  auto d = std::make_unique<Delay>();
  d->SetParameters(120, 1, 0.0);
  EXPECT_EQ(EchoTrain(*d, -700, 3), (std::vector<int32_t>{-700, 0, 0}));
}

TEST(Delay, TheLongestRingWrapsItsIndexBy16BitOverflow) {
  auto d = std::make_unique<Delay>();
  d->SetParameters(30, 6, 0.5);
  for (int n = 0; n < 65535; ++n) {
    d->Process(n == 0 ? 1000 : 0);
  }
  EXPECT_EQ(d->delayIndex(), 65535);
  d->Process(0);
  EXPECT_EQ(d->delayIndex(), 0);
  EXPECT_EQ(d->Process(0), 1000) << "the first echo comes exactly 65536 samples later";
}

TEST(Delay, ParameterChangesKeepTheEchoesAndClearingKeepsTheRingPosition) {
  auto d = std::make_unique<Delay>();
  d->SetParameters(120, 1, 0.5);
  d->Process(800);
  d->SetParameters(120, 1, 0.25);
  const int32_t length = d->delayLength();
  for (int n = 1; n < length; ++n) {
    d->Process(0);
  }
  EXPECT_EQ(d->Process(0), 800);
  const uint16_t index = d->delayIndex();
  d->ClearDelayLine();
  EXPECT_EQ(d->delayIndex(), index);
  for (int n = 0; n < 2 * length; ++n) {
    EXPECT_EQ(d->Process(0), 0);
  }
}

TEST(Delay, AShrunkRingRestartsAfterTheOldIndex) {
  auto d = std::make_unique<Delay>();
  d->SetParameters(120, 2, 0.0);
  for (int n = 0; n < 1000; ++n) {
    d->Process(0);
  }
  d->SetParameters(120, 0, 0.0); // 256 samples, index 1000 beyond it
  d->Process(5);
  EXPECT_EQ(d->delayIndex(), 0);
}

TEST(Delay, AFreshDelayRestartsAfterEveryValueUntilItIsSet) {
  auto d = std::make_unique<Delay>();
  EXPECT_EQ(d->Process(300), 0);
  EXPECT_EQ(d->delayIndex(), 0);
  EXPECT_EQ(d->Process(0), 300);
}

} // namespace
} // namespace lw
