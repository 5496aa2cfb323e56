#include "app/ProgramOptions.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace lw {
namespace {

using Action = ProgramOptions::Action;

ProgramOptions Parse(std::vector<std::string_view> args) {
  return ParseProgramOptions(args);
}

TEST(ProgramOptions, OptionsAreReadBeforeAnySongAndNeverTakenForOne) {
  const struct {
    std::vector<std::string_view> args;
    Action action;
    std::string song;
    std::vector<std::string> toolkit;
  } cases[] = {
      {{}, Action::Run, "", {}},
      {{"beat.LW"}, Action::Run, "beat.LW", {}},
      {{"--help"}, Action::Help, "", {}},
      {{"-h"}, Action::Help, "", {}},
      {{"beat.LW", "--version"}, Action::Version, "", {}},
      {{"--help", "--bogus"}, Action::Help, "", {}},
      {{"--bogus"}, Action::UsageError, "", {}},
      {{"-x", "beat.LW"}, Action::UsageError, "", {}},
      {{"--", "--help"}, Action::Run, "--help", {}},
      {{"--", "-beat.LW"}, Action::Run, "-beat.LW", {}},
      {{"-"}, Action::Run, "-", {}},
      {{"-platform", "offscreen", "beat.LW"}, Action::Run, "beat.LW", {"-platform", "offscreen"}},
      {{"beat.LW", "--style=fusion", "-reverse"},
       Action::Run,
       "beat.LW",
       {"--style=fusion", "-reverse"}},
      {{"-platform"}, Action::UsageError, "", {}},
      {{"-reverse=1"}, Action::UsageError, "", {}},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const std::string_view a : c.args) {
      line += std::string(a) + ' ';
    }
    const ProgramOptions o = Parse(c.args);
    EXPECT_EQ(o.action, c.action) << line;
    EXPECT_EQ(o.song, c.song) << line;
    if (c.action == Action::Run) {
      EXPECT_EQ(o.toolkitArgs, c.toolkit) << line;
    }
    EXPECT_EQ(o.error.empty(), c.action != Action::UsageError) << line;
  }
}

TEST(ProgramOptions, OnlyTheFirstSongOpensAndTheOthersAreNamed) {
  const ProgramOptions o = Parse({"a.LW", "b.LW", "--", "-c.LW"});
  EXPECT_EQ(o.action, Action::Run);
  EXPECT_EQ(o.song, "a.LW");
  EXPECT_EQ(o.ignoredSongs, (std::vector<std::string>{"b.LW", "-c.LW"}));
}

struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

// The program with no display at all: the toolkit would abort if it were started.
ProgramRun Program(const std::string& args, const std::string& folder) {
  const std::string errFile = folder + "/stderr";
  const std::string command = "cd '" + folder +
                              "' && env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb '" +
                              LOOPWREN_BIN + "' " + args + " 2>'" + errFile + "'";
  ProgramRun run;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    run.out += buffer;
  }
  const int raw = ::pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  if (std::FILE* err = std::fopen(errFile.c_str(), "r")) {
    while (std::fgets(buffer, sizeof buffer, err) != nullptr) {
      run.err += buffer;
    }
    std::fclose(err);
  }
  return run;
}

TEST(ProgramCommandLine, HelpVersionAndMistakesAnswerWithoutADisplay) {
  char folder[] = "/tmp/loopwren-cli-XXXXXX";
  ASSERT_NE(::mkdtemp(folder), nullptr);
  const ProgramRun help = Program("--help", folder);
  EXPECT_EQ(help.status, 0) << help.err;
  EXPECT_EQ(help.out, kProgramUsage);
  EXPECT_EQ(help.err, "");

  const ProgramRun version = Program("--version", folder);
  EXPECT_EQ(version.status, 0) << version.err;
  EXPECT_EQ(version.out, kProgramVersion);

  const ProgramRun wrong = Program("--frobnicate song.LW", folder);
  EXPECT_EQ(wrong.status, 2);
  EXPECT_EQ(wrong.out, "");
  EXPECT_EQ(wrong.err, std::string("loopwren: unknown option --frobnicate\n\n") + kProgramUsage);

  // Nothing ran, so nothing was written under an option's name.
  std::vector<std::string> written;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    written.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(written, std::vector<std::string>{"stderr"});
  std::filesystem::remove_all(folder);
}

} // namespace
} // namespace lw
