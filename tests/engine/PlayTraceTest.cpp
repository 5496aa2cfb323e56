// Where the steps began, for the interface's running step light.
#include "EngineHelpers.h"
#include "audio_out/HeardPosition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace lw {
namespace {

using test::Start;

// The steps the clock must have begun, from its own step lengths: the first sample of each.
// The first step after a start is a sample short, so the grid's origin is the sample before.
std::vector<uint64_t> StepStarts(const Engine& e, uint64_t from, int steps) {
  std::vector<uint64_t> starts{from};
  uint64_t at = from - 1;
  for (int k = 0; k + 1 < steps; ++k) {
    at += e.clock.stepLengths[static_cast<std::size_t>(k % kSteps)];
    starts.push_back(at);
  }
  return starts;
}

TEST(PlayTrace, EveryStepIsFoundFromItsFirstSampleToItsLastWhateverTheBlocks) {
  auto engine = test::NewEngine();
  Engine& e = *engine;
  e.state.song.tempo = 133;
  e.state.song.shuffle = 37;
  e.UpdateTiming();
  // Whatever was rendered before (a render, live notes) only moves the origin.
  std::vector<int16_t> out(7000);
  e.RenderBlock(out.data(), 1234);
  Start(e);
  const uint64_t origin = e.renderedSamples.load();
  EXPECT_EQ(origin, 1234U);
  const std::vector<uint64_t> starts = StepStarts(e, origin, 2 * kSteps);
  // Blocks of every size, among them one sample and blocks longer than a step.
  for (const std::size_t block : {1U, 999U, 7000U, 2U, 6144U, 5000U, 7000U, 7000U, 7000U}) {
    for (int k = 0; k < 4; ++k) {
      e.RenderBlock(out.data(), block);
    }
  }
  ASSERT_GT(e.renderedSamples.load(), starts.back() + 10);
  for (std::size_t k = 0; k < starts.size(); ++k) {
    const int step = static_cast<int>(k % kSteps);
    for (const uint64_t sample :
         {starts[k], starts[k] + 1, (k + 1 < starts.size() ? starts[k + 1] - 1 : starts[k] + 5)}) {
      const auto mark = e.trace.At(sample);
      ASSERT_TRUE(mark) << "sample " << sample;
      EXPECT_EQ(mark->step, step) << "sample " << sample;
      EXPECT_EQ(mark->sample, starts[k]);
    }
  }
  EXPECT_FALSE(e.trace.At(origin - 1)) << "before the start nothing of this run sounds";
}

TEST(PlayTrace, ARestartHidesThePreviousRunAndSongModeMarksCarryTheSlot) {
  auto engine = test::NewEngine();
  Engine& e = *engine;
  e.state.sequence.slots[0] = {0, 0};
  e.state.sequence.slots[1] = {2, 5};
  e.songMode = true;
  Start(e);
  const int32_t pattern = e.clock.patternSamples;
  std::vector<int16_t> out(static_cast<std::size_t>(pattern) + 100);
  e.RenderBlock(out.data(), out.size());
  const auto second = e.trace.At(e.renderedSamples.load() - 1);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->step, 0);
  EXPECT_EQ(second->bank, 2);
  EXPECT_EQ(second->pattern, 5);
  EXPECT_EQ(second->songPosition, 1);
  EXPECT_EQ(second->positionMoves, e.songPositionMoves.load());
  const auto first = e.trace.At(100);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->bank, 0);
  EXPECT_EQ(first->songPosition, 0);

  const uint64_t restart = e.renderedSamples.load();
  e.songMode = false;
  Start(e);
  EXPECT_FALSE(e.trace.At(restart - 1)) << "a stopped run is not heard any more";
  EXPECT_FALSE(e.trace.At(100));
  const auto fresh = e.trace.At(restart);
  ASSERT_TRUE(fresh);
  EXPECT_EQ(fresh->step, 0);
  EXPECT_GT(fresh->run, second->run);
}

TEST(PlayTrace, MarksOlderThanTheRingAreForgottenNotMisread) {
  auto engine = test::NewEngine();
  Engine& e = *engine;
  e.state.song.tempo = 1230; // the shortest steps
  e.UpdateTiming();
  Start(e);
  std::vector<int16_t> out(static_cast<std::size_t>(e.clock.stepLength) * (PlayTrace::kMarks + 20));
  e.RenderBlock(out.data(), out.size());
  EXPECT_FALSE(e.trace.At(0));
  const auto recent = e.trace.At(e.renderedSamples.load() - 1);
  ASSERT_TRUE(recent);
  const std::vector<uint64_t> starts = StepStarts(e, 0, PlayTrace::kMarks + 40);
  const auto last =
      std::upper_bound(starts.begin(), starts.end(), e.renderedSamples.load() - 1) - 1;
  EXPECT_EQ(recent->sample, *last);
  EXPECT_EQ(recent->step, (last - starts.begin()) % kSteps);
}

// The listener's place between an output's moves, as a screen-frame timer sees it.
TEST(HeardClock, RunsOnBetweenMovesWithinAStrideAndNeverBackwards) {
  constexpr int64_t kMs = 1'000'000;
  HeardClock clock;
  const OutputCursor at{10'000, 1024, 1024};
  struct Row {
    std::optional<OutputCursor> cursor;
    int64_t nowNs;
    std::optional<uint64_t> heard;
    const char* why;
  };
  const Row rows[] = {
      {std::nullopt, 0, std::nullopt, "nothing of the song sounds"},
      {at, 5 * kMs, 8976, "the device took a buffer: the one before it plays"},
      {at, 15 * kMs, 8976 + 441, "10 ms later, 441 samples on"},
      {at, 40 * kMs, 10'000, "never past a stride while the output says nothing"},
      {OutputCursor{11'024, 1100, 1024}, 41 * kMs, 10'000,
       "a move that says less than the light shows does not pull it back"},
      {OutputCursor{11'024, 1100, 1024}, 51 * kMs, 9924 + 441, "and it runs on from the move"},
      {OutputCursor{500, 100, 256}, 52 * kMs, 400, "a jump back further than a stride: a restart"},
      {OutputCursor{50, 100, 256}, 53 * kMs, std::nullopt, "the song not yet reached the ear"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(clock.Heard(row.cursor, row.nowNs), row.heard) << row.why;
  }
}

} // namespace
} // namespace lw
