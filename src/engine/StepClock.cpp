// The step clock: step lengths from tempo and shuffle, and what each voice does at a
// step boundary.
#include "engine/Engine.h"

#include "song/Round.h"
#include "song/SongPosition.h"

#include <algorithm>

namespace lw {

namespace {

void ApplyDeclick(Voice& voice) {
  if (voice.nextStepTrigger != 0) {
    // The voice is cut for the coming note: fade it over the last 19 samples of this step.
    voice.fadeStart = 20;
    voice.fade = 0;
  } else if (voice.stepTrigger != 0) {
    voice.fadeStart = -1;
    voice.fade = 0;
  }
}

} // namespace

void Engine::UpdateTiming() {
  const Song& song = state.song;
  const int32_t tempo = std::clamp(song.tempo, kMinTempo, kMaxTempo);
  const int32_t shuffle = std::clamp(song.shuffle, 0, kMaxShuffle);

  // One step is a sixteenth note: 44100 * 60 / (tempo * 4) samples.
  clock.stepLength = static_cast<uint16_t>(RoundHalfEven(2646000.0 / (tempo * 4)));
  int32_t half = clock.stepLength / 2;
  if (half % 2 != 0) {
    ++half;
  }
  clock.patternSamples = half * 32;

  // Shuffle lengthens the even steps and shortens the odd ones; a pair keeps its length.
  const double stepLength = clock.stepLength;
  const double lengthened = stepLength / 100 * shuffle + stepLength;
  const int32_t longStep = RoundHalfEven(lengthened);
  const int32_t shortStep = 2 * clock.stepLength - longStep;
  for (int i = 0; i < kSteps; ++i) {
    clock.stepLengths[i] = static_cast<uint16_t>(i % 2 == 0 ? longStep : shortStep);
  }

  UpdateVoiceRates();

  const int32_t delaySteps = std::min<int32_t>(song.delaySteps, kMaxDelaySteps);
  const int32_t feedback = std::clamp(song.delayFeedback, 0, kMaxDelayFeedback);
  delay.SetParameters(static_cast<uint16_t>(tempo), static_cast<uint16_t>(delaySteps),
                      feedback / 100.0);
}

void Engine::UpdateVoiceRates() noexcept {
  const Pattern& pattern = state.song.pattern(state.playBank, state.playPattern);
  for (int v = 0; v < kChannels; ++v) {
    Voice& voice = voices[v];
    const SampleSlot* slot = UsedSlot(voice.stepSample);
    if (slot == nullptr || slot->category == static_cast<uint8_t>(SampleCategory::Instrument)) {
      continue;
    }
    voice.speed = SampleSpeed(*slot, pattern.channels[v].steps[clock.currentStep]);
  }
}

void Engine::ProcessStep() noexcept {
  if (playing.load(std::memory_order_relaxed)) {
    StepBoundary();
  } else {
    StartClockAtStep(0);
  }
}

void Engine::StartClockAtStep(int32_t step) noexcept {
  step = std::clamp(step, 0, kSteps - 1);
  // Nothing sounds yet: a silenced channel is silent from the first sample, no fade.
  const uint32_t off = silenced.load(std::memory_order_relaxed);
  for (int v = 0; v < kChannels; ++v) {
    muteFade_[static_cast<std::size_t>(v)] = (off & (1U << v)) != 0 ? kSilent : kHeard;
  }
  clock.currentStep = step;
  clock.nextStep = step + 1;
  clock.samplesLeft = clock.stepLengths[static_cast<std::size_t>(step)];
  state.nextBank = state.playBank;
  state.nextPattern = state.playPattern;
  if (clock.nextStep > kSteps - 1) {
    clock.nextStep = 0;
    if (songMode.load(std::memory_order_relaxed)) {
      AdvanceSongPosition(state);
      songPositionMoves.fetch_add(1, std::memory_order_release);
    }
  }
  TraceStep(true);
  const bool keepSounding = songMode.load(std::memory_order_relaxed);
  const Song& song = state.song;
  const Pattern& pattern = song.pattern(state.playBank, state.playPattern);
  const Pattern& upcoming =
      clock.nextStep == 0 ? song.pattern(state.nextBank, state.nextPattern) : pattern;
  for (int v = 0; v < kChannels; ++v) {
    Voice& voice = voices[v];
    const Channel& channel = pattern.channels[v];
    voice.volume = std::clamp(channel.volume, 0, kMaxVolume);
    if (!keepSounding) {
      voice.speed = 0.0;
      voice.sampleIndex = -1;
      voice.loopStart = voice.loopEnd = voice.stopPoint = -1.0;
    }
    const Step& current = channel.steps[step];
    const Step& ahead = upcoming.channels[v].steps[clock.nextStep];
    voice.stepSample = current.sampleIndex();
    voice.stepTrigger = current.trigger;
    voice.nextStepSample = ahead.sampleIndex();
    voice.nextStepTrigger = ahead.trigger;
    ApplyDeclick(voice);
    TriggerVoice(voice, current);
    ApplyStepControllers(voice, current);
  }
}

void Engine::StepBoundary() noexcept {
  clock.currentStep = clock.nextStep;
  ++clock.nextStep;
  clock.samplesLeft = clock.stepLengths[clock.currentStep];
  if (clock.currentStep == 0) {
    state.playBank = state.nextBank;
    state.playPattern = state.nextPattern;
  }
  if (clock.nextStep > kSteps - 1) {
    clock.nextStep = 0;
    if (songMode.load(std::memory_order_relaxed)) {
      AdvanceSongPosition(state);
      songPositionMoves.fetch_add(1, std::memory_order_release);
    }
  }
  TraceStep(false);

  const Song& song = state.song;
  const Pattern& played = song.pattern(state.playBank, state.playPattern);
  const Pattern& upcoming =
      clock.nextStep == 0 ? song.pattern(state.nextBank, state.nextPattern) : played;
  for (int v = 0; v < kChannels; ++v) {
    Voice& voice = voices[v];
    const Channel& channel = played.channels[v];
    voice.stepTrigger = voice.nextStepTrigger;
    voice.stepSample = voice.nextStepSample;
    const Step& ahead = upcoming.channels[v].steps[clock.nextStep];
    voice.nextStepSample = ahead.sampleIndex();
    voice.nextStepTrigger = ahead.trigger;
    ApplyDeclick(voice);
    if (clock.currentStep == 0) {
      voice.volume = std::clamp(channel.volume, 0, kMaxVolume);
    }
    const Step& current = channel.steps[clock.currentStep];
    TriggerVoice(voice, current);
    ApplyStepControllers(voice, current);
  }
}

void Engine::TraceStep(bool start) noexcept {
  trace.Record({.sample = sampleCount_,
                .positionMoves = songPositionMoves.load(std::memory_order_relaxed),
                .step = clock.currentStep,
                .bank = state.playBank,
                .pattern = state.playPattern,
                .songPosition = state.songPosition.load(std::memory_order_relaxed)},
               start);
}

void Engine::TriggerVoice(Voice& voice, const Step& step) noexcept {
  if (voice.stepTrigger == 0) {
    return;
  }
  const SampleSlot* slot = UsedSlot(voice.stepSample);
  if (slot == nullptr) {
    return; // no sample, or a free slot: the voice goes on with what it played
  }
  voice.position = 0.0;
  voice.loopStart = voice.loopEnd = voice.stopPoint = -1.0;
  voice.speed = SampleSpeed(*slot, step);
  voice.sampleIndex = voice.stepSample;
}

void Engine::ApplyStepControllers(Voice& voice, const Step& step) const noexcept {
  if (step.volume <= kMaxVolume) {
    voice.volume = step.volume;
  }
  const int32_t sampleLength = (voice.sampleIndex >= 0 && voice.sampleIndex < kSampleSlots)
                                   ? std::max(samples.slots[voice.sampleIndex].length, 0)
                                   : 0;
  // A position in 1/1025ths of the sample, in frames, played as stored: the slicing
  // commands write 1025 and 1026 themselves, and a position past the sample reads
  // silence in the mixer. Only a negative position (a song file written elsewhere) is
  // taken as 0, since it would point before the sample's first value.
  const auto at = [sampleLength](int32_t pos) {
    const double perUnit = static_cast<double>(sampleLength) / 1025;
    return perUnit * std::max(pos, 0);
  };
  switch (static_cast<StepMode>(step.mode)) {
  case StepMode::NoteOff:
    voice.fadeStart = clock.samplesLeft - 1;
    voice.fade = 0;
    voice.loopStart = voice.loopEnd = voice.stopPoint = -1.0;
    break;
  case StepMode::RetrigContinue:
    voice.loopStart = voice.loopEnd = -1.0;
    voice.position = at(step.startPos);
    break;
  case StepMode::RetrigLoop:
    voice.loopStart = at(step.startPos);
    voice.loopEnd = at(step.endPos);
    voice.stopPoint = -1.0;
    voice.position = voice.loopStart;
    break;
  case StepMode::RetrigStutter:
    voice.loopStart = at(step.startPos);
    voice.stopPoint = at(step.endPos);
    voice.loopEnd = -1.0;
    voice.position = voice.loopStart;
    break;
  case StepMode::None:
    break;
  }
}

} // namespace lw
