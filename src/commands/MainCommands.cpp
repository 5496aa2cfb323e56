#include "commands/MainCommands.h"

#include "commands/StepControllers.h"

#include <algorithm>

namespace lw {

namespace {

RefreshFlags SetTempo(Engine& engine, int32_t tempo) {
  const EngineHold hold(engine.engineLock);
  engine.state.song.tempo = tempo;
  engine.UpdateTiming();
  engine.state.songChanged = true;
  return {};
}

} // namespace

RefreshFlags TempoUp(Engine& engine) {
  return SetTempo(engine, std::min(engine.Interface().song.tempo + 10, kMaxTempo));
}

RefreshFlags TempoDown(Engine& engine) {
  return SetTempo(engine, std::max(engine.Interface().song.tempo - 10, kMinTempo));
}

std::optional<std::string> TempoBoxChange(Engine& engine, std::string_view text) {
  std::optional<std::string> replacement;
  std::optional<int32_t> tempo;
  if (!text.empty() && text != " ") {
    while (!text.empty() && text.front() == ' ') {
      text.remove_prefix(1); // leading blanks are skipped
    }
    const std::optional<int32_t> number = WholeNumber(text);
    if (!number) {
      replacement.emplace(1, '1');
    } else if (*number > kMaxTempo) {
      replacement.emplace(std::to_string(kMaxTempo));
    } else if (*number < 0) {
      replacement.emplace(std::to_string(engine.Interface().song.tempo));
    } else if (*number >= kMinTempo) {
      tempo = *number;
    }
  }
  const EngineHold hold(engine.engineLock);
  if (tempo) {
    engine.state.song.tempo = *tempo;
    engine.UpdateTiming();
  }
  engine.state.songChanged = true;
  return replacement;
}

RefreshFlags ToggleDistortion(Engine& engine, int32_t channel) {
  const EngineHold hold(engine.engineLock);
  SongState& s = engine.state;
  s.song.channel(s.editBank, s.editPattern, channel).distortOn ^= 1U;
  s.songChanged = true;
  return {false, true, false};
}

RefreshFlags SelectChannel(Engine& engine, int32_t channel) {
  const EngineHold hold(engine.engineLock);
  engine.state.activeChannel = channel;
  engine.state.activeStep = 0;
  return RefreshFlags::All();
}

RefreshFlags SetNoteKey(Engine& engine, int32_t key) {
  const EngineHold hold(engine.engineLock);
  Step& step = engine.state.activeStepRecord();
  step.note = (step.note / 12) * 12 + key;
  engine.state.songChanged = true;
  return RefreshFlags::StepOnly();
}

RefreshFlags SetNoteOctave(Engine& engine, int32_t octave) {
  const EngineHold hold(engine.engineLock);
  Step& step = engine.state.activeStepRecord();
  step.note = (step.note % 12) + 12 * octave;
  engine.state.songChanged = true;
  return RefreshFlags::StepOnly();
}

RefreshFlags SelectStep(Engine& engine, int32_t step) {
  const EngineHold hold(engine.engineLock);
  engine.state.activeStep = step;
  return RefreshFlags::StepOnly();
}

bool RemoveNoteAt(Engine& engine, int32_t step) {
  const EngineHold hold(engine.engineLock);
  SongState& s = engine.state;
  s.activeStep = step;
  Step& record = s.activeStepRecord();
  if (record.trigger == 0) {
    return false;
  }
  record.trigger = 0; // the sample number stays
  s.songChanged = true;
  return true;
}

bool ChooseSample(Engine& engine, int32_t slot, bool lastUsedEntry) {
  if (slot < 0 || slot >= kSampleSlots ||
      !engine.InterfaceSamples().slots[static_cast<std::size_t>(slot)].isUsed()) {
    return false;
  }
  const EngineHold hold(engine.engineLock);
  SongState& s = engine.state;
  if (!lastUsedEntry) {
    s.lastSampleChoice = slot;
  }
  Step& step = s.activeStepRecord();
  step.sample = static_cast<uint8_t>(slot);
  step.trigger = 1;
  s.songChanged = true;
  return true;
}

RefreshFlags SelectPanelCell(Engine& engine, PanelKind panel, int32_t cell) {
  const EngineHold hold(engine.engineLock);
  SongState& s = engine.state;
  const bool stopped = !engine.playing;
  if (panel == PanelKind::Bank) {
    s.nextBank = s.editBank = cell;
    if (stopped) {
      s.playBank = cell;
    }
  } else {
    s.nextPattern = s.editPattern = cell;
    if (stopped) {
      s.playPattern = cell;
    }
  }
  return RefreshFlags::All();
}

void SetKnobValue(Engine& engine, KnobSetting setting, int32_t value, int32_t channel) {
  const EngineHold hold(engine.engineLock);
  SongState& s = engine.state;
  Song& song = s.song;
  s.songChanged = true;
  switch (setting) {
  case KnobSetting::DelayFeedback:
    song.delayFeedback = value;
    engine.UpdateTiming();
    break;
  case KnobSetting::DelaySteps:
    song.delaySteps = static_cast<uint8_t>(value);
    engine.UpdateTiming();
    break;
  case KnobSetting::Distortion:
    song.distortAmount = value;
    break;
  case KnobSetting::Vinyl:
    song.vinylAmount = value;
    break;
  case KnobSetting::Shuffle:
    song.shuffle = value;
    engine.UpdateTiming();
    break;
  case KnobSetting::DelaySend:
    song.channel(s.editBank, s.editPattern, channel).delaySend = value;
    break;
  case KnobSetting::Volume:
    song.channel(s.editBank, s.editPattern, channel).volume = value;
    // Heard at once while the edited pattern is the one playing.
    if (engine.playing && s.editPattern == s.playPattern && s.editBank == s.playBank) {
      engine.voices[static_cast<std::size_t>(channel)].volume = value;
    }
    break;
  case KnobSetting::Pitch:
    s.activeStepRecord().pitch = static_cast<uint8_t>(value + kPitchKnobCentre);
    break;
  }
}

} // namespace lw
