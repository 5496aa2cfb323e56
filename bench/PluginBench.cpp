// The LV2 plugin in the tests' host: the busy song at 64-frame blocks (budget: under 2 %
// of one core), at its own tempo and at another; and a 90 MB song loaded through the
// worker while run() goes on every 1.45 ms: run() never waits on it (the longest run()
// meanwhile), and the song is ready in under 0.3 s.
//
// usage: loopwren_plugin_bench [SECONDS]   (of audio per tempo; default 60)
#include "BusySong.h"
#include "PluginHost.h"
#include "samples/SongFile.h"
#include "song/AtomicFileWriter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace {

using namespace lw;
using Clock = std::chrono::steady_clock;

bool Write(const Engine& engine, const std::string& path) {
  AtomicFileWriter out;
  if (!out.Open(path)) {
    return false;
  }
  try {
    const SongDocument& state = engine.Interface();
    WriteSongBody(out, state.song, state.sequence, engine.InterfaceSamples());
    out.Commit();
  } catch (const IoError&) {
    return false;
  }
  return true;
}

// The busy song with its three samples swapped for long ones, 90 MB in all.
std::unique_ptr<Engine> BigSong() {
  auto e = bench::BusySong();
  const EngineHold hold(e->engineLock);
  constexpr std::size_t kSamples = 45'000'000 / 15;
  for (int slot = 0; slot < 15; ++slot) {
    SampleData data(kSamples);
    for (std::size_t i = 0; i < data.size(); ++i) {
      data[i] = static_cast<int16_t>((i * 7919 + static_cast<std::size_t>(slot) * 104729) % 60000 -
                                     30000);
    }
    FillSlot(e->samples.slots[slot], std::move(data), 44100, "long", SampleCategory::Loop);
  }
  return e;
}

void Load(test::PluginHost& host, const std::string& path) {
  host.SetSong(path);
  host.Run(64);
  host.RunWorker();
  host.Run(64);
  host.RunWorker();
}

void Playing(const std::string& song, double bpm, double seconds) {
  test::PluginHost host;
  Load(host, song);
  const auto blocks = static_cast<int>(seconds * 44100 / 64);
  host.Position(0, true, bpm, 0);
  double busy = 0;
  for (int b = 0; b < blocks; ++b) {
    const auto start = Clock::now();
    host.RunPlugin(64);
    busy += std::chrono::duration<double>(Clock::now() - start).count();
    host.ClearEvents();
  }
  std::printf("busy song at %.1f BPM, 64-frame blocks: %.2f %% of one core (%.2f us a block)\n",
              bpm, 100 * busy / seconds, 1e6 * busy / blocks);
}

void Loading(const std::string& song) {
  test::PluginHost host;
  host.Position(0, true, 120, 0);
  host.Run(64);
  const auto asked = Clock::now();
  host.SetSong(song);
  host.Run(64);
  std::atomic<bool> done{false};
  std::thread worker([&] {
    host.RunWorker();
    done = true;
  });
  double longest = 0;
  auto next = Clock::now();
  int runs = 0;
  while (!done) {
    next += std::chrono::microseconds(1451);
    std::this_thread::sleep_until(next);
    const auto start = Clock::now();
    host.RunPlugin(64);
    longest = std::max(longest, std::chrono::duration<double>(Clock::now() - start).count());
    ++runs;
  }
  worker.join();
  host.Run(64); // the loaded song takes over
  const double ready = std::chrono::duration<double>(Clock::now() - asked).count();
  std::printf("90 MB song: ready %.3f s after it was asked for; meanwhile %d runs, the longest "
              "%.1f us\n",
              ready, runs, 1e6 * longest);
}

} // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 60;
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / "loopwren-plugin-bench";
  std::filesystem::create_directories(dir);
  const std::string busy = (dir / "busy.lw").string();
  const std::string big = (dir / "big.lw").string();
  if (!Write(*bench::BusySong(), busy) || !Write(*BigSong(), big)) {
    std::perror(dir.c_str());
    return 1;
  }
  std::printf("big song: %.1f MB\n", static_cast<double>(std::filesystem::file_size(big)) / 1e6);
  Playing(busy, 120, seconds);
  Playing(busy, 128.5, seconds);
  Loading(big);
  std::filesystem::remove_all(dir);
  return 0;
}
