#include "commands/SequencerCommands.h"
#include "EngineHelpers.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>

namespace lw {
namespace {

struct SequencerFixture : ::testing::Test {
  std::unique_ptr<Engine> engine = test::NewEngine();
  Engine& e = *engine;
  int clicks = 0;

  // The main window's play operation as far as song play needs it: it starts the clock
  // unless the song start did, and toggles `playing`.
  std::function<void()> playBtnClick = [this] {
    ++clicks;
    const EngineHold hold(e.engineLock);
    if (!e.songMode) {
      e.state.playBank = e.state.editBank;
      e.state.playPattern = e.state.editPattern;
    }
    if (!e.playing) {
      e.ProcessStep();
    }
    e.playing = !e.playing;
  };

  // The bank and pattern that play during each of the next `count` patterns.
  std::vector<std::pair<int, int>> PlayedPatterns(int count) {
    std::vector<std::pair<int, int>> played;
    for (int i = 0; i < count; ++i) {
      played.emplace_back(e.state.playBank, e.state.playPattern);
      (void)test::Render(e, static_cast<std::size_t>(e.clock.patternSamples));
    }
    return played;
  }
};

TEST_F(SequencerFixture, EditsMarkTheSong) {
  SetSequenceSlot(e, 3, 1, 2);
  EXPECT_EQ(e.state.sequence.slots[3].bank, 1);
  e.state.songChanged = false;
  ClearSequenceSlots(e, 0, 127);
  EXPECT_FALSE(e.state.sequence.slots[3].used());
  EXPECT_TRUE(e.state.songChanged);
  SetSongTitle(e, "Night Bus");
  SetSongAuthor(e, "R. Ivers");
  EXPECT_EQ(e.state.song.title.text(), "Night Bus");
  EXPECT_EQ(e.state.song.author.text(), "R. Ivers");
}

TEST_F(SequencerFixture, PlayStartsTheSongAtTheSelectionsFirstSlot) {
  e.state.sequence.slots[0] = {0, 0};
  e.state.sequence.slots[1] = {2, 3};
  e.state.sequence.slots[2] = {4, 5};
  e.state.sequence.slots[3] = {6, 7};
  e.state.loopEnabled = true;
  e.state.songPosition = 90; // left there by an earlier run

  EXPECT_EQ(SongPlayButton(e, 1, 2, playBtnClick), PlayPicture::PlayOn);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(e.playing);
  EXPECT_TRUE(e.songMode);
  EXPECT_EQ(SongPlayPicture(e), PlayPicture::PlayOn);
  EXPECT_EQ(e.state.loopFirstSlot.load(), 1);
  EXPECT_EQ(e.state.loopLastSlot.load(), 2);
  EXPECT_EQ(e.state.songPosition.load(), 1);
  EXPECT_EQ(e.clock.currentStep, 0);
  EXPECT_EQ(PlayedPatterns(5),
            (std::vector<std::pair<int, int>>{{2, 3}, {4, 5}, {2, 3}, {4, 5}, {2, 3}}));
}

TEST_F(SequencerFixture, AnEmptyFirstSlotPlaysThePatternLastSelected) {
  e.state.sequence.slots[1] = {2, 3};
  e.state.playBank = 5; // selected in the main window while stopped
  e.state.playPattern = 6;
  (void)SongPlayButton(e, 0, 4, playBtnClick);
  EXPECT_EQ(e.state.playBank, 5);
  EXPECT_EQ(e.state.playPattern, 6);
  EXPECT_EQ(PlayedPatterns(3), (std::vector<std::pair<int, int>>{{5, 6}, {2, 3}, {2, 3}}));
}

TEST_F(SequencerFixture, PlayWhileTheSongPlaysStopsItAndLeavesSongMode) {
  e.state.sequence.slots[0] = {1, 1};
  (void)SongPlayButton(e, 0, 0, playBtnClick);
  EXPECT_EQ(SongPlayButton(e, 0, 0, playBtnClick), PlayPicture::PlayOff);
  EXPECT_EQ(clicks, 2);
  EXPECT_FALSE(e.playing);
  EXPECT_FALSE(e.songMode);
}

TEST_F(SequencerFixture, PlayWhileAPatternPlaysOnlyShowsPlayOff) {
  playBtnClick(); // the main window's button: pattern mode
  clicks = 0;
  EXPECT_EQ(SongPlayPicture(e), PlayPicture::PlayOff);
  EXPECT_EQ(SongPlayButton(e, 0, 0, playBtnClick), PlayPicture::PlayOff);
  EXPECT_EQ(clicks, 0);
  EXPECT_TRUE(e.playing);
  EXPECT_FALSE(e.songMode);
}

} // namespace
} // namespace lw
