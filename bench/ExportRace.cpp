// loopwren-render's exports as a user times them, as processes: the busy song (256 s)
// to FLAC (budget: 500 times real time), with and without stems, beside the same song
// to a 16-bit WAV; then eight busy songs rendered into one folder, with -j 2 against
// one run after another (budget: 1.8 times faster on two cores), in WAV and in FLAC.
// The runs alternate, so a machine that slows down slows all of them; the medians are
// reported, with the processor time, which other work on the machine does not inflate.
//
// Usage: loopwren_export_race [RUNS]   (default 5)
#include "BusySong.h"
#include "samples/SongFile.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace lw;

struct Timing {
  double wall = 0; // seconds
  double cpu = 0;  // user and system, every thread
};

// Runs a program to its end, its output thrown away.
Timing Run(const std::vector<std::string>& argv) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int quiet = ::open("/dev/null", O_WRONLY);
    ::dup2(quiet, STDOUT_FILENO);
    ::dup2(quiet, STDERR_FILENO);
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) {
      args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::string command;
    for (const std::string& a : argv) {
      command += a + " ";
    }
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
          seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

bool WriteSong(const Engine& engine, const std::string& path) {
  AtomicFileWriter out;
  if (!out.Open(path)) {
    return false;
  }
  const SongDocument& state = engine.Interface();
  WriteSongBody(out, state.song, state.sequence, engine.InterfaceSamples());
  out.Commit();
  return true;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::string render = ProgramFolder() + "loopwren-render";
  const std::string dir = "/tmp/loopwren-export-race-" + std::to_string(::getpid());
  const std::string out = dir + "/out";
  std::filesystem::create_directories(out);
  constexpr int kSongs = 8;
  std::vector<std::string> songs;
  for (int s = 0; s < kSongs; ++s) {
    // Sends from 40 % to 54 %: eight songs as busy as each other, none the same.
    songs.push_back(dir + "/busy" + std::to_string(40 + 2 * s) + ".LW");
    if (!WriteSong(*bench::BusySong(40 + 2 * s), songs.back())) {
      std::perror(songs.back().c_str());
      return 1;
    }
  }
  const double songSeconds = 256.0;

  struct Entry {
    const char* name;
    std::vector<std::vector<std::string>> commands; // run one after another
    double audioSeconds;
    std::vector<double> wall, cpu;
  };
  const auto one = [&](std::vector<std::string> options, const std::string& target) {
    std::vector<std::string> argv{render, "--quiet"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(songs[0]);
    argv.push_back(out + "/" + target);
    return argv;
  };
  const auto batch = [&](const std::string& jobs, const std::string& format) {
    std::vector<std::string> argv{render,     "--quiet", "-j",        jobs,
                                  "--format", format,    "--out-dir", out};
    argv.insert(argv.end(), songs.begin(), songs.end());
    return std::vector<std::vector<std::string>>{argv};
  };
  const auto oneByOne = [&](const std::string& extension) {
    std::vector<std::vector<std::string>> commands;
    commands.reserve(songs.size());
    for (std::size_t s = 0; s < songs.size(); ++s) {
      std::string target = out;
      target.append("/alone").append(std::to_string(s)).append(extension);
      commands.push_back({render, "--quiet", songs[s], target});
    }
    return commands;
  };
  std::vector<Entry> entries = {
      {"busy song to 16-bit WAV", {one({}, "busy.wav")}, songSeconds, {}, {}},
      {"busy song to FLAC", {one({}, "busy.flac")}, songSeconds, {}, {}},
      {"busy song to FLAC with its stems", {one({"--stems"}, "stems.flac")}, songSeconds, {}, {}},
      {"8 songs to WAV, one run after another", oneByOne(".wav"), kSongs * songSeconds, {}, {}},
      {"8 songs to WAV, -j 2", batch("2", "wav16"), kSongs * songSeconds, {}, {}},
      {"8 songs to FLAC, one run after another", oneByOne(".flac"), kSongs * songSeconds, {}, {}},
      {"8 songs to FLAC, -j 2", batch("2", "flac"), kSongs * songSeconds, {}, {}},
  };
  for (int r = 0; r < runs; ++r) {
    for (Entry& e : entries) {
      Timing sum;
      for (const auto& command : e.commands) {
        const Timing t = Run(command);
        sum.wall += t.wall;
        sum.cpu += t.cpu;
      }
      e.wall.push_back(sum.wall);
      e.cpu.push_back(sum.cpu);
    }
  }
  std::printf("medians of %d alternating runs, %u cores\n", runs,
              std::thread::hardware_concurrency());
  for (const Entry& e : entries) {
    const double wall = Median(e.wall);
    std::printf("%-42s %8.3f s wall %8.3f s cpu %8.0f x real time\n", e.name, wall, Median(e.cpu),
                e.audioSeconds / wall);
  }
  std::printf("FLAC with stems against FLAC alone: %.2f x its time\n",
              Median(entries[2].wall) / Median(entries[1].wall));
  std::printf("-j 2 against one run after another: %.2f x faster (WAV), %.2f x faster (FLAC)\n",
              Median(entries[3].wall) / Median(entries[4].wall),
              Median(entries[5].wall) / Median(entries[6].wall));
  std::filesystem::remove_all(dir);
  return 0;
}
