#include "commands/Bounce.h"
#include "EngineHelpers.h"
#include "FakePrompts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace lw {
namespace {

using test::FakePrompts;
using test::PutNote;
using test::PutSample;

struct BounceFixture : ::testing::Test {
  std::unique_ptr<Engine> engine = test::NewEngine();
  Engine& e = *engine;
  FakePrompts prompts;
  SampleManagerState manager;
  std::vector<std::string> proposed;
  std::optional<std::string> answer = "My loop";

  BounceNameDialog dialog = [this](const std::string& name) {
    proposed.push_back(name);
    return answer;
  };

  // A quiet drum hit on every fourth step of channel 0 of the edited pattern.
  static void QuietPattern(Engine& target) {
    PutSample(target, 0, std::vector<int16_t>(2000, 6000), 44100, SampleCategory::Drum, "hit");
    for (int step = 0; step < kSteps; step += 4) {
      PutNote(target, target.state.editBank, target.state.editPattern, 0, step, 0);
    }
  }
};

TEST_F(BounceFixture, TheProposedNameNumbersTheEditedPatternFrom1) {
  EXPECT_EQ(ProposedBounceName(e.state), "Bounced 1-1");
  e.state.editPattern = 2;
  EXPECT_EQ(ProposedBounceName(e.state), "Bounced 1-3");
  e.state.editBank = 7;
  e.state.editPattern = 7;
  EXPECT_EQ(ProposedBounceName(e.state), "Bounced 8-8");
}

TEST_F(BounceFixture, RefusedWhilePlaying) {
  test::Start(e);
  EXPECT_EQ(BouncePattern(e, prompts, manager, dialog), -1);
  EXPECT_EQ(prompts.notices,
            std::vector<std::string>{"You can not bounce a pattern while playing. Please press "
                                     "the play-button to stop playback and try again..."});
  EXPECT_TRUE(proposed.empty()) << "the dialog is not shown";
  EXPECT_EQ(CountUsedSlots(e.samples), 0);
}

TEST_F(BounceFixture, CancelChangesNothing) {
  answer.reset();
  EXPECT_EQ(BouncePattern(e, prompts, manager, dialog), -1);
  EXPECT_EQ(proposed, std::vector<std::string>{"Bounced 1-1"});
  EXPECT_EQ(CountUsedSlots(e.samples), 0);
  EXPECT_FALSE(e.state.songChanged);
  EXPECT_EQ(prompts.busyShown, 0);
}

TEST_F(BounceFixture, TheLoopGoesIntoTheLowestFreeSlotNormalised) {
  e.state.editBank = 1;
  e.state.editPattern = 4;
  QuietPattern(e);
  for (int slot : {1, 2, 3, 5, 6, 7, 8, 9}) {
    PutSample(e, slot, {1}, 44100, SampleCategory::Drum, test::NumberedName(slot));
  }
  e.state.playBank = 6;
  e.state.playPattern = 2;

  EXPECT_EQ(BouncePattern(e, prompts, manager, dialog), 4);
  const SampleSlot& slot = e.samples.slots[4];
  EXPECT_TRUE(slot.isUsed());
  EXPECT_EQ(slot.category, static_cast<uint8_t>(SampleCategory::Loop));
  EXPECT_EQ(slot.rate, 44100);
  EXPECT_EQ(slot.name.text(), "My loop");
  EXPECT_EQ(slot.length, e.clock.patternSamples);
  ASSERT_EQ(slot.data.size(), static_cast<std::size_t>(e.clock.patternSamples));
  const auto [low, high] = std::minmax_element(slot.data.begin(), slot.data.end());
  EXPECT_EQ(std::max(-static_cast<int>(*low), static_cast<int>(*high)), 32767)
      << "a quiet loop is brought up to full scale";

  EXPECT_TRUE(e.state.songChanged);
  EXPECT_EQ(prompts.busyShown, 1);
  EXPECT_EQ(prompts.busyDepth, 0);
  EXPECT_FALSE(e.playing);
  EXPECT_EQ(e.state.playBank, 6);
  EXPECT_EQ(e.state.playPattern, 2);
  EXPECT_FALSE(e.songMode);
  EXPECT_EQ(manager.lines.size(), 10U);
  EXPECT_EQ(manager.selected, 9) << "the last line (slot 9) is selected, not the new one";
  EXPECT_EQ(manager.lines[4], "05> My loop");
}

TEST_F(BounceFixture, ASilentPatternStaysSilent) {
  EXPECT_EQ(BouncePattern(e, prompts, manager, dialog), 0);
  const SampleData& data = e.samples.slots[0].data;
  EXPECT_FALSE(data.empty());
  EXPECT_TRUE(std::all_of(data.begin(), data.end(), [](int16_t v) { return v == 0; }));
}

TEST_F(BounceFixture, AFullTableRefusesAfterTheDialog) {
  for (int i = 0; i < kSampleSlots; ++i) {
    PutSample(e, i, {1}, 44100, SampleCategory::Drum);
  }
  EXPECT_EQ(BouncePattern(e, prompts, manager, dialog), -1);
  EXPECT_EQ(prompts.notices,
            std::vector<std::string>{"Unfortunately you have reached the limit of 64 samples..."});
  EXPECT_EQ(proposed.size(), 1U);
  EXPECT_EQ(e.samples.slots[63].length, 1);
  EXPECT_FALSE(e.state.songChanged);
  EXPECT_EQ(prompts.busyDepth, 0) << "the normal cursor is back";
}

} // namespace
} // namespace lw
