#pragma once

#include "samples/SampleTable.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace lw {

// A sound to hear once from its start: sample values at their own rate. The values are
// shared and never changed, so whoever hands a sound over may keep it; whoever lets go
// of the last reference frees it, which is always the interface thread.
struct PreviewSound {
  std::shared_ptr<const SampleData> data;
  uint32_t rate = 0;

  [[nodiscard]] bool empty() const { return !data || data->empty() || rate == 0; }
};

// Where the sample manager lets the user hear a sound before and after it is placed.
// The program's live output does it; a new preview stops the one before. Interface
// thread.
class SamplePreviewer {
public:
  virtual ~SamplePreviewer() = default;
  virtual void Preview(PreviewSound sound) = 0;
  virtual void StopPreview() = 0;
};

// The sound being previewed and how far it has been heard. MixInto reads it on the
// notification thread, Start and Stop change it on the interface thread; the owner
// keeps the two apart with a lock. The sound is converted to 44100 Hz as it is read, by
// linear interpolation at exact positions: output value k is read at k * rate / 44100,
// kept as a whole index and a remainder in 44100ths, so a long sound never drifts and a
// 44100 Hz sound comes out value for value.
class SamplePreview {
public:
  // Hears `sound` from its start instead of what was heard. Hands back the sound it
  // replaces, for the caller to free outside its lock.
  [[nodiscard]] PreviewSound Start(PreviewSound sound) noexcept;
  // Silences the preview; hands back its sound as Start does.
  [[nodiscard]] PreviewSound Stop() noexcept;
  // Adds the next `count` values of the sound to `out`, clipped to 16 bits. Frees and
  // allocates nothing, so a sound that ends here is kept until Start or Stop. Returns
  // whether anything was added.
  bool MixInto(int16_t* out, std::size_t count) noexcept;
  // Whether some of the sound is still to be heard.
  [[nodiscard]] bool active() const noexcept;

  // How many values of output a sound of `length` values at `rate` gives.
  [[nodiscard]] static std::size_t OutputLength(std::size_t length, uint32_t rate) noexcept;

private:
  PreviewSound sound_;
  std::size_t index_ = 0;  // whole part of the read position
  uint32_t remainder_ = 0; // its fraction, in 44100ths
};

} // namespace lw
