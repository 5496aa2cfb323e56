#include "app/ProgramOptions.h"

#include <algorithm>
#include <array>

namespace lw {

namespace {

// The options every Qt program reads for itself (QGuiApplication, QApplication), with a
// value as the next argument or after '='.
constexpr std::array<std::string_view, 13> kToolkitWithValue = {
    "platform",      "platformpluginpath", "platformtheme", "plugin",
    "qmljsdebugger", "qwindowgeometry",    "qwindowicon",   "qwindowtitle",
    "style",         "stylesheet",         "session",       "display",
    "geometry"};
constexpr std::array<std::string_view, 6> kToolkitFlags = {"reverse", "nograb",      "dograb",
                                                           "sync",    "widgetcount", "testability"};

template <std::size_t N>
bool Among(const std::array<std::string_view, N>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

ProgramOptions ParseProgramOptions(std::span<const std::string_view> args) {
  ProgramOptions o;
  const auto refuse = [&o](std::string why) {
    o.action = ProgramOptions::Action::UsageError;
    o.error = std::move(why);
    return o;
  };
  bool songs = false; // after "--" everything is a song
  std::vector<std::string> given;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (songs || arg.size() < 2 || arg.front() != '-') {
      given.emplace_back(arg); // "-" alone is a file name too
      continue;
    }
    if (arg == "--") {
      songs = true;
    } else if (arg == "--help" || arg == "-h") {
      o.action = ProgramOptions::Action::Help;
      return o;
    } else if (arg == "--version") {
      o.action = ProgramOptions::Action::Version;
      return o;
    } else {
      // Qt accepts its options with one dash or two.
      std::string_view name = arg.substr(arg.starts_with("--") ? 2 : 1);
      const std::size_t equals = name.find('=');
      const bool valueGiven = equals != std::string_view::npos;
      name = name.substr(0, equals);
      if (Among(kToolkitFlags, name) && !valueGiven) {
        o.toolkitArgs.emplace_back(arg);
      } else if (Among(kToolkitWithValue, name)) {
        o.toolkitArgs.emplace_back(arg);
        if (!valueGiven) {
          if (i + 1 == args.size()) {
            return refuse(std::string(arg) + " needs a value");
          }
          o.toolkitArgs.emplace_back(args[++i]);
        }
      } else {
        return refuse("unknown option " + std::string(arg));
      }
    }
  }
  if (!given.empty()) {
    o.song = given.front();
    o.ignoredSongs.assign(given.begin() + 1, given.end());
  }
  return o;
}

} // namespace lw
