#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lw {

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
  // Replaces `count` bytes written before, from `offset` on: encoders that fill in a
  // header once they know the length. Throws IoError where the target cannot seek.
  void Overwrite(uint64_t offset, const void* data, std::size_t count);
  // Puts the whole content on disk under the temporary name, so that several files can
  // be made ready before any replaces its target. Commit calls it where it was not.
  void Finish();
  void Commit();
  [[nodiscard]] uint64_t Written() const { return written_; }
  // True when the target is written in place (see above).
  [[nodiscard]] bool InPlace() const { return inPlace_; }

private:
  void Flush();
  void CloseFile();
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

} // namespace lw
