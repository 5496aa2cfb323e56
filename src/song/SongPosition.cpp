#include "song/SongPosition.h"

#include <algorithm>

namespace lw {

int32_t LastSequenceEntry(const SongSequence& sequence) {
  for (int32_t slot = kSequenceSlots - 1; slot >= 0; --slot) {
    if (sequence.slots[slot].used()) {
      return slot;
    }
  }
  return 0;
}

namespace {

// One move of AdvanceSongPosition, on a bar of its own.
SongBar NextBar(const SongState& state, SongBar bar) noexcept {
  int32_t position = bar.slot + 1;
  if (position > kSequenceSlots - 1 || position < 0) {
    position = 0;
  }
  if (state.loopEnabled.load(std::memory_order_relaxed) &&
      position > state.loopLastSlot.load(std::memory_order_relaxed)) {
    position =
        std::clamp(state.loopFirstSlot.load(std::memory_order_relaxed), 0, kSequenceSlots - 1);
  }
  const SequenceEntry entry = state.sequence.slots[position];
  if (entry.playable()) {
    return {position, entry.bank, entry.pattern};
  }
  return {position, bar.bank, bar.pattern};
}

} // namespace

SongBar SongAtBar(const SongState& state, SongBar from, int64_t bars) noexcept {
  // Within 2 * kSequenceSlots moves the slots have entered their cycle, which is at most
  // kSequenceSlots long, and a repeated pattern is settled after one pass of it: so many
  // bars are worked out as the same point of a later cycle.
  constexpr int64_t kSettled = 2 * kSequenceSlots;
  SongBar bar = from;
  int64_t left = std::max<int64_t>(bars, 0);
  if (left > 2 * kSettled) {
    for (int64_t i = 0; i < kSettled; ++i) {
      bar = NextBar(state, bar);
    }
    left -= kSettled;
    int64_t cycle = 1;
    for (SongBar probe = NextBar(state, bar); probe.slot != bar.slot;
         probe = NextBar(state, probe)) {
      ++cycle;
    }
    left %= cycle;
  }
  for (int64_t i = 0; i < left; ++i) {
    bar = NextBar(state, bar);
  }
  return bar;
}

int32_t AdvanceSongPosition(SongState& state) noexcept {
  int32_t position = state.songPosition.load(std::memory_order_relaxed) + 1;
  if (position > kSequenceSlots - 1 || position < 0) {
    position = 0;
  }
  if (state.loopEnabled.load(std::memory_order_relaxed) &&
      position > state.loopLastSlot.load(std::memory_order_relaxed)) {
    position =
        std::clamp(state.loopFirstSlot.load(std::memory_order_relaxed), 0, kSequenceSlots - 1);
  }
  state.songPosition.store(position, std::memory_order_relaxed);

  const SequenceEntry entry = state.sequence.slots[position];
  if (entry.playable()) {
    state.nextBank = entry.bank;
    state.nextPattern = entry.pattern;
  } else {
    state.nextBank = state.playBank;
    state.nextPattern = state.playPattern;
  }
  return position;
}

} // namespace lw
