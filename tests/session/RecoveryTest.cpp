#include "session/Recovery.h"
#include "EngineHelpers.h"
#include "FakePrompts.h"
#include "FileFaults.h"
#include "TempDir.h"
#include "samples/SongFile.h"
#include "song/Paths.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iterator>

namespace lw {
namespace {

using test::FakePrompts;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
using Action = AutoSaveSchedule::Action;

// 2026-12-08 14:05:00 UTC, in milliseconds.
constexpr int64_t kDecember8 = int64_t{1796738700} * 1000;

// Local time is UTC while a test runs, so the texts are the same on every machine.
struct Utc {
  Utc() {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
  }
};

std::vector<uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

std::string Text(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  return {bytes.begin(), bytes.end()};
}

// An engine holding a song with a title, a note, a sequence and a sample.
std::unique_ptr<Engine> SongEngine(const std::string& title, int note = 40) {
  auto engine = test::NewEngine();
  engine->state.song.title.assignText(title);
  test::PutNote(*engine, 2, 3, 1, 7, 4).note = note;
  engine->state.sequence.slots[5] = {2, 3};
  std::vector<int16_t> data(5000);
  for (std::size_t i = 0; i < data.size(); ++i) {
    data[i] = static_cast<int16_t>(i * 13 - 30000);
  }
  test::PutSample(*engine, 4, data, 22050, SampleCategory::Drum, "Kick");
  return engine;
}

std::string CopyOf(const Engine& e) {
  return SongFileBytes(e.state.song, e.state.sequence, e.samples);
}

std::ptrdiff_t FilesIn(const std::string& folder) {
  return std::distance(std::filesystem::directory_iterator(folder),
                       std::filesystem::directory_iterator());
}

TEST(RecoveryFolder, FollowsTheXdgRules) {
  const struct {
    const char* state;
    const char* home;
    const char* folder;
  } cases[] = {
      {"/s", "/h", "/s/loopwren/"},
      {"/s/", "/h", "/s/loopwren/"},
      {nullptr, "/h", "/h/.local/state/loopwren/"},
      {"", "/h/", "/h/.local/state/loopwren/"},
      {"relative/state", "/h", "/h/.local/state/loopwren/"},
      {nullptr, "relative", ""},
      {nullptr, nullptr, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RecoveryFolder(c.state, c.home), c.folder)
        << (c.state ? c.state : "(unset)") << " " << (c.home ? c.home : "(unset)");
  }
}

TEST(RecoveryInfo, EveryTextComesBackAndEveryCutIsRefused) {
  for (const RecoveryInfo& info :
       {RecoveryInfo{"", "", 0}, RecoveryInfo{"/odd\nname\\w=s.LW", "two\nlines\r\\n", -5},
        RecoveryInfo{"/ü/ß.LW", "Café ☕", kDecember8}}) {
    const std::string text = EncodeRecoveryInfo(info);
    EXPECT_EQ(DecodeRecoveryInfo(text), info) << text;
    for (std::size_t cut = 0; cut < text.size(); ++cut) {
      EXPECT_FALSE(DecodeRecoveryInfo(text.substr(0, cut))) << cut;
    }
  }
  for (const char* garbage :
       {"\n", "LoopWren recovery\nsaved=1\n", "LoopWren recovery copy\nsaved=1x\n",
        "LoopWren recovery copy\ntitle=a\\q\nsaved=1\n"}) {
    EXPECT_FALSE(DecodeRecoveryInfo(garbage)) << garbage;
  }
}

TEST(RecoveryTexts, QuestionTimeAndNames) {
  const Utc utc;
  EXPECT_EQ(RecoveryQuestion("Night Bus", kDecember8 + 59999),
            "LoopWren did not close properly. Recover your unsaved song \"Night Bus\" from "
            "2026-12-08 14:05?");
  EXPECT_EQ(KeptAsideName(kDecember8, 1), "recovered-2026-12-08-1405.LW");
  EXPECT_EQ(KeptAsideName(kDecember8, 3), "recovered-2026-12-08-1405-3.LW");
  EXPECT_EQ(RecoveryCaption({"/a/Song.LW", "Title", 0}), "Title");
  EXPECT_EQ(RecoveryCaption({"/a/Song.LW", "", 0}), "Song.LW");
  EXPECT_EQ(RecoveryCaption({"", "", 0}), "Untitled");
}

TEST(RecoveryChoice, AsksUnlessTheSongFileIsNewer) {
  const struct {
    const char* file;
    std::optional<int64_t> fileTime;
    RecoveryChoice choice;
  } cases[] = {
      {"", std::nullopt, RecoveryChoice::Ask},      // never saved
      {"/s.LW", std::nullopt, RecoveryChoice::Ask}, // its file is gone
      {"/s.LW", 999, RecoveryChoice::Ask},          // saved before the copy
      {"/s.LW", 1000, RecoveryChoice::Ask},         // at the same moment
      {"/s.LW", 1001, RecoveryChoice::KeepAside},   // saved after the copy
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseRecovery(1000, c.file, c.fileTime), c.choice) << c.fileTime.value_or(-1);
  }
}

TEST(RecoveryInstance, NamesItsFilesAndNeverSharesThem) {
  TempDir dir;
  const std::string folder = dir.File("state/deeper/loopwren/");
  RecoveryInstance first;
  ASSERT_TRUE(first.Start(folder, 1234, 1700000000));
  EXPECT_EQ(first.CopyPath(), folder + "recovery-1234-1700000000.LW");
  EXPECT_EQ(first.InfoPath(), folder + "recovery-1234-1700000000.info");
  struct stat st {};
  ASSERT_EQ(::stat(dir.File("state").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // Another program with the same pid and start second (another process namespace).
  RecoveryInstance second;
  ASSERT_TRUE(second.Start(folder, 1234, 1700000000));
  EXPECT_EQ(second.Name(), "recovery-1234-1700000000-2");
  EXPECT_TRUE(FileExists(first.LockPath()) && FileExists(second.LockPath()));
}

// A copy is the very bytes a save writes, read back as the song; a write that fails or is
// cancelled leaves the previous copy whole and no litter.
TEST(RecoveryInstance, WritesWhatASaveWritesAtomically) {
  TempDir dir;
  auto engine = SongEngine("Night Bus");
  FakePrompts prompts;
  engine->state.songFileName = dir.File("song.LW");
  ASSERT_TRUE(SaveSong(*engine, prompts, {}));
  const std::string bytes = CopyOf(*engine);
  ASSERT_EQ(Text(dir.File("song.LW")), bytes);

  RecoveryInstance own;
  ASSERT_TRUE(own.Start(dir.File("state/"), 1, 2));
  const RecoveryInfo info{dir.File("song.LW"), "Night Bus", kDecember8};
  own.WriteCopy(bytes, info);
  EXPECT_EQ(Text(own.CopyPath()), bytes);
  EXPECT_EQ(DecodeRecoveryInfo(Text(own.InfoPath())), info);

  const std::string other = CopyOf(*SongEngine("Other"));
  for (const test::FileOp op : {test::FileOp::Write, test::FileOp::Fsync, test::FileOp::Rename}) {
    const test::FileFault fault(op, 1, ENOSPC);
    EXPECT_THROW(own.WriteCopy(other, {}), IoError);
  }
  std::atomic<bool> cancel{true};
  EXPECT_THROW(own.WriteCopy(other, {}, &cancel), IoError);
  EXPECT_EQ(Text(own.CopyPath()), bytes);
  EXPECT_EQ(FilesIn(dir.File("state")), 3); // the copy, its side file, the lock

  auto loaded = test::NewEngine();
  ASSERT_TRUE(RecoverSongCopy(*loaded, prompts, own.CopyPath(), "/where/it/was.LW").replaced);
  EXPECT_TRUE(loaded->state.songChanged);
  EXPECT_EQ(loaded->state.songFileName, "/where/it/was.LW");
  EXPECT_EQ(CopyOf(*loaded), bytes);
  EXPECT_TRUE(prompts.silent());
}

TEST(DeadCopies, ALiveProgramsCopyIsLeftAloneAndADeadOnesIsFound) {
  TempDir dir;
  const std::string folder = dir.path().string() + "/";
  const std::string song = CopyOf(*SongEngine("Live"));
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    // Holds its lock and its copy until it is killed.
    RecoveryInstance instance;
    if (instance.Start(folder, 77, 5)) {
      instance.WriteCopy(song, {"/songs/live.LW", "Live", kDecember8});
    }
    (void)!::write(ready[1], "!", 1);
    for (;;) {
      ::pause();
    }
  }
  char done = 0;
  ASSERT_EQ(::read(ready[0], &done, 1), 1);
  RecoveryInstance own;
  ASSERT_TRUE(own.Start(folder, 1, 1));
  EXPECT_TRUE(ClaimDeadCopies(folder, own.Name()).empty());
  EXPECT_TRUE(FileExists(folder + "recovery-77-5.LW") && FileExists(folder + "recovery-77-5.lock"));

  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  auto dead = ClaimDeadCopies(folder, own.Name());
  ASSERT_EQ(dead.size(), 1u);
  EXPECT_EQ(dead[0]->Info(), (RecoveryInfo{"/songs/live.LW", "Live", kDecember8}));
  // Claimed: another start-up looking now leaves it to this one.
  EXPECT_TRUE(ClaimDeadCopies(folder, "recovery-2-2").empty());
  dead.clear();
  EXPECT_EQ(ClaimDeadCopies(folder, own.Name()).size(), 1u);
}

TEST(DeadCopies, ACleanEndLeavesNothingAndLeftoversWithoutACopyGo) {
  TempDir dir;
  const std::string folder = dir.path().string() + "/";
  {
    RecoveryInstance instance;
    ASSERT_TRUE(instance.Start(folder, 5, 5));
    instance.WriteCopy(CopyOf(*SongEngine("Clean")), {"", "Clean", 1});
    instance.Finish();
  }
  EXPECT_TRUE(dir.Names().empty());
  // Killed before any copy, or in the middle of a write.
  WriteBytes(folder + "recovery-6-6.lock", {});
  WriteBytes(folder + ".recovery-6-6~Ab12Cd", Bytes("half a song"));
  WriteBytes(folder + "recovery-7-7.info", Bytes(EncodeRecoveryInfo({"", "x", 1})));
  EXPECT_TRUE(ClaimDeadCopies(folder, "recovery-1-1").empty());
  EXPECT_TRUE(dir.Names().empty());
}

TEST(DeadCopies, KeptAsideUnderItsTimeWithoutOverwritingAnything) {
  const Utc utc;
  TempDir dir;
  const std::string folder = dir.path().string() + "/";
  WriteBytes(folder + "recovered-2026-12-08-1405.LW", Bytes("the user's own"));
  for (const char* name : {"recovery-1-1", "recovery-2-2"}) {
    WriteBytes(folder + name + ".LW", Bytes(name));
    WriteBytes(folder + name + ".info", Bytes(EncodeRecoveryInfo({"/s.LW", name, kDecember8})));
  }
  std::vector<std::string> kept;
  for (const auto& dead : ClaimDeadCopies(folder, "recovery-9-9")) {
    kept.push_back(Text(dead->KeepAside()));
  }
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(kept, (std::vector<std::string>{"recovery-1-1", "recovery-2-2"}));
  EXPECT_EQ(Text(folder + "recovered-2026-12-08-1405.LW"), "the user's own");
  for (const char* name : {"recovered-2026-12-08-1405-2", "recovered-2026-12-08-1405-3"}) {
    EXPECT_TRUE(FileExists(folder + name + ".LW") && FileExists(folder + name + ".info")) << name;
  }
}

// Copies kept aside do not pile up: the newest ten stay, and any younger than 30 days.
// Nothing else in the folder is touched.
TEST(DeadCopies, KeptAsideCopiesBeyondTheNewestTenOlderThanAMonthGo) {
  constexpr int64_t kDay = int64_t{24} * 3600 * 1000;
  const struct {
    const char* what;
    std::vector<int> ages; // in days, one kept-aside copy each
    std::vector<int> kept; // which of them stay
  } cases[] = {
      {"none", {}, {}},
      {"ten old ones", {40, 41, 42, 43, 44, 45, 46, 47, 48, 49}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"the eleventh old one goes",
       {49, 48, 47, 46, 45, 44, 43, 42, 41, 40, 50},
       {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"young ones stay however many",
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 29},
       {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
      {"old ones beyond ten young ones go",
       {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 31, 365},
       {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
      {"the newest old ones fill up to ten", {1, 35, 60, 31, 90, 2}, {0, 1, 2, 3, 4, 5}},
      {"a copy from the future counts as new",
       {-5, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50},
       {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
  };
  const int64_t now = kDecember8;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string folder = dir.path().string() + "/";
    const auto stem = [](std::size_t i) {
      return "recovered-2026-01-01-0000-" + std::to_string(i);
    };
    for (std::size_t i = 0; i < c.ages.size(); ++i) {
      const std::string copy = folder + stem(i) + ".LW";
      WriteBytes(copy, Bytes("a song"));
      WriteBytes(folder + stem(i) + ".info", Bytes("its side file"));
      const int64_t at = now - c.ages[i] * kDay;
      const struct timespec times[2] = {{at / 1000, 0}, {at / 1000, 0}};
      ASSERT_EQ(::utimensat(AT_FDCWD, copy.c_str(), times, 0), 0);
    }
    // What is not a kept-aside copy stays, however old.
    for (const char* other : {"recovery-5-5.LW", "recovery-5-5.lock", "song.LW"}) {
      WriteBytes(folder + other, Bytes("other"));
      const struct timespec ancient[2] = {{1, 0}, {1, 0}};
      ASSERT_EQ(::utimensat(AT_FDCWD, (folder + other).c_str(), ancient, 0), 0);
    }
    RemoveOldKeptAsideCopies(folder, now);
    std::vector<std::string> expected{"recovery-5-5.LW", "recovery-5-5.lock", "song.LW"};
    for (const int i : c.kept) {
      expected.push_back(stem(static_cast<std::size_t>(i)) + ".LW");
      expected.push_back(stem(static_cast<std::size_t>(i)) + ".info");
    }
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> names = dir.Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, expected);
  }
}

// Start-up keeps the folder tidy, the copies it keeps aside itself included.
TEST(DeadCopies, StartUpRemovesOldKeptAsideCopies) {
  TempDir dir;
  const std::string folder = dir.File("state/");
  RecoveryInstance own;
  ASSERT_TRUE(own.Start(folder, 1, 1));
  for (int i = 0; i < 12; ++i) {
    const std::string copy = folder + KeptAsideName(kDecember8, i + 1);
    WriteBytes(copy, Bytes("old"));
    const struct timespec times[2] = {{1000000 + i, 0}, {1000000 + i, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, copy.c_str(), times, 0), 0);
  }
  auto engine = test::NewEngine();
  FakePrompts prompts;
  EXPECT_FALSE(OfferRecovery(*engine, prompts, own).opened.replaced);
  EXPECT_EQ(FilesIn(folder), 11); // the ten newest, and this run's lock
  EXPECT_FALSE(FileExists(folder + KeptAsideName(kDecember8, 1)));
  EXPECT_FALSE(FileExists(folder + KeptAsideName(kDecember8, 2)));
}

TEST(CheckSongCopy, FindsEveryDamageWithoutReadingTheData) {
  TempDir dir;
  const std::string whole = CopyOf(*SongEngine("Whole"));
  const auto check = [&](const std::string& bytes) {
    WriteBytes(dir.File("copy.LW"), Bytes(bytes));
    return CheckSongCopy(dir.File("copy.LW"));
  };
  EXPECT_FALSE(check(whole));
  // Cut in the header, the records or the data, or with more after its end: damaged.
  for (const std::size_t cut :
       {std::size_t{0}, std::size_t{100}, kSongHeaderSize + 4 * 84 + 10, whole.size() - 1}) {
    EXPECT_TRUE(check(whole.substr(0, cut))) << cut;
  }
  EXPECT_TRUE(check(whole + "x"));
  EXPECT_EQ(check("X" + whole.substr(1)), "It is not a LoopWren Track");
  std::string negative = whole;
  std::memset(&negative[kSongHeaderSize + 4 * 84 + 4], 0xff, 4); // slot 5's length: -1
  EXPECT_TRUE(check(negative));
  EXPECT_TRUE(CheckSongCopy(dir.File("missing.LW")));
}

TEST(SongFingerprint, FollowsWhatASaveWritesAndNothingElse) {
  auto engine = SongEngine("Print");
  Engine& e = *engine;
  uint64_t last = SongFingerprint(e.state, e.samples);
  e.state.activeStep = 9; // where the user is is no part of the song
  EXPECT_EQ(SongFingerprint(e.state, e.samples), last);
  const std::function<void()> edits[] = {
      [&] { e.state.song.step(0, 0, 0, 0).note = 61; },
      [&] {
        e.state.sequence.slots[100] = {1, 1};
      },
      [&] { e.state.songFileName = "/elsewhere.LW"; },
      [&] {
        test::PutSample(e, 4, {1, 2, 3}, 22050, SampleCategory::Drum, "Kick");
      },
  };
  for (const auto& edit : edits) {
    edit();
    EXPECT_NE(SongFingerprint(e.state, e.samples), last);
    last = SongFingerprint(e.state, e.samples);
  }
}

TEST(AutoSaveSchedule, WritesAfterTheLastChangeSettlesAndWhileChangesGoOn) {
  struct Look {
    int at; // seconds
    bool changed;
    uint64_t song;
    bool writing;
    Action action;
  };
  const std::vector<std::vector<Look>> scenarios = {
      // One change, then quiet: a copy 3 s later, once; removed once saved.
      {{0, true, 1, false, Action::None},
       {2, true, 1, false, Action::None},
       {3, true, 1, false, Action::Write},
       {9, true, 1, false, Action::None},
       {10, false, 0, false, Action::Remove},
       {11, false, 0, false, Action::None}},
      // A change every two seconds: 30 s after the first one not in a copy.
      {{0, true, 1, false, Action::None},
       {28, true, 2, false, Action::None},
       {30, true, 3, false, Action::Write},
       {32, true, 4, false, Action::None},
       {35, true, 4, false, Action::Write}},
      // A write under way holds the next one back until it ends.
      {{0, true, 1, false, Action::None},
       {3, true, 1, false, Action::Write},
       {4, true, 2, true, Action::None},
       {9, true, 2, false, Action::Write}},
      // Saved before any copy: nothing to remove.
      {{0, true, 1, false, Action::None}, {1, false, 0, false, Action::None}},
  };
  for (std::size_t n = 0; n < scenarios.size(); ++n) {
    AutoSaveSchedule schedule;
    for (const Look& look : scenarios[n]) {
      EXPECT_EQ(schedule.Poll(AutoSaveSchedule::Clock::time_point{} + std::chrono::seconds(look.at),
                              look.changed, look.song, look.writing),
                look.action)
          << "scenario " << n << " at " << look.at;
    }
  }
}

TEST(AutoSaveSchedule, AFailedWriteIsTriedAgainLaterAndAnAdoptedCopyIsKept) {
  const auto at = [](int s) {
    return AutoSaveSchedule::Clock::time_point{} + std::chrono::seconds(s);
  };
  AutoSaveSchedule schedule;
  schedule.Poll(at(0), true, 1, false);
  ASSERT_EQ(schedule.Poll(at(3), true, 1, false), Action::Write);
  schedule.Finished(at(4), 1, false);
  EXPECT_EQ(schedule.Poll(at(33), true, 1, false), Action::None);
  EXPECT_EQ(schedule.Poll(at(34), true, 1, false), Action::Write);

  AutoSaveSchedule adopted;
  adopted.Adopted(7);
  EXPECT_EQ(adopted.Poll(at(10), true, 7, false), Action::None);
  EXPECT_EQ(adopted.Poll(at(15), false, 0, false), Action::Remove);
}

TEST(RecoveryWriter, TheLastRequestWinsAndARemovalComesAfterAWrite) {
  TempDir dir;
  RecoveryInstance own;
  ASSERT_TRUE(own.Start(dir.path().string() + "/", 1, 2));
  RecoveryWriter writer(own);
  std::string last;
  for (int i = 0; i < 20; ++i) {
    last = CopyOf(*SongEngine("Take", i));
    writer.Write(last, {"", "Take", i}, static_cast<uint64_t>(i));
  }
  writer.Wait();
  EXPECT_EQ(Text(own.CopyPath()), last);
  EXPECT_EQ(writer.TakeFinished().back().fingerprint, 19u);
  writer.Write(last, {}, 20);
  writer.Remove();
  writer.Wait();
  EXPECT_FALSE(FileExists(own.CopyPath()) || FileExists(own.InfoPath()));
}

// A copy of a song too big for the memory left is skipped without ending the program,
// says why, and is tried again a while later, as after a failed write.
TEST(PollRecoveryCopy, ACopyWithoutMemoryIsSkippedAndTriedAgainLater) {
  const auto at = [](int s) {
    return AutoSaveSchedule::Clock::time_point{} + std::chrono::seconds(s);
  };
  TempDir dir;
  RecoveryInstance own;
  ASSERT_TRUE(own.Start(dir.path().string() + "/", 1, 2));
  RecoveryWriter writer(own);
  AutoSaveSchedule schedule;
  const auto engine = SongEngine("Huge");
  engine->state.songChanged = true;
  int made = 0;
  const auto make = [&]() -> std::string {
    if (++made == 1) {
      throw std::bad_alloc();
    }
    return CopyOf(*engine);
  };
  const auto look = [&](int s) {
    std::vector<std::string> failures;
    EXPECT_NO_THROW(
        failures = PollRecoveryCopy(schedule, writer, at(s), engine->state, engine->samples, make))
        << "at " << s;
    writer.Wait();
    return failures;
  };
  EXPECT_TRUE(look(0).empty());
  EXPECT_EQ(look(3), std::vector<std::string>{kOutOfMemory});
  EXPECT_EQ(made, 1);
  EXPECT_FALSE(FileExists(own.CopyPath()));
  EXPECT_TRUE(look(20).empty());
  EXPECT_EQ(made, 1);
  EXPECT_TRUE(look(33).empty());
  EXPECT_EQ(made, 2);
  EXPECT_EQ(Text(own.CopyPath()), CopyOf(*engine));
}

struct OfferFixture : ::testing::Test {
  Utc utc;
  TempDir dir;
  std::string folder = dir.File("state/");
  RecoveryInstance own;
  std::unique_ptr<Engine> engine = test::NewEngine();
  FakePrompts prompts;

  void SetUp() override { ASSERT_TRUE(own.Start(folder, 1, 1)); }
  // The files a program killed with unsaved changes leaves.
  std::string Dead(const std::string& name, const std::string& bytes, const RecoveryInfo& info) {
    WriteBytes(folder + name + ".LW", Bytes(bytes));
    WriteBytes(folder + name + ".lock", {});
    WriteBytes(folder + name + ".info", Bytes(EncodeRecoveryInfo(info)));
    return bytes;
  }
};

TEST_F(OfferFixture, AsksNewestFirstLoadsTheOneTakenAndKeepsTheRestAside) {
  Dead("recovery-10-10", CopyOf(*SongEngine("Oldest")), {"", "Oldest", kDecember8});
  const std::string middle = Dead("recovery-11-11", CopyOf(*SongEngine("Middle")),
                                  {dir.File("gone.LW"), "Middle", kDecember8 + 60000});
  const std::string newest =
      Dead("recovery-12-12", CopyOf(*SongEngine("Newest")), {"", "Newest", kDecember8 + 3600000});
  prompts.answers = {false, true, true};
  const RecoveryOutcome outcome = OfferRecovery(*engine, prompts, own);
  EXPECT_EQ(prompts.questions,
            (std::vector<std::string>{RecoveryQuestion("Newest", kDecember8 + 3600000),
                                      RecoveryQuestion("Middle", kDecember8 + 60000)}));
  ASSERT_TRUE(outcome.opened.replaced && outcome.adopted);
  EXPECT_EQ(CopyOf(*engine), middle);
  EXPECT_TRUE(engine->state.songChanged);
  EXPECT_EQ(engine->state.songFileName, dir.File("gone.LW"));
  // The copy taken is now this run's own; the one refused and the one never asked about
  // are kept aside.
  EXPECT_EQ(Text(own.CopyPath()), middle);
  EXPECT_EQ(Text(folder + "recovered-2026-12-08-1505.LW"), newest);
  EXPECT_TRUE(FileExists(folder + "recovered-2026-12-08-1405.LW"));
  EXPECT_EQ(FilesIn(folder), 7); // the two kept aside and their side files, own 3
}

TEST_F(OfferFixture, ACopyOlderThanItsSongIsKeptAsideUnasked) {
  const std::string song = dir.File("saved.LW");
  WriteBytes(song, Bytes("saved later"));
  Dead("recovery-10-10", CopyOf(*SongEngine("Stale")), {song, "Stale", kDecember8});
  EXPECT_FALSE(OfferRecovery(*engine, prompts, own).opened.replaced);
  EXPECT_TRUE(prompts.silent());
  EXPECT_TRUE(FileExists(folder + "recovered-2026-12-08-1405.LW"));
}

TEST_F(OfferFixture, ADamagedCopyIsReportedByNameAndKeptAside) {
  const std::string whole = CopyOf(*SongEngine("Cut"));
  Dead("recovery-10-10", whole.substr(0, whole.size() / 2), {"", "Cut", kDecember8});
  prompts.answers = {true};
  EXPECT_FALSE(OfferRecovery(*engine, prompts, own).opened.replaced);
  EXPECT_TRUE(prompts.questions.empty());
  EXPECT_EQ(prompts.notices,
            std::vector<std::string>{"The recovery copy \"" + folder +
                                     "recovery-10-10.LW\" cannot be loaded:\nRead beyond end of "
                                     "file\nIt was kept as \"" +
                                     folder + "recovered-2026-12-08-1405.LW\"."});
  EXPECT_EQ(Text(folder + "recovered-2026-12-08-1405.LW").size(), whole.size() / 2);
}

TEST_F(OfferFixture, ACopyWithoutItsSideFileStillTellsItsTitle) {
  const std::string bytes = Dead("recovery-10-10", CopyOf(*SongEngine("Bare")), {});
  std::remove((folder + "recovery-10-10.info").c_str());
  prompts.answers = {true};
  EXPECT_TRUE(OfferRecovery(*engine, prompts, own).opened.replaced);
  ASSERT_EQ(prompts.questions.size(), 1u);
  EXPECT_TRUE(prompts.questions[0].starts_with(
      "LoopWren did not close properly. Recover your unsaved song \"Bare\" from "));
  EXPECT_EQ(CopyOf(*engine), bytes);
}

} // namespace
} // namespace lw
