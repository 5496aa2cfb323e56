#include "song/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

namespace lw {

std::string SystemErrorText(int error) {
  if (error == kNotARegularFile) {
    return "Not a regular file (a pipe, a device or a socket)";
  }
  char text[256];
  // GNU strerror_r returns the text, which need not be in the buffer.
  return ::strerror_r(error, text, sizeof text);
}

std::string FileErrorText(std::string_view reason, const std::string& path) {
  std::string text(reason);
  text += "\n\"";
  text += path;
  text += '"';
  return text;
}

std::optional<mode_t> UmaskFromStatus(std::string_view status) {
  constexpr std::string_view kLabel = "Umask:\t";
  for (std::size_t line = 0; line < status.size();) {
    const std::size_t end = std::min(status.find('\n', line), status.size());
    const std::string_view text = status.substr(line, end - line);
    line = end + 1;
    if (!text.starts_with(kLabel)) {
      continue;
    }
    const std::string_view digits = text.substr(kLabel.size());
    unsigned mask = 0;
    const auto [rest, error] = std::from_chars(digits.begin(), digits.end(), mask, 8);
    if (error != std::errc() || rest != digits.end() || mask > 0777) {
      return std::nullopt;
    }
    return static_cast<mode_t>(mask);
  }
  return std::nullopt;
}

mode_t ProcessUmask() {
  static const mode_t mask = [] {
    // Read directly, not through CurrentFileCalls: a test's injected fault is never
    // meant for this.
    std::string text;
    if (const int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC); fd >= 0) {
      char buffer[4096];
      for (ssize_t n = 0; (n = ::read(fd, buffer, sizeof buffer)) != 0 && text.size() < 65536;) {
        if (n < 0 && errno != EINTR) {
          break;
        }
        text.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
      }
      ::close(fd);
    }
    if (const auto fromStatus = UmaskFromStatus(text)) {
      return *fromStatus;
    }
    const mode_t old = ::umask(0);
    ::umask(old);
    return old;
  }();
  return mask;
}

FileCalls& CurrentFileCalls() {
  static FileCalls calls{[](int folder, const char* name, int flags, mode_t mode) {
                           return ::openat(folder, name, flags, mode);
                         },
                         ::read,
                         ::write,
                         ::fsync,
                         ::renameat,
                         ::posix_fallocate,
                         ::ftruncate};
  return calls;
}

} // namespace lw
