#include "session/Recovery.h"

#include "samples/SongFile.h"
#include "song/Paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <new>
#include <set>
#include <utility>

namespace lw {

namespace {

constexpr std::string_view kInfoMagic = "LoopWren recovery copy";
constexpr std::string_view kOwnPrefix = "recovery-";
constexpr std::string_view kKeptAsidePrefix = "recovered-";
// Copies kept aside are the user's to look through, but not for ever: the newest ones
// stay, and any from the last month.
constexpr std::size_t kKeptAsideNewest = 10;
constexpr int64_t kKeptAsideYoungerThan = int64_t{30} * 24 * 3600 * 1000;
// A write's temporary files and the lock file being made are called ".<name>~...": the
// names hold no '~', so no program's leftovers are taken for another's.
constexpr char kTemporaryMark = '~';
// The copy is handed to the file in pieces, so a cancelled write stops soon.
constexpr std::size_t kWritePiece = std::size_t{4} << 20;

std::string Escape(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
    case '\\':
      out += "\\\\";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    default:
      out += c;
    }
  }
  return out;
}

std::optional<std::string> Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) {
      return std::nullopt;
    }
    switch (text[i]) {
    case '\\':
      out += '\\';
      break;
    case 'n':
      out += '\n';
      break;
    case 'r':
      out += '\r';
      break;
    default:
      return std::nullopt;
    }
  }
  return out;
}

std::string TimeText(int64_t millisecondsSinceEpoch, const char* format) {
  const auto seconds = static_cast<std::time_t>(millisecondsSinceEpoch / 1000);
  std::tm local{};
  if (::localtime_r(&seconds, &local) == nullptr) {
    return "?";
  }
  char text[64];
  const std::size_t n = std::strftime(text, sizeof text, format, &local);
  return {text, n};
}

int64_t Milliseconds(const struct timespec& time) {
  return static_cast<int64_t>(time.tv_sec) * 1000 + time.tv_nsec / 1000000;
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Renames without replacing anything: 0, or errno (EEXIST when `to` is taken). Where the
// file system cannot rename so, a hard link and an unlink do the same.
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    return errno;
  }
  if (::link(from.c_str(), to.c_str()) != 0) {
    return errno;
  }
  ::unlink(from.c_str());
  return 0;
}

// Makes each missing folder of `folder` with the permissions the XDG rules ask for.
int MakeFolders(const std::string& folder) {
  for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
       slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      return errno;
    }
  }
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) {
    return errno;
  }
  return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

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

void WriteWhole(const std::string& path, const char* tempPrefix, std::string_view bytes,
                const std::atomic<bool>* cancel) {
  AtomicFileWriter out;
  int error = 0;
  if (!out.Open(path, &error, tempPrefix)) {
    throw IoError(SystemErrorText(error));
  }
  for (std::size_t done = 0; done < bytes.size(); done += kWritePiece) {
    if (cancel != nullptr && cancel->load()) {
      throw IoError("The recovery copy was not finished: it is no longer wanted");
    }
    out.Write(bytes.data() + done, std::min(kWritePiece, bytes.size() - done));
  }
  out.Commit();
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

std::string RecoveryFolder(const char* stateHome, const char* home) {
  std::string base;
  if (stateHome != nullptr && stateHome[0] == '/') {
    base = stateHome;
  } else if (home != nullptr && home[0] == '/') {
    base = std::string(home);
    while (base.size() > 1 && base.back() == '/') {
      base.pop_back();
    }
    base += "/.local/state";
  } else {
    return {};
  }
  while (!base.empty() && base.back() == '/') {
    base.pop_back();
  }
  return base + "/loopwren/";
}

std::string EncodeRecoveryInfo(const RecoveryInfo& info) {
  std::string text(kInfoMagic);
  text += "\nfile=" + Escape(info.songFileName);
  text += "\ntitle=" + Escape(info.title);
  text += "\nsaved=" + std::to_string(info.savedAt);
  text += '\n';
  return text;
}

std::optional<RecoveryInfo> DecodeRecoveryInfo(std::string_view text) {
  // Every line ends in a newline, so a file cut short is told from a whole one.
  if (text.empty() || text.back() != '\n') {
    return std::nullopt;
  }
  RecoveryInfo info;
  bool magic = false;
  bool saved = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (!magic) {
      if (line != kInfoMagic) {
        return std::nullopt;
      }
      magic = true;
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      return std::nullopt;
    }
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    if (key == "saved") {
      const auto [at, error] =
          std::from_chars(value.data(), value.data() + value.size(), info.savedAt);
      if (error != std::errc() || at != value.data() + value.size()) {
        return std::nullopt;
      }
      saved = true;
    } else if (key == "file" || key == "title") {
      auto unescaped = Unescape(value);
      if (!unescaped) {
        return std::nullopt;
      }
      (key == "file" ? info.songFileName : info.title) = std::move(*unescaped);
    }
    // Other keys are for later versions of the program.
  }
  if (!saved) {
    return std::nullopt;
  }
  return info;
}

std::string LocalTimeText(int64_t millisecondsSinceEpoch) {
  return TimeText(millisecondsSinceEpoch, "%Y-%m-%d %H:%M");
}

std::string RecoveryQuestion(std::string_view title, int64_t savedAt) {
  std::string text = "LoopWren did not close properly. Recover your unsaved song \"";
  text += title;
  text += "\" from " + LocalTimeText(savedAt) + "?";
  return text;
}

std::string RecoveryCaption(const RecoveryInfo& info) {
  if (!info.title.empty()) {
    return info.title;
  }
  if (!info.songFileName.empty()) {
    return BaseName(info.songFileName);
  }
  return "Untitled";
}

std::string DamagedCopyText(const std::string& copyPath, std::string_view problem,
                            const std::string& keptAs) {
  std::string text = "The recovery copy \"" + copyPath + "\" cannot be loaded:\n";
  text += problem;
  text += keptAs.empty() ? "\nIt was left where it is." : "\nIt was kept as \"" + keptAs + "\".";
  return text;
}

std::string KeptAsideName(int64_t savedAt, int number) {
  std::string name = TimeText(savedAt, "recovered-%Y-%m-%d-%H%M");
  if (number > 1) {
    name += "-" + std::to_string(number);
  }
  return name + ".LW";
}

std::optional<int64_t> FileTime(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) {
    return std::nullopt;
  }
  return Milliseconds(st.st_mtim);
}

int64_t NowMilliseconds() {
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return Milliseconds(now);
}

RecoveryChoice ChooseRecovery(int64_t savedAt, const std::string& songFileName,
                              std::optional<int64_t> songFileTime) {
  if (!songFileName.empty() && songFileTime && *songFileTime > savedAt) {
    return RecoveryChoice::KeepAside;
  }
  return RecoveryChoice::Ask;
}

std::optional<std::string> CheckSongCopy(const std::string& path) {
  ReadOnlyFile file;
  int error = 0;
  if (!file.Open(path, &error)) {
    return SystemErrorText(error);
  }
  if (!file.SizeKnown()) {
    return std::string("The file is empty");
  }
  try {
    char magic[sizeof kSongMagic];
    file.ReadExactly(magic, sizeof magic);
    if (!std::equal(std::begin(magic), std::end(magic), std::begin(kSongMagic))) {
      return std::string("It is not a LoopWren Track");
    }
    file.Seek(kSongHeaderSize);
    for (int i = 0; i < kSampleSlots; ++i) {
      SlotRecord record{};
      file.ReadExactly(record.data(), record.size());
      SampleSlot slot;
      DecodeSlotRecord(record, slot);
      if (!slot.isUsed()) {
        continue;
      }
      if (slot.length < 0) {
        return "Sample slot " + std::to_string(i + 1) + " has a negative length";
      }
      const uint64_t data = static_cast<uint64_t>(slot.length) * sizeof(int16_t);
      if (!file.MayHold(data)) {
        return std::string(kReadBeyondEnd);
      }
      file.Seek(file.Position() + data);
    }
  } catch (const IoError& failure) {
    return std::string(failure.what());
  }
  if (file.Remaining() != 0) {
    return std::string("The file goes on past the end of the song");
  }
  return std::nullopt;
}

uint64_t SongFingerprint(const SongDocument& state, const SampleTable& samples) {
  uint64_t hash = 14695981039346656037ULL; // FNV-1a
  const auto mix = [&hash](const void* data, std::size_t count) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (std::size_t i = 0; i < count; ++i) {
      hash = (hash ^ bytes[i]) * 1099511628211ULL;
    }
  };
  mix(&state.song, sizeof(Song));
  mix(&state.sequence, sizeof(SongSequence));
  for (const SampleSlot& slot : samples.slots) {
    const SlotRecord record = EncodeSlotRecord(slot);
    mix(record.data(), record.size());
    const void* data = slot.data.data();
    const std::size_t size = slot.data.size();
    mix(static_cast<const void*>(&data), sizeof data);
    mix(&size, sizeof size);
  }
  const std::size_t nameSize = state.songFileName.size();
  mix(&nameSize, sizeof nameSize);
  mix(state.songFileName.data(), nameSize);
  return hash;
}

RecoveryInstance::~RecoveryInstance() {
  if (lockFd_ >= 0) {
    ::unlink(LockPath().c_str());
    ::close(lockFd_);
  }
}

bool RecoveryInstance::Start(const std::string& folder, long pid, int64_t startTime, int* error) {
  const auto fail = [error](int code) {
    if (error != nullptr) {
      *error = code;
    }
    return false;
  };
  if (folder.empty() || folder.back() != '/') {
    return fail(EINVAL);
  }
  if (const int made = MakeFolders(folder); made != 0) {
    return fail(made);
  }
  folder_ = folder;
  const std::string stem =
      std::string(kOwnPrefix) + std::to_string(pid) + "-" + std::to_string(startTime);
  // The lock is taken on a file of a name nobody looks at, which then gets its real name:
  // a lock file under a recovery name is never seen unlocked while its program lives.
  const std::string making = folder + "." + stem + kTemporaryMark + "lock";
  const int fd = ::open(making.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    return fail(errno);
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int code = errno;
    ::close(fd);
    ::unlink(making.c_str());
    return fail(code);
  }
  // Programs in separate process namespaces may share a pid and a start second.
  for (int number = 1; number < 100; ++number) {
    name_ = number == 1 ? stem : stem + "-" + std::to_string(number);
    const int renamed = RenameNoReplace(making, LockPath());
    if (renamed == 0) {
      lockFd_ = fd;
      return true;
    }
    if (renamed != EEXIST) {
      ::close(fd);
      ::unlink(making.c_str());
      return fail(renamed);
    }
  }
  ::close(fd);
  ::unlink(making.c_str());
  return fail(EEXIST);
}

void RecoveryInstance::WriteCopy(std::string_view bytes, const RecoveryInfo& info,
                                 const std::atomic<bool>* cancel) const {
  const std::string prefix = "." + name_ + kTemporaryMark;
  WriteWhole(CopyPath(), prefix.c_str(), bytes, cancel);
  WriteWhole(InfoPath(), prefix.c_str(), EncodeRecoveryInfo(info), nullptr);
}

void RecoveryInstance::RemoveCopy() const {
  ::unlink(CopyPath().c_str());
  ::unlink(InfoPath().c_str());
}

bool RecoveryInstance::AdoptCopy(const std::string& copyPath, const RecoveryInfo& info) const {
  try {
    const std::string prefix = "." + name_ + kTemporaryMark;
    WriteWhole(InfoPath(), prefix.c_str(), EncodeRecoveryInfo(info), nullptr);
  } catch (const IoError&) {
    return false;
  }
  if (::rename(copyPath.c_str(), CopyPath().c_str()) != 0) {
    ::unlink(InfoPath().c_str());
    return false;
  }
  return true;
}

void RecoveryInstance::Finish() {
  if (lockFd_ < 0) {
    return;
  }
  RemoveCopy();
  ::unlink(LockPath().c_str());
  ::close(lockFd_);
  lockFd_ = -1;
}

std::unique_ptr<RecoveryInstance> StartRecoveryFromEnvironment() {
  const std::string folder = RecoveryFolder(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
  if (folder.empty()) {
    std::fputs("loopwren: no recovery copies: neither XDG_STATE_HOME nor HOME names a folder\n",
               stderr);
    return nullptr;
  }
  auto instance = std::make_unique<RecoveryInstance>();
  int error = 0;
  if (!instance->Start(folder, static_cast<long>(::getpid()), std::time(nullptr), &error)) {
    std::fprintf(stderr, "loopwren: no recovery copies: %s: %s\n", folder.c_str(),
                 SystemErrorText(error).c_str());
    return nullptr;
  }
  return instance;
}

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

RecoveryOutcome OfferRecovery(Engine& engine, UserPrompts& prompts, const RecoveryInstance& own) {
  RecoveryOutcome result;
  bool loaded = false;
  for (const auto& dead : ClaimDeadCopies(own.Folder(), own.Name())) {
    const RecoveryInfo& info = dead->Info();
    if (loaded || ChooseRecovery(info.savedAt, info.songFileName, FileTime(info.songFileName)) ==
                      RecoveryChoice::KeepAside) {
      dead->KeepAside();
      continue;
    }
    const std::string path = dead->CopyPath();
    if (const auto problem = CheckSongCopy(path)) {
      const std::string kept = dead->KeepAside();
      prompts.Notice(DamagedCopyText(path, *problem, kept));
      continue;
    }
    if (!prompts.Confirm(RecoveryQuestion(RecoveryCaption(info), info.savedAt))) {
      dead->KeepAside();
      continue;
    }
    const OpenResult opened = RecoverSongCopy(engine, prompts, path, info.songFileName);
    if (!opened.replaced) {
      dead->KeepAside(); // what went wrong was reported as Open reports it
      continue;
    }
    loaded = true;
    result.opened = opened;
    // The copy holds exactly the song now loaded: it becomes this run's own.
    if (own.Started() && own.AdoptCopy(path, info)) {
      dead->Remove();
      result.adopted = true;
    } else {
      dead->KeepAside();
    }
  }
  RemoveOldKeptAsideCopies(own.Folder(), NowMilliseconds());
  return result;
}

} // namespace lw
