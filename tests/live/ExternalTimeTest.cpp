// The song on a leader's beat grid: every step starts on the first frame at or past its
// beat, at fractional tempos, with shuffle and through a tempo change.
#include "LiveSong.h"
#include "live/PeriodRenderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace lw {
namespace {

// A leader at a steady tempo whose beat 0 is at output frame `zero`, from `change` on at
// another tempo.
struct SteadyLeader : BeatLeader {
  OutputFrame zero = 0;
  double bpm = 128.5;
  OutputFrame change = UINT64_MAX;
  double newBpm = 0;
  bool BeatAt(OutputFrame frame, double& beat, double& tempo) noexcept override {
    const double perBeat = 44100 * 60.0;
    if (frame < change) {
      beat = static_cast<double>(frame - zero) * bpm / perBeat;
      tempo = bpm;
    } else {
      beat = static_cast<double>(change - zero) * bpm / perBeat +
             static_cast<double>(frame - change) * newBpm / perBeat;
      tempo = newBpm;
    }
    return true;
  }
  // The frame at which `beat` is first reached (the test's own reckoning).
  [[nodiscard]] OutputFrame FrameOf(double beat) const {
    const double perBeat = 44100 * 60.0;
    const double changeBeat = static_cast<double>(change - zero) * bpm / perBeat;
    if (change == UINT64_MAX || beat <= changeBeat) {
      return zero + static_cast<OutputFrame>(std::ceil(beat * perBeat / bpm - 1e-9));
    }
    return change +
           static_cast<OutputFrame>(std::ceil((beat - changeBeat) * perBeat / newBpm - 1e-9));
  }
};

// A drum on every step of channel 1 whose values rise from 1000, so that a step's first
// sample (the drum's value 1001) shows where the step began.
void ClickEveryStep(Engine& e, int shuffle) {
  std::vector<int16_t> ramp(1500);
  for (std::size_t i = 0; i < ramp.size(); ++i) {
    ramp[i] = static_cast<int16_t>(1000 + i);
  }
  test::PutSample(e, 0, ramp, 44100, SampleCategory::Drum);
  for (int st = 0; st < kSteps; ++st) {
    test::PutNote(e, 0, 0, 0, st, 0);
  }
  e.state.song.channel(0, 0, 0).volume = 127;
  e.state.song.shuffle = shuffle;
  e.state.song.tempo = 90; // the song's own tempo, which the leader overrules
  e.UpdateTiming();
}

// Where each step began: the frames whose channel 1 value is the drum's first.
std::vector<OutputFrame> StepStarts(PeriodRenderer& renderer, OutputFrame from, std::size_t frames,
                                    uint32_t period) {
  std::vector<OutputFrame> starts;
  std::vector<float> mix(period);
  std::vector<float> ch1(period);
  for (OutputFrame at = from; at < from + frames; at += period) {
    renderer.Process({mix.data(), ch1.data(), nullptr, nullptr}, period, at);
    for (uint32_t i = 0; i < period; ++i) {
      if (std::lround(ch1[i] * 65536.0F) == 1001) {
        starts.push_back(at + i);
      }
    }
  }
  return starts;
}

TEST(ExternalTime, EveryStepStartsOnTheFrameTheLeadersBeatPuts) {
  for (const int shuffle : {0, 30, 50}) {
    for (const uint32_t period : {64U, 1000U, 8192U}) {
      SCOPED_TRACE(testing::Message() << "shuffle " << shuffle << ", period " << period);
      auto e = test::NewEngine();
      {
        const EngineHold hold(e->engineLock);
        ClickEveryStep(*e, shuffle);
      }
      PeriodRenderer renderer(*e);
      SteadyLeader leader;
      renderer.SetLeader(&leader);
      const OutputFrame first = 1'000'000;
      leader.zero = first + period; // the start is one period ahead of the first period
      ASSERT_TRUE(renderer.StartLed(leader.zero, 0.0));
      const auto starts = StepStarts(renderer, first, 400'000, period);
      ASSERT_GT(starts.size(), 40U);
      for (std::size_t n = 0; n + 1 < starts.size(); ++n) {
        ASSERT_EQ(starts[n], leader.FrameOf(test::StepBeat(static_cast<int64_t>(n), shuffle)))
            << "step " << n;
      }
      EXPECT_EQ(renderer.sessionStart(), leader.zero);
    }
  }
}

TEST(ExternalTime, ATempoChangeMovesTheStepsFromWhereItHappens) {
  auto e = test::NewEngine();
  {
    const EngineHold hold(e->engineLock);
    ClickEveryStep(*e, 20);
  }
  PeriodRenderer renderer(*e);
  SteadyLeader leader;
  renderer.SetLeader(&leader);
  leader.zero = 64;
  leader.change = 64 + 100'000; // the leader's tempo changes here, announced as it comes
  leader.newBpm = 97.25;
  ASSERT_TRUE(renderer.StartLed(leader.zero, 0.0));
  const auto starts = StepStarts(renderer, 0, 300'000, 64);
  std::size_t checked = 0;
  for (std::size_t n = 0; n + 1 < starts.size(); ++n) {
    const OutputFrame expected = leader.FrameOf(test::StepBeat(static_cast<int64_t>(n), 20));
    // The frames rendered ahead of the change, one period at most, keep the old tempo.
    if (expected > leader.change && expected < leader.change + 2 * 64) {
      continue;
    }
    EXPECT_EQ(starts[n], expected) << "step " << n;
    ++checked;
  }
  EXPECT_GT(checked, 40U);
}

TEST(ExternalTime, AStartMidPatternBeginsInTheStepTheBeatLiesIn) {
  auto e = test::NewEngine();
  const EngineHold hold(e->engineLock);
  ClickEveryStep(*e, 0);
  double next = 0;
  const struct {
    double beat;
    int step;
    double next;
  } cases[] = {{0.0, 0, 0.25},  {0.24, 0, 0.25}, {0.25, 1, 0.5}, {2.6, 10, 2.75},
               {3.99, 15, 4.0}, {4.0, 0, 4.25},  {33.3, 5, 33.5}};
  for (const auto& c : cases) {
    EXPECT_EQ(e->StepAtBeat(c.beat, next), c.step) << c.beat;
    EXPECT_DOUBLE_EQ(next, c.next) << c.beat;
  }
  e->state.song.shuffle = 50;
  EXPECT_EQ(e->StepAtBeat(0.3, next), 0) << "the even step is half as long again";
  EXPECT_DOUBLE_EQ(next, 0.375);
  e->StartAtBeat(2.6);
  EXPECT_EQ(e->clock.currentStep, 10);
  EXPECT_EQ(e->clock.nextStep, 11);
  EXPECT_EQ(e->voices[0].sampleIndex, 0) << "the step's note plays at once";
}

TEST(ExternalTime, ALedStartPlaysTheStepItStartsInBeforeMovingOn) {
  auto e = test::NewEngine();
  {
    const EngineHold hold(e->engineLock);
    ClickEveryStep(*e, 0);
  }
  PeriodRenderer renderer(*e);
  SteadyLeader leader;
  renderer.SetLeader(&leader);
  // The start is on a step's very beat (2.5 beats at 120 BPM are 55125 frames, exactly):
  // the first frame is that step's first, not the next one's.
  leader.bpm = 120;
  leader.zero = 100'000 - 55'125;
  ASSERT_TRUE(renderer.StartLed(100'000, 2.5));
  std::vector<float> mix(64);
  renderer.Process({mix.data(), nullptr, nullptr, nullptr}, 64, 100'000 - 64);
  const EngineHold hold(e->engineLock);
  EXPECT_EQ(e->clock.currentStep, 10);
}

} // namespace
} // namespace lw
