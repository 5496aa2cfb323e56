// loopwren.lv2 in jalv, a host of its own, on a dummy JACK server of the test's own: with
// the transport rolling, the song the session's state names plays.
#include "EngineHelpers.h"
#include "FakePrompts.h"
#include "JackRecorder.h"
#include "JackTestServer.h"
#include "JackTimebaseMaster.h"
#include "LiveSong.h"
#include "TempDir.h"
#include "WaitUntil.h"
#include "commands/SongCommands.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

namespace lw {
namespace {

using namespace std::chrono_literals;

TEST(Jalv, PlaysTheSongItsStateNamesWhileTheTransportRolls) {
  test::JackTestServer server;
  if (!server.up()) {
    GTEST_SKIP() << "no JACK server to test with: " << server.why();
  }
  test::TempDir dir;
  {
    auto e = test::NewEngine();
    test::MakeLiveSong(*e);
    e->state.song.tempo = 120;
    e->state.songFileName = (dir.path() / "song.lw").string();
    test::FakePrompts prompts;
    ASSERT_TRUE(SaveSong(*e, prompts, "/"));
  }
  // A state as a host saves one: the song's path, relative to the state's folder.
  std::ofstream(dir.path() / "manifest.ttl")
      << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
         "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
         "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
         "<state.ttl> a pset:Preset ;\n"
         "  lv2:appliesTo <http://loopwren.org/lv2/loopwren> ;\n"
         "  rdfs:seeAlso <state.ttl> .\n";
  std::ofstream(dir.path() / "state.ttl")
      << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
         "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
         "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
         "<> a pset:Preset ;\n"
         "  lv2:appliesTo <http://loopwren.org/lv2/loopwren> ;\n"
         "  state:state [\n"
         "    <http://loopwren.org/lv2/loopwren#song> <song.lw>\n"
         "  ] .\n";
  const std::string log = (dir.path() / "jalv.log").string();
  const std::string command = "JACK_DEFAULT_SERVER=" + server.name() + " LV2_PATH=" +
                              std::filesystem::path(LOOPWREN_LV2_BUNDLE).parent_path().string() +
                              " exec jalv -i -n loopwren-jalv -l '" + dir.path().string() +
                              "' http://loopwren.org/lv2/loopwren >'" + log + "' 2>&1";
  const pid_t jalv = ::fork();
  if (jalv == 0) {
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ASSERT_GT(jalv, 0);
  test::JackTimebaseMaster daw(server, 120);
  ASSERT_TRUE(daw.ok());
  constexpr std::size_t kFrames = 2 * 44100;
  test::JackRecorder recorder(server, 1, kFrames);
  ASSERT_TRUE(recorder.ok());
  const bool connected =
      test::WaitUntil([&] { return recorder.ConnectFrom("loopwren-jalv:out_left", 0); }, 20s);
  if (!connected) {
    ::kill(jalv, SIGTERM);
    ::waitpid(jalv, nullptr, 0);
    std::ifstream in(log);
    const std::string said((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    FAIL() << "jalv's port never came up; jalv said:\n" << said;
  }
  jack_transport_start(daw.client());
  recorder.Start();
  EXPECT_TRUE(recorder.WaitFor(kFrames));
  jack_transport_stop(daw.client());
  ::kill(jalv, SIGTERM);
  ::waitpid(jalv, nullptr, 0);
  int32_t peak = 0;
  for (const int32_t v : recorder.ValuesAt(0, 0, kFrames, 32768.0F)) {
    peak = std::max(peak, std::abs(v));
  }
  EXPECT_GT(peak, 1000) << "the song sounds";
}

} // namespace
} // namespace lw
