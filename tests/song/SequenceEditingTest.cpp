#include "song/SequenceEditing.h"

#include <gtest/gtest.h>

#include <memory>

namespace lw {
namespace {

struct SequenceEditFixture : ::testing::Test {
  std::unique_ptr<SongState> owner = std::make_unique<SongState>();
  SongState& state = *owner;

  SequenceEditFixture() { NewSongModel(state); }
};

TEST_F(SequenceEditFixture, SetSequenceSlotStoresThePatternAndShowsItFrom1) {
  SetSequenceSlot(state, 10, 2, 7);
  EXPECT_EQ(state.sequence.slots[10].bank, 2);
  EXPECT_EQ(state.sequence.slots[10].pattern, 7);
  EXPECT_TRUE(state.songChanged);
  EXPECT_EQ(SequenceCellText(state.sequence.slots[10]), "3-8");
  EXPECT_EQ(SequenceCellText(state.sequence.slots[11]), "");
  EXPECT_EQ(SequenceCellText(SequenceEntry{static_cast<int8_t>(200), 3}), "")
      << "a bank byte above 127 reads as negative: empty";
}

TEST_F(SequenceEditFixture, ASlotOutsideTheGridChangesNothing) {
  SetSequenceSlot(state, 128, 1, 1);
  SetSequenceSlot(state, -1, 1, 1);
  EXPECT_FALSE(state.songChanged);
}

TEST_F(SequenceEditFixture, ClearingASelectionEmptiesExactlyItsSlots) {
  for (int slot = 0; slot < kSequenceSlots; ++slot) {
    SetSequenceSlot(state, slot, 1, 1);
  }
  state.songChanged = false;
  ClearSequenceSlots(state, 5, 9);
  for (int slot = 0; slot < kSequenceSlots; ++slot) {
    const bool cleared = slot >= 5 && slot <= 9;
    EXPECT_EQ(state.sequence.slots[slot].used(), !cleared) << slot;
    if (cleared) {
      EXPECT_EQ(static_cast<uint8_t>(state.sequence.slots[slot].bank), 255);
      EXPECT_EQ(static_cast<uint8_t>(state.sequence.slots[slot].pattern), 255);
    }
  }
  EXPECT_TRUE(state.songChanged);
}

TEST(SequenceHeaderTest, EveryFourthSlotIsBracketed) {
  EXPECT_EQ(SequenceHeaderText(0), "[0]");
  EXPECT_EQ(SequenceHeaderText(1), "1");
  EXPECT_EQ(SequenceHeaderText(3), "3");
  EXPECT_EQ(SequenceHeaderText(4), "[4]");
  EXPECT_EQ(SequenceHeaderText(124), "[124]");
  EXPECT_EQ(SequenceHeaderText(127), "127");
}

TEST_F(SequenceEditFixture, TitleAndAuthorKeepAtMost64Characters) {
  const std::string exact(64, 't');
  SetSongTitle(state, exact);
  EXPECT_EQ(state.song.title.text(), exact);
  EXPECT_TRUE(state.songChanged);
  SetSongAuthor(state, exact + "xyz");
  EXPECT_EQ(state.song.author.text(), exact);
  SetSongAuthor(state, "");
  EXPECT_EQ(state.song.author.length, 0);
}

TEST_F(SequenceEditFixture, SongPlayStartsWithTheFirstSlotsPattern) {
  SetSequenceSlot(state, 4, 6, 3);
  const PatternRef start = SongStartPattern(state, 4);
  EXPECT_EQ(start.bank, 6);
  EXPECT_EQ(start.pattern, 3);
}

TEST_F(SequenceEditFixture, AnEmptyFirstSlotPlaysThePatternTheEngineHolds) {
  state.playBank = 5;
  state.playPattern = 2;
  const PatternRef start = SongStartPattern(state, 0);
  EXPECT_EQ(start.bank, 5);
  EXPECT_EQ(start.pattern, 2);
}

TEST_F(SequenceEditFixture, ADamagedSlotNeverStartsOutsideTheSong) {
  state.playBank = 1;
  state.playPattern = 4;
  state.sequence.slots[0] = {3, 9};
  state.sequence.slots[1] = {12, 6};
  const PatternRef badPattern = SongStartPattern(state, 0);
  EXPECT_EQ(badPattern.bank, 3);
  EXPECT_EQ(badPattern.pattern, 4);
  const PatternRef badBank = SongStartPattern(state, 1);
  EXPECT_EQ(badBank.bank, 1);
  EXPECT_EQ(badBank.pattern, 6);

  state.playBank = -1;
  state.playPattern = 99;
  const PatternRef nothingValid = SongStartPattern(state, 2);
  EXPECT_EQ(nothingValid.bank, 0);
  EXPECT_EQ(nothingValid.pattern, 0);
}

TEST_F(SequenceEditFixture, AClickMovesTheSongPositionWithinTheGrid) {
  SetSongPosition(state, 17);
  EXPECT_EQ(state.songPosition.load(), 17);
  SetSongPosition(state, 300);
  EXPECT_EQ(state.songPosition.load(), 17);
}

} // namespace
} // namespace lw
