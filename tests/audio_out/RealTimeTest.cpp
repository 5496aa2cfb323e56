// The audio callback's contract, checked by instruments: this program counts every heap
// allocation, every release and every mutex lock made by a thread while it is "armed",
// and by JACK's process thread while it is watched. The device thread's pull and the JACK
// process callback must make none; the block-finished path must allocate and free nothing.
#include "BusyLock.h"
#include "EngineHelpers.h"
#include "FakeAudioDevice.h"
#include "FakePrompts.h"
#include "JackMidiSender.h"
#include "JackTestServer.h"
#include "JackTimebaseMaster.h"
#include "LiveSong.h"
#include "PluginHost.h"
#include "TempDir.h"
#include "WaitUntil.h"
#include "audio_out/Playback.h"
#include "audio_out/SamplePreview.h"
#include "commands/SongCommands.h"
#include "live/JackOutput.h"
#include "live/LinkSession.h"

#include <ableton/Link.hpp>
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace {

thread_local bool armed = false;
thread_local int allocations = 0;
thread_local int frees = 0;
thread_local int locks = 0;

// A thread the test does not run: counted from outside while `watching`.
std::atomic<bool> watching{false};
std::atomic<pthread_t> watched{};
std::atomic<int> watchedAllocations{0};
std::atomic<int> watchedLocks{0};

bool Watched() {
  return watching.load(std::memory_order_relaxed) &&
         pthread_equal(pthread_self(), watched.load(std::memory_order_relaxed)) != 0;
}

void* CountedAlloc(std::size_t size) {
  if (armed) {
    ++allocations;
  } else if (Watched()) {
    ++watchedAllocations;
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) {
    return p;
  }
  throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size) {
  return CountedAlloc(size);
}
void* operator new[](std::size_t size) {
  return CountedAlloc(size);
}
void* operator new(std::size_t size, const std::nothrow_t& /*tag*/) noexcept {
  if (armed) {
    ++allocations;
  } else if (Watched()) {
    ++watchedAllocations;
  }
  return std::malloc(size == 0 ? 1 : size);
}
namespace {

void CountedFree(void* p) noexcept {
  if (armed && p != nullptr) {
    ++frees;
  }
  std::free(p);
}

} // namespace

void operator delete(void* p) noexcept {
  CountedFree(p);
}
void operator delete[](void* p) noexcept {
  CountedFree(p);
}
void operator delete(void* p, std::size_t /*size*/) noexcept {
  CountedFree(p);
}
void operator delete[](void* p, std::size_t /*size*/) noexcept {
  CountedFree(p);
}

// Every lock of a std::mutex made by this program's code passes through here.
extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex) {
  using Lock = int (*)(pthread_mutex_t*);
  static const auto real = reinterpret_cast<Lock>(::dlsym(RTLD_NEXT, "pthread_mutex_lock"));
  if (armed) {
    ++locks;
  } else if (Watched()) {
    ++watchedLocks;
  }
  return real(mutex);
}

namespace lw {
namespace {

// Counts what `action` allocates and locks on this thread.
struct Counts {
  int allocations = 0;
  int locks = 0;
  int frees = 0;
};
template <typename Action> Counts Measure(Action action) {
  allocations = 0;
  locks = 0;
  frees = 0;
  armed = true;
  action();
  armed = false;
  return {allocations, locks, frees};
}

TEST(RealTimeInstruments, SeeAnAllocationAReleaseAndALock) {
  std::mutex m;
  const Counts c = Measure([&] {
    const std::lock_guard<std::mutex> hold(m);
    auto p = std::make_unique<int>(3);
    EXPECT_EQ(*p, 3);
  });
  EXPECT_EQ(c.allocations, 1);
  EXPECT_EQ(c.frees, 1);
  EXPECT_EQ(c.locks, 1);
}

struct RealTimeFixture : ::testing::Test {
  test::FakePrompts prompts;
  test::FakeAudioDevice* device = nullptr;
  std::unique_ptr<WaveOut> waveOut;
  std::vector<int16_t> out = std::vector<int16_t>(8192);

  void SetUp() override {
    auto fake = std::make_unique<test::FakeAudioDevice>();
    device = fake.get();
    waveOut = std::make_unique<WaveOut>(std::move(fake), prompts);
    waveOut->Open(-1);
  }
  Counts Pull(std::size_t frames) {
    return Measure([&] { device->PullInto(out.data(), frames); });
  }
};

TEST_F(RealTimeFixture, ThePullTakesNoLockAndAllocatesNothing) {
  std::vector<int16_t> block(6144, 5);
  for (int i = 0; i < 3; ++i) {
    waveOut->Write(block.data(), static_cast<int32_t>(block.size() * 2));
  }
  // Part of a block, across blocks, to the end of the queue and past it into silence.
  for (const std::size_t frames : {100U, 6000U, 8192U, 4000U, 512U}) {
    const Counts c = Pull(frames);
    EXPECT_EQ(c.allocations, 0) << frames;
    EXPECT_EQ(c.locks, 0) << frames;
  }
  waveOut->WaitForCallbacks();
  // After a reset and after a dropped block as well.
  for (int i = 0; i < 6; ++i) {
    waveOut->Write(block.data(), 2 * (100 + i));
  }
  EXPECT_EQ(Pull(50).locks, 0);
  waveOut->Reset();
  const Counts afterReset = Pull(64);
  EXPECT_EQ(afterReset.allocations + afterReset.locks, 0);
  EXPECT_EQ(out[0], 0) << "the reset queue plays silence";
}

TEST_F(RealTimeFixture, WritingABlockOfLivePlaybackAllocatesNothing) {
  std::vector<int16_t> block(LivePlayback::kBlockSamples, 1);
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(Measure([&] { waveOut->Write(block.data(), LivePlayback::kBlockBytes); }).allocations,
              0);
    device->PullInto(out.data(), 4000);
  }
}

// The finished-block path run by hand on this thread (the device's callback is taken off),
// with a preview added to the song and played alone, up to and past the preview's end.
TEST_F(RealTimeFixture, AFinishedBlockWithAPreviewAllocatesAndFreesNothing) {
  auto engine = test::NewEngine();
  Engine& e = *engine;
  test::PutSample(e, 0, std::vector<int16_t>(30000, 9000), 44100, SampleCategory::Drum);
  for (int s = 0; s < kSteps; s += 2) {
    test::PutNote(e, 0, 0, 0, s, 0);
  }
  LivePlayback playback(e, *waveOut);
  waveOut->SetCallback(nullptr);
  const auto sound = [](std::size_t n, uint32_t rate) {
    return PreviewSound{std::make_shared<const SampleData>(n, int16_t{700}), rate};
  };
  // Each pull finishes one block; BufferDone tops the queue up again.
  const auto blocks = [&](int count) {
    for (int i = 0; i < count; ++i) {
      device->PullInto(out.data(), LivePlayback::kBlockSamples);
      const Counts c = Measure([&] { playback.BufferDone(); });
      EXPECT_EQ(c.allocations, 0) << i;
      EXPECT_EQ(c.frees, 0) << i;
    }
  };

  playback.Preview(sound(20000, 22050)); // alone, ending in the seventh block
  blocks(8);
  EXPECT_FALSE(playback.previewing());
  playback.PlayBtnClick();
  playback.Preview(sound(9000, 32000)); // added to the song, ending in the third block
  blocks(6);
  EXPECT_FALSE(playback.previewing());
  EXPECT_NE(out[100], 0);
  playback.FormClose();
}

TEST(RealTimeRender, RenderingABusyBlockAllocatesNothing) {
  auto engine = test::NewEngine();
  Engine& e = *engine;
  test::PutSample(e, 0, std::vector<int16_t>(30000, 9000), 44100, SampleCategory::Drum);
  test::PutSample(e, 1, std::vector<int16_t>(30000, -7000), 22050, SampleCategory::Instrument);
  test::PutSample(e, 2, std::vector<int16_t>(88192, 3000), 44100, SampleCategory::Loop);
  for (int s = 0; s < kSteps; ++s) {
    for (int c = 0; c < kChannels; ++c) {
      Step& step = test::PutNote(e, 0, 0, c, s, c);
      step.mode = static_cast<uint8_t>(2 + (s + c) % 4);
      step.endPos = 1026;
    }
  }
  e.state.song.vinylAmount = 50;
  e.songMode = true;
  e.state.sequence.slots[0] = {0, 0};
  test::Start(e);
  std::vector<int16_t> block(LivePlayback::kBlockSamples);
  for (int i = 0; i < 20; ++i) {
    // Channels taken out and let in as it plays: the fade and the silent voices' runs too.
    e.silenced = static_cast<uint32_t>(i % 8);
    EXPECT_EQ(Measure([&] { e.RenderBlock(block.data(), block.size()); }).allocations, 0);
  }
}

// The JACK process callback's work, by hand: steady periods, a busy engine lock, a stop
// and a start (which drop what was held ahead), a new period size and an oversize one.
TEST(RealTimeJack, ThePeriodRendererTakesNoLockAndAllocatesNothing) {
  auto engine = test::NewEngine();
  test::MakeLiveSong(*engine, 60);
  PeriodRenderer renderer(*engine);
  std::array<std::vector<float>, PeriodRenderer::kPorts> buffers;
  PeriodRenderer::PortBuffers ports{};
  for (std::size_t p = 0; p < buffers.size(); ++p) {
    buffers[p].resize(PeriodRenderer::kMaxPeriod + 1);
    ports[p] = buffers[p].data();
  }
  // Notes come in every period, from the port and handed over, with recording armed.
  LiveInput input;
  input.SetRecording(true);
  renderer.SetEvents(&input);
  OutputFrame clock = 0;
  uint8_t note = 0;
  const auto period = [&](uint32_t frames) {
    const Counts c = Measure([&] {
      input.Schedule({0x99, static_cast<uint8_t>(36 + note % 3), 100}, clock + frames + 7, clock);
      input.Receive({0xB0, 7, note});
      renderer.Process(ports, frames, clock);
    });
    note = static_cast<uint8_t>((note + 1) % 128);
    clock += frames;
    EXPECT_EQ(c.allocations, 0) << frames;
    EXPECT_EQ(c.locks, 0) << frames;
  };
  for (int i = 0; i < 20; ++i) {
    period(64); // pads while stopped
  }
  ASSERT_TRUE(renderer.PlayBtnClick());
  for (int i = 0; i < 50; ++i) {
    period(64);
  }
  {
    const test::BusyLock edit(engine->engineLock);
    period(64);
    period(64);
    period(64);
  }
  period(64);
  ASSERT_FALSE(renderer.PlayBtnClick());
  period(64);
  ASSERT_TRUE(renderer.PlayBtnClick());
  for (const uint32_t frames :
       {64U, 256U, 32U, PeriodRenderer::kMaxPeriod, 1U, PeriodRenderer::kMaxPeriod + 1, 128U}) {
    period(frames);
  }
  EXPECT_GT(renderer.counters().lockBusy, 0U);
}

// The real thing: JACK's process thread, watched while the busy song plays, an edit
// holds the engine lock for a while, and playback stops and starts.
TEST(RealTimeJack, TheProcessThreadTakesNoLockAndAllocatesNothing) {
  test::JackTestServer server;
  if (!server.up()) {
    GTEST_SKIP() << "no JACK server to test with: " << server.why();
  }
  auto engine = test::NewEngine();
  test::MakeLiveSong(*engine, 60);
  JackOutput out(*engine);
  LiveInput input;
  input.SetRecording(true);
  out.SetInput(&input);
  ASSERT_EQ(out.Open(server.name()), "");
  test::JackTimebaseMaster daw(server, 131.25);
  ASSERT_TRUE(daw.ok());
  // A pad every 300 frames, from before the song starts to after it stops and starts.
  test::JackMidiSender pads(server);
  ASSERT_TRUE(pads.ok());
  ASSERT_TRUE(pads.ConnectTo(out.clientName() + ":" + JackOutput::kMidiPortName));
  const jack_nframes_t first = pads.Now() + 4096;
  for (jack_nframes_t i = 0; i < 1000; ++i) {
    pads.Send(first + 300 * i, {0x99, static_cast<uint8_t>(36 + i % 3), 100});
  }
  const auto periods = [&] { return out.renderer().counters().periods; };
  const auto waitPeriods = [&](uint64_t n) {
    const uint64_t until = periods() + n;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (periods() < until && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return periods() >= until;
  };
  ASSERT_TRUE(waitPeriods(10));
  watchedAllocations = 0;
  watchedLocks = 0;
  watched = jack_client_thread_id(out.client());
  watching = true;
  ASSERT_TRUE(out.renderer().PlayBtnClick());
  ASSERT_TRUE(waitPeriods(200));
  {
    const EngineHold edit(engine->engineLock);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(waitPeriods(100));
  ASSERT_FALSE(out.renderer().PlayBtnClick());
  ASSERT_TRUE(waitPeriods(20));
  ASSERT_TRUE(out.renderer().PlayBtnClick());
  ASSERT_TRUE(waitPeriods(100));
  // Following a transport master that starts, plays and stops the song.
  ASSERT_FALSE(out.renderer().PlayBtnClick());
  out.SetTransportRole(TransportRole::Follow);
  jack_transport_start(daw.client());
  ASSERT_TRUE(waitPeriods(200));
  EXPECT_TRUE(out.renderer().Playing());
  jack_transport_stop(daw.client());
  ASSERT_TRUE(waitPeriods(20));
  // Following a MIDI clock handed over as the ALSA sequencer's reader hands it.
  out.SetTransportRole(TransportRole::Off);
  out.clock().SetEnabled(true);
  std::thread sequencer([&] {
    input.Receive({0xFA, 0, 0});
    for (int t = 0; t < 24 * 4; ++t) {
      input.Receive({0xF8, 0, 0});
      std::this_thread::sleep_for(std::chrono::microseconds(20833));
    }
    input.Receive({0xFC, 0, 0});
  });
  sequencer.join();
  ASSERT_TRUE(waitPeriods(20));
  EXPECT_GT(out.clock().messagesTaken(), 90U);
  watching = false;
  EXPECT_EQ(watchedAllocations.load(), 0);
  EXPECT_EQ(watchedLocks.load(), 0);
  EXPECT_GT(out.renderer().counters().lockBusy, 0U);
  EXPECT_GT(pads.sent(), 50U) << "notes came in while the thread was watched";
  out.Close();
}

// JACK's process thread while a Link session leads: a peer's tempo, start and stop reach
// the song through the session state the thread captures and commits each period. Only in
// a network namespace of its own (see in-private-network.sh), never on a real network.
TEST(RealTimeJack, FollowingALinkSessionTakesNoLockAndAllocatesNothing) {
  if (std::getenv("LOOPWREN_PRIVATE_NETWORK") == nullptr) {
    GTEST_SKIP() << "not in a private network namespace: Link is never tried on a real network";
  }
  test::JackTestServer server;
  if (!server.up()) {
    GTEST_SKIP() << "no JACK server to test with: " << server.why();
  }
  auto engine = test::NewEngine();
  test::MakeLiveSong(*engine, 60);
  LinkSession ours;
  ours.SetEnabled(true, 120);
  JackOutput out(*engine);
  out.SetLink(&ours);
  ASSERT_EQ(out.Open(server.name()), "");
  ableton::Link peer(97.0);
  peer.enableStartStopSync(true);
  peer.enable(true);
  ASSERT_TRUE(test::WaitUntil([&] { return ours.peers() == 1; }));
  const auto commit = [&](auto change) {
    auto state = peer.captureAppSessionState();
    change(state);
    peer.commitAppSessionState(state);
  };
  watchedAllocations = 0;
  watchedLocks = 0;
  watched = jack_client_thread_id(out.client());
  watching = true;
  commit([&](auto& state) { state.setIsPlaying(true, peer.clock().micros()); });
  ASSERT_TRUE(test::WaitUntil([&] { return out.renderer().Playing(); }));
  commit([&](auto& state) { state.setTempo(133.0, peer.clock().micros()); });
  ASSERT_TRUE(test::WaitUntil([&] { return std::abs(ours.leaderTempo() - 133.0) < 1e-3; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  commit([&](auto& state) { state.setIsPlaying(false, peer.clock().micros()); });
  ASSERT_TRUE(test::WaitUntil([&] { return !out.renderer().Playing(); }));
  watching = false;
  EXPECT_EQ(watchedAllocations.load(), 0);
  EXPECT_EQ(watchedLocks.load(), 0);
  out.Close();
}

// The LV2 plugin's run() in a host of the tests' own: taking over the song the worker
// loaded, playing it at its own tempo and at another, a locate, a note, a knob and a stop.
TEST(RealTimePlugin, RunAllocatesNothingAndTakesNoLock) {
  test::TempDir dir;
  std::string song;
  {
    auto e = test::NewEngine();
    test::MakeLiveSong(*e, 60);
    e->state.song.tempo = 60;
    e->state.sequence.slots[0] = {0, 0};
    e->state.sequence.slots[1] = {0, 1};
    e->state.songFileName = (dir.path() / "busy.lw").string();
    test::FakePrompts prompts;
    ASSERT_TRUE(SaveSong(*e, prompts, "/"));
    song = e->state.songFileName;
  }
  test::PluginHost host;
  ASSERT_TRUE(host.ok());
  host.SetSong(song);
  host.Run(64);
  host.RunWorker();
  Counts total;
  // Events are written into the host's buffer before each measured run; the URIs they
  // use were mapped (the host's map allocates) by a first message of each kind.
  const auto run = [&](const std::function<void()>& events) {
    events();
    const Counts c = Measure([&] {
      host.DeliverResponses();
      host.RunPlugin(64);
    });
    total.allocations += c.allocations;
    total.frees += c.frees;
    total.locks += c.locks;
    host.ClearEvents();
    host.RunWorker();
  };
  host.Position(0, false, 60, 0);
  host.Note(0, 36, 100);
  host.ClearEvents();
  run([] {}); // the loaded song takes over
  run([&] { host.Position(0, true, 60, 0); });
  for (int i = 0; i < 300; ++i) {
    run([] {});
  }
  run([&] { host.Position(5, true, 128.5, 33.3); });
  for (int i = 0; i < 300; ++i) {
    run([&] {
      if (i == 100) {
        host.Note(17, 38, 90);
        host.Knob(6, 40);
      }
    });
  }
  run([&] { host.Position(0, false, 128.5, 40); });
  run([] {});
  EXPECT_EQ(total.allocations, 0);
  EXPECT_EQ(total.frees, 0);
  EXPECT_EQ(total.locks, 0);
}

TEST(RealTimeJack, TheWatchSeesTheThreadItWatches) {
  watchedAllocations = 0;
  watchedLocks = 0;
  std::thread other([] {
    watched = pthread_self();
    watching = true;
    const auto p = std::make_unique<int>(1);
    std::mutex m;
    const std::lock_guard<std::mutex> hold(m);
    watching = false;
  });
  other.join();
  EXPECT_EQ(watchedAllocations.load(), 1);
  EXPECT_EQ(watchedLocks.load(), 1);
  watchedAllocations = 0;
  watchedLocks = 0;
}

} // namespace
} // namespace lw
