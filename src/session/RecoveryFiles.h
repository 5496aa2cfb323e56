#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

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
// The name a copy is kept aside under: "recovered-2026-12-08-1405.LW"; from the second
// on, "-2", "-3", ... before the extension.
[[nodiscard]] std::string KeptAsideName(int64_t savedAt, int number);

// A song file's modification time in milliseconds since the epoch; nothing when it is not
// there.
[[nodiscard]] std::optional<int64_t> FileTime(const std::string& path);
[[nodiscard]] int64_t NowMilliseconds();

// The pieces shared by this run's own files and a dead program's.
inline constexpr std::string_view kOwnPrefix = "recovery-";
// A write's temporary files and the lock file being made are called ".<name>~...": the
// names hold no '~', so no program's leftovers are taken for another's.
inline constexpr char kTemporaryMark = '~';

// Milliseconds since the epoch of a file time or a clock reading.
[[nodiscard]] int64_t Milliseconds(const struct timespec& time);
// Renames without replacing anything: 0, or errno (EEXIST when `to` is taken). Where the
// file system cannot rename so, a hard link and an unlink do the same.
int RenameNoReplace(const std::string& from, const std::string& to);

} // namespace lw
