// Ableton Link between LoopWren's JACK client and a second Link peer, inside a network
// namespace of the test's own (see in-private-network.sh): tempo changes travel both ways,
// the phases agree, and the session's start and stop start and stop the song with its
// patterns on the session's bars.
#include "JackTestServer.h"
#include "LiveSong.h"
#include "WaitUntil.h"
#include "live/JackOutput.h"
#include "live/LinkSession.h"

#include <ableton/Link.hpp>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <thread>

namespace lw {
namespace {

using namespace std::chrono_literals;

using test::WaitUntil;

TEST(Link, TempoPhaseAndStartTravelBetweenPeers) {
  if (std::getenv("LOOPWREN_PRIVATE_NETWORK") == nullptr) {
    GTEST_SKIP() << "not in a private network namespace (unshare -n needs root or user "
                    "namespaces): Link is never tried on a real network";
  }
  test::JackTestServer server{{.synchronous = true}};
  if (!server.up()) {
    GTEST_SKIP() << "no JACK server to test with: " << server.why();
  }
  auto engine = test::NewEngine();
  {
    const EngineHold hold(engine->engineLock);
    test::MakeLiveSong(*engine);
  }
  LinkSession ours;
  ours.SetEnabled(true, 120);
  JackOutput out(*engine);
  out.SetLink(&ours);
  ASSERT_EQ(out.Open(server.name()), "");

  ableton::Link peer(97.0);
  peer.enableStartStopSync(true);
  peer.enable(true);
  ASSERT_TRUE(WaitUntil([&] { return ours.peers() == 1 && peer.numPeers() == 1; }))
      << "the peers found each other over loopback";

  // A tempo set at the peer reaches LoopWren, and one set here reaches the peer (each
  // peer maps the other's clock onto its own, which leaves a few millionths of a BPM).
  auto state = peer.captureAppSessionState();
  state.setTempo(133.0, peer.clock().micros());
  peer.commitAppSessionState(state);
  EXPECT_TRUE(WaitUntil([&] { return std::abs(ours.leaderTempo() - 133.0) < 1e-3; }))
      << ours.leaderTempo();
  ours.SetTempo(111.0);
  EXPECT_TRUE(
      WaitUntil([&] { return std::abs(peer.captureAppSessionState().tempo() - 111.0) < 1e-3; }));

  // The phases agree within a millisecond at one moment of the shared clock.
  const int64_t now = ours.HostMicros();
  const double beats = ours.SessionBeatAt(now) - peer.captureAppSessionState().beatAtTime(
                                                     std::chrono::microseconds(now), 4.0);
  EXPECT_LT(std::abs(beats) * 60.0 / 111.0, 0.001) << beats << " beats apart";

  // The peer starts the session: the song starts, its pattern on the session's bar.
  state = peer.captureAppSessionState();
  state.setIsPlaying(true, peer.clock().micros());
  peer.commitAppSessionState(state);
  ASSERT_TRUE(WaitUntil([&] { return out.renderer().Playing(); }));
  EXPECT_TRUE(ours.leading());
  std::this_thread::sleep_for(200ms);
  const double offset = std::fmod(ours.songOffset(), LinkSession::kQuantum);
  EXPECT_LT(std::min(std::abs(offset), LinkSession::kQuantum - std::abs(offset)), 1e-6)
      << "the song's patterns begin on the session's bars";
  state = peer.captureAppSessionState();
  state.setIsPlaying(false, peer.clock().micros());
  peer.commitAppSessionState(state);
  EXPECT_TRUE(WaitUntil([&] { return !out.renderer().Playing(); }));
  out.Close();
}

} // namespace
} // namespace lw
