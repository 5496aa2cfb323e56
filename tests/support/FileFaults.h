#pragma once

#include "song/FileIo.h"

#include <sys/stat.h>

#include <cerrno>
#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace lw::test {

enum class FileOp { Create, Read, Write, Fsync, Rename, Fallocate, Truncate };

// One call made while a fault lived; `onFolder` for an fsync of a folder.
struct FileCall {
  FileOp op;
  bool onFolder = false;
  bool operator==(const FileCall&) const = default;
};

// One call to fail: the n-th (from 1) of an operation, with an error code.
struct PlannedFault {
  FileOp op;
  int nth;
  int error;
};

// Makes the n-th call (from 1) of one file operation fail with an error code while it
// lives, and counts every call of each operation, so a test can first count the calls a
// whole save makes and then fail each of them in turn. With n = 0 nothing fails, and with
// an error of 0 the n-th call goes through. `before` runs just before the n-th call.
// Several calls may be planned to fail at once. With `halfFirst` a failing write first
// puts down half of its bytes and reports that short count, as a disk filling up does;
// the write after it fails with the error. One at a time: faults do not nest.
class FileFault {
public:
  FileFault(FileOp op, int nth, int error, std::function<void()> before = {})
      : FileFault({{op, nth, error}}, false, std::move(before)) {}
  explicit FileFault(std::vector<PlannedFault> planned, bool halfFirst = false,
                     std::function<void()> before = {})
      : saved_(CurrentFileCalls()) {
    State() = {std::move(planned), std::move(before), {}, {}, halfFirst, 0, saved_};
    FileCalls& calls = CurrentFileCalls();
    calls.create = [](int folder, const char* name, int flags, mode_t mode) {
      return Fails(FileOp::Create) ? -1 : State().real.create(folder, name, flags, mode);
    };
    calls.read = [](int fd, void* buffer, std::size_t count) -> ssize_t {
      return Fails(FileOp::Read) ? -1 : State().real.read(fd, buffer, count);
    };
    calls.write = [](int fd, const void* buffer, std::size_t count) -> ssize_t {
      Fault& f = State();
      if (f.failNextWrite != 0) {
        ++f.calls[FileOp::Write];
        f.log.push_back({FileOp::Write});
        errno = std::exchange(f.failNextWrite, 0);
        return -1;
      }
      if (!Fails(FileOp::Write)) {
        return f.real.write(fd, buffer, count);
      }
      if (!f.halfFirst || count < 2) {
        return -1;
      }
      f.failNextWrite = errno;
      return f.real.write(fd, buffer, count / 2);
    };
    calls.fsync = [](int fd) {
      struct stat st {};
      const bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
      return Fails(FileOp::Fsync, folder) ? -1 : State().real.fsync(fd);
    };
    calls.renameat = [](int fromDir, const char* from, int toDir, const char* to) {
      return Fails(FileOp::Rename) ? -1 : State().real.renameat(fromDir, from, toDir, to);
    };
    calls.fallocate = [](int fd, off_t offset, off_t length) {
      // posix_fallocate reports through its result and leaves errno alone.
      const int saved = errno;
      const int result =
          Fails(FileOp::Fallocate) ? errno : State().real.fallocate(fd, offset, length);
      errno = saved;
      return result;
    };
    calls.ftruncate = [](int fd, off_t length) {
      return Fails(FileOp::Truncate) ? -1 : State().real.ftruncate(fd, length);
    };
  }
  ~FileFault() { CurrentFileCalls() = saved_; }
  FileFault(const FileFault&) = delete;
  FileFault& operator=(const FileFault&) = delete;

  // How often the operation was called so far.
  [[nodiscard]] int Calls(FileOp op) const { return State().calls[op]; }
  // Every call so far, in order.
  [[nodiscard]] const std::vector<FileCall>& Log() const { return State().log; }

private:
  struct Fault {
    std::vector<PlannedFault> planned;
    std::function<void()> before;
    std::map<FileOp, int> calls;
    std::vector<FileCall> log;
    bool halfFirst;
    int failNextWrite; // the error of the write after a half one
    FileCalls real;
  };
  static Fault& State() {
    static Fault fault{};
    return fault;
  }
  static bool Fails(FileOp op, bool onFolder = false) {
    Fault& f = State();
    const int call = ++f.calls[op];
    f.log.push_back({op, onFolder});
    for (const PlannedFault& planned : f.planned) {
      if (op != planned.op || call != planned.nth) {
        continue;
      }
      if (f.before) {
        f.before();
      }
      if (planned.error == 0) {
        return false;
      }
      errno = planned.error;
      return true;
    }
    return false;
  }

  FileCalls saved_;
};

} // namespace lw::test
