#include "session/RecoveryFiles.h"
#include "FakePrompts.h"
#include "FileFaults.h"
#include "RecoveryTestSupport.h"
#include "TempDir.h"
#include "commands/SongCommands.h"
#include "session/DeadCopies.h"
#include "session/RecoveryInstance.h"
#include "song/FileIo.h"
#include "song/Paths.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <string>
#include <vector>

namespace lw {
namespace {

using test::Bytes;
using test::CopyOf;
using test::FakePrompts;
using test::FilesIn;
using test::kDecember8;
using test::SongEngine;
using test::TempDir;
using test::Text;
using test::Utc;
using test::WriteBytes;

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

} // namespace
} // namespace lw
