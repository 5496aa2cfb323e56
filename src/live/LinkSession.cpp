#include "live/LinkSession.h"

#include "engine/Engine.h"

#include <ableton/Link.hpp>

#include <chrono>
#include <cmath>

namespace lw {

namespace {

constexpr double kMicrosPerFrame = 1e6 / kOutputRate;

std::chrono::microseconds Micros(double micros) {
  return std::chrono::microseconds(static_cast<int64_t>(std::llround(micros)));
}

} // namespace

struct LinkSession::Impl {
  ableton::Link link{120.0};
};

LinkSession::LinkSession() : impl_(std::make_unique<Impl>()) {
  impl_->link.enableStartStopSync(true);
}

LinkSession::~LinkSession() {
  impl_->link.enable(false);
}

void LinkSession::SetEnabled(bool on, double songTempo) {
  lastTempo_ = songTempo; // joining takes the session's tempo; later changes give ours
  impl_->link.enable(on);
  enabled_.store(on, std::memory_order_relaxed);
}

void LinkSession::SetTempo(double bpm) {
  if (!enabled() || bpm == lastTempo_) {
    return;
  }
  lastTempo_ = bpm;
  auto state = impl_->link.captureAppSessionState();
  state.setTempo(bpm, impl_->link.clock().micros());
  impl_->link.commitAppSessionState(state);
}

void LinkSession::NudgeTempo(double delta) {
  auto state = impl_->link.captureAppSessionState();
  state.setTempo(state.tempo() + delta, impl_->link.clock().micros());
  impl_->link.commitAppSessionState(state);
}

void LinkSession::StartOrStop() {
  auto state = impl_->link.captureAppSessionState();
  state.setIsPlaying(!state.isPlaying(), impl_->link.clock().micros());
  impl_->link.commitAppSessionState(state);
}

std::size_t LinkSession::peers() const {
  return impl_->link.numPeers();
}

int64_t LinkSession::HostMicros() const {
  return impl_->link.clock().micros().count();
}

double LinkSession::SessionBeatAt(int64_t micros) const {
  return impl_->link.captureAppSessionState().beatAtTime(std::chrono::microseconds(micros),
                                                         kQuantum);
}

void LinkSession::Period(PeriodRenderer& renderer, OutputFrame periodStart, uint32_t frames,
                         uint32_t latency) noexcept {
  if (!enabled()) {
    ledSong_ = false;
    leadingShown_.store(false, std::memory_order_relaxed);
    return;
  }
  ableton::Link& link = impl_->link;
  const auto now = static_cast<double>(link.clock().micros().count());
  const auto state = link.captureAudioSessionState();
  // The moment the listener hears output frame f.
  const auto heardAt = [&](OutputFrame f) {
    return now + (static_cast<double>(f - periodStart) + latency) * kMicrosPerFrame;
  };
  bpm_ = state.tempo();
  periodStart_ = periodStart;
  beatAtStart_ = state.beatAtTime(Micros(heardAt(periodStart)), kQuantum);
  leadingShown_.store(true, std::memory_order_relaxed);
  tempoShown_.store(bpm_, std::memory_order_relaxed);

  const bool playing = state.isPlaying();
  if (!playing) {
    heldOff_ = false;
  }
  if (ledSong_ && !renderer.Playing()) {
    ledSong_ = false; // stopped by other means until the session starts again
    heldOff_ = playing;
  }
  if (playing && !ledSong_ && !heldOff_) {
    // The song starts at the first frame not yet rendered, or later when the session
    // starts later: in the step of its pattern that the session's bar puts there.
    OutputFrame at = periodStart + frames;
    const double startsAt = static_cast<double>(state.timeForIsPlaying().count());
    if (startsAt > heardAt(at)) {
      at += static_cast<OutputFrame>(std::ceil((startsAt - heardAt(at)) / kMicrosPerFrame));
    }
    if (at < periodStart + 2 * frames) {
      const double sessionBeat = state.beatAtTime(Micros(heardAt(at)), kQuantum);
      double phase = std::fmod(sessionBeat, kQuantum);
      if (phase < 0) {
        phase += kQuantum;
      }
      if (renderer.StartLed(at, phase)) {
        ledSong_ = true;
        offset_ = phase - sessionBeat;
      }
    }
  } else if (!playing && ledSong_ && renderer.StopLed()) {
    ledSong_ = false;
  }
}

bool LinkSession::BeatAt(OutputFrame frame, double& beat, double& bpm) noexcept {
  if (!ledSong_ || !enabled()) {
    return false;
  }
  const double frames = static_cast<double>(static_cast<int64_t>(frame - periodStart_));
  beat = offset_ + beatAtStart_ + frames * bpm_ / (60.0 * kOutputRate);
  bpm = bpm_;
  return true;
}

} // namespace lw
