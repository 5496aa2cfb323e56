// The yardstick for the renderer's speed: a bare mixer of three voices over the busy
// song's 256 s (the same samples, retriggered on every step at the same speeds), with
// no fades, loops, overdrive, volumes, delay, noise or exact rounding, writing a WAV
// file as the renderer does. Whatever the renderer takes beyond this is the engine.
//
// Usage: loopwren_bare_mixer OUT.wav
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kStepSamples = 5512; // a sixteenth at 120 BPM
constexpr int kSteps = 16 * 128;   // 128 patterns

std::vector<int16_t> Sample(int slot, std::size_t n) {
  std::vector<int16_t> data(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i);
    data[i] = static_cast<int16_t>(
        std::lround(15000 * std::sin(0.013 * (slot + 1) * t) + 3000 * std::sin(0.31 * t)));
  }
  return data;
}

void PutLe(uint8_t* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    at[i] = static_cast<uint8_t>(value >> (8 * i));
  }
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT.wav\n", argv[0]);
    return 2;
  }
  const std::vector<int16_t> samples[3] = {Sample(0, 30000), Sample(1, 30000), Sample(2, 88192)};
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const uint32_t dataBytes = uint32_t{kSteps} * kStepSamples * 2;
  uint8_t header[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
  PutLe(header + 4, 36 + dataBytes, 4);
  PutLe(header + 16, 16, 4);
  PutLe(header + 20, 1, 2);
  PutLe(header + 22, 1, 2);
  PutLe(header + 24, kRate, 4);
  PutLe(header + 28, kRate * 2, 4);
  PutLe(header + 32, 2, 2);
  PutLe(header + 34, 16, 2);
  header[36] = 'd';
  header[37] = 'a';
  header[38] = 't';
  header[39] = 'a';
  PutLe(header + 40, dataBytes, 4);
  std::fwrite(header, 1, sizeof header, out);

  std::vector<int16_t> block(kStepSamples);
  for (int step = 0; step < kSteps; ++step) {
    const int st = step % 16;
    const double speed[3] = {(80 + 3 * st) / 100.0, std::pow(2.0, (30 + st - 36) / 12.0), 1.0};
    double position[3] = {0, 0, 0};
    for (int k = 0; k < kStepSamples; ++k) {
      int32_t mix = 0;
      for (int v = 0; v < 3; ++v) {
        position[v] += speed[v];
        const auto index = static_cast<std::size_t>(position[v]);
        if (index < samples[v].size()) {
          mix += samples[v][index];
        }
      }
      mix /= 2;
      block[static_cast<std::size_t>(k)] =
          static_cast<int16_t>(mix > 32767 ? 32767 : (mix < -32768 ? -32768 : mix));
    }
    std::fwrite(block.data(), 2, block.size(), out);
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
