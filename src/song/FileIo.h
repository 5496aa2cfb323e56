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

// Writes a file that replaces its target only when it is complete: the bytes go to a
// temporary file in the target's folder, which Commit flushes to disk and renames over
// the target, then flushes the folder so that the rename survives a power cut. A failure
// of that last flush is reported although the target already holds the new content
// whole. Destroyed without Commit, it removes the temporary file and leaves the
// target as it was. Writes are buffered; a failed write throws IoError.
//
// The folder is held open, so the temporary file is created, removed and renamed in it
// even when the folder is renamed meanwhile. When the folder refuses a new file but the
// target exists and may be written (a writable file in a read-only folder), the whole
// content is kept in memory and written over the target in place at Commit, only where
// the file system can reserve its room first. A device or a pipe named as the target is
// written directly.
class AtomicFileWriter {
public:
  AtomicFileWriter() = default;
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // False when the file cannot be written; `error` gets errno. The temporary file's name
  // starts with `tempPrefix` and is unique: it is created exclusively, so two writers into
  // one folder never share it and a link of that name is never followed.
  bool Open(const std::string& targetPath, int* error = nullptr,
            const char* tempPrefix = ".lwsave-");
  void Write(const void* data, std::size_t count);
  void Commit();
  [[nodiscard]] uint64_t Written() const { return written_; }
  // True when the target is written in place (see above).
  [[nodiscard]] bool InPlace() const { return inPlace_; }

private:
  void Flush();
  void WriteDirect(const void* data, std::size_t count);
  void WriteInPlace();
  [[nodiscard]] std::string ReadTarget();
  void PutBack(const std::string& old) noexcept;
  void SyncFolder();
  void Discard();

  int fd_ = -1;
  int folderFd_ = -1;
  std::string targetPath_;
  std::string targetName_; // within the folder
  std::string tempName_;   // within the folder; empty once renamed or removed
  bool inPlace_ = false;
  std::string buffer_;
  uint64_t written_ = 0;
};

// The folder part of a path, with its trailing separator ("" for a bare file name).
[[nodiscard]] std::string FolderOf(const std::string& path);
// True when the path holds a '.' anywhere, folders included.
[[nodiscard]] bool HasDot(const std::string& path);
[[nodiscard]] bool FileExists(const std::string& path);

} // namespace lw

namespace lw {

// The folder of the running program's real file (links resolved), with its trailing
// separator.
[[nodiscard]] std::string ProgramFolder();

// Where a data file or folder of the program (the vinyl noise, the sample kit) lies:
// beside the program first (a build folder, or a program kept in one folder), then in
// the installed data folder, found relative to the program's folder (PREFIX/bin/ to
// PREFIX/share/loopwren/) so that any prefix works. When neither holds it, the path
// beside the program, so that a message names the first place looked.
[[nodiscard]] std::string FindDataFile(const std::string& programFolder, const std::string& name);
// The same for a folder; empty when neither place holds it.
[[nodiscard]] std::string FindDataFolder(const std::string& programFolder, const std::string& name);
// The installed data folder of a program in `programFolder` (PREFIX/share/loopwren/),
// whether or not it exists.
[[nodiscard]] std::string InstalledDataFolder(const std::string& programFolder);
// Whether `path` lies inside `folder` (links resolved, the folder itself included).
[[nodiscard]] bool IsInside(const std::string& path, const std::string& folder);

} // namespace lw
