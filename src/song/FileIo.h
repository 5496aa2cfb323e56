#pragma once

#include <sys/types.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lw {

// A read or write that failed after its file was opened; what() is the text the user
// sees in the general error report ("Read beyond end of file", the system's own text).
class IoError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

inline constexpr const char* kReadBeyondEnd = "Read beyond end of file";
// A file that needs more memory than the system gives.
inline constexpr const char* kOutOfMemory = "Not enough memory to hold this file";
// A file written over in place needs its room reserved first, or a full disk could stop
// the write half-way through the old content.
inline constexpr const char* kInPlaceNeedsReservation =
    "The file was not written over: its folder takes no new file, and its file system "
    "cannot reserve the room the song needs before writing";

// An error code of ours beside the errno values: the path names a pipe, a device or a
// socket, which the program does not read from.
inline constexpr int kNotARegularFile = 0x10000;

// The system's text for an errno value (or for kNotARegularFile).
[[nodiscard]] std::string SystemErrorText(int error);

// The text of a failed read or write of a file: the reason, then the file on a line of
// its own.
[[nodiscard]] std::string FileErrorText(std::string_view reason, const std::string& path);

// The mask of /proc/self/status's "Umask:" line; nothing when the text has none (kernels
// before 4.7) or it is not an octal mask.
[[nodiscard]] std::optional<mode_t> UmaskFromStatus(std::string_view status);
// The process's umask, which gives new files their permissions. Read once, on the first
// call: from /proc/self/status, which leaves the mask alone, else with umask(2), which
// sets it for a moment and could give a file another thread creates just then the wrong
// permissions. main() calls it first thing, while the program has one thread; the
// program never changes its umask.
[[nodiscard]] mode_t ProcessUmask();

// The system calls the file classes make, replaceable so that tests can make any one of
// them fail. The program never changes them.
struct FileCalls {
  // openat for a new temporary file
  int (*create)(int folder, const char* name, int flags, mode_t mode);
  ssize_t (*read)(int fd, void* buffer, std::size_t count);
  ssize_t (*write)(int fd, const void* buffer, std::size_t count);
  int (*fsync)(int fd);
  int (*renameat)(int fromDir, const char* from, int toDir, const char* to);
  // posix_fallocate: gives the error code, errno is left alone
  int (*fallocate)(int fd, off_t offset, off_t length);
  int (*ftruncate)(int fd, off_t length);
};
[[nodiscard]] FileCalls& CurrentFileCalls();

} // namespace lw
