#pragma once

#include "samples/SampleTable.h"
#include "song/SongState.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lw {

class RecoveryWriter;

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

// A cheap fingerprint of everything a song file and its side file hold: the song, the
// sequence, the slot records and the file name. Sample data is only ever replaced whole,
// never changed in place, so its address and length stand for it. Interface thread.
[[nodiscard]] uint64_t SongFingerprint(const SongDocument& state, const SampleTable& samples);

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
