#include "song/EditCommands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace lw {
namespace {

struct EditFixture : ::testing::Test {
  std::unique_ptr<SongState> owner = std::make_unique<SongState>();
  SongState& state = *owner;
  Song& song = state.song;
  EditClipboard clip;

  EditFixture() {
    NewSongModel(state);
    state.editBank = 2;
    state.editPattern = 5;
    state.activeChannel = 1;
  }
  // A step with every field away from its default.
  static Step Busy(uint8_t sample) {
    Step s{};
    s.trigger = 1;
    s.sample = sample;
    s.volume = 40;
    s.mode = static_cast<uint8_t>(StepMode::RetrigStutter);
    s.startPos = 100;
    s.endPos = 700;
    s.pitch = 130;
    s.note = 50;
    return s;
  }
  Channel& channel(int ch) { return song.channel(state.editBank, state.editPattern, ch); }
};

bool SameBytes(const auto& a, const auto& b) {
  static_assert(sizeof(a) == sizeof(b));
  return std::memcmp(&a, &b, sizeof(a)) == 0;
}

TEST_F(EditFixture, PasteWithNothingCopiedChangesNothingButMarksTheSong) {
  const auto before = std::make_unique<Song>(song);
  EXPECT_EQ(Paste(state, clip), RefreshFlags::All());
  EXPECT_TRUE(SameBytes(*before, song));
  EXPECT_TRUE(state.songChanged);
}

TEST_F(EditFixture, AKindInAnotherLetterCasePastesNothing) {
  clip.clipKind = "Pattern";
  clip.clipData.fill(std::byte{0x5A});
  const auto before = std::make_unique<Song>(song);
  (void)Paste(state, clip);
  EXPECT_TRUE(SameBytes(*before, song));
}

TEST_F(EditFixture, CopyNoteCarriesTheControllersToAnotherStep) {
  state.activeStep = 3;
  state.activeStepRecord() = Busy(7);
  CopyNote(state, clip);
  EXPECT_EQ(clip.clipKind, "note");
  EXPECT_FALSE(state.songChanged) << "copying is no change";

  state.activeStep = 12;
  state.activeChannel = 2;
  EXPECT_EQ(Paste(state, clip), RefreshFlags::All());
  const Step& target = song.step(2, 5, 2, 12);
  const Step source = Busy(7);
  EXPECT_EQ(target.trigger, source.trigger);
  EXPECT_EQ(target.sample, source.sample);
  EXPECT_EQ(target.volume, source.volume);
  EXPECT_EQ(target.mode, source.mode);
  EXPECT_EQ(target.startPos, source.startPos);
  EXPECT_EQ(target.endPos, source.endPos);
  EXPECT_EQ(target.pitch, source.pitch);
  EXPECT_EQ(target.note, source.note);
  EXPECT_EQ(song.step(2, 5, 2, 11).trigger, 0) << "only the active step is written";
}

TEST_F(EditFixture, AChannelPastesIntoAnotherChannelWithItsMixerSettings) {
  channel(0).steps[4] = Busy(3);
  channel(0).distortOn = 1;
  channel(0).volume = 99;
  channel(0).delaySend = 70;
  state.activeChannel = 0;
  CopyChannel(state, clip);
  state.activeChannel = 2;
  (void)Paste(state, clip);
  EXPECT_TRUE(SameBytes(channel(0), channel(2)));
  EXPECT_EQ(channel(1).volume, 64) << "the channel between stays";
}

TEST_F(EditFixture, APatternLandsWhereTheUserIsWhenPasting) {
  song.channel(2, 5, 2).steps[15] = Busy(9);
  song.channel(2, 5, 0).distortOn = 1;
  CopyPattern(state, clip);
  EXPECT_EQ(clip.clipKind, "pattern");
  state.editBank = 4;
  state.editPattern = 0;
  (void)Paste(state, clip);
  EXPECT_TRUE(SameBytes(song.pattern(2, 5), song.pattern(4, 0)));
}

TEST_F(EditFixture, ClearChannelEmptiesTheStepsButKeepsTheMixerSettings) {
  Channel& ch = state.editedChannel();
  for (Step& s : ch.steps) {
    s = Busy(2);
  }
  ch.distortOn = 1;
  ch.volume = 11;
  ch.delaySend = 22;
  channel(0).steps[0] = Busy(4);
  EXPECT_EQ(ClearChannel(state), RefreshFlags::ChannelAndStep());
  for (const Step& s : ch.steps) {
    EXPECT_EQ(s.trigger, 0);
    EXPECT_EQ(s.sample, 255);
    EXPECT_EQ(s.volume, 255);
    EXPECT_EQ(s.mode, 255);
    EXPECT_EQ(s.startPos, 0);
    EXPECT_EQ(s.endPos, 1024);
    EXPECT_EQ(s.pitch, 100);
    EXPECT_EQ(s.note, 36);
  }
  EXPECT_EQ(ch.distortOn, 1);
  EXPECT_EQ(ch.volume, 11);
  EXPECT_EQ(ch.delaySend, 22);
  EXPECT_EQ(channel(0).steps[0].trigger, 1) << "other channels stay";
  EXPECT_TRUE(state.songChanged);
}

TEST_F(EditFixture, ClearControllersKeepsTheNotes) {
  for (Step& s : state.editedChannel().steps) {
    s = Busy(6);
  }
  EXPECT_EQ(ClearControllers(state), RefreshFlags::ChannelAndStep());
  for (const Step& s : state.editedChannel().steps) {
    EXPECT_EQ(s.trigger, 1);
    EXPECT_EQ(s.sample, 6);
    EXPECT_EQ(s.pitch, 130);
    EXPECT_EQ(s.note, 50);
    EXPECT_EQ(s.volume, 255);
    EXPECT_EQ(s.mode, 255);
    EXPECT_EQ(s.startPos, 0);
    EXPECT_EQ(s.endPos, 1024);
  }
  EXPECT_TRUE(state.songChanged);
}

TEST(SliceSizeTest, EachActiveStepHasItsSlice) {
  const int32_t expected[kSteps] = {64,  68,  73,  79,  85,  93,  102, 114,
                                    128, 146, 171, 205, 256, 341, 512, 1024};
  for (int32_t step = 0; step < kSteps; ++step) {
    EXPECT_EQ(SliceSize(step), expected[step]) << "active step " << step;
  }
}

TEST_F(EditFixture, SlicesRunOnFromTheActiveStepUnclamped) {
  const int32_t lastEnd[kSteps] = {1023, 1019, 1021, 1026, 1019, 1022, 1019, 1025,
                                   1023, 1021, 1025, 1024, 1023, 1022, 1023, 1023};
  for (int32_t active = 0; active < kSteps; ++active) {
    SCOPED_TRACE(active);
    NewSongModel(state);
    Channel& ch = state.editedChannel();
    for (Step& s : ch.steps) {
      s = Busy(8);
    }
    state.activeStep = active;
    EXPECT_EQ(ApplySlices(state, SliceCommand::LameTimestretch), RefreshFlags::StepOnly());
    const int32_t slice = SliceSize(active);
    for (int32_t s = 0; s < kSteps; ++s) {
      const Step& step = ch.steps[s];
      EXPECT_EQ(step.trigger, 1);
      EXPECT_EQ(step.sample, 8);
      EXPECT_EQ(step.volume, 40) << "the volume stays";
      EXPECT_EQ(step.pitch, 130);
      EXPECT_EQ(step.note, 50);
      if (s < active) {
        EXPECT_EQ(step.mode, static_cast<uint8_t>(StepMode::RetrigStutter)) << "untouched";
        EXPECT_EQ(step.startPos, 100);
        continue;
      }
      EXPECT_EQ(step.mode, static_cast<uint8_t>(StepMode::RetrigLoop));
      EXPECT_EQ(step.startPos, (s - active) * slice);
      EXPECT_EQ(step.endPos, (s - active) * slice + slice - 1);
    }
    EXPECT_EQ(ch.steps[15].endPos, lastEnd[active]);
  }
}

TEST_F(EditFixture, TheStutterWritesItsModeOnEmptyStepsToo) {
  state.activeStep = 12;
  (void)ApplySlices(state, SliceCommand::LongStutter);
  const Channel& ch = state.editedChannel();
  EXPECT_EQ(ch.steps[11].mode, 255);
  for (int s = 12; s < kSteps; ++s) {
    EXPECT_EQ(ch.steps[s].mode, static_cast<uint8_t>(StepMode::RetrigStutter));
    EXPECT_EQ(ch.steps[s].trigger, 0);
  }
  EXPECT_EQ(ch.steps[13].startPos, 256);
  EXPECT_EQ(ch.steps[15].endPos, 1023);
}

TEST(SliceQuestionTest, TheTwoQuestionsDifferOnlyInTheCommandsName) {
  EXPECT_EQ(SliceQuestion(SliceCommand::LameTimestretch),
            "The Lame Timestretch will be applied on all notes from the active step to the "
            "last step. Note: this will not have effect on loop-samples, and will remove all "
            "controllers in this channel. Do you still want to continue ?");
  EXPECT_EQ(SliceQuestion(SliceCommand::LongStutter),
            "The Long Stutter will be applied on all notes from the active step to the last "
            "step. Note: this will not have effect on loop-samples, and will remove all "
            "controllers in this channel. Do you still want to continue ?");
}

} // namespace
} // namespace lw
