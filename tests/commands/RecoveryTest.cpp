#include "commands/Recovery.h"
#include "EngineHelpers.h"
#include "FakePrompts.h"
#include "FileFaults.h"
#include "TempDir.h"
#include "commands/SequencerCommands.h"
#include "samples/SongFile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <random>

namespace lw {
namespace {

using test::FakePrompts;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
using Clock = AutoSaveSchedule::Clock;
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

// An engine holding a song with a title, notes, a sequence and a sample.
std::unique_ptr<Engine> SongEngine(const std::string& title, int note) {
  auto engine = test::NewEngine();
  Engine& e = *engine;
  e.state.song.title.assignText(title);
  e.state.song.tempo = 97;
  test::PutNote(e, 2, 3, 1, 7, 4).note = note;
  e.state.sequence.slots[5] = {2, 3};
  std::vector<int16_t> data(5000);
  for (std::size_t i = 0; i < data.size(); ++i) {
    data[i] = static_cast<int16_t>(i * 13 - 30000);
  }
  test::PutSample(e, 4, data, 22050, SampleCategory::Drum, "Kick");
  return engine;
}

std::string CopyOf(const Engine& e) {
  return SongFileBytes(e.state.song, e.state.sequence, e.samples);
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
      {"", "/h", "/h/.local/state/loopwren/"},
      {"relative/state", "/h", "/h/.local/state/loopwren/"},
      {nullptr, "/h/", "/h/.local/state/loopwren/"},
      {"/", "/h", "/loopwren/"},
      {nullptr, "relative", ""},
      {nullptr, nullptr, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RecoveryFolder(c.state, c.home), c.folder)
        << (c.state ? c.state : "(unset)") << " " << (c.home ? c.home : "(unset)");
  }
}

TEST(RecoveryInfo, EveryTextComesBackAndEveryCutIsRefused) {
  const RecoveryInfo infos[] = {
      {"", "", 0},
      {"/songs/a.LW", "Night Bus", kDecember8},
      {"/odd\nname\\with=signs.LW", "two\nlines\r\\n", -5},
      {"/ü/ß.LW", "Café ☕", 1},
  };
  for (const RecoveryInfo& info : infos) {
    const std::string text = EncodeRecoveryInfo(info);
    EXPECT_EQ(DecodeRecoveryInfo(text), info) << text;
    for (std::size_t cut = 0; cut < text.size(); ++cut) {
      EXPECT_FALSE(DecodeRecoveryInfo(text.substr(0, cut))) << cut;
    }
  }
  for (const char* garbage :
       {"", "\n", "LoopWren recovery\nsaved=1\n", "LoopWren recovery copy\nsaved=1x\n",
        "LoopWren recovery copy\ntitle=a\\q\nsaved=1\n", "LoopWren recovery copy\nnoequals\n",
        "LOOPWREN\0\0\0"}) {
    EXPECT_FALSE(DecodeRecoveryInfo(garbage)) << garbage;
  }
  // A later program's keys are passed over.
  EXPECT_EQ(DecodeRecoveryInfo("LoopWren recovery copy\nsaved=7\ncolour=red\n")->savedAt, 7);
}

TEST(RecoveryTexts, QuestionTimeAndNames) {
  const Utc utc;
  EXPECT_EQ(LocalTimeText(kDecember8 + 59999), "2026-12-08 14:05");
  EXPECT_EQ(RecoveryQuestion("Night Bus", kDecember8),
            "LoopWren did not close properly. Recover your unsaved song \"Night Bus\" from "
            "2026-12-08 14:05?");
  EXPECT_EQ(KeptAsideName(kDecember8, 1), "recovered-2026-12-08-1405.LW");
  EXPECT_EQ(KeptAsideName(kDecember8, 3), "recovered-2026-12-08-1405-3.LW");
  const struct {
    RecoveryInfo info;
    const char* caption;
  } captions[] = {
      {{"/a/b/Song.LW", "Title", 0}, "Title"},
      {{"/a/b/Song.LW", "", 0}, "Song.LW"},
      {{"", "", 0}, "Untitled"},
  };
  for (const auto& c : captions) {
    EXPECT_EQ(RecoveryCaption(c.info), c.caption);
  }
}

TEST(RecoveryChoice, AsksUnlessTheSongFileIsNewer) {
  const struct {
    int64_t savedAt;
    const char* file;
    std::optional<int64_t> fileTime;
    RecoveryChoice choice;
  } cases[] = {
      {1000, "", std::nullopt, RecoveryChoice::Ask},      // never saved
      {1000, "/s.LW", std::nullopt, RecoveryChoice::Ask}, // its file is gone
      {1000, "/s.LW", 999, RecoveryChoice::Ask},          // saved before the copy
      {1000, "/s.LW", 1000, RecoveryChoice::Ask},         // the same moment: ask
      {1000, "/s.LW", 1001, RecoveryChoice::KeepAside},   // saved after the copy
      {1000, "/s.LW", 5000000, RecoveryChoice::KeepAside},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseRecovery(c.savedAt, c.file, c.fileTime), c.choice)
        << c.savedAt << " " << c.file << " " << c.fileTime.value_or(-1);
  }
}

TEST(RecoveryInstance, NamesItsFilesAndNeverSharesThem) {
  TempDir dir;
  const std::string folder = dir.File("state/deeper/loopwren/");
  RecoveryInstance first;
  ASSERT_TRUE(first.Start(folder, 1234, 1700000000));
  EXPECT_EQ(first.Name(), "recovery-1234-1700000000");
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

  RecoveryInstance nowhere;
  int error = 0;
  EXPECT_FALSE(nowhere.Start(dir.File("state/deeper/loopwren/") + "recovery-1234-1700000000.lock/",
                             1, 1, &error));
  EXPECT_NE(error, 0);
}

// A copy written is the very bytes a save writes; read back, it is the song.
TEST(RecoveryInstance, WritesExactlyWhatASaveWritesAndReadsItBack) {
  TempDir dir;
  auto engine = SongEngine("Night Bus", 40);
  Engine& e = *engine;
  FakePrompts prompts;
  e.state.songFileName = dir.File("song.LW");
  ASSERT_TRUE(SaveSong(e, prompts, dir.path().string()));
  const std::vector<uint8_t> saved = ReadBytes(dir.File("song.LW"));
  const std::string bytes = CopyOf(e);
  ASSERT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), saved);

  RecoveryInstance own;
  ASSERT_TRUE(own.Start(dir.File("state/"), 1, 2));
  const RecoveryInfo info{dir.File("song.LW"), "Night Bus", kDecember8};
  own.WriteCopy(bytes, info);
  EXPECT_EQ(ReadBytes(own.CopyPath()), saved);
  EXPECT_EQ(DecodeRecoveryInfo(Text(own.InfoPath())), info);
  EXPECT_FALSE(CheckSongCopy(own.CopyPath()));

  auto other = test::NewEngine();
  const OpenResult result = RecoverSongCopy(*other, prompts, own.CopyPath(), "/where/it/was.LW");
  ASSERT_TRUE(result.replaced);
  EXPECT_TRUE(other->state.songChanged);
  EXPECT_EQ(other->state.songFileName, "/where/it/was.LW");
  EXPECT_EQ(CopyOf(*other), bytes);
  EXPECT_TRUE(prompts.silent());
}

// A write that fails or is cancelled leaves the previous copy whole and no litter.
TEST(RecoveryInstance, AFailedOrCancelledWriteKeepsThePreviousCopy) {
  TempDir dir;
  RecoveryInstance own;
  ASSERT_TRUE(own.Start(dir.path().string() + "/", 1, 2));
  const std::string before = CopyOf(*SongEngine("Before", 30));
  const std::string after = CopyOf(*SongEngine("After", 31));
  own.WriteCopy(before, {"", "Before", 1});
  const std::vector<uint8_t> kept = ReadBytes(own.CopyPath());
  for (const test::FileOp op : {test::FileOp::Write, test::FileOp::Fsync, test::FileOp::Rename}) {
    const test::FileFault fault(op, 1, ENOSPC);
    EXPECT_THROW(own.WriteCopy(after, {"", "After", 2}), IoError);
  }
  std::atomic<bool> cancel{true};
  EXPECT_THROW(own.WriteCopy(after, {"", "After", 2}, &cancel), IoError);
  EXPECT_EQ(ReadBytes(own.CopyPath()), kept);
  auto names = dir.Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"recovery-1-2.LW", "recovery-1-2.info",
                                             "recovery-1-2.lock"}));
}

// Runs `body` in a child process that then waits to be killed; returns its pid once the
// body is done.
pid_t Child(const std::function<void()>& body) {
  int ready[2];
  EXPECT_EQ(::pipe(ready), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(ready[0]);
    body();
    const char done = 1;
    (void)!::write(ready[1], &done, 1);
    for (;;) {
      ::pause();
    }
  }
  ::close(ready[1]);
  char done = 0;
  EXPECT_EQ(::read(ready[0], &done, 1), 1);
  ::close(ready[0]);
  return pid;
}

void Kill(pid_t pid) {
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
}

TEST(DeadCopies, ALiveProgramsCopyIsLeftAloneAndADeadOnesIsFound) {
  TempDir dir;
  const std::string folder = dir.path().string() + "/";
  const std::string song = CopyOf(*SongEngine("Live", 50));
  const pid_t child = Child([&] {
    // Never destroyed: the child holds its lock until it is killed.
    auto* instance = new RecoveryInstance;
    if (instance->Start(folder, 77, 5)) {
      instance->WriteCopy(song, {"/songs/live.LW", "Live", kDecember8});
    }
  });
  RecoveryInstance own;
  ASSERT_TRUE(own.Start(folder, 1, 1));
  EXPECT_TRUE(ClaimDeadCopies(folder, own.Name()).empty());
  EXPECT_TRUE(FileExists(folder + "recovery-77-5.LW"));
  EXPECT_TRUE(FileExists(folder + "recovery-77-5.lock"));

  Kill(child);
  auto dead = ClaimDeadCopies(folder, own.Name());
  ASSERT_EQ(dead.size(), 1u);
  EXPECT_EQ(dead[0]->Name(), "recovery-77-5");
  EXPECT_EQ(dead[0]->Info(), (RecoveryInfo{"/songs/live.LW", "Live", kDecember8}));
  // Claimed: a second start-up looking now leaves it to this one.
  EXPECT_TRUE(ClaimDeadCopies(folder, "recovery-2-2").empty());
  dead.clear();
  // Let go unfinished, it is found again.
  EXPECT_EQ(ClaimDeadCopies(folder, own.Name()).size(), 1u);
}

TEST(DeadCopies, ACleanEndLeavesNothingAndLeftoversWithoutACopyGo) {
  TempDir dir;
  const std::string folder = dir.path().string() + "/";
  const std::string song = CopyOf(*SongEngine("Clean", 50));
  {
    RecoveryInstance instance;
    ASSERT_TRUE(instance.Start(folder, 5, 5));
    instance.WriteCopy(song, {"", "Clean", 1});
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
  for (const char* name : {"recovery-1-1", "recovery-2-2", "recovery-3-3"}) {
    WriteBytes(folder + name + ".LW", Bytes(name));
    WriteBytes(folder + name + ".info", Bytes(EncodeRecoveryInfo({"/s.LW", name, kDecember8})));
  }
  std::vector<std::string> kept;
  for (const auto& dead : ClaimDeadCopies(folder, "recovery-9-9")) {
    kept.push_back(dead->KeepAside());
  }
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(kept, (std::vector<std::string>{folder + "recovered-2026-12-08-1405-2.LW",
                                            folder + "recovered-2026-12-08-1405-3.LW",
                                            folder + "recovered-2026-12-08-1405-4.LW"}));
  EXPECT_EQ(ReadBytes(folder + "recovered-2026-12-08-1405.LW"), Bytes("the user's own"));
  std::vector<std::string> contents;
  for (const std::string& path : kept) {
    contents.push_back(Text(path));
    EXPECT_TRUE(FileExists(path.substr(0, path.size() - 3) + ".info"));
  }
  std::sort(contents.begin(), contents.end());
  EXPECT_EQ(contents, (std::vector<std::string>{"recovery-1-1", "recovery-2-2", "recovery-3-3"}));
}

TEST(CheckSongCopy, FindsEveryDamageWithoutReadingTheData) {
  TempDir dir;
  auto engine = SongEngine("Whole", 40);
  const std::string whole = CopyOf(*engine);
  const std::string path = dir.File("copy.LW");
  const auto check = [&](const std::string& bytes) {
    WriteBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
    return CheckSongCopy(path);
  };
  EXPECT_FALSE(check(whole));
  // Cut anywhere, it is damaged: inside the header, the records and the data.
  for (const std::size_t cut :
       {std::size_t{0}, std::size_t{5}, std::size_t{100}, std::size_t{64164},
        std::size_t{64164 + 4 * 84 + 10}, whole.size() - 1}) {
    EXPECT_TRUE(check(whole.substr(0, cut))) << cut;
  }
  EXPECT_TRUE(check(whole + "x"));
  std::string foreign = whole;
  foreign[0] = 'X';
  EXPECT_EQ(check(foreign), "It is not a LoopWren Track");
  std::string negative = whole;
  const std::size_t lengthAt = 64164 + 4 * 84 + 4;
  std::memset(&negative[lengthAt], 0xff, 4);
  EXPECT_TRUE(check(negative));
  std::string garbage(200000, '\0');
  std::mt19937 random(7);
  for (char& c : garbage) {
    c = static_cast<char>(random());
  }
  EXPECT_TRUE(check(garbage));
  EXPECT_TRUE(CheckSongCopy(dir.File("missing.LW")));
}

TEST(SongFingerprint, FollowsWhatASaveWritesAndNothingElse) {
  auto engine = SongEngine("Print", 40);
  Engine& e = *engine;
  const uint64_t start = SongFingerprint(e.state, e.samples);
  EXPECT_EQ(SongFingerprint(e.state, e.samples), start);
  e.state.activeStep = 9;
  e.state.editBank = 3;
  EXPECT_EQ(SongFingerprint(e.state, e.samples), start);

  // Each edit a save would write changes the fingerprint.
  const std::function<void(Engine&)> edits[] = {
      [](Engine& x) { x.state.song.step(0, 0, 0, 0).note = 61; },
      [](Engine& x) { x.state.song.title.assignText("Other"); },
      [](Engine& x) {
        x.state.sequence.slots[100] = {1, 1};
      },
      [](Engine& x) { x.state.songFileName = "/elsewhere.LW"; },
      [](Engine& x) {
        test::PutSample(x, 4, {1, 2, 3}, 22050, SampleCategory::Drum, "Kick");
      },
      [](Engine& x) { x.samples.slots[4].category = 2; },
  };
  for (std::size_t i = 0; i < std::size(edits); ++i) {
    auto edited = SongEngine("Print", 40);
    const uint64_t before = SongFingerprint(edited->state, edited->samples);
    edits[i](*edited);
    EXPECT_NE(SongFingerprint(edited->state, edited->samples), before) << i;
  }
}

TEST(AutoSaveSchedule, WritesAfterTheLastChangeSettlesAndWhileChangesGoOn) {
  using std::chrono::seconds;
  const Clock::time_point t0{};
  struct Look {
    int at; // seconds
    bool changed;
    uint64_t song;
    bool writing;
    Action action;
  };
  const std::vector<std::vector<Look>> scenarios = {
      // One change, then quiet: a copy 3 s later, once.
      {{0, true, 1, false, Action::None},
       {2, true, 1, false, Action::None},
       {3, true, 1, false, Action::Write},
       {9, true, 1, false, Action::None},
       {10, false, 0, false, Action::Remove},
       {11, false, 0, false, Action::None}},
      // A change every two seconds: 30 s after the first one not in a copy.
      {{0, true, 1, false, Action::None},
       {2, true, 2, false, Action::None},
       {28, true, 3, false, Action::None},
       {30, true, 4, false, Action::Write},
       {32, true, 5, false, Action::None},
       {35, true, 5, false, Action::Write}},
      // Nothing unsaved: nothing written, nothing removed.
      {{0, false, 0, false, Action::None}, {40, false, 0, false, Action::None}},
      // A write under way holds the next one back until it ends.
      {{0, true, 1, false, Action::None},
       {3, true, 1, false, Action::Write},
       {4, true, 2, true, Action::None},
       {8, true, 2, true, Action::None},
       {9, true, 2, false, Action::Write}},
      // Saved before the first copy: nothing to remove.
      {{0, true, 1, false, Action::None}, {1, false, 0, false, Action::None}},
  };
  int number = 0;
  for (const auto& looks : scenarios) {
    AutoSaveSchedule schedule;
    for (const Look& look : looks) {
      EXPECT_EQ(schedule.Poll(t0 + seconds(look.at), look.changed, look.song, look.writing),
                look.action)
          << "scenario " << number << " at " << look.at;
    }
    ++number;
  }
}

TEST(AutoSaveSchedule, AFailedWriteIsTriedAgainLaterAndAnAdoptedCopyIsKept) {
  using std::chrono::seconds;
  const Clock::time_point t0{};
  AutoSaveSchedule schedule;
  schedule.Poll(t0, true, 1, false);
  ASSERT_EQ(schedule.Poll(t0 + seconds(3), true, 1, false), Action::Write);
  schedule.Finished(t0 + seconds(4), 1, false);
  EXPECT_EQ(schedule.Poll(t0 + seconds(5), true, 1, false), Action::None);
  EXPECT_EQ(schedule.Poll(t0 + seconds(33), true, 1, false), Action::None);
  EXPECT_EQ(schedule.Poll(t0 + seconds(34), true, 1, false), Action::Write);

  AutoSaveSchedule adopted;
  adopted.Adopted(7);
  EXPECT_EQ(adopted.Poll(t0 + seconds(10), true, 7, false), Action::None);
  EXPECT_EQ(adopted.Poll(t0 + seconds(11), true, 8, false), Action::None);
  EXPECT_EQ(adopted.Poll(t0 + seconds(14), true, 8, false), Action::Write);
  EXPECT_EQ(adopted.Poll(t0 + seconds(15), false, 0, false), Action::Remove);
}

TEST(RecoveryWriter, TheLastRequestWins) {
  TempDir dir;
  RecoveryInstance own;
  ASSERT_TRUE(own.Start(dir.path().string() + "/", 1, 2));
  RecoveryWriter writer(own);
  std::string last;
  for (int i = 0; i < 20; ++i) {
    last = CopyOf(*SongEngine("Take " + std::to_string(i), i));
    writer.Write(last, {"", "Take", i}, static_cast<uint64_t>(i));
  }
  writer.Wait();
  EXPECT_EQ(ReadBytes(own.CopyPath()), std::vector<uint8_t>(last.begin(), last.end()));
  const auto done = writer.TakeFinished();
  ASSERT_FALSE(done.empty());
  EXPECT_EQ(done.back().fingerprint, 19u);
  EXPECT_TRUE(done.back().written);
  writer.Write(last, {"", "Take", 20}, 20);
  writer.Remove();
  writer.Wait();
  EXPECT_FALSE(FileExists(own.CopyPath()));
  EXPECT_FALSE(FileExists(own.InfoPath()));
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
    WriteBytes(folder + name + ".LW", std::vector<uint8_t>(bytes.begin(), bytes.end()));
    WriteBytes(folder + name + ".lock", {});
    WriteBytes(folder + name + ".info", Bytes(EncodeRecoveryInfo(info)));
    return bytes;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(OfferFixture, AsksNewestFirstAndLoadsTheOneTaken) {
  Dead("recovery-10-10", CopyOf(*SongEngine("Older", 30)), {"", "Older", kDecember8});
  const std::string newer = Dead("recovery-11-11", CopyOf(*SongEngine("Newer", 31)),
                                 {dir.File("gone.LW"), "Newer", kDecember8 + 3600000});
  prompts.answers = {false, true};
  const RecoveryOutcome outcome = OfferRecovery(*engine, prompts, own);
  EXPECT_EQ(prompts.questions,
            (std::vector<std::string>{
                "LoopWren did not close properly. Recover your unsaved song \"Newer\" from "
                "2026-12-08 15:05?",
                "LoopWren did not close properly. Recover your unsaved song \"Older\" from "
                "2026-12-08 14:05?"}));
  ASSERT_TRUE(outcome.opened.replaced);
  EXPECT_TRUE(outcome.adopted);
  EXPECT_EQ(engine->state.song.title.text(), "Older");
  EXPECT_TRUE(engine->state.songChanged);
  EXPECT_TRUE(engine->state.songFileName.empty());
  // The copy taken is now this run's own; the one refused is kept aside.
  EXPECT_EQ(ReadBytes(own.CopyPath()), ReadBytes(folder + "recovery-1-1.LW"));
  EXPECT_EQ(CopyOf(*engine), Text(own.CopyPath()));
  EXPECT_EQ(Names(), (std::vector<std::string>{"recovered-2026-12-08-1505.LW",
                                               "recovered-2026-12-08-1505.info", "recovery-1-1.LW",
                                               "recovery-1-1.info", "recovery-1-1.lock"}));
  EXPECT_EQ(Text(folder + "recovered-2026-12-08-1505.LW"), newer);
}

TEST_F(OfferFixture, AfterAYesTheOthersAreKeptAsideUnasked) {
  Dead("recovery-10-10", CopyOf(*SongEngine("Older", 30)), {"", "Older", kDecember8});
  Dead("recovery-11-11", CopyOf(*SongEngine("Newer", 31)), {"", "Newer", kDecember8 + 60000});
  prompts.answers = {true, true};
  const RecoveryOutcome outcome = OfferRecovery(*engine, prompts, own);
  EXPECT_EQ(prompts.questions.size(), 1u);
  EXPECT_TRUE(outcome.opened.replaced);
  EXPECT_EQ(engine->state.song.title.text(), "Newer");
  EXPECT_TRUE(FileExists(folder + "recovered-2026-12-08-1405.LW"));
}

TEST_F(OfferFixture, ACopyOlderThanItsSongIsKeptAsideUnasked) {
  const std::string song = dir.File("saved.LW");
  WriteBytes(song, Bytes("saved later"));
  Dead("recovery-10-10", CopyOf(*SongEngine("Stale", 30)), {song, "Stale", kDecember8});
  const RecoveryOutcome outcome = OfferRecovery(*engine, prompts, own);
  EXPECT_FALSE(outcome.opened.replaced);
  EXPECT_TRUE(prompts.silent());
  EXPECT_TRUE(FileExists(folder + "recovered-2026-12-08-1405.LW"));
  EXPECT_FALSE(engine->state.songChanged);
}

TEST_F(OfferFixture, ADamagedCopyIsReportedByNameAndKeptAside) {
  const std::string whole = CopyOf(*SongEngine("Cut", 30));
  Dead("recovery-10-10", whole.substr(0, whole.size() / 2), {"", "Cut", kDecember8});
  prompts.answers = {true};
  const RecoveryOutcome outcome = OfferRecovery(*engine, prompts, own);
  EXPECT_FALSE(outcome.opened.replaced);
  EXPECT_TRUE(prompts.questions.empty());
  ASSERT_EQ(prompts.notices.size(), 1u);
  EXPECT_EQ(prompts.notices[0], "The recovery copy \"" + folder +
                                    "recovery-10-10.LW\" cannot be loaded:\nRead beyond end of "
                                    "file\nIt was kept as \"" +
                                    folder + "recovered-2026-12-08-1405.LW\".");
  EXPECT_EQ(ReadBytes(folder + "recovered-2026-12-08-1405.LW").size(), whole.size() / 2);
}

TEST_F(OfferFixture, ACopyWithoutItsSideFileStillTellsItsTitle) {
  const std::string bytes = CopyOf(*SongEngine("Bare", 30));
  Dead("recovery-10-10", bytes, {});
  std::filesystem::remove(folder + "recovery-10-10.info");
  prompts.answers = {true};
  const RecoveryOutcome outcome = OfferRecovery(*engine, prompts, own);
  ASSERT_EQ(prompts.questions.size(), 1u);
  EXPECT_TRUE(prompts.questions[0].starts_with(
      "LoopWren did not close properly. Recover your unsaved song \"Bare\" from "));
  EXPECT_TRUE(outcome.opened.replaced);
  EXPECT_EQ(CopyOf(*engine), bytes);
}

} // namespace
} // namespace lw
