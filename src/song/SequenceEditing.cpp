#include "song/SequenceEditing.h"

#include <algorithm>

namespace lw {

namespace {

bool IsSlot(int32_t slot) {
  return slot >= 0 && slot < kSequenceSlots;
}

int32_t ClampSlot(int32_t slot) {
  return std::clamp(slot, 0, kSequenceSlots - 1);
}

} // namespace

void SetSequenceSlot(SongState& state, int32_t slot, int32_t bank, int32_t pattern) {
  if (!IsSlot(slot)) {
    return;
  }
  state.sequence.slots[slot] = {static_cast<int8_t>(bank), static_cast<int8_t>(pattern)};
  state.songChanged = true;
}

void ClearSequenceSlots(SongState& state, int32_t firstSlot, int32_t lastSlot) {
  for (int32_t slot = ClampSlot(firstSlot); slot <= ClampSlot(lastSlot); ++slot) {
    state.sequence.slots[slot] = {-1, -1};
  }
  state.songChanged = true;
}

std::string SequenceHeaderText(int32_t slot) {
  const std::string number = std::to_string(slot);
  return slot % 4 == 0 ? "[" + number + "]" : number;
}

std::string SequenceCellText(const SequenceEntry& entry) {
  if (!entry.used()) {
    return {};
  }
  return std::to_string(entry.bank + 1) + "-" + std::to_string(entry.pattern + 1);
}

void SetSongTitle(SongState& state, std::string_view text) {
  state.song.title.assignText(text);
  state.songChanged = true;
}

void SetSongAuthor(SongState& state, std::string_view text) {
  state.song.author.assignText(text);
  state.songChanged = true;
}

void SetSongPosition(SongState& state, int32_t slot) {
  if (IsSlot(slot)) {
    state.songPosition.store(slot);
  }
}

PatternRef SongStartPattern(const SongState& state, int32_t slot) {
  const auto inRange = [](int32_t v, int32_t count) { return v >= 0 && v < count; };
  PatternRef held{inRange(state.playBank, kBanks) ? state.playBank : 0,
                  inRange(state.playPattern, kPatterns) ? state.playPattern : 0};
  if (!IsSlot(slot)) {
    return held;
  }
  const SequenceEntry entry = state.sequence.slots[slot];
  return {inRange(entry.bank, kBanks) ? entry.bank : held.bank,
          inRange(entry.pattern, kPatterns) ? entry.pattern : held.pattern};
}

} // namespace lw
