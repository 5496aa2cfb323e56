#pragma once

#include "session/RecoveryFiles.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace lw {

// This run's own recovery files.
class RecoveryInstance {
public:
  RecoveryInstance() = default;
  // Lets go of the lock and removes the lock file. The copy, if any, stays for the next
  // start: only Finish means the song may go.
  ~RecoveryInstance();
  RecoveryInstance(const RecoveryInstance&) = delete;
  RecoveryInstance& operator=(const RecoveryInstance&) = delete;

  // Creates the folder (0700) when needed and takes this run's lock file, named after
  // `pid` and `startTime` (seconds). False when the folder cannot hold it; `error` gets
  // errno.
  bool Start(const std::string& folder, long pid, int64_t startTime, int* error = nullptr);
  [[nodiscard]] bool Started() const { return lockFd_ >= 0; }

  [[nodiscard]] const std::string& Folder() const { return folder_; }
  [[nodiscard]] const std::string& Name() const { return name_; }
  [[nodiscard]] std::string CopyPath() const { return folder_ + name_ + ".LW"; }
  [[nodiscard]] std::string InfoPath() const { return folder_ + name_ + ".info"; }
  [[nodiscard]] std::string LockPath() const { return folder_ + name_ + ".lock"; }

  // Writes the copy, then its side file, each replacing the previous one only once it is
  // complete and on disk. Throws IoError. A set `cancel` stops the write between pieces
  // (IoError as well), leaving the previous copy as it was. Any thread, one at a time.
  void WriteCopy(std::string_view bytes, const RecoveryInfo& info,
                 const std::atomic<bool>* cancel = nullptr) const;
  // Removes the copy and its side file.
  void RemoveCopy() const;
  // Makes a dead program's copy this run's own, by renaming: the copy loaded from it is
  // then kept without writing it again. False when the rename fails.
  bool AdoptCopy(const std::string& copyPath, const RecoveryInfo& info) const;
  // The clean end of a run: the song was saved, or the user chose to let it go. Removes
  // the copy, its side file and the lock file.
  void Finish();

private:
  std::string folder_;
  std::string name_;
  int lockFd_ = -1;
};

// Starts the run's recovery files in the folder the environment names; prints why to
// standard error and gives nothing when that fails (the program then runs without).
[[nodiscard]] std::unique_ptr<RecoveryInstance> StartRecoveryFromEnvironment();

} // namespace lw
