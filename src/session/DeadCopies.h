#pragma once

#include "session/RecoveryFiles.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lw {

// A dead program's recovery files, claimed: this run holds their lock until it is done
// with them, so two programs starting together never offer the same copy.
class DeadCopy {
public:
  DeadCopy(std::string folder, std::string name, int lockFd);
  // Removes the lock file and lets go of it.
  ~DeadCopy();
  DeadCopy(const DeadCopy&) = delete;
  DeadCopy& operator=(const DeadCopy&) = delete;

  [[nodiscard]] const std::string& Name() const { return name_; }
  [[nodiscard]] std::string CopyPath() const { return folder_ + name_ + ".LW"; }
  [[nodiscard]] std::string InfoPath() const { return folder_ + name_ + ".info"; }
  [[nodiscard]] bool HasCopy() const;
  // The side file's content; nothing when it is missing or unreadable.
  [[nodiscard]] const std::optional<RecoveryInfo>& StoredInfo() const { return stored_; }
  // The side file's content, or what the copy itself tells: its title and its
  // modification time, with no file name.
  [[nodiscard]] const RecoveryInfo& Info() const { return info_; }

  // Renames the copy and its side file to kept-aside names that nothing has yet; gives
  // the copy's new path, or empty when it could not be renamed.
  std::string KeepAside();
  // Removes the copy, its side file and anything a write of the dead program left.
  void Remove();

private:
  friend std::vector<std::unique_ptr<DeadCopy>> ClaimDeadCopies(const std::string& folder,
                                                                const std::string& ownName);
  [[nodiscard]] RecoveryInfo InfoFromCopy() const;

  std::string folder_;
  std::string name_;
  int lockFd_;
  std::optional<RecoveryInfo> stored_;
  RecoveryInfo info_;
};

// The dead programs' copies in the folder, newest first; a live program's files (its lock
// is held) are left alone. Leftovers of dead programs without a copy are removed.
[[nodiscard]] std::vector<std::unique_ptr<DeadCopy>> ClaimDeadCopies(const std::string& folder,
                                                                     const std::string& ownName);

// Removes the copies kept aside in the folder that are neither among the newest ten nor
// younger than 30 days at `now` (milliseconds since the epoch), with their side files.
void RemoveOldKeptAsideCopies(const std::string& folder, int64_t now);

} // namespace lw
