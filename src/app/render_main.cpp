// loopwren-render: renders a song file to an audio file exactly as the program's
// File > Render Wav (a 16-bit WAV) or Export audio... (every other format, and stems)
// does right after the program was started with that song; with --out-dir, several
// songs at a time, each as its own run would render it.
#include "app/RenderConsole.h"
#include "audio_out/AudioExport.h"
#include "audio_out/RenderCommand.h"
#include "commands/SongCommands.h"
#include "engine/Vinyl.h"
#include "song/Paths.h"
#include "song/ReadOnlyFile.h"

#include <strings.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace lw;

constexpr const char* kUsage =
    "Usage: loopwren-render [--pattern B-P | --slots A-B] [--stems] [--format F] [-j N]\n"
    "                       [--quiet] [--verbose] SONG.LW OUT.ext\n"
    "       loopwren-render [options] --out-dir DIR SONG.LW...\n"
    "\n"
    "Renders a LoopWren song to a mono audio file: a 44100 Hz, 16-bit WAV unless OUT's\n"
    "extension or --format asks for another format.\n"
    "\n"
    "  (no option)      the entire song, slot 0 to the last used slot\n"
    "  --pattern B-P    one pass of bank B, pattern P (1..8 each, as the sequencer shows)\n"
    "  --slots A-B      the song loop over sequence slots A to B (0..127)\n"
    "  --stems          also write each channel, the delay and the vinyl noise alone, beside\n"
    "                   OUT as NAME-ch1.ext, -ch2, -ch3, -delay and -vinyl\n"
    "  --format F       wav16, wav24, flac, ogg, opus (48000 Hz) or mp3; without it OUT's\n"
    "                   extension decides (.wav, .flac, .ogg, .opus, .mp3; any other name\n"
    "                   gets the 16-bit WAV). F must agree with an extension that names a\n"
    "                   format: wav24 writes .wav files\n"
    "  --out-dir DIR    render every SONG.LW into DIR/NAME.ext, NAME being the song's file\n"
    "                   name without .LW and ext the format's (.wav unless --format)\n"
    "  -j N             with --out-dir, render N songs at a time (default: one per core)\n"
    "  --quiet          no progress on standard error\n"
    "  --verbose        say which vinyl-noise file is used (the one beside the program, else\n"
    "                   the installed one in ../share/loopwren) and when the first sample began\n"
    "  --help           show this text\n"
    "  --version        show the version\n";

struct Options {
  RenderKind kind = RenderKind::EntireSong;
  int first = 0;  // bank, or first slot
  int second = 0; // pattern, or last slot
  bool quiet = false;
  bool verbose = false;
  bool stems = false;
  std::optional<ExportFormat> format; // --format
  std::optional<std::string> outDir;
  unsigned jobs = 0; // 0: one per core
  std::vector<std::string> songs;
  std::string output; // without --out-dir
};

// One song's render: where it goes and how. Without `exported` it is the 16-bit WAV of
// Render Wav, written by the very code the program's command uses.
struct Job {
  std::string song;
  std::string output;
  std::optional<ExportOptions> exported;
};

// Parses "X-Y" with both numbers within [lo, hi].
std::optional<std::pair<int, int>> ParsePair(std::string_view text, int lo, int hi) {
  const std::size_t dash = text.find('-');
  if (dash == std::string_view::npos) {
    return std::nullopt;
  }
  int a = 0;
  int b = 0;
  const auto left = text.substr(0, dash);
  const auto right = text.substr(dash + 1);
  const auto ra = std::from_chars(left.data(), left.data() + left.size(), a);
  const auto rb = std::from_chars(right.data(), right.data() + right.size(), b);
  if (ra.ec != std::errc() || ra.ptr != left.data() + left.size() || rb.ec != std::errc() ||
      rb.ptr != right.data() + right.size() || a < lo || a > hi || b < lo || b > hi) {
    return std::nullopt;
  }
  return std::make_pair(a, b);
}

// A whole positive number, nothing else.
std::optional<unsigned> ParseCount(std::string_view text) {
  unsigned n = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), n);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size() || n == 0) {
    return std::nullopt;
  }
  return n;
}

int UsageError(const std::string& why) {
  std::fprintf(stderr, "loopwren-render: %s\n\n%s", why.c_str(), kUsage);
  return 2;
}

std::optional<Options> Parse(int argc, char** argv, int& exitCode) {
  Options o;
  std::vector<std::string> files;
  bool rangeGiven = false;
  const auto fail = [&exitCode](const std::string& why) {
    exitCode = UsageError(why);
    return std::nullopt;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      exitCode = 0;
      return std::nullopt;
    }
    if (arg == "--version") {
      std::puts("loopwren-render (LoopWren) 1.2");
      exitCode = 0;
      return std::nullopt;
    }
    const bool takesValue = arg == "--pattern" || arg == "--slots" || arg == "--format" ||
                            arg == "--out-dir" || arg == "-j" || arg == "--jobs";
    if (takesValue && i + 1 >= argc) {
      return fail(std::string(arg) + " needs a value");
    }
    if (arg == "--quiet" || arg == "-q") {
      o.quiet = true;
    } else if (arg == "--verbose" || arg == "-v") {
      o.verbose = true;
    } else if (arg == "--stems") {
      o.stems = true;
    } else if (arg == "--pattern" || arg == "--slots") {
      if (rangeGiven) {
        return fail("give at most one of --pattern and --slots");
      }
      rangeGiven = true;
      const bool pattern = arg == "--pattern";
      const auto pair = pattern ? ParsePair(argv[++i], 1, 8) : ParsePair(argv[++i], 0, 127);
      if (!pair || (!pattern && pair->first > pair->second)) {
        return fail(pattern ? "--pattern takes B-P with B and P from 1 to 8"
                            : "--slots takes A-B with 0 <= A <= B <= 127");
      }
      o.kind = pattern ? RenderKind::ThisPattern : RenderKind::SongLoop;
      o.first = pair->first;
      o.second = pair->second;
    } else if (arg == "--format") {
      o.format = FormatNamed(argv[++i]);
      if (!o.format) {
        return fail(std::string("unknown format ") + argv[i] +
                    " (wav16, wav24, flac, ogg, opus or mp3)");
      }
    } else if (arg == "--out-dir") {
      o.outDir = argv[++i];
      if (o.outDir->empty()) {
        return fail("--out-dir needs a folder");
      }
    } else if (arg == "-j" || arg == "--jobs" || (arg.starts_with("-j") && arg.size() > 2)) {
      const std::string_view value = arg.size() > 2 && arg[1] == 'j' ? arg.substr(2) : argv[++i];
      const auto jobs = ParseCount(value);
      if (!jobs) {
        return fail("-j takes the number of songs to render at a time, 1 or more");
      }
      o.jobs = *jobs;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return fail("unknown option " + std::string(arg));
    } else {
      files.emplace_back(arg);
    }
  }
  if (o.outDir) {
    if (files.empty()) {
      return fail("expected one or more song files");
    }
    o.songs = std::move(files);
    return o;
  }
  if (files.size() != 2) {
    return fail("expected a song file and an output file");
  }
  o.songs = {files[0]};
  o.output = files[1];
  return o;
}

// A song's file name without its folder and without a last ".LW" (in any case).
std::string SongName(const std::string& song) {
  std::string name = song.substr(song.find_last_of('/') + 1);
  if (name.size() > 3 && strncasecmp(name.c_str() + name.size() - 3, ".lw", 3) == 0) {
    name.resize(name.size() - 3);
  }
  return name;
}

// Every file a job writes.
std::vector<std::string> OutputsOf(const Job& job) {
  std::vector<std::string> paths{job.output};
  if (job.exported && job.exported->stems) {
    for (const std::string& stem : StemPaths(job.output, job.exported->format)) {
      paths.push_back(stem);
    }
  }
  return paths;
}

// The renders the options ask for, or the usage error that makes them impossible.
std::optional<std::vector<Job>> PlanJobs(const Options& o, int& exitCode) {
  std::vector<Job> jobs;
  if (!o.outDir) {
    const auto named = FormatOfPath(o.output);
    // --format may choose between formats that share the extension (wav16 and wav24),
    // and names the format of a file whose name does not, but never overrules one that
    // does: a FLAC file called .mp3 is a mistake.
    if (o.format && named &&
        std::strcmp(InfoOf(*o.format).extension, InfoOf(*named).extension) != 0) {
      exitCode = UsageError(std::string("--format ") + InfoOf(*o.format).name + " writes ." +
                            InfoOf(*o.format).extension + " files, not " + o.output);
      return std::nullopt;
    }
    const ExportFormat format = o.format.value_or(named.value_or(ExportFormat::Wav16));
    Job job{o.songs[0], o.output, std::nullopt};
    if (format != ExportFormat::Wav16 || o.stems) {
      job.exported = ExportOptions{format, ExportOptions{}.quality, o.stems};
    }
    jobs.push_back(std::move(job));
    return jobs;
  }

  const ExportFormat format = o.format.value_or(ExportFormat::Wav16);
  std::string folder = *o.outDir;
  if (folder.back() != '/') {
    folder += '/';
  }
  std::set<std::string> taken;
  for (const std::string& song : o.songs) {
    Job job{song, folder + SongName(song) + "." + InfoOf(format).extension, std::nullopt};
    if (format != ExportFormat::Wav16 || o.stems) {
      job.exported = ExportOptions{format, ExportOptions{}.quality, o.stems};
    }
    // Two songs of one name would race for one file.
    for (const std::string& path : OutputsOf(job)) {
      if (!taken.insert(path).second) {
        exitCode = UsageError("two of the songs would both write " + path);
        return std::nullopt;
      }
    }
    jobs.push_back(std::move(job));
  }
  return jobs;
}

// What the user would have selected in the program for the render the options ask for.
void SetUpRender(Engine& engine, const Options& options, SlotRange& selection)
    LW_REQUIRES(engine.engineLock) {
  if (options.kind == RenderKind::ThisPattern) {
    engine.state.editBank = options.first - 1;
    engine.state.editPattern = options.second - 1;
  } else if (options.kind == RenderKind::SongLoop) {
    // As if the slots were selected, the loop box ticked and slot A clicked.
    selection = {options.first, options.second};
    engine.state.songPosition = options.first;
    engine.state.loopEnabled = true;
    engine.state.loopFirstSlot = options.first;
    engine.state.loopLastSlot = options.second;
  }
}

struct RunContext {
  const Options& options;
  std::string noise; // the vinyl-noise file
  std::chrono::steady_clock::time_point started;
  RenderConsole& console;
  bool showNoise; // --verbose, for the first song only
};

// Renders one song in an engine of its own, as a run of the program with that song
// would. Messages go to the console; true when every file was written.
bool RenderOne(const Job& job, RenderConsole::Song& song, const RunContext& run) {
  const Options& options = run.options;
  auto engine = std::make_unique<Engine>();
  LoadVinylNoise(*engine, run.noise);
  {
    const EngineHold hold(engine->engineLock);
    (void)ClearSampleTable(engine->samples); // nothing plays yet
    engine->NewSong();
    if (run.showNoise) {
      if (engine->vinyl.count > 0) {
        run.console.Note("vinyl noise from " + run.noise + " (" +
                         std::to_string(engine->vinyl.count) + " values)");
      } else {
        run.console.Note("no vinyl noise (" + run.noise + " is missing or empty)");
      }
    }
  }

  ReadOnlyFile probe;
  int error = 0;
  if (!probe.Open(job.song, &error)) {
    song.Fail("cannot read " + job.song + ": " + SystemErrorText(error));
    return false;
  }
  const OpenResult loaded = LoadCommandLineSong(*engine, song, job.song);
  if (!loaded.replaced) {
    song.Fail("cannot read " + job.song);
    return false;
  }

  SlotRange selection;
  {
    const EngineHold hold(engine->engineLock);
    engine->UpdateTiming();
    engine->state.songChanged = false;
    SetUpRender(*engine, options, selection);
  }

  const bool written =
      job.exported
          ? ExportAudioFile(*engine, song, song, options.kind, job.output, selection, *job.exported)
          : RenderToWavFile(*engine, song, song, options.kind, job.output, selection);
  if (!written) {
    if (!song.failed()) {
      song.Fail("cannot write " + job.output);
    }
    return false;
  }
  if (options.verbose && song.firstPattern()) {
    const std::chrono::duration<double, std::milli> setUp = *song.firstPattern() - run.started;
    char text[96];
    std::snprintf(text, sizeof text, "the first sample began %.2f ms after main() began",
                  setUp.count());
    song.Note(text);
  }
  return true;
}

// Renders every job, `workers` at a time, each in an engine of its own: the engines share
// nothing but read-only tables. The number of jobs that failed.
std::size_t RenderAll(const std::vector<Job>& jobs, unsigned workers, const RunContext& run) {
  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> failures{0};
  const auto work = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < jobs.size();) {
      RenderConsole::Song song(run.console, jobs[i].song);
      bool ok = false;
      try {
        ok = RenderOne(
            jobs[i], song,
            RunContext{run.options, run.noise, run.started, run.console, run.showNoise && i == 0});
      } catch (const std::exception& failure) {
        song.Fail(failure.what()); // an engine that could not be allocated
      }
      song.Finish(ok);
      if (!ok) {
        failures.fetch_add(1);
      }
    }
  };
  std::vector<std::thread> threads;
  for (unsigned t = 1; t < workers && t < jobs.size(); ++t) {
    try {
      threads.emplace_back(work);
    } catch (const std::system_error&) {
      break; // the threads there are render every song all the same
    }
  }
  work();
  for (std::thread& thread : threads) {
    thread.join();
  }
  return failures.load();
}

} // namespace

int main(int argc, char** argv) {
  // Read while this is the only thread (see ProcessUmask).
  (void)ProcessUmask();
  // A file-size limit makes a write fail with a message instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  int exitCode = 0;
  const auto options = Parse(argc, argv, exitCode);
  if (!options) {
    return exitCode;
  }
  const auto jobs = PlanJobs(*options, exitCode);
  if (!jobs) {
    return exitCode;
  }
  const auto started = std::chrono::steady_clock::now();
  if (options->outDir) {
    struct stat status {};
    const int error = ::stat(options->outDir->c_str(), &status) != 0 ? errno
                      : S_ISDIR(status.st_mode)                      ? 0
                                                                     : ENOTDIR;
    if (error != 0) {
      std::fprintf(stderr, "loopwren-render: cannot write into %s: %s\n", options->outDir->c_str(),
                   SystemErrorText(error).c_str());
      return 1;
    }
  }

  const bool terminal = !options->quiet && ::isatty(STDERR_FILENO) != 0;
  // One song is rendered as it always was; several are named in every line.
  winsize window{};
  const std::size_t columns =
      terminal && ::ioctl(STDERR_FILENO, TIOCGWINSZ, &window) == 0 ? window.ws_col : 0;
  RenderConsole console(
      stderr, options->outDir ? RenderConsole::Style::Board : RenderConsole::Style::Single,
      terminal, columns);
  const unsigned cores = std::max(1U, std::thread::hardware_concurrency());
  const RunContext run{*options, FindDataFile(ProgramFolder(), kVinylNoiseFile), started, console,
                       options->verbose};
  const std::size_t failures = RenderAll(*jobs, options->jobs > 0 ? options->jobs : cores, run);
  if (failures > 0 && options->outDir) {
    console.Note(std::to_string(failures) + " of " + std::to_string(jobs->size()) +
                 (jobs->size() == 1 ? " song" : " songs") + " failed");
  }
  return failures > 0 ? 1 : 0;
}
