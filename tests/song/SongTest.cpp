#include "EngineHelpers.h"
#include "song/SongState.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace lw {
namespace {

int32_t ReadLe32(const uint8_t* bytes) {
  return static_cast<int32_t>(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
                              (static_cast<uint32_t>(bytes[3]) << 24));
}

TEST(Song, NewSongSetsEveryDefaultAndKeepsTheEditedPattern) {
  auto engine = std::make_unique<Engine>();
  SongState& s = engine->state;
  s.editBank = 5;
  s.editPattern = 2;
  s.activeStep = 9;
  s.activeChannel = 2;
  s.playBank = 3;
  s.nextPattern = 4;
  s.lastSampleChoice = 12;
  s.songChanged = true;
  s.songFileName = "/home/me/track.LW";
  s.song.step(7, 7, 2, 15).trigger = 1;
  s.sequence.slots[40] = {2, 3};
  engine->NewSong();

  EXPECT_EQ(s.editBank, 5);
  EXPECT_EQ(s.editPattern, 2);
  EXPECT_EQ(s.activeStep, 0);
  EXPECT_EQ(s.activeChannel, 0);
  EXPECT_EQ(s.playBank, 0);
  EXPECT_EQ(s.nextPattern, 0);
  EXPECT_EQ(s.lastSampleChoice, -1);
  EXPECT_TRUE(s.songChanged) << "NewSong leaves songChanged to its callers";
  EXPECT_EQ(s.songFileName, "/home/me/track.LW");

  EXPECT_EQ(s.song.delaySteps, 3);
  EXPECT_EQ(s.song.delayFeedback, 50);
  EXPECT_EQ(s.song.distortAmount, 32);
  EXPECT_EQ(s.song.vinylAmount, 0);
  EXPECT_EQ(s.song.tempo, 120);
  EXPECT_EQ(s.song.shuffle, 0);
  EXPECT_EQ(s.song.title.text(), "Untitled track");
  EXPECT_EQ(s.song.title.length, 14);
  EXPECT_EQ(s.song.author.length, 0);
  for (const Bank& bank : s.song.banks) {
    for (const Pattern& pattern : bank.patterns) {
      for (const Channel& channel : pattern.channels) {
        EXPECT_EQ(channel.volume, 64);
        EXPECT_EQ(channel.delaySend, 0);
        EXPECT_EQ(channel.distortOn, 0);
        for (const Step& step : channel.steps) {
          EXPECT_EQ(step.trigger, 0);
          EXPECT_EQ(step.sample, 255);
          EXPECT_EQ(step.volume, 255);
          EXPECT_EQ(step.mode, 255);
          EXPECT_EQ(step.startPos, 0);
          EXPECT_EQ(step.endPos, 1024);
          EXPECT_EQ(step.pitch, 100);
          EXPECT_EQ(step.note, 36);
        }
      }
    }
  }
  for (const SequenceEntry& slot : s.sequence.slots) {
    EXPECT_FALSE(slot.used());
    EXPECT_EQ(static_cast<uint8_t>(slot.bank), 255);
    EXPECT_EQ(static_cast<uint8_t>(slot.pattern), 255);
  }
  EXPECT_EQ(engine->clock.stepLength, 5512) << "NewSong follows the new tempo";
}

TEST(Song, NewSongLeavesReservedBytesAndBytesBehindTheStringsAlone) {
  auto engine = std::make_unique<Engine>();
  Song& song = engine->state.song;
  song.reserved0[1] = 0xAB;
  song.reserved1[0] = 0xCD;
  song.step(1, 2, 0, 3).reserved[2] = 0xEF;
  song.channel(4, 4, 1).reserved[0] = 0x5A;
  song.author.chars[10] = 'x';
  song.title.chars[20] = 'y';
  engine->NewSong();
  EXPECT_EQ(song.reserved0[1], 0xAB);
  EXPECT_EQ(song.reserved1[0], 0xCD);
  EXPECT_EQ(song.step(1, 2, 0, 3).reserved[2], 0xEF);
  EXPECT_EQ(song.channel(4, 4, 1).reserved[0], 0x5A);
  EXPECT_EQ(song.author.chars[10], 'x');
  EXPECT_EQ(song.title.chars[20], 'y');
}

TEST(Song, BlockLayoutPutsEachFieldAtItsStoredByte) {
  auto song = std::make_unique<Song>();
  std::memset(song.get(), 0, sizeof(Song));
  song->tempo = 133;
  song->step(2, 7, 1, 5).note = 0x01020304;
  song->channel(7, 7, 2).delaySend = 77;
  song->author.assignText("Me");
  const auto* bytes = reinterpret_cast<const uint8_t*>(song.get());
  EXPECT_EQ(ReadLe32(bytes + 16), 133);
  // Channel k of pattern p in bank b starts at 156 + 7968 b + 996 p + 332 k.
  EXPECT_EQ(ReadLe32(bytes + 156 + 7968 * 2 + 996 * 7 + 332 * 1 + 20 * 5 + 16), 0x01020304);
  EXPECT_EQ(ReadLe32(bytes + 156 + 7968 * 7 + 996 * 7 + 332 * 2 + 328), 77);
  EXPECT_EQ(bytes[89], 2);
  EXPECT_EQ(bytes[90], 'M');
}

TEST(Song, StepsShowANoteOnlyWithATriggerAndASampleBelow128) {
  Step step{};
  step.trigger = 1;
  step.sample = 255;
  EXPECT_FALSE(step.showsNote());
  EXPECT_EQ(step.sampleIndex(), -1);
  step.sample = 127;
  EXPECT_TRUE(step.showsNote());
  step.trigger = 7;
  step.sample = 3;
  EXPECT_TRUE(step.showsNote()) << "any non-zero trigger counts as a note";
  step.trigger = 0;
  EXPECT_FALSE(step.showsNote());
}

TEST(Song, ASequenceSlotIsUsedExactlyWhenItsBankByteIsNotNegative) {
  EXPECT_FALSE((SequenceEntry{static_cast<int8_t>(200), 0}).used());
  EXPECT_TRUE((SequenceEntry{0, static_cast<int8_t>(255)}).used());
  EXPECT_FALSE((SequenceEntry{0, static_cast<int8_t>(255)}).playable());
  EXPECT_FALSE((SequenceEntry{8, 0}).playable());
  EXPECT_TRUE((SequenceEntry{7, 7}).playable());
}

} // namespace
} // namespace lw
