// Loading and saving a song that holds 64 samples of 4 MB each (a 256 MiB file): the
// time of each, and the peak memory a load adds, measured in a fresh process.
//
// Usage: loopwren_songfile_bench [FOLDER]   (default: the system's temporary folder)
//        loopwren_songfile_bench --write-only SONG.LW   (only writes the song, to profile)
#include "BusySong.h"
#include "samples/SongFile.h"
#include "song/AtomicFileWriter.h"
#include "song/Paths.h"
#include "song/ReadOnlyFile.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

using namespace lw;
using Clock = std::chrono::steady_clock;

long PeakRssKiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Runs in a fresh process: loads the file and prints the load time and added peak memory.
int LoadOnly(const std::string& path) {
  const long before = PeakRssKiB();
  const auto start = Clock::now();
  ReadOnlyFile file;
  if (!file.Open(path)) {
    return 1;
  }
  const auto content = ReadSongBody(file);
  const double seconds = Seconds(start);
  std::printf("%.4f %ld\n", seconds, PeakRssKiB() - before);
  return content->samples.slots[63].isUsed() ? 0 : 1;
}

// The song measured: 64 samples of 4 MB each.
std::unique_ptr<Engine> BigSong() {
  auto engine = std::make_unique<Engine>();
  engine->NewSong();
  for (int i = 0; i < kSampleSlots; ++i) {
    SampleData data(2 * 1024 * 1024, 0); // 4 MB of sample data
    for (std::size_t k = 0; k < data.size(); k += 97) {
      data[k] = static_cast<int16_t>(k * (i + 1));
    }
    FillSlot(engine->samples.slots[i], std::move(data), 44100, "Sample", SampleCategory::Loop);
  }
  return engine;
}

// Writes the song once, for a profiler to load.
int WriteOnly(const std::string& path) {
  const auto engine = BigSong();
  AtomicFileWriter out;
  if (!out.Open(path)) {
    std::perror(path.c_str());
    return 1;
  }
  WriteSongBody(out, engine->state.song, engine->state.sequence, engine->samples);
  out.Commit();
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--load-only") {
    return LoadOnly(argv[2]);
  }
  if (argc == 3 && std::string(argv[1]) == "--write-only") {
    return WriteOnly(argv[2]);
  }
  const std::string folder = argc > 1 ? argv[1] : "/tmp";
  const std::string path = folder + "/loopwren-bench-64x4MB.LW";

  auto engine = BigSong();

  double saveBest = 1e9;
  for (int round = 0; round < 3; ++round) {
    const auto start = Clock::now();
    AtomicFileWriter out;
    if (!out.Open(path)) {
      std::perror(path.c_str());
      return 1;
    }
    WriteSongBody(out, engine->state.song, engine->state.sequence, engine->samples);
    out.Commit();
    saveBest = std::min(saveBest, Seconds(start));
  }
  engine.reset();

  ReadOnlyFile probe;
  probe.Open(path);
  const double fileMiB = static_cast<double>(probe.Size()) / (1 << 20);

  double loadBest = 1e9;
  long peakKiB = 0;
  char selfPath[4096] = {};
  if (::readlink("/proc/self/exe", selfPath, sizeof selfPath - 1) <= 0) {
    return 1;
  }
  const std::string self = selfPath;
  for (int round = 0; round < 3; ++round) {
    const std::string command = self + " --load-only '" + path + "'";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    double seconds = 0;
    long kib = 0;
    if (pipe == nullptr || std::fscanf(pipe, "%lf %ld", &seconds, &kib) != 2 ||
        ::pclose(pipe) != 0) {
      std::fprintf(stderr, "load failed\n");
      return 1;
    }
    loadBest = std::min(loadBest, seconds);
    peakKiB = std::max(peakKiB, kib);
  }
  // As a user meets it: the command-line renderer loads the song and renders one
  // pattern, in a process of its own; wall time and peak memory.
  const std::string renderer = ProgramFolder() + "loopwren-render";
  const std::string wav = folder + "/loopwren-bench-64x4MB.wav";
  double renderBest = 1e9;
  long renderPeakKiB = 0;
  for (int round = 0; round < 3; ++round) {
    const auto start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
      ::execl(renderer.c_str(), renderer.c_str(), "--quiet", "--pattern", "1-1", path.c_str(),
              wav.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "render failed\n");
      return 1;
    }
    renderBest = std::min(renderBest, Seconds(start));
    renderPeakKiB = std::max(renderPeakKiB, usage.ru_maxrss);
  }
  ::unlink(wav.c_str());
  ::unlink(path.c_str());

  std::printf("song file: %.1f MiB (64 samples of 4 MB)\n", fileMiB);
  std::printf("loopwren-render --pattern 1-1: %.3f s (best of 3, whole process), peak memory "
              "%.1f MiB = %.2f x the file size\n",
              renderBest, renderPeakKiB / 1024.0, renderPeakKiB / 1024.0 / fileMiB);
  std::printf("save: %.3f s (best of 3, written to a temporary file, synced, renamed)\n", saveBest);
  std::printf("load: %.3f s (best of 3, fresh process)\n", loadBest);
  std::printf("peak memory added by a load: %.1f MiB = %.2f x the file size\n", peakKiB / 1024.0,
              peakKiB / 1024.0 / fileMiB);
  return 0;
}
