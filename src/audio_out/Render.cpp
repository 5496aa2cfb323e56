#include "audio_out/Render.h"

#include "song/Round.h"
#include "song/SongPosition.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace lw {

namespace {

constexpr int32_t kProgressEvery = 2048;

// Starts the clock at step 0 of (bank, pattern) with the current song mode.
void StartClockAt(Engine& engine, int32_t bank, int32_t pattern) LW_REQUIRES(engine.engineLock) {
  engine.playing = false;
  engine.state.playBank = bank;
  engine.state.playPattern = pattern;
  engine.ProcessStep();
}

// A render from start to end: it remembers the engine's playback positions and song
// mode, starts the clock at (bank, pattern) and plays in song mode from a cleared delay
// line; however the render ends, `playing` goes off and the positions and song mode come
// back. The lock is taken for the start and the end only.
class RenderScope {
public:
  enum class Voices { KeepSounding, Silence };

  RenderScope(Engine& engine, int32_t bank, int32_t pattern, Voices voices) : engine_(engine) {
    const EngineHold hold(engine.engineLock);
    bank_ = engine.state.playBank;
    pattern_ = engine.state.playPattern;
    songMode_ = engine.songMode;
    // Song mode off when the clock starts silences the voices a bounce must not hear.
    if (voices == Voices::Silence) {
      engine.songMode = false;
    }
    StartClockAt(engine, bank, pattern);
    engine.songMode = true;
    engine.delay.ClearDelayLine();
    engine.playing = true;
  }
  ~RenderScope() {
    const EngineHold hold(engine_.engineLock);
    engine_.playing = false;
    engine_.state.playBank = bank_;
    engine_.state.playPattern = pattern_;
    engine_.songMode = songMode_;
  }
  RenderScope(const RenderScope&) = delete;
  RenderScope& operator=(const RenderScope&) = delete;

private:
  Engine& engine_;
  int32_t bank_ = 0;
  int32_t pattern_ = 0;
  bool songMode_ = false;
};

// One pattern's samples, and its stems where the sink wants them: filled whole by the
// render, so never zero-filled first.
class PatternBuffer {
public:
  PatternBuffer(std::size_t length, bool stems)
      : length_(length), mix_(std::make_unique_for_overwrite<int16_t[]>(length)) {
    if (stems) {
      stems_ = std::make_unique_for_overwrite<int32_t[]>(length * Engine::kStems);
    }
  }

  // Renders the pattern, taking the lock for every stretch between two progress updates.
  void Pull(Engine& engine, RenderProgress& progress) {
    const auto n = static_cast<int32_t>(length_);
    progress.PatternStarted();
    for (int32_t i = 0; i < n; i += kProgressEvery) {
      progress.SetCurrent(ProgressPercent(i, n));
      const auto from = static_cast<std::size_t>(i);
      const auto count = static_cast<std::size_t>(std::min(n, i + kProgressEvery) - i);
      const EngineHold hold(engine.engineLock);
      if (stems_ == nullptr) {
        engine.RenderBlock(&mix_[from], count);
      } else {
        Engine::StemOutputs to{};
        for (std::size_t s = 0; s < to.size(); ++s) {
          to[s] = &stems_[s * length_ + from];
        }
        engine.RenderBlockWithStems(&mix_[from], to, count);
      }
    }
  }

  void HandTo(PatternSink& sink) const {
    sink.Append(mix_.get(), length_);
    if (stems_ != nullptr) {
      PatternSink::Stems from{};
      for (std::size_t s = 0; s < from.size(); ++s) {
        from[s] = &stems_[s * length_];
      }
      sink.AppendStems(from, length_);
    }
  }

private:
  std::size_t length_;
  std::unique_ptr<int16_t[]> mix_;
  std::unique_ptr<int32_t[]> stems_;
};

bool InBankRange(int8_t value) {
  return value >= 0 && value < kBanks;
}

// Every pattern of a render lasts patternSamples samples; a render never changes it.
std::size_t PatternLength(Engine& engine) {
  const EngineHold hold(engine.engineLock);
  return static_cast<std::size_t>(engine.clock.patternSamples);
}

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
  PatternBuffer buffer(PatternLength(engine), sink.WantsStems());
  {
    const RenderScope render(engine, bank, pattern, RenderScope::Voices::KeepSounding);
    buffer.Pull(engine, progress);
    buffer.HandTo(sink);
  }
  progress.SetOverall(100);
}

void RenderSong(Engine& engine, const SlotRange& range, PatternSink& sink,
                RenderProgress& progress) {
  int32_t bank = 0;
  int32_t pattern = 0;
  {
    const EngineHold hold(engine.engineLock);
    const SequenceEntry first = engine.state.sequence.slots[range.first];
    bank = InBankRange(first.bank) ? first.bank : engine.state.playBank;
    pattern = InBankRange(first.pattern) ? first.pattern : engine.state.playPattern;
  }
  const RenderScope render(engine, bank, pattern, RenderScope::Voices::KeepSounding);
  PatternBuffer buffer(PatternLength(engine), sink.WantsStems());
  for (int32_t k = range.first; k <= range.last; ++k) {
    {
      const EngineHold hold(engine.engineLock);
      const SequenceEntry entry = engine.state.sequence.slots[k];
      // An empty slot repeats the pattern before it; bank and pattern are taken apart.
      StartClockAt(engine, InBankRange(entry.bank) ? entry.bank : engine.state.playBank,
                   InBankRange(entry.pattern) ? entry.pattern : engine.state.playPattern);
      engine.playing = true;
    }
    buffer.Pull(engine, progress);
    buffer.HandTo(sink);
    progress.SetOverall(ProgressPercent(k - range.first + 1, range.last - range.first + 1));
  }
}

SampleData RenderBounce(Engine& engine, int32_t bank, int32_t pattern) {
  SampleData buffer(PatternLength(engine)); // the render fills it whole
  const RenderScope render(engine, bank, pattern, RenderScope::Voices::Silence);
  const EngineHold hold(engine.engineLock);
  engine.RenderBlock(buffer.data(), buffer.size());
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
