#include "session/AutoSaveSchedule.h"
#include "EngineHelpers.h"
#include "RecoveryTestSupport.h"
#include "TempDir.h"
#include "session/RecoveryInstance.h"
#include "session/RecoveryWriter.h"
#include "song/FileIo.h"
#include "song/Paths.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <new>
#include <string>
#include <vector>

namespace lw {
namespace {

using test::CopyOf;
using test::SongEngine;
using test::TempDir;
using test::Text;
using Action = AutoSaveSchedule::Action;

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

} // namespace
} // namespace lw
