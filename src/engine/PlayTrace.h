#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

namespace lw {

// Where the engine's steps began, counted in the samples it has rendered: what an
// interface needs to show the step a listener hears, which lies a device's latency behind
// the step being rendered. The render thread records a mark at every step start; any
// thread reads. Lock-free and allocation-free: a ring of marks, each under a sequence
// number of its own (a seqlock), so a reader never waits and never sees half a mark.
class PlayTrace {
public:
  struct Mark {
    uint64_t sample = 0;        // the step's first sample, in samples rendered
    uint32_t run = 0;           // which start of the clock the step belongs to
    uint32_t positionMoves = 0; // how often the song position had moved by then
    int32_t step = 0;
    int32_t bank = 0;
    int32_t pattern = 0;
    int32_t songPosition = 0;
  };
  // Marks kept: more steps than any output's latency holds at the fastest tempo.
  static constexpr uint32_t kMarks = 256;

  // A step begins at `mark.sample`. `start`: the clock started afresh (a new run).
  // Render thread, one writer at a time.
  void Record(Mark mark, bool start) noexcept;

  // The last step to begin at or before `sample`, of the newest run; none when that run
  // had not begun by then, or the step is older than the marks kept. Any thread.
  [[nodiscard]] std::optional<Mark> At(uint64_t sample) const noexcept;

private:
  struct Slot {
    std::atomic<uint64_t> sequence{0}; // 2n + 1 while mark n is written, 2n + 2 after
    std::atomic<uint64_t> sample{0};
    std::atomic<uint64_t> where{0}; // step, bank, pattern, song position packed
    std::atomic<uint64_t> runAndMoves{0};
  };
  // Reads slot `index` as written for mark number `number`; false when it was being
  // written or has been written since.
  bool Read(uint64_t number, Mark& mark) const noexcept;

  std::array<Slot, kMarks> slots_;
  std::atomic<uint64_t> recorded_{0}; // marks recorded so far
  std::atomic<uint32_t> run_{0};      // the newest run
};

} // namespace lw
