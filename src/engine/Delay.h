#pragma once

#include "song/Round.h"

#include <array>
#include <cstdint>

namespace lw {

// The master delay: one feedback echo on integer samples, its time a whole number of
// unshuffled steps. The ring is preallocated inside the object, so neither a parameter
// change nor a sample ever allocates.
class Delay {
public:
  static constexpr int32_t kRingSize = 65537; // index 0..65536; 65536 is never reached
  static constexpr int32_t kMaxLength = 65536;
  static constexpr int32_t kLengthWithoutSteps = 256;
  static constexpr double kMaxFeedback = 0.9;

  Delay() { Create(); }

  // Zeroes the ring and restarts it at index 0. Either thread, playback stopped.
  void Create();

  // Delay time `steps` steps at `tempo` (256 samples when steps is 0, at most 65536),
  // feedback 0.0..0.9 (kept within that range). The stored echoes and the ring position are kept,
  // so changing the delay while playing keeps what is already ringing. Interface thread, engine
  // lock held.
  void SetParameters(uint16_t tempo, uint16_t steps, double feedback);

  // Returns the echo for this sample and stores the input plus the fed-back echo.
  int32_t Process(int32_t input) noexcept {
    int32_t echo = 0;
    ProcessRun(
        1, [input](int32_t) { return input; }, [&echo](int32_t, int32_t y) { echo = y; });
    return echo;
  }

  // The same for `n` samples in a row: send(k) gives sample k's input, and echo(k, y)
  // takes its echo. Working on copies of the ring position and the parameters lets the
  // compiler keep them in registers. Render thread.
  template <class Send, class Echo> void ProcessRun(int32_t n, Send send, Echo echo) noexcept {
    int32_t* line = delayLine_.data();
    const double feedback = feedback_;
    const auto wrap = static_cast<uint32_t>(wrapIndex_);
    const auto restart = static_cast<uint32_t>(restartIndex_);
    uint32_t index = delayIndex_;
    for (int32_t k = 0; k < n; ++k) {
      const int32_t y = line[index];
      const double product = y * feedback;
      line[index] = static_cast<int32_t>(RoundHalfEvenUnchecked(product + send(k)));
      // The ring position is 16 bits wide: 65535 + 1 wraps to 0, which the restart at a
      // wrap of 65536 (the longest delay) gives as well.
      ++index;
      if (index >= wrap) {
        index = restart;
      }
      echo(k, y);
    }
    delayIndex_ = static_cast<uint16_t>(index);
  }

  // Zeroes the stored echoes; length, feedback and ring position stay. Either thread,
  // engine lock held.
  void ClearDelayLine();

  [[nodiscard]] int32_t delayLength() const { return delayLength_; }
  [[nodiscard]] double feedback() const { return feedback_; }
  [[nodiscard]] uint16_t delayIndex() const { return delayIndex_; }
  [[nodiscard]] int32_t wrapIndex() const { return wrapIndex_; }

private:
  int32_t delayLength_ = 0;
  std::array<int32_t, kRingSize> delayLine_{};
  uint16_t delayIndex_ = 0;
  double feedback_ = 0.0;
  int32_t restartIndex_ = 0;
  int32_t wrapIndex_ = 0; // 0 until the first SetParameters: the ring restarts every value
};

} // namespace lw
