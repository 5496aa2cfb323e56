// When the recovery copy is written, and the thread that writes it.
#include "session/Recovery.h"

#include "samples/SongFile.h"
#include "song/FileIo.h"

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

RecoveryWriter::RecoveryWriter(const RecoveryInstance& instance)
    : instance_(instance), thread_([this] { Run(); }) {
}

RecoveryWriter::~RecoveryWriter() {
  Stop();
}

void RecoveryWriter::Write(std::string bytes, RecoveryInfo info, uint64_t fingerprint) {
  std::optional<Request> replaced;
  {
    const std::lock_guard lock(mutex_);
    if (stopping_) {
      return;
    }
    replaced =
        std::exchange(pending_, Request{false, std::move(bytes), std::move(info), fingerprint});
  }
  wake_.notify_one();
  // A request replaced before it ran is freed here, outside the writer's lock.
}

void RecoveryWriter::Remove() {
  std::optional<Request> replaced;
  {
    const std::lock_guard lock(mutex_);
    if (stopping_) {
      return;
    }
    replaced = std::exchange(pending_, Request{true, {}, {}, 0});
    cancel_ = true;
  }
  wake_.notify_one();
}

bool RecoveryWriter::Busy() const {
  const std::lock_guard lock(mutex_);
  return pending_.has_value() || working_;
}

void RecoveryWriter::Wait() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return (!pending_ && !working_) || stopping_; });
}

void RecoveryWriter::Stop() {
  std::optional<Request> dropped;
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    cancel_ = true;
    dropped = std::move(pending_);
    pending_.reset();
  }
  wake_.notify_all();
  idle_.notify_all();
  if (thread_.joinable()) {
    thread_.join();
  }
}

std::vector<RecoveryWriter::Done> RecoveryWriter::TakeFinished() {
  const std::lock_guard lock(mutex_);
  return std::exchange(finished_, {});
}

void RecoveryWriter::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || pending_.has_value(); });
    if (stopping_) {
      return;
    }
    Request request = std::move(*pending_);
    pending_.reset();
    working_ = true;
    if (!request.remove) {
      cancel_ = false;
    }
    lock.unlock();

    Done done{request.fingerprint, false, {}};
    try {
      if (request.remove) {
        instance_.RemoveCopy();
      } else {
        instance_.WriteCopy(request.bytes, request.info, &cancel_);
        done.written = true;
      }
    } catch (const IoError& failure) {
      done.error = failure.what();
    } catch (const std::bad_alloc&) {
      done.error = kOutOfMemory;
    }
    const bool wrote = !request.remove;
    request = Request{}; // the copy's bytes are freed before the next request is taken

    lock.lock();
    working_ = false;
    // A write cancelled because it is no longer wanted is no failure to try again.
    if (wrote && (done.written || !cancel_)) {
      finished_.push_back(std::move(done));
    }
    idle_.notify_all();
  }
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
