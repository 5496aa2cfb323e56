#include "song/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace lw {

namespace {

constexpr std::size_t kWriteBuffer = 1 << 20;

// The permissions a newly created file would get under the current umask.
mode_t DefaultFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

} // namespace

std::string SystemErrorText(int error) {
  char text[256];
  // GNU strerror_r returns the text, which need not be in the buffer.
  return ::strerror_r(error, text, sizeof text);
}

ReadOnlyFile::~ReadOnlyFile() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

bool ReadOnlyFile::Open(const std::string& path, int* error) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode))) {
    const int e = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd_);
    fd_ = -1;
    errno = e;
  }
  if (fd_ < 0) {
    if (error != nullptr) {
      *error = errno;
    }
    return false;
  }
  size_ = static_cast<uint64_t>(st.st_size);
  position_ = 0;
  return true;
}

std::size_t ReadOnlyFile::ReadSome(void* buffer, std::size_t count) {
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(fd_, out + done, count - done);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw IoError(SystemErrorText(errno));
    }
    if (n == 0) {
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  position_ += done;
  return done;
}

void ReadOnlyFile::ReadExactly(void* buffer, std::size_t count) {
  if (ReadSome(buffer, count) != count) {
    throw IoError(kReadBeyondEnd);
  }
}

void ReadOnlyFile::Seek(uint64_t position) {
  if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0) {
    throw IoError(SystemErrorText(errno));
  }
  position_ = position;
}

AtomicFileWriter::~AtomicFileWriter() {
  Discard();
}

bool AtomicFileWriter::Open(const std::string& targetPath, int* error, const char* tempPrefix) {
  // Replace the file a link points to, not the link.
  char resolved[PATH_MAX];
  targetPath_ = ::realpath(targetPath.c_str(), resolved) != nullptr ? resolved : targetPath;
  struct stat st {};
  const bool exists = ::stat(targetPath_.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    // A device or a pipe cannot be replaced: write to it in place.
    fd_ = ::open(targetPath_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  } else {
    std::string pattern = FolderOf(targetPath_) + tempPrefix + "XXXXXX";
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ >= 0) {
      tempPath_ = pattern;
      // Keep the permissions of the file being replaced, or give a new file the usual ones.
      ::fchmod(fd_, exists ? (st.st_mode & 07777) : DefaultFileMode());
    }
  }
  if (fd_ < 0) {
    if (error != nullptr) {
      *error = errno;
    }
    return false;
  }
  buffer_.reserve(kWriteBuffer);
  return true;
}

void AtomicFileWriter::WriteDirect(const void* data, std::size_t count) {
  const auto* in = static_cast<const char*>(data);
  while (count > 0) {
    const ssize_t n = ::write(fd_, in, count);
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
  if (buffer_.size() + count <= kWriteBuffer) {
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

void AtomicFileWriter::Commit() {
  Flush();
  // Devices and pipes cannot be synced; for them the write is all there is.
  if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
    throw IoError(SystemErrorText(errno));
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    throw IoError(SystemErrorText(errno));
  }
  if (!tempPath_.empty() && ::rename(tempPath_.c_str(), targetPath_.c_str()) != 0) {
    throw IoError(SystemErrorText(errno));
  }
  tempPath_.clear();
}

void AtomicFileWriter::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!tempPath_.empty()) {
    ::unlink(tempPath_.c_str());
    tempPath_.clear();
  }
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool HasDot(const std::string& path) {
  return path.find('.') != std::string::npos;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

} // namespace lw

namespace lw {

std::string ProgramFolder() {
  std::string path(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (n <= 0) {
    return {};
  }
  path.resize(static_cast<std::size_t>(n));
  return FolderOf(path);
}

} // namespace lw
