// The converting import of a 40 s stereo 24-bit 48 kHz FLAC, written once at start. The
// budget is 0.2 s per import.
#include "samples/SoundFileImport.h"

#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

class SilentPrompts : public lw::UserPrompts {
public:
  void Notice(std::string_view /*text*/) override {}
  void Warning(std::string_view /*text*/) override {}
  bool Confirm(std::string_view /*text*/) override { return true; }
  void ReportIoError(std::string_view /*text*/) override {}
  std::optional<std::string> AskOpenFile(const lw::FileDialogSpec& /*dialog*/) override {
    return std::nullopt;
  }
  std::optional<std::string> AskSaveFile(const lw::FileDialogSpec& /*dialog*/) override {
    return std::nullopt;
  }
};

// Two detuned tones with a little noise, so the encoder has real work to undo.
std::string WriteFlac() {
  std::string path = (std::filesystem::temp_directory_path() / "loopwren-bench-40s.flac").string();
  constexpr int kRate = 48000;
  constexpr int kFrames = 40 * kRate;
  SF_INFO info{};
  info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
  info.channels = 2;
  info.samplerate = kRate;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (f == nullptr) {
    std::abort();
  }
  std::vector<int> frames(2 * static_cast<std::size_t>(kFrames));
  unsigned noise = 1;
  for (int i = 0; i < kFrames; ++i) {
    noise = noise * 1103515245U + 12345U;
    const double t = static_cast<double>(i) / kRate;
    const auto dither = static_cast<double>(noise >> 20U) / 4096.0 - 0.5;
    frames[2 * static_cast<std::size_t>(i)] =
        static_cast<int>((0.4 * std::sin(2 * M_PI * 220 * t) + 0.01 * dither) * 2147483647.0);
    frames[2 * static_cast<std::size_t>(i) + 1] =
        static_cast<int>((0.4 * std::sin(2 * M_PI * 221.5 * t) + 0.01 * dither) * 2147483647.0);
  }
  sf_writef_int(f, frames.data(), kFrames);
  sf_close(f);
  return path;
}

void BM_ConvertFlac40s(benchmark::State& state) {
  static const std::string path = WriteFlac();
  SilentPrompts prompts;
  for (auto _ : state) {
    lw::tWavImportInfo info;
    const lw::ImportedAudio got = lw::ConvertSoundFile(path, prompts, info);
    benchmark::DoNotOptimize(got.data.data());
    if (got.data.size() != 40U * 48000U) {
      state.SkipWithError("the import lost frames");
    }
  }
}
BENCHMARK(BM_ConvertFlac40s)->Unit(benchmark::kMillisecond);

} // namespace
