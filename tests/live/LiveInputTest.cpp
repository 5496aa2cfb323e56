// Notes played live through the period renderer, without a server: each sounds on its
// own frame, exactly as the engine plays that note there; recording finds the step the
// listener heard; an offline render is never touched.
#include "live/LiveInput.h"
#include "LiveSong.h"
#include "live/LiveRecording.h"
#include "live/PeriodRenderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace lw {
namespace {

using test::MakeLiveSong;

constexpr MidiMessage Note(int note, int velocity) {
  return {0x99, static_cast<uint8_t>(note), static_cast<uint8_t>(velocity)};
}

struct LiveFixture : ::testing::Test {
  std::unique_ptr<Engine> engine = test::NewEngine();
  PeriodRenderer renderer{*engine};
  LiveInput input;
  OutputFrame clock = 5'000'000;
  std::vector<int16_t> mix;

  void SetUp() override {
    MakeLiveSong(*engine);
    renderer.SetEvents(&input);
  }
  void Periods(int count, uint32_t frames = 64) {
    for (int i = 0; i < count; ++i) {
      std::vector<float> out(frames, 99.0F);
      PeriodRenderer::PortBuffers ports{out.data(), nullptr, nullptr, nullptr};
      renderer.Process(ports, frames, clock);
      clock += frames;
      for (const float v : out) {
        mix.push_back(static_cast<int16_t>(std::lround(v * 32768.0F)));
      }
    }
  }
  std::vector<LiveReport> Reports() {
    std::vector<LiveReport> got;
    LiveReport r;
    while (input.NextReport(r)) {
      got.push_back(r);
    }
    return got;
  }
};

TEST_F(LiveFixture, APadPlaysOnItsOwnFrameWhileStopped) {
  Periods(3); // silence, with nothing playing
  const OutputFrame due = clock + 64 + 37;
  input.Schedule(Note(36, 100), due, due - 64);
  Periods(6);
  const std::size_t at = due - 5'000'000;
  const auto expected = test::LiveReference(false, 0, mix.size() - at, [](Engine& e) {
    e.PlayLiveNote(0, 0, StepNoteOfMidiNote(36), 100);
  });
  EXPECT_TRUE(std::all_of(mix.begin(), mix.begin() + static_cast<std::ptrdiff_t>(at),
                          [](int16_t v) { return v == 0; }));
  EXPECT_EQ(std::vector<int16_t>(mix.begin() + static_cast<std::ptrdiff_t>(at), mix.end()),
            expected);
  EXPECT_NE(mix[at + 1], 0) << "the drum's second value is heard";
  const auto reports = Reports();
  ASSERT_EQ(reports.size(), 1U);
  EXPECT_EQ(reports[0].channel, 0);
  EXPECT_EQ(reports[0].sample, 0);
  EXPECT_EQ(reports[0].step, -1) << "nothing is recorded while stopped";
}

TEST_F(LiveFixture, ANoteDuringTheSongPlaysOnItsFrameOverTheSong) {
  ASSERT_TRUE(renderer.PlayBtnClick());
  Periods(10);
  const OutputFrame start = renderer.sessionStart();
  ASSERT_NE(start, PeriodRenderer::kNoFrame);
  // An instrument an octave up on channel 2, at velocity 90, on an odd frame.
  input.SetChannelNote(1, 72);
  const OutputFrame due = clock + 64 + 11;
  input.Schedule(Note(72, 90), due, due - 64);
  Periods(40);
  const std::size_t before = due - start;
  const std::size_t first = start - 5'000'000;
  const auto expected =
      test::LiveReference(true, before, mix.size() - first - before,
                          [](Engine& e) { e.PlayLiveNote(1, 1, StepNoteOfMidiNote(72), 90); });
  EXPECT_EQ(std::vector<int16_t>(mix.begin() + static_cast<std::ptrdiff_t>(first), mix.end()),
            expected);
  const EngineHold hold(engine->engineLock);
  EXPECT_EQ(engine->voices[1].volume, 90);
  EXPECT_DOUBLE_EQ(engine->voices[1].speed, 2.0) << "an octave up: twice the sample's own rate";
}

TEST(LiveNote, InstrumentsFollowTheKeyboardAndDrumsKeepTheirSpeed) {
  auto e = test::NewEngine();
  MakeLiveSong(*e);
  const EngineHold hold(e->engineLock);
  const struct {
    int midi;
    double ratio;
  } cases[] = {{60, 1.0},
               {72, 2.0},
               {48, 0.5},
               {84, 4.0},
               {24, 0.125},
               {0, 0.125},
               {127, 16.0 * std::pow(2.0, 11.0 / 12)}};
  for (const auto& c : cases) {
    e->PlayLiveNote(1, 1, StepNoteOfMidiNote(c.midi), 64);
    // (The table's semitones come from tuned frequencies, within a millionth of equal ones.)
    EXPECT_NEAR(e->voices[1].speed, c.ratio, c.ratio * 1e-6) << c.midi;
    e->PlayLiveNote(0, 0, StepNoteOfMidiNote(c.midi), 64);
    EXPECT_DOUBLE_EQ(e->voices[0].speed, 1.0) << "a drum at its own speed";
  }
  e->PlayLiveNote(0, 40, 36, 64); // a free slot: nothing
  EXPECT_EQ(e->voices[0].sampleIndex, 0);
}

// The step whose start a note heard `framesBack` before the engine's next sample lies
// nearest to, worked out from where the engine was seen to begin each step.
TEST(NearestStep, FindsTheStepTheListenerHeardWithTheSongsShuffle) {
  for (const int tempo : {120, 160}) {
    for (const int shuffle : {0, 30, 50}) {
      SCOPED_TRACE(testing::Message() << tempo << " BPM, shuffle " << shuffle);
      auto e = test::NewEngine();
      MakeLiveSong(*e);
      const EngineHold hold(e->engineLock);
      e->state.song.tempo = tempo;
      e->state.song.shuffle = shuffle;
      e->UpdateTiming();
      StartOrStopEngine(*e);
      // The frames at which the second pass through the pattern begins each step.
      std::vector<int64_t> starts;
      int64_t frame = 0;
      int lastStep = e->clock.currentStep;
      int16_t out = 0;
      while (starts.size() < 2 * kSteps + 1) {
        e->RenderBlock(&out, 1);
        if (e->clock.currentStep != lastStep) {
          starts.push_back(frame);
          lastStep = e->clock.currentStep;
        }
        ++frame;
      }
      // starts[k] is where step k + 1 of the first pass begins (step 0 began at frame 0).
      const int64_t passStart = starts[kSteps - 1];
      const auto stepStart = [&](int k) {
        return passStart + (k == 0 ? 0 : starts[kSteps - 1 + k] - passStart);
      };
      // Run on into the third pass, then ask about moments of the second.
      const int64_t now = starts[2 * kSteps - 1] + 3000;
      while (frame < now) {
        e->RenderBlock(&out, 1);
        ++frame;
      }
      for (int k = 0; k < kSteps; ++k) {
        const int64_t next = k + 1 < kSteps ? stepStart(k + 1) : starts[2 * kSteps - 1];
        const int64_t length = next - stepStart(k);
        const int64_t previous =
            k > 0 ? stepStart(k) - stepStart(k - 1) : passStart - starts[kSteps - 2];
        for (const int64_t offset : {int64_t{0}, length / 2 - 1, -(previous / 2) + 1}) {
          const int64_t heard = stepStart(k) + offset;
          EXPECT_EQ(e->NearestStep(frame - heard), k) << "step " << k << " offset " << offset;
        }
        const int64_t late = stepStart(k) + length / 2 + 1;
        EXPECT_EQ(e->NearestStep(frame - late), (k + 1) % kSteps) << "past the middle of " << k;
      }
    }
  }
}

TEST_F(LiveFixture, RecordingReportsTheStepTheListenerHeard) {
  input.SetRecording(true);
  ASSERT_TRUE(renderer.PlayBtnClick());
  Periods(2);
  const OutputFrame start = renderer.sessionStart();
  // The listener hears each frame 300 frames after it leaves, and plays step 5 (steps
  // are 5512 frames long at 120 BPM without shuffle; step 0 of the first pass is one
  // frame short) 1000 frames late.
  constexpr OutputFrame kHeard = 300;
  const OutputFrame heardAt = start + 5 * 5512 - 1 + 1000;
  const OutputFrame arrived = heardAt + kHeard;
  while (clock + 64 <= arrived) {
    Periods(1);
  }
  input.Schedule(Note(38, 70), arrived + 64, heardAt);
  Periods(3);
  const auto reports = Reports();
  ASSERT_EQ(reports.size(), 1U);
  EXPECT_EQ(reports[0].channel, 1);
  EXPECT_EQ(reports[0].step, 5);
  EXPECT_EQ(reports[0].bank, 0);
  EXPECT_EQ(reports[0].pattern, 0);
  EXPECT_EQ(reports[0].value, 70);
}

TEST_F(LiveFixture, AnOfflineRenderIsNeverPlayedInto) {
  // A render to a file has the engine: the output is silent and notes are only taken.
  {
    const EngineHold hold(engine->engineLock);
    engine->playing = true;
  }
  const OutputFrame due = clock + 64;
  input.Schedule(Note(36, 100), due, due);
  Periods(4);
  EXPECT_TRUE(std::all_of(mix.begin(), mix.end(), [](int16_t v) { return v == 0; }));
  const EngineHold hold(engine->engineLock);
  EXPECT_EQ(engine->voices[0].sampleIndex, -1) << "no voice was started";
  engine->playing = false;
}

TEST(LiveRecording, NotesGoIntoTheirStepsAndStepRecordingMovesOn) {
  auto e = test::NewEngine();
  MakeLiveSong(*e);
  const RecordedNote snare{1, 1, 48, 77};
  EXPECT_EQ(RecordNote(*e, 0, 3, 9, snare), RefreshFlags::ChannelAndStep());
  const Step& written = e->Interface().song.step(0, 3, 1, 9);
  EXPECT_EQ(written.trigger, 1);
  EXPECT_EQ(written.sample, 1);
  EXPECT_EQ(written.note, 48);
  EXPECT_EQ(written.volume, 77);
  EXPECT_EQ(written.pitch, 100) << "the other controllers stay";
  EXPECT_TRUE(e->Interface().songChanged);
  // Nowhere to write: nothing changes.
  for (const auto& [bank, pattern, step, sample] :
       {std::tuple{8, 0, 0, 1}, {0, -1, 0, 1}, {0, 0, 16, 1}, {0, 0, 0, 50}}) {
    EXPECT_EQ(RecordNote(*e, bank, pattern, step, {0, sample, 36, 1}), RefreshFlags{});
  }

  {
    const EngineHold hold(e->engineLock);
    e->state.activeStep = 15;
  }
  StepRecordNote(*e, {2, 0, 36, 127});
  EXPECT_EQ(e->Interface().activeStep, 0) << "after the last step, the first";
  StepRecordNote(*e, {2, 0, 40, 50});
  EXPECT_EQ(e->Interface().song.step(0, 0, 2, 15).volume, 127);
  EXPECT_EQ(e->Interface().song.step(0, 0, 2, 0).note, 40);
  EXPECT_EQ(e->Interface().activeStep, 1);
}

} // namespace
} // namespace lw
