// The permissions of new files: what the umask gives, read once, never set.
#include "EngineHelpers.h"
#include "FakePrompts.h"
#include "TempDir.h"
#include "commands/SongCommands.h"
#include "samples/SongFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::atomic<int> umaskCalls{0};

} // namespace

// Every umask(2) call of this test program, the program's own code included, comes here
// and is counted: setting the mask, even for a moment, changes the permissions of files
// other threads are creating.
extern "C" mode_t umask(mode_t mask) noexcept {
  ++umaskCalls;
  return static_cast<mode_t>(::syscall(SYS_umask, mask));
}

namespace lw {
namespace {

TEST(ProcessUmask, ReadFromTheStatusText) {
  const struct {
    const char* status;
    std::optional<mode_t> mask;
  } cases[] = {
      {"Name:\tloopwren\nUmask:\t0022\nState:\tR (running)\n", 022},
      {"Umask:\t0077\n", 077},
      {"Name:\tx\nUmask:\t0000", 0},
      {"Name:\tx\nUmask:\t0777\n", 0777},
      {"Name:\tloopwren\nState:\tR (running)\n", std::nullopt}, // kernels before 4.7
      {"Umask:\t\n", std::nullopt},
      {"Umask:\t0099\n", std::nullopt},
      {"Umask:\t01000\n", std::nullopt},
      {"XUmask:\t0022\n", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UmaskFromStatus(c.status), c.mask) << c.status;
  }
}

// Saving never touches the umask: it was read once, before the save.
TEST(ProcessUmask, ASaveNeverSetsTheUmask) {
  const mode_t mask = ProcessUmask();
  test::TempDir dir;
  auto engine = test::NewEngine();
  test::FakePrompts prompts;
  const int before = umaskCalls;
  for (int i = 0; i < 3; ++i) {
    engine->state.songFileName = dir.File("song" + std::to_string(i) + ".LW");
    ASSERT_TRUE(SaveSong(*engine, prompts, dir.path().string()));
    struct stat st {};
    ASSERT_EQ(::stat(engine->state.songFileName.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666 & ~mask);
  }
  EXPECT_EQ(umaskCalls, before);
}

// A new file gets the permissions the umask the program was started with gives.
TEST(ProcessUmask, ANewFileFollowsTheUmask) {
  test::TempDir dir;
  auto engine = test::NewEngine();
  const std::string song = dir.File("song.LW");
  const std::string bytes =
      SongFileBytes(engine->state.song, engine->state.sequence, engine->samples);
  test::WriteBytes(song, std::vector<uint8_t>(bytes.begin(), bytes.end()));
  for (const mode_t mask : {022, 027, 077, 002, 0}) {
    SCOPED_TRACE(mask);
    const std::string out = dir.File("out" + std::to_string(mask) + ".wav");
    char command[4096];
    std::snprintf(command, sizeof command, "umask %03o && exec '%s' --quiet '%s' '%s'", mask,
                  LOOPWREN_RENDER_BIN, song.c_str(), out.c_str());
    ASSERT_EQ(std::system(command), 0);
    struct stat st {};
    ASSERT_EQ(::stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666 & ~mask);
  }
}

} // namespace
} // namespace lw
