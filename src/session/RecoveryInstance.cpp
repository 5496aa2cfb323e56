#include "session/RecoveryInstance.h"

#include "song/AtomicFileWriter.h"
#include "song/FileIo.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace lw {

namespace {

// The copy is handed to the file in pieces, so a cancelled write stops soon.
constexpr std::size_t kWritePiece = std::size_t{4} << 20;

// Makes each missing folder of `folder` with the permissions the XDG rules ask for.
int MakeFolders(const std::string& folder) {
  for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
       slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      return errno;
    }
  }
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) {
    return errno;
  }
  return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

void WriteWhole(const std::string& path, const char* tempPrefix, std::string_view bytes,
                const std::atomic<bool>* cancel) {
  AtomicFileWriter out;
  int error = 0;
  if (!out.Open(path, &error, tempPrefix)) {
    throw IoError(SystemErrorText(error));
  }
  for (std::size_t done = 0; done < bytes.size(); done += kWritePiece) {
    if (cancel != nullptr && cancel->load()) {
      throw IoError("The recovery copy was not finished: it is no longer wanted");
    }
    out.Write(bytes.data() + done, std::min(kWritePiece, bytes.size() - done));
  }
  out.Commit();
}

} // namespace

RecoveryInstance::~RecoveryInstance() {
  if (lockFd_ >= 0) {
    ::unlink(LockPath().c_str());
    ::close(lockFd_);
  }
}

bool RecoveryInstance::Start(const std::string& folder, long pid, int64_t startTime, int* error) {
  const auto fail = [error](int code) {
    if (error != nullptr) {
      *error = code;
    }
    return false;
  };
  if (folder.empty() || folder.back() != '/') {
    return fail(EINVAL);
  }
  if (const int made = MakeFolders(folder); made != 0) {
    return fail(made);
  }
  folder_ = folder;
  const std::string stem =
      std::string(kOwnPrefix) + std::to_string(pid) + "-" + std::to_string(startTime);
  // The lock is taken on a file of a name nobody looks at, which then gets its real name:
  // a lock file under a recovery name is never seen unlocked while its program lives.
  const std::string making = folder + "." + stem + kTemporaryMark + "lock";
  const int fd = ::open(making.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    return fail(errno);
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int code = errno;
    ::close(fd);
    ::unlink(making.c_str());
    return fail(code);
  }
  // Programs in separate process namespaces may share a pid and a start second.
  for (int number = 1; number < 100; ++number) {
    name_ = number == 1 ? stem : stem + "-" + std::to_string(number);
    const int renamed = RenameNoReplace(making, LockPath());
    if (renamed == 0) {
      lockFd_ = fd;
      return true;
    }
    if (renamed != EEXIST) {
      ::close(fd);
      ::unlink(making.c_str());
      return fail(renamed);
    }
  }
  ::close(fd);
  ::unlink(making.c_str());
  return fail(EEXIST);
}

void RecoveryInstance::WriteCopy(std::string_view bytes, const RecoveryInfo& info,
                                 const std::atomic<bool>* cancel) const {
  const std::string prefix = "." + name_ + kTemporaryMark;
  WriteWhole(CopyPath(), prefix.c_str(), bytes, cancel);
  WriteWhole(InfoPath(), prefix.c_str(), EncodeRecoveryInfo(info), nullptr);
}

void RecoveryInstance::RemoveCopy() const {
  ::unlink(CopyPath().c_str());
  ::unlink(InfoPath().c_str());
}

bool RecoveryInstance::AdoptCopy(const std::string& copyPath, const RecoveryInfo& info) const {
  try {
    const std::string prefix = "." + name_ + kTemporaryMark;
    WriteWhole(InfoPath(), prefix.c_str(), EncodeRecoveryInfo(info), nullptr);
  } catch (const IoError&) {
    return false;
  }
  if (::rename(copyPath.c_str(), CopyPath().c_str()) != 0) {
    ::unlink(InfoPath().c_str());
    return false;
  }
  return true;
}

void RecoveryInstance::Finish() {
  if (lockFd_ < 0) {
    return;
  }
  RemoveCopy();
  ::unlink(LockPath().c_str());
  ::close(lockFd_);
  lockFd_ = -1;
}

std::unique_ptr<RecoveryInstance> StartRecoveryFromEnvironment() {
  const std::string folder = RecoveryFolder(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
  if (folder.empty()) {
    std::fputs("loopwren: no recovery copies: neither XDG_STATE_HOME nor HOME names a folder\n",
               stderr);
    return nullptr;
  }
  auto instance = std::make_unique<RecoveryInstance>();
  int error = 0;
  if (!instance->Start(folder, static_cast<long>(::getpid()), std::time(nullptr), &error)) {
    std::fprintf(stderr, "loopwren: no recovery copies: %s: %s\n", folder.c_str(),
                 SystemErrorText(error).c_str());
    return nullptr;
  }
  return instance;
}

} // namespace lw
