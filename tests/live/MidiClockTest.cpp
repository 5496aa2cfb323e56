// MIDI clock out: where LoopWren's own ticks fall in its steps.
#include "live/MidiClockTicks.h"
#include "song/Round.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace lw {
namespace {

constexpr double kRate = 44100;
// The closed form: tick n after a reset is tick n % 6 of step n / 6, which starts
// n / 6 * stepLength frames on and puts its ticks (n % 6) * stepLength / 6 frames in,
// rounded to the nearest frame, halves to the even one (what nearbyint does by default;
// a quotient of sixths is never near enough a half to be rounded wrongly).
uint64_t ExactTick(uint64_t start, int64_t stepLength, int64_t n) {
  const double inStep = std::nearbyint(static_cast<double>(n % 6 * stepLength) / 6);
  return start + static_cast<uint64_t>(n / 6 * stepLength) + static_cast<uint64_t>(inStep);
}

TEST(MidiClockTicks, TicksAreEvenAndEverySixthStartsAStep) {
  for (int bpm = 30; bpm <= 300; ++bpm) {
    const int stepLength = RoundHalfEven(2646000.0 / (bpm * 4)); // the engine's step
    MidiClockTicks ticks;
    ticks.Reset(777, stepLength);
    std::vector<uint64_t> got;
    ticks.Take(0, 777 + 20 * stepLength, [&](uint64_t frame) { got.push_back(frame); });
    ASSERT_EQ(got.size(), 120U) << bpm << " BPM";
    const double exact = kRate * 60 / (bpm * 24.0);
    for (std::size_t i = 0; i < got.size(); ++i) {
      if (i % 6 == 0) {
        EXPECT_EQ(got[i], 777 + i / 6 * stepLength) << bpm << " BPM, tick " << i;
      }
      if (i > 0) {
        const auto interval = static_cast<double>(got[i] - got[i - 1]);
        EXPECT_LE(std::fabs(interval - exact), 1.0) << bpm << " BPM, tick " << i;
      }
    }
  }
}

TEST(MidiClockTicks, NeverDriftsOverTenMinutesOfRandomPeriods) {
  for (const int stepLength : {5512, 4725, 3801, 22050, 2205}) {
    std::mt19937 rng(static_cast<uint32_t>(stepLength));
    const uint64_t start = 12345;
    MidiClockTicks ticks;
    ticks.Reset(start, stepLength);
    int64_t n = 0;
    uint64_t period = 0;
    while (period < 26'460'000) { // ten minutes
      const auto frames = static_cast<uint32_t>(1 + rng() % 8192);
      ticks.Take(period, frames, [&](uint64_t frame) {
        EXPECT_EQ(frame, ExactTick(start, stepLength, n)) << "tick " << n;
        EXPECT_GE(frame, period) << "contiguous periods leave no tick late";
        ++n;
      });
      if (HasFailure()) {
        return;
      }
      period += frames;
    }
    EXPECT_EQ(ticks.NextTick(), ExactTick(start, stepLength, n));
    EXPECT_GE(ticks.NextTick(), period) << "every tick of the ten minutes came";
  }
}

TEST(MidiClockTicks, ATempoChangeLandsOnTheNextStepStart) {
  MidiClockTicks ticks;
  ticks.Reset(1000, 5512);
  std::vector<uint64_t> got;
  const auto take = [&](uint64_t frame) { got.push_back(frame); };
  ticks.Take(0, 3000, take); // into the first step
  ticks.SetStepLength(6000);
  ticks.SetStepLength(4725); // the last word counts
  ticks.Take(3000, 17000, take);
  const std::vector<uint64_t> expected{
      1000,  1919,  2837,  3756,  4675,  5593,   // 5512 / 6 = 918.67
      6512,  7300,  8087,  8874,  9662,  10450,  // 4725 / 6 = 787.5, halves to even
      11237, 12025, 12812, 13599, 14387, 15175,  // the next step alike
      15962, 16750, 17537, 18324, 19112, 19900}; // and the next
  EXPECT_EQ(got, expected);
  EXPECT_EQ(ticks.NextTick(), 20687U);
}

TEST(MidiClockTicks, SkippedFramesGiveLateTicksAndNoStepLengthHangs) {
  MidiClockTicks ticks;
  ticks.Reset(0, 600);
  std::vector<uint64_t> got;
  ticks.Take(1000, 100, [&](uint64_t frame) { got.push_back(frame); });
  EXPECT_EQ(got, (std::vector<uint64_t>{0, 100, 200, 300, 400, 500, 600, 700, 800, 900, 1000}))
      << "the ticks of frames never asked for come late, not never";

  ticks.Reset(50, 0); // a zero-length step lasts a frame
  got.clear();
  ticks.Take(50, 2, [&](uint64_t frame) { got.push_back(frame); });
  EXPECT_EQ(got, (std::vector<uint64_t>{50, 50, 50, 50, 51, 51, 51, 51, 51, 51}));
}

} // namespace
} // namespace lw
