#include "session/DeadCopies.h"

#include "samples/SongFile.h"
#include "song/FileIo.h"
#include "song/Paths.h"
#include "song/ReadOnlyFile.h"
#include "song/ShortString.h"
#include "song/Song.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <set>
#include <string_view>
#include <utility>

namespace lw {

namespace {

constexpr std::string_view kKeptAsidePrefix = "recovered-";
// Copies kept aside are the user's to look through, but not for ever: the newest ones
// stay, and any from the last month.
constexpr std::size_t kKeptAsideNewest = 10;
constexpr int64_t kKeptAsideYoungerThan = int64_t{30} * 24 * 3600 * 1000;

// Takes the lock at `path`, making the file when it is missing: the descriptor, or -1
// when a live program holds it. A lock file removed or replaced between the open and the
// lock is tried again, so the lock held is always the one the name leads to.
int ClaimLock(const std::string& path) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
      return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      return -1;
    }
    struct stat held {};
    struct stat named {};
    if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      return fd;
    }
    ::close(fd);
  }
  return -1;
}

std::optional<std::string> ReadSmallFile(const std::string& path) {
  ReadOnlyFile file;
  if (!file.Open(path)) {
    return std::nullopt;
  }
  std::string text;
  try {
    file.ReadValuesUpTo(text, 1 << 16);
  } catch (const IoError&) {
    return std::nullopt;
  }
  return text;
}

// Removes the files a dead program's writes left behind: ".<name>~...".
void RemoveTemporaryFiles(const std::string& folder, const std::string& name) {
  const std::string prefix = "." + name + kTemporaryMark;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    return;
  }
  std::vector<std::string> found;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view file = entry->d_name;
    if (file.substr(0, prefix.size()) == prefix) {
      found.emplace_back(file);
    }
  }
  ::closedir(dir);
  for (const std::string& file : found) {
    ::unlink((folder + file).c_str());
  }
}

} // namespace

DeadCopy::DeadCopy(std::string folder, std::string name, int lockFd)
    : folder_(std::move(folder)), name_(std::move(name)), lockFd_(lockFd) {
}

DeadCopy::~DeadCopy() {
  ::unlink((folder_ + name_ + ".lock").c_str());
  ::close(lockFd_);
}

bool DeadCopy::HasCopy() const {
  return FileExists(CopyPath());
}

RecoveryInfo DeadCopy::InfoFromCopy() const {
  RecoveryInfo info;
  info.savedAt = FileTime(CopyPath()).value_or(0);
  ReadOnlyFile file;
  if (file.Open(CopyPath())) {
    try {
      ShortString title{};
      file.Seek(sizeof kSongMagic + offsetof(Song, title));
      file.ReadExactly(&title, sizeof title);
      info.title = title.text();
    } catch (const IoError&) {
      info.title.clear();
    }
  }
  return info;
}

std::string DeadCopy::KeepAside() {
  const int64_t savedAt = info_.savedAt;
  for (int number = 1; number < 1000; ++number) {
    const std::string name = KeptAsideName(savedAt, number);
    std::string copy = folder_ + name;
    const std::string info = folder_ + name.substr(0, name.size() - 3) + ".info";
    if (FileExists(info)) {
      continue;
    }
    const int renamed = RenameNoReplace(CopyPath(), copy);
    if (renamed == EEXIST) {
      continue;
    }
    if (renamed != 0) {
      return {};
    }
    if (FileExists(InfoPath())) {
      RenameNoReplace(InfoPath(), info);
    }
    RemoveTemporaryFiles(folder_, name_);
    return copy;
  }
  return {};
}

void DeadCopy::Remove() {
  ::unlink(CopyPath().c_str());
  ::unlink(InfoPath().c_str());
  RemoveTemporaryFiles(folder_, name_);
}

std::vector<std::unique_ptr<DeadCopy>> ClaimDeadCopies(const std::string& folder,
                                                       const std::string& ownName) {
  std::set<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str()); dir != nullptr) {
    while (const dirent* entry = ::readdir(dir)) {
      // A program's files are found by their names; what its writes left behind
      // (".recovery-...~...") goes with them. Such a file alone may be a program making its
      // lock file just now, and is no sign of a dead one.
      std::string_view file = entry->d_name;
      const std::size_t dot = file.rfind('.');
      if (dot == std::string_view::npos || dot == 0) {
        continue;
      }
      const std::string_view extension = file.substr(dot);
      if (extension != ".LW" && extension != ".info" && extension != ".lock") {
        continue;
      }
      file = file.substr(0, dot);
      if (file.substr(0, kOwnPrefix.size()) == kOwnPrefix && file != ownName) {
        names.emplace(file);
      }
    }
    ::closedir(dir);
  }
  std::vector<std::unique_ptr<DeadCopy>> dead;
  for (const std::string& name : names) {
    const int fd = ClaimLock(folder + name + ".lock");
    if (fd < 0) {
      continue; // a live program's, or another start-up's just now
    }
    auto copy = std::make_unique<DeadCopy>(folder, name, fd);
    if (!copy->HasCopy()) {
      copy->Remove();
      continue;
    }
    if (const auto text = ReadSmallFile(copy->InfoPath())) {
      copy->stored_ = DecodeRecoveryInfo(*text);
    }
    copy->info_ = copy->stored_ ? *copy->stored_ : copy->InfoFromCopy();
    dead.push_back(std::move(copy));
  }
  std::stable_sort(dead.begin(), dead.end(), [](const auto& a, const auto& b) {
    return a->info_.savedAt > b->info_.savedAt;
  });
  return dead;
}

void RemoveOldKeptAsideCopies(const std::string& folder, int64_t now) {
  struct Kept {
    int64_t time;
    std::string stem;
  };
  std::vector<Kept> kept;
  if (DIR* dir = ::opendir(folder.c_str()); dir != nullptr) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string_view file = entry->d_name;
      if (!file.starts_with(kKeptAsidePrefix) || !file.ends_with(".LW")) {
        continue;
      }
      struct stat st {};
      if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISREG(st.st_mode)) {
        kept.push_back({Milliseconds(st.st_mtim), std::string(file.substr(0, file.size() - 3))});
      }
    }
    ::closedir(dir);
  }
  if (kept.size() <= kKeptAsideNewest) {
    return;
  }
  std::sort(kept.begin(), kept.end(), [](const Kept& a, const Kept& b) {
    return a.time != b.time ? a.time > b.time : a.stem > b.stem;
  });
  for (std::size_t i = kKeptAsideNewest; i < kept.size(); ++i) {
    if (now - kept[i].time >= kKeptAsideYoungerThan) {
      ::unlink((folder + kept[i].stem + ".LW").c_str());
      ::unlink((folder + kept[i].stem + ".info").c_str());
    }
  }
}

} // namespace lw
