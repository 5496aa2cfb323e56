// The per-sample mixer: the only producer of sound. Live playback, rendering and
// bouncing all run it in a loop.
#include "engine/BlackBox.h"

#include "engine/Overdrive.h"
#include "engine/Scale.h"
#include "song/Round.h"

#include <algorithm>

namespace lw {

namespace {

constexpr int32_t kMaxFade = 32000;
constexpr int32_t kMaxSend = 100;
constexpr int32_t kMaxVinyl = 100;

} // namespace

// What the mixer reads from the song, taken at the nearest value a control can set.
// Only an edit or a step boundary changes it, and edits wait for the engine lock, so a
// block renderer takes it once per block and again after every step boundary.
Engine::MixSettings Engine::CurrentMixSettings() noexcept {
  const Song& song = state.song;
  const Pattern& pattern = song.pattern(state.playBank, state.playPattern);
  MixSettings m;
  m.distortAmount = std::min(song.distortAmount, kMaxDistortAmount);
  m.curve = &overdrive_[static_cast<std::size_t>(std::max(m.distortAmount, 0)) * kOverdriveEntries];
  m.vinylAmount = std::clamp(song.vinylAmount, 0, kMaxVinyl);
  m.vinylHalves = &percentHalves_.For(m.vinylAmount);
  for (int v = 0; v < kChannels; ++v) {
    m.distort[v] = m.distortAmount > 0 && pattern.channels[v].distortOn != 0;
    m.send[v] = std::clamp(pattern.channels[v].delaySend, 0, kMaxSend);
    m.sendHalves[v] = &percentHalves_.For(m.send[v]);
    const int32_t index = voices[v].sampleIndex;
    if (index >= 0 && index < kSampleSlots) {
      const SampleSlot& slot = samples.slots[index];
      m.data[v] = slot.data.data();
      // A used slot holds exactly `length` values and a free one none, so the data's
      // size is the length that may be read.
      m.readable[v] = slot.data.size();
      m.readableBound[v] = static_cast<double>(slot.data.size());
      m.length[v] = std::max(slot.length, 0);
    }
  }
  return m;
}

int16_t Engine::RenderSample() noexcept {
  MixSettings settings = CurrentMixSettings();
  return MixOne(settings);
}

void Engine::RenderBlock(int16_t* out, std::size_t count) noexcept {
  MixSettings settings = CurrentMixSettings();
  for (std::size_t i = 0; i < count; ++i) {
    out[i] = MixOne(settings);
  }
}

inline int16_t Engine::MixOne(MixSettings& settings) noexcept {
  --clock.samplesLeft;
  if (clock.samplesLeft == 0) {
    ProcessStep();
    settings = CurrentMixSettings(); // the boundary may have begun another pattern
  }

  int32_t mix = 0;
  int32_t send = 0;
  for (int v = 0; v < kChannels; ++v) {
    Voice& voice = voices[v];
    if (!(voice.speed > 0.0)) {
      continue;
    }
    if (voice.fadeStart > clock.samplesLeft) {
      voice.fade = voice.fade == 0 ? 1 : std::min(2 * voice.fade, kMaxFade);
    }
    double position = voice.position + voice.speed;
    if (voice.fade == 0) {
      if (voice.loopEnd > -1.0 && position > voice.loopEnd) {
        position = voice.loopStart;
      }
      if (voice.stopPoint > -1.0 && position > voice.stopPoint) {
        // Past the stop point the voice reads silence; it stays active.
        position = static_cast<double>(settings.length[v]) + 1;
      }
    }
    voice.position = position;
    // Positions beyond the sample read silence (a voice without a slot has none to read),
    // and bounding them first makes the rounding below exact.
    if (!(position > -1.0 && position < settings.readableBound[v])) {
      continue;
    }
    // The last value of a sample is never played: index i needs i + 2 <= length. An
    // index of -1 wraps to the largest unsigned value and fails the same test.
    const auto index =
        static_cast<uint64_t>(static_cast<int64_t>(RoundHalfEvenUnchecked(position)));
    if (index + 2 > settings.readable[v]) {
      continue;
    }
    int32_t s = settings.data[v][index];
    if (s == 0) {
      continue;
    }
    if (settings.distort[v]) {
      s = OverdriveSample(settings.curve, s);
    }
    if (voice.fade > 0) {
      s = RoundHalfEven(static_cast<double>(s) / voice.fade);
    }
    s = ScaleVolume(s, voice.volume);
    mix += s;
    send += ScalePercent(s, settings.send[v], *settings.sendHalves[v]);
  }

  mix += delay.Process(send);

  if (vinyl.count > 0) {
    ++vinyl.position;
    if (vinyl.position >= vinyl.count) {
      vinyl.position = 0;
    }
    mix += ScalePercent(vinyl.noise[vinyl.position], settings.vinylAmount, *settings.vinylHalves);
  }

  mix /= 2; // toward zero
  return static_cast<int16_t>(std::clamp(mix, -32768, 32767));
}

} // namespace lw
