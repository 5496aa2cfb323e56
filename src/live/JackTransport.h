#pragma once

#include "live/PeriodRenderer.h"

#include <jack/transport.h>
#include <jack/types.h>

#include <atomic>
#include <cstdint>

namespace lw {

// How LoopWren meets JACK's transport: not at all, following it (its start, stop,
// position and tempo place the song), or as its timebase master (publishing the song's
// tempo and the bar, beat and tick of every frame).
enum class TransportRole { Off, Follow, Master };

// The JACK transport as a leader of the song's time. Every period, on the process thread,
// Process reads where the transport is; while it follows, the transport's start and
// stop start and stop the song, a move (a locate) starts it again where the transport
// went, and BeatAt hands the renderer the transport's beat grid.
//
// The grid is reckoned from frames, not from the bar, beat and tick the master publishes
// (ticks are whole numbers, a coarse grid): beat = anchor beat + frames since the anchor
// at the master's tempo. The anchor is taken again only when the published position
// leaves that reckoning by more than a tick (a locate the transport made) or the tempo
// changes, so a master whose position is a function of the frame, as every master's is
// between changes, places each step on the exact frame its grid implies.
class JackTransport final : public BeatLeader {
public:
  // Interface thread; takes effect from the next period.
  void SetRole(TransportRole role) { role_.store(role, std::memory_order_relaxed); }
  [[nodiscard]] TransportRole role() const { return role_.load(std::memory_order_relaxed); }

  // Follows the transport for the period starting at output frame `periodStart`.
  // Process thread, before the renderer's Process.
  void Process(jack_client_t* client, PeriodRenderer& renderer, OutputFrame periodStart,
               jack_nframes_t frames) noexcept;
  bool BeatAt(OutputFrame frame, double& beat, double& bpm) noexcept override;

  // The master's part: fills `position` for its frame from the song's tempo. JACK's
  // timebase callback, on the process thread.
  void PublishPosition(jack_position_t& position) const noexcept;
  // The song's tempo as the master publishes it. Interface thread.
  void SetSongTempo(double bpm) { songTempo_.store(bpm, std::memory_order_relaxed); }

  // The song playing was started by the transport, which leads it. Process thread.
  [[nodiscard]] bool ledSong() const { return ledSong_; }

  // What the window shows: whether the transport leads now and its tempo. Any thread.
  [[nodiscard]] bool leading() const { return leadingShown_.load(std::memory_order_relaxed); }
  [[nodiscard]] double leaderTempo() const { return tempoShown_.load(std::memory_order_relaxed); }

private:
  // The transport's beat at its own frame `frame`.
  [[nodiscard]] double BeatOfTransportFrame(double frame) const noexcept;

  std::atomic<TransportRole> role_{TransportRole::Off};
  std::atomic<double> songTempo_{120.0};
  std::atomic<bool> leadingShown_{false};
  std::atomic<double> tempoShown_{0.0};

  // The process thread's own.
  bool leading_ = false;   // the grid below is valid
  bool ledSong_ = false;   // the song playing was started by the transport
  bool heldOff_ = false;   // stopped by the play button while the transport rolls
  double anchorFrame_ = 0; // a transport frame, and its beat
  double anchorBeat_ = 0;
  double bpm_ = 0;
  int64_t transportOffset_ = 0; // transport frame minus output frame
  jack_nframes_t expectedFrame_ = 0;
};

} // namespace lw
