#include "live/MidiClockFollower.h"

#include "engine/Engine.h"

#include <algorithm>
#include <cmath>

namespace lw {
namespace {

constexpr double kRate = kOutputRate;
// Tempi from 20 to 999 BPM. A line outside them is no clock but garbage (two ticks on one
// frame, say), and is thrown away before it can give an infinite or negative tempo.
constexpr double kMinPeriod = kRate * 60 / (999.0 * MidiClockFollower::kTicksPerBeat);
constexpr double kMaxPeriod = kRate * 60 / (20.0 * MidiClockFollower::kTicksPerBeat);
// Enough ticks for the jitter measured about the line to replace the assumed one: with
// 14 degrees of freedom its estimate is good to about ±20%.
constexpr int kJitterTicks = 16;
// A tick is odd when it lies further from the line than 3.5 standard deviations of the
// line's prediction, jitter and the line's own uncertainty together: Gaussian jitter does
// that once in 2000 ticks, and it takes three odd ticks in a row to restart the line.
// Never less than a millisecond, or a clean clock, whose jitter is the rounding to
// frames, would call a wobble of two frames odd.
constexpr double kOddDeviations = 3.5;
constexpr double kMinTolerance = kRate / 1000;
// The longest silence that is still a dropout rather than a sender gone away: a beat and
// a half, and never less than half a second. A beat's dropout at 90 BPM is 0.67 s.
constexpr double kLossTicks = 36;
constexpr double kMinLoss = kRate / 2;

// a - b, for frames close enough for a double to hold the difference exactly.
double Between(uint64_t a, uint64_t b) {
  return static_cast<double>(static_cast<int64_t>(a - b));
}

} // namespace

void MidiClockFollower::Tick(uint64_t frame) noexcept {
  if (!heard_) {
    heard_ = true;
    last_ = {frame, 0, false};
    Acquire(last_);
    Counted(last_.count);
    return;
  }
  frame = std::max(frame, last_.frame);
  Point point{frame, last_.count + 1, false};
  if (frame - last_.frame > LossGap()) {
    Acquire(point);
  } else if (size_ < kLockTicks) {
    Grow(point);
  } else {
    Follow(point);
  }
  last_ = point;
  Counted(point.count);
}

// Too few ticks lie on the line for it to tell jitter from a new tempo, or to count the
// ticks a gap stands for: every tick is the next one. One whose interval is no interval
// of this tempo (a dropout, garbage) starts the line afresh instead of bending it.
void MidiClockFollower::Grow(const Point& point) noexcept {
  if (fitted_) {
    const double interval = Between(point.frame, last_.frame) / period_;
    if (interval < 0.5 || interval > 1.5) {
      Acquire(point);
      return;
    }
  }
  Append(point);
  if (!Fit()) {
    Acquire(point);
  }
}

void MidiClockFollower::Follow(Point& point) noexcept {
  // Where the line puts this tick: the next one, or one after a dropout. A dropout is
  // only counted when the tick falls well inside its place, not halfway to the next one,
  // and right after regular ticks: after odd ones, a tick a whole interval off is a tempo
  // drifting away from the line, not a lost tick.
  const double now = Between(point.frame, lineFrame_);
  const double ahead = std::clamp((now - Predict(last_.count)) / period_, 1.0, 1e6);
  const auto steps = static_cast<int64_t>(std::floor(ahead + 0.5));
  const double error = std::fabs(now - Predict(last_.count + steps));
  const bool onLine = error <= Tolerance(last_.count + steps) &&
                      (steps == 1 || (runSize_ == 0 && error < period_ / 4));
  if (onLine && steps == 1) {
    SettleRun();
    Append(point);
    if (!Fit()) {
      Acquire(point);
    }
    return;
  }
  if (onLine) {
    point.count = last_.count + steps;
    point.gap = true;
  }
  run_[static_cast<std::size_t>(runSize_++)] = point;
  if (runSize_ == kRun) {
    Restart();
    point = last_;
  }
}

void MidiClockFollower::Start() noexcept {
  running_ = true;
  anchored_ = false;
  nextSong_ = 0;
}

void MidiClockFollower::Continue() noexcept {
  if (running_) {
    return;
  }
  running_ = true;
  anchored_ = false;
}

void MidiClockFollower::Stop() noexcept {
  running_ = false;
  anchored_ = false;
}

void MidiClockFollower::SongPosition(int sixteenths) noexcept {
  nextSong_ = static_cast<int64_t>(std::max(sixteenths, 0)) * kTicksPerSixteenth;
  anchored_ = false;
}

void MidiClockFollower::Reset() noexcept {
  *this = MidiClockFollower();
}

bool MidiClockFollower::LockedAt(uint64_t frame) const noexcept {
  return locked_ && (frame <= last_.frame || frame - last_.frame <= LossGap());
}

double MidiClockFollower::bpm() const noexcept {
  return fitted_ ? kRate * 60 / (period_ * kTicksPerBeat) : 0.0;
}

double MidiClockFollower::BeatAt(uint64_t frame) const noexcept {
  if (!running_ || !anchored_) {
    return static_cast<double>(nextSong_) / kTicksPerBeat;
  }
  const auto song = static_cast<double>(anchorSong_ + last_.count - anchorCount_);
  if (!fitted_) {
    return song / kTicksPerBeat;
  }
  const double sinceLast = (Between(frame, lineFrame_) - Predict(last_.count)) / period_;
  return (song + sinceLast) / kTicksPerBeat;
}

void MidiClockFollower::Acquire(const Point& point) noexcept {
  head_ = 0;
  size_ = 0;
  runSize_ = 0;
  fitted_ = false;
  locked_ = false;
  Append(point);
}

void MidiClockFollower::Append(const Point& point) noexcept {
  if (size_ == kWindow) {
    head_ = (head_ + 1) % kWindow;
    --size_;
  }
  window_[static_cast<std::size_t>((head_ + size_) % kWindow)] = point;
  ++size_;
}

bool MidiClockFollower::Fit() noexcept {
  if (size_ < 2) {
    fitted_ = false;
    return true;
  }
  // Counts and frames from the newest point, so that the sums stay small and exact.
  const Point& newest = window_[static_cast<std::size_t>((head_ + size_ - 1) % kWindow)];
  double sumX = 0.0;
  double sumY = 0.0;
  for (int i = 0; i < size_; ++i) {
    const Point& point = window_[static_cast<std::size_t>((head_ + i) % kWindow)];
    x_[static_cast<std::size_t>(i)] = static_cast<double>(point.count - newest.count);
    y_[static_cast<std::size_t>(i)] = Between(point.frame, newest.frame);
    sumX += x_[static_cast<std::size_t>(i)];
    sumY += y_[static_cast<std::size_t>(i)];
  }
  const double meanX = sumX / size_;
  const double meanY = sumY / size_;
  double sxx = 0.0;
  double sxy = 0.0;
  for (int i = 0; i < size_; ++i) {
    const double dx = x_[static_cast<std::size_t>(i)] - meanX;
    sxx += dx * dx;
    sxy += dx * (y_[static_cast<std::size_t>(i)] - meanY);
  }
  BandFit::Line line{sxy / sxx, 0.0};
  line.intercept = meanY - line.slope * meanX;
  if (!(line.slope >= kMinPeriod && line.slope <= kMaxPeriod)) {
    return false;
  }
  if (size_ >= kJitterTicks) {
    double squares = 0.0;
    for (int i = 0; i < size_; ++i) {
      const double residual = y_[static_cast<std::size_t>(i)] -
                              (line.intercept + line.slope * x_[static_cast<std::size_t>(i)]);
      squares += residual * residual;
    }
    jitter_ = std::sqrt(squares / (size_ - 2));
    // Arrivals that fill a band with hard edges are better fitted by the band's centre.
    if (band_.Fit(x_.data(), y_.data(), size_, line) &&
        band_.halfWidth() < BandFit::kBoundedRatio * jitter_ && band_.line().slope >= kMinPeriod &&
        band_.line().slope <= kMaxPeriod) {
      line = band_.line();
    }
  }
  fitted_ = true;
  lineFrame_ = newest.frame;
  lineCount_ = newest.count;
  period_ = line.slope;
  lineTime_ = line.intercept;
  meanCount_ = meanX;
  spread_ = sxx;
  if (size_ >= kLockTicks) {
    locked_ = true;
  }
  return true;
}

// A regular tick has come after odd ones: those that lay on the line after a gap were
// ticks after a dropout and join the line; those off it were jitter and are forgotten.
void MidiClockFollower::SettleRun() noexcept {
  for (int i = 0; i < runSize_; ++i) {
    if (run_[static_cast<std::size_t>(i)].gap) {
      Append(run_[static_cast<std::size_t>(i)]);
    }
  }
  runSize_ = 0;
}

// kRun odd ticks in a row: the tempo has changed, and the old line says nothing about
// the new one. The new line starts at the last tick on the old one, which a change
// between two ticks leaves on both, and takes the odd ones as the consecutive ticks they
// are (a stream of "dropouts" all the same length is a slower tempo).
void MidiClockFollower::Restart() noexcept {
  const Point joint = window_[static_cast<std::size_t>((head_ + size_ - 1) % kWindow)];
  head_ = 0;
  size_ = 0;
  Append(joint);
  for (int i = 0; i < runSize_; ++i) {
    Point& point = run_[static_cast<std::size_t>(i)];
    const int64_t count = joint.count + 1 + i;
    if (anchored_ && anchorCount_ == point.count) {
      anchorCount_ = count;
    }
    point.count = count;
    point.gap = false;
    Append(point);
  }
  last_ = run_[static_cast<std::size_t>(runSize_ - 1)];
  runSize_ = 0;
  if (!Fit()) {
    Acquire(last_);
  }
}

void MidiClockFollower::Counted(int64_t count) noexcept {
  if (!running_) {
    return;
  }
  if (!anchored_) {
    anchored_ = true;
    anchorCount_ = count;
    anchorSong_ = nextSong_;
  }
  nextSong_ = anchorSong_ + (count - anchorCount_) + 1;
}

double MidiClockFollower::Predict(int64_t count) const noexcept {
  return lineTime_ + static_cast<double>(count - lineCount_) * period_;
}

double MidiClockFollower::Tolerance(int64_t count) const noexcept {
  // The variance of a least-squares line's prediction at x, in units of the jitter's:
  // 1 (the new tick's own) + 1/n + (x - mean)^2 / sum of squared deviations.
  const double x = static_cast<double>(count - lineCount_) - meanCount_;
  const double spread = 1.0 + 1.0 / size_ + x * x / spread_;
  return std::max(kMinTolerance, kOddDeviations * jitter_ * std::sqrt(spread));
}

uint64_t MidiClockFollower::LossGap() const noexcept {
  const double gap = fitted_ ? std::max(kMinLoss, kLossTicks * period_) : kMinLoss;
  return static_cast<uint64_t>(gap);
}

} // namespace lw
