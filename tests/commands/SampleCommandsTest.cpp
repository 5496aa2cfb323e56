#include "commands/SampleCommands.h"
#include "EngineHelpers.h"
#include "FakePrompts.h"
#include "SampleValues.h"
#include "TempDir.h"
#include "WavBuilder.h"
#include "samples/SoundFileImport.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace lw {
namespace {

using test::FakePrompts;
using test::PutNote;
using test::PutSample;
using test::Ramp;
using test::WavBuilder;
using test::WriteBytes;

const std::string kDeleteQuestion =
    "Are you sure you want to delete this sample (and references to it in your song) ?";
const std::string kReplaceQuestion =
    "Are you sure you want to replace this sample with another one ?\r\n"
    "The original sample will be deleted after you have selected\r\n"
    "a new/better one from disk...";

struct SampleManagerFixture : ::testing::Test {
  std::unique_ptr<Engine> engine = test::NewEngine();
  Engine& e = *engine;
  FakePrompts prompts;
  SampleManagerState manager;
  test::TempDir dir;

  // A WAV file of `count` values at `rate` in the test folder.
  std::string Wav(const std::string& name, std::size_t count, uint32_t rate = 44100) {
    WavBuilder wav;
    wav.rate = rate;
    wav.Bits(16).Samples(Ramp(count));
    std::string path = dir.File(name);
    WriteBytes(path, wav.Build());
    return path;
  }
  std::string StereoWav() {
    WavBuilder wav;
    wav.channels = 2;
    wav.Bits(16).Samples(Ramp(10));
    std::string path = dir.File("stereo.wav");
    WriteBytes(path, wav.Build());
    return path;
  }
  void Choose(const std::string& path) { prompts.files.emplace_back(path); }
  void FillAll() {
    for (int i = 0; i < kSampleSlots; ++i) {
      PutSample(e, i, {1}, 44100, SampleCategory::Drum, test::NumberedName(i));
    }
  }
};

TEST_F(SampleManagerFixture, AnEmptyTableShowsNoLinesAndDashes) {
  RefreshSampleList(e, manager);
  EXPECT_TRUE(manager.lines.empty());
  EXPECT_EQ(manager.selected, -1);
  const SampleDetails details = ShowSampleDetails(e, manager);
  EXPECT_EQ(details.name, "---");
  EXPECT_EQ(details.size, "---");
  EXPECT_EQ(details.quality, "---");
  EXPECT_FALSE(details.canDeleteOrReplace);
  EXPECT_FALSE(details.category.has_value());
}

TEST_F(SampleManagerFixture, ImportingAKickShowsItsLineSizeAndQuality) {
  Choose(Wav("kick.wav", 4410));
  ImportNewSample(e, prompts, manager);
  ASSERT_EQ(prompts.dialogs.size(), 1U);
  EXPECT_EQ(prompts.dialogs[0].title, "Import a new sample");
  EXPECT_EQ(prompts.dialogs[0].filter, "Wave-files (*.wav)|*.wav|Raw sample data (*.raw)|*.raw|"
                                       "SMP-Files|*.smp|Raw samples (*.sam)|*.sam");
  EXPECT_EQ(prompts.dialogs[0].initialFolder, ".");
  EXPECT_EQ(manager.lines, std::vector<std::string>{"01> kick"});
  EXPECT_EQ(manager.selected, 0);
  const SampleDetails details = ShowSampleDetails(e, manager);
  EXPECT_EQ(details.name, "kick");
  EXPECT_EQ(details.size, "4410 samples");
  EXPECT_EQ(details.quality, "44100Hz, 16Bit, Mono");
  EXPECT_EQ(details.category, SampleCategory::Instrument);
  EXPECT_TRUE(details.canDeleteOrReplace);
  EXPECT_EQ(e.samples.slots[0].data, Ramp(4410));
  EXPECT_TRUE(e.state.songChanged);
  EXPECT_TRUE(prompts.silent());

  // The next dialog opens where the file was picked.
  ImportNewSample(e, prompts, manager);
  EXPECT_EQ(prompts.dialogs[1].initialFolder, dir.path().string() + "/");
}

TEST_F(SampleManagerFixture, ImportsTakeTheLowestFreeSlot) {
  PutSample(e, 0, {1}, 44100, SampleCategory::Drum, "a");
  PutSample(e, 1, {1}, 44100, SampleCategory::Drum, "b");
  PutSample(e, 3, {1}, 44100, SampleCategory::Drum, "c");
  Choose(Wav("new.wav", 10));
  ImportNewSample(e, prompts, manager);
  EXPECT_EQ(e.samples.slots[2].name.text(), "new");
  EXPECT_EQ(manager.lines, (std::vector<std::string>{"01> a", "02> b", "03> new", "04> c"}));
  EXPECT_EQ(manager.selected, 3) << "the last line is selected, not the new sample";
}

// A file name becomes the slot's name in Windows-1252: 64 characters whatever their
// UTF-8 length.
TEST_F(SampleManagerFixture, AnAccentedFileNameKeeps64Characters) {
  std::string fileName;
  for (int i = 0; i < 5; ++i) {
    fileName += "Caisse ténue — "; // 15 characters, 18 bytes
  }
  Choose(Wav(fileName + ".wav", 10));
  ImportNewSample(e, prompts, manager);
  const std::string piece = "Caisse t\xE9nue \x97 ";
  EXPECT_EQ(e.samples.slots[0].name.bytes(), piece + piece + piece + piece + "Cais");
  const std::string shown = fileName.substr(0, 4 * 18) + "Cais";
  EXPECT_EQ(manager.lines, std::vector<std::string>{"01> " + shown});
  EXPECT_EQ(ShowSampleDetails(e, manager).name, shown);
}

TEST_F(SampleManagerFixture, RawFilesAndHighRatesGetTheirStoredRate) {
  const std::string raw = dir.File("hat.sam");
  WriteBytes(raw, std::vector<uint8_t>(200, 1));
  Choose(raw);
  ImportNewSample(e, prompts, manager);
  EXPECT_EQ(ShowSampleDetails(e, manager).quality, "44100Hz, 16Bit, Mono");

  Choose(Wav("fast.wav", 9600, 96000));
  ImportNewSample(e, prompts, manager);
  EXPECT_EQ(e.samples.slots[1].rate, 44100);
  EXPECT_NEAR(e.samples.slots[1].length, 4410, 2);
}

TEST_F(SampleManagerFixture, CancellingLeavesEverythingARefusedFileMarksTheSong) {
  ImportNewSample(e, prompts, manager);
  EXPECT_FALSE(e.state.songChanged);
  EXPECT_EQ(manager.lastImportFolder, ".");

  Choose(StereoWav());
  ImportNewSample(e, prompts, manager);
  EXPECT_EQ(prompts.warnings, std::vector<std::string>{"This appears to be stereo WAV-file..."});
  EXPECT_EQ(CountUsedSlots(e.samples), 0);
  EXPECT_TRUE(e.state.songChanged);
}

TEST_F(SampleManagerFixture, AFullTableRefusesAfterTheFileWasRead) {
  FillAll();
  RefreshSampleList(e, manager);
  Choose(Wav("one.wav", 10));
  ImportNewSample(e, prompts, manager);
  EXPECT_EQ(prompts.notices, std::vector<std::string>{"You have reached the limit of 64 samples"});
  EXPECT_EQ(e.samples.slots[63].name.text(), "s63");
  EXPECT_EQ(e.samples.slots[63].length, 1);
  EXPECT_TRUE(e.state.songChanged);

  // A file that is refused never gets as far as the limit.
  prompts = FakePrompts();
  Choose(StereoWav());
  ImportNewSample(e, prompts, manager);
  EXPECT_TRUE(prompts.notices.empty());
  EXPECT_EQ(prompts.warnings.size(), 1U);
}

TEST_F(SampleManagerFixture, DeleteAsksThenRemovesTheReferencesAndTheSample) {
  PutSample(e, 0, {1, 2}, 44100, SampleCategory::Drum, "Kick");
  PutSample(e, 5, {3, 4}, 44100, SampleCategory::Drum, "Snare");
  PutSample(e, 7, {5, 6}, 44100, SampleCategory::Drum, "Hat");
  PutNote(e, 0, 0, 0, 0, 5);
  PutNote(e, 7, 7, 2, 15, 5);
  PutNote(e, 0, 0, 1, 0, 7);
  RefreshSampleList(e, manager);
  SelectSample(manager, 1);

  DeleteSelectedSample(e, prompts, manager);
  EXPECT_EQ(prompts.questions, std::vector<std::string>{kDeleteQuestion});
  EXPECT_TRUE(e.samples.slots[5].isUsed()) << "No keeps the sample";
  EXPECT_FALSE(e.state.songChanged);

  prompts.answers = {true};
  DeleteSelectedSample(e, prompts, manager);
  EXPECT_FALSE(e.samples.slots[5].isUsed());
  EXPECT_EQ(e.samples.slots[5].name.text(), "VOID");
  for (const Step* s : {&e.state.song.step(0, 0, 0, 0), &e.state.song.step(7, 7, 2, 15)}) {
    EXPECT_EQ(s->trigger, 0);
    EXPECT_EQ(s->sample, 255);
  }
  EXPECT_EQ(e.state.song.step(0, 0, 1, 0).sample, 7) << "other samples' notes stay";
  EXPECT_EQ(manager.lines, (std::vector<std::string>{"01> Kick", "02> Hat"}));
  EXPECT_EQ(manager.selected, 1);
  EXPECT_EQ(ShowSampleDetails(e, manager).name, "Hat");
  EXPECT_TRUE(e.state.songChanged);
}

TEST_F(SampleManagerFixture, DeletingTheLastSampleLeavesDashes) {
  PutSample(e, 3, {1}, 44100, SampleCategory::Loop, "Only");
  RefreshSampleList(e, manager);
  prompts.answers = {true};
  DeleteSelectedSample(e, prompts, manager);
  EXPECT_TRUE(manager.lines.empty());
  EXPECT_EQ(ShowSampleDetails(e, manager).name, "---");

  // With the table empty there is nothing to ask.
  prompts = FakePrompts();
  DeleteSelectedSample(e, prompts, manager);
  ReplaceSelectedSample(e, prompts, manager);
  EXPECT_TRUE(prompts.questions.empty());
}

TEST_F(SampleManagerFixture, ReplaceKeepsSlotCategoryAndNotes) {
  PutSample(e, 2, {1, 2}, 22050, SampleCategory::Loop, "Old");
  PutSample(e, 6, {1}, 44100, SampleCategory::Drum, "Last");
  PutNote(e, 1, 1, 1, 1, 2);
  RefreshSampleList(e, manager);
  SelectSample(manager, 0);
  prompts.answers = {true};
  Choose(Wav("fresh.take.wav", 300, 32000));
  ReplaceSelectedSample(e, prompts, manager);

  EXPECT_EQ(prompts.questions, std::vector<std::string>{kReplaceQuestion});
  const SampleSlot& slot = e.samples.slots[2];
  EXPECT_EQ(slot.name.text(), "fresh");
  EXPECT_EQ(slot.length, 300);
  EXPECT_EQ(slot.rate, 32000);
  EXPECT_EQ(slot.data, Ramp(300));
  EXPECT_EQ(slot.category, static_cast<uint8_t>(SampleCategory::Loop));
  EXPECT_EQ(e.state.song.step(1, 1, 1, 1).sample, 2) << "the notes now play the new sound";
  EXPECT_EQ(e.state.song.step(1, 1, 1, 1).trigger, 1);
  EXPECT_EQ(manager.lines, (std::vector<std::string>{"01> fresh", "02> Last"}));
  EXPECT_EQ(manager.selected, 1);
  EXPECT_TRUE(e.state.songChanged);
}

TEST_F(SampleManagerFixture, AReplaceThatImportsNothingKeepsTheOldSound) {
  PutSample(e, 0, {9, 9}, 44100, SampleCategory::Drum, "Keep");
  RefreshSampleList(e, manager);
  prompts.answers = {true, true};
  ReplaceSelectedSample(e, prompts, manager); // the file dialog is cancelled
  EXPECT_FALSE(e.state.songChanged);

  Choose(StereoWav());
  ReplaceSelectedSample(e, prompts, manager);
  EXPECT_EQ(e.samples.slots[0].data, (std::vector<int16_t>{9, 9}));
  EXPECT_EQ(e.samples.slots[0].name.text(), "Keep");
  EXPECT_TRUE(e.state.songChanged) << "a file was chosen";
}

TEST_F(SampleManagerFixture, ATruncatedFileIsReportedAndChangesNoSlot) {
  PutSample(e, 0, {9, 9}, 44100, SampleCategory::Drum, "Keep");
  RefreshSampleList(e, manager);
  std::vector<uint8_t> bytes = WavBuilder().Samples(Ramp(100)).Build();
  bytes.resize(60);
  WriteBytes(dir.File("cut.wav"), bytes);
  Choose(dir.File("cut.wav"));
  ImportNewSample(e, prompts, manager);
  prompts.answers = {true};
  Choose(dir.File("cut.wav"));
  ReplaceSelectedSample(e, prompts, manager);
  const std::string cut = FileErrorText(kReadBeyondEnd, dir.File("cut.wav"));
  EXPECT_EQ(prompts.ioErrors, (std::vector<std::string>{cut, cut}));
  EXPECT_EQ(CountUsedSlots(e.samples), 1);
  EXPECT_EQ(e.samples.slots[0].data, (std::vector<int16_t>{9, 9}));
}

TEST_F(SampleManagerFixture, CategoryButtonsSetTheSelectedSample) {
  PutSample(e, 4, {1}, 44100, SampleCategory::Instrument, "x");
  SetSelectedCategory(e, manager, SampleCategory::Loop);
  EXPECT_FALSE(e.state.songChanged) << "nothing selected: nothing happens";

  RefreshSampleList(e, manager);
  SetSelectedCategory(e, manager, SampleCategory::Drum);
  EXPECT_EQ(e.samples.slots[4].category, 0);
  EXPECT_EQ(ShowSampleDetails(e, manager).category, SampleCategory::Drum);
  EXPECT_TRUE(e.state.songChanged);

  e.samples.slots[4].category = 7;
  EXPECT_FALSE(ShowSampleDetails(e, manager).category.has_value())
      << "an unknown code checks no button";
}

// Files dropped on the manager import one after another with the dialog's checks and
// messages, and leave the dialog's folder alone.
TEST_F(SampleManagerFixture, GivenFilesImportLikeTheDialogWithoutIt) {
  for (int i = 0; i < kSampleSlots - 1; ++i) {
    PutSample(e, i, {1}, 44100, SampleCategory::Drum, test::NumberedName(i));
  }
  const struct {
    std::string path;
    ImportOutcome outcome;
  } files[] = {{StereoWav(), ImportOutcome::Refused},
               {Wav("last.wav", 10), ImportOutcome::Imported},
               {Wav("over.wav", 10), ImportOutcome::TableFull}};
  for (const auto& f : files) {
    EXPECT_EQ(ImportSampleFile(e, prompts, manager, f.path), f.outcome) << f.path;
  }
  EXPECT_EQ(prompts.warnings, std::vector<std::string>{"This appears to be stereo WAV-file..."});
  EXPECT_EQ(prompts.notices, std::vector<std::string>{"You have reached the limit of 64 samples"});
  EXPECT_EQ(e.samples.slots[63].name.text(), "last");
  EXPECT_EQ(e.samples.slots[63].category, static_cast<uint8_t>(SampleCategory::Instrument));
  EXPECT_EQ(manager.lines.back().substr(manager.lines.back().size() - 4), "last");
  EXPECT_TRUE(prompts.dialogs.empty());
  EXPECT_EQ(manager.lastImportFolder, ".");
  EXPECT_TRUE(e.state.songChanged);
}

// Previews: the sounds the sample manager lets the user hear.

struct HeardPreviews : SamplePreviewer {
  std::vector<PreviewSound> sounds;
  int stops = 0;
  void Preview(PreviewSound sound) override { sounds.push_back(std::move(sound)); }
  void StopPreview() override { ++stops; }
};

std::vector<int16_t> Values(const PreviewSound& sound) {
  return sound.data ? std::vector<int16_t>(sound.data->begin(), sound.data->end())
                    : std::vector<int16_t>();
}

// A file is heard as the import would store it: the same values at the same rate.
TEST_F(SampleManagerFixture, FilesAreHeardAsTheirImportStoresThem) {
  const std::string raw = dir.File("hat.raw");
  WriteBytes(raw, {1, 0, 2, 0, 0xFF, 0xFF});
  const std::string files[] = {Wav("low.wav", 300, 22050), raw, Wav("fast.wav", 9600, 96000)};
  for (const std::string& path : files) {
    const PreviewSound sound = ImportFileSound(path);
    ASSERT_EQ(ImportSampleFile(e, prompts, manager, path), ImportOutcome::Imported) << path;
    const SampleSlot& slot =
        e.samples.slots[static_cast<std::size_t>(CountUsedSlots(e.samples) - 1)];
    EXPECT_EQ(slot.data, Values(sound)) << path;
    EXPECT_EQ(slot.rate, sound.rate) << path;
  }
  EXPECT_EQ(Values(ImportFileSound(raw)), (std::vector<int16_t>{1, 2, -1}));
  tWavImportInfo info;
  const std::string stereo = StereoWav();
  const ImportedAudio converted = ConvertSoundFile(stereo, prompts, info);
  for (const auto read : {ImportFileSound, ConvertFileSound}) {
    const PreviewSound sound = read(stereo);
    EXPECT_EQ(converted.data, Values(sound)) << "the plain import's refusal is heard converted";
    EXPECT_EQ(sound.rate, 44100U);
  }
  EXPECT_TRUE(prompts.silent());
}

TEST_F(SampleManagerFixture, WhatCannotBeReadIsNotHeardAndNothingIsSaid) {
  const std::string junk = dir.File("junk.wav");
  WriteBytes(junk, {'R', 'I', 'F', 'F', 1, 2, 3});
  const std::string raw = dir.File("hat.sam");
  WriteBytes(raw, {1, 0, 2, 0});
  const struct {
    std::string path;
    PreviewSound (*read)(const std::string&);
  } cases[] = {{dir.File("gone.wav"), ImportFileSound},
               {dir.File("gone.wav"), ConvertFileSound},
               {junk, ImportFileSound},
               {junk, ConvertFileSound},
               {raw, ConvertFileSound},
               {dir.path().string(), ImportFileSound}};
  for (const auto& c : cases) {
    EXPECT_TRUE(c.read(c.path).empty()) << c.path;
  }
  // Larger than an import takes: heard as far as the import would keep it, unasked.
  const std::string big = dir.File("big.raw");
  WriteBytes(big, std::vector<uint8_t>(kImportLimitBytes + 100, 3));
  const PreviewSound first = ImportFileSound(big);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first.data->size(), kImportLimitBytes / 2);
}

TEST_F(SampleManagerFixture, TheSelectedSampleIsHeardFromACopyOfItsValues) {
  RefreshSampleList(e, manager);
  EXPECT_TRUE(SelectedSampleSound(e, manager).empty());
  PutSample(e, 2, {5, 6, 7}, 22050, SampleCategory::Drum, "a");
  PutSample(e, 9, {-1, -2, -3}, 8000, SampleCategory::Loop, "b");
  e.samples.slots[9].length = 2; // only what the engine reads is heard
  RefreshSampleList(e, manager);
  SelectSample(manager, 1);
  const PreviewSound b = SelectedSampleSound(e, manager);
  EXPECT_EQ(Values(b), (std::vector<int16_t>{-1, -2}));
  EXPECT_EQ(b.rate, 8000U);
  SelectSample(manager, 0);
  const PreviewSound a = SelectedSampleSound(e, manager);
  EXPECT_EQ(Values(a), (std::vector<int16_t>{5, 6, 7}));
  EXPECT_EQ(a.rate, 22050U);

  prompts.answers.push_back(true);
  DeleteSelectedSample(e, prompts, manager);
  EXPECT_EQ(Values(a), (std::vector<int16_t>{5, 6, 7})) << "a delete leaves the copy whole";
  SelectSample(manager, -1);
  EXPECT_TRUE(SelectedSampleSound(e, manager).empty());
}

TEST_F(SampleManagerFixture, TheImportDialogsLetSelectedFilesBeHeardUntilTheyClose) {
  HeardPreviews heard;
  const std::string wav = Wav("kick.wav", 100);
  const std::string raw = dir.File("hat.raw");
  WriteBytes(raw, {1, 0, 2, 0});
  prompts.whileOpen = [&](const FileDialogSpec& dialog) {
    ASSERT_TRUE(dialog.preview);
    dialog.preview(wav);
    dialog.preview(dir.File("gone.wav"));
    dialog.preview(raw);
    EXPECT_EQ(heard.stops, 0) << "heard while the dialog is open";
  };
  ImportNewSample(e, prompts, manager, &heard); // cancelled
  ASSERT_EQ(heard.sounds.size(), 3U);
  EXPECT_EQ(Values(heard.sounds[0]), Ramp(100));
  EXPECT_TRUE(heard.sounds[1].empty()) << "an unreadable file silences the one before";
  EXPECT_EQ(Values(heard.sounds[2]), (std::vector<int16_t>{1, 2}));
  EXPECT_EQ(heard.stops, 1) << "closing the dialog ends the preview";
  EXPECT_EQ(CountUsedSlots(e.samples), 0);

  // Replace asks with the import's dialog.
  PutSample(e, 0, {9}, 44100, SampleCategory::Drum, "old");
  RefreshSampleList(e, manager);
  prompts.answers.push_back(true);
  prompts.whileOpen = [&](const FileDialogSpec& dialog) { dialog.preview(wav); };
  ReplaceSelectedSample(e, prompts, manager, &heard);
  ASSERT_EQ(heard.sounds.size(), 4U);
  EXPECT_EQ(Values(heard.sounds[3]), Ramp(100));
  EXPECT_EQ(heard.stops, 2);

  // A dialog in which nothing was selected leaves a preview alone; without a previewer
  // a dialog offers none.
  ImportNewSample(e, prompts, manager, &heard);
  EXPECT_EQ(heard.stops, 2);
  ImportNewSample(e, prompts, manager);
  EXPECT_FALSE(prompts.dialogs.back().preview);
  EXPECT_TRUE(prompts.warnings.empty());
  EXPECT_TRUE(prompts.notices.empty());
}

} // namespace
} // namespace lw
