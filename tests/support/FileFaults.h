#pragma once

#include "song/FileIo.h"

#include <cerrno>
#include <functional>
#include <map>
#include <utility>

namespace lw::test {

enum class FileOp { Create, Read, Write, Fsync, Rename };

// Makes the n-th call (from 1) of one file operation fail with an error code while it
// lives, and counts every call of each operation, so a test can first count the calls a
// whole save makes and then fail each of them in turn. With n = 0 nothing fails, and with
// an error of 0 the n-th call goes through. `before` runs just before the n-th call.
// One at a time: faults do not nest.
class FileFault {
public:
  FileFault(FileOp op, int nth, int error, std::function<void()> before = {})
      : saved_(CurrentFileCalls()) {
    State() = {op, nth, error, std::move(before), {}, saved_};
    FileCalls& calls = CurrentFileCalls();
    calls.create = [](int folder, const char* name, int flags, mode_t mode) {
      return Fails(FileOp::Create) ? -1 : State().real.create(folder, name, flags, mode);
    };
    calls.read = [](int fd, void* buffer, std::size_t count) -> ssize_t {
      return Fails(FileOp::Read) ? -1 : State().real.read(fd, buffer, count);
    };
    calls.write = [](int fd, const void* buffer, std::size_t count) -> ssize_t {
      return Fails(FileOp::Write) ? -1 : State().real.write(fd, buffer, count);
    };
    calls.fsync = [](int fd) { return Fails(FileOp::Fsync) ? -1 : State().real.fsync(fd); };
    calls.renameat = [](int fromDir, const char* from, int toDir, const char* to) {
      return Fails(FileOp::Rename) ? -1 : State().real.renameat(fromDir, from, toDir, to);
    };
  }
  ~FileFault() { CurrentFileCalls() = saved_; }
  FileFault(const FileFault&) = delete;
  FileFault& operator=(const FileFault&) = delete;

  // How often the operation was called so far.
  [[nodiscard]] int Calls(FileOp op) const { return State().calls[op]; }

private:
  struct Fault {
    FileOp op;
    int nth;
    int error;
    std::function<void()> before;
    std::map<FileOp, int> calls;
    FileCalls real;
  };
  static Fault& State() {
    static Fault fault{};
    return fault;
  }
  static bool Fails(FileOp op) {
    Fault& f = State();
    const int call = ++f.calls[op];
    if (op != f.op || call != f.nth) {
      return false;
    }
    if (f.before) {
      f.before();
    }
    if (f.error == 0) {
      return false;
    }
    errno = f.error;
    return true;
  }

  FileCalls saved_;
};

} // namespace lw::test
