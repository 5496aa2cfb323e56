#include "audio_out/Render.h"

#include "song/Round.h"
#include "song/Sequence.h"

#include <algorithm>
#include <cstdlib>

namespace lw {

namespace {

constexpr int32_t kProgressEvery = 2048;

// Remembers the engine's playback positions and song mode, and puts them back.
class SavedPlayState {
public:
  explicit SavedPlayState(Engine& engine)
      : engine_(engine), bank_(engine.state.playBank), pattern_(engine.state.playPattern),
        songMode_(engine.songMode.load()) {}
  void Restore() {
    engine_.playing = false;
    engine_.state.playBank = bank_;
    engine_.state.playPattern = pattern_;
    engine_.songMode = songMode_;
  }

private:
  Engine& engine_;
  int32_t bank_;
  int32_t pattern_;
  bool songMode_;
};

// Starts the clock at step 0 of (bank, pattern) with the current song mode.
void StartClockAt(Engine& engine, int32_t bank, int32_t pattern) {
  engine.playing = false;
  engine.state.playBank = bank;
  engine.state.playPattern = pattern;
  engine.ProcessStep();
}

// Pulls one pattern's samples out of the running engine into `buffer`, taking the lock
// for every stretch between two progress updates.
void PullPattern(Engine& engine, std::vector<int16_t>& buffer, RenderProgress& progress) {
  const auto n = static_cast<int32_t>(buffer.size());
  progress.PatternStarted();
  for (int32_t i = 0; i < n; i += kProgressEvery) {
    progress.SetCurrent(ProgressPercent(i, n));
    const int32_t end = std::min(n, i + kProgressEvery);
    const std::lock_guard<std::mutex> hold(engine.engineLock);
    engine.RenderBlock(&buffer[static_cast<std::size_t>(i)], static_cast<std::size_t>(end - i));
  }
}

bool InBankRange(int8_t value) { return value >= 0 && value < kBanks; }

} // namespace

int ProgressPercent(int64_t done, int64_t total) {
  if (total <= 0) {
    return 100;
  }
  const double percent = static_cast<double>(done) / static_cast<double>(total) * 100;
  return std::clamp(RoundHalfEven(percent), 0, 100);
}

SlotRange EntireSongRange(const SongSequence& sequence) {
  return {0, LastSequenceEntry(sequence)};
}

SlotRange SelectionRange(int32_t firstSlot, int32_t width) {
  const int32_t first = std::clamp(firstSlot, 0, kSequenceSlots - 1);
  return {first, std::clamp(first + width - 1, first, kSequenceSlots - 1)};
}

void RenderPattern(Engine& engine, int32_t bank, int32_t pattern, PatternSink& sink,
                   RenderProgress& progress) {
  std::unique_lock<std::mutex> hold(engine.engineLock);
  SavedPlayState saved(engine);
  StartClockAt(engine, bank, pattern);
  engine.songMode = true;
  engine.delay.ClearDelayLine();
  engine.playing = true;
  std::vector<int16_t> buffer(static_cast<std::size_t>(engine.clock.patternSamples));
  hold.unlock();

  try {
    PullPattern(engine, buffer, progress);
    sink.Append(buffer.data(), buffer.size());
  } catch (...) {
    hold.lock();
    saved.Restore();
    throw;
  }
  hold.lock();
  saved.Restore();
  hold.unlock();
  progress.SetOverall(100);
}

void RenderSong(Engine& engine, const SlotRange& range, PatternSink& sink,
                RenderProgress& progress) {
  std::unique_lock<std::mutex> hold(engine.engineLock);
  SavedPlayState saved(engine);
  const SequenceEntry firstEntry = engine.state.sequence.slots[range.first];
  StartClockAt(engine, InBankRange(firstEntry.bank) ? firstEntry.bank : engine.state.playBank,
               InBankRange(firstEntry.pattern) ? firstEntry.pattern : engine.state.playPattern);
  engine.songMode = true;
  engine.delay.ClearDelayLine();
  engine.playing = true;
  hold.unlock();

  std::vector<int16_t> buffer;
  try {
    for (int32_t k = range.first; k <= range.last; ++k) {
      hold.lock();
      const SequenceEntry entry = engine.state.sequence.slots[k];
      // An empty slot repeats the pattern before it; bank and pattern are taken apart.
      StartClockAt(engine, InBankRange(entry.bank) ? entry.bank : engine.state.playBank,
                   InBankRange(entry.pattern) ? entry.pattern : engine.state.playPattern);
      engine.playing = true;
      buffer.resize(static_cast<std::size_t>(engine.clock.patternSamples));
      hold.unlock();

      PullPattern(engine, buffer, progress);
      sink.Append(buffer.data(), buffer.size());
      progress.SetOverall(ProgressPercent(k - range.first + 1, range.last - range.first + 1));
    }
  } catch (...) {
    if (!hold.owns_lock()) {
      hold.lock();
    }
    saved.Restore();
    throw;
  }
  hold.lock();
  saved.Restore();
}

std::vector<int16_t> RenderBounce(Engine& engine, int32_t bank, int32_t pattern) {
  const std::lock_guard<std::mutex> hold(engine.engineLock);
  SavedPlayState saved(engine);
  // Start the clock with song mode off, which silences the voices, and only then turn
  // song mode on for the render itself.
  engine.songMode = false;
  StartClockAt(engine, bank, pattern);
  engine.songMode = true;
  engine.delay.ClearDelayLine();
  engine.playing = true;
  std::vector<int16_t> buffer(static_cast<std::size_t>(engine.clock.patternSamples));
  engine.RenderBlock(buffer.data(), buffer.size());
  saved.Restore();
  return buffer;
}

void NormaliseBounce(int16_t* buffer, std::size_t count) {
  int32_t peak = 0;
  for (std::size_t i = 0; i < count; ++i) {
    peak = std::max(peak, std::abs(static_cast<int32_t>(buffer[i])));
  }
  if (peak == 0) {
    return;
  }
  const double factor = 32767.0 / peak;
  if (!(factor > 1.2)) {
    return;
  }
  for (std::size_t i = 0; i < count; ++i) {
    buffer[i] = static_cast<int16_t>(RoundHalfEven(buffer[i] * factor));
  }
}

} // namespace lw
