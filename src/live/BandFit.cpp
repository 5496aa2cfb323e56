#include "live/BandFit.h"

#include <algorithm>
#include <cmath>

namespace lw {
namespace {

// The turn from a through b to c (points by index into x, y): positive counter-clockwise,
// where b lies below the line from a to c, negative where it lies above.
double Turn(const double* x, const double* y, int a, int b, int c) {
  return (x[b] - x[a]) * (y[c] - y[a]) - (y[b] - y[a]) * (x[c] - x[a]);
}

} // namespace

void BandFit::Chebyshev(const double* x, const double* y, int n) noexcept {
  // The hull's two chains, built left to right: a point below (on the upper) or above
  // (on the lower) the line from its neighbours is no corner.
  int uppers = 0;
  int lowers = 0;
  for (int i = 0; i < n; ++i) {
    while (uppers >= 2 && Turn(x, y, upper_[uppers - 2], upper_[uppers - 1], i) >= 0.0) {
      --uppers;
    }
    upper_[static_cast<std::size_t>(uppers++)] = i;
    while (lowers >= 2 && Turn(x, y, lower_[lowers - 2], lower_[lowers - 1], i) <= 0.0) {
      --lowers;
    }
    lower_[static_cast<std::size_t>(lowers++)] = i;
  }
  uppers_ = uppers;
  lowers_ = lowers;
  // The band's width at slope s is max(y - s x) over the upper chain less min(y - s x)
  // over the lower: convex in s and linear between the chains' edge slopes, so its
  // narrowest is at one of them.
  const auto width = [&](double s, double& middle) {
    double top = -INFINITY;
    double bottom = INFINITY;
    for (int i = 0; i < uppers; ++i) {
      const int k = upper_[static_cast<std::size_t>(i)];
      top = std::max(top, y[k] - s * x[k]);
    }
    for (int i = 0; i < lowers; ++i) {
      const int k = lower_[static_cast<std::size_t>(i)];
      bottom = std::min(bottom, y[k] - s * x[k]);
    }
    middle = (top + bottom) / 2;
    return top - bottom;
  };
  double best = INFINITY;
  const auto consider = [&](const std::array<int, kCapacity>& chain, int size) {
    for (int i = 1; i < size; ++i) {
      const int a = chain[static_cast<std::size_t>(i - 1)];
      const int b = chain[static_cast<std::size_t>(i)];
      const double s = (y[b] - y[a]) / (x[b] - x[a]);
      double middle = 0.0;
      const double w = width(s, middle);
      if (w < best) {
        best = w;
        line_ = {s, middle};
      }
    }
  };
  consider(upper_, uppers);
  consider(lower_, lowers);
  halfWidth_ = best / 2;
}

bool BandFit::Fit(const double* x, const double* y, int n, const Line& guess) noexcept {
  n = std::min(n, kCapacity);
  if (n < 3) {
    return false;
  }
  line_ = guess;
  Chebyshev(x, y, n);
  if (!(halfWidth_ > 0.0) || !std::isfinite(halfWidth_)) {
    return false;
  }
  const double a = halfWidth_ * (1.0 + 2.0 / n);
  // The polygon lives in offsets (ds, db) from the Chebyshev line, its intercept taken at
  // the points' middle x so that slope and intercept are nearly independent: a line is
  // y = c.intercept + c.slope x + db + ds (x - middle).
  const Line c = line_;
  const double middle = (x[0] + x[n - 1]) / 2;
  const double span = x[n - 1] - x[0];
  // A line inside the band is within a + halfWidth < 2a of the Chebyshev line at both
  // ends, which bounds its offsets; the box is twice that.
  const double maxDs = 8 * a / span;
  const double maxDb = 4 * a;
  polygon_[0] = {-maxDs, -maxDb};
  polygon_[1] = {maxDs, -maxDb};
  polygon_[2] = {maxDs, maxDb};
  polygon_[3] = {-maxDs, maxDb};
  vertices_ = 4;
  const auto residual = [&](int k) { return y[k] - c.intercept - c.slope * x[k]; };
  // Below every point plus a: only the lower chain's points can bind, and above every
  // point less a: only the upper chain's.
  for (int i = 0; i < lowers_ && vertices_ >= 3; ++i) {
    const int k = lower_[static_cast<std::size_t>(i)];
    Clip(x[k] - middle, 1.0, residual(k) + a);
  }
  for (int i = 0; i < uppers_ && vertices_ >= 3; ++i) {
    const int k = upper_[static_cast<std::size_t>(i)];
    Clip(-(x[k] - middle), -1.0, a - residual(k));
  }
  double area = 0.0;
  double ds = 0.0;
  double db = 0.0;
  const Vertex& o = polygon_[0];
  for (std::size_t i = 1; i + 1 < static_cast<std::size_t>(vertices_); ++i) {
    // The fan of triangles from vertex 0.
    const Vertex& p = polygon_[i];
    const Vertex& q = polygon_[i + 1];
    const double twice = (p.s - o.s) * (q.b - o.b) - (q.s - o.s) * (p.b - o.b);
    area += twice;
    ds += twice * (o.s + p.s + q.s);
    db += twice * (o.b + p.b + q.b);
  }
  if (area > 0.0) {
    ds /= 3 * area;
    db /= 3 * area;
  } else {
    ds = 0.0;
    db = 0.0;
  }
  line_.slope = c.slope + ds;
  line_.intercept = c.intercept + db - ds * middle;
  return std::isfinite(line_.slope) && std::isfinite(line_.intercept);
}

void BandFit::Clip(double a, double sign, double c) noexcept {
  int out = 0;
  for (int i = 0; i < vertices_; ++i) {
    const Vertex& p = polygon_[static_cast<std::size_t>(i)];
    const Vertex& q = polygon_[static_cast<std::size_t>((i + 1) % vertices_)];
    const double fp = a * p.s + sign * p.b - c;
    const double fq = a * q.s + sign * q.b - c;
    if (fp <= 0.0) {
      clipped_[static_cast<std::size_t>(out++)] = p;
    }
    if ((fp < 0.0 && fq > 0.0) || (fp > 0.0 && fq < 0.0)) {
      const double t = fp / (fp - fq);
      clipped_[static_cast<std::size_t>(out++)] = {p.s + t * (q.s - p.s), p.b + t * (q.b - p.b)};
    }
  }
  std::copy_n(clipped_.begin(), out, polygon_.begin());
  vertices_ = out;
}

} // namespace lw
