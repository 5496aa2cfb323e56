#pragma once

#include "live/PeriodRenderer.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace lw {

// Ableton Link: tempo, beat phase and start and stop shared with the Link peers on the
// local network. While it is on, the session's timeline leads the song's time: a pattern
// is one quantum (4 beats), so the song's patterns begin on the session's bars; the song
// starts and stops with the session (start/stop sync) and its play button starts and
// stops the session; its tempo box sets the session's tempo. Off by default.
//
// Link's audio-side calls (capturing the session's state) take no lock and allocate
// nothing: Period runs on the process thread. Its network side runs on threads of its own.
class LinkSession final : public BeatLeader {
public:
  static constexpr double kQuantum = 4.0;

  LinkSession();
  ~LinkSession() override;
  LinkSession(const LinkSession&) = delete;
  LinkSession& operator=(const LinkSession&) = delete;

  // Joins or leaves the session; `songTempo` is the song's tempo now. Interface thread.
  void SetEnabled(bool on, double songTempo);
  [[nodiscard]] bool enabled() const { return enabled_.load(std::memory_order_relaxed); }
  // The song's tempo, given to the session when it changes. Interface thread.
  void SetTempo(double bpm);
  // Starts or stops the session (and with it the song, here and at every peer).
  // Interface thread.
  void StartOrStop();
  [[nodiscard]] std::size_t peers() const;

  // Reads the session for the period starting at output frame `periodStart`, whose
  // frames reach the listener `latency` frames after they leave; starts or stops the song
  // as the session does. Process thread, before the renderer's Process.
  void Period(PeriodRenderer& renderer, OutputFrame periodStart, uint32_t frames,
              uint32_t latency) noexcept;
  bool BeatAt(OutputFrame frame, double& beat, double& bpm) noexcept override;

  // The session's beat and tempo at host time `micros` (Link's clock), for tests.
  [[nodiscard]] double SessionBeatAt(int64_t micros) const;
  [[nodiscard]] int64_t HostMicros() const;

  // What the window shows. Any thread.
  [[nodiscard]] bool leading() const { return leadingShown_.load(std::memory_order_relaxed); }
  [[nodiscard]] double leaderTempo() const { return tempoShown_.load(std::memory_order_relaxed); }

  // The song's beat at output frame `frame` against the session's at the same moment:
  // the song's beat minus the session's. Process thread (tests read it once it settled).
  [[nodiscard]] double songOffset() const { return offset_; }
  // The song playing was started by the session. Process thread.
  [[nodiscard]] bool ledSong() const { return ledSong_; }
  // Moves the session's tempo by `delta` (the tempo buttons while Link leads). Interface
  // thread.
  void NudgeTempo(double delta);

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::atomic<bool> enabled_{false};
  std::atomic<bool> leadingShown_{false};
  std::atomic<double> tempoShown_{0.0};

  // The process thread's own.
  bool ledSong_ = false;
  bool heldOff_ = false;
  double bpm_ = 0;
  double beatAtStart_ = 0; // the session's beat at the period's first frame
  OutputFrame periodStart_ = 0;
  double offset_ = 0;
  double lastTempo_ = 0; // the interface's
};

} // namespace lw
