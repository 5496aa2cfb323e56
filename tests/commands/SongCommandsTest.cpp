#include "commands/SongCommands.h"
#include "EngineHelpers.h"
#include "FakePrompts.h"
#include "TempDir.h"
#include "commands/SampleCommands.h"
#include "samples/SongFile.h"
#include "song/Paths.h"
#include "song/Round.h"
#include "song/SequenceEditing.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>

namespace lw {
namespace {

using test::FakePrompts;
using test::PutNote;
using test::PutSample;
using test::ReadBytes;
using test::WriteBytes;

constexpr uint64_t kSlotsAt = 64164;

struct SongFileFixture : ::testing::Test {
  std::unique_ptr<Engine> engine = test::NewEngine();
  Engine& e = *engine;
  FakePrompts prompts;
  test::TempDir dir;

  bool SaveTo(const std::string& path) {
    e.state.songFileName = path;
    return SaveSong(e, prompts, dir.path().string());
  }
  // Open, agreeing to lose unsaved changes when asked.
  OpenResult OpenFrom(Engine& target, const std::string& path) {
    prompts.files.emplace_back(path);
    if (target.state.songChanged) {
      prompts.answers.push_back(true);
    }
    return OpenSong(target, prompts, dir.path().string());
  }
  // A song that uses every kind of field, samples included.
  void FillSong() {
    Song& s = e.state.song;
    s.tempo = 133;
    s.shuffle = 25;
    s.delaySteps = 5;
    s.delayFeedback = 70;
    s.distortAmount = 12;
    s.vinylAmount = 40;
    s.title.assignText("Night Bus");
    s.author.assignText("R. Ivers");
    s.reserved0[2] = 0x77;
    s.reserved1[1] = 0x66;
    Step& st = PutNote(e, 7, 6, 2, 15, 3);
    st.volume = 99;
    st.mode = static_cast<uint8_t>(StepMode::RetrigLoop);
    st.startPos = 100;
    st.endPos = 900;
    st.pitch = 140;
    st.note = 61;
    st.reserved[1] = 0x55;
    s.channel(3, 3, 1).distortOn = 1;
    s.channel(3, 3, 1).delaySend = 80;
    s.channel(3, 3, 1).volume = 101;
    e.state.sequence.slots[0] = {7, 6};
    e.state.sequence.slots[9] = {1, 2};
    std::vector<int16_t> data(1000);
    for (int i = 0; i < 1000; ++i) {
      data[static_cast<std::size_t>(i)] = static_cast<int16_t>(i * 31 - 15000);
    }
    PutSample(e, 3, data, 22050, SampleCategory::Loop, "Break");
    PutSample(e, 5, {}, 44100, SampleCategory::Instrument, "Empty");
    PutSample(e, 6, {1, 2}, 44100, SampleCategory::Drum, "Gone");
    (void)DeleteSample(e.samples, e.state.song, 6);
    e.samples.slots[5].reserved81 = {4, 5, 6};
  }
};

TEST_F(SongFileFixture, ANewEmptySongSavesToExactly69540Bytes) {
  e.state.songChanged = true;
  ASSERT_TRUE(SaveTo(dir.File("new.LW")));
  const auto bytes = ReadBytes(dir.File("new.LW"));
  EXPECT_EQ(bytes.size(), 69540U);
  EXPECT_EQ(std::memcmp(bytes.data(), "LOOPWREN", 8), 0);
  EXPECT_FALSE(e.state.songChanged);
  EXPECT_EQ(prompts.busyShown, 1);
  EXPECT_EQ(prompts.busyDepth, 0);
  EXPECT_TRUE(prompts.silent());
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"new.LW"}) << "no temporary file is left";
}

TEST_F(SongFileFixture, EveryFieldSurvivesASaveAndAnOpen) {
  FillSong();
  ASSERT_TRUE(SaveTo(dir.File("full.LW")));
  const auto bytes = ReadBytes(dir.File("full.LW"));
  ASSERT_EQ(bytes.size(), 69540U + 2000U);
  // Slot 3's 1000 values follow its record; slot 5 is used with no data bytes.
  const uint64_t slot3 = kSlotsAt + 3 * 84;
  EXPECT_EQ(bytes[slot3], 1);
  EXPECT_EQ(bytes[slot3 + 84], static_cast<uint8_t>(-15000 & 0xFF));
  EXPECT_EQ(bytes[slot3 + 84 + 2000 + 84], 1) << "slot 5's record right after slot 4's";
  EXPECT_EQ(bytes[slot3 + 84 + 2000 + 2 * 84], 0) << "slot 6 was deleted";

  auto loaded = test::NewEngine();
  loaded->state.songChanged = true;
  const OpenResult result = OpenFrom(*loaded, dir.File("full.LW"));
  ASSERT_TRUE(result.replaced);
  EXPECT_TRUE(result.showSequencer);
  EXPECT_EQ(prompts.questions.size(), 1U) << "its unsaved changes were asked about";
  prompts.questions.clear();
  EXPECT_TRUE(prompts.silent());
  EXPECT_EQ(std::memcmp(&loaded->state.song, &e.state.song, sizeof(Song)), 0);
  EXPECT_EQ(std::memcmp(&loaded->state.sequence, &e.state.sequence, sizeof(SongSequence)), 0);
  for (int i = 0; i < kSampleSlots; ++i) {
    EXPECT_EQ(EncodeSlotRecord(loaded->samples.slots[i]), EncodeSlotRecord(e.samples.slots[i]))
        << i;
    EXPECT_EQ(loaded->samples.slots[i].data, e.samples.slots[i].data) << i;
  }
  EXPECT_EQ(loaded->samples.slots[6].name.text(), "VOID");
  EXPECT_EQ(loaded->samples.slots[6].rate, 1);
  EXPECT_TRUE(loaded->samples.slots[5].isUsed());
  EXPECT_TRUE(loaded->samples.slots[5].data.empty());
  EXPECT_EQ(loaded->clock.stepLength, RoundHalfEven(2646000.0 / (133 * 4))) << "timing follows";
  EXPECT_FALSE(loaded->state.songChanged);
  EXPECT_EQ(loaded->state.songFileName, dir.File("full.LW"));
}

TEST_F(SongFileFixture, AFileLoadsAndSavesBackByteForByteWhateverItsReservedBytes) {
  FillSong();
  ASSERT_TRUE(SaveTo(dir.File("a.LW")));
  auto bytes = ReadBytes(dir.File("a.LW"));
  std::mt19937 rng(3);
  // Scribble over reserved bytes, the bytes behind the strings and the data reference.
  const uint64_t scribbled[] = {9,
                                10,
                                11,
                                162,
                                163,
                                50,
                                120,
                                164 + 13,
                                164 + 7968 * 8 - 5,
                                kSlotsAt + 1,
                                kSlotsAt + 75,
                                kSlotsAt + 76,
                                kSlotsAt + 82};
  for (const uint64_t at : scribbled) {
    bytes[at] = static_cast<uint8_t>(rng() | 1U);
  }
  bytes[0] = 'X'; // the magic is not a safeguard
  WriteBytes(dir.File("b.LW"), bytes);
  auto loaded = test::NewEngine();
  ASSERT_TRUE(OpenFrom(*loaded, dir.File("b.LW")).replaced);
  loaded->state.songFileName = dir.File("c.LW");
  ASSERT_TRUE(SaveSong(*loaded, prompts, dir.path().string()));
  auto again = ReadBytes(dir.File("c.LW"));
  bytes[0] = 'L';
  for (int k = 76; k < 80; ++k) {
    bytes[kSlotsAt + k] = 0; // the data reference is written as 0
  }
  EXPECT_EQ(again, bytes);
}

// Texts are kept as the file's bytes: they show as their characters, and storing what
// they show changes none of them, the code page's undefined bytes included.
TEST_F(SongFileFixture, Windows1252TextsShowAsTheirCharactersAndSaveBackUnchanged) {
  FillSong();
  const auto put = [](ShortString& text, const std::string& bytes) {
    text.length = static_cast<uint8_t>(bytes.size());
    std::memcpy(text.chars, bytes.data(), bytes.size());
  };
  put(e.state.song.title, "Caf\xE9 \x80\x81");
  put(e.samples.slots[3].name, "Gr\xFCn \x80");
  ASSERT_TRUE(SaveTo(dir.File("a.LW")));

  auto loaded = test::NewEngine();
  ASSERT_TRUE(OpenFrom(*loaded, dir.File("a.LW")).replaced);
  EXPECT_EQ(loaded->state.song.title.text(), "Café €\xC2\x81");
  SampleManagerState manager;
  RefreshSampleList(*loaded, manager);
  EXPECT_EQ(manager.lines, (std::vector<std::string>{"01> Grün €", "02> Empty"}));
  SelectSample(manager, 0);
  EXPECT_EQ(ShowSampleDetails(*loaded, manager).name, "Grün €");

  // The sequencer's box stores back the title it shows.
  SetSongTitle(loaded->state, loaded->state.song.title.text());
  loaded->state.songFileName = dir.File("b.LW");
  ASSERT_TRUE(SaveSong(*loaded, prompts, dir.path().string()));
  EXPECT_EQ(ReadBytes(dir.File("b.LW")), ReadBytes(dir.File("a.LW")));
}

TEST_F(SongFileFixture, DialogPathsGetTheExtensionOnlyWithoutAnyDot) {
  EXPECT_EQ(SongPathFromDialog("/songs/track"), "/songs/track.LW");
  EXPECT_EQ(SongPathFromDialog("/my.songs/track"), "/my.songs/track");
  EXPECT_EQ(SongPathFromDialog("/songs/track.lw"), "/songs/track.lw");

  std::filesystem::create_directory(dir.path() / "plain");
  prompts.files.emplace_back(dir.File("plain/track"));
  ASSERT_TRUE(SaveSongAs(e, prompts, "/start/here"));
  EXPECT_TRUE(std::filesystem::exists(dir.File("plain/track.LW")));
  EXPECT_EQ(e.state.songFileName, dir.File("plain/track.LW"));
  ASSERT_EQ(prompts.dialogs.size(), 1U);
  EXPECT_EQ(prompts.dialogs[0].title, "Save your song");
  EXPECT_EQ(prompts.dialogs[0].filter, "LoopWren Tracks (*.LW)|*.LW|All files (*.*)|*.*");
  EXPECT_EQ(prompts.dialogs[0].defaultExtension, "*.LW");
  EXPECT_EQ(prompts.dialogs[0].initialFolder, "/start/here");

  auto other = test::NewEngine();
  prompts.files.emplace_back(dir.File("plain/track"));
  EXPECT_TRUE(OpenSong(*other, prompts, "/x").replaced);
  EXPECT_EQ(prompts.dialogs[1].title, "Open a song...");
  EXPECT_EQ(prompts.dialogs[1].filter, "LoopWren Tracks (*.LW)|*.LW|All files|*.*");
}

TEST_F(SongFileFixture, SaveWithoutANameAsksAndCancelChangesNothing) {
  e.state.songChanged = true;
  EXPECT_FALSE(SaveSong(e, prompts, dir.path().string()));
  EXPECT_EQ(prompts.dialogs.size(), 1U);
  EXPECT_TRUE(e.state.songChanged);
  EXPECT_TRUE(e.state.songFileName.empty());
  EXPECT_TRUE(dir.Names().empty());
}

TEST_F(SongFileFixture, AFileThatCannotBeOpenedKeepsTheSongAndTakesTheName) {
  FillSong();
  e.state.songChanged = true;
  const std::string missing = dir.File("missing.LW");
  EXPECT_FALSE(OpenFrom(e, missing).replaced);
  EXPECT_EQ(prompts.notices, std::vector<std::string>{"Error opening LoopWren Track \"" + missing +
                                                      "\"...\nNo such file or directory"});
  EXPECT_EQ(e.state.songFileName, missing);
  EXPECT_EQ(e.state.song.tempo, 133);
  EXPECT_TRUE(e.state.songChanged);
}

TEST_F(SongFileFixture, TruncatedFilesReportTheErrorAndKeepThePreviousSong) {
  FillSong();
  ASSERT_TRUE(SaveTo(dir.File("whole.LW")));
  const auto whole = ReadBytes(dir.File("whole.LW"));
  const uint64_t slot3Data = kSlotsAt + 4 * 84;
  const uint64_t cuts[] = {0,
                           4,
                           8,
                           100,
                           63908,
                           64000,
                           kSlotsAt,
                           kSlotsAt + 40,
                           kSlotsAt + 84,
                           slot3Data - 1,
                           slot3Data,
                           slot3Data + 1,
                           slot3Data + 999,
                           whole.size() - 84,
                           whole.size() - 1};
  auto current = test::NewEngine();
  PutSample(*current, 0, {9, 9, 9}, 44100, SampleCategory::Drum, "Keep");
  current->state.song.tempo = 97;
  current->state.songFileName = dir.File("mine.LW");
  current->state.songChanged = true;
  for (const uint64_t cut : cuts) {
    WriteBytes(dir.File("cut.LW"),
               std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<long>(cut)));
    prompts.ioErrors.clear();
    EXPECT_FALSE(OpenFrom(*current, dir.File("cut.LW")).replaced) << cut;
    ASSERT_EQ(prompts.ioErrors.size(), 1U) << cut;
    EXPECT_EQ(prompts.ioErrors[0].rfind("Read beyond end of file", 0), 0U) << prompts.ioErrors[0];
    if (cut >= slot3Data && cut < slot3Data + 2000) {
      EXPECT_EQ(prompts.ioErrors[0],
                FileErrorText(
                    "Read beyond end of file: the data of sample \"Break\" (slot 4) is cut short",
                    dir.File("cut.LW")));
    }
    EXPECT_EQ(current->state.song.tempo, 97);
    EXPECT_EQ(current->samples.slots[0].name.text(), "Keep");
    EXPECT_EQ(current->samples.slots[0].data.size(), 3U);
    EXPECT_EQ(current->state.songFileName, dir.File("mine.LW"));
    EXPECT_TRUE(current->state.songChanged);
  }
  EXPECT_TRUE(prompts.notices.empty());
}

TEST_F(SongFileFixture, ASaveKeepsThePermissionsOfTheFileItReplaces) {
  const std::string path = dir.File("shared.LW");
  WriteBytes(path, {1});
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(SaveTo(path));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777U, 0640U);
  EXPECT_EQ(static_cast<uint64_t>(st.st_size), kEmptySongFileSize);
}

TEST_F(SongFileFixture, ALengthPromisingMoreThanTheFileHoldsIsNamedAndNeverAllocated) {
  ASSERT_TRUE(SaveTo(dir.File("s.LW")));
  auto bytes = ReadBytes(dir.File("s.LW"));
  const uint64_t slot2 = kSlotsAt + 2 * 84;
  bytes[slot2] = 1;
  bytes[slot2 + 4] = 0xFF;
  bytes[slot2 + 5] = 0xFF;
  bytes[slot2 + 6] = 0xFF;
  bytes[slot2 + 7] = 0x7F; // 2^31 - 1 values
  bytes[slot2 + 10] = 4;
  std::memcpy(&bytes[slot2 + 11], "H\xFCge", 4);
  WriteBytes(dir.File("huge.LW"), bytes);
  EXPECT_FALSE(OpenFrom(e, dir.File("huge.LW")).replaced);
  ASSERT_EQ(prompts.ioErrors.size(), 1U);
  EXPECT_EQ(
      prompts.ioErrors[0],
      FileErrorText("Read beyond end of file: the data of sample \"Hüge\" (slot 3) is cut short",
                    dir.File("huge.LW")));

  bytes[slot2 + 7] = 0xFF; // -1
  WriteBytes(dir.File("negative.LW"), bytes);
  EXPECT_FALSE(OpenFrom(e, dir.File("negative.LW")).replaced);
  ASSERT_EQ(prompts.ioErrors.size(), 2U);
  EXPECT_EQ(
      prompts.ioErrors[1],
      FileErrorText("The song file is damaged: sample \"Hüge\" (slot 3) has a negative length",
                    dir.File("negative.LW")));
}

TEST_F(SongFileFixture, GarbageNeverCrashesAndFailsWithAReport) {
  std::mt19937 rng(11);
  for (int round = 0; round < 40; ++round) {
    std::vector<uint8_t> junk(rng() % 140000);
    for (auto& b : junk) {
      b = static_cast<uint8_t>(rng());
    }
    WriteBytes(dir.File("junk.LW"), junk);
    prompts.ioErrors.clear();
    const OpenResult r = OpenFrom(e, dir.File("junk.LW"));
    EXPECT_NE(r.replaced, !prompts.ioErrors.empty()) << "size " << junk.size();
  }
  // Right-sized junk with free slots loads, whatever its content: the engine copes.
  std::vector<uint8_t> junk(kEmptySongFileSize);
  for (auto& b : junk) {
    b = static_cast<uint8_t>(rng());
  }
  for (int i = 0; i < kSampleSlots; ++i) {
    junk[kSlotsAt + 84 * i] = 0;
  }
  junk[kSlotsAt] = 1; // one used slot with a random length: cut short, reported
  WriteBytes(dir.File("junk.LW"), junk);
  prompts.ioErrors.clear();
  EXPECT_FALSE(OpenFrom(e, dir.File("junk.LW")).replaced);
  junk[kSlotsAt] = 0;
  WriteBytes(dir.File("junk.LW"), junk);
  ASSERT_TRUE(OpenFrom(e, dir.File("junk.LW")).replaced);
  e.songMode = true;
  test::Start(e);
  test::Render(e, 200000);
}

TEST_F(SongFileFixture, OnlyASequenceBeyondSlot0BringsUpTheSequencer) {
  e.state.sequence.slots[0] = {0, 0};
  ASSERT_TRUE(SaveTo(dir.File("one.LW")));
  EXPECT_FALSE(OpenFrom(e, dir.File("one.LW")).showSequencer);
  e.state.sequence.slots[1] = {0, 1};
  ASSERT_TRUE(SaveTo(dir.File("two.LW")));
  EXPECT_TRUE(OpenFrom(e, dir.File("two.LW")).showSequencer);
}

TEST_F(SongFileFixture, OpeningReplacesTheSamplesAndSaveAfterNewUsesTheLastName) {
  ASSERT_TRUE(SaveTo(dir.File("empty.LW")));
  PutSample(e, 4, {1, 2, 3}, 44100, SampleCategory::Drum);
  ASSERT_TRUE(OpenFrom(e, dir.File("empty.LW")).replaced);
  EXPECT_EQ(CountUsedSlots(e.samples), 0);
  e.NewSong();
  e.state.song.tempo = 88;
  ASSERT_TRUE(SaveSong(e, prompts, "/"));
  auto check = test::NewEngine();
  ASSERT_TRUE(OpenFrom(*check, dir.File("empty.LW")).replaced);
  EXPECT_EQ(check->state.song.tempo, 88);
}

TEST_F(SongFileFixture, AFolderThatCannotBeWrittenKeepsEverything) {
  e.state.songChanged = true;
  const std::string path = dir.File("no/such/folder/x.LW");
  EXPECT_FALSE(SaveTo(path));
  EXPECT_EQ(prompts.notices, std::vector<std::string>{"Error saving LoopWren Track \"" + path +
                                                      "\"...\nNo such file or directory"});
  EXPECT_TRUE(e.state.songChanged);
  EXPECT_EQ(prompts.busyDepth, 0);
}

TEST_F(SongFileFixture, AFullDiskReportsTheSystemErrorAndKeepsThePreviousFile) {
  FillSong();
  e.state.songChanged = true;
  ASSERT_TRUE(SaveTo(dir.File("keep.LW")));
  const auto before = ReadBytes(dir.File("keep.LW"));

  // Room for a little over the song block only.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 65000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  e.state.song.tempo = 150;
  e.state.songChanged = true;
  const bool saved_ok = SaveTo(dir.File("keep.LW"));
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);

  EXPECT_FALSE(saved_ok);
  EXPECT_EQ(prompts.ioErrors,
            std::vector<std::string>{FileErrorText("File too large", dir.File("keep.LW"))});
  EXPECT_TRUE(e.state.songChanged);
  EXPECT_EQ(ReadBytes(dir.File("keep.LW")), before);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"keep.LW"});

  if (std::filesystem::exists("/dev/full")) {
    prompts.ioErrors.clear();
    EXPECT_FALSE(SaveTo("/dev/full"));
    EXPECT_EQ(prompts.ioErrors,
              std::vector<std::string>{FileErrorText("No space left on device", "/dev/full")});
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full")) << "a device is never replaced";
  }
}

TEST_F(SongFileFixture, SavingThroughALinkUpdatesTheFileItPointsTo) {
  ASSERT_TRUE(SaveTo(dir.File("real.LW")));
  std::filesystem::create_symlink(dir.File("real.LW"), dir.File("link.LW"));
  e.state.song.tempo = 170;
  ASSERT_TRUE(SaveTo(dir.File("link.LW")));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.LW")));
  auto check = test::NewEngine();
  ASSERT_TRUE(OpenFrom(*check, dir.File("real.LW")).replaced);
  EXPECT_EQ(check->state.song.tempo, 170);
}

TEST_F(SongFileFixture, TheCommandLineLoadIsSilentWhenTheFileIsMissing) {
  e.state.songChanged = true;
  const OpenResult r = LoadCommandLineSong(e, prompts, dir.File("nope"));
  EXPECT_FALSE(r.replaced);
  EXPECT_TRUE(prompts.silent());
  EXPECT_EQ(e.state.songFileName, dir.File("nope")) << "no extension is added";

  // A file that is there but damaged is reported, and the default song takes no name
  // that a Save would write over it with.
  test::WriteBytes(dir.File("cut.LW"), {'L', 'O', 'O', 'P', 'W', 'R', 'E', 'N', 1, 2});
  const OpenResult damaged = LoadCommandLineSong(e, prompts, dir.File("cut.LW"));
  EXPECT_TRUE(damaged.damaged);
  EXPECT_EQ(prompts.ioErrors.size(), 1U);
  EXPECT_EQ(e.state.songFileName, "");
}

// A song opened over unsaved work asks first, whether it came from the Open dialog or
// was given without it, but only when there is work to lose.
TEST_F(SongFileFixture, OpeningAsksBeforeReplacingUnsavedChanges) {
  FillSong();
  ASSERT_TRUE(SaveTo(dir.File("saved.LW")));
  const std::string question = "Changes were made to the song...\r\nDo you really want to open \"" +
                               dir.File("saved.LW") + "\" without saving ?";
  const struct {
    bool unsaved;
    std::optional<bool> answer; // nothing: no question expected
    bool replaced;
  } cases[] = {{false, std::nullopt, true}, {true, false, false}, {true, true, true}};
  for (const bool viaDialog : {false, true}) {
    for (const auto& c : cases) {
      auto target = test::NewEngine();
      target->state.song.tempo = 99;
      target->state.songChanged = c.unsaved;
      FakePrompts asked;
      if (c.answer) {
        asked.answers.push_back(*c.answer);
      }
      OpenResult r;
      if (viaDialog) {
        asked.files.emplace_back(dir.File("saved")); // the dialog adds ".LW"
        r = OpenSong(*target, asked, dir.path().string());
      } else {
        r = OpenGivenSong(*target, asked, dir.File("saved.LW"));
      }
      const std::string where =
          std::string(viaDialog ? "dialog " : "given ") + (c.unsaved ? "unsaved" : "saved");
      EXPECT_EQ(r.replaced, c.replaced) << where;
      EXPECT_EQ(asked.questions,
                c.answer ? std::vector<std::string>{question} : std::vector<std::string>{})
          << where;
      EXPECT_EQ(target->state.song.tempo, c.replaced ? 133 : 99) << where;
      EXPECT_EQ(target->state.songFileName, c.replaced ? dir.File("saved.LW") : "") << where;
      EXPECT_EQ(target->state.songChanged, !c.replaced && c.unsaved) << where;
      EXPECT_EQ(asked.dialogs.size(), viaDialog ? 1U : 0U) << where;
    }
  }
}

// Only the Open dialog's failure takes the name it was given; a dropped or recent song
// that cannot be opened leaves the song under its own name, so Save still writes there.
TEST_F(SongFileFixture, AGivenSongThatCannotBeOpenedKeepsTheSongsName) {
  FillSong();
  ASSERT_TRUE(SaveTo(dir.File("mine.LW")));
  e.state.song.tempo = 140;
  e.state.songChanged = true;
  prompts.answers.push_back(true);
  const std::string gone = dir.File("gone.LW");
  EXPECT_FALSE(OpenGivenSong(e, prompts, gone).replaced);
  EXPECT_EQ(prompts.notices, std::vector<std::string>{"Error opening LoopWren Track \"" + gone +
                                                      "\"...\nNo such file or directory"});
  EXPECT_EQ(e.state.songFileName, dir.File("mine.LW"));
  EXPECT_TRUE(e.state.songChanged);
  ASSERT_TRUE(SaveSong(e, prompts, dir.path().string()));
  EXPECT_FALSE(std::filesystem::exists(gone));
  auto reopened = test::NewEngine();
  ASSERT_TRUE(OpenFrom(*reopened, dir.File("mine.LW")).replaced);
  EXPECT_EQ(reopened->state.song.tempo, 140);
}

// The demo songs an installed program brings are never saved over, even by root; other
// songs go back where they came from while that place can be written.
TEST_F(SongFileFixture, OnlySongsOutsideTheInstalledDataAreSavedBackInPlace) {
  const std::string program = dir.File("usr/bin") + "/";
  const std::string data = InstalledDataFolder(program);
  EXPECT_EQ(data, dir.File("usr/share/loopwren") + "/");
  std::filesystem::create_directories(data + "Samples/demo");
  std::filesystem::create_directories(dir.File("usr/share/loopwren2"));
  std::filesystem::create_directories(dir.File("songs"));
  std::filesystem::create_symlink(data + "Samples", dir.File("songs/kit"));
  const struct {
    std::string path;
    bool back;
  } cases[] = {
      {data + "Samples/demo/first-light.LW", false},
      {data + "demo.LW", false},
      {dir.File("songs/kit/demo/first-light.LW"), false}, // through a link
      {dir.File("usr/share/loopwren/../loopwren/x.LW"), false},
      {dir.File("usr/share/loopwren2/x.LW"), true}, // a neighbour whose name starts alike
      {dir.File("songs/mine.LW"), true},
      {dir.File("songs/new/mine.LW"), false}, // a folder that is not there
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MaySaveBackTo(c.path, data), c.back) << c.path;
  }
  EXPECT_TRUE(MaySaveBackTo(data + "demo.LW", "")) << "no installed data known";

  // A folder that takes no new file, holding a file that may not be written either (root
  // may write anywhere, so only another user sees this).
  std::filesystem::create_directories(dir.File("locked"));
  test::WriteBytes(dir.File("locked/song.LW"), {1});
  ::chmod(dir.File("locked/song.LW").c_str(), 0444);
  ::chmod(dir.File("locked").c_str(), 0555);
  EXPECT_EQ(MaySaveBackTo(dir.File("locked/song.LW"), data), ::geteuid() == 0);
  ::chmod(dir.File("locked/song.LW").c_str(), 0644);
  EXPECT_TRUE(MaySaveBackTo(dir.File("locked/song.LW"), data)) << "written over in place";
  ::chmod(dir.File("locked").c_str(), 0755);
}

TEST_F(SongFileFixture, SongsAreKnownByTheirNameOrTheirFirstBytes) {
  ASSERT_TRUE(SaveTo(dir.File("written.bin")));
  WriteBytes(dir.File("kick.wav"), {'R', 'I', 'F', 'F', 0, 0, 0, 0});
  WriteBytes(dir.File("short"), {'L', 'O', 'O', 'P'});
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
  const struct {
    std::string path;
    bool song;
  } cases[] = {{dir.File("written.bin"), true}, {dir.File("any.lw"), true},
               {dir.File("ANY.Lw"), true},      {dir.File("kick.wav"), false},
               {dir.File("short"), false},      {dir.File("pipe"), false},
               {dir.File("gone"), false},       {dir.path().string(), false}};
  for (const auto& c : cases) {
    EXPECT_EQ(LooksLikeSong(c.path), c.song) << c.path;
  }
}

} // namespace
} // namespace lw
