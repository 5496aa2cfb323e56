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
