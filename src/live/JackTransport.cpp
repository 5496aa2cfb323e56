#include "live/JackTransport.h"

#include "engine/Engine.h"

#include <cmath>

namespace lw {

namespace {

constexpr double kFramesPerMinute = 60.0 * kOutputRate;

// The published position in quarter notes from bar 1, beat 1, and one tick's worth.
double PublishedBeat(const jack_position_t& p, double& tick) {
  const double quarter = p.beat_type > 0 ? 4.0 / p.beat_type : 1.0;
  const double ticks = p.ticks_per_beat > 0 ? p.ticks_per_beat : 1920.0;
  tick = quarter / ticks;
  return ((p.bar - 1) * static_cast<double>(p.beats_per_bar) + (p.beat - 1)) * quarter +
         p.tick * tick;
}

} // namespace

double JackTransport::BeatOfTransportFrame(double frame) const noexcept {
  return anchorBeat_ + (frame - anchorFrame_) * bpm_ / kFramesPerMinute;
}

bool JackTransport::BeatAt(OutputFrame frame, double& beat, double& bpm) noexcept {
  if (!leading_ || !ledSong_) {
    return false;
  }
  beat = BeatOfTransportFrame(static_cast<double>(static_cast<int64_t>(frame) + transportOffset_));
  bpm = bpm_;
  return true;
}

void JackTransport::Process(jack_client_t* client, PeriodRenderer& renderer,
                            OutputFrame periodStart, jack_nframes_t frames) noexcept {
  if (role() != TransportRole::Follow) {
    leading_ = false;
    ledSong_ = false;
    leadingShown_.store(false, std::memory_order_relaxed);
    return;
  }
  jack_position_t pos{};
  const jack_transport_state_t state = jack_transport_query(client, &pos);
  const bool starting = state == JackTransportStarting;
  const bool rolling = state == JackTransportRolling;
  const bool hasTempo = (pos.valid & JackPositionBBT) != 0 && pos.beats_per_minute > 0;

  // Where the transport is against the output: while it rolls this period's first frame
  // is at pos.frame; while it starts it rolls from pos.frame at the next period.
  const OutputFrame rollsAt = starting ? periodStart + frames : periodStart;
  transportOffset_ = static_cast<int64_t>(pos.frame) - static_cast<int64_t>(rollsAt);

  if (hasTempo) {
    double tick = 0;
    const double published = PublishedBeat(pos, tick);
    const double reckoned = leading_ ? BeatOfTransportFrame(pos.frame) : 0;
    // The grid of a master that has kept one tempo from frame 0, as most do, is that
    // tempo from frame 0: taking it so places a step exactly even where the transport was
    // located to, whose published position is whole ticks.
    const double fromZero = pos.frame * pos.beats_per_minute / kFramesPerMinute;
    const bool steadyFromZero = std::abs(fromZero - published) <= 1.5 * tick;
    if (!leading_ || pos.beats_per_minute != bpm_) {
      // A tempo change keeps the grid where it has come to.
      const bool keep = leading_ && std::abs(reckoned - published) <= 1.5 * tick;
      bpm_ = pos.beats_per_minute;
      anchorFrame_ = keep || !steadyFromZero ? pos.frame : 0;
      anchorBeat_ = keep ? reckoned : (steadyFromZero ? 0 : published);
    } else if (std::abs(reckoned - published) > 1.5 * tick) {
      anchorFrame_ = steadyFromZero ? 0 : pos.frame;
      anchorBeat_ = steadyFromZero ? 0 : published;
    }
    leading_ = true;
  } else {
    leading_ = false;
  }
  leadingShown_.store(leading_, std::memory_order_relaxed);
  tempoShown_.store(leading_ ? bpm_ : 0.0, std::memory_order_relaxed);

  const bool moving = starting || rolling;
  if (!moving) {
    heldOff_ = false;
  }
  if (ledSong_ && !renderer.Playing()) {
    // Stopped by other means (the play button): it stays stopped until the transport's
    // next start.
    ledSong_ = false;
    heldOff_ = moving;
  }
  // A locate while rolling: the frame is not where the last period left it.
  const bool jumped = rolling && ledSong_ && pos.frame != expectedFrame_;
  // While the transport waits to start, the song is started afresh every period, so
  // that it begins on the frame the transport rolls from however long the wait.
  if (moving && leading_ && !heldOff_ && (!ledSong_ || jumped || starting)) {
    const OutputFrame at = periodStart + frames; // the first frame not yet rendered
    const double beat =
        BeatOfTransportFrame(static_cast<double>(static_cast<int64_t>(at) + transportOffset_));
    if (renderer.StartLed(at, beat)) {
      ledSong_ = true; // else the lock was busy: tried again next period
    }
  } else if (!moving && ledSong_ && renderer.StopLed()) {
    ledSong_ = false;
  }
  expectedFrame_ = pos.frame + (rolling ? frames : 0);
}

void JackTransport::PublishPosition(jack_position_t& p) const noexcept {
  const double bpm = songTempo_.load(std::memory_order_relaxed);
  const double beats = static_cast<double>(p.frame) * bpm / kFramesPerMinute;
  constexpr int kBeatsPerBar = 4;
  constexpr double kTicksPerBeat = 1920.0;
  const double whole = std::floor(beats);
  p.valid = JackPositionBBT;
  p.beats_per_minute = bpm;
  p.beats_per_bar = kBeatsPerBar;
  p.beat_type = 4;
  p.ticks_per_beat = kTicksPerBeat;
  const auto beatIndex = static_cast<int64_t>(whole);
  p.bar = static_cast<int32_t>(beatIndex / kBeatsPerBar + 1);
  p.beat = static_cast<int32_t>(beatIndex % kBeatsPerBar + 1);
  p.tick = static_cast<int32_t>(std::floor((beats - whole) * kTicksPerBeat));
  p.bar_start_tick = static_cast<double>(beatIndex - beatIndex % kBeatsPerBar) * kTicksPerBeat;
}

} // namespace lw
