// Live playback through a fake device, pulled faster than real time, while another
// thread edits steps, pastes, changes tempo, imports and deletes samples and loads a
// new song. Built with ThreadSanitizer, any data race fails the run.
#include "EngineHelpers.h"
#include "FakeAudioDevice.h"
#include "FakePrompts.h"
#include "TempDir.h"
#include "audio_out/Playback.h"
#include "commands/SongCommands.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace lw {
namespace {

using test::PutNote;
using test::PutSample;

TEST(PlaybackRace, EditingWhilePlayingIsSafe) {
  test::TempDir dir;
  auto engine = test::NewEngine();
  Engine& e = *engine;
  test::FakePrompts prompts;

  // A song file to load while playing.
  {
    auto other = test::NewEngine();
    PutSample(*other, 2, std::vector<int16_t>(50000, 3000), 44100, SampleCategory::Loop);
    PutNote(*other, 0, 0, 0, 0, 2);
    other->state.songFileName = dir.File("other.LW");
    ASSERT_TRUE(SaveSong(*other, prompts, "/"));
  }

  auto fake = std::make_unique<test::FakeAudioDevice>();
  test::FakeAudioDevice* device = fake.get();
  TWaveOut waveOut(std::move(fake), prompts);
  LivePlayback playback(e, waveOut);
  waveOut.Open(-1);
  {
    const std::lock_guard<std::mutex> hold(e.engineLock);
    PutSample(e, 0, std::vector<int16_t>(20000, 8000), 44100, SampleCategory::Drum);
    for (int st = 0; st < kSteps; ++st) {
      PutNote(e, 0, 0, st % 3, st, 0);
    }
  }
  playback.PlayBtnClick();

  std::atomic<bool> stop{false};
  std::atomic<long> pulled{0};
  std::thread pump([&] {
    while (!stop) {
      pulled += static_cast<long>(device->PullNow(512).size());
    }
  });

  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  int round = 0;
  while (std::chrono::steady_clock::now() < until) {
    ++round;
    {
      const std::lock_guard<std::mutex> hold(e.engineLock);
      Step& step = e.state.song.step(0, 0, round % 3, round % kSteps);
      step.trigger = static_cast<uint8_t>(round % 2);
      step.sample = static_cast<uint8_t>(round % 4);
      step.mode = static_cast<uint8_t>(2 + round % 4);
      step.endPos = 700;
    }
    {
      const std::lock_guard<std::mutex> hold(e.engineLock);
      e.state.song.pattern(0, 1) = e.state.song.pattern(0, 0); // a paste
      e.state.song.tempo = 60 + (round * 37) % 500;
      e.UpdateTiming();
      e.voices[1].volume = round % 128;
    }
    // An import: the data is made outside the lock and swapped in under it.
    SampleData data(4096, static_cast<int16_t>(round));
    {
      const std::lock_guard<std::mutex> hold(e.engineLock);
      const int32_t slot = FindFreeSlot(e.samples);
      if (slot >= 0) {
        FillSlot(e.samples.slots[slot], std::move(data), 22050, "new", SampleCategory::Instrument);
      }
    }
    {
      const std::lock_guard<std::mutex> hold(e.engineLock);
      DeleteSample(e.samples, e.state.song, round % 4);
    }
    if (round % 20 == 0) {
      prompts.files.emplace_back(dir.File("other.LW"));
      EXPECT_TRUE(OpenSong(e, prompts, "/").replaced);
    }
    if (round % 50 == 0) {
      playback.PlayBtnClick();
      playback.PlayBtnClick();
    }
  }
  playback.PlayBtnClick();
  stop = true;
  pump.join();
  playback.FormClose();
  EXPECT_GT(pulled.load(), 44100L) << "playback ran faster than real time";
  EXPECT_GT(round, 20);
  EXPECT_TRUE(prompts.ioErrors.empty());
}

} // namespace
} // namespace lw
