#include "commands/PatternGrid.h"

#include <algorithm>

namespace lw {

namespace {

constexpr std::array<const char*, 12> kKeyNames = {"C",  "C#", "D",  "D#", "E",  "F",
                                                   "F#", "G",  "G#", "A",  "A#", "B"};

const SampleSlot* UsedSlot(const SampleTable& samples, int32_t index) {
  if (index < 0 || index >= kSampleSlots) {
    return nullptr;
  }
  const SampleSlot& slot = samples.slots[static_cast<std::size_t>(index)];
  return slot.isUsed() ? &slot : nullptr;
}

} // namespace

std::string StepNoteName(int32_t note) {
  // A note from a foreign file may be negative: its key is still one of the twelve.
  const int key = ((note % 12) + 12) % 12;
  return std::string(kKeyNames[static_cast<std::size_t>(key)]) +
         std::to_string(note >= 0 ? note / 12 : -1);
}

GridCells PatternGridCells(const SongDocument& document, const SampleTable& samples, int32_t bank,
                           int32_t pattern) {
  GridCells cells;
  const Pattern& shown = document.song.pattern(bank, pattern);
  for (int c = 0; c < kChannels; ++c) {
    for (int i = 0; i < kSteps; ++i) {
      const Step& step = shown.channels[c].steps[i];
      GridCell& cell = cells[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)];
      cell.volume = step.volume <= kMaxVolume ? step.volume : -1;
      cell.controllers = step.mode < 128;
      cell.triggers = step.showsNote();
      if (!cell.triggers) {
        continue;
      }
      const SampleSlot* slot = UsedSlot(samples, step.sampleIndex());
      if (slot == nullptr) {
        cell.name = "?";
        continue;
      }
      cell.name = slot->name.text();
      if (slot->category == static_cast<uint8_t>(SampleCategory::Instrument)) {
        cell.note = StepNoteName(step.note);
      }
    }
  }
  return cells;
}

int32_t ChannelLastSample(const SongDocument& document, const SampleTable& samples, int32_t bank,
                          int32_t pattern, int32_t channel, int32_t step) {
  const Channel& shown = document.song.channel(bank, pattern, channel);
  for (int back = 0; back < kSteps; ++back) {
    const Step& earlier = shown.steps[(step - back + kSteps) % kSteps];
    if (earlier.showsNote() && UsedSlot(samples, earlier.sampleIndex()) != nullptr) {
      return earlier.sampleIndex();
    }
  }
  return UsedSlot(samples, document.lastSampleChoice) != nullptr ? document.lastSampleChoice : -1;
}

int32_t DragVolume(int32_t y, int32_t height) {
  if (height <= 1) {
    return kMaxVolume;
  }
  const int32_t from = std::clamp(height - 1 - y, 0, height - 1);
  return (from * kMaxVolume + (height - 1) / 2) / (height - 1);
}

RefreshFlags SelectCell(Engine& engine, int32_t bank, int32_t pattern, int32_t channel,
                        int32_t step) {
  const EngineHold hold(engine.engineLock);
  SongState& s = engine.state;
  const bool otherPattern = s.editBank != bank || s.editPattern != pattern;
  s.editBank = bank;
  s.editPattern = pattern;
  s.activeChannel = std::clamp(channel, 0, kChannels - 1);
  s.activeStep = std::clamp(step, 0, kSteps - 1);
  return otherPattern ? RefreshFlags::All() : RefreshFlags::ChannelAndStep();
}

bool SetStepVolume(Engine& engine, int32_t volume) {
  const EngineHold hold(engine.engineLock);
  SongState& s = engine.state;
  Step& step = s.activeStepRecord();
  const auto stored = static_cast<uint8_t>(volume >= 0 && volume <= kMaxVolume ? volume : 255);
  if (step.volume == stored) {
    return false;
  }
  step.volume = stored;
  s.songChanged = true;
  return true;
}

} // namespace lw
