#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

inline constexpr const char* kProgramUsage =
    "Usage: loopwren [OPTION...] [--] [SONG.LW]\n"
    "\n"
    "A three-channel, 16-step sample groovebox. Opens SONG.LW when it is given.\n"
    "\n"
    "  --help           show this text\n"
    "  --version        show the version\n"
    "  --               what follows is a song, even when it begins with '-'\n"
    "\n"
    "Qt's options for every program (-platform NAME, -style NAME, -reverse, ...) are\n"
    "understood too.\n";

inline constexpr const char* kProgramVersion = "loopwren (LoopWren) 1.2\n";

// What the command line asks of the program. It is read before anything else, before
// the toolkit looks for a display, so that --help and --version work anywhere and no
// option is ever taken for a song's name.
struct ProgramOptions {
  enum class Action { Run, Help, Version, UsageError };
  Action action = Action::Run;
  std::string song;                      // the song to open; empty for none
  std::vector<std::string> toolkitArgs;  // the toolkit's own options, for it to read
  std::vector<std::string> ignoredSongs; // songs after the first, which are not opened
  std::string error;                     // why the line was refused (UsageError)
};

// `args` without the program's name.
[[nodiscard]] ProgramOptions ParseProgramOptions(std::span<const std::string_view> args);

} // namespace lw
