// The thread that writes the recovery copy.
#include "session/RecoveryWriter.h"

#include "song/FileIo.h"

#include <new>
#include <utility>

namespace lw {

RecoveryWriter::RecoveryWriter(const RecoveryInstance& instance)
    : instance_(instance), thread_([this] { Run(); }) {
}

RecoveryWriter::~RecoveryWriter() {
  Stop();
}

void RecoveryWriter::Write(std::string bytes, RecoveryInfo info, uint64_t fingerprint) {
  std::optional<Request> replaced;
  {
    const MutexHold lock(mutex_);
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
    const MutexHold lock(mutex_);
    if (stopping_) {
      return;
    }
    replaced = std::exchange(pending_, Request{true, {}, {}, 0});
    cancel_ = true;
  }
  wake_.notify_one();
}

bool RecoveryWriter::Busy() const {
  const MutexHold lock(mutex_);
  return pending_.has_value() || working_;
}

void RecoveryWriter::Wait() {
  MutexHold lock(mutex_);
  while ((pending_ || working_) && !stopping_) {
    idle_.wait(lock);
  }
}

void RecoveryWriter::Stop() {
  std::optional<Request> dropped;
  {
    const MutexHold lock(mutex_);
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
  const MutexHold lock(mutex_);
  return std::exchange(finished_, {});
}

void RecoveryWriter::Run() {
  MutexHold lock(mutex_);
  for (;;) {
    while (!stopping_ && !pending_.has_value()) {
      wake_.wait(lock);
    }
    if (stopping_) {
      return;
    }
    Request request = std::move(*pending_);
    pending_.reset();
    working_ = true;
    if (!request.remove) {
      cancel_ = false;
    }
    lock.Unlock();

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

    lock.Relock();
    working_ = false;
    // A write cancelled because it is no longer wanted is no failure to try again.
    if (wrote && (done.written || !cancel_)) {
      finished_.push_back(std::move(done));
    }
    idle_.notify_all();
  }
}

} // namespace lw
