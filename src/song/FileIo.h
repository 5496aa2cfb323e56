#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace lw {

// A read or write that failed after its file was opened; what() is the text the user
// sees in the general error report ("Read beyond end of file", the system's own text).
class IoError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

inline constexpr const char* kReadBeyondEnd = "Read beyond end of file";

// The system's text for an errno value.
[[nodiscard]] std::string SystemErrorText(int error);

// A file opened read-only. Reads deliver their full count or throw IoError.
class ReadOnlyFile {
public:
  ReadOnlyFile() = default;
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // False when the file cannot be opened (or is a folder); `error` gets errno.
  bool Open(const std::string& path, int* error = nullptr);
  [[nodiscard]] uint64_t Size() const { return size_; }
  [[nodiscard]] uint64_t Position() const { return position_; }
  [[nodiscard]] uint64_t Remaining() const { return size_ - position_; }

  void ReadExactly(void* buffer, std::size_t count);
  // Reads up to `count` bytes; returns how many were read (0 at the end).
  std::size_t ReadSome(void* buffer, std::size_t count);
  void Seek(uint64_t position);

private:
  int fd_ = -1;
  uint64_t size_ = 0;
  uint64_t position_ = 0;
};

// Writes a file that replaces its target only when it is complete: the bytes go to a
// temporary file in the target's folder, which Commit flushes to disk and renames over
// the target. Destroyed without Commit, it removes the temporary file and leaves the
// target as it was. Writes are buffered; a failed write throws IoError.
class AtomicFileWriter {
public:
  AtomicFileWriter() = default;
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // False when the temporary file cannot be created; `error` gets errno. The temporary
  // file's name starts with `tempPrefix` and is unique: it is created exclusively, so
  // two writers into one folder never share it and a link of that name is never followed.
  bool Open(const std::string& targetPath, int* error = nullptr,
            const char* tempPrefix = ".lwsave-");
  void Write(const void* data, std::size_t count);
  void Commit();
  [[nodiscard]] uint64_t Written() const { return written_; }

private:
  void Flush();
  void WriteDirect(const void* data, std::size_t count);
  void Discard();

  int fd_ = -1;
  std::string targetPath_;
  std::string tempPath_;
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
// separator; data files such as the vinyl noise are found there.
[[nodiscard]] std::string ProgramFolder();

} // namespace lw
