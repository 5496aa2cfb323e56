#include "audio_out/WaveOut.h"
#include "FakeAudioDevice.h"
#include "FakePrompts.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace lw {
namespace {

struct WaveOutFixture : ::testing::Test {
  test::FakePrompts prompts;
  test::FakeAudioDevice* device = nullptr;
  std::unique_ptr<WaveOut> waveOut;
  std::atomic<int> callbacks{0};

  void SetUp() override {
    auto fake = std::make_unique<test::FakeAudioDevice>();
    device = fake.get();
    waveOut = std::make_unique<WaveOut>(std::move(fake), prompts);
    waveOut->SetCallback([this] { ++callbacks; });
  }
  void Write(std::vector<int16_t> samples) {
    waveOut->Write(samples.data(), static_cast<int32_t>(samples.size() * 2));
  }
  int Settled() {
    waveOut->WaitForCallbacks();
    return callbacks.load();
  }
};

TEST_F(WaveOutFixture, BlocksPlayGaplesslyInOrderWithOneCallbackEach) {
  EXPECT_EQ(waveOut->deviceId(), -1);
  waveOut->Open(-1);
  ASSERT_TRUE(waveOut->isOpen());
  Write({1, 2, 3});
  Write({4}); // a 2-byte block is a block like any other
  Write({5, 6, 7, 8});
  EXPECT_EQ(device->PullNow(2), (std::vector<int16_t>{1, 2}));
  EXPECT_EQ(Settled(), 0);
  EXPECT_EQ(device->PullNow(3), (std::vector<int16_t>{3, 4, 5}));
  EXPECT_EQ(Settled(), 2);
  EXPECT_EQ(device->PullNow(5), (std::vector<int16_t>{6, 7, 8, 0, 0}))
      << "silence when the queue runs dry";
  EXPECT_EQ(Settled(), 3);
  Write({9, 10});
  EXPECT_EQ(device->PullNow(3), (std::vector<int16_t>{9, 10, 0})) << "and the queue carries on";
  EXPECT_EQ(Settled(), 4);
}

TEST_F(WaveOutFixture, ResetReturnsEveryQueuedBlockAsFinished) {
  waveOut->Open(-1);
  for (int i = 0; i < 5; ++i) {
    Write({static_cast<int16_t>(i + 1), 7});
  }
  device->PullNow(1);
  waveOut->Reset();
  EXPECT_EQ(Settled(), 5);
  EXPECT_EQ(waveOut->queuedBlocks(), 0);
  EXPECT_EQ(device->PullNow(3), (std::vector<int16_t>{0, 0, 0}));
}

TEST_F(WaveOutFixture, TheSixthWriteReusesSlot0) {
  waveOut->Open(-1);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(waveOut->nextSlot(), i);
    Write({static_cast<int16_t>(10 * (i + 1))});
  }
  EXPECT_EQ(waveOut->nextSlot(), 0);
  EXPECT_EQ(device->PullNow(5), (std::vector<int16_t>{10, 20, 30, 40, 50}));
  Write({60});
  EXPECT_EQ(waveOut->nextSlot(), 1);
  EXPECT_EQ(device->PullNow(2), (std::vector<int16_t>{60, 0}));
  EXPECT_EQ(Settled(), 6);
}

TEST_F(WaveOutFixture, OverfillingTheQueueDropsTheOldestBlockAndReportsIt) {
  waveOut->Open(-1);
  for (int i = 0; i < 6; ++i) {
    Write({static_cast<int16_t>(i + 1)});
  }
  EXPECT_EQ(Settled(), 1) << "the first block gave way to the sixth";
  EXPECT_EQ(waveOut->queuedBlocks(), 5);
  EXPECT_EQ(device->PullNow(6), (std::vector<int16_t>{2, 3, 4, 5, 6, 0}));
}

TEST_F(WaveOutFixture, ADroppedBlockThatWasPartlyPlayedTakesItsReadPositionWithIt) {
  waveOut->Open(-1);
  for (int16_t i = 1; i <= 5; ++i) {
    Write({static_cast<int16_t>(10 * i + 1), static_cast<int16_t>(10 * i + 2),
           static_cast<int16_t>(10 * i + 3), static_cast<int16_t>(10 * i + 4)});
  }
  EXPECT_EQ(device->PullNow(2), (std::vector<int16_t>{11, 12}));
  Write({61, 62, 63, 64}); // the partly played first block gives way
  EXPECT_EQ(device->PullNow(4), (std::vector<int16_t>{21, 22, 23, 24}))
      << "the next block plays from its start";
  EXPECT_EQ(Settled(), 2);
}

TEST_F(WaveOutFixture, AFailedOpenIsShownInTheSystemsWordsAndThenIgnored) {
  device->openError = "Couldn't open audio device: No such device";
  waveOut->Open(-1);
  EXPECT_FALSE(waveOut->isOpen());
  EXPECT_EQ(prompts.notices,
            std::vector<std::string>{"Couldn't open audio device: No such device"});
  Write({1, 2});
  EXPECT_EQ(device->PullNow(2), (std::vector<int16_t>{0, 0}));
  waveOut->Close();
  EXPECT_EQ(device->closes, 0) << "closing a device that never opened does nothing";
}

TEST_F(WaveOutFixture, CloseResetsTheQueueAndReopeningPlaysAgain) {
  waveOut->Close();
  EXPECT_EQ(device->closes, 0);
  waveOut->Open(-1);
  Write({1, 2});
  waveOut->Close();
  EXPECT_FALSE(waveOut->isOpen());
  EXPECT_EQ(device->closes, 1);
  EXPECT_EQ(Settled(), 1);
  waveOut->Open(-1);
  Write({3});
  EXPECT_EQ(device->PullNow(1), std::vector<int16_t>{3});
}

// Block `id` of the stress test: its length, and its sample `index`, which names both
// (never 0, which the device plays where nothing is queued).
constexpr int kIds = 500;
int BlockLength(uint64_t id) {
  return 1 + static_cast<int>(id % kIds) * 7 % 60;
}
int16_t Tagged(uint64_t id, int index) {
  return static_cast<int16_t>((static_cast<int>(id % kIds) + 1) * 64 + index);
}

// What the device played, checked pull by pull: every run of samples is a piece of one
// block with no gap, and begins at its block's start unless it carries on the run
// before it (in the same pull or the one before).
class PullChecker {
public:
  // An empty string when the pull is sound, otherwise what is wrong with it.
  std::string Check(const int16_t* out, std::size_t frames) {
    for (std::size_t i = 0; i < frames; ++i) {
      if (out[i] == 0) {
        inRun_ = false; // silence: the queue ran dry
        continue;
      }
      const int id = out[i] / 64 - 1;
      const int index = out[i] % 64;
      if (id < 0 || id >= kIds || index >= BlockLength(static_cast<uint64_t>(id))) {
        return "no block holds the value " + std::to_string(out[i]);
      }
      const bool carriesOn = inRun_ && id == lastId_ && index == lastIndex_ + 1;
      if (!carriesOn && index != 0) {
        return "a run begins inside block " + std::to_string(id) + " at " + std::to_string(index);
      }
      inRun_ = true;
      lastId_ = id;
      lastIndex_ = index;
    }
    return {};
  }

private:
  bool inRun_ = false;
  int lastId_ = 0;
  int lastIndex_ = 0;
};

// Writers overfill the queue and reset it while the device pulls as fast as it can:
// every pulled run is a contiguous piece of exactly one block, and every block written
// is reported finished exactly once.
TEST_F(WaveOutFixture, WritersDroppingAndResettingNeverTearABlockTheDeviceReads) {
  waveOut->Open(-1);
  std::atomic<bool> done{false};
  std::atomic<uint64_t> written{0};
  std::string fault;
  std::thread player([&] {
    std::minstd_rand pick(7);
    std::vector<int16_t> out(256);
    PullChecker checker;
    while (!done.load() && fault.empty()) {
      const std::size_t frames = 1 + pick() % out.size();
      device->PullInto(out.data(), frames);
      fault = checker.Check(out.data(), frames);
    }
  });
  std::thread resetter([&] {
    while (!done.load()) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
      waveOut->Reset();
    }
  });
  std::vector<int16_t> block(64);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(800);
  for (uint64_t id = 0; std::chrono::steady_clock::now() < end; ++id) {
    const int length = BlockLength(id);
    for (int i = 0; i < length; ++i) {
      block[static_cast<std::size_t>(i)] = Tagged(id, i);
    }
    waveOut->Write(block.data(), length * 2);
    written.store(id + 1);
  }
  done = true;
  player.join();
  resetter.join();
  EXPECT_EQ(fault, "");
  waveOut->Reset();
  EXPECT_EQ(Settled(), static_cast<int>(written.load())) << "one report per block written";
  EXPECT_GT(written.load(), 1000U);
}

} // namespace
} // namespace lw
