#include "live/PeriodRenderer.h"

#include "audio_out/Playback.h"

#include "song/SongPosition.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace lw {

namespace {

// The mix is 16-bit; each channel's stem reaches it at twice that scale (the mix is their
// sum halved), so both become floats of the same loudness. Both divisions are exact.
constexpr float kMixScale = 32768.0F;
constexpr float kStemScale = 2 * kMixScale;

} // namespace

PeriodRenderer::PeriodRenderer(Engine& engine)
    : engine_(engine), mix_(std::make_unique<int16_t[]>(kMaxPeriod)) {
  for (auto& port : held_.ports) {
    port = std::make_unique<float[]>(kHeld);
  }
  for (auto& stem : stems_) {
    stem = std::make_unique<int32_t[]>(kMaxPeriod);
  }
}

bool PeriodRenderer::PlayBtnClick() {
  const EngineHold hold(engine_.engineLock);
  const bool nowPlaying = StartOrStopEngine(engine_);
  if (nowPlaying) {
    NewSession();
  } else {
    session_.store(0, std::memory_order_relaxed);
  }
  return nowPlaying;
}

void PeriodRenderer::TakeOver() {
  const EngineHold hold(engine_.engineLock);
  if (engine_.playing) {
    NewSession();
  }
}

void PeriodRenderer::Stop() {
  const EngineHold hold(engine_.engineLock);
  engine_.playing = false;
  session_.store(0, std::memory_order_relaxed);
}

void PeriodRenderer::Release() {
  const EngineHold hold(engine_.engineLock);
  session_.store(0, std::memory_order_relaxed);
}

bool PeriodRenderer::StartLed(OutputFrame at, double beat) noexcept {
  if (!engine_.engineLock.try_lock()) {
    return false;
  }
  SongState& s = engine_.state;
  if (!engine_.songMode) {
    s.playPattern = s.nextPattern = s.editPattern;
    s.playBank = s.nextBank = s.editBank;
  } else {
    const SequenceEntry first = s.sequence.slots[0];
    const SongBar start = first.playable() ? SongBar{0, first.bank, first.pattern}
                                           : SongBar{0, s.playBank, s.playPattern};
    const SongBar bar = SongAtBar(s, start, static_cast<int64_t>(std::floor(beat / 4)));
    s.songPosition.store(bar.slot, std::memory_order_relaxed);
    s.playBank = s.nextBank = bar.bank;
    s.playPattern = s.nextPattern = bar.pattern;
    engine_.songPositionMoves.fetch_add(1, std::memory_order_release);
  }
  engine_.playing = false;
  engine_.StartAtBeat(beat);
  engine_.delay.ClearDelayLine();
  engine_.playing = true;
  NewSession();
  ledStart_ = at;
  ledSession_ = lastSession_;
  engine_.engineLock.unlock();
  return true;
}

bool PeriodRenderer::StopLed() noexcept {
  if (!engine_.engineLock.try_lock()) {
    return false;
  }
  engine_.playing = false;
  engine_.delay.ClearDelayLine();
  session_.store(0, std::memory_order_relaxed);
  engine_.engineLock.unlock();
  return true;
}

void PeriodRenderer::NewSession() {
  if (++lastSession_ == 0) {
    ++lastSession_;
  }
  session_.store(lastSession_, std::memory_order_relaxed);
}

PeriodRenderer::Counters PeriodRenderer::counters() const {
  return {periods_.load(std::memory_order_relaxed), lockBusy_.load(std::memory_order_relaxed),
          lateFrames_.load(std::memory_order_relaxed),
          oversizePeriods_.load(std::memory_order_relaxed)};
}

void PeriodRenderer::Process(const PortBuffers& ports, uint32_t frames,
                             OutputFrame periodStart) noexcept {
  periods_.fetch_add(1, std::memory_order_relaxed);
  if (frames > kMaxPeriod) {
    oversizePeriods_.fetch_add(1, std::memory_order_relaxed);
    held_.count = 0;
    for (float* port : ports) {
      if (port != nullptr) {
        std::fill_n(port, frames, 0.0F);
      }
    }
    return;
  }
  uint32_t session = 0;
  if (engine_.engineLock.try_lock()) {
    // The interface changes the session with the lock held only, so it stands still now.
    session = session_.load(std::memory_order_relaxed);
    if (session != 0 && !engine_.playing) {
      // Stopped by other means (a new song): the session ends here, so that a render to
      // a file, which sets `playing` again later, is never played and so robbed of samples.
      session_.store(0, std::memory_order_relaxed);
      session = 0;
    }
    if (session != held_.session) {
      DropHeld(session);
      if (session == ledSession_ && ledStart_ != kNoFrame) {
        PadTo(ledStart_, periodStart);
      }
    }
    stepLength_ = engine_.clock.stepLength;
    if (session != 0) {
      RenderAhead(2 * frames, periodStart, false);
    } else if (events_ != nullptr && !engine_.playing) {
      RenderAhead(2 * frames, periodStart, true);
    } else if (events_ != nullptr) {
      // An offline render has the engine: what is played meanwhile is only taken.
      (void)events_->ApplyDue(engine_, periodStart + 2 * frames, false);
      held_.count = 0;
    }
    engine_.engineLock.unlock();
  } else {
    lockBusy_.fetch_add(1, std::memory_order_relaxed);
    session = session_.load(std::memory_order_relaxed);
    if (session != held_.session) {
      DropHeld(session);
    }
  }
  if (session != 0 && held_.count > 0 && !held_.started) {
    held_.started = true;
    sessionStart_.store(periodStart, std::memory_order_release);
  }
  if (session != 0 && held_.count < frames) {
    lateFrames_.fetch_add(frames - held_.count, std::memory_order_relaxed);
  }
  // The frames held are the engine's last ones, in order.
  playedSample_.store(session != 0 && held_.count > 0
                          ? engine_.renderedSamples.load(std::memory_order_relaxed) - held_.count
                          : kNoFrame,
                      std::memory_order_relaxed);
  PlayHeld(ports, frames);
}

// A session a leader started begins where it said: the frames before are silence.
void PeriodRenderer::PadTo(OutputFrame start, OutputFrame periodStart) noexcept {
  const OutputFrame gap =
      start > periodStart ? std::min<OutputFrame>(start - periodStart, kMaxPeriod) : 0;
  for (auto& port : held_.ports) {
    std::fill_n(port.get(), gap, 0.0F);
  }
  held_.count = static_cast<uint32_t>(gap);
  held_.started = true;
  sessionStart_.store(periodStart + gap, std::memory_order_release);
  ledStart_ = kNoFrame;
}

void PeriodRenderer::DropHeld(uint32_t session) noexcept {
  held_.count = 0;
  held_.session = session;
  held_.started = false;
  sessionStart_.store(kNoFrame, std::memory_order_release);
}

void PeriodRenderer::RenderAhead(uint32_t target, OutputFrame periodStart, bool stopped) noexcept {
  while (held_.count < target) {
    uint32_t count = target - held_.count;
    const OutputFrame at = periodStart + held_.count;
    if (events_ != nullptr) {
      const OutputFrame next = events_->ApplyDue(engine_, at, true);
      if (next != FrameEvents::kNone && next > at && next - at < count) {
        count = static_cast<uint32_t>(next - at);
      }
    }
    double beat = 0;
    double bpm = 0;
    if (!stopped && leader_ != nullptr && leader_->BeatAt(at, beat, bpm)) {
      // The step after this one begins where the leader's grid puts it; right after it
      // the countdown is set again for the one after.
      const int64_t before = engine_.FollowBeat(beat, bpm);
      count = static_cast<uint32_t>(std::min<int64_t>(count, before + 1));
    }
    RenderStretch(count, stopped);
  }
}

void PeriodRenderer::RenderStretch(uint32_t count, bool stopped) noexcept {
  Engine::StemOutputs stems{};
  for (std::size_t s = 0; s < stems.size(); ++s) {
    stems[s] = stems_[s].get();
  }
  while (count > 0) {
    const uint32_t n = std::min(count, kMaxPeriod);
    if (stopped) {
      engine_.RenderLiveVoices(mix_.get(), stems, n, events_->liveVoices());
    } else {
      engine_.RenderBlockWithStems(mix_.get(), stems, n);
    }
    float* mix = held_.ports[0].get() + held_.count;
    for (uint32_t i = 0; i < n; ++i) {
      mix[i] = static_cast<float>(mix_[i]) / kMixScale;
    }
    for (int c = 0; c < kChannels; ++c) {
      float* out = held_.ports[1 + static_cast<std::size_t>(c)].get() + held_.count;
      const int32_t* stem = stems_[static_cast<std::size_t>(c)].get();
      for (uint32_t i = 0; i < n; ++i) {
        out[i] = static_cast<float>(stem[i]) / kStemScale;
      }
    }
    held_.count += n;
    count -= n;
  }
}

void PeriodRenderer::PlayHeld(const PortBuffers& ports, uint32_t frames) noexcept {
  const uint32_t played = std::min(frames, held_.count);
  for (std::size_t p = 0; p < ports.size(); ++p) {
    float* held = held_.ports[p].get();
    if (ports[p] != nullptr) {
      std::copy_n(held, played, ports[p]);
      std::fill_n(ports[p] + played, frames - played, 0.0F);
    }
    std::memmove(held, held + played, (held_.count - played) * sizeof(float));
  }
  held_.count -= played;
}

} // namespace lw
