#pragma once

#include "commands/SongCommands.h"
#include "engine/Engine.h"
#include "song/UserPrompts.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Recovery copies: while the song has unsaved changes, the program keeps a copy of it, the
// very bytes a save would write, in the user's state folder, so that a crash or a kill
// loses at most a few seconds of work. The next start offers a copy whose program died.
//
// Each running program has its own files there, named after its process and start time:
//   recovery-<pid>-<start>.lock  held locked (flock) for the whole run
//   recovery-<pid>-<start>.LW    the copy, a song file
//   recovery-<pid>-<start>.info  beside it: where the song belongs, its title, the time
// A lock file nobody holds marks a program that ended without cleaning up; its copy is
// offered once, and a copy not taken is kept aside as recovered-<date>-<time>.LW.

namespace lw {

// The folder of the recovery files: $XDG_STATE_HOME/loopwren/, else
// $HOME/.local/state/loopwren/, with its trailing separator. A relative XDG_STATE_HOME is
// ignored, as the XDG base directory rules ask. Empty when neither gives a folder.
[[nodiscard]] std::string RecoveryFolder(const char* stateHome, const char* home);

// What a copy's side file says.
struct RecoveryInfo {
  std::string songFileName; // where the song belongs; empty for a song never saved
  std::string title;        // UTF-8
  int64_t savedAt = 0;      // when the copy was made, in milliseconds since the epoch

  bool operator==(const RecoveryInfo&) const = default;
};

// The side file's text, and back. Decoding gives nothing for a text that is not a side
// file or is cut short.
[[nodiscard]] std::string EncodeRecoveryInfo(const RecoveryInfo& info);
[[nodiscard]] std::optional<RecoveryInfo> DecodeRecoveryInfo(std::string_view text);

// "2026-12-08 14:05" in local time.
[[nodiscard]] std::string LocalTimeText(int64_t millisecondsSinceEpoch);
// The question asked at start-up for a dead program's copy.
[[nodiscard]] std::string RecoveryQuestion(std::string_view title, int64_t savedAt);
// What a copy is called in the question: its title, else its file's name, else
// "Untitled".
[[nodiscard]] std::string RecoveryCaption(const RecoveryInfo& info);
// The notice for a copy that cannot be loaded.
[[nodiscard]] std::string DamagedCopyText(const std::string& copyPath, std::string_view problem,
                                          const std::string& keptAs);
// The name a copy is kept aside under: "recovered-2026-12-08-1405.LW"; from the second
// on, "-2", "-3", ... before the extension.
[[nodiscard]] std::string KeptAsideName(int64_t savedAt, int number);

// A song file's modification time in milliseconds since the epoch; nothing when it is not
// there.
[[nodiscard]] std::optional<int64_t> FileTime(const std::string& path);
[[nodiscard]] int64_t NowMilliseconds();

// Whether a dead program's copy is worth the question: it is, unless the song it came from
// was saved to its file after the copy was made (that file then holds the later work).
enum class RecoveryChoice { Ask, KeepAside };
[[nodiscard]] RecoveryChoice ChooseRecovery(int64_t savedAt, const std::string& songFileName,
                                            std::optional<int64_t> songFileTime);

// Checks that a file has a song file's shape from its first byte to its last, without
// reading the sample data: the magic, the blocks, the slot records and exactly the data
// they promise. Gives the problem found, or nothing.
[[nodiscard]] std::optional<std::string> CheckSongCopy(const std::string& path);

// A cheap fingerprint of everything a song file and its side file hold: the song, the
// sequence, the slot records and the file name. Sample data is only ever replaced whole,
// never changed in place, so its address and length stand for it. Interface thread.
[[nodiscard]] uint64_t SongFingerprint(const SongDocument& state, const SampleTable& samples);

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

// Start-up's offer: asks about each dead program's copy that is newer than its song's
// file, newest first, and loads the first one the user takes as an unsaved song that
// keeps its file name; that copy becomes this run's own. Every other copy is kept aside;
// a damaged one is reported. Interface thread.
struct RecoveryOutcome {
  OpenResult opened;    // replaced: a copy was loaded
  bool adopted = false; // the loaded copy is now this run's own copy
};
RecoveryOutcome OfferRecovery(Engine& engine, UserPrompts& prompts, const RecoveryInstance& own);

// When a copy is written: a few seconds after the last change, and while changes go on,
// no later than `longest` after the first change not yet in a copy.
struct AutoSaveTiming {
  std::chrono::milliseconds poll{1000};
  std::chrono::milliseconds settle{3000};
  std::chrono::milliseconds longest{30000};
  std::chrono::milliseconds retryAfterFailure{30000};
};

// Decides, at each look at the song, whether to write a copy or remove it.
class AutoSaveSchedule {
public:
  using Clock = std::chrono::steady_clock;
  enum class Action { None, Write, Remove };

  explicit AutoSaveSchedule(AutoSaveTiming timing = {}) : timing_(timing) {}

  // `changed` and `fingerprint` describe the song now; `writing` says a write is under
  // way. Write: a copy of this song is wanted (it counts as written from now on); Remove:
  // nothing is unsaved and a copy may be on disk.
  Action Poll(Clock::time_point now, bool changed, uint64_t fingerprint, bool writing);
  // A write ended; a failed one is tried again after a while.
  void Finished(Clock::time_point now, uint64_t fingerprint, bool written);
  // A copy of exactly this song is on disk, made by other means (an adopted copy).
  void Adopted(uint64_t fingerprint);

private:
  AutoSaveTiming timing_;
  bool copyMayExist_ = false;
  std::optional<uint64_t> written_;             // the song the copy holds or is being written with
  std::optional<uint64_t> seen_;                // the song at the last look
  Clock::time_point lastChange_{};              // when the fingerprint last changed
  std::optional<Clock::time_point> dirtySince_; // the first change not in a copy
  std::optional<Clock::time_point> failedAt_;
};

// Writes this run's copy on a thread of its own, one write at a time; a newer request
// replaces one still waiting. The interface thread makes the bytes and hands them over.
class RecoveryWriter {
public:
  explicit RecoveryWriter(const RecoveryInstance& instance);
  // Stops the thread: a waiting request is dropped, a write under way is cancelled.
  ~RecoveryWriter();
  RecoveryWriter(const RecoveryWriter&) = delete;
  RecoveryWriter& operator=(const RecoveryWriter&) = delete;

  void Write(std::string bytes, RecoveryInfo info, uint64_t fingerprint);
  // Removes the copy; a write under way is cancelled first.
  void Remove();
  // A request waits or is under way.
  [[nodiscard]] bool Busy() const;
  // Waits until nothing waits or is under way.
  void Wait();
  // Stops as the destructor does; afterwards requests are ignored.
  void Stop();

  struct Done {
    uint64_t fingerprint = 0;
    bool written = false;
    std::string error; // why a write failed
  };
  // The writes ended since the last call.
  [[nodiscard]] std::vector<Done> TakeFinished();

private:
  struct Request {
    bool remove = false;
    std::string bytes;
    RecoveryInfo info;
    uint64_t fingerprint = 0;
  };
  void Run();

  const RecoveryInstance& instance_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::optional<Request> pending_;
  bool working_ = false;
  bool stopping_ = false;
  std::atomic<bool> cancel_{false};
  std::vector<Done> finished_;
  std::thread thread_;
};

// One look at the song for its recovery copy, on the interface thread: the writes that
// ended go to the schedule, then the copy is written or removed as the schedule says,
// with the bytes `makeCopy` gives (what a save writes). When there is not the memory to
// make them, the copy is skipped and tried again later, as after a failed write. Gives
// why copies failed, for a warning.
[[nodiscard]] std::vector<std::string>
PollRecoveryCopy(AutoSaveSchedule& schedule, RecoveryWriter& writer,
                 AutoSaveSchedule::Clock::time_point now, const SongDocument& state,
                 const SampleTable& samples, const std::function<std::string()>& makeCopy);

} // namespace lw
