// Live playback through a fake device, pulled faster than real time, while another
// thread edits steps, pastes, changes tempo, imports, replaces and deletes samples,
// undoes and redoes those edits, moves the song position, loads a new song and previews
// samples, and a third follows the song position as the sequencer window does and the step
// heard as the step light does. Built with ThreadSanitizer, any data race fails the run.
#include "EngineHelpers.h"
#include "FakeAudioDevice.h"
#include "FakePrompts.h"
#include "TempDir.h"
#include "audio_out/Playback.h"
#include "commands/SongCommands.h"
#include "session/UndoHistory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

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
  WaveOut waveOut(std::move(fake), prompts);
  LivePlayback playback(e, waveOut);
  waveOut.Open(-1);
  {
    const EngineHold hold(e.engineLock);
    PutSample(e, 0, std::vector<int16_t>(20000, 8000), 44100, SampleCategory::Drum);
    for (int st = 0; st < kSteps; ++st) {
      PutNote(e, 0, 0, st % 3, st, 0);
    }
  }
  // Song mode over a few slots, so the render thread moves the song position.
  for (int slot = 0; slot < 4; ++slot) {
    e.state.sequence.slots[slot] = {0, static_cast<int8_t>(slot % 2)};
  }
  e.songMode = true;
  playback.PlayBtnClick();

  std::atomic<bool> stop{false};
  std::atomic<long> pulled{0};
  std::thread pump([&] {
    std::vector<int16_t> out(512);
    while (!stop) {
      device->PullInto(out.data(), out.size());
      pulled += static_cast<long>(out.size());
    }
  });
  std::atomic<uint32_t> seenMoves{0};
  std::atomic<int> heardSteps{0};
  std::thread follower([&] {
    while (!stop) {
      const uint32_t moves = e.songPositionMoves.load(std::memory_order_acquire);
      if (moves != seenMoves.load() && e.state.songPosition.load() >= 0) {
        seenMoves = moves;
      }
      if (const auto cursor = playback.songCursor()) {
        const auto mark = e.trace.At(cursor->sample);
        if (mark && mark->step >= 0 && mark->step < kSteps) {
          ++heardSteps;
        }
      }
      std::this_thread::yield();
    }
  });

  UndoHistory history;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  int round = 0;
  while (std::chrono::steady_clock::now() < until) {
    ++round;
    // Each round is one step of the history, its sounds kept for undo.
    history.Begin(e, "round", {round % 4, (round + 2) % 4});
    {
      const EngineHold hold(e.engineLock);
      Step& step = e.state.song.step(0, 0, round % 3, round % kSteps);
      step.trigger = static_cast<uint8_t>(round % 2);
      step.sample = static_cast<uint8_t>(round % 4);
      step.mode = static_cast<uint8_t>(2 + round % 4);
      step.endPos = 700;
    }
    {
      const EngineHold hold(e.engineLock);
      e.state.song.pattern(0, 1) = e.state.song.pattern(0, 0); // a paste
      e.state.song.tempo = 60 + (round * 37) % 500;
      e.UpdateTiming();
      e.voices[1].volume = round % 128;
    }
    // An import: the data is made outside the lock and swapped in under it.
    SampleData data(4096, static_cast<int16_t>(round));
    {
      const EngineHold hold(e.engineLock);
      const int32_t slot = FindFreeSlot(e.samples);
      if (slot >= 0) {
        FillSlot(e.samples.slots[slot], std::move(data), 22050, "new", SampleCategory::Instrument);
      }
    }
    SampleData released; // freed after the lock is let go, as the commands do
    {
      const EngineHold hold(e.engineLock);
      released = DeleteSample(e.samples, e.state.song, round % 4);
    }
    SampleData replacement(3000 + round % 500, static_cast<int16_t>(-round));
    {
      const EngineHold hold(e.engineLock);
      SampleSlot& slot = e.samples.slots[static_cast<std::size_t>((round + 2) % 4)];
      if (slot.isUsed()) {
        released = ReplaceSlotData(slot, std::move(replacement), 32000, "again");
      }
    }
    history.End(e);
    // Undo and redo swap songs and sounds under the lock while the audio plays them.
    history.Undo(e);
    if (round % 3 != 0) {
      history.Redo(e);
    }
    e.state.songPosition = round % 4; // a click in the sequencer's grid
    // The sample manager's play control, heard over the song and, after a stop, alone.
    if (round % 5 == 0) {
      playback.Preview({std::make_shared<const SampleData>(3000, static_cast<int16_t>(round)),
                        static_cast<uint32_t>(8000 + round % 50000)});
    } else if (round % 13 == 0) {
      playback.StopPreview();
    }
    if (round % 20 == 0) {
      prompts.files.emplace_back(dir.File("other.LW"));
      prompts.answers.push_back(true); // the edits are not saved: lose them
      EXPECT_TRUE(OpenSong(e, prompts, "/").replaced);
      history.Clear();
    }
    if (round % 50 == 0) {
      playback.PlayBtnClick();
      playback.Preview({std::make_shared<const SampleData>(20000, int16_t{500}), 44100});
      playback.PlayBtnClick();
    }
  }
  playback.PlayBtnClick();
  stop = true;
  pump.join();
  follower.join();
  playback.FormClose();
  EXPECT_GT(pulled.load(), 44100L) << "playback ran faster than real time";
  EXPECT_GT(round, 20);
  EXPECT_GT(seenMoves.load(), 0U) << "the song position moved while playing";
  EXPECT_GT(heardSteps.load(), 0) << "the step heard was followed while playing";
  EXPECT_TRUE(prompts.ioErrors.empty());
}

} // namespace
} // namespace lw
