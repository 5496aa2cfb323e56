// Step positions are played as stored, including the 1025 and 1026 that the slicing
// commands write themselves. Each expectation here is derived by hand from the voice's
// arithmetic: a drum at 44100 Hz and pitch 100 moves exactly one frame per output
// sample, the position advances before it is read, a loop jumps back once the position
// passes its end, and index i is heard only while i + 2 <= length.
#include "EngineHelpers.h"
#include "song/EditCommands.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lw {
namespace {

using test::PutNote;
using test::PutSample;
using test::Render;
using test::Start;

constexpr int kStep = 5512; // every step at tempo 120 without shuffle

// Values 2, 4, 6, ...: never 0, and halved exactly by the master output.
std::vector<int16_t> EvenRamp(int length) {
  std::vector<int16_t> data(static_cast<std::size_t>(length));
  for (int i = 0; i < length; ++i) {
    data[static_cast<std::size_t>(i)] = static_cast<int16_t>(2 * (i + 1));
  }
  return data;
}

// What the master output gives for a voice at volume 127 reading frame `position`.
int16_t Heard(const std::vector<int16_t>& data, int position) {
  const int length = static_cast<int>(data.size());
  return position >= 0 && position + 2 <= length ? static_cast<int16_t>(data[position] / 2) : 0;
}

struct PositionFixture : ::testing::Test {
  std::unique_ptr<Engine> engine = test::NewEngine();
  Engine& e = *engine;
  Song& song = engine->state.song;

  // A drum on step 0 of channel 0 at full volume, one frame per output sample.
  Step& NoteOnStep0(const std::vector<int16_t>& data) {
    PutSample(e, 0, data, 44100, SampleCategory::Drum);
    song.channel(0, 0, 0).volume = 127;
    return PutNote(e, 0, 0, 0, 0, 0);
  }
};

TEST_F(PositionFixture, ALoopEndingAt1026RunsThroughTheSilencePastAShortSample) {
  const auto data = EvenRamp(41); // P(x) = 0.04 x: the loop ends at frame 41.04
  Step& step = NoteOnStep0(data);
  step.mode = static_cast<uint8_t>(StepMode::RetrigLoop);
  step.startPos = 0;
  step.endPos = 1026;
  Start(e);
  EXPECT_DOUBLE_EQ(e.voices[0].loopEnd, 41.04);
  // Frames 1..41 (40 and 41 are silent), then 42 passes the end and jumps back to 0:
  // a cycle of 42 samples. Ending at 1024 (frame 40.96) would make it 41.
  const auto out = Render(e, 500);
  for (int n = 0; n < 500; ++n) {
    ASSERT_EQ(out[n], Heard(data, (n + 1) % 42)) << "sample " << n;
  }
}

TEST_F(PositionFixture, RetriggerAndContinueFromTheEndPlaysSilence) {
  // A long sample: 10250 frames, 10 frames per position unit.
  const auto data = EvenRamp(10250);
  struct Case {
    int32_t startPos;
    double position; // where the retrigger puts the voice
  };
  for (const Case c : {Case{1024, 10240.0}, Case{1025, 10250.0}, Case{1026, 10260.0}}) {
    auto fresh = test::NewEngine();
    PutSample(*fresh, 0, data, 44100, SampleCategory::Drum);
    fresh->state.song.channel(0, 0, 0).volume = 127;
    Step& step = PutNote(*fresh, 0, 0, 0, 0, 0);
    step.mode = static_cast<uint8_t>(StepMode::RetrigContinue);
    step.startPos = c.startPos;
    Start(*fresh);
    EXPECT_DOUBLE_EQ(fresh->voices[0].position, c.position) << "startPos " << c.startPos;
    const auto out = Render(*fresh, 20);
    for (int n = 0; n < 20; ++n) {
      // From 1024 the last frames 10241..10248 sound; from 1025 and 1026 nothing does.
      ASSERT_EQ(out[n], Heard(data, static_cast<int>(c.position) + n + 1))
          << "startPos " << c.startPos << ", sample " << n;
    }
  }
}

TEST_F(PositionFixture, PositionsBeyond1024FromAFileArePlayedAsStoredAndNegativeOnesFromZero) {
  const auto data = EvenRamp(2050); // two frames per position unit
  Step& step = NoteOnStep0(data);
  step.mode = static_cast<uint8_t>(StepMode::RetrigLoop);
  step.startPos = -20;
  step.endPos = 5000;
  Start(e);
  EXPECT_EQ(e.voices[0].loopStart, 0.0) << "a negative start would point before the sample";
  EXPECT_EQ(e.voices[0].loopEnd, 2050.0 / 1025 * 5000);
}

// Lame Timestretch and Long Stutter from several active steps, on a sample of 1025
// frames (one frame per position unit) triggered on step 0 only: the controllers of the
// later steps reshape the ringing note. Compared sample by sample with the positions
// worked out by hand from the slices.
struct SliceCase {
  SliceCommand command;
  int32_t activeStep;
};

class SliceRenderTest : public ::testing::TestWithParam<SliceCase> {};

// The frame heard at call k (0 = the call that begins the step) of step s, or nothing
// once a stutter has stopped.
std::optional<int> SlicedFrame(const SliceCase& c, int s, int k) {
  const int slice = SliceSize(c.activeStep);
  const int start = slice * (s - c.activeStep);
  const int end = start + slice - 1;
  if (c.command == SliceCommand::LameTimestretch) {
    // start+1 .. end, then end+1 passes the loop end and jumps back to start.
    return start + (k + 1) % slice;
  }
  // start+1 .. end, then the voice is put past its sample.
  return k < end - start ? std::optional<int>(start + 1 + k) : std::nullopt;
}

TEST_P(SliceRenderTest, EverySliceSoundsWhereItsPositionsSay) {
  const SliceCase c = GetParam();
  auto engine = test::NewEngine();
  Engine& e = *engine;
  const auto data = EvenRamp(1025);
  PutSample(e, 0, data, 44100, SampleCategory::Drum);
  e.state.song.channel(0, 0, 0).volume = 127;
  PutNote(e, 0, 0, 0, 0, 0);
  e.state.activeStep = c.activeStep;
  ApplySlices(e.state, c.command);

  Start(e);
  // Step 0 lasts one call less than the others: the first call already counts down.
  const auto out = Render(e, static_cast<std::size_t>(16 * kStep - 1));
  for (int n = 0; n < 16 * kStep - 1; ++n) {
    const int s = n < kStep - 1 ? 0 : 1 + (n - (kStep - 1)) / kStep;
    const int k = s == 0 ? n : (n - (kStep - 1)) % kStep;
    if (s == 15 && k >= kStep - 20) {
      break; // step 0's next note fades the voice over the last 19 samples
    }
    int16_t expected = 0;
    if (s < c.activeStep) {
      expected = Heard(data, n + 1); // the note rings from its start
    } else if (const auto frame = SlicedFrame(c, s, k)) {
      expected = Heard(data, *frame);
    }
    ASSERT_EQ(out[n], expected) << "step " << s << ", call " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(
    ActiveSteps, SliceRenderTest,
    ::testing::Values(SliceCase{SliceCommand::LameTimestretch, 0},
                      SliceCase{SliceCommand::LameTimestretch, 3}, // last end 1026
                      SliceCase{SliceCommand::LameTimestretch, 7}, // last end 1025
                      SliceCase{SliceCommand::LameTimestretch, 10},
                      SliceCase{SliceCommand::LameTimestretch, 15},
                      SliceCase{SliceCommand::LongStutter, 3},
                      SliceCase{SliceCommand::LongStutter, 7},
                      SliceCase{SliceCommand::LongStutter, 11}),
    [](const ::testing::TestParamInfo<SliceCase>& info) {
      const bool stretch = info.param.command == SliceCommand::LameTimestretch;
      return std::string(stretch ? "TimestretchFromStep" : "StutterFromStep") +
             std::to_string(info.param.activeStep);
    });

} // namespace
} // namespace lw
