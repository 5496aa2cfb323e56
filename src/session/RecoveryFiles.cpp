#include "session/RecoveryFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstdio>
#include <system_error>
#include <utility>

namespace lw {

namespace {

constexpr std::string_view kInfoMagic = "LoopWren recovery copy";

std::string Escape(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
    case '\\':
      out += "\\\\";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    default:
      out += c;
    }
  }
  return out;
}

std::optional<std::string> Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) {
      return std::nullopt;
    }
    switch (text[i]) {
    case '\\':
      out += '\\';
      break;
    case 'n':
      out += '\n';
      break;
    case 'r':
      out += '\r';
      break;
    default:
      return std::nullopt;
    }
  }
  return out;
}

std::string TimeText(int64_t millisecondsSinceEpoch, const char* format) {
  const auto seconds = static_cast<std::time_t>(millisecondsSinceEpoch / 1000);
  std::tm local{};
  if (::localtime_r(&seconds, &local) == nullptr) {
    return "?";
  }
  char text[64];
  const std::size_t n = std::strftime(text, sizeof text, format, &local);
  return {text, n};
}

} // namespace

int64_t Milliseconds(const struct timespec& time) {
  return static_cast<int64_t>(time.tv_sec) * 1000 + time.tv_nsec / 1000000;
}

int RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    return errno;
  }
  if (::link(from.c_str(), to.c_str()) != 0) {
    return errno;
  }
  ::unlink(from.c_str());
  return 0;
}

std::string RecoveryFolder(const char* stateHome, const char* home) {
  std::string base;
  if (stateHome != nullptr && stateHome[0] == '/') {
    base = stateHome;
  } else if (home != nullptr && home[0] == '/') {
    base = std::string(home);
    while (base.size() > 1 && base.back() == '/') {
      base.pop_back();
    }
    base += "/.local/state";
  } else {
    return {};
  }
  while (!base.empty() && base.back() == '/') {
    base.pop_back();
  }
  return base + "/loopwren/";
}

std::string EncodeRecoveryInfo(const RecoveryInfo& info) {
  std::string text(kInfoMagic);
  text += "\nfile=" + Escape(info.songFileName);
  text += "\ntitle=" + Escape(info.title);
  text += "\nsaved=" + std::to_string(info.savedAt);
  text += '\n';
  return text;
}

std::optional<RecoveryInfo> DecodeRecoveryInfo(std::string_view text) {
  // Every line ends in a newline, so a file cut short is told from a whole one.
  if (text.empty() || text.back() != '\n') {
    return std::nullopt;
  }
  RecoveryInfo info;
  bool magic = false;
  bool saved = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (!magic) {
      if (line != kInfoMagic) {
        return std::nullopt;
      }
      magic = true;
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      return std::nullopt;
    }
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    if (key == "saved") {
      const auto [at, error] =
          std::from_chars(value.data(), value.data() + value.size(), info.savedAt);
      if (error != std::errc() || at != value.data() + value.size()) {
        return std::nullopt;
      }
      saved = true;
    } else if (key == "file" || key == "title") {
      auto unescaped = Unescape(value);
      if (!unescaped) {
        return std::nullopt;
      }
      (key == "file" ? info.songFileName : info.title) = std::move(*unescaped);
    }
    // Other keys are for later versions of the program.
  }
  if (!saved) {
    return std::nullopt;
  }
  return info;
}

std::string LocalTimeText(int64_t millisecondsSinceEpoch) {
  return TimeText(millisecondsSinceEpoch, "%Y-%m-%d %H:%M");
}

std::string KeptAsideName(int64_t savedAt, int number) {
  std::string name = TimeText(savedAt, "recovered-%Y-%m-%d-%H%M");
  if (number > 1) {
    name += "-" + std::to_string(number);
  }
  return name + ".LW";
}

std::optional<int64_t> FileTime(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) {
    return std::nullopt;
  }
  return Milliseconds(st.st_mtim);
}

int64_t NowMilliseconds() {
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return Milliseconds(now);
}

} // namespace lw
