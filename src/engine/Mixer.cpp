// The per-sample mixer: the only producer of sound. Live playback, rendering and
// bouncing all call RenderSample in a loop.
#include "engine/BlackBox.h"

#include "engine/Overdrive.h"
#include "song/Round.h"

#include <algorithm>

namespace lw {

namespace {

constexpr int32_t kMaxFade = 32000;
constexpr int32_t kMaxSend = 100;
constexpr int32_t kMaxVinyl = 100;

// The number of values a voice may read from a slot: its length, but never more than
// the data it holds (a free slot holds none).
int64_t ReadableLength(const SampleSlot& slot) {
  const auto held = static_cast<int64_t>(slot.data.size());
  return std::min<int64_t>(std::max(slot.length, 0), held);
}

} // namespace

int16_t Engine::RenderSample() {
  --clock.samplesLeft;
  if (clock.samplesLeft == 0) {
    ProcessStep();
  }

  const Song& song = state.song;
  const Pattern& pattern = song.pattern(state.playBank, state.playPattern);
  const int32_t distortAmount = std::min(song.distortAmount, kMaxDistortAmount);

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
    voice.position += voice.speed;

    const bool validSlot = voice.sampleIndex >= 0 && voice.sampleIndex < kSampleSlots;
    const SampleSlot* slot = validSlot ? &samples.slots[voice.sampleIndex] : nullptr;
    const int32_t length = slot != nullptr ? std::max(slot->length, 0) : 0;
    if (voice.loopEnd > -1.0 && voice.fade == 0 && voice.position > voice.loopEnd) {
      voice.position = voice.loopStart;
    }
    if (voice.stopPoint > -1.0 && voice.fade == 0 && voice.position > voice.stopPoint) {
      voice.position = static_cast<double>(length) + 1; // reads silence from now on
    }
    if (slot == nullptr) {
      continue;
    }

    // The last value of a sample is never played: index i needs i + 2 <= length.
    const double index = RoundHalfEvenToDouble(voice.position);
    if (!(index >= 0.0 && index + 2 <= static_cast<double>(ReadableLength(*slot)))) {
      continue;
    }
    int32_t s = slot->data[static_cast<std::size_t>(index)];
    if (s == 0) {
      continue;
    }
    const Channel& channel = pattern.channels[v];
    if (channel.distortOn != 0 && distortAmount > 0) {
      s = OverdriveSample(s, static_cast<uint8_t>(distortAmount));
    }
    if (voice.fade > 0) {
      s = RoundHalfEven(static_cast<double>(s) / voice.fade);
    }
    s = RoundHalfEven(static_cast<double>(s) / 127 * voice.volume);
    mix += s;
    const int32_t delaySend = std::clamp(channel.delaySend, 0, kMaxSend);
    send += RoundHalfEven(static_cast<double>(s) / 100 * delaySend);
  }

  mix += delay.Process(send);

  if (vinyl.count > 0) {
    ++vinyl.position;
    if (vinyl.position >= vinyl.count) {
      vinyl.position = 0;
    }
    const int32_t amount = std::clamp(song.vinylAmount, 0, kMaxVinyl);
    mix += RoundHalfEven(static_cast<double>(vinyl.noise[vinyl.position]) / 100 * amount);
  }

  mix /= 2; // toward zero
  return static_cast<int16_t>(std::clamp(mix, -32768, 32767));
}

} // namespace lw
