// The JACK client on a dummy server of the test's own, recorded by a client of the test's
// as a mixer would record it. The server runs synchronously: on a busy machine a late
// period is then late for every client, never run for the output and skipped for the
// recorder, so what is recorded is exactly what was played.
#include "live/JackOutput.h"
#include "BusySong.h"
#include "FakeAudioDevice.h"
#include "FakePrompts.h"
#include "JackRecorder.h"
#include "JackTestServer.h"
#include "LiveSong.h"
#include "WaitUntil.h"
#include "live/LiveOutputs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace lw {
namespace {

using namespace std::chrono_literals;
using test::JackRecorder;
using test::JackTestServer;

using test::WaitUntil;

std::vector<std::string> Ports(jack_client_t* client, const char* pattern, const char* type,
                               unsigned long flags) {
  std::vector<std::string> names;
  if (const char** ports = jack_get_ports(client, pattern, type, flags)) {
    for (const char** p = ports; *p != nullptr; ++p) {
      names.emplace_back(*p);
    }
    jack_free(static_cast<void*>(ports));
  }
  return names;
}

std::vector<int32_t> Widened(const std::vector<int16_t>& v) {
  return {v.begin(), v.end()};
}

// Where `heard` departs from `song` with one stretch of `gap` frames of silence put in
// at a period's start (periods the output had nothing ready for), or nothing when it
// does not.
template <typename Song>
std::optional<std::size_t> DepartureWithGap(const std::vector<int32_t>& heard, const Song& song,
                                            std::size_t period, std::size_t gap) {
  std::size_t h = 0;
  while (h < heard.size() && h < song.size() && heard[h] == song[h]) {
    ++h;
  }
  if (h == heard.size()) {
    return gap == 0 ? std::nullopt : std::optional<std::size_t>(h);
  }
  // The song itself may be silent for a few samples where the gap began.
  const std::size_t g = h - h % period;
  const auto begin = heard.begin() + static_cast<std::ptrdiff_t>(g);
  if (gap == 0 || g + gap > heard.size() ||
      !std::all_of(begin, begin + static_cast<std::ptrdiff_t>(gap),
                   [](int32_t v) { return v == 0; })) {
    return h;
  }
  for (std::size_t i = g + gap; i < heard.size(); ++i) {
    if (i - gap >= song.size() || heard[i] != song[i - gap]) {
      return i;
    }
  }
  return std::nullopt;
}

// Where the recorder holds the first frame of the output's session, once it has it.
std::size_t SessionIndex(const JackOutput& out, const JackRecorder& recorder) {
  std::optional<JackRecorder::Place> place;
  const bool found = WaitUntil([&] {
    const OutputFrame start = out.renderer().sessionStart();
    if (start != PeriodRenderer::kNoFrame) {
      place = recorder.Find(static_cast<jack_nframes_t>(start));
    }
    return place.has_value();
  });
  EXPECT_TRUE(found) << "the session started while the recorder recorded";
  EXPECT_EQ(place.value_or(JackRecorder::Place{}).late, 0U) << "the first period was recorded";
  return place ? place->index : recorder.frames();
}

struct JackFixture : ::testing::Test {
  JackTestServer server{{.synchronous = true}};
  void SetUp() override {
    if (!server.up()) {
      GTEST_SKIP() << "no JACK server to test with: " << server.why();
    }
  }
};

TEST_F(JackFixture, TheClientAppearsWithItsPortsAndTheMixReachesTheSpeakers) {
  auto engine = test::NewEngine();
  JackOutput out(*engine);
  ASSERT_EQ(out.Open(server.name()), "");
  EXPECT_EQ(out.clientName(), "LoopWren");
  EXPECT_EQ(out.periodFrames(), 64U);
  jack_client_t* look = server.Connect("look");
  ASSERT_NE(look, nullptr);
  EXPECT_EQ(
      Ports(look, "^LoopWren:", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput),
      (std::vector<std::string>{"LoopWren:mix", "LoopWren:ch1", "LoopWren:ch2", "LoopWren:ch3"}));
  EXPECT_EQ(Ports(look, "^LoopWren:", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput),
            std::vector<std::string>{"LoopWren:midi_in"});
  EXPECT_EQ(Ports(look, "^LoopWren:", nullptr, JackPortIsInput).size(), 1U) << "no audio input";
  jack_port_t* mix = jack_port_by_name(look, "LoopWren:mix");
  EXPECT_TRUE(jack_port_connected_to(mix, "system:playback_1"));
  EXPECT_TRUE(jack_port_connected_to(mix, "system:playback_2"));
  EXPECT_FALSE(
      jack_port_connected_to(jack_port_by_name(look, "LoopWren:ch1"), "system:playback_1"));
  // What a note on midi_in starts leaves one period later: the period held ahead.
  jack_latency_range_t latency{};
  ASSERT_TRUE(WaitUntil([&] {
    jack_port_get_latency_range(jack_port_by_name(look, "LoopWren:ch2"), JackCaptureLatency,
                                &latency);
    return latency.max != 0;
  }));
  EXPECT_EQ(latency.min, 64U);
  EXPECT_EQ(latency.max, 64U);

  // A second program is told apart by the server, and closing leaves no port behind.
  JackOutput second(*engine);
  ASSERT_EQ(second.Open(server.name()), "");
  EXPECT_NE(second.clientName(), "LoopWren");
  out.Close();
  second.Close();
  EXPECT_TRUE(Ports(look, "^LoopWren", nullptr, 0).empty());
  jack_client_close(look);
}

TEST_F(JackFixture, TheMixAndStemPortsCarryTheBusySongSampleForSample) {
  auto engine = bench::BusySong();
  JackOutput out(*engine);
  ASSERT_EQ(out.Open(server.name()), "");
  constexpr std::size_t kFrames = 44100; // a second
  JackRecorder recorder(server, 4, 3 * kFrames);
  ASSERT_TRUE(recorder.ok());
  for (int p = 0; p < 4; ++p) {
    ASSERT_TRUE(recorder.ConnectFrom(out.clientName() + ":" + JackOutput::kPortNames[p], p));
  }
  recorder.Start();
  ASSERT_TRUE(recorder.WaitFor(256));
  ASSERT_TRUE(out.renderer().PlayBtnClick());
  const std::size_t at = SessionIndex(out, recorder);
  ASSERT_TRUE(recorder.WaitFor(at + kFrames));
  out.renderer().Stop();

  const auto offline = test::RenderFrom(*bench::BusySong(), kFrames);
  const auto before = recorder.ValuesAt(0, 0, at);
  EXPECT_TRUE(std::all_of(before.begin(), before.end(), [](int32_t v) { return v == 0; }))
      << "silence before the start";
  EXPECT_EQ(recorder.ValuesAt(0, at, kFrames), Widened(offline.mix));
  for (int c = 0; c < kChannels; ++c) {
    EXPECT_EQ(recorder.ValuesAt(1 + c, at, kFrames, 65536.0F),
              offline.stems[static_cast<std::size_t>(c)])
        << "ch" << c + 1;
  }
  EXPECT_EQ(out.renderer().counters().lateFrames, 0U);
  out.Close();
}

// The step light's source under JACK: each period names the engine sample it begins to
// play, a period behind what the renderer holds ahead; nothing while stopped.
TEST_F(JackFixture, TheSongCursorFollowsThePeriodsTheServerPlays) {
  auto engine = bench::BusySong();
  JackOutput out(*engine);
  ASSERT_EQ(out.Open(server.name()), "");
  EXPECT_FALSE(out.songCursor()) << "stopped";
  ASSERT_TRUE(out.renderer().PlayBtnClick());
  ASSERT_TRUE(WaitUntil([&] { return out.songCursor().has_value(); }));
  uint64_t last = 0;
  int moves = 0;
  for (int k = 0; k < 200 && moves < 20; ++k) {
    const uint64_t rendered = engine->renderedSamples.load();
    const auto cursor = out.songCursor();
    ASSERT_TRUE(cursor);
    EXPECT_EQ(cursor->stride, 64U) << "a period";
    EXPECT_GE(cursor->sample, last) << "never backwards";
    moves += cursor->sample > last ? 1 : 0;
    last = cursor->sample;
    // Read apart from the period, so a period may come between the two.
    EXPECT_LE(cursor->sample, rendered + 64);
    EXPECT_GE(cursor->sample + 3 * 64, rendered) << "held at most a period or two ahead";
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_GE(moves, 20) << "it moves with the periods";
  const auto mark = engine->trace.At(last);
  ASSERT_TRUE(mark);
  EXPECT_LE(mark->sample, last);
  out.renderer().Stop();
  EXPECT_TRUE(WaitUntil([&] { return !out.songCursor().has_value(); })) << "stopped";
  out.Close();
}

// An edit holds the engine lock across many periods: the callback never waits for it,
// plays the period it holds ahead, then silence, and the song goes on where it stopped.
TEST_F(JackFixture, AnEngineLockHeldElsewhereNeverStallsTheServer) {
  auto engine = test::NewEngine();
  test::MakeLiveSong(*engine);
  JackOutput out(*engine);
  ASSERT_EQ(out.Open(server.name()), "");
  JackRecorder recorder(server, 1, 5 * 44100);
  ASSERT_TRUE(recorder.ok() && recorder.ConnectFrom(out.clientName() + ":mix", 0));
  recorder.Start();
  ASSERT_TRUE(out.renderer().PlayBtnClick());
  const std::size_t at = SessionIndex(out, recorder);
  ASSERT_TRUE(WaitUntil([&] { return out.renderer().counters().periods > 50; }));

  uint64_t periodsWhileHeld = 0;
  {
    const EngineHold edit(engine->engineLock);
    const uint64_t before = out.renderer().counters().periods;
    std::this_thread::sleep_for(100ms); // about 69 periods
    periodsWhileHeld = out.renderer().counters().periods - before;
  }
  EXPECT_GT(periodsWhileHeld, 10U) << "the server kept running its periods";
  const auto counters = out.renderer().counters();
  EXPECT_GE(counters.lockBusy, periodsWhileHeld);
  const auto gap = static_cast<std::size_t>(counters.lateFrames);
  EXPECT_GT(gap, 0U);
  const std::size_t length = gap + 44100;
  ASSERT_TRUE(recorder.WaitFor(at + length));
  out.renderer().Stop();

  // The recording is the song with one stretch of silence, as long as the late frames,
  // where the lock was taken.
  const auto heard = recorder.ValuesAt(0, at, length);
  const auto song = test::RenderOffline([](Engine& e) { test::MakeLiveSong(e); }, length);
  const auto departs = DepartureWithGap(heard, song.mix, 64, gap);
  EXPECT_FALSE(departs) << "the song with one gap of " << gap << " frames departs at frame "
                        << departs.value_or(0);
  out.Close();
}

TEST_F(JackFixture, AServerAtAnotherRateIsRefused) {
  JackTestServer fast({.rate = 48000});
  if (!fast.up()) {
    GTEST_SKIP() << "no second JACK server: " << fast.why();
  }
  auto engine = test::NewEngine();
  JackOutput out(*engine);
  const std::string why = out.Open(fast.name());
  EXPECT_NE(why.find("48000 Hz"), std::string::npos) << why;
  EXPECT_FALSE(out.isOpen());
}

// The outputs of the program, over a fake device standing in for SDL.
struct OutputsFixture : JackFixture {
  std::unique_ptr<Engine> engine = test::NewEngine();
  test::FakePrompts prompts;
  test::FakeAudioDevice* device = nullptr;
  std::unique_ptr<WaveOut> waveOut;
  std::unique_ptr<LivePlayback> sdl;
  std::unique_ptr<LiveOutputs> outputs;
  int refreshes = 0;

  void SetUp() override {
    JackFixture::SetUp();
    test::MakeLiveSong(*engine);
    auto fake = std::make_unique<test::FakeAudioDevice>();
    device = fake.get();
    waveOut = std::make_unique<WaveOut>(std::move(fake), prompts);
    sdl = std::make_unique<LivePlayback>(*engine, *waveOut);
    Make(server.name());
  }
  void Make(const std::string& jackServer) {
    outputs.reset();
    outputs = std::make_unique<LiveOutputs>(*engine, *waveOut, *sdl, jackServer);
    outputs->refreshDisplay = [this] { ++refreshes; };
  }
  void TearDown() override {
    if (outputs != nullptr) {
      outputs->FormClose();
    }
  }
  // What the fake device plays next, as the SDL device pulls it.
  std::vector<int16_t> PlaySdl(std::size_t frames) {
    std::vector<int16_t> out;
    while (out.size() < frames) {
      const auto part = device->PullNow(1024);
      out.insert(out.end(), part.begin(), part.end());
      waveOut->WaitForCallbacks();
    }
    return out;
  }
  static bool Sounds(const std::vector<int16_t>& v) {
    return std::any_of(v.begin(), v.end(), [](int16_t s) { return s != 0; });
  }
};

TEST_F(OutputsFixture, TheChoiceDecidesTheOutputAndOnlyAnAskedForJackComplains) {
  struct Case {
    OutputChoice choice;
    bool serverRuns;
    LiveOutputs::Active active;
    bool complaint;
  };
  const Case cases[] = {
      {OutputChoice::Auto, true, LiveOutputs::Active::Jack, false},
      {OutputChoice::Auto, false, LiveOutputs::Active::Sdl, false},
      {OutputChoice::Jack, true, LiveOutputs::Active::Jack, false},
      {OutputChoice::Jack, false, LiveOutputs::Active::Sdl, true},
      {OutputChoice::Sdl, true, LiveOutputs::Active::Sdl, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(OutputChoiceKey(c.choice)) + (c.serverRuns ? " server" : " none"));
    Make(c.serverRuns ? server.name() : server.name() + "-none");
    device->opens = 0;
    outputs->Choose(c.choice);
    outputs->OpenOutput();
    EXPECT_EQ(outputs->active(), c.active);
    EXPECT_EQ(device->opens.load(), c.active == LiveOutputs::Active::Sdl ? 1 : 0);
    const std::string told = outputs->Poll();
    EXPECT_EQ(!told.empty(), c.complaint) << told;
    if (c.complaint) {
      EXPECT_NE(told.find("no JACK server is running"), std::string::npos) << told;
    }
    EXPECT_EQ(outputs->Poll(), "") << "told once";
    outputs->FormClose();
  }
}

TEST_F(OutputsFixture, SwitchingOutputsWhilePlayingKeepsTheSongPlaying) {
  outputs->Choose(OutputChoice::Sdl);
  outputs->OpenOutput();
  outputs->PlayBtnClick();
  EXPECT_EQ(refreshes, 1);
  ASSERT_TRUE(Sounds(PlaySdl(12289 + 8192)));

  EXPECT_EQ(outputs->Use(OutputChoice::Jack), "");
  ASSERT_EQ(outputs->active(), LiveOutputs::Active::Jack);
  EXPECT_FALSE(device->open) << "SDL lets the device go";
  JackRecorder recorder(server, 1, 3 * 44100);
  ASSERT_TRUE(recorder.ok() && recorder.ConnectFrom("LoopWren:mix", 0));
  recorder.Start();
  ASSERT_TRUE(recorder.WaitFor(22050));
  EXPECT_TRUE(engine->playing);
  const auto heard = recorder.ValuesAt(0, 0, 22050);
  EXPECT_TRUE(std::any_of(heard.begin(), heard.end(), [](int32_t v) { return v != 0; }));

  EXPECT_EQ(outputs->Use(OutputChoice::Sdl), "");
  ASSERT_EQ(outputs->active(), LiveOutputs::Active::Sdl);
  EXPECT_TRUE(engine->playing);
  EXPECT_TRUE(device->open);
  EXPECT_TRUE(Sounds(PlaySdl(12289 + 8192)));
  EXPECT_TRUE(Ports(recorder.client(), "^LoopWren", nullptr, 0).empty()) << "the client left";

  outputs->PlayBtnClick();
  EXPECT_FALSE(engine->playing);
  EXPECT_EQ(refreshes, 2);
}

TEST_F(OutputsFixture, AServerThatDiesMidPlayLeavesTheSongPlayingThroughSdl) {
  for (const bool kill : {true, false}) {
    SCOPED_TRACE(kill ? "killed" : "stopped");
    JackTestServer doomed;
    ASSERT_TRUE(doomed.up()) << doomed.why();
    Make(doomed.name());
    outputs->Choose(OutputChoice::Auto);
    outputs->OpenOutput();
    ASSERT_EQ(outputs->active(), LiveOutputs::Active::Jack);
    outputs->PlayBtnClick();
    ASSERT_TRUE(WaitUntil(
        [&] { return outputs->jack()->renderer().sessionStart() != PeriodRenderer::kNoFrame; }));
    EXPECT_EQ(outputs->Poll(), "");

    if (kill) {
      doomed.Kill();
    } else {
      doomed.Stop();
    }
    std::string told;
    ASSERT_TRUE(WaitUntil([&] {
      told = outputs->Poll();
      return !told.empty();
    })) << "the loss is noticed";
    EXPECT_NE(told.find("The JACK server stopped"), std::string::npos) << told;
    EXPECT_EQ(outputs->active(), LiveOutputs::Active::Sdl);
    EXPECT_EQ(outputs->jack(), nullptr);
    EXPECT_TRUE(engine->playing);
    EXPECT_TRUE(Sounds(PlaySdl(12289 + 8192))) << "the song plays on through SDL";
    outputs->PlayBtnClick();
    EXPECT_FALSE(engine->playing);
    outputs->FormClose();
  }
}

} // namespace
} // namespace lw
