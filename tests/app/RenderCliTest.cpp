#include "EngineHelpers.h"
#include "FakePrompts.h"
#include "TempDir.h"
#include "audio_out/RenderCommand.h"
#include "commands/SongCommands.h"
#include "engine/Vinyl.h"
#include "song/FileIo.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace lw {
namespace {

using test::PutNote;
using test::PutSample;
using test::ReadBytes;

struct CliRun {
  int status = -1;
  std::string output; // standard output and standard error
};

CliRun RenderCli(const std::string& args, const std::string& program = LOOPWREN_RENDER_BIN) {
  CliRun run;
  const std::string command = program + " " + args + " 2>&1";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    run.output += buffer;
  }
  const int raw = ::pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

std::string Quote(const std::string& s) {
  return "'" + s + "'";
}

struct RenderCliFixture : ::testing::Test {
  test::TempDir dir;
  std::string song;

  void SetUp() override {
    auto e = test::NewEngine();
    PutSample(*e, 0, std::vector<int16_t>(5000, 12000), 22050, SampleCategory::Instrument);
    PutSample(*e, 1, std::vector<int16_t>(30000, -7000), 44100, SampleCategory::Loop);
    for (int p = 0; p < 3; ++p) {
      PutNote(*e, 0, p, 0, 4 * p, 0).note = 40 + p;
      PutNote(*e, 2, 7, 1, 0, 1);
    }
    e->state.song.channel(0, 1, 0).delaySend = 60;
    e->state.song.channel(0, 2, 0).distortOn = 1;
    e->state.song.vinylAmount = 30;
    e->state.sequence.slots[0] = {0, 0};
    e->state.sequence.slots[1] = {0, 1};
    e->state.sequence.slots[3] = {0, 2};
    e->state.sequence.slots[4] = {2, 7};
    song = dir.File("song.LW");
    e->state.songFileName = song;
    test::FakePrompts prompts;
    ASSERT_TRUE(SaveSong(*e, prompts, "/"));
  }

  // What the program renders right after starting with the song on its command line.
  std::vector<uint8_t> InProcess(RenderKind kind, int first, int second) {
    auto e = std::make_unique<Engine>();
    (void)ClearSampleTable(e->samples);
    LoadVinylNoise(*e, std::filesystem::path(LOOPWREN_RENDER_BIN).parent_path() / kVinylNoiseFile);
    e->NewSong();
    test::FakePrompts prompts;
    EXPECT_TRUE(LoadCommandLineSong(*e, prompts, song).replaced);
    e->UpdateTiming();
    SlotRange selection;
    if (kind == RenderKind::ThisPattern) {
      e->state.editBank = first - 1;
      e->state.editPattern = second - 1;
    } else if (kind == RenderKind::SongLoop) {
      selection = {first, second};
      e->state.songPosition = first;
      e->state.loopEnabled = true;
      e->state.loopFirstSlot = first;
      e->state.loopLastSlot = second;
    }
    RenderProgress quiet;
    const std::string out = dir.File("inprocess.wav");
    EXPECT_TRUE(RenderToWavFile(*e, prompts, quiet, kind, out, selection));
    return ReadBytes(out);
  }
};

TEST_F(RenderCliFixture, RendersTheSongAsTheProgramDoesAndTheSameBytesEveryTime) {
  const CliRun a = RenderCli(Quote(song) + " " + Quote(dir.File("a.wav")));
  ASSERT_EQ(a.status, 0) << a.output;
  EXPECT_EQ(a.output, "") << "progress only goes to a terminal";
  const CliRun b = RenderCli("--quiet " + Quote(song) + " " + Quote(dir.File("b.wav")));
  ASSERT_EQ(b.status, 0) << b.output;
  const auto first = ReadBytes(dir.File("a.wav"));
  EXPECT_EQ(first.size(), 44U + 2U * 5 * 88192) << "slots 0 to 4, the empty slot repeating";
  EXPECT_EQ(first, ReadBytes(dir.File("b.wav")));
  EXPECT_EQ(first, InProcess(RenderKind::EntireSong, 0, 0));
}

TEST_F(RenderCliFixture, PatternAndSlotOptionsPickWhatTheMenusWould) {
  ASSERT_EQ(RenderCli("--pattern 3-8 " + Quote(song) + " " + Quote(dir.File("p.wav"))).status, 0);
  EXPECT_EQ(ReadBytes(dir.File("p.wav")), InProcess(RenderKind::ThisPattern, 3, 8));
  ASSERT_EQ(RenderCli("--slots 1-3 " + Quote(song) + " " + Quote(dir.File("s.wav"))).status, 0);
  const auto loop = ReadBytes(dir.File("s.wav"));
  EXPECT_EQ(loop.size(), 44U + 2U * 3 * 88192);
  EXPECT_EQ(loop, InProcess(RenderKind::SongLoop, 1, 3));
}

TEST_F(RenderCliFixture, VerboseSaysWhereTheNoiseCameFromAndWhenTheFirstSampleBegan) {
  const CliRun run =
      RenderCli("--verbose --quiet --pattern 1-1 " + Quote(song) + " " + Quote(dir.File("v.wav")));
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string noise =
      (std::filesystem::path(LOOPWREN_RENDER_BIN).parent_path() / kVinylNoiseFile).string();
  EXPECT_NE(run.output.find("loopwren-render: vinyl noise from " + noise + " ("), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("loopwren-render: the first sample began "), std::string::npos)
      << run.output;
  EXPECT_EQ(ReadBytes(dir.File("v.wav")), InProcess(RenderKind::ThisPattern, 1, 1));
}

// Installed, the renderer lies in PREFIX/bin and its noise in PREFIX/share/loopwren; a
// noise file beside the renderer (a build folder) comes first.
TEST_F(RenderCliFixture, TheNoiseIsFoundBesideTheRendererElseInTheInstalledDataFolder) {
  namespace fs = std::filesystem;
  const fs::path built = fs::path(LOOPWREN_RENDER_BIN).parent_path();
  const fs::path prefix = dir.path() / "prefix";
  const fs::path program = prefix / "bin" / "loopwren-render";
  fs::create_directories(prefix / "bin");
  fs::create_directories(prefix / "share" / "loopwren");
  fs::copy_file(LOOPWREN_RENDER_BIN, program);
  const struct {
    bool beside;
    bool installed;
    std::string said;
  } cases[] = {
      {false, false, "no vinyl noise (" + (prefix / "bin" / kVinylNoiseFile).string()},
      {false, true, "vinyl noise from " + (prefix / "share/loopwren" / kVinylNoiseFile).string()},
      {true, true, "vinyl noise from " + (prefix / "bin" / kVinylNoiseFile).string()},
  };
  for (const auto& c : cases) {
    for (const auto& [wanted, folder] :
         {std::pair{c.beside, prefix / "bin"}, std::pair{c.installed, prefix / "share/loopwren"}}) {
      fs::remove(folder / kVinylNoiseFile);
      if (wanted) {
        fs::copy_file(built / kVinylNoiseFile, folder / kVinylNoiseFile);
      }
    }
    const CliRun run =
        RenderCli("--verbose --quiet --pattern 1-1 " + Quote(song) + " " + Quote(dir.File("i.wav")),
                  program.string());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("loopwren-render: " + c.said), std::string::npos) << run.output;
  }
}

TEST_F(RenderCliFixture, RendersRunningTogetherIntoOneFolderEachWriteTheirOwnBytes) {
  const std::vector<std::string> kinds = {
      "", "--pattern 1-2", "--slots 0-4", "--pattern 3-8", "--slots 3-4", ""};
  std::vector<std::vector<uint8_t>> alone;
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    const std::string out = dir.File("alone" + std::to_string(i) + ".wav");
    ASSERT_EQ(RenderCli(kinds[i] + " " + Quote(song) + " " + Quote(out)).status, 0);
    alone.push_back(ReadBytes(out));
  }
  for (int round = 0; round < 3; ++round) {
    std::vector<std::FILE*> running;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
      const std::string out = dir.File("together" + std::to_string(i) + ".wav");
      running.push_back(::popen((std::string(LOOPWREN_RENDER_BIN) + " " + kinds[i] + " " +
                                 Quote(song) + " " + Quote(out) + " 2>&1")
                                    .c_str(),
                                "r"));
    }
    for (std::size_t i = 0; i < kinds.size(); ++i) {
      const int raw = ::pclose(running[i]);
      EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << "run " << i;
      EXPECT_EQ(ReadBytes(dir.File("together" + std::to_string(i) + ".wav")), alone[i])
          << "round " << round << ", run " << i << ": " << kinds[i];
    }
  }
  EXPECT_EQ(dir.Names().size(), 1 + 2 * kinds.size()) << "no temporary file is left behind";
}

TEST_F(RenderCliFixture, UsageErrorsExitWith2AndShowTheUsage) {
  for (const std::string args :
       {"", "--pattern 9-1 a b", "--slots 5-2 a b", "--pattern 1-1 --slots 0-1 a b", "--bogus a b",
        "only-one", "--pattern"}) {
    const CliRun r = RenderCli(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.output.find("Usage: loopwren-render"), std::string::npos) << args;
  }
  const CliRun help = RenderCli("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("--slots A-B"), std::string::npos);
  const CliRun version = RenderCli("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_NE(version.output.find("1.2"), std::string::npos);
}

TEST_F(RenderCliFixture, UnreadableOrUnwritableFilesExitWith1AndLeaveNoOutput) {
  const CliRun missing = RenderCli(Quote(dir.File("none.LW")) + " " + Quote(dir.File("x.wav")));
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.output.find(dir.File("none.LW")), std::string::npos);
  EXPECT_NE(missing.output.find("No such file or directory"), std::string::npos);

  test::WriteBytes(dir.File("short.LW"), std::vector<uint8_t>(5000, 1));
  const CliRun shortFile = RenderCli(Quote(dir.File("short.LW")) + " " + Quote(dir.File("x.wav")));
  EXPECT_EQ(shortFile.status, 1);
  EXPECT_NE(shortFile.output.find("Read beyond end of file"), std::string::npos);

  const std::string target = dir.File("no/folder/x.wav");
  const CliRun unwritable = RenderCli(Quote(song) + " " + Quote(target));
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.output.find(target), std::string::npos);
  EXPECT_NE(unwritable.output.find("No such file or directory"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.wav")));

  // A pipe nobody writes to is refused at once, as the song and as the output; a full
  // disk names the file it could not write.
  const std::string fifo = dir.File("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::string args;
    std::string named;
    std::string reason;
  } failures[] = {
      {Quote(fifo) + " " + Quote(dir.File("x.wav")), fifo, SystemErrorText(kNotARegularFile)},
      {Quote(song) + " " + Quote(fifo), fifo, "No such device or address"},
      {Quote(song) + " /dev/full", "/dev/full", "No space left on device"},
      {"/dev/zero " + Quote(dir.File("x.wav")), "/dev/zero", SystemErrorText(kNotARegularFile)},
  };
  for (const auto& f : failures) {
    const CliRun run = RenderCli("--pattern 1-1 " + f.args);
    EXPECT_EQ(run.status, 1) << f.args;
    EXPECT_NE(run.output.find(f.named), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(f.reason), std::string::npos) << run.output;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.wav")));
}

} // namespace
} // namespace lw
