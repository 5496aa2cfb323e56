// The MIDI byte-stream reader and what MIDI learn keeps.
#include "live/MidiReader.h"
#include "live/MidiMapping.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lw {
namespace {

using Bytes = std::vector<uint8_t>;
using Messages = std::vector<MidiMessage>;

Messages Read(const Bytes& bytes) {
  Messages got;
  MidiReader reader;
  reader.Feed(bytes.data(), bytes.size(), [&](const MidiMessage& m) { got.push_back(m); });
  return got;
}

TEST(MidiReader, ReadsStreamsAsAMidiReceiverMust) {
  struct Case {
    const char* what;
    Bytes bytes;
    Messages expected;
  };
  const Case cases[] = {
      {"a note on and off", {0x99, 36, 100, 0x89, 36, 64}, {{0x99, 36, 100}, {0x89, 36, 64}}},
      {"running status",
       {0x90, 36, 100, 38, 90, 42, 0},
       {{0x90, 36, 100}, {0x90, 38, 90}, {0x90, 42, 0}}},
      {"one-byte messages run too",
       {0xC3, 5, 6, 0xD0, 9},
       {{0xC3, 5, 0}, {0xC3, 6, 0}, {0xD0, 9, 0}}},
      {"real-time bytes inside a message",
       {0x90, 0xF8, 36, 0xFE, 100},
       {{0xF8, 0, 0}, {0xFE, 0, 0}, {0x90, 36, 100}}},
      {"an exclusive is skipped whole, running status ends",
       {0x90, 36, 1, 0xF0, 0x7E, 0x90, 0x10, 0xF7, 38, 2, 0xB0, 7, 99},
       {{0x90, 36, 1}, {0xB0, 7, 99}}},
      {"an exclusive ended by a status byte", {0xF0, 1, 2, 3, 0x80, 40, 0}, {{0x80, 40, 0}}},
      {"a message cut short by the next", {0x90, 36, 0xB0, 1, 2}, {{0xB0, 1, 2}}},
      {"data with no status before it", {36, 100, 0x90, 38, 5}, {{0x90, 38, 5}}},
      {"undefined status bytes", {0xF4, 1, 2, 0xF5, 3, 0xF9, 0xFD, 0x90, 1, 2}, {{0x90, 1, 2}}},
      {"song position, then data without status", {0xF2, 0x10, 0x02, 5, 6}, {{0xF2, 0x10, 0x02}}},
      {"song select and tune request", {0xF3, 4, 0xF6}, {{0xF3, 4, 0}, {0xF6, 0, 0}}},
      {"a clock does not end running status",
       {0xB0, 7, 1, 0xF8, 7, 2},
       {{0xB0, 7, 1}, {0xF8, 0, 0}, {0xB0, 7, 2}}},
      {"a stray end of exclusive", {0xF7, 36, 0x90, 36, 1}, {{0x90, 36, 1}}},
      {"a truncated stream", {0x90, 36}, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Read(c.bytes), c.expected) << c.what;
  }
}

TEST(MidiReader, AMessageMaySpanFeedsAndResetForgetsIt) {
  MidiReader reader;
  Messages got;
  const auto take = [&](const MidiMessage& m) { got.push_back(m); };
  const Bytes first{0x90, 36};
  const Bytes second{100, 38};
  const Bytes third{90};
  reader.Feed(first.data(), first.size(), take);
  reader.Feed(second.data(), second.size(), take);
  reader.Feed(third.data(), third.size(), take);
  EXPECT_EQ(got, (Messages{{0x90, 36, 100}, {0x90, 38, 90}}));
  reader.Feed(first.data(), first.size(), take);
  reader.Reset();
  reader.Feed(second.data(), second.size(), take);
  EXPECT_EQ(got.size(), 2U) << "after a reset, data bytes have no status";
}

TEST(MidiMessage, AVelocityOfZeroIsANoteOff) {
  EXPECT_TRUE((MidiMessage{0x95, 60, 1}).isNoteOn());
  EXPECT_FALSE((MidiMessage{0x95, 60, 0}).isNoteOn());
  EXPECT_FALSE((MidiMessage{0x85, 60, 64}).isNoteOn());
  EXPECT_EQ((MidiMessage{0x95, 60, 1}).channel(), 5);
}

TEST(MidiMapping, LearningKeepsOneNotePerChannelAndOneKnobPerController) {
  MidiMapping m;
  EXPECT_EQ(m.channelNotes, (std::array<int, 3>{36, 38, 42}));
  m.LearnNote(0, 38); // the snare's note: the snare channel takes the kick's old one
  EXPECT_EQ(m.channelNotes, (std::array<int, 3>{38, 36, 42}));
  m.LearnNote(2, 50);
  EXPECT_EQ(m.channelNotes, (std::array<int, 3>{38, 36, 50}));
  m.LearnNote(1, 200); // not a note: nothing
  EXPECT_EQ(m.channelNotes[1], 36);

  m.LearnController(74, 2);
  m.LearnController(71, 2); // the knob moves to another controller
  EXPECT_EQ(m.knobOfController[74], -1);
  EXPECT_EQ(m.knobOfController[71], 2);
  m.LearnController(71, 5); // the controller moves to another knob
  EXPECT_EQ(m.knobOfController[71], 5);
  EXPECT_EQ(std::count(m.knobOfController.begin(), m.knobOfController.end(), 2), 0);
  m.LearnController(7, 12); // no such knob
  EXPECT_EQ(m.knobOfController[7], -1);
}

TEST(MidiMapping, TheSettingsTextComesBackAndBadTextKeepsTheDefaults) {
  MidiMapping m;
  m.LearnNote(1, 40);
  m.LearnController(7, 9);
  m.LearnController(127, 0);
  EXPECT_EQ(m.ToText(), "notes=36,40,42;cc=7:9,127:0");
  EXPECT_EQ(MidiMapping::FromText(m.ToText()), m);

  const MidiMapping defaults;
  struct Case {
    const char* text;
    std::array<int, 3> notes;
    int controller7;
  };
  const Case cases[] = {
      {"", {36, 38, 42}, -1},
      {"garbage", {36, 38, 42}, -1},
      {"notes=1,2", {36, 38, 42}, -1},
      {"notes=1,2,3,4", {36, 38, 42}, -1},
      {"notes=1,x,3;cc=7:4", {36, 38, 42}, 4},
      {"notes=1,2,300", {36, 38, 42}, -1},
      {"notes=40,40,40", {38, 42, 40}, -1}, // learned in turn, each note once
      {"cc=7:4,7:99,300:1,a:b,8", {36, 38, 42}, 4},
  };
  for (const Case& c : cases) {
    const MidiMapping read = MidiMapping::FromText(c.text);
    EXPECT_EQ(read.channelNotes, c.notes) << c.text;
    EXPECT_EQ(read.knobOfController[7], c.controller7) << c.text;
  }
}

TEST(MidiMapping, AControllersRangeCoversTheKnobsEndToEnd) {
  EXPECT_EQ(KnobValueOfController(0, 30, 1230), 30);
  EXPECT_EQ(KnobValueOfController(127, 30, 1230), 1230);
  EXPECT_EQ(KnobValueOfController(127, 0, 6), 6);
  EXPECT_EQ(KnobValueOfController(64, 0, 100), 50); // 50.39 rounds to 50
  EXPECT_EQ(KnobValueOfController(-5, 0, 100), 0);
  EXPECT_EQ(KnobValueOfController(500, 0, 100), 100);
  for (int v = 1; v < 128; ++v) {
    EXPECT_GE(KnobValueOfController(v, 0, 63), KnobValueOfController(v - 1, 0, 63));
  }
}

} // namespace
} // namespace lw
