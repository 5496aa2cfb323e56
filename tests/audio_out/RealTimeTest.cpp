// The audio callback's contract, checked by instruments: this program counts every heap
// allocation, every release and every mutex lock made by a thread while it is "armed".
// The device thread's pull must make none; the block-finished path must allocate and
// free nothing.
#include "EngineHelpers.h"
#include "FakeAudioDevice.h"
#include "FakePrompts.h"
#include "audio_out/Playback.h"
#include "audio_out/SamplePreview.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>

#include <cstdlib>
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

void* CountedAlloc(std::size_t size) {
  if (armed) {
    ++allocations;
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
    EXPECT_EQ(Measure([&] { e.RenderBlock(block.data(), block.size()); }).allocations, 0);
  }
}

} // namespace
} // namespace lw
