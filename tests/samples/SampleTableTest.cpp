#include "samples/SampleTable.h"
#include "EngineHelpers.h"

#include <gtest/gtest.h>

#include <memory>

namespace lw {
namespace {

using test::PutNote;
using test::PutSample;

struct ManagerFixture : ::testing::Test {
  std::unique_ptr<Engine> engine = test::NewEngine();
  SampleTable& table = engine->samples;
  Song& song = engine->state.song;
};

TEST_F(ManagerFixture, AnEmptyTableHasNoLinesAndOffersSlot0) {
  EXPECT_EQ(CountUsedSlots(table), 0);
  std::vector<std::string> lines{"stale"};
  SampleListLines(table, lines);
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(FindFreeSlot(table), 0);
}

TEST_F(ManagerFixture, ListLinesNumberTheUsedSlotsAndTheMapLeadsBackToThem) {
  PutSample(*engine, 0, {1, 2}, 44100, SampleCategory::Drum, "Kick");
  PutSample(*engine, 3, {1, 2}, 44100, SampleCategory::Drum, "Snare");
  PutSample(*engine, 7, {1, 2}, 44100, SampleCategory::Drum, "Hat");
  std::vector<std::string> lines;
  SampleListLines(table, lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"01> Kick", "02> Snare", "03> Hat"}));
  SlotIndexMap map{};
  map.fill(-7);
  BuildSlotIndexMap(table, map);
  EXPECT_EQ(map[0], 0);
  EXPECT_EQ(map[1], 3);
  EXPECT_EQ(map[2], 7);
  EXPECT_EQ(map[3], -7) << "positions past the used count keep their old entries";
  EXPECT_EQ(FindFreeSlot(table), 1);
}

TEST_F(ManagerFixture, OrdinalsFrom10AreWrittenAsTheyAre) {
  for (int i = 0; i < 12; ++i) {
    PutSample(*engine, i, {}, 44100, SampleCategory::Drum, "x");
  }
  std::vector<std::string> lines;
  SampleListLines(table, lines);
  ASSERT_EQ(lines.size(), 12U);
  EXPECT_EQ(lines[8], "09> x");
  EXPECT_EQ(lines[11], "12> x");
}

TEST_F(ManagerFixture, AFullTableOffersNoSlotAndSlot63IsUsable) {
  for (int i = 0; i < 63; ++i) {
    PutSample(*engine, i, {0, 0}, 44100, SampleCategory::Drum);
  }
  EXPECT_EQ(FindFreeSlot(table), 63);
  PutSample(*engine, 63, {0, 0}, 44100, SampleCategory::Drum);
  EXPECT_EQ(CountUsedSlots(table), 64);
  EXPECT_EQ(FindFreeSlot(table), -1);
}

TEST_F(ManagerFixture, DeletingASampleRemovesItsNotesAndFreesItsSlot) {
  PutSample(*engine, 2, {1, 2, 3}, 22050, SampleCategory::Loop, "Loop");
  PutSample(*engine, 5, {4, 5}, 44100, SampleCategory::Drum, "Kick");
  Step& a = PutNote(*engine, 0, 0, 0, 0, 5);
  a.volume = 90; // controllers are not touched
  Step& b = PutNote(*engine, 7, 7, 2, 15, 5);
  Step& other = PutNote(*engine, 3, 1, 1, 4, 2);
  engine->state.sequence.slots[0] = {0, 0};

  EXPECT_EQ(DeleteSample(table, song, 5), (SampleData{4, 5})) << "the data goes to the caller";

  EXPECT_EQ(a.trigger, 0);
  EXPECT_EQ(a.sample, 255);
  EXPECT_EQ(a.volume, 90);
  EXPECT_EQ(b.sample, 255);
  EXPECT_EQ(other.sample, 2);
  EXPECT_EQ(other.trigger, 1);
  EXPECT_TRUE(engine->state.sequence.slots[0].used());

  const SampleSlot& freed = table.slots[5];
  EXPECT_FALSE(freed.isUsed());
  EXPECT_EQ(freed.length, 0);
  EXPECT_EQ(freed.rate, 1);
  EXPECT_EQ(freed.name.text(), "VOID");
  EXPECT_TRUE(freed.data.empty());
  EXPECT_EQ(freed.category, 0) << "the category stays";
  EXPECT_EQ(table.slots[2].length, 3) << "other slots keep their index and data";
  EXPECT_EQ(FindFreeSlot(table), 0);

  std::vector<std::string> lines;
  SampleListLines(table, lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"01> Loop"}));
}

TEST_F(ManagerFixture, ReferencesAreComparedAsSignedBytes) {
  Step& step = PutNote(*engine, 0, 0, 0, 0, 0);
  step.sample = 200; // -56 when read as signed: no slot matches it
  RemoveSampleReferences(song, 200 - 256);
  EXPECT_EQ(step.sample, 255);
  step.sample = 200;
  step.trigger = 1;
  RemoveSampleReferences(song, 200);
  EXPECT_EQ(step.sample, 200);
}

TEST_F(ManagerFixture, TheFreedSlotIsOfferedFirstWhenItIsTheLowest) {
  PutSample(*engine, 0, {1}, 44100, SampleCategory::Drum);
  PutSample(*engine, 1, {1}, 44100, SampleCategory::Drum);
  (void)DeleteSample(table, song, 0);
  EXPECT_EQ(FindFreeSlot(table), 0);
}

TEST_F(ManagerFixture, ClearingTheTableFreesEverySlotButKeepsTheirFields) {
  PutSample(*engine, 4, {1, 2, 3, 4}, 32000, SampleCategory::Instrument, "Pad");
  const ReleasedSamples released = ClearSampleTable(table);
  EXPECT_EQ(released[4], (SampleData{1, 2, 3, 4}));
  EXPECT_EQ(CountUsedSlots(table), 0);
  EXPECT_TRUE(table.slots[4].data.empty());
  EXPECT_EQ(table.slots[4].length, 4);
  EXPECT_EQ(table.slots[4].name.text(), "Pad");
}

TEST_F(ManagerFixture, ReplaceKeepsUsedAndCategoryAndTakesTheNewData) {
  PutSample(*engine, 9, {1, 2, 3}, 44100, SampleCategory::Loop, "Old");
  EXPECT_EQ(
      ReplaceSlotData(table.slots[9], SampleData{7, 8, 9, 10, 11}, 22050, std::string(70, 'n')),
      (SampleData{1, 2, 3}));
  const SampleSlot& s = table.slots[9];
  EXPECT_TRUE(s.isUsed());
  EXPECT_EQ(s.category, 2);
  EXPECT_EQ(s.length, 5);
  EXPECT_EQ(s.data.size(), 5U);
  EXPECT_EQ(s.rate, 22050);
  EXPECT_EQ(s.name.text(), std::string(64, 'n'));
}

TEST_F(ManagerFixture, RatesKeepTheirLow16Bits) {
  PutSample(*engine, 0, {1}, 96000, SampleCategory::Drum);
  EXPECT_EQ(table.slots[0].rate, 96000 - 65536);
}

TEST(SlotRecord, EncodesEveryFieldAtItsOffsetAndDecodesItBack) {
  SampleSlot slot;
  slot.used = 1;
  slot.reserved1 = {9, 8, 7};
  slot.length = 1000;
  slot.rate = 44100;
  slot.name.assignText("Kick");
  slot.name.chars[30] = 'z';
  slot.reserved75 = 0x42;
  slot.category = 2;
  slot.reserved81 = {1, 2, 3};
  slot.data.assign(1000, 5);
  const SlotRecord r = EncodeSlotRecord(slot);
  EXPECT_EQ(r[0], 1);
  EXPECT_EQ(r[1], 9);
  EXPECT_EQ(r[4], 0xE8);
  EXPECT_EQ(r[5], 0x03);
  EXPECT_EQ(r[8], 0x44);
  EXPECT_EQ(r[9], 0xAC);
  EXPECT_EQ(r[10], 4);
  EXPECT_EQ(r[11], 'K');
  EXPECT_EQ(r[75], 0x42);
  EXPECT_EQ(r[76] | r[77] | r[78] | r[79], 0) << "the data reference is stored as 0";
  EXPECT_EQ(r[80], 2);
  EXPECT_EQ(r[83], 3);

  SampleSlot back;
  back.data.assign(3, 1);
  DecodeSlotRecord(r, back);
  EXPECT_EQ(EncodeSlotRecord(back), r);
  EXPECT_TRUE(back.data.empty()) << "a decoded record holds no data until it is read";
  EXPECT_EQ(back.name.chars[30], 'z');
}

} // namespace
} // namespace lw
