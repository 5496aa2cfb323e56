#include "audio_out/HeardPosition.h"

#include <algorithm>

namespace lw {

namespace {

constexpr int64_t kRate = 44100;
constexpr int64_t kNsPerSecond = 1'000'000'000;

} // namespace

std::optional<uint64_t> HeardClock::Heard(const std::optional<OutputCursor>& cursor,
                                          int64_t nowNs) noexcept {
  if (!cursor || cursor->sample < cursor->behind) {
    anchored_ = false;
    return std::nullopt;
  }
  const uint64_t heardThen = cursor->sample - cursor->behind;
  const bool restarted = anchored_ && heardThen + cursor->stride < last_;
  if (!anchored_ || restarted || cursor->sample != cursor_) {
    cursor_ = cursor->sample;
    anchor_ = heardThen;
    anchorNs_ = nowNs;
    if (!anchored_ || restarted) {
      last_ = heardThen;
    }
    anchored_ = true;
  }
  const int64_t elapsed = std::max<int64_t>(nowNs - anchorNs_, 0);
  const auto ran = static_cast<uint64_t>(std::min<int64_t>(
      elapsed / 1000 * kRate / (kNsPerSecond / 1000), static_cast<int64_t>(cursor->stride)));
  last_ = std::max(last_, anchor_ + ran);
  return last_;
}

} // namespace lw
