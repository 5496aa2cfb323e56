#include "commands/EditMenu.h"
#include "EngineHelpers.h"
#include "FakePrompts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace lw {
namespace {

using test::FakePrompts;
using test::PutNote;
using test::PutSample;

const std::string kNewQuestion = "This will erase your entire composition, the song-sequence and "
                                 "all samples. Do you want to continue ?";

struct EditMenuFixture : ::testing::Test {
  std::unique_ptr<Engine> engine = test::NewEngine();
  Engine& e = *engine;
  FakePrompts prompts;
  EditClipboard clip;

  // A song with samples, notes, a sequence and changed settings, shown at bank 3, pattern 6.
  void FillSong() {
    PutSample(e, 0, {1, 2, 3}, 44100, SampleCategory::Drum, "Kick");
    PutSample(e, 9, {4, 5}, 22050, SampleCategory::Loop, "Break");
    PutNote(e, 3, 6, 1, 4, 9).volume = 20;
    e.state.song.tempo = 140;
    e.state.song.vinylAmount = 30;
    e.state.sequence.slots[0] = {3, 6};
    e.state.editBank = 3;
    e.state.editPattern = 6;
    e.state.songFileName = "/songs/old.LW";
    e.state.songChanged = true;
  }
};

TEST_F(EditMenuFixture, NewAnsweredNoChangesNothing) {
  FillSong();
  const NewSongResult result = NewComposition(e, prompts);
  EXPECT_FALSE(result.replaced);
  EXPECT_EQ(result.refresh, RefreshFlags{});
  EXPECT_EQ(prompts.questions, std::vector<std::string>{kNewQuestion});
  EXPECT_EQ(CountUsedSlots(e.samples), 2);
  EXPECT_EQ(e.state.song.tempo, 140);
  EXPECT_TRUE(e.state.songChanged);
}

TEST_F(EditMenuFixture, NewErasesSongSequenceAndSamplesButKeepsNameAndPlace) {
  FillSong();
  prompts.answers = {true};
  const NewSongResult result = NewComposition(e, prompts);
  EXPECT_TRUE(result.replaced);
  EXPECT_EQ(result.refresh, RefreshFlags::All());
  EXPECT_EQ(CountUsedSlots(e.samples), 0);
  EXPECT_TRUE(e.samples.slots[9].data.empty());
  EXPECT_EQ(e.state.song.tempo, 120);
  EXPECT_EQ(e.state.song.vinylAmount, 0);
  EXPECT_EQ(e.state.song.step(3, 6, 1, 4).trigger, 0);
  EXPECT_FALSE(e.state.sequence.slots[0].used());
  EXPECT_FALSE(e.state.songChanged);
  EXPECT_EQ(e.state.songFileName, "/songs/old.LW");
  EXPECT_EQ(e.state.editBank, 3);
  EXPECT_EQ(e.state.editPattern, 6);
}

TEST_F(EditMenuFixture, ACopiedPatternSurvivesNewAndLandsInTheNewSong) {
  FillSong();
  CopyPattern(e, clip);
  prompts.answers = {true};
  (void)NewComposition(e, prompts);
  EXPECT_EQ(Paste(e, clip), RefreshFlags::All());
  EXPECT_EQ(e.state.song.step(3, 6, 1, 4).trigger, 1);
  EXPECT_EQ(e.state.song.step(3, 6, 1, 4).volume, 20);
  EXPECT_TRUE(e.state.songChanged);
}

TEST_F(EditMenuFixture, SlicingAsksFirstAndNoLeavesTheChannelAndTheFlag) {
  e.state.activeStep = 4;
  const auto before = std::make_unique<Song>(e.state.song);
  EXPECT_EQ(LongStutter(e, prompts), RefreshFlags{});
  EXPECT_EQ(LameTimestretch(e, prompts), RefreshFlags{});
  EXPECT_EQ(prompts.questions.size(), 2U);
  EXPECT_EQ(prompts.questions[0].rfind("The Long Stutter will be applied", 0), 0U);
  EXPECT_EQ(prompts.questions[1].rfind("The Lame Timestretch will be applied", 0), 0U);
  EXPECT_EQ(std::memcmp(before.get(), &e.state.song, sizeof(Song)), 0);
  EXPECT_FALSE(e.state.songChanged);
}

TEST_F(EditMenuFixture, TimestretchOnStep15SetsOnlyStep15) {
  e.state.activeStep = 15;
  prompts.answers = {true};
  EXPECT_EQ(LameTimestretch(e, prompts), RefreshFlags::StepOnly());
  const Channel& ch = e.state.editedChannel();
  EXPECT_EQ(ch.steps[15].mode, static_cast<uint8_t>(StepMode::RetrigLoop));
  EXPECT_EQ(ch.steps[15].startPos, 0);
  EXPECT_EQ(ch.steps[15].endPos, 1023);
  EXPECT_EQ(ch.steps[14].mode, 255);
  EXPECT_TRUE(e.state.songChanged);
}

} // namespace
} // namespace lw
