// The renderer as a user times it: loopwren-render run as a process on the busy song
// (sends and noise at 50 %, where the percentage scaling meets exact halves, and sends at
// 40 %), side by side with the bare three-voice mixer on the same 256 s, and on one
// pattern of a new song (start-up plus 2 s of audio, with the start-up the renderer
// reports). The runs alternate, so a machine
// that slows down slows all of them; the medians are reported.
//
// Usage: loopwren_render_race [RUNS]   (default 9)
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
#include <string>
#include <vector>

namespace {

using namespace lw;

struct Timing {
  double wall;
  double cpu;
  std::string errors; // what the program wrote to standard error
};

Timing Run(const std::vector<std::string>& argv) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) {
    std::perror("pipe");
    std::exit(1);
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipeFds[1], STDERR_FILENO);
    const int quiet = ::open("/dev/null", O_WRONLY);
    ::dup2(quiet, STDOUT_FILENO);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) {
      args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  std::string errors;
  char buffer[512];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
    errors.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(pipeFds[0]);
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed: %s\n", argv[0].c_str(), errors.c_str());
    std::exit(1);
  }
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return {wall, seconds(usage.ru_utime) + seconds(usage.ru_stime), errors};
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
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  const std::string bin = ProgramFolder();
  const std::string dir = "/tmp/loopwren-race-" + std::to_string(::getpid());
  ::mkdir(dir.c_str(), 0700);
  const std::string out = dir + "/out.wav";
  auto newSong = std::make_unique<Engine>();
  {
    const EngineHold hold(newSong->engineLock);
    newSong->NewSong();
  }
  if (!WriteSong(*bench::BusySong(50, 50), dir + "/busy50.LW") ||
      !WriteSong(*bench::BusySong(40, 50), dir + "/busy40.LW") ||
      !WriteSong(*newSong, dir + "/new.LW")) {
    std::perror(dir.c_str());
    return 1;
  }

  struct Entry {
    const char* name;
    std::vector<std::string> argv;
    double audioSeconds;
    std::vector<double> wall, cpu;
  };
  const double songSeconds = 256.0;
  std::vector<Entry> entries = {
      {"loopwren-render, busy song, sends 50 %",
       {bin + "loopwren-render", "--quiet", dir + "/busy50.LW", out},
       songSeconds,
       {},
       {}},
      {"loopwren-render, busy song, sends 40 %",
       {bin + "loopwren-render", "--quiet", dir + "/busy40.LW", out},
       songSeconds,
       {},
       {}},
      {"bare three-voice mixer, same 256 s",
       {bin + "loopwren_bare_mixer", out},
       songSeconds,
       {},
       {}},
      {"loopwren-render, one pattern of a new song",
       {bin + "loopwren-render", "--quiet", "--verbose", "--pattern", "1-1", dir + "/new.LW", out},
       88192.0 / 44100,
       {},
       {}},
      {"loopwren-render --version (exec and linking)",
       {bin + "loopwren-render", "--version"},
       0,
       {},
       {}},
  };
  std::vector<double> setUp; // main() to the first sample, as the renderer reports it
  for (int r = 0; r < runs; ++r) {
    for (Entry& e : entries) {
      const Timing t = Run(e.argv);
      e.wall.push_back(t.wall);
      e.cpu.push_back(t.cpu);
      const std::size_t at = t.errors.find("first sample began ");
      if (at != std::string::npos) {
        setUp.push_back(std::atof(t.errors.c_str() + at + 19) / 1e3);
      }
    }
  }
  std::printf("medians of %d alternating runs\n", runs);
  for (const Entry& e : entries) {
    const double wall = Median(e.wall);
    std::printf("%-45s %8.1f ms wall %8.1f ms cpu", e.name, wall * 1e3, Median(e.cpu) * 1e3);
    if (e.audioSeconds > 0) {
      std::printf(" %8.0f x real time", e.audioSeconds / wall);
    }
    std::printf("\n");
  }
  if (!setUp.empty()) {
    std::printf("renderer start-up to its first sample: %.2f ms (exec and linking, cpu) + %.2f ms "
                "(engine, noise, song)\n",
                Median(entries[4].cpu) * 1e3, Median(setUp) * 1e3);
  }
  std::printf("busy song at 50 %% against the bare mixer: %.2f x its time\n",
              Median(entries[0].wall) / Median(entries[2].wall));
  for (const char* name : {"/busy50.LW", "/busy40.LW", "/new.LW", "/out.wav"}) {
    ::unlink((dir + name).c_str());
  }
  ::rmdir(dir.c_str());
  return 0;
}
