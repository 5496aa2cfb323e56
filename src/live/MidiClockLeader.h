#pragma once

#include "live/MidiClockFollower.h"
#include "live/MidiReader.h"
#include "live/PeriodRenderer.h"

#include <atomic>

namespace lw {

// An incoming MIDI clock as a leader of the song's time: its Start and Continue start the
// song on the frame of the tick after them (at the position a Song Position Pointer set),
// its Stop stops it, and once its tempo is locked its beat grid places the steps. Until
// then the song keeps its own tempo.
class MidiClockLeader final : public BeatLeader {
public:
  // Whether the clock leads. Interface thread; takes effect from the next period.
  void SetEnabled(bool on) { enabled_.store(on, std::memory_order_relaxed); }
  [[nodiscard]] bool enabled() const { return enabled_.load(std::memory_order_relaxed); }

  // A clock, Start, Continue, Stop or song position message that sounds at output frame
  // `frame` (notes and everything else are not its business). Process thread.
  void Take(const MidiMessage& message, OutputFrame frame) noexcept;
  // Starts or stops the song as the messages of the period asked, before it renders the
  // period starting at `periodStart`. Process thread.
  void Period(PeriodRenderer& renderer, OutputFrame periodStart) noexcept;
  bool BeatAt(OutputFrame frame, double& beat, double& bpm) noexcept override;

  // The song playing was started by the clock. Process thread.
  [[nodiscard]] bool ledSong() const { return ledSong_; }
  // What the window shows: whether the clock leads now, and its tempo. Any thread.
  [[nodiscard]] bool leading() const { return leadingShown_.load(std::memory_order_relaxed); }
  [[nodiscard]] double leaderTempo() const { return tempoShown_.load(std::memory_order_relaxed); }
  // Clock messages taken since the client opened. Any thread.
  [[nodiscard]] uint64_t messagesTaken() const { return taken_.load(std::memory_order_relaxed); }

private:
  std::atomic<bool> enabled_{false};
  std::atomic<bool> leadingShown_{false};
  std::atomic<double> tempoShown_{0.0};
  std::atomic<uint64_t> taken_{0};

  // The process thread's own.
  MidiClockFollower follower_;
  bool awaitingTick_ = false; // a Start or Continue waits for its first tick
  bool startDue_ = false;
  OutputFrame startAt_ = 0;
  double startBeat_ = 0;
  bool stopDue_ = false;
  bool ledSong_ = false;
  OutputFrame lastFrame_ = 0;
};

} // namespace lw
