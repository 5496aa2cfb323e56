#include "audio_out/SamplePreview.h"

#include "engine/Engine.h"

#include <algorithm>
#include <utility>

namespace lw {

namespace {

constexpr auto kRate = static_cast<uint32_t>(kOutputRate);

} // namespace

PreviewSound SamplePreview::Start(PreviewSound sound) noexcept {
  PreviewSound replaced = std::exchange(sound_, std::move(sound));
  index_ = 0;
  remainder_ = 0;
  return replaced;
}

PreviewSound SamplePreview::Stop() noexcept {
  return Start({});
}

bool SamplePreview::active() const noexcept {
  return !sound_.empty() && index_ < sound_.data->size();
}

std::size_t SamplePreview::OutputLength(std::size_t length, uint32_t rate) noexcept {
  if (rate == 0) {
    return 0;
  }
  const uint64_t scaled = uint64_t{length} * kRate;
  return static_cast<std::size_t>((scaled + rate - 1) / rate);
}

bool SamplePreview::MixInto(int16_t* out, std::size_t count) noexcept {
  if (!active()) {
    return false;
  }
  const SampleData& data = *sound_.data;
  const std::size_t length = data.size();
  std::size_t k = 0;
  for (; k < count && index_ < length; ++k) {
    const int32_t a = data[index_];
    // Past the last value the sound holds it, so that its end is its own last value.
    const int32_t b = index_ + 1 < length ? data[index_ + 1] : a;
    const auto offset = static_cast<int32_t>(int64_t{b - a} * remainder_ / kRate);
    out[k] = static_cast<int16_t>(std::clamp(out[k] + a + offset, -32768, 32767));
    const uint64_t step = uint64_t{remainder_} + sound_.rate;
    index_ += static_cast<std::size_t>(step / kRate);
    remainder_ = static_cast<uint32_t>(step % kRate);
  }
  return k > 0;
}

} // namespace lw
