#pragma once

#include <cstdint>

namespace lw {

// Where the MIDI clock LoopWren sends falls, when it leads: 24 ticks a quarter note, so 6
// a step (a sixteenth note), each on a whole output frame.
//
// The engine's steps last whole numbers of samples, so the clock is laid on them rather
// than on the tempo: the first tick of every step is the frame the step starts on, and
// tick i of a step (0 to 5) falls at stepStart + i * stepLength / 6 rounded to the nearest
// frame, halves to the even one (the rounding the engine uses everywhere). The intervals
// then differ by at most one frame, and since every position is computed afresh from the
// step's start in integers, nothing accumulates: the clock never drifts from the steps.
//
// It keeps a few integers, never allocates or locks, and belongs to the audio thread.
class MidiClockTicks {
public:
  static constexpr int kTicksPerStep = 6;

  // The first step starts at `stepStart` and lasts `stepLength` frames (at least 1); its
  // first tick is the next one. Audio thread.
  void Reset(uint64_t stepStart, int stepLength) noexcept;
  // The steps from the next step start on last `stepLength` frames (at least 1); the step
  // under way keeps its length, so a tempo change lands on a step start. Audio thread.
  void SetStepLength(int stepLength) noexcept;

  // Calls `onTick(uint64_t frame)`, in order, for every tick due before the end of the
  // period [periodStart, periodStart + frames), and moves past them. A tick due before
  // periodStart (frames were skipped) is reported late, with its own frame, rather than
  // lost, so the receiver's count of ticks stays right. Audio thread.
  template <class OnTick>
  void Take(uint64_t periodStart, uint32_t frames, OnTick&& onTick) noexcept {
    const uint64_t end = periodStart + frames;
    for (uint64_t frame = NextTick(); frame < end; frame = NextTick()) {
      onTick(frame);
      Advance();
    }
  }

  // The frame of the next tick. Audio thread.
  [[nodiscard]] uint64_t NextTick() const noexcept;

  // Where tick `index` (0 to 5) of a step of `stepLength` frames falls, from its start.
  // Any thread.
  [[nodiscard]] static int64_t TickOffset(int index, int64_t stepLength) noexcept;

private:
  void Advance() noexcept;

  uint64_t stepStart_ = 0;
  int64_t stepLength_ = 1;
  int64_t nextLength_ = 1; // the length of the steps after this one
  int tick_ = 0;           // the next tick's index in the step, 0 to 5
};

} // namespace lw
