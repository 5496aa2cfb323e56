#include "live/MidiClockLeader.h"

namespace lw {

void MidiClockLeader::Take(const MidiMessage& message, OutputFrame frame) noexcept {
  if (!enabled()) {
    return;
  }
  lastFrame_ = frame;
  taken_.fetch_add(1, std::memory_order_relaxed);
  switch (message.status) {
  case 0xF8:
    follower_.Tick(frame);
    if (awaitingTick_) {
      awaitingTick_ = false;
      startDue_ = true;
      startAt_ = frame;
      startBeat_ = follower_.BeatAt(frame);
    }
    break;
  case 0xFA:
    follower_.Start();
    awaitingTick_ = true;
    break;
  case 0xFB:
    if (!follower_.running()) {
      follower_.Continue();
      awaitingTick_ = true;
    }
    break;
  case 0xFC:
    follower_.Stop();
    awaitingTick_ = false;
    startDue_ = false;
    stopDue_ = true;
    break;
  case 0xF2:
    follower_.SongPosition(message.data1 | (message.data2 << 7));
    break;
  default:
    break;
  }
}

void MidiClockLeader::Period(PeriodRenderer& renderer, OutputFrame periodStart) noexcept {
  if (!enabled()) {
    ledSong_ = false;
    leadingShown_.store(false, std::memory_order_relaxed);
    return;
  }
  if (stopDue_ && (!ledSong_ || renderer.StopLed())) {
    stopDue_ = false;
    ledSong_ = false;
  }
  // A start whose tick is already behind (the lock was busy) starts at the next frame.
  if (startDue_ && renderer.StartLed(startAt_ < periodStart ? periodStart : startAt_, startBeat_)) {
    startDue_ = false;
    ledSong_ = true;
  }
  if (ledSong_ && !renderer.Playing()) {
    ledSong_ = false; // stopped by other means until the clock starts again
  }
  const bool leads = follower_.LockedAt(lastFrame_) && follower_.running();
  leadingShown_.store(leads, std::memory_order_relaxed);
  tempoShown_.store(leads ? follower_.bpm() : 0.0, std::memory_order_relaxed);
}

bool MidiClockLeader::BeatAt(OutputFrame frame, double& beat, double& bpm) noexcept {
  if (!ledSong_ || !follower_.running() || !follower_.LockedAt(frame)) {
    return false;
  }
  beat = follower_.BeatAt(frame);
  bpm = follower_.bpm();
  return bpm > 0;
}

} // namespace lw
