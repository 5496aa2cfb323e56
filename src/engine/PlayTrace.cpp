#include "engine/PlayTrace.h"

namespace lw {

namespace {

constexpr uint64_t kField = 0xffff;

uint64_t PackWhere(const PlayTrace::Mark& m) {
  return (static_cast<uint64_t>(m.step) & kField) | (static_cast<uint64_t>(m.bank) & kField) << 16 |
         (static_cast<uint64_t>(m.pattern) & kField) << 32 |
         (static_cast<uint64_t>(m.songPosition) & kField) << 48;
}

void UnpackWhere(uint64_t where, PlayTrace::Mark& m) {
  m.step = static_cast<int32_t>(where & kField);
  m.bank = static_cast<int32_t>(where >> 16 & kField);
  m.pattern = static_cast<int32_t>(where >> 32 & kField);
  m.songPosition = static_cast<int32_t>(where >> 48 & kField);
}

} // namespace

void PlayTrace::Record(Mark mark, bool start) noexcept {
  uint32_t run = run_.load(std::memory_order_relaxed);
  if (start) {
    ++run;
  }
  mark.run = run;
  const uint64_t number = recorded_.load(std::memory_order_relaxed);
  Slot& slot = slots_[number % kMarks];
  // The seqlock's writer: odd, the fields, then even. The fields are stored with release:
  // a reader that sees one of them written after the odd number sees the odd number too,
  // when it reads the number again, and drops what it read.
  slot.sequence.store(2 * number + 1, std::memory_order_relaxed);
  slot.sample.store(mark.sample, std::memory_order_release);
  slot.where.store(PackWhere(mark), std::memory_order_release);
  slot.runAndMoves.store(static_cast<uint64_t>(mark.run) << 32 | mark.positionMoves,
                         std::memory_order_release);
  slot.sequence.store(2 * number + 2, std::memory_order_release);
  // Release: a reader that counts the mark finds it written, and the run it began.
  run_.store(run, std::memory_order_release);
  recorded_.store(number + 1, std::memory_order_release);
}

bool PlayTrace::Read(uint64_t number, Mark& mark) const noexcept {
  const Slot& slot = slots_[number % kMarks];
  if (slot.sequence.load(std::memory_order_acquire) != 2 * number + 2) {
    return false;
  }
  // The seqlock's reader: each field with acquire, so that the number read again after
  // them is at least the one a field's writer left; the fields were those of mark
  // `number` if its number is still there.
  mark.sample = slot.sample.load(std::memory_order_acquire);
  const uint64_t where = slot.where.load(std::memory_order_acquire);
  const uint64_t runAndMoves = slot.runAndMoves.load(std::memory_order_acquire);
  if (slot.sequence.load(std::memory_order_relaxed) != 2 * number + 2) {
    return false;
  }
  UnpackWhere(where, mark);
  mark.run = static_cast<uint32_t>(runAndMoves >> 32);
  mark.positionMoves = static_cast<uint32_t>(runAndMoves);
  return true;
}

std::optional<PlayTrace::Mark> PlayTrace::At(uint64_t sample) const noexcept {
  const uint64_t recorded = recorded_.load(std::memory_order_acquire);
  const uint32_t run = run_.load(std::memory_order_acquire);
  const uint64_t oldest = recorded > kMarks ? recorded - kMarks : 0;
  for (uint64_t number = recorded; number > oldest; --number) {
    Mark mark;
    if (!Read(number - 1, mark)) {
      return std::nullopt; // overwritten while read: older than the ring holds
    }
    if (mark.run != run) {
      return std::nullopt; // the newest run had not begun by `sample`
    }
    if (mark.sample <= sample) {
      return mark;
    }
  }
  return std::nullopt;
}

} // namespace lw
