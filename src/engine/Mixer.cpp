// The mixer: the only producer of sound. Live playback, rendering and bouncing all run
// it in blocks.
//
// Everything a voice does to a sample value is fixed between step boundaries except
// its read position and, at the end of a step, its declick fade. So the mixer renders
// a step's samples in runs: each voice adds its whole run to two sums (the mix and the
// delay send) in a loop made for the voice's state, and a last loop runs the delay, adds
// the noise, halves and clips. Per output sample the arithmetic is exactly that of
// mixing the voices one sample at a time: the sums are of integers, and every voice's
// position advances by the same additions in the same order.
#include "engine/Engine.h"

#include "engine/Overdrive.h"
#include "engine/Scale.h"
#include "engine/VoiceChain.h"
#include "song/Round.h"

#include <algorithm>

namespace lw {

namespace {

using mixing::ArithmeticShape;
using mixing::MixOf;
using mixing::Packed;
using mixing::Reader;
using mixing::SendOf;
using mixing::TableShape;

constexpr int32_t kMaxFade = 32000;
// Below this many samples a voice scales by arithmetic rather than building a table.
constexpr int32_t kShortRun = 256;

// A voice's loop and stop points, which apply only while it is not fading.
struct Bounds {
  double loopStart;
  double loopEnd;
  double stopPoint;
  double silence; // past the stop point: one beyond the sample's length

  [[nodiscard]] double Apply(double position) const noexcept {
    if (loopEnd > -1.0 && position > loopEnd) {
      position = loopStart;
    }
    if (stopPoint > -1.0 && position > stopPoint) {
      // Past the stop point the voice reads silence; it stays active.
      position = silence;
    }
    return position;
  }
};

// Advances a voice with loop or stop points over `n` samples, adding what it reads to
// the sums; returns its new position.
template <class Shape>
double RunBounded(double position, double speed, const Reader& reader, const Bounds& bounds,
                  const Shape& shape, int32_t n, int64_t* sums) noexcept {
  for (int32_t k = 0; k < n; ++k) {
    position = bounds.Apply(position + speed);
    int32_t s;
    if (reader.Read(position, s)) {
      shape.Add(s, sums[k]);
    }
  }
  return position;
}

// The same for a voice that only moves forward: its positions never decrease, so the
// samples that certainly read inside the sample come first and need no test.
template <class Shape>
double RunForward(double position, double speed, const Reader& reader, const Shape& shape,
                  int32_t n, int64_t* sums) noexcept {
  int32_t k = 0;
  if (position >= 0.0) {
    // Positions up to readable - 4 round to at most readable - 4, which may be read. The
    // n additions drift from position + k * speed by far less than the 1 left spare.
    const double room = (static_cast<double>(reader.readable) - 4.0 - position) / speed;
    const int32_t inside =
        room > 0.0 ? static_cast<int32_t>(std::min(room, static_cast<double>(n))) : 0;
    for (; k < inside; ++k) {
      position += speed;
      shape.Add(reader.ReadInside(position), sums[k]);
    }
  }
  for (; k < n && !(position >= reader.bound); ++k) {
    position += speed;
    int32_t s;
    if (reader.Read(position, s)) {
      shape.Add(s, sums[k]);
    }
  }
  for (; k < n; ++k) {
    position += speed; // past the sample: silence for the rest of the run
  }
  return position;
}

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
  m.vinylAmount = std::clamp(song.vinylAmount, 0, kMaxVinylAmount);
  m.vinylHalves = &percentHalves_.For(m.vinylAmount);
  for (int v = 0; v < kChannels; ++v) {
    m.distort[v] = m.distortAmount > 0 && pattern.channels[v].distortOn != 0;
    m.send[v] = std::clamp(pattern.channels[v].delaySend, 0, kMaxDelaySend);
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
  int16_t out = 0;
  RenderBlock(&out, 1);
  return out;
}

void Engine::RenderBlock(int16_t* out, std::size_t count) noexcept {
  RenderRuns(out, nullptr, count);
}

void Engine::RenderBlockWithStems(int16_t* out, const StemOutputs& stems,
                                  std::size_t count) noexcept {
  RenderRuns(out, &stems, count);
}

void Engine::RenderRuns(int16_t* out, const StemOutputs* stems, std::size_t count) noexcept {
  FollowSilenced();
  MixSettings settings = CurrentMixSettings();
  StemOutputs stemsAt{};
  if (stems != nullptr) {
    stemsAt = *stems;
  }
  while (count > 0) {
    // Each sample counts the step down first; the one that reaches 0 begins the next
    // step and is its first sample.
    --clock.samplesLeft;
    if (clock.samplesLeft == 0) {
      ProcessStep();
      settings = CurrentMixSettings(); // the boundary may have begun another pattern
    }
    const int32_t samplesLeft = clock.samplesLeft;
    // The samples that see samplesLeft, samplesLeft - 1, ..., 1 all belong to this step.
    // (A clock that was never started counts down without a boundary.)
    auto n = static_cast<int32_t>(std::min<std::size_t>(count, kRunLength));
    if (samplesLeft > 0) {
      n = std::min(n, samplesLeft);
    }
    MixRun(out, n, samplesLeft, settings, stems != nullptr ? &stemsAt : nullptr);
    clock.samplesLeft = samplesLeft - (n - 1);
    sampleCount_ += static_cast<uint64_t>(n);
    out += n;
    if (stems != nullptr) {
      for (int32_t*& stem : stemsAt) {
        stem += n;
      }
    }
    count -= static_cast<std::size_t>(n);
  }
  renderedSamples.store(sampleCount_, std::memory_order_release);
}

void Engine::MixRun(int16_t* out, int32_t n, int32_t samplesLeft, const MixSettings& settings,
                    const StemOutputs* stems, uint32_t voiceMask, bool withVinyl) noexcept {
  int64_t* sums = runSums_.data();
  if (stems == nullptr) {
    std::fill_n(sums, n, 0);
    for (int v = 0; v < kChannels; ++v) {
      if ((voiceMask & (1U << v)) == 0) {
        continue;
      }
      if (muteFade_[static_cast<std::size_t>(v)] == kHeard) {
        MixVoice(v, n, samplesLeft, settings, sums);
        continue;
      }
      // A silenced voice runs on its own, and adds only what its fade leaves: nothing,
      // once the fade is over.
      int64_t* own = voiceSums_[static_cast<std::size_t>(v)].data();
      std::fill_n(own, n, 0);
      MixVoice(v, n, samplesLeft, settings, own);
      if (muteFade_[static_cast<std::size_t>(v)] != kSilent) {
        FadeOut(v, own, n);
        for (int32_t k = 0; k < n; ++k) {
          sums[k] += own[k];
        }
      }
    }
    FinishRun(
        out, n, settings, [](int32_t, int32_t, int32_t) {}, withVinyl);
    return;
  }
  // Each voice sums apart; the sums are of integers, so adding them afterwards gives
  // the very sums the voices would have made together.
  for (int v = 0; v < kChannels; ++v) {
    int64_t* own = voiceSums_[static_cast<std::size_t>(v)].data();
    std::fill_n(own, n, 0);
    if ((voiceMask & (1U << v)) != 0) {
      MixVoice(v, n, samplesLeft, settings, own);
      if (muteFade_[static_cast<std::size_t>(v)] != kHeard) {
        FadeOut(v, own, n);
      }
    }
  }
  const StemOutputs& to = *stems;
  for (int32_t k = 0; k < n; ++k) {
    int64_t sum = 0;
    for (int v = 0; v < kChannels; ++v) {
      const int64_t own = voiceSums_[static_cast<std::size_t>(v)][static_cast<std::size_t>(k)];
      to[static_cast<std::size_t>(v)][k] = MixOf(own);
      sum += own;
    }
    sums[k] = sum;
  }
  FinishRun(
      out, n, settings,
      [&to](int32_t k, int32_t echo, int32_t noise) {
        to[kChannels][k] = echo;
        to[kChannels + 1][k] = noise;
      },
      withVinyl);
}

template <class Tap>
void Engine::FinishRun(int16_t* out, int32_t n, const MixSettings& settings, const Tap& tap,
                       bool withVinyl) noexcept {
  const int64_t* sums = runSums_.data();
  const auto send = [sums](int32_t k) { return SendOf(sums[k]); };
  if (!withVinyl || vinyl.count == 0 || vinyl.scaled.size() != vinyl.count) {
    delay.ProcessRun(n, send, [sums, out, &tap](int32_t k, int32_t echo) {
      tap(k, echo, 0);
      const int32_t sum = (MixOf(sums[k]) + echo) / 2; // toward zero
      out[k] = static_cast<int16_t>(std::clamp(sum, -32768, 32767));
    });
    return;
  }
  ScaleVinyl(n, settings.vinylAmount, *settings.vinylHalves);
  const int16_t* noise = vinyl.scaled.data();
  const uint32_t count = vinyl.count;
  uint32_t position = vinyl.position;
  delay.ProcessRun(n, send, [&](int32_t k, int32_t echo) {
    ++position;
    if (position >= count) {
      position = 0;
    }
    tap(k, echo, noise[position]);
    const int32_t sum = (MixOf(sums[k]) + echo + noise[position]) / 2;
    out[k] = static_cast<int16_t>(std::clamp(sum, -32768, 32767));
  });
  vinyl.position = position;
}

void Engine::FollowSilenced() noexcept {
  const uint32_t off = silenced.load(std::memory_order_relaxed);
  for (int v = 0; v < kChannels; ++v) {
    int32_t& fade = muteFade_[static_cast<std::size_t>(v)];
    if ((off & (1U << v)) == 0) {
      fade = kHeard;
    } else if (fade == kHeard) {
      fade = 1;
    }
  }
}

void Engine::FadeOut(int v, int64_t* own, int32_t n) noexcept {
  int32_t& fade = muteFade_[static_cast<std::size_t>(v)];
  for (int32_t k = 0; k < n; ++k) {
    if (fade == kSilent) {
      own[k] = 0;
      continue;
    }
    const double divisor = fade;
    own[k] =
        Packed(RoundHalfEven(MixOf(own[k]) / divisor), RoundHalfEven(SendOf(own[k]) / divisor));
    fade = fade == kMaxFade ? kSilent : std::min(2 * fade, kMaxFade);
  }
}

void Engine::MixVoice(int v, int32_t n, int32_t samplesLeft, const MixSettings& settings,
                      int64_t* sums) noexcept {
  Voice& voice = voices[v];
  if (!(voice.speed > 0.0)) {
    return;
  }
  const Reader reader{settings.data[v], settings.readable[v], settings.readableBound[v]};
  const Bounds bounds{voice.loopStart, voice.loopEnd, voice.stopPoint,
                      static_cast<double>(settings.length[v]) + 1};
  const bool hasBounds = voice.loopEnd > -1.0 || voice.stopPoint > -1.0;
  const int16_t* curve = settings.distort[v] ? settings.curve : nullptr;
  const ArithmeticShape arithmetic{curve, 0, voice.volume, settings.send[v],
                                   settings.sendHalves[v]};

  // The fade doubles on every sample that sees the clock below fadeStart: from sample
  // `fading` of the run on.
  const int64_t fading =
      std::clamp<int64_t>(int64_t{samplesLeft} - voice.fadeStart + 1, 0, int64_t{n});
  int32_t k = 0;
  double position = voice.position;

  // A steady stretch up to `end`: the fade, and with it the whole chain, stays as it is.
  // An overdriven voice reads it from `table` where there is one.
  const auto steady = [&](int32_t end, const ShapeTable* table) {
    const int32_t length = end - k;
    const double speed = voice.speed;
    ArithmeticShape shape = arithmetic;
    shape.fade = voice.fade;
    const bool bounded = voice.fade == 0 && hasBounds;
    if (table != nullptr) {
      const TableShape tableShape{table->entries.data()};
      position = bounded ? RunBounded(position, speed, reader, bounds, tableShape, length, sums + k)
                         : RunForward(position, speed, reader, tableShape, length, sums + k);
    } else {
      position = bounded ? RunBounded(position, speed, reader, bounds, shape, length, sums + k)
                         : RunForward(position, speed, reader, shape, length, sums + k);
    }
    k = end;
  };

  const auto tableFor = [&](int32_t end) LW_REQUIRES(engineLock) {
    return curve != nullptr ? ShapeTableFor(settings, v, voice.fade, end - k) : nullptr;
  };
  if (fading > k) {
    steady(static_cast<int32_t>(fading), tableFor(static_cast<int32_t>(fading)));
  }
  // The fade runs: it doubles sample by sample until it holds at its largest divisor.
  while (k < n && voice.fade != kMaxFade) {
    voice.fade = voice.fade == 0 ? 1 : std::min(2 * voice.fade, kMaxFade);
    position += voice.speed; // no loop or stop points while fading
    int32_t s;
    if (reader.Read(position, s)) {
      ArithmeticShape shape = arithmetic;
      shape.fade = voice.fade;
      shape.Add(s, sums[k]);
    }
    ++k;
  }
  if (n > k) {
    steady(n, tableFor(n));
  }
  voice.position = position;
}

// The table of a voice's chain at its curve, fade, volume and send: one kept from an
// earlier run, or a new one when this run is long enough to repay building it.
const Engine::ShapeTable* Engine::ShapeTableFor(const MixSettings& settings, int v, int32_t fade,
                                                int32_t runLength) noexcept {
  const int32_t curve = settings.distortAmount;
  const int32_t volume = voices[v].volume;
  const int32_t send = settings.send[v];
  for (const ShapeTable& table : shapeTables_) {
    if (table.curve == curve && table.fade == fade && table.volume == volume &&
        table.send == send) {
      return &table;
    }
  }
  if (runLength < kShortRun) {
    return nullptr;
  }
  ShapeTable& table = shapeTables_[nextShapeTable_];
  nextShapeTable_ = (nextShapeTable_ + 1) % shapeTables_.size();
  const ArithmeticShape shape{settings.curve, fade, volume, send, settings.sendHalves[v]};
  static_assert(ShapeTable::kEntries == mixing::kShapeEntries);
  mixing::FillShapeEntries(shape, table.entries.data());
  table.curve = curve;
  table.fade = fade;
  table.volume = volume;
  table.send = send;
  return &table;
}

// Makes the scaled noise cover the next `n` values the run plays. Each value is scaled
// once for each vinyl amount, as playback first reaches it.
void Engine::ScaleVinyl(int32_t n, int32_t amount, const PercentHalves::Bits& halves) noexcept {
  const uint32_t count = vinyl.count;
  const uint32_t first = vinyl.position + 1 >= count ? 0 : vinyl.position + 1;
  if (amount != vinyl.scaledAmount) {
    vinyl.scaledAmount = amount;
    vinyl.scaledFrom = first;
    vinyl.scaledCount = 0;
  }
  const uint32_t offset =
      first >= vinyl.scaledFrom ? first - vinyl.scaledFrom : first + count - vinyl.scaledFrom;
  const auto needed =
      static_cast<uint32_t>(std::min<uint64_t>(uint64_t{offset} + static_cast<uint64_t>(n), count));
  for (uint32_t c = vinyl.scaledCount; c < needed; ++c) {
    uint32_t i = vinyl.scaledFrom + c;
    if (i >= count) {
      i -= count;
    }
    vinyl.scaled[i] = static_cast<int16_t>(ScalePercent(vinyl.noise[i], amount, halves));
  }
  vinyl.scaledCount = std::max(vinyl.scaledCount, needed);
}

} // namespace lw
