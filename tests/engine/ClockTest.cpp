#include "EngineHelpers.h"
#include "engine/PitchTable.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace lw {
namespace {

using test::PutNote;
using test::PutSample;
using test::Render;
using test::RunToStep;
using test::Start;

struct ClockFixture : ::testing::Test {
  std::unique_ptr<Engine> engine = test::NewEngine();
  Engine& e = *engine;
  Song& song = engine->state.song;

  void SetTiming(int32_t tempo, int32_t shuffle) {
    song.tempo = tempo;
    song.shuffle = shuffle;
    e.UpdateTiming();
  }
};

TEST_F(ClockFixture, TimingFollowsTempoAndShuffle) {
  struct Case {
    int32_t tempo, shuffle;
    uint16_t stepLength;
    int32_t patternSamples;
    uint16_t even, odd;
  };
  const Case cases[] = {
      {120, 0, 5512, 88192, 5512, 5512},    // 5512.5 rounds to even
      {120, 50, 5512, 88192, 8268, 2756},   // a pair keeps 2 x stepLength
      {30, 0, 22050, 352832, 22050, 22050}, // h = 11025 is odd and becomes 11026
      {1230, 0, 538, 8640, 538, 538},
  };
  for (const Case& c : cases) {
    SetTiming(c.tempo, c.shuffle);
    EXPECT_EQ(e.clock.stepLength, c.stepLength) << c.tempo;
    EXPECT_EQ(e.clock.patternSamples, c.patternSamples) << c.tempo;
    for (int i = 0; i < kSteps; ++i) {
      EXPECT_EQ(e.clock.stepLengths[i], i % 2 == 0 ? c.even : c.odd) << c.tempo << " step " << i;
    }
  }
}

TEST_F(ClockFixture, SettingsOnlyAFileCanHoldAreTimedAtTheNearestControlValue) {
  SetTiming(0, 0);
  EXPECT_EQ(e.clock.stepLength, 22050) << "tempo 0 plays as 30";
  SetTiming(-400, 0);
  EXPECT_EQ(e.clock.stepLength, 22050);
  SetTiming(99999, 0);
  EXPECT_EQ(e.clock.stepLength, 538) << "above 1230 plays as 1230";
  SetTiming(120, 400);
  EXPECT_EQ(e.clock.stepLengths[0], 8268) << "shuffle above 50 plays as 50";
  SetTiming(120, -70);
  EXPECT_EQ(e.clock.stepLengths[1], 5512);
  song.delaySteps = 200;
  song.delayFeedback = 5000;
  SetTiming(120, 0);
  EXPECT_EQ(e.delay.delayLength(), 33075) << "6 steps at tempo 120";
  EXPECT_DOUBLE_EQ(e.delay.feedback(), 0.9);
  EXPECT_EQ(song.tempo, 120);
  EXPECT_EQ(song.delaySteps, 200) << "the stored values stay as the file had them";
}

TEST_F(ClockFixture, TriggerSpeedFollowsTheSampleCategory) {
  PutSample(e, 0, std::vector<int16_t>(88192, 1), 8000, SampleCategory::Loop);
  PutSample(e, 1, {1, 2, 3}, 22050, SampleCategory::Instrument);
  PutSample(e, 2, {1, 2, 3}, 44100, SampleCategory::Drum);
  PutSample(e, 3, {1, 2, 3}, 11025, SampleCategory::Drum);
  e.samples.slots[3].category = 9;
  PutNote(e, 0, 0, 0, 0, 0);
  PutNote(e, 0, 0, 1, 0, 1).note = 48;
  PutNote(e, 0, 0, 2, 0, 2).pitch = 150;
  Start(e);
  EXPECT_EQ(e.voices[0].speed, 1.0) << "a loop lasts one pattern whatever its rate";
  EXPECT_EQ(e.voices[1].speed, 1.0) << "rate 22050 an octave up";
  EXPECT_DOUBLE_EQ(e.voices[2].speed, 1.5);
  EXPECT_EQ(e.voices[0].sampleIndex, 0);

  const Step plain = song.step(0, 0, 0, 0);
  EXPECT_EQ(e.SampleSpeed(e.samples.slots[3], plain), 1.0) << "unknown categories play at 1.0";
  e.samples.slots[2].rate = 0;
  EXPECT_EQ(e.SampleSpeed(e.samples.slots[2], plain), 0.0) << "rate 0 silences the voice";
}

TEST_F(ClockFixture, NotesOutsideThePitchTablePlayTheNearestNoteItHas) {
  PutSample(e, 0, {1, 2, 3}, 44100, SampleCategory::Instrument);
  Step step = song.step(0, 0, 0, 0);
  step.note = 500;
  EXPECT_EQ(e.SampleSpeed(e.samples.slots[0], step), GetPitchTable()[95]);
  step.note = -3;
  EXPECT_EQ(e.SampleSpeed(e.samples.slots[0], step), 0.125);
}

TEST_F(ClockFixture, ATempoChangeRetimesLoopsAndDrumsButNotInstruments) {
  PutSample(e, 0, std::vector<int16_t>(88192, 1), 44100, SampleCategory::Loop);
  PutSample(e, 1, {1, 2, 3}, 22050, SampleCategory::Instrument);
  PutNote(e, 0, 0, 0, 0, 0);
  PutNote(e, 0, 0, 1, 0, 1);
  Start(e);
  SetTiming(240, 0);
  EXPECT_EQ(e.voices[0].speed, 88192.0 / 44096);
  EXPECT_EQ(e.voices[1].speed, 0.5);
}

TEST_F(ClockFixture, TheFirstStepIsOneCallShortAndLaterStepsAreExact) {
  SetTiming(120, 50);
  Start(e);
  int calls = 0;
  while (e.clock.currentStep == 0) {
    e.RenderSample();
    ++calls;
  }
  EXPECT_EQ(calls, 8268) << "8267 calls of step 0, then the call that begins step 1";
  calls = 1;
  while (e.clock.currentStep == 1) {
    e.RenderSample();
    ++calls;
  }
  EXPECT_EQ(calls, 2756 + 1);
}

TEST_F(ClockFixture, APatternChosenMidwayStartsAtTheNextPatternStart) {
  PutSample(e, 0, std::vector<int16_t>(100, 1000), 44100, SampleCategory::Drum);
  PutNote(e, 2, 5, 1, 0, 0);
  Start(e, 0, 0);
  RunToStep(e, 7);
  e.state.nextBank = 2;
  e.state.nextPattern = 5;
  RunToStep(e, 15);
  EXPECT_EQ(e.state.playBank, 0);
  EXPECT_EQ(e.voices[1].nextStepTrigger, 1) << "step 15 looks ahead into the new pattern";
  EXPECT_EQ(e.voices[1].fadeStart, 20);
  EXPECT_EQ(e.voices[1].sampleIndex, -1);
  RunToStep(e, 0);
  EXPECT_EQ(e.state.playBank, 2);
  EXPECT_EQ(e.state.playPattern, 5);
  EXPECT_EQ(e.voices[1].sampleIndex, 0);
  EXPECT_EQ(e.voices[1].speed, 1.0);
}

TEST_F(ClockFixture, ChannelVolumeIsTakenAtEveryPatternStart) {
  song.channel(0, 0, 2).volume = 100;
  Start(e);
  EXPECT_EQ(e.voices[2].volume, 100);
  e.voices[2].volume = 3;
  RunToStep(e, 1);
  EXPECT_EQ(e.voices[2].volume, 3);
  RunToStep(e, 0);
  EXPECT_EQ(e.voices[2].volume, 100);
}

TEST_F(ClockFixture, AFadedVoiceSoundsAgainWhenTheDeclickRuleResetsItsFade) {
  PutSample(e, 0, std::vector<int16_t>(200000, 1000), 44100, SampleCategory::Drum);
  PutNote(e, 0, 0, 0, 0, 0);
  song.step(0, 0, 0, 3).mode = static_cast<uint8_t>(StepMode::NoteOff);
  PutNote(e, 0, 0, 0, 5, 0);
  Start(e);
  RunToStep(e, 3);
  Voice& v = e.voices[0];
  EXPECT_EQ(v.fadeStart, 5512 - 1);
  EXPECT_EQ(v.fade, 0);
  Render(e, 2);
  EXPECT_EQ(v.fade, 1) << "1 on the second call after the boundary";
  Render(e, 1);
  EXPECT_EQ(v.fade, 2) << "then doubling";
  RunToStep(e, 4);
  EXPECT_EQ(v.fadeStart, 20) << "step 5 triggers";
  EXPECT_EQ(v.fade, 0) << "so the old note sounds again during step 4";
  Render(e, 100);
  EXPECT_EQ(v.fade, 0);
  const double before = v.position;
  RunToStep(e, 5);
  EXPECT_GT(before, 0.0);
  EXPECT_EQ(v.fadeStart, -1) << "the new note rings on";
  EXPECT_EQ(v.fade, 0);
  EXPECT_EQ(v.position, 1.0) << "retriggered, then advanced once in the boundary's call";
}

TEST_F(ClockFixture, NoteOffFadesEvenWhenTheSameStepTriggers) {
  PutSample(e, 0, std::vector<int16_t>(100000, 1000), 44100, SampleCategory::Drum);
  PutNote(e, 0, 0, 0, 2, 0).mode = static_cast<uint8_t>(StepMode::NoteOff);
  Start(e);
  RunToStep(e, 2);
  Voice& v = e.voices[0];
  EXPECT_EQ(v.sampleIndex, 0);
  EXPECT_EQ(v.fadeStart, 5512 - 1);
  Render(e, 20);
  EXPECT_EQ(v.fade, 32000);
}

TEST_F(ClockFixture, StutterWithoutTriggerRestartsTheRingingSampleAndStopsIt) {
  PutSample(e, 0, std::vector<int16_t>(20500, 1000), 44100, SampleCategory::Drum);
  PutNote(e, 0, 0, 0, 0, 0);
  Step& stutter = song.step(0, 0, 0, 1);
  stutter.mode = static_cast<uint8_t>(StepMode::RetrigStutter);
  stutter.startPos = 0;
  stutter.endPos = 512;
  Start(e);
  RunToStep(e, 1);
  Voice& v = e.voices[0];
  EXPECT_EQ(v.position, 1.0);
  EXPECT_EQ(v.loopStart, 0.0);
  EXPECT_EQ(v.stopPoint, 20500.0 / 1025 * 512);
  EXPECT_EQ(v.loopEnd, -1.0);
  Render(e, 12000);
  EXPECT_EQ(v.position, 20500 + 1) << "past the stop point the voice reads silence";
  EXPECT_GT(v.speed, 0.0) << "and stays active";
}

TEST_F(ClockFixture, RetriggerModesSetPositionsInThousandthsOfTheSample) {
  PutSample(e, 0, std::vector<int16_t>(2050, 1), 44100, SampleCategory::Drum);
  Step& loop = PutNote(e, 0, 0, 0, 0, 0);
  loop.mode = static_cast<uint8_t>(StepMode::RetrigLoop);
  loop.startPos = 100;
  loop.endPos = 1026; // as Lame Timestretch writes it from step 3
  Step& cont = song.step(0, 0, 0, 1);
  cont.mode = static_cast<uint8_t>(StepMode::RetrigContinue);
  cont.startPos = 0;
  Start(e);
  Voice& v = e.voices[0];
  EXPECT_EQ(v.loopStart, 200.0);
  EXPECT_EQ(v.loopEnd, 2052.0);
  EXPECT_EQ(v.position, 200.0);
  RunToStep(e, 1);
  EXPECT_EQ(v.loopStart, -1.0);
  EXPECT_EQ(v.loopEnd, -1.0);
  EXPECT_EQ(v.position, 1.0);
}

TEST_F(ClockFixture, StepVolumesSetTheVoiceAndHighBytesChangeNothing) {
  song.step(0, 0, 1, 0).volume = 0;
  song.step(0, 0, 1, 1).volume = 128;
  Start(e);
  EXPECT_EQ(e.voices[1].volume, 0);
  RunToStep(e, 1);
  EXPECT_EQ(e.voices[1].volume, 0);
}

TEST_F(ClockFixture, SongModeMovesThePositionWhenStep15BeginsAndTellsTheInterface) {
  const auto moves = [this] { return e.songPositionMoves.load(); };
  const uint32_t before = moves();
  e.state.sequence.slots[0] = {0, 0};
  e.state.sequence.slots[1] = {1, 2};
  e.songMode = true;
  Start(e, 0, 0);
  RunToStep(e, 14);
  EXPECT_EQ(moves(), before);
  RunToStep(e, 15);
  EXPECT_EQ(moves(), before + 1);
  EXPECT_EQ(e.state.songPosition.load(), 1);
  EXPECT_EQ(e.state.nextBank, 1);
  EXPECT_EQ(e.state.nextPattern, 2);
  RunToStep(e, 0);
  EXPECT_EQ(e.state.playBank, 1);
  RunToStep(e, 15);
  RunToStep(e, 0);
  EXPECT_EQ(e.state.playBank, 1) << "the empty slot 2 repeats slot 1's pattern";
  EXPECT_EQ(e.state.playPattern, 2);
  EXPECT_EQ(moves(), before + 2);
  EXPECT_EQ(e.state.songPosition.load(), 2);
}

TEST_F(ClockFixture, StartingInSongModeKeepsTheVoicesSounding) {
  PutSample(e, 0, std::vector<int16_t>(100000, 1000), 44100, SampleCategory::Drum);
  PutNote(e, 0, 0, 0, 0, 0);
  Start(e);
  Render(e, 300);
  e.playing = false;
  e.songMode = true;
  song.step(0, 0, 0, 0).trigger = 0;
  e.ProcessStep();
  EXPECT_EQ(e.voices[0].sampleIndex, 0);
  EXPECT_GT(e.voices[0].position, 0.0);
  e.songMode = false;
  e.ProcessStep();
  EXPECT_EQ(e.voices[0].sampleIndex, -1);
  EXPECT_EQ(e.voices[0].speed, 0.0);
}

TEST_F(ClockFixture, ANewEngineIsSilentEvenInSongMode) {
  auto fresh = std::make_unique<Engine>();
  PutSample(*fresh, 0, std::vector<int16_t>(1000, 20000), 44100, SampleCategory::Loop);
  fresh->NewSong();
  fresh->songMode = true;
  Start(*fresh);
  for (const Voice& v : fresh->voices) {
    EXPECT_EQ(v.sampleIndex, -1);
    EXPECT_EQ(v.speed, 0.0);
    EXPECT_EQ(v.stopPoint, -1.0);
  }
  for (int16_t s : Render(*fresh, 90000)) {
    ASSERT_EQ(s, 0);
  }
}

TEST_F(ClockFixture, ValuesOnlyAFileCanHoldPlayNothingOrTheNearestSetting) {
  PutSample(e, 0, std::vector<int16_t>(50000, 3000), 44100, SampleCategory::Instrument);
  PutSample(e, 63, std::vector<int16_t>(50000, 3000), 44100, SampleCategory::Drum);
  for (int s = 0; s < kSteps; ++s) {
    PutNote(e, 0, 0, 0, s, 64 + s * 12); // 64..244: no slot
  }
  PutNote(e, 0, 0, 1, 0, 0).note = 1000;
  PutNote(e, 0, 0, 2, 0, 63).pitch = 255;
  song.channel(0, 0, 2).distortOn = 1;
  song.channel(0, 0, 2).volume = 5000;
  song.channel(0, 0, 2).delaySend = -77;
  song.distortAmount = 900;
  song.vinylAmount = 1 << 30;
  song.tempo = 0;
  e.state.sequence.slots[1] = {3, 99};
  e.UpdateTiming();
  e.songMode = true;
  Start(e);
  EXPECT_EQ(e.voices[0].sampleIndex, -1);
  EXPECT_EQ(e.voices[1].speed, GetPitchTable()[95]);
  EXPECT_EQ(e.voices[2].volume, 127);
  const auto out = Render(e, 2 * 352832 + 10);
  EXPECT_EQ(e.state.playBank, 0) << "the unplayable slot 1 repeats pattern 0-0";
  EXPECT_EQ(e.state.playPattern, 0);
  EXPECT_NE(out[10], 0);
}

} // namespace
} // namespace lw
