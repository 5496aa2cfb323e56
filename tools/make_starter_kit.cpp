// Synthesises the starter kit: a drum machine's nine drums, a bass, a lead and a chord
// stab tuned to C, and two loops exactly one pattern long at 120 BPM, written as 16-bit
// mono 44100 Hz WAV files that the sample manager imports as they are.
//
// Every sound is made here from sines, squares and noise, shaped by envelopes, filters
// and a little saturation; each starts at silence, fades out over its last milliseconds
// and peaks at -3 dBFS. The files are the same bytes on every machine: the noise comes
// from a seeded integer generator and the sines and exponentials from the routines
// below, which use nothing but IEEE double arithmetic (no C library maths whose last
// bits vary between versions).
//
// Usage: make_starter_kit OUTPUT_FOLDER
#include "audio_out/WavFile.h"
#include "engine/Engine.h"
#include "song/AtomicFileWriter.h"
#include "song/FileIo.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.141592653589793;
constexpr double kLn2 = 0.6931471805599453;
// Every sound is scaled so its largest value is this: -3 dBFS.
constexpr double kPeak = 23197.0;

using Signal = std::vector<double>;

// ---- Portable arithmetic ---------------------------------------------------------------

// sin(2 pi x) for x in cycles: reduced to a quarter wave and summed as a Taylor series,
// whose error there stays below 1e-13.
double Sine(double x) {
  double r = x - std::floor(x); // 0 <= r < 1
  if (r > 0.5) {
    r -= 1.0;
  }
  if (r > 0.25) {
    r = 0.5 - r;
  } else if (r < -0.25) {
    r = -0.5 - r;
  }
  const double a = 2 * kPi * r;
  const double a2 = a * a;
  double term = a;
  double sum = a;
  for (int n = 1; n <= 9; ++n) {
    term *= -a2 / ((2.0 * n) * (2.0 * n + 1));
    sum += term;
  }
  return sum;
}

double Cosine(double x) {
  return Sine(x + 0.25);
}

// e^x: x = k ln 2 + r with |r| <= ln 2 / 2, a Taylor series for e^r and an exact scaling
// by 2^k.
double Exp(double x) {
  if (x < -700.0) {
    return 0.0;
  }
  const double k = std::nearbyint(x / kLn2);
  const double r = x - k * kLn2;
  double term = 1.0;
  double sum = 1.0;
  for (int n = 1; n <= 16; ++n) {
    term *= r / n;
    sum += term;
  }
  return std::ldexp(sum, static_cast<int>(k));
}

double Tanh(double x) {
  return 1.0 - 2.0 / (Exp(2.0 * x) + 1.0);
}

// A frequency `semitones` above or below `hz` in equal temperament.
double Transpose(double hz, double semitones) {
  return hz * Exp(semitones / 12.0 * kLn2);
}

// PCG32 (O'Neill): 64-bit state, 32-bit output, the same sequence everywhere.
class Pcg32 {
public:
  explicit Pcg32(uint64_t seed) : state_(seed + kIncrement) { (void)Next(); }

  uint32_t Next() {
    const uint64_t old = state_;
    state_ = old * 6364136223846793005ULL + kIncrement;
    const auto shifted = static_cast<uint32_t>(((old >> 18U) ^ old) >> 27U);
    const auto rotation = static_cast<uint32_t>(old >> 59U);
    return (shifted >> rotation) | (shifted << ((32U - rotation) & 31U));
  }
  // Uniform in [-1, 1).
  double Bipolar() { return static_cast<double>(Next()) * 0x1.0p-31 - 1.0; }

private:
  static constexpr uint64_t kIncrement = 1442695040888963407ULL;
  uint64_t state_;
};

// A second-order filter with the usual low-pass, high-pass and band-pass responses,
// in transposed direct form II.
class Biquad {
public:
  static Biquad LowPass(double hz, double q) {
    const Shape s = ShapeOf(hz, q);
    return {(1 - s.cosine) / 2, 1 - s.cosine, (1 - s.cosine) / 2, s};
  }
  static Biquad HighPass(double hz, double q) {
    const Shape s = ShapeOf(hz, q);
    return {(1 + s.cosine) / 2, -(1 + s.cosine), (1 + s.cosine) / 2, s};
  }
  // Unity gain at the centre.
  static Biquad BandPass(double hz, double q) {
    const Shape s = ShapeOf(hz, q);
    return {s.alpha, 0.0, -s.alpha, s};
  }

  double Run(double x) {
    const double y = b0_ * x + z1_;
    z1_ = b1_ * x - a1_ * y + z2_;
    z2_ = b2_ * x - a2_ * y;
    return y;
  }

private:
  struct Shape {
    double cosine;
    double alpha;
  };
  static Shape ShapeOf(double hz, double q) {
    const double w = hz / kRate; // cycles per sample
    return {Cosine(w), Sine(w) / (2 * q)};
  }
  Biquad(double b0, double b1, double b2, const Shape& s)
      : b0_(b0 / (1 + s.alpha)), b1_(b1 / (1 + s.alpha)), b2_(b2 / (1 + s.alpha)),
        a1_(-2 * s.cosine / (1 + s.alpha)), a2_((1 - s.alpha) / (1 + s.alpha)) {}

  double b0_, b1_, b2_, a1_, a2_;
  double z1_ = 0.0;
  double z2_ = 0.0;
};

// ---- Building blocks -------------------------------------------------------------------

int Samples(double seconds) {
  return static_cast<int>(std::lround(seconds * kRate));
}

double Seconds(int i) {
  return static_cast<double>(i) / kRate;
}

// 0 at t = 0 rising to 1 at t = `seconds` along a quarter sine squared: no corner at
// either end.
double Attack(double t, double seconds) {
  if (t >= seconds) {
    return 1.0;
  }
  const double s = Sine(t / seconds / 4);
  return s * s;
}

double Decay(double t, double tau) {
  return Exp(-t / tau);
}

// A signal of `seconds`, each value given by voice(i, t).
Signal Make(double seconds, const std::function<double(int, double)>& voice) {
  Signal out(static_cast<std::size_t>(Samples(seconds)));
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto n = static_cast<int>(i);
    out[i] = voice(n, Seconds(n));
  }
  return out;
}

// Fades the last `seconds` out along a raised cosine, so the sound ends at 0.
void FadeOut(Signal& s, double seconds) {
  const auto n = std::min(static_cast<std::size_t>(Samples(seconds)), s.size());
  for (std::size_t k = 0; k < n; ++k) {
    const double x = static_cast<double>(k + 1) / static_cast<double>(n); // to 1 at the end
    s[s.size() - n + k] *= 0.5 + 0.5 * Cosine(x / 2);
  }
}

// Fades the end out over `fadeSeconds` and scales the signal so its largest magnitude
// is 1: every sound of the kit, and every drum before a loop plays it, goes through this
// once.
Signal Finish(Signal s, double fadeSeconds) {
  FadeOut(s, fadeSeconds);
  double peak = 0.0;
  for (double v : s) {
    peak = std::max(peak, std::abs(v));
  }
  if (peak > 0.0) {
    for (double& v : s) {
      v /= peak;
    }
  }
  return s;
}

// Adds `sound` times `gain` into `mix` from `at` on, as far as the mix reaches.
void MixIn(Signal& mix, const Signal& sound, std::size_t at, double gain) {
  for (std::size_t k = 0; k < sound.size() && at + k < mix.size(); ++k) {
    mix[at + k] += gain * sound[k];
  }
}

// A band-limited oscillator built from its harmonics: sum over k of amplitude(k, t) *
// sin(2 pi k phase), every harmonic below `highest` Hz. The sines of the multiples come
// from the Chebyshev recurrence sin(k+1)x = 2 cos x sin kx - sin(k-1)x.
double Harmonics(double phase, double hz, double highest,
                 const std::function<double(int)>& amplitude) {
  const double s1 = Sine(phase);
  const double twoCos = 2 * Cosine(phase);
  double previous = 0.0;
  double current = s1;
  double sum = 0.0;
  for (int k = 1; k * hz < highest; ++k) {
    sum += amplitude(k) * current;
    const double next = twoCos * current - previous;
    previous = current;
    current = next;
  }
  return sum;
}

// The gain of a resonant low-pass at `x` times its cutoff: a fourth-power roll-off with
// a bump of `resonance` around the cutoff.
double LowPassGain(double x, double resonance) {
  const double x2 = x * x;
  const double bump = std::abs(x - 1) < 1.5 ? resonance * Exp(-(x - 1) * (x - 1) / 0.09) : 0.0;
  return (1.0 + bump) / std::sqrt(1.0 + x2 * x2);
}

// Advances a phase in cycles, kept within [0, 1) so it never loses precision.
void Advance(double& phase, double hz) {
  phase += hz / kRate;
  phase -= std::floor(phase);
}

// ---- The drums -------------------------------------------------------------------------

Signal Kick(Pcg32& noise) {
  double phase = 0.0;
  Biquad click = Biquad::LowPass(3000, 0.7);
  return Make(0.7, [&](int, double t) {
    // The pitch falls from about 400 Hz to 46 Hz in the first tens of milliseconds.
    const double hz = 46 + 100 * Decay(t, 0.045) + 260 * Decay(t, 0.006);
    const double body = Sine(phase) * Decay(t, 0.2);
    Advance(phase, hz);
    const double tick = click.Run(noise.Bipolar()) * Decay(t, 0.003) * Attack(t, 0.0005);
    return Tanh(1.7 * body + 0.5 * tick);
  });
}

Signal Snare(Pcg32& noise) {
  double low = 0.0;
  double high = 0.0;
  Biquad bright = Biquad::HighPass(1500, 0.7);
  Biquad soft = Biquad::LowPass(9000, 0.7);
  return Make(0.35, [&](int, double t) {
    const double drop = 1 + 0.25 * Decay(t, 0.012);
    const double tone = 0.7 * Sine(low) + 0.45 * Sine(high);
    Advance(low, 185 * drop);
    Advance(high, 330 * drop);
    const double rattle = soft.Run(bright.Run(noise.Bipolar()));
    const double shape = Attack(t, 0.0008);
    return shape * (0.5 * tone * Decay(t, 0.05) + 2.0 * rattle * Decay(t, 0.1));
  });
}

Signal Clap(Pcg32& noise) {
  Biquad body = Biquad::BandPass(1150, 1.4);
  Biquad air = Biquad::HighPass(600, 0.7);
  // Four hands a few milliseconds apart, then the room.
  const std::array<double, 4> hands = {0.0, 0.011, 0.023, 0.032};
  return Make(0.4, [&](int, double t) {
    double level = 0.0;
    for (double at : hands) {
      if (t >= at) {
        level += Attack(t - at, 0.0004) * Decay(t - at, 0.0045);
      }
    }
    if (t >= hands.back()) {
      level += 0.55 * Decay(t - hands.back(), 0.11);
    }
    return level * air.Run(body.Run(noise.Bipolar()));
  });
}

// Six detuned square waves at inharmonic ratios, filtered to the top octaves, with a
// little noise: the metallic wash of a drum machine's cymbals.
Signal Hat(Pcg32& noise, double seconds, double tau) {
  const std::array<double, 6> hz = {317.0, 465.6, 565.1, 799.2, 825.6, 1223.2};
  std::array<double, 6> phases{};
  Biquad band = Biquad::BandPass(10000, 0.9);
  Biquad high = Biquad::HighPass(7000, 0.7);
  return Make(seconds, [&](int, double t) {
    double metal = 0.0;
    for (std::size_t k = 0; k < hz.size(); ++k) {
      metal += phases[k] < 0.5 ? 1.0 : -1.0;
      Advance(phases[k], hz[k]);
    }
    const double wash = high.Run(band.Run(metal / 6 + 0.5 * noise.Bipolar()));
    return wash * Attack(t, 0.0003) * Decay(t, tau);
  });
}

Signal Rim(Pcg32& noise) {
  double low = 0.0;
  double high = 0.0;
  Biquad snap = Biquad::HighPass(2500, 0.7);
  Biquad cut = Biquad::HighPass(250, 0.7);
  return Make(0.12, [&](int, double t) {
    const double ring = (0.8 * Sine(low) + Sine(high)) * Decay(t, 0.011);
    Advance(low, 480);
    Advance(high, 1720);
    const double click = snap.Run(noise.Bipolar()) * Decay(t, 0.0035);
    return cut.Run(Attack(t, 0.0002) * (ring + 0.6 * click));
  });
}

Signal Tom(Pcg32& noise, double hz) {
  double phase = 0.0;
  Biquad stick = Biquad::LowPass(4000, 0.7);
  return Make(0.6, [&](int, double t) {
    const double body = Sine(phase) * Decay(t, 0.2);
    Advance(phase, hz * (1 + 0.4 * Decay(t, 0.06)));
    const double hit = stick.Run(noise.Bipolar()) * Decay(t, 0.012) * Attack(t, 0.0004);
    return Tanh(1.4 * body + 0.25 * hit);
  });
}

// Two square waves a sixth apart through a band-pass, with a loud short strike and a
// longer ring.
Signal Cowbell() {
  double a = 0.0;
  double b = 0.0;
  Biquad tone = Biquad::BandPass(1400, 0.8);
  const auto square = [](int k) { return k % 2 == 1 ? 1.0 / k : 0.0; };
  return Make(0.45, [&](int, double t) {
    const double both = Harmonics(a, 540, 16000, square) + Harmonics(b, 800, 16000, square);
    Advance(a, 540);
    Advance(b, 800);
    const double level = Attack(t, 0.0005) * (0.6 * Decay(t, 0.012) + 0.4 * Decay(t, 0.13));
    return level * (tone.Run(both) + 0.25 * both);
  });
}

// ---- The pitched instruments -----------------------------------------------------------

constexpr double kC2 = 65.40639132514966;
constexpr double kC4 = 261.6255653005986;

// A sawtooth with a sub sine through a resonant low-pass whose cutoff sweeps down.
Signal Bass() {
  double phase = 0.0;
  return Make(1.2, [&](int, double t) {
    const double cutoff = 170 + 1300 * Decay(t, 0.09);
    const double saw =
        Harmonics(phase, kC2, 9000, [&](int k) { return LowPassGain(k * kC2 / cutoff, 0.8) / k; });
    const double sub = 0.45 * Sine(phase);
    Advance(phase, kC2);
    const double level = Attack(t, 0.004) * (0.65 + 0.35 * Decay(t, 0.25));
    return Tanh(0.8 * level * (saw + sub));
  });
}

// Saw and square together, with a filter that opens on the attack and settles.
Signal Lead() {
  double phase = 0.0;
  return Make(1.2, [&](int, double t) {
    const double cutoff = 800 + 3800 * Decay(t, 0.14);
    const double tone = Harmonics(phase, kC4, 14000, [&](int k) {
      const double square = k % 2 == 1 ? 0.6 : 0.0;
      return LowPassGain(k * kC4 / cutoff, 0.5) * (1.0 + square) / k;
    });
    Advance(phase, kC4);
    return tone * Attack(t, 0.006) * (0.35 + 0.65 * Decay(t, 0.3)) * Decay(t, 1.6);
  });
}

// A C minor seventh chord (C4 Eb4 G4 Bb4) of two-operator FM tones, bright on the attack.
Signal Stab() {
  const std::array<double, 4> semitones = {0, 3, 7, 10};
  const std::array<double, 4> weights = {1.0, 0.8, 0.8, 0.65};
  std::array<double, 4> phases{};
  std::array<double, 4> hz{};
  for (std::size_t n = 0; n < hz.size(); ++n) {
    hz[n] = Transpose(kC4, semitones[n]);
  }
  return Make(0.9, [&](int, double t) {
    const double index = (0.25 + 1.4 * Decay(t, 0.07)) / (2 * kPi); // in cycles
    double chord = 0.0;
    for (std::size_t n = 0; n < hz.size(); ++n) {
      chord += weights[n] * Sine(phases[n] + index * Sine(phases[n]));
      Advance(phases[n], hz[n]);
    }
    return chord * Attack(t, 0.003) * Decay(t, 0.3);
  });
}

// ---- The loops -------------------------------------------------------------------------

struct Drums {
  Signal kick, snare, hatClosed, hatOpen;
};

// A funk break: kick, snare with ghost notes, sixteenth hats with an open hat, the
// off-beat sixteenths pushed a little late.
Signal FunkLoop(const Drums& d, std::size_t patternSamples) {
  const std::size_t step = patternSamples / 16;
  const std::size_t swing = step / 12;
  Signal mix(patternSamples, 0.0);
  const auto at = [&](std::size_t s) { return s * step + (s % 2) * swing; };
  const std::array<double, 16> kick = {1, 0, 0, .7, 0, 0, 0, 0, .9, 0, .8, 0, 0, 0, 0, 0};
  const std::array<double, 16> snare = {0, 0, 0, 0, 1, 0, 0, .2, 0, .18, 0, 0, 1, 0, .22, .3};
  for (std::size_t s = 0; s < 16; ++s) {
    if (kick[s] > 0) {
      MixIn(mix, d.kick, at(s), 0.9 * kick[s]);
    }
    if (snare[s] > 0) {
      MixIn(mix, d.snare, at(s), 0.85 * snare[s]);
    }
    if (s == 14) {
      MixIn(mix, d.hatOpen, at(s), 0.3);
    } else if (s != 15) {
      MixIn(mix, d.hatClosed, at(s), s % 2 == 0 ? 0.38 : 0.2);
    }
  }
  for (double& v : mix) {
    v = Tanh(1.1 * v); // glue
  }
  return mix;
}

// A sixteenth-note arpeggio over C minor with a plucked saw and one echo three steps on.
Signal ArpLoop(std::size_t patternSamples) {
  const std::size_t step = patternSamples / 16;
  const std::array<int, 16> notes = {0, 3, 7, 12, 7, 3, 10, 7, 0, 3, 7, 12, 14, 12, 10, 7};
  Signal dry(patternSamples, 0.0);
  for (std::size_t s = 0; s < 16; ++s) {
    const double hz = Transpose(kC4, notes[s]);
    double phase = 0.0;
    Signal pluck = Make(Seconds(static_cast<int>(2 * step)), [&](int, double t) {
      const double cutoff = 500 + 3200 * Decay(t, 0.05);
      const double saw =
          Harmonics(phase, hz, 12000, [&](int k) { return LowPassGain(k * hz / cutoff, 0.6) / k; });
      Advance(phase, hz);
      return saw * Attack(t, 0.002) * Decay(t, 0.12);
    });
    FadeOut(pluck, 0.005);
    MixIn(dry, pluck, s * step, s % 4 == 0 ? 1.0 : 0.7);
  }
  Signal wet = dry;
  MixIn(wet, dry, 3 * step, 0.35);
  return wet;
}

// ---- Output ----------------------------------------------------------------------------

// Writes a finished sound as a WAV file at the kit's peak. False when it cannot be
// written.
bool Write(const std::filesystem::path& folder, const std::string& name, const Signal& s) {
  std::vector<uint8_t> bytes;
  const auto header = lw::WavHeader(static_cast<uint32_t>(2 * s.size()));
  bytes.insert(bytes.end(), header.begin(), header.end());
  for (double v : s) {
    const auto value = static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * kPeak)));
    bytes.push_back(static_cast<uint8_t>(value & 0xFFU));
    bytes.push_back(static_cast<uint8_t>(value >> 8U));
  }
  const std::string path = (folder / name).string();
  lw::AtomicFileWriter out;
  if (!out.Open(path)) {
    std::perror(path.c_str());
    return false;
  }
  try {
    out.Write(bytes.data(), bytes.size());
    out.Commit();
  } catch (const lw::IoError& error) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), error.what());
    return false;
  }
  return true;
}

// One pattern at 120 BPM in samples, as the engine's step clock times it.
std::size_t PatternSamplesAt120() {
  auto engine = std::make_unique<lw::Engine>();
  const lw::EngineHold hold(engine->engineLock);
  engine->NewSong();
  engine->state.song.tempo = 120;
  engine->UpdateTiming();
  return static_cast<std::size_t>(engine->clock.patternSamples);
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_starter_kit OUTPUT_FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.message().c_str());
    return 1;
  }

  // Each sound has its own noise, so changing one never changes another.
  Pcg32 kickNoise(1);
  Pcg32 snareNoise(2);
  Pcg32 clapNoise(3);
  Pcg32 closedNoise(4);
  Pcg32 openNoise(5);
  Pcg32 rimNoise(6);
  Pcg32 lowTomNoise(7);
  Pcg32 highTomNoise(8);

  // Drums fade over their last 10 ms, the booming ones and the instruments over 30 ms,
  // and the loops over 5 ms so they restart cleanly.
  constexpr double kDrumFade = 0.01;
  constexpr double kLongFade = 0.03;
  constexpr double kLoopFade = 0.005;
  const Drums drums{Finish(Kick(kickNoise), kLongFade), Finish(Snare(snareNoise), kDrumFade),
                    Finish(Hat(closedNoise, 0.15, 0.03), kDrumFade),
                    Finish(Hat(openNoise, 0.7, 0.2), kDrumFade)};
  const int pattern = PatternSamplesAt120();

  const std::vector<std::pair<const char*, Signal>> kit = {
      {"kick.wav", drums.kick},
      {"snare.wav", drums.snare},
      {"clap.wav", Finish(Clap(clapNoise), kDrumFade)},
      {"hat-closed.wav", drums.hatClosed},
      {"hat-open.wav", drums.hatOpen},
      {"rim.wav", Finish(Rim(rimNoise), kDrumFade)},
      {"tom-low.wav", Finish(Tom(lowTomNoise, 98.0), kLongFade)},
      {"tom-high.wav", Finish(Tom(highTomNoise, 147.0), kLongFade)},
      {"cowbell.wav", Finish(Cowbell(), kDrumFade)},
      {"bass-C2.wav", Finish(Bass(), kLongFade)},
      {"lead-C4.wav", Finish(Lead(), kLongFade)},
      {"stab-Cm7-C4.wav", Finish(Stab(), kLongFade)},
      {"loop-funk-120.wav", Finish(FunkLoop(drums, pattern), kLoopFade)},
      {"loop-arp-Cm-120.wav", Finish(ArpLoop(pattern), kLoopFade)},
  };
  for (const auto& [name, signal] : kit) {
    if (!Write(folder, name, signal)) {
      return 1;
    }
  }
  return 0;
}
