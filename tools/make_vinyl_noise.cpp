// Synthesises the record-surface noise that LoopWren loops under the music: surface
// hiss, dust crackle, clicks of varied size, two scratches that come round once per
// revolution, and a little low rumble. The result is deterministic from its seed and
// loops without a seam: its length is a whole number of revolutions at 33 1/3 rpm,
// events are placed on a circular timeline, and every filter runs twice round the loop
// so its state at the end meets its state at the start.
//
// Usage: make_vinyl_noise OUTPUT [SEED]
// Writes headerless signed 16-bit little-endian mono samples at 44100 Hz.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kRevolution = kRate * 9 / 5; // 1.8 s per turn at 33 1/3 rpm
constexpr int kLength = kRevolution * 11;  // 19.8 s

// splitmix64: small, fast and the same everywhere.
class Random {
public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30U)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27U)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31U);
  }
  double Uniform() { return static_cast<double>(Next() >> 11U) * 0x1.0p-53; } // [0, 1)
  double Between(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
  double Sign() { return (Next() & 1U) != 0 ? 1.0 : -1.0; }
  double Gaussian() { // Box-Muller
    const double u = 1.0 - Uniform();
    return std::sqrt(-2.0 * std::log(u)) * std::cos(2 * std::numbers::pi * Uniform());
  }

private:
  uint64_t state_;
};

// One-pole filters, run circularly: two passes round the loop, keeping the second.
std::vector<double> LowPassLoop(const std::vector<double>& in, double cutoffHz) {
  const double a = std::exp(-2 * std::numbers::pi * cutoffHz / kRate);
  std::vector<double> out(in.size());
  double y = 0.0;
  for (int pass = 0; pass < 2; ++pass) {
    for (std::size_t i = 0; i < in.size(); ++i) {
      y = (1 - a) * in[i] + a * y;
      out[i] = y;
    }
  }
  return out;
}

std::vector<double> HighPassLoop(const std::vector<double>& in, double cutoffHz) {
  std::vector<double> low = LowPassLoop(in, cutoffHz);
  for (std::size_t i = 0; i < in.size(); ++i) {
    low[i] = in[i] - low[i];
  }
  return low;
}

// Adds a decaying burst at `at`, wrapping round the loop: a resonant ring at `freq`
// mixed with a noisy edge, the shape of a speck of dust hit by the stylus.
void AddBurst(std::vector<double>& out, Random& rng, int at, double amplitude, double decayMs,
              double freq) {
  const int length = static_cast<int>(decayMs * 6 * kRate / 1000) + 2;
  const double tau = decayMs * kRate / 1000;
  const double phase = rng.Between(0, 2 * std::numbers::pi);
  const double sign = rng.Sign();
  for (int t = 0; t < length; ++t) {
    const double envelope = std::exp(-t / tau);
    const double ring = std::sin(2 * std::numbers::pi * freq * t / kRate + phase);
    const double edge = t < 3 ? rng.Between(-1, 1) : 0.0;
    out[static_cast<std::size_t>((at + t) % kLength)] +=
        sign * amplitude * envelope * (0.75 * ring + 0.25 * edge);
  }
}

// A low thump under a big click: the tone arm's body answering the jolt.
void AddThump(std::vector<double>& out, int at, double amplitude) {
  const double tau = 0.006 * kRate;
  for (int t = 0; t < static_cast<int>(tau * 6); ++t) {
    out[static_cast<std::size_t>((at + t) % kLength)] +=
        amplitude * std::exp(-t / tau) * std::sin(2 * std::numbers::pi * 70.0 * t / kRate);
  }
}

std::vector<double> Hiss(Random& rng) {
  std::vector<double> white(kLength);
  for (double& v : white) {
    v = rng.Gaussian();
  }
  // Surface hiss sits between a few hundred hertz and the top of the groove's response.
  std::vector<double> hiss = LowPassLoop(LowPassLoop(HighPassLoop(white, 250.0), 7000.0), 11000.0);
  // The surface breathes a little as the record turns.
  for (int i = 0; i < kLength; ++i) {
    const double turn = 2 * std::numbers::pi * i / kRevolution;
    hiss[static_cast<std::size_t>(i)] *=
        450.0 * (1.0 + 0.12 * std::sin(turn) + 0.05 * std::sin(3 * turn));
  }
  return hiss;
}

std::vector<double> Rumble(Random& rng) {
  std::vector<double> white(kLength);
  for (double& v : white) {
    v = rng.Gaussian();
  }
  std::vector<double> rumble = HighPassLoop(LowPassLoop(LowPassLoop(white, 35.0), 35.0), 8.0);
  double peak = 1e-9;
  for (double v : rumble) {
    peak = std::max(peak, std::abs(v));
  }
  for (double& v : rumble) {
    v *= 300.0 / peak;
  }
  return rumble;
}

void Crackle(std::vector<double>& out, Random& rng) {
  // Dust: many small ticks, their sizes heavy-tailed so a few stand out.
  const int ticks = kLength / kRate * 45;
  for (int i = 0; i < ticks; ++i) {
    const int at = static_cast<int>(rng.Uniform() * kLength);
    const double size = std::min(7000.0, 260.0 / std::pow(1.0 - rng.Uniform(), 0.55));
    AddBurst(out, rng, at, size, rng.Between(0.05, 0.35), rng.Between(2500, 7000));
  }
  // Clicks: fewer, louder and longer, some with a thump under them.
  const int clicks = kLength / kRate * 7 / 10;
  for (int i = 0; i < clicks; ++i) {
    const int at = static_cast<int>(rng.Uniform() * kLength);
    const double size = rng.Between(4000, 12000);
    AddBurst(out, rng, at, size, rng.Between(0.4, 1.6), rng.Between(900, 2600));
    if (rng.Uniform() < 0.5) {
      AddThump(out, at, size * 0.35);
    }
  }
  // Two scratches, met once per revolution, never quite the same twice.
  for (int scratch = 0; scratch < 2; ++scratch) {
    const int place = static_cast<int>(rng.Uniform() * kRevolution);
    const double size = rng.Between(4500, 8000);
    for (int turn = 0; turn < kLength / kRevolution; ++turn) {
      AddBurst(out, rng, place + turn * kRevolution, size * rng.Between(0.8, 1.1), 0.9, 1400.0);
      AddThump(out, place + turn * kRevolution, size * 0.25);
    }
  }
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_vinyl_noise OUTPUT [SEED]\n");
    return 2;
  }
  const uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 0x4C6F6F7057726E31ULL;
  Random rng(seed);
  std::vector<double> mix = Hiss(rng);
  const std::vector<double> rumble = Rumble(rng);
  for (int i = 0; i < kLength; ++i) {
    mix[static_cast<std::size_t>(i)] += rumble[static_cast<std::size_t>(i)];
  }
  Crackle(mix, rng);

  std::vector<uint8_t> bytes;
  bytes.reserve(2 * mix.size());
  for (double v : mix) {
    // A gentle ceiling keeps the loudest clicks from biting.
    const double limited = 14000.0 * std::tanh(v / 14000.0);
    const auto s = static_cast<int16_t>(std::lround(limited));
    bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) & 0xFFU));
    bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8U));
  }
  std::FILE* f = std::fopen(argv[1], "wb");
  if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() ||
      std::fclose(f) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
