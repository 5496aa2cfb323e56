#include "session/RecoveryOffer.h"
#include "EngineHelpers.h"
#include "FakePrompts.h"
#include "RecoveryTestSupport.h"
#include "TempDir.h"
#include "samples/SongFile.h"
#include "session/RecoveryFiles.h"
#include "session/RecoveryInstance.h"
#include "song/Paths.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
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
