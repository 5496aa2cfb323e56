#pragma once

#include "live/BandFit.h"

#include <array>
#include <cstdint>

namespace lw {

// Tempo and position from the MIDI clock another instrument sends: 24 ticks a quarter
// note, with Start, Continue, Stop and Song Position Pointer. Each tick comes stamped with
// the output frame it arrived at, give or take the jitter of the way it came (a
// millisecond or so over USB).
//
// The tempo is a least-squares line through the arrival frames of the last ticks, frame
// against tick count: unlike a mean of the last intervals, which keeps the jitter of its
// two end ticks whole, a line through N ticks shrinks the error of its slope as N^-1.5,
// and a missing tick is simply a gap in the count. Where the ticks' jitter has hard edges
// (USB's millisecond frames), the centre of the band they fill replaces that line, its
// error shrinking as N^-2 (BandFit). The line grows from the first tick (for a steady
// tempo no filter locks faster) to kWindow ticks, and until kLockTicks lie on it every
// tick is taken as the next one.
//
// From then on a tick the line does not expect is held apart instead of bending it: one
// further from the line than the jitter explains, or one after a gap of whole ticks. When
// the next tick is regular again, the odd one was jitter (dropped) or came after a
// dropout (kept, counted as the ticks it stands for). kRun odd ticks in a row mean the
// sender's tempo has changed: the line starts afresh from the last tick before them,
// taking them as consecutive ticks.
//
// Fixed-size state, no allocation, no lock, no system call. Every function belongs to the
// one thread that reads the MIDI clock, the "MIDI thread" below (in LoopWren, the audio
// thread, which gets the MIDI with each period).
class MidiClockFollower {
public:
  static constexpr int kTicksPerBeat = 24;
  static constexpr int kTicksPerSixteenth = 6;

  // A tick arrived at output frame `frame`. Frames must not go backwards; one that does
  // counts as arriving with the tick before it. MIDI thread.
  void Tick(uint64_t frame) noexcept;
  // Start: the song plays from its beginning, the next tick being beat 0. MIDI thread.
  void Start() noexcept;
  // Continue: the song plays on from the position it stopped at or a Song Position
  // Pointer set, the next tick being that position. Ignored while the song plays. MIDI
  // thread.
  void Continue() noexcept;
  // Stop: the song stands at the position of the next tick, where a Continue resumes.
  // MIDI thread.
  void Stop() noexcept;
  // Song Position Pointer, in sixteenth notes: the next tick is that position. MIDI
  // thread.
  void SongPosition(int sixteenths) noexcept;
  // Forgets everything: no tempo, stopped at the song's start. MIDI thread.
  void Reset() noexcept;

  // The tempo is known well enough to play along (kLockTicks ticks on one line, and no
  // silence since), as of the last tick. MIDI thread.
  [[nodiscard]] bool locked() const noexcept { return locked_; }
  // The same, and no tick has been missing for longer than the sender can pause at this
  // tempo (36 ticks, at least half a second) by `frame`. MIDI thread.
  [[nodiscard]] bool LockedAt(uint64_t frame) const noexcept;
  // Between a Start or Continue and a Stop. MIDI thread.
  [[nodiscard]] bool running() const noexcept { return running_; }
  // The tempo in quarter notes a minute, always finite and positive; 0 until two ticks
  // have come. MIDI thread.
  [[nodiscard]] double bpm() const noexcept;
  // The song position at output frame `frame`, in quarter notes from the song's start,
  // as the line through the ticks places it (extrapolated between and after ticks). It
  // stands still while stopped and before the first tick after a Start or Continue. MIDI
  // thread.
  [[nodiscard]] double BeatAt(uint64_t frame) const noexcept;

private:
  // The most ticks the line goes through: 8 beats. Through 192 ticks jittered by ±1 ms
  // (uniform) the slope has a standard error of 0.033 frames, 0.004 BPM at 120 BPM and
  // 0.009 at 174 (the error in BPM grows as the tempo squared), which keeps a steady clock
  // within ±0.05 BPM even at 174. A longer line would be steadier still but bend later to
  // a tempo that glides; the odd-tick restart below catches only changes that show. The
  // window is fitted afresh at each tick, the band's hull and polygon included: about 3 µs
  // on a 2-core laptop, 36 to 70 times a second at 90 to 174 BPM.
  static constexpr int kWindow = BandFit::kCapacity;
  // Ticks on one line before the tempo counts as locked, and before odd ticks are told
  // apart: a beat. Fewer leave the line too unsure to tell a tick's jitter (±1 ms) from
  // a change or to count a dropout; at a beat, ±1 ms leaves ±0.1 BPM at 120.
  static constexpr int kLockTicks = 24;
  // Odd ticks in a row that mean a new tempo rather than jitter or a lost tick. Two would
  // restart the line on two unlucky ticks; after a jump to 140 BPM from 120 the third
  // odd tick comes 3 or 4 ticks after the jump, which leaves the new line about 20 ticks
  // a beat after it.
  static constexpr int kRun = 3;
  // The jitter assumed, in frames, until enough ticks have come to measure it: a
  // millisecond, what USB MIDI gives.
  static constexpr double kAssumedJitter = 44.1;

  struct Point {
    uint64_t frame = 0;
    int64_t count = 0; // ticks since the follower first heard one, missing ones included
    bool gap = false;  // held apart for the gap before it, not for lying off the line
  };

  void Acquire(const Point& point) noexcept;
  void Grow(const Point& point) noexcept;
  void Follow(Point& point) noexcept;
  void Append(const Point& point) noexcept;
  // Fits the line to the window; false when its slope is no tempo.
  bool Fit() noexcept;
  void SettleRun() noexcept;
  void Restart() noexcept;
  void Counted(int64_t count) noexcept;
  [[nodiscard]] double Predict(int64_t count) const noexcept;
  [[nodiscard]] double Tolerance(int64_t count) const noexcept;
  [[nodiscard]] uint64_t LossGap() const noexcept;

  // The window, oldest first from head_.
  std::array<Point, kWindow> window_{};
  int head_ = 0;
  int size_ = 0;
  // Odd ticks held apart.
  std::array<Point, kRun> run_{};
  int runSize_ = 0;
  Point last_{}; // the last tick heard, held apart or not
  bool heard_ = false;

  // The window's points as the line fits them, and the band fit's scratch.
  std::array<double, kWindow> x_{};
  std::array<double, kWindow> y_{};
  BandFit band_;

  // The line: the frame of tick `count` is lineFrame_ + lineTime_ + (count - lineCount_)
  // * period_, lineFrame_ being the window's newest frame.
  bool fitted_ = false;
  uint64_t lineFrame_ = 0;
  int64_t lineCount_ = 0;
  double lineTime_ = 0.0;
  double period_ = 0.0;            // frames a tick
  double meanCount_ = 0.0;         // the window's mean count, less lineCount_
  double spread_ = 0.0;            // the sum of squared count deviations
  double jitter_ = kAssumedJitter; // the arrivals' standard deviation about the line
  bool locked_ = false;

  // The song: the tick counted anchorCount_ is song tick anchorSong_.
  bool running_ = false;
  bool anchored_ = false; // a tick has come since the last Start, Continue or position
  int64_t anchorCount_ = 0;
  int64_t anchorSong_ = 0;
  int64_t nextSong_ = 0; // the song tick of the next tick
};

} // namespace lw
