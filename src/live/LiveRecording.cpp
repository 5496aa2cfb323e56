#include "live/LiveRecording.h"

#include <algorithm>

namespace lw {

namespace {

bool Writes(const Engine& engine, int32_t bank, int32_t pattern, int32_t step,
            const RecordedNote& note) {
  const SampleTable& table = engine.InterfaceSamples();
  return bank >= 0 && bank < kBanks && pattern >= 0 && pattern < kPatterns && step >= 0 &&
         step < kSteps && note.channel >= 0 && note.channel < kChannels && note.sample >= 0 &&
         note.sample < kSampleSlots && table.slots[static_cast<std::size_t>(note.sample)].isUsed();
}

void Write(Step& step, const RecordedNote& note) {
  step.trigger = 1;
  step.sample = static_cast<uint8_t>(note.sample);
  step.note = note.note;
  step.volume = static_cast<uint8_t>(std::clamp(note.volume, 0, int32_t{kMaxVolume}));
}

} // namespace

RefreshFlags RecordNote(Engine& engine, int32_t bank, int32_t pattern, int32_t step,
                        const RecordedNote& note) {
  if (!Writes(engine, bank, pattern, step, note)) {
    return {};
  }
  const EngineHold hold(engine.engineLock);
  Write(engine.state.song.step(bank, pattern, note.channel, step), note);
  engine.state.songChanged = true;
  return RefreshFlags::ChannelAndStep();
}

RefreshFlags StepRecordNote(Engine& engine, const RecordedNote& note) {
  const SongDocument& doc = engine.Interface();
  const int32_t step = std::clamp(doc.activeStep, 0, kSteps - 1);
  if (!Writes(engine, doc.editBank, doc.editPattern, step, note)) {
    return {};
  }
  const EngineHold hold(engine.engineLock);
  SongState& s = engine.state;
  Write(s.song.step(s.editBank, s.editPattern, note.channel, step), note);
  s.activeStep = (step + 1) % kSteps;
  s.songChanged = true;
  return RefreshFlags::ChannelAndStep();
}

} // namespace lw
