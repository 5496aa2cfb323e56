#pragma once

#include "engine/Engine.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lw {

// What a render shows while it runs: the `current` gauge for the pattern being rendered
// and the `overall` gauge for the whole render, in whole percent.
class RenderProgress {
public:
  virtual ~RenderProgress() = default;
  // The progress display appears once the files are ready and goes when the render ends.
  virtual void Show() {}
  virtual void Hide() {}
  virtual void PatternStarted() {}
  virtual void SetCurrent(int /*percent*/) {}
  virtual void SetOverall(int /*percent*/) {}
};

// Where rendered audio goes, one whole pattern per call.
class PatternSink {
public:
  virtual ~PatternSink() = default;
  virtual void Append(const int16_t* samples, std::size_t count) = 0;
  // A sink that wants them also gets the stems of the same samples (see
  // Engine::RenderBlockWithStems), right after each Append.
  using Stems = std::array<const int32_t*, Engine::kStems>;
  [[nodiscard]] virtual bool WantsStems() const { return false; }
  virtual void AppendStems(const Stems& /*stems*/, std::size_t /*count*/) {}
};

// done / total * 100, rounded half to even and kept within 0..100.
[[nodiscard]] int ProgressPercent(int64_t done, int64_t total);

// An inclusive range of song sequence slots.
struct SlotRange {
  int32_t first = 0;
  int32_t last = 0;
};

// "Entire song": slot 0 to the last used slot.
[[nodiscard]] SlotRange EntireSongRange(const SongSequence& sequence);
// "Songloop": the sequencer's selection.
[[nodiscard]] SlotRange SelectionRange(int32_t firstSlot, int32_t width);

// The renders drive the engine themselves, as fast as they can, on the interface thread
// while live playback is stopped. Each holds the engine lock while it renders and
// releases it while the sink writes. Afterwards `playing` is false and playBank,
// playPattern and songMode are as before; the clock, the voices, the delay and the song
// position are as the render left them. The song itself never changes.

// "This pattern": one pass of the pattern, patternSamples samples.
void RenderPattern(Engine& engine, int32_t bank, int32_t pattern, PatternSink& sink,
                   RenderProgress& progress);

// "Entire song" and "Songloop": one pattern per slot of the range, patternSamples samples
// each. An empty slot repeats the pattern before it (bank and pattern resolved apart);
// before the first slot, that is the pattern the engine held.
void RenderSong(Engine& engine, const SlotRange& range, PatternSink& sink,
                RenderProgress& progress);

// Renders a pattern into memory for a bounce: exactly patternSamples samples, with the
// voices silenced first so no note left ringing by earlier playback carries over.
[[nodiscard]] SampleData RenderBounce(Engine& engine, int32_t bank, int32_t pattern);

// Scales a bounced loop towards full scale when its peak leaves more than 20 % headroom;
// -32768 counts as a peak of 32768.
void NormaliseBounce(int16_t* buffer, std::size_t count);

} // namespace lw
