// LoopWren and JACK's transport on a dummy server of the test's own: following a master
// at 128.5 BPM every step starts on the frame the master's position implies, a locate to
// bar 9 starts the slot the song reaches there, and as master LoopWren publishes its tempo
// and position to every other client.
#include "ClickTrack.h"
#include "JackMidiRecorder.h"
#include "JackMidiSender.h"
#include "JackRecorder.h"
#include "JackTestServer.h"
#include "JackTimebaseMaster.h"
#include "LiveSong.h"
#include "WaitUntil.h"
#include "live/JackOutput.h"
#include "live/LiveInput.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace lw {
namespace {

using namespace std::chrono_literals;
using test::JackRecorder;
using test::JackTestServer;
using test::JackTimebaseMaster;

using test::Clicks;
using test::Onset;
using test::WaitUntil;

// The onsets of channel 1 in the first `frames` the recorder heard.
std::vector<Onset> Onsets(const JackRecorder& recorder, std::size_t frames) {
  return test::Onsets(recorder.ValuesAt(0, 0, frames, 65536.0F), recorder.firstFrame());
}

struct TransportFixture : ::testing::Test {
  JackTestServer server{{.synchronous = true}};
  std::unique_ptr<Engine> engine = test::NewEngine();
  std::unique_ptr<JackOutput> out;

  void SetUp() override {
    if (!server.up()) {
      GTEST_SKIP() << "no JACK server to test with: " << server.why();
    }
    out = std::make_unique<JackOutput>(*engine);
  }
  void TearDown() override {
    if (out != nullptr) {
      out->renderer().Stop();
      out->Close();
    }
  }
};

TEST_F(TransportFixture, FollowingAMasterEveryStepStartsOnTheFrameItsPositionImplies) {
  constexpr int kShuffle = 30;
  {
    const EngineHold hold(engine->engineLock);
    Clicks(*engine, 0, 0, 1000);
    engine->state.song.shuffle = kShuffle;
    engine->state.song.tempo = 100; // the song's own, which the master overrules
    engine->UpdateTiming();
  }
  out->SetTransportRole(TransportRole::Follow);
  ASSERT_EQ(out->Open(server.name()), "");
  JackTimebaseMaster daw(server, 128.5);
  ASSERT_TRUE(daw.ok());
  constexpr std::size_t kFrames = 3 * 44100;
  JackRecorder recorder(server, 1, kFrames);
  ASSERT_TRUE(recorder.ok());
  ASSERT_TRUE(recorder.ConnectFrom(out->clientName() + ":ch1", 0));
  recorder.Start();
  ASSERT_TRUE(recorder.WaitFor(1024));
  jack_transport_locate(daw.client(), 0);
  ASSERT_TRUE(WaitUntil([&] {
    jack_position_t pos{};
    return jack_transport_query(daw.client(), &pos) == JackTransportStopped && pos.frame == 0;
  }));
  jack_transport_start(daw.client());
  ASSERT_TRUE(recorder.WaitFor(kFrames));
  ASSERT_TRUE(daw.rolled());
  EXPECT_TRUE(out->transport().leading());
  EXPECT_DOUBLE_EQ(out->transport().leaderTempo(), 128.5);

  const auto onsets = Onsets(recorder, kFrames);
  ASSERT_GT(onsets.size(), 20U);
  for (std::size_t n = 0; n < onsets.size(); ++n) {
    const jack_nframes_t expected = daw.rolledAt() +
                                    daw.FrameOf(test::StepBeat(static_cast<int64_t>(n), kShuffle)) -
                                    daw.rolledFrom();
    EXPECT_EQ(onsets[n].frame, expected) << "step " << n;
  }
  // Stopping the transport stops the song.
  jack_transport_stop(daw.client());
  EXPECT_TRUE(WaitUntil([&] { return !out->renderer().Playing(); }));
}

TEST_F(TransportFixture, ALocateToBar9StartsTheSlotTheSongReachesThere) {
  {
    const EngineHold hold(engine->engineLock);
    for (int p = 0; p < 3; ++p) {
      Clicks(*engine, p, p, static_cast<int16_t>(1000 + 2000 * p));
      engine->state.sequence.slots[p] = {0, static_cast<int8_t>(p)};
    }
    engine->songMode = true;
    engine->state.loopEnabled = true; // slots 0 to 2 over and over
    engine->state.loopFirstSlot = 0;
    engine->state.loopLastSlot = 2;
  }
  out->SetTransportRole(TransportRole::Follow);
  ASSERT_EQ(out->Open(server.name()), "");
  JackTimebaseMaster daw(server, 128.5);
  ASSERT_TRUE(daw.ok());
  constexpr std::size_t kFrames = 44100;
  JackRecorder recorder(server, 1, kFrames);
  ASSERT_TRUE(recorder.ok());
  ASSERT_TRUE(recorder.ConnectFrom(out->clientName() + ":ch1", 0));
  // Bar 9, beat 3: 8 patterns on (slots 0, 1, 2, 0, 1, 2, 0, 1, then 2), step 8.
  const jack_nframes_t bar9 = daw.FrameOf(8 * 4 + 2);
  jack_transport_locate(daw.client(), bar9);
  ASSERT_TRUE(WaitUntil([&] {
    jack_position_t pos{};
    return jack_transport_query(daw.client(), &pos) == JackTransportStopped && pos.frame == bar9;
  }));
  recorder.Start();
  ASSERT_TRUE(recorder.WaitFor(1024));
  jack_transport_start(daw.client());
  ASSERT_TRUE(recorder.WaitFor(kFrames));
  const auto onsets = Onsets(recorder, kFrames);
  ASSERT_GT(onsets.size(), 6U);
  EXPECT_EQ(onsets[0].frame, daw.rolledAt()) << "step 8 begins where the transport rolls from";
  EXPECT_EQ(onsets[0].value, 5001) << "slot 2's pattern";
  // The steps after it follow the grid; after step 15 the song moves on to slot 0.
  for (std::size_t n = 1; n < onsets.size(); ++n) {
    const int64_t step = 8 * 16 + 8 + static_cast<int64_t>(n);
    EXPECT_EQ(onsets[n].frame, daw.rolledAt() + daw.FrameOf(test::StepBeat(step, 0)) - bar9) << n;
    EXPECT_EQ(onsets[n].value, 1001 + 2000 * ((step / 16) % 3)) << n; // slot (bar - 1) % 3
  }
}

TEST_F(TransportFixture, AsMasterItsTempoIsWhatAnotherClientReads) {
  out->SetTransportRole(TransportRole::Master);
  out->transport().SetSongTempo(137);
  ASSERT_EQ(out->Open(server.name()), "");
  jack_client_t* look = server.Connect("look");
  ASSERT_NE(look, nullptr);
  jack_position_t pos{};
  jack_transport_locate(look, 44100 * 60 / 137 * 6); // about bar 2, beat 3
  ASSERT_TRUE(WaitUntil([&] {
    jack_transport_query(look, &pos);
    return pos.frame == 44100 * 60 / 137 * 6 && (pos.valid & JackPositionBBT) != 0;
  }));
  EXPECT_DOUBLE_EQ(pos.beats_per_minute, 137.0);
  EXPECT_EQ(pos.bar, 2);
  EXPECT_EQ(pos.beat, 2);
  EXPECT_EQ(pos.beats_per_bar, 4.0F);
  jack_client_close(look);
}

// Leading, LoopWren sends Start on the song's first frame and 24 ticks a beat, every
// sixth on the frame a step starts and the ones between within a frame of even, then Stop.
TEST_F(TransportFixture, LeadingItsClockRunsOnTheStepsFrames) {
  {
    const EngineHold hold(engine->engineLock);
    engine->state.song.tempo = 120; // steps of 5512 frames; ticks 918.67 apart
    engine->UpdateTiming();
  }
  ASSERT_EQ(out->Open(server.name()), "");
  test::JackMidiRecorder midi(server, 4096);
  ASSERT_TRUE(midi.ok());
  ASSERT_TRUE(midi.ConnectFrom(out->clientName() + ":" + JackOutput::kClockPortName));
  ASSERT_TRUE(out->renderer().PlayBtnClick());
  ASSERT_TRUE(WaitUntil([&] { return midi.count() > 24 * 8; })); // 4 s
  const auto start = static_cast<jack_nframes_t>(out->renderer().sessionStart());
  ASSERT_FALSE(out->renderer().PlayBtnClick());
  ASSERT_TRUE(
      WaitUntil([&] { return !midi.Events().empty() && midi.Events().back().status == 0xFC; }));

  const auto events = midi.Events();
  ASSERT_EQ(events[0].status, 0xFA);
  std::vector<jack_nframes_t> ticks;
  for (const auto& e : events) {
    if (e.status == 0xF8) {
      ticks.push_back(e.frame);
    }
  }
  ASSERT_GE(ticks.size(), 24U * 8);
  EXPECT_EQ(events[0].frame, ticks[0]) << "Start comes with the first tick";
  constexpr jack_nframes_t kStep = 5512;
  for (std::size_t i = 1; i < ticks.size(); ++i) {
    const double interval = static_cast<double>(ticks[i] - ticks[i - 1]);
    EXPECT_LE(std::abs(interval - kStep / 6.0), 1.0) << "tick " << i;
    if (i % 6 == 0) {
      // The engine's first step after a start is a frame short: steps begin at
      // start - 1 + k * 5512.
      EXPECT_EQ(ticks[i], start - 1 + kStep * static_cast<jack_nframes_t>(i / 6)) << "tick " << i;
    }
  }
}

// A clock sent by a pad client with a millisecond of jitter at 123.5 BPM: the song starts
// on the frame of the tick after Start (one period on, as every MIDI sounds), locks to the
// tempo within 0.05 BPM, and its steps then land within a millisecond of the clock's grid.
TEST_F(TransportFixture, AJitteryMidiClockIsFollowed) {
  {
    const EngineHold hold(engine->engineLock);
    Clicks(*engine, 0, 0, 1000);
    engine->state.song.tempo = 100;
    engine->UpdateTiming();
  }
  out->clock().SetEnabled(true);
  ASSERT_EQ(out->Open(server.name()), "");
  test::JackMidiSender clock(server);
  ASSERT_TRUE(clock.ok());
  ASSERT_TRUE(clock.ConnectTo(out->clientName() + ":" + JackOutput::kMidiPortName));
  constexpr std::size_t kFrames = 6 * 44100;
  JackRecorder recorder(server, 1, kFrames);
  ASSERT_TRUE(recorder.ok());
  ASSERT_TRUE(recorder.ConnectFrom(out->clientName() + ":ch1", 0));
  recorder.Start();
  ASSERT_TRUE(recorder.WaitFor(1024));
  const double perTick = 44100 * 60.0 / 123.5 / 24;
  const jack_nframes_t first = clock.Now() + 8192;
  std::mt19937 random(11);
  std::uniform_real_distribution<double> jitter(-44.1, 44.1);
  clock.Send(first - 100, {0xFA, 0, 0});
  for (int t = 0; t < 24 * 10; ++t) {
    const double exact = first + perTick * t;
    clock.Send(static_cast<jack_nframes_t>(std::lround(exact + (t == 0 ? 0 : jitter(random)))),
               {0xF8, 0, 0});
  }
  ASSERT_TRUE(recorder.WaitFor(kFrames));
  EXPECT_EQ(clock.missed(), 0U);
  EXPECT_TRUE(out->clock().leading());
  EXPECT_NEAR(out->clock().leaderTempo(), 123.5, 0.05);
  const auto onsets = Onsets(recorder, kFrames);
  ASSERT_GT(onsets.size(), 30U);
  EXPECT_EQ(onsets[0].frame, first + 64) << "the first step sounds with the first tick";
  // From the third beat on (locked), each step within a millisecond of the clock's grid.
  for (std::size_t n = 8; n < onsets.size() && n < 36; ++n) {
    const double expected = first + 64 + perTick * 6 * static_cast<double>(n);
    EXPECT_NEAR(onsets[n].frame, expected, 44.1) << "step " << n;
  }
}

TEST(FramesIntoPeriod, PlacesAMomentByThePeriodsOwnTimes) {
  // A 64-frame period from 1000000 to 1001451 µs.
  struct Case {
    int64_t at;
    int64_t frames;
  };
  const Case cases[] = {{1000000, 0},  {1001451, 64}, {1000725, 32},
                        {998549, -64}, {999000, -44}, {1001474, 65}};
  for (const Case& c : cases) {
    EXPECT_EQ(FramesIntoPeriod(c.at, 1000000, 1001451, 64), c.frames) << c.at;
  }
  EXPECT_EQ(FramesIntoPeriod(5, 7, 7, 64), -128) << "a period of no time counts as 1 µs";
}

// The ALSA sequencer's reader hands the clock over as it comes, stamped with the moment:
// the leader places each message on the frame of its moment and follows it.
TEST_F(TransportFixture, AClockHandedOverIsFollowedByTheMomentsItCame) {
  {
    const EngineHold hold(engine->engineLock);
    Clicks(*engine, 0, 0, 1000);
    engine->state.song.tempo = 100;
    engine->UpdateTiming();
  }
  LiveInput input;
  out->SetInput(&input);
  out->clock().SetEnabled(true);
  ASSERT_EQ(out->Open(server.name()), "");
  const auto perTick = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(60.0 / 123.5 / 24));
  // The dummy server's frames do not run at exactly 44100 a second of the steady clock,
  // as no sound card's do: the tempo followed is the clock's in the server's frames.
  // A server just started runs unevenly for a moment; the clock comes once it has settled.
  jack_client_t* look = server.Connect("look");
  ASSERT_NE(look, nullptr);
  std::this_thread::sleep_for(1s);
  // On a loaded machine the server's rate drifts during the run: the tempo followed is
  // compared with the rate over the last beats, from which the follower's fit comes. The
  // rate is also taken beat by beat, to see how unevenly the server ran meanwhile.
  std::vector<std::pair<std::chrono::steady_clock::time_point, jack_nframes_t>> beats;
  // The messages carry the moments they were due, as a sequencer's stamped events do: a
  // late wake-up of this thread on a loaded machine moves none of them.
  std::thread sequencer([&] {
    auto next = std::chrono::steady_clock::now() + 50ms;
    std::this_thread::sleep_until(next);
    const auto stamp = [&] {
      return std::chrono::duration_cast<std::chrono::microseconds>(next.time_since_epoch()).count();
    };
    input.ReceiveAt({0xFA, 0, 0}, stamp());
    for (int t = 0; t <= 24 * 8; ++t) {
      if (t >= 24 * 5 && t % 24 == 0) {
        beats.emplace_back(std::chrono::steady_clock::now(), jack_frame_time(look));
      }
      if (t < 24 * 8) {
        input.ReceiveAt({0xF8, 0, 0}, stamp());
        next += perTick;
        std::this_thread::sleep_until(next);
      }
    }
  });
  EXPECT_TRUE(WaitUntil([&] { return out->renderer().Playing(); })) << "Start starts the song";
  sequencer.join();
  jack_client_close(look);
  ASSERT_EQ(beats.size(), 4U);
  // The clock's tempo in the server's frames, over the three beats and over each.
  const auto tempoBetween = [&](std::size_t a, std::size_t b) {
    const double seconds = std::chrono::duration<double>(beats[b].first - beats[a].first).count();
    const double framesPerSecond = (beats[b].second - beats[a].second) / seconds;
    return 123.5 * 44100 / framesPerSecond;
  };
  const double reference = tempoBetween(0, 3);
  double uneven = 0;
  for (std::size_t b = 0; b < 3; ++b) {
    uneven = std::max(uneven, std::abs(tempoBetween(b, b + 1) - reference));
  }
  EXPECT_TRUE(out->clock().leading());
  // A dummy server starved by a loaded machine stretches its periods unevenly, and both
  // the mapping of moments to frames and this reference see that, each a little
  // differently: within one BPM, under 1 % (typically 0.002 to 0.04 BPM on an idle
  // machine, up to 0.85 with two busy loops on a 2-core one), or within what the reference
  // itself wandered from beat to beat when the server ran more unevenly still. The
  // mapping's arithmetic is pinned exactly by FramesIntoPeriod's own test.
  EXPECT_NEAR(out->clock().leaderTempo(), reference, std::max(1.0, uneven))
      << "the reference wandered " << uneven << " BPM from beat to beat";
  input.Receive({0xFC, 0, 0});
  EXPECT_TRUE(WaitUntil([&] { return !out->renderer().Playing(); })) << "Stop stops it";
  out->renderer().Stop();
  out->Close();
}

// jack_midi_clock, a program of its own, sends MIDI clock from a transport a master runs
// at 123.5 BPM: LoopWren starts with its Start, follows its tempo and stops with its Stop.
TEST_F(TransportFixture, FollowingAMidiClockItsTempoAndStartAndStopLead) {
  {
    const EngineHold hold(engine->engineLock);
    Clicks(*engine, 0, 0, 1000);
    engine->state.song.tempo = 100;
    engine->UpdateTiming();
  }
  out->clock().SetEnabled(true);
  ASSERT_EQ(out->Open(server.name()), "");
  JackTimebaseMaster daw(server, 123.5);
  ASSERT_TRUE(daw.ok());
  const std::string command =
      "JACK_DEFAULT_SERVER=" + server.name() + " exec jack_midi_clock >/dev/null 2>&1";
  const pid_t sender = ::fork();
  if (sender == 0) {
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ASSERT_GT(sender, 0);
  jack_client_t* look = server.Connect("look");
  ASSERT_NE(look, nullptr);
  const bool connected = WaitUntil(
      [&] {
        return jack_connect(look, "jack_midi_clock:mclk_out",
                            (out->clientName() + ":" + JackOutput::kMidiPortName).c_str()) == 0;
      },
      10s);
  if (!connected) {
    ::kill(sender, SIGINT);
    ::waitpid(sender, nullptr, 0);
    jack_client_close(look);
    GTEST_SKIP() << "jack_midi_clock did not come up (is the jack-midi-clock package installed?)";
  }
  EXPECT_FALSE(out->renderer().Playing());
  // The sender says Start only in the period it sees the transport begin to roll. A port
  // connects once its client is active, which may be before its first period; and on a
  // loaded machine a late period loses its events. Then only ticks come, on which nobody
  // may start: the transport is stopped and started again, as a musician would.
  int starts = 0;
  bool started = false;
  while (!started && starts < 4) {
    ++starts;
    const uint64_t periods = daw.periods();
    ASSERT_TRUE(WaitUntil([&] { return daw.periods() >= periods + 3; }));
    jack_transport_locate(daw.client(), 0);
    jack_transport_start(daw.client());
    started = WaitUntil([&] { return out->renderer().Playing(); }, 5s);
    if (!started) {
      jack_transport_stop(daw.client());
    }
  }
  if (out->clock().messagesTaken() == 0) {
    ::kill(sender, SIGINT);
    ::waitpid(sender, nullptr, 0);
    jack_client_close(look);
    GTEST_SKIP() << "jack_midi_clock, connected, sent no clock in " << starts << " starts";
  }
  EXPECT_TRUE(started) << "Start starts the song (" << starts << " transport starts)";
  // Locked within a few beats of the first tick (however long the sender takes to start
  // on a busy machine), and it stays so.
  const auto near = [&] {
    return out->clock().leading() && std::abs(out->clock().leaderTempo() - 123.5) <= 0.05;
  };
  EXPECT_TRUE(WaitUntil(near, 30s)) << out->clock().leaderTempo();
  std::this_thread::sleep_for(2s);
  EXPECT_TRUE(near()) << out->clock().leaderTempo();
  jack_transport_stop(daw.client());
  EXPECT_TRUE(WaitUntil([&] { return !out->renderer().Playing(); })) << "Stop stops it";
  ::kill(sender, SIGINT);
  ::waitpid(sender, nullptr, 0);
  jack_client_close(look);
}

} // namespace
} // namespace lw
