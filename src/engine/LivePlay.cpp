// Notes played live on the channels' voices, and where in the pattern such a note
// belongs when it is recorded.
#include "engine/Engine.h"
#include "engine/PitchTable.h"

#include <algorithm>
#include <climits>

namespace lw {

int32_t StepNoteOfMidiNote(int midiNote) noexcept {
  constexpr int kMiddleC = 60;
  return std::clamp(midiNote - kMiddleC + kOwnPitchNote, 0, kPitchNotes - 1);
}

int32_t Engine::LiveSample(int channel) const noexcept {
  if (channel < 0 || channel >= kChannels) {
    return -1;
  }
  const bool isPlaying = playing.load(std::memory_order_relaxed);
  const Channel& played = isPlaying
                              ? state.song.channel(state.playBank, state.playPattern, channel)
                              : state.song.channel(state.editBank, state.editPattern, channel);
  const int32_t from = std::clamp(isPlaying ? clock.currentStep : state.activeStep, 0, kSteps - 1);
  for (int back = 0; back < kSteps; ++back) {
    const Step& step = played.steps[(from - back + kSteps) % kSteps];
    if (step.trigger != 0 && UsedSlot(step.sampleIndex()) != nullptr) {
      return step.sampleIndex();
    }
  }
  return UsedSlot(state.lastSampleChoice) != nullptr ? state.lastSampleChoice : -1;
}

void Engine::PlayLiveNote(int channel, int32_t sample, int32_t note, int32_t volume) noexcept {
  const SampleSlot* slot = UsedSlot(sample);
  if (channel < 0 || channel >= kChannels || slot == nullptr) {
    return;
  }
  Step step{};
  step.pitch = 100; // a drum's own speed
  step.note = note;
  Voice& voice = voices[static_cast<std::size_t>(channel)];
  voice.position = 0.0;
  voice.loopStart = voice.loopEnd = voice.stopPoint = -1.0;
  voice.speed = SampleSpeed(*slot, step);
  voice.sampleIndex = sample;
  voice.volume = std::clamp(volume, 0, kMaxVolume);
  // Heard in full, unless the step coming next cuts it: then it is faded out before that
  // step the way a note of the pattern would be.
  voice.fade = 0;
  voice.fadeStart = voice.nextStepTrigger != 0 ? 20 : -1;
}

void Engine::RenderLiveVoices(int16_t* out, const StemOutputs& stems, std::size_t count,
                              uint32_t voiceMask) noexcept {
  FollowSilenced(); // a silenced channel's live notes are not heard either
  const MixSettings settings = CurrentMixSettings();
  // The clock stands this far from its next boundary, so no declick fade begins.
  constexpr int32_t kStill = INT32_MAX / 2;
  StemOutputs at = stems;
  while (count > 0) {
    const auto n = static_cast<int32_t>(std::min<std::size_t>(count, kRunLength));
    MixRun(out, n, kStill, settings, &at, voiceMask & kAllVoices, false);
    sampleCount_ += static_cast<uint64_t>(n);
    out += n;
    for (int32_t*& stem : at) {
      stem += n;
    }
    count -= static_cast<std::size_t>(n);
  }
  renderedSamples.store(sampleCount_, std::memory_order_release);
}

int32_t Engine::NearestStep(int64_t framesBack) const noexcept {
  std::array<int64_t, kSteps> starts{};
  int64_t total = 0;
  for (int k = 0; k < kSteps; ++k) {
    starts[static_cast<std::size_t>(k)] = total;
    total += clock.stepLengths[static_cast<std::size_t>(k)];
  }
  const int32_t current = std::clamp(clock.currentStep, 0, kSteps - 1);
  if (total <= 0) {
    return current;
  }
  // The next sample is the one that will see samplesLeft - 1; a step's first sample sees
  // its whole length.
  const int64_t length = clock.stepLengths[static_cast<std::size_t>(current)];
  const int64_t into = std::clamp<int64_t>(length - clock.samplesLeft + 1, 0, length);
  int64_t at = (starts[static_cast<std::size_t>(current)] + into - framesBack) % total;
  if (at < 0) {
    at += total;
  }
  int32_t nearest = 0;
  int64_t best = INT64_MAX;
  for (int k = 0; k < kSteps; ++k) {
    const int64_t apart = std::abs(at - starts[static_cast<std::size_t>(k)]);
    const int64_t distance = std::min(apart, total - apart);
    if (distance < best) {
      best = distance;
      nearest = k;
    }
  }
  return nearest;
}

} // namespace lw
