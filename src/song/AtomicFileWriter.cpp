#include "song/AtomicFileWriter.h"

#include "song/FileIo.h"
#include "song/Paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

namespace lw {

namespace {

constexpr std::size_t kWriteBuffer = 1 << 20;

// The permissions a newly created file gets under the process's umask.
mode_t DefaultFileMode() {
  return 0666 & ~ProcessUmask();
}

} // namespace

AtomicFileWriter::~AtomicFileWriter() {
  Discard();
}

namespace {

// A name for a temporary file: the prefix and six random letters or digits.
std::string TemporaryName(const char* prefix) {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 random{std::random_device{}()};
  std::string name(prefix);
  for (int i = 0; i < 6; ++i) {
    name += kLetters[random() % (sizeof kLetters - 1)];
  }
  return name;
}

} // namespace

bool AtomicFileWriter::Open(const std::string& targetPath, int* error, const char* tempPrefix) {
  const auto fail = [&](int code) {
    Discard();
    if (error != nullptr) {
      *error = code;
    }
    return false;
  };
  // Replace the file a link points to, not the link.
  char resolved[PATH_MAX];
  targetPath_ = ::realpath(targetPath.c_str(), resolved) != nullptr ? resolved : targetPath;
  struct stat st {};
  const bool exists = ::stat(targetPath_.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    return fail(EISDIR);
  }
  if (exists && !S_ISREG(st.st_mode)) {
    // A device or a pipe cannot be replaced: write to it in place. A pipe nobody reads
    // is refused at once (ENXIO) instead of waiting for a reader.
    fd_ = ::open(targetPath_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd_ < 0 || ::fcntl(fd_, F_SETFL, 0) != 0) {
      return fail(errno);
    }
    buffer_.reserve(kWriteBuffer);
    return true;
  }

  const std::string folder = FolderOf(targetPath_);
  targetName_ = targetPath_.substr(folder.size());
  folderFd_ = ::open(folder.empty() ? "." : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folderFd_ < 0) {
    return fail(errno);
  }
  int created = EEXIST;
  for (int attempt = 0; attempt < 100 && created == EEXIST; ++attempt) {
    std::string name = TemporaryName(tempPrefix);
    fd_ = CurrentFileCalls().create(folderFd_, name.c_str(),
                                    O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ >= 0) {
      tempName_ = std::move(name);
      created = 0;
    } else {
      created = errno;
    }
  }
  if (created == 0) {
    // Keep the permissions of the file being replaced, or give a new file the usual ones.
    ::fchmod(fd_, exists ? (st.st_mode & 07777) : DefaultFileMode());
    buffer_.reserve(kWriteBuffer);
    return true;
  }
  // The folder takes no new file. A file in it that may be written is written over in
  // place, from a copy of the whole content made first.
  if (exists && (created == EACCES || created == EPERM) &&
      ::faccessat(folderFd_, targetName_.c_str(), W_OK, AT_EACCESS) == 0) {
    // Read as well: the old content is put back should the write fail.
    fd_ = ::openat(folderFd_, targetName_.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd_ < 0) {
      return fail(errno);
    }
    inPlace_ = true;
    return true;
  }
  return fail(created);
}

void AtomicFileWriter::WriteDirect(const void* data, std::size_t count) {
  const auto* in = static_cast<const char*>(data);
  while (count > 0) {
    const ssize_t n = CurrentFileCalls().write(fd_, in, count);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw IoError(SystemErrorText(errno));
    }
    in += n;
    count -= static_cast<std::size_t>(n);
  }
}

void AtomicFileWriter::Flush() {
  if (!buffer_.empty()) {
    WriteDirect(buffer_.data(), buffer_.size());
    buffer_.clear();
  }
}

void AtomicFileWriter::Write(const void* data, std::size_t count) {
  written_ += count;
  if (inPlace_ || buffer_.size() + count <= kWriteBuffer) {
    buffer_.append(static_cast<const char*>(data), count);
    return;
  }
  Flush();
  if (count >= kWriteBuffer) {
    WriteDirect(data, count);
  } else {
    buffer_.append(static_cast<const char*>(data), count);
  }
}

void AtomicFileWriter::Overwrite(uint64_t offset, const void* data, std::size_t count) {
  if (offset > written_ || count > written_ - offset) {
    throw IoError("A write went past the end of the file");
  }
  if (inPlace_) {
    buffer_.replace(offset, count, static_cast<const char*>(data), count);
    return;
  }
  Flush();
  const auto* in = static_cast<const char*>(data);
  while (count > 0) {
    const ssize_t n = ::pwrite(fd_, in, count, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw IoError(SystemErrorText(errno));
    }
    in += n;
    offset += static_cast<uint64_t>(n);
    count -= static_cast<std::size_t>(n);
  }
}

std::string AtomicFileWriter::ReadTarget() {
  std::string content;
  if (::lseek(fd_, 0, SEEK_SET) < 0) {
    throw IoError(SystemErrorText(errno));
  }
  char piece[1 << 16];
  for (;;) {
    const ssize_t n = CurrentFileCalls().read(fd_, piece, sizeof piece);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      throw IoError(SystemErrorText(errno));
    }
    if (n == 0) {
      return content;
    }
    content.append(piece, static_cast<std::size_t>(n));
  }
}

void AtomicFileWriter::PutBack(const std::string& old) noexcept {
  // Best effort: what failed is what the user is told about.
  try {
    if (::lseek(fd_, 0, SEEK_SET) == 0) {
      WriteDirect(old.data(), old.size());
    }
  } catch (const IoError&) {
  }
  (void)CurrentFileCalls().ftruncate(fd_, static_cast<off_t>(old.size()));
}

void AtomicFileWriter::WriteInPlace() {
  // Only now is the target touched, with the content complete in memory. Its room is
  // reserved first, so that a full disk refuses the save before a byte is overwritten;
  // without a reservation a write could stop half-way through the old content, so a
  // file system that cannot reserve is not written over at all. Should a write fail all
  // the same (a disk error), the old content, read first, is put back.
  const std::string old = ReadTarget();
  const auto size = static_cast<off_t>(buffer_.size());
  const int reserved = size > 0 ? CurrentFileCalls().fallocate(fd_, 0, size) : 0;
  if (reserved != 0) {
    // A reservation that failed part of the way may have made the file longer.
    (void)CurrentFileCalls().ftruncate(fd_, static_cast<off_t>(old.size()));
    throw IoError(reserved == EOPNOTSUPP || reserved == EINVAL ? kInPlaceNeedsReservation
                                                               : SystemErrorText(reserved));
  }
  try {
    if (::lseek(fd_, 0, SEEK_SET) < 0) {
      throw IoError(SystemErrorText(errno));
    }
    Flush();
    // The old content's tail is cut only once the new one is written.
    if (CurrentFileCalls().ftruncate(fd_, size) != 0) {
      throw IoError(SystemErrorText(errno));
    }
  } catch (const IoError&) {
    buffer_.clear();
    PutBack(old);
    throw;
  }
}

void AtomicFileWriter::SyncFolder() {
  // A rename is on disk only once its folder is. A descriptor opened with O_PATH cannot
  // be synced, so the folder is opened again for reading; one that cannot be read is
  // left to the file system's own time.
  const int folder = ::openat(folderFd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) {
    return;
  }
  const int synced = CurrentFileCalls().fsync(folder);
  const int error = errno;
  ::close(folder);
  // Some file systems cannot sync a folder (EINVAL), and a read-only one has nothing to.
  if (synced != 0 && error != EINVAL && error != EROFS) {
    throw IoError(SystemErrorText(error));
  }
}

void AtomicFileWriter::Finish() {
  if (fd_ >= 0 && !inPlace_) { // an in-place target is written only at Commit
    CloseFile();
  }
}

void AtomicFileWriter::CloseFile() {
  Flush();
  // Devices and pipes cannot be synced; for them the write is all there is.
  if (CurrentFileCalls().fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
    throw IoError(SystemErrorText(errno));
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    throw IoError(SystemErrorText(errno));
  }
}

void AtomicFileWriter::Commit() {
  if (inPlace_) {
    WriteInPlace();
  }
  if (fd_ >= 0) {
    CloseFile();
  }
  if (!tempName_.empty()) {
    if (CurrentFileCalls().renameat(folderFd_, tempName_.c_str(), folderFd_, targetName_.c_str()) !=
        0) {
      throw IoError(SystemErrorText(errno));
    }
    tempName_.clear();
    SyncFolder();
  }
}

void AtomicFileWriter::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!tempName_.empty()) {
    ::unlinkat(folderFd_, tempName_.c_str(), 0);
    tempName_.clear();
  }
  if (folderFd_ >= 0) {
    ::close(folderFd_);
    folderFd_ = -1;
  }
}

} // namespace lw
