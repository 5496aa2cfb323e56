#include "commands/MainCommands.h"
#include "EngineHelpers.h"
#include "commands/StepControllers.h"

#include "song/Round.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>
#include <string>

namespace lw {
namespace {

struct MainCommandsFixture : ::testing::Test {
  std::unique_ptr<Engine> engine = test::NewEngine();
  Engine& e = *engine;
  SongState& s = engine->state;

  // Types `text` into the tempo box: every replacement is handled again, as the box's
  // change notification does. Returns what the box shows at the end.
  std::string Type(std::string text) {
    while (const auto replacement = TempoBoxChange(e, text)) {
      text = *replacement;
    }
    return text;
  }
};

TEST_F(MainCommandsFixture, TheTempoBoxKeepsTheTempoWithin30To1230) {
  struct Case {
    const char* typed;
    const char* shown;
    int32_t tempo;
  };
  for (const Case c : {Case{"9", "9", 120}, Case{"90", "90", 90}, Case{"2000", "1230", 1230},
                       Case{"-5", "120", 120}, Case{"abc", "1", 120}, Case{"", "", 120},
                       Case{" ", " ", 120}, Case{"  45", "  45", 45}, Case{"45 ", "1", 120},
                       Case{"+60", "+60", 60}, Case{"0", "0", 120}, Case{"30", "30", 30}}) {
    s.song.tempo = 120;
    e.UpdateTiming();
    s.songChanged = false;
    EXPECT_EQ(Type(c.typed), c.shown) << c.typed;
    EXPECT_EQ(s.song.tempo, c.tempo) << c.typed;
    EXPECT_EQ(e.clock.stepLength, c.tempo == 120 ? 5512 : RoundHalfEven(2646000.0 / (c.tempo * 4)))
        << "the timing follows";
    EXPECT_TRUE(s.songChanged) << c.typed;
  }
}

TEST_F(MainCommandsFixture, TheTempoStepsStopAtTheLimits) {
  s.song.tempo = 1225;
  TempoUp(e);
  EXPECT_EQ(s.song.tempo, 1230);
  EXPECT_EQ(e.clock.stepLength, 538);
  s.song.tempo = 35;
  TempoDown(e);
  EXPECT_EQ(s.song.tempo, 30);
  EXPECT_EQ(e.clock.patternSamples, 352832);
  EXPECT_TRUE(s.songChanged);
}

TEST_F(MainCommandsFixture, KeysSetTheKeyAndOctavesTheOctaveOfTheActiveStep) {
  SelectChannel(e, 2);
  SelectStep(e, 5);
  Step& step = s.song.step(0, 0, 2, 5);
  EXPECT_EQ(SetNoteKey(e, 7), RefreshFlags::StepOnly());
  EXPECT_EQ(step.note, 43);
  SetNoteOctave(e, 5);
  EXPECT_EQ(step.note, 67);
  SetNoteKey(e, 0);
  EXPECT_EQ(step.note, 60);
  SetNoteOctave(e, 1);
  EXPECT_EQ(step.note, 12);
  EXPECT_EQ(SelectChannel(e, 1), RefreshFlags::All());
  EXPECT_EQ(s.activeStep, 0) << "a channel button selects the first step";
}

TEST_F(MainCommandsFixture, TheNotesRowRemovesANoteAndOffersTheSamplesForAnEmptyStep) {
  test::PutSample(e, 3, {1, 2, 3}, 44100, SampleCategory::Drum);
  EXPECT_FALSE(ChooseSample(e, 9, false)) << "a free slot is never put on a step";
  EXPECT_EQ(s.lastSampleChoice, -1);
  EXPECT_FALSE(RemoveNoteAt(e, 4));
  ASSERT_TRUE(ChooseSample(e, 3, false));
  const Step& step = s.song.step(0, 0, 0, 4);
  EXPECT_EQ(step.trigger, 1);
  EXPECT_EQ(step.sample, 3);
  EXPECT_EQ(s.lastSampleChoice, 3);
  s.songChanged = false;
  EXPECT_TRUE(RemoveNoteAt(e, 4));
  EXPECT_EQ(step.trigger, 0);
  EXPECT_EQ(step.sample, 3) << "the sample number stays";
  EXPECT_TRUE(s.songChanged);
  EXPECT_FALSE(RemoveNoteAt(e, 4)) << "a second click offers the samples";
}

TEST_F(MainCommandsFixture, PanelsChooseWhatIsEditedAndWhatPlaysNext) {
  SelectPanelCell(e, PanelKind::Bank, 5);
  SelectPanelCell(e, PanelKind::Pattern, 2);
  EXPECT_EQ((std::array{s.editBank, s.nextBank, s.playBank}), (std::array{5, 5, 5}));
  EXPECT_EQ((std::array{s.editPattern, s.nextPattern, s.playPattern}), (std::array{2, 2, 2}));
  e.playing = true;
  SelectPanelCell(e, PanelKind::Pattern, 7);
  EXPECT_EQ((std::array{s.editPattern, s.nextPattern, s.playPattern}), (std::array{7, 7, 2}))
      << "while playing, the new pattern waits for the next pattern start";
  EXPECT_FALSE(s.songChanged) << "selecting is no edit";
}

TEST_F(MainCommandsFixture, KnobsWriteTheirSettingAndFollowTheTiming) {
  s.editBank = 1;
  s.editPattern = 4;
  s.activeChannel = 2;
  s.activeStep = 9;
  SetKnobValue(e, KnobSetting::DelayFeedback, 90);
  SetKnobValue(e, KnobSetting::DelaySteps, 6);
  SetKnobValue(e, KnobSetting::Distortion, 63);
  SetKnobValue(e, KnobSetting::Vinyl, 100);
  SetKnobValue(e, KnobSetting::Shuffle, 50);
  SetKnobValue(e, KnobSetting::DelaySend, 40, 1);
  SetKnobValue(e, KnobSetting::Volume, 17, 0);
  SetKnobValue(e, KnobSetting::Pitch, 0);
  const Song& song = s.song;
  EXPECT_EQ(song.delayFeedback, 90);
  EXPECT_EQ(song.delaySteps, 6);
  EXPECT_EQ(song.distortAmount, 63);
  EXPECT_EQ(song.vinylAmount, 100);
  EXPECT_EQ(song.shuffle, 50);
  EXPECT_EQ(e.clock.stepLengths[0], 8268) << "the shuffle is heard at once";
  EXPECT_EQ(song.channel(1, 4, 1).delaySend, 40);
  EXPECT_EQ(song.channel(1, 4, 0).volume, 17);
  EXPECT_EQ(song.step(1, 4, 2, 9).pitch, 50);
  EXPECT_EQ(e.voices[0].volume, 0) << "a pattern not playing leaves the voice alone";
  EXPECT_TRUE(s.songChanged);

  s.playBank = 1;
  s.playPattern = 4;
  e.playing = true;
  SetKnobValue(e, KnobSetting::Volume, 99, 2);
  EXPECT_EQ(e.voices[2].volume, 99) << "the playing pattern's voice follows the knob";
}

TEST_F(MainCommandsFixture, DistortionTogglesOnTheEditedPatternOnly) {
  s.editBank = 3;
  EXPECT_EQ(ToggleDistortion(e, 1), (RefreshFlags{false, true, false}));
  EXPECT_EQ(s.song.channel(3, 0, 1).distortOn, 1);
  EXPECT_EQ(s.song.channel(0, 0, 1).distortOn, 0);
  ToggleDistortion(e, 1);
  EXPECT_EQ(s.song.channel(3, 0, 1).distortOn, 0);
}

TEST_F(MainCommandsFixture, TheControllersDialogStoresWhatItsBoxesAndButtonsSay) {
  Step& step = s.song.step(0, 0, 0, 3);
  step.startPos = 600;
  StoreBoxEdit(e, &step, StepField::EndPos, PositionBoxEdit("500"));
  EXPECT_EQ(step.endPos, 1024) << "an end at or before the start is not stored";
  StoreBoxEdit(e, &step, StepField::EndPos, PositionBoxEdit("700"));
  EXPECT_EQ(step.endPos, 700);
  StoreBoxEdit(e, &step, StepField::StartPos, PositionBoxEdit("800"));
  EXPECT_EQ(step.startPos, 800) << "a start above the end is accepted";
  StoreBoxEdit(e, &step, StepField::Volume, VolumeBoxEdit(""));
  EXPECT_EQ(step.volume, 255);
  StoreBoxEdit(e, &step, StepField::Volume, VolumeBoxEdit("127"));
  EXPECT_EQ(step.volume, 127);
  SetStepMode(e, &step, static_cast<uint8_t>(StepMode::RetrigStutter));
  EXPECT_EQ(step.mode, 5);
  EXPECT_EQ(step.startPos, 800) << "switching the mode keeps the positions";
  s.songChanged = false;
  StoreBoxEdit(e, nullptr, StepField::Volume, VolumeBoxEdit("12a"));
  EXPECT_TRUE(s.songChanged) << "every handler marks the song changed";
}

} // namespace
} // namespace lw
