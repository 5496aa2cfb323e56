// MIDI into the JACK client on a dummy server of the test's own: a pad client sends notes
// at known frames, a recorder takes LoopWren's mix. Each note sounds exactly one period
// after its frame, and recording puts each note into the step the listener heard.
#include "JackMidiSender.h"
#include "JackRecorder.h"
#include "JackTestServer.h"
#include "LiveSong.h"
#include "WaitUntil.h"
#include "live/JackOutput.h"
#include "song/Round.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace lw {
namespace {

using namespace std::chrono_literals;
using test::JackMidiSender;
using test::JackRecorder;
using test::JackTestServer;

constexpr jack_nframes_t kPeriod = 64;

using test::WaitUntil;

struct JackMidiFixture : ::testing::Test {
  JackTestServer server{{.synchronous = true}};
  std::unique_ptr<Engine> engine = test::NewEngine();
  LiveInput input;
  std::unique_ptr<JackOutput> out;
  std::unique_ptr<JackMidiSender> pads;

  void SetUp() override {
    if (!server.up()) {
      GTEST_SKIP() << "no JACK server to test with: " << server.why();
    }
    test::MakeLiveSong(*engine);
    out = std::make_unique<JackOutput>(*engine);
    out->SetInput(&input);
    ASSERT_EQ(out->Open(server.name()), "");
    pads = std::make_unique<JackMidiSender>(server);
    ASSERT_TRUE(pads->ok());
    ASSERT_TRUE(pads->ConnectTo(out->clientName() + ":" + JackOutput::kMidiPortName));
  }
  void TearDown() override {
    if (out != nullptr) {
      out->renderer().Stop();
      out->Close();
    }
  }
};

TEST_F(JackMidiFixture, ANoteSoundsExactlyOnePeriodAfterItsFrame) {
  constexpr std::size_t kFrames = 44100;
  JackRecorder recorder(server, 1, kFrames);
  ASSERT_TRUE(recorder.ok());
  ASSERT_TRUE(recorder.ConnectFrom(out->clientName() + ":mix", 0));
  recorder.Start();
  ASSERT_TRUE(recorder.WaitFor(kPeriod * 4));
  // Notes at the first, an inner and the last frame of a period, far enough apart for
  // each to be heard alone; the kick's channel, played while the song is stopped.
  const jack_nframes_t base = pads->Now() + 100 * kPeriod;
  constexpr std::size_t kApart = 6000;
  const std::vector<jack_nframes_t> offsets{0, 37, kPeriod - 1};
  std::vector<jack_nframes_t> times;
  for (std::size_t i = 0; i < offsets.size(); ++i) {
    const jack_nframes_t period = base - (base - recorder.firstFrame()) % kPeriod;
    times.push_back(period + static_cast<jack_nframes_t>(i * kApart / kPeriod * kPeriod) +
                    offsets[i]);
    pads->Send(times.back(), {0x99, 36, 100});
  }
  ASSERT_TRUE(recorder.WaitFor(kFrames));
  EXPECT_EQ(pads->missed(), 0U);
  ASSERT_EQ(pads->sent(), offsets.size());

  const auto expected = test::LiveReference(
      false, 0, 2000, [](Engine& e) { e.PlayLiveNote(0, 0, StepNoteOfMidiNote(36), 100); });
  const auto place = recorder.Find(recorder.firstFrame());
  ASSERT_TRUE(place.has_value());
  for (std::size_t i = 0; i < times.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "offset " << offsets[i]);
    const std::size_t at = times[i] + kPeriod - recorder.firstFrame();
    EXPECT_EQ(recorder.ValuesAt(0, at, 2000),
              std::vector<int32_t>(expected.begin(), expected.end()))
        << "the note's sound begins on frame " << at;
    if (i == 0) {
      const auto before = recorder.ValuesAt(0, at - 1000, 1000);
      EXPECT_TRUE(std::all_of(before.begin(), before.end(), [](int32_t v) { return v == 0; }))
          << "silence until the first note";
    }
  }
  EXPECT_EQ(out->renderer().counters().lateFrames, 0U);
}

// The step lengths a tempo and shuffle give, worked out here on their own.
std::array<int64_t, kSteps> StepLengths(int tempo, int shuffle) {
  const int64_t step = RoundHalfEven(2646000.0 / (tempo * 4));
  const int64_t longStep =
      RoundHalfEven(static_cast<double>(step) / 100 * shuffle + static_cast<double>(step));
  std::array<int64_t, kSteps> lengths{};
  for (int k = 0; k < kSteps; ++k) {
    lengths[static_cast<std::size_t>(k)] = k % 2 == 0 ? longStep : 2 * step - longStep;
  }
  return lengths;
}

TEST_F(JackMidiFixture, RecordedNotesLandInTheStepsTheListenerHeard) {
  for (const int tempo : {120, 160}) {
    SCOPED_TRACE(testing::Message() << tempo << " BPM");
    {
      const EngineHold hold(engine->engineLock);
      engine->state.song.tempo = tempo;
      engine->state.song.shuffle = 30;
      engine->UpdateTiming();
    }
    // The mix goes to the speakers only, whose latency the server reports: the listener
    // hears each frame that long after it leaves.
    jack_latency_range_t latency{};
    jack_client_t* look = server.Connect("look");
    ASSERT_NE(look, nullptr);
    ASSERT_TRUE(WaitUntil([&] {
      jack_port_get_latency_range(jack_port_by_name(look, (out->clientName() + ":mix").c_str()),
                                  JackPlaybackLatency, &latency);
      return latency.min > 0 && out->heardLatency() == latency.min;
    })) << "the server reports the speakers' latency";
    jack_client_close(look);

    input.SetRecording(true);
    ASSERT_TRUE(out->renderer().PlayBtnClick());
    ASSERT_TRUE(
        WaitUntil([&] { return out->renderer().sessionStart() != PeriodRenderer::kNoFrame; }));
    const auto start = static_cast<jack_nframes_t>(out->renderer().sessionStart());
    // The second pass through the pattern begins one frame before a whole pattern: the
    // first step 0 after a start is a frame short.
    const auto lengths = StepLengths(tempo, 30);
    int64_t at = -1;
    for (const int64_t length : lengths) {
      at += length;
    }
    const int notes[] = {36, 38, 42};
    std::vector<int> channels;
    for (int k = 0; k < kSteps; ++k) {
      const int64_t length = lengths[static_cast<std::size_t>(k)];
      const int64_t previous = lengths[static_cast<std::size_t>((k + kSteps - 1) % kSteps)];
      // Early, on time and late: the early and late ones 20 frames short of the middle
      // between two steps, so that a latency not taken off would put them in the wrong step.
      const int64_t off = k % 3 == 0 ? -(previous / 2 - 20) : (k % 3 == 1 ? 0 : length / 2 - 20);
      pads->Send(start + static_cast<jack_nframes_t>(at + off) + latency.min,
                 {0x99, static_cast<uint8_t>(notes[k % 3]), static_cast<uint8_t>(20 + k)});
      channels.push_back(k % 3);
      at += length;
    }
    std::vector<LiveReport> reports;
    ASSERT_TRUE(WaitUntil([&] {
      LiveReport r;
      while (input.NextReport(r)) {
        reports.push_back(r);
      }
      return reports.size() >= kSteps;
    })) << "every note was reported";
    out->renderer().Stop();
    input.SetRecording(false);
    EXPECT_EQ(pads->missed(), 0U);
    for (int k = 0; k < kSteps; ++k) {
      const LiveReport& r = reports[static_cast<std::size_t>(k)];
      EXPECT_EQ(r.step, k) << "note " << k;
      EXPECT_EQ(r.channel, channels[static_cast<std::size_t>(k)]);
      EXPECT_EQ(r.value, 20 + k);
      EXPECT_EQ(r.bank, 0);
      EXPECT_EQ(r.pattern, 0);
    }
  }
}

} // namespace
} // namespace lw
