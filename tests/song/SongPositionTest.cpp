#include "song/SongPosition.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace lw {
namespace {

struct SequenceFixture : ::testing::Test {
  std::unique_ptr<SongState> state = std::make_unique<SongState>();
  void SetUp() override { NewSongModel(*state); }

  // Advances `n` times and returns the slots landed on.
  std::vector<int32_t> Advance(int n) {
    std::vector<int32_t> slots;
    for (int i = 0; i < n; ++i) {
      slots.push_back(AdvanceSongPosition(*state));
      // The engine takes the next pattern over at step 0.
      state->playBank = state->nextBank;
      state->playPattern = state->nextPattern;
    }
    return slots;
  }
};

TEST_F(SequenceFixture, LastSequenceEntryFindsTheHighestUsedSlot) {
  EXPECT_EQ(LastSequenceEntry(state->sequence), 0);
  state->sequence.slots[0] = {0, 0};
  EXPECT_EQ(LastSequenceEntry(state->sequence), 0);
  state->sequence.slots[17] = {1, 1};
  state->sequence.slots[99] = {static_cast<int8_t>(200), 0}; // negative: empty
  EXPECT_EQ(LastSequenceEntry(state->sequence), 17);
  state->sequence.slots[127] = {0, 5};
  EXPECT_EQ(LastSequenceEntry(state->sequence), 127);
}

TEST_F(SequenceFixture, LoopOverASelectionRepeatsItAndNoLoopRunsOnThenRepeats) {
  for (int i = 0; i < 4; ++i) {
    state->sequence.slots[i] = {static_cast<int8_t>(i), static_cast<int8_t>(i + 1)};
  }
  state->songPosition = 1;
  state->loopEnabled = true;
  state->loopFirstSlot = 1;
  state->loopLastSlot = 2;
  EXPECT_EQ(Advance(5), (std::vector<int32_t>{2, 1, 2, 1, 2}));
  EXPECT_EQ(state->nextBank, 2);
  EXPECT_EQ(state->nextPattern, 3);

  state->loopEnabled = false; // unchecking takes effect while the song plays
  EXPECT_EQ(Advance(2), (std::vector<int32_t>{3, 4}));
  EXPECT_EQ(state->nextBank, 3) << "an empty slot repeats the pattern just played";
  EXPECT_EQ(state->nextPattern, 4);
}

TEST_F(SequenceFixture, PassingSlot127ContinuesAtSlot0) {
  state->sequence.slots[0] = {6, 7};
  state->songPosition = 127;
  EXPECT_EQ(AdvanceSongPosition(*state), 0);
  EXPECT_EQ(state->nextBank, 6);
  EXPECT_EQ(state->nextPattern, 7);
}

TEST_F(SequenceFixture, ASlotNamingAPatternTheSongLacksRepeatsThePatternJustPlayed) {
  state->playBank = 4;
  state->playPattern = 5;
  state->sequence.slots[1] = {2, static_cast<int8_t>(200)};
  state->sequence.slots[2] = {100, 1};
  state->songPosition = 0;
  AdvanceSongPosition(*state);
  EXPECT_EQ(state->nextBank, 4);
  EXPECT_EQ(state->nextPattern, 5);
  AdvanceSongPosition(*state);
  EXPECT_EQ(state->nextBank, 4);
  EXPECT_EQ(state->nextPattern, 5);
}

} // namespace
} // namespace lw
