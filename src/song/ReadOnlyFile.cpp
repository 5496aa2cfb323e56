#include "song/ReadOnlyFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lw {

ReadOnlyFile::~ReadOnlyFile() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

bool ReadOnlyFile::Open(const std::string& path, int* error) {
  // Without O_NONBLOCK, opening a pipe that nobody writes to waits for ever.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  struct stat st {};
  if (fd_ >= 0) {
    int refused = ::fstat(fd_, &st) != 0 ? errno : 0;
    if (refused == 0 && !S_ISREG(st.st_mode)) {
      refused = S_ISDIR(st.st_mode) ? EISDIR : kNotARegularFile;
    }
    if (refused == 0 && ::fcntl(fd_, F_SETFL, 0) != 0) {
      refused = errno;
    }
    if (refused != 0) {
      ::close(fd_);
      fd_ = -1;
      errno = refused;
    }
  }
  if (fd_ < 0) {
    if (error != nullptr) {
      *error = errno;
    }
    return false;
  }
  size_ = static_cast<uint64_t>(st.st_size);
  sizeKnown_ = size_ > 0;
  position_ = 0;
  return true;
}

void ReadOnlyFile::OpenMemory(std::span<const uint8_t> bytes, bool sizeKnown, std::size_t chunk) {
  memory_ = bytes;
  inMemory_ = true;
  chunk_ = std::max<std::size_t>(chunk, 1);
  sizeKnown_ = sizeKnown;
  size_ = sizeKnown ? bytes.size() : 0;
  position_ = 0;
}

std::size_t ReadOnlyFile::ReadSome(void* buffer, std::size_t count) {
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  if (inMemory_) {
    while (done < count && position_ < memory_.size()) {
      const std::size_t n =
          std::min({count - done, chunk_, static_cast<std::size_t>(memory_.size() - position_)});
      std::memcpy(out + done, memory_.data() + position_, n);
      done += n;
      position_ += n;
    }
    return done;
  }
  while (done < count) {
    const ssize_t n = CurrentFileCalls().read(fd_, out + done, count - done);
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
  if (inMemory_) {
    position_ = position;
    return;
  }
  if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0) {
    throw IoError(SystemErrorText(errno));
  }
  position_ = position;
}

} // namespace lw
