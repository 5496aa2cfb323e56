// When the recovery copy is written.
#include "session/AutoSaveSchedule.h"

#include "samples/SongFile.h"
#include "session/RecoveryFiles.h"
#include "session/RecoveryWriter.h"
#include "song/FileIo.h"
#include "song/Song.h"

#include <cstddef>
#include <new>
#include <utility>

namespace lw {

AutoSaveSchedule::Action AutoSaveSchedule::Poll(Clock::time_point now, bool changed,
                                                uint64_t fingerprint, bool writing) {
  if (!changed) {
    seen_.reset();
    dirtySince_.reset();
    written_.reset();
    if (copyMayExist_) {
      copyMayExist_ = false;
      return Action::Remove;
    }
    return Action::None;
  }
  if (seen_ != fingerprint) {
    seen_ = fingerprint;
    lastChange_ = now;
  }
  if (written_ == fingerprint) {
    dirtySince_.reset();
    return Action::None;
  }
  if (!dirtySince_) {
    dirtySince_ = lastChange_;
  }
  if (writing || (failedAt_ && now - *failedAt_ < timing_.retryAfterFailure)) {
    return Action::None;
  }
  if (now - lastChange_ < timing_.settle && now - *dirtySince_ < timing_.longest) {
    return Action::None;
  }
  written_ = fingerprint;
  copyMayExist_ = true;
  dirtySince_.reset();
  failedAt_.reset();
  return Action::Write;
}

void AutoSaveSchedule::Finished(Clock::time_point now, uint64_t fingerprint, bool written) {
  if (written) {
    return;
  }
  failedAt_ = now;
  if (written_ == fingerprint) {
    written_.reset();
  }
}

void AutoSaveSchedule::Adopted(uint64_t fingerprint) {
  written_ = fingerprint;
  seen_ = fingerprint;
  copyMayExist_ = true;
  dirtySince_.reset();
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

std::vector<std::string> PollRecoveryCopy(AutoSaveSchedule& schedule, RecoveryWriter& writer,
                                          AutoSaveSchedule::Clock::time_point now,
                                          const SongDocument& state, const SampleTable& samples,
                                          const std::function<std::string()>& makeCopy) {
  std::vector<std::string> failures;
  for (RecoveryWriter::Done& done : writer.TakeFinished()) {
    schedule.Finished(now, done.fingerprint, done.written);
    if (!done.written) {
      failures.push_back(std::move(done.error));
    }
  }
  const uint64_t fingerprint = state.songChanged ? SongFingerprint(state, samples) : 0;
  switch (schedule.Poll(now, state.songChanged, fingerprint, writer.Busy())) {
  case AutoSaveSchedule::Action::Write:
    // The copy needs as much memory again as the song, which may hold hundreds of
    // megabytes; without it the copy waits as a failed write does, and the program goes
    // on (an exception out of the timer's slot would end it).
    try {
      writer.Write(makeCopy(),
                   RecoveryInfo{state.songFileName, state.song.title.text(), NowMilliseconds()},
                   fingerprint);
    } catch (const std::bad_alloc&) {
      schedule.Finished(now, fingerprint, false);
      failures.emplace_back(kOutOfMemory);
    }
    break;
  case AutoSaveSchedule::Action::Remove:
    writer.Remove();
    break;
  case AutoSaveSchedule::Action::None:
    break;
  }
  return failures;
}

} // namespace lw
