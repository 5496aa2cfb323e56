#pragma once

#include "song/FileIo.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace lw {

// A file opened read-only, or bytes in memory read the same way. Reads deliver their full
// count or throw IoError.
//
// A file's size is known when it is a regular file with a non-zero size. A size of 0 may
// be a lie (the kernel's own files report 0 and have content), so such a file is read
// like a stream of unknown length: data it claims is never allocated before it arrives.
class ReadOnlyFile {
public:
  ReadOnlyFile() = default;
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // False when the file cannot be opened, is a folder (EISDIR) or is not a regular file
  // (kNotARegularFile: a pipe or device is refused without waiting for it); `error` gets
  // the code.
  bool Open(const std::string& path, int* error = nullptr);

  // Reads from memory instead, at most `chunk` bytes per read as a pipe delivers them;
  // with `sizeKnown` false the length is hidden as a pipe's is. For tests and fuzzing.
  void OpenMemory(std::span<const uint8_t> bytes, bool sizeKnown, std::size_t chunk);

  [[nodiscard]] bool SizeKnown() const { return sizeKnown_; }
  // The size, when known; 0 otherwise.
  [[nodiscard]] uint64_t Size() const { return size_; }
  [[nodiscard]] uint64_t Position() const { return position_; }
  // What is left to read, when the size is known.
  [[nodiscard]] uint64_t Remaining() const { return size_ - std::min(position_, size_); }
  // Whether `bytes` more may still be there: false only when the size is known and
  // smaller.
  [[nodiscard]] bool MayHold(uint64_t bytes) const { return !sizeKnown_ || bytes <= Remaining(); }

  void ReadExactly(void* buffer, std::size_t count);
  // Reads up to `count` bytes; returns how many were read (0 at the end).
  std::size_t ReadSome(void* buffer, std::size_t count);
  void Seek(uint64_t position);

  // Reads exactly `count` values into `values` (resized to them). A known size is checked
  // first; an unknown one is read in growing pieces, so a damaged count allocates no
  // more than about twice the data that actually arrives. Throws IoError
  // ("Read beyond end of file") when the data ends early.
  template <class Vector> void ReadValues(Vector& values, std::size_t count) {
    using Value = typename Vector::value_type;
    if (!MayHold(static_cast<uint64_t>(count) * sizeof(Value))) {
      throw IoError(kReadBeyondEnd);
    }
    values.clear();
    for (std::size_t done = 0; done < count;) {
      const std::size_t piece =
          sizeKnown_ ? count - done : std::min(count - done, Piece<Value>(done));
      values.resize(done + piece);
      ReadExactly(values.data() + done, piece * sizeof(Value));
      done += piece;
    }
  }

  // Reads values until the data ends or `limit` values have arrived, in bounded pieces;
  // a trailing part value is dropped.
  template <class Vector> void ReadValuesUpTo(Vector& values, std::size_t limit) {
    using Value = typename Vector::value_type;
    values.clear();
    std::size_t done = 0;
    while (done < limit) {
      const std::size_t want = sizeKnown_
                                   ? std::min<uint64_t>(limit - done, Remaining() / sizeof(Value))
                                   : std::min(limit - done, Piece<Value>(done));
      if (want == 0) {
        break;
      }
      values.resize(done + want);
      const std::size_t got = ReadSome(values.data() + done, want * sizeof(Value));
      done += got / sizeof(Value);
      if (got < want * sizeof(Value)) {
        break;
      }
    }
    values.resize(done);
  }

private:
  // How many values to read next from a source of unknown size when `done` have arrived:
  // 64 KiB at first, then as much again as has arrived, at most 1 MiB at a time.
  template <class Value> static std::size_t Piece(std::size_t done) {
    constexpr std::size_t kFirst = (std::size_t{64} << 10) / sizeof(Value);
    constexpr std::size_t kLargest = (std::size_t{1} << 20) / sizeof(Value);
    return std::clamp(done, kFirst, kLargest);
  }

  int fd_ = -1;
  std::span<const uint8_t> memory_;
  bool inMemory_ = false;
  std::size_t chunk_ = 0;
  bool sizeKnown_ = false;
  uint64_t size_ = 0;
  uint64_t position_ = 0;
};

} // namespace lw
