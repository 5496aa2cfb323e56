// loopwren-render: renders a song file to a WAV file exactly as the program's
// File > Render Wav does right after the program was started with that song.
#include "audio_out/RenderCommand.h"
#include "commands/SongCommands.h"
#include "engine/Vinyl.h"
#include "song/Paths.h"
#include "song/ReadOnlyFile.h"

#include <unistd.h>

#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using namespace lw;

constexpr const char* kUsage =
    "Usage: loopwren-render [--pattern B-P | --slots A-B] [--quiet] [--verbose] SONG.LW OUT.wav\n"
    "\n"
    "Renders a LoopWren song to a 44100 Hz, 16-bit mono WAV file.\n"
    "\n"
    "  (no option)      the entire song, slot 0 to the last used slot\n"
    "  --pattern B-P    one pass of bank B, pattern P (1..8 each, as the sequencer shows)\n"
    "  --slots A-B      the song loop over sequence slots A to B (0..127)\n"
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
  std::string song;
  std::string output;
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

int UsageError(const std::string& why) {
  std::fprintf(stderr, "loopwren-render: %s\n\n%s", why.c_str(), kUsage);
  return 2;
}

// Messages go to standard error; any of them means the render failed. A message whose
// second line gives the system's reason is printed on one line.
class ConsolePrompts : public UserPrompts {
public:
  void Notice(std::string_view text) override { Fail(text); }
  void Warning(std::string_view text) override { Fail(text); }
  bool Confirm(std::string_view /*text*/) override { return false; }
  void ReportIoError(std::string_view text) override { Fail(text); }
  std::optional<std::string> AskOpenFile(const FileDialogSpec& /*dialog*/) override { return {}; }
  std::optional<std::string> AskSaveFile(const FileDialogSpec& /*dialog*/) override { return {}; }
  [[nodiscard]] bool failed() const { return failed_; }

private:
  void Fail(std::string_view text) {
    std::string line(text);
    for (std::size_t at = line.find('\n'); at != std::string::npos; at = line.find('\n', at)) {
      line.replace(at, 1, ": ");
    }
    std::fprintf(stderr, "loopwren-render: %s\n", line.c_str());
    failed_ = true;
  }
  bool failed_ = false;
};

class ConsoleProgress : public RenderProgress {
public:
  explicit ConsoleProgress(bool show) : show_(show) {}
  void PatternStarted() override {
    if (!firstPattern_) {
      firstPattern_ = std::chrono::steady_clock::now();
    }
  }
  void SetOverall(int percent) override {
    if (show_ && percent != last_) {
      last_ = percent;
      std::fprintf(stderr, "\rRendering... %3d %%", percent);
      std::fflush(stderr);
    }
  }
  void Hide() override {
    if (show_ && last_ >= 0) {
      std::fputc('\n', stderr);
    }
  }

  // When the first pattern began to render, if one did.
  [[nodiscard]] std::optional<std::chrono::steady_clock::time_point> firstPattern() const {
    return firstPattern_;
  }

private:
  bool show_;
  int last_ = -1;
  std::optional<std::chrono::steady_clock::time_point> firstPattern_;
};

std::optional<Options> Parse(int argc, char** argv, int& exitCode) {
  Options o;
  std::vector<std::string> files;
  bool rangeGiven = false;
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
    if (arg == "--quiet" || arg == "-q") {
      o.quiet = true;
    } else if (arg == "--verbose" || arg == "-v") {
      o.verbose = true;
    } else if (arg == "--pattern" || arg == "--slots") {
      if (rangeGiven) {
        exitCode = UsageError("give at most one of --pattern and --slots");
        return std::nullopt;
      }
      if (i + 1 >= argc) {
        exitCode = UsageError(std::string(arg) + " needs a value");
        return std::nullopt;
      }
      rangeGiven = true;
      const bool pattern = arg == "--pattern";
      const auto pair = pattern ? ParsePair(argv[++i], 1, 8) : ParsePair(argv[++i], 0, 127);
      if (!pair || (!pattern && pair->first > pair->second)) {
        exitCode = UsageError(pattern ? "--pattern takes B-P with B and P from 1 to 8"
                                      : "--slots takes A-B with 0 <= A <= B <= 127");
        return std::nullopt;
      }
      o.kind = pattern ? RenderKind::ThisPattern : RenderKind::SongLoop;
      o.first = pair->first;
      o.second = pair->second;
    } else if (arg.size() > 1 && arg[0] == '-') {
      exitCode = UsageError("unknown option " + std::string(arg));
      return std::nullopt;
    } else {
      files.emplace_back(arg);
    }
  }
  if (files.size() != 2) {
    exitCode = UsageError("expected a song file and an output file");
    return std::nullopt;
  }
  o.song = files[0];
  o.output = files[1];
  return o;
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

  const auto started = std::chrono::steady_clock::now();
  auto engine = std::make_unique<Engine>();
  const std::string noise = FindDataFile(ProgramFolder(), kVinylNoiseFile);
  LoadVinylNoise(*engine, noise);
  {
    const EngineHold hold(engine->engineLock);
    (void)ClearSampleTable(engine->samples); // nothing plays yet
    engine->NewSong();
    if (options->verbose) {
      if (engine->vinyl.count > 0) {
        std::fprintf(stderr, "loopwren-render: vinyl noise from %s (%u values)\n", noise.c_str(),
                     engine->vinyl.count);
      } else {
        std::fprintf(stderr, "loopwren-render: no vinyl noise (%s is missing or empty)\n",
                     noise.c_str());
      }
    }
  }

  ReadOnlyFile probe;
  int error = 0;
  if (!probe.Open(options->song, &error)) {
    std::fprintf(stderr, "loopwren-render: cannot read %s: %s\n", options->song.c_str(),
                 SystemErrorText(error).c_str());
    return 1;
  }
  ConsolePrompts prompts;
  const OpenResult loaded = LoadCommandLineSong(*engine, prompts, options->song);
  if (!loaded.replaced) {
    std::fprintf(stderr, "loopwren-render: cannot read %s\n", options->song.c_str());
    return 1;
  }

  SlotRange selection;
  {
    const EngineHold hold(engine->engineLock);
    engine->UpdateTiming();
    engine->state.songChanged = false;
    SetUpRender(*engine, *options, selection);
  }

  ConsoleProgress progress(!options->quiet && ::isatty(STDERR_FILENO) != 0);
  if (!RenderToWavFile(*engine, prompts, progress, options->kind, options->output, selection)) {
    if (!prompts.failed()) {
      std::fprintf(stderr, "loopwren-render: cannot write %s\n", options->output.c_str());
    }
    return 1;
  }
  if (options->verbose && progress.firstPattern()) {
    const std::chrono::duration<double, std::milli> setUp = *progress.firstPattern() - started;
    std::fprintf(stderr, "loopwren-render: the first sample began %.2f ms after main() began\n",
                 setUp.count());
  }
  return 0;
}
