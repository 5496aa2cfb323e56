#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace lw {

// Fills `frames` signed 16-bit mono samples at 44100 Hz. Runs on the device's own
// real-time thread: it must not allocate, block or wait on a lock held for long.
using PullFunction = std::function<void(int16_t* out, std::size_t frames)>;

// A sound output that asks for samples when it needs them. The product uses SDL's
// default output device; tests drive a fake one by hand.
class AudioDevice {
public:
  virtual ~AudioDevice() = default;
  // Opens the default output for 44100 Hz, signed 16-bit, mono and starts pulling.
  // Returns an empty string on success, otherwise the system's text for the error.
  virtual std::string Open(PullFunction pull) = 0;
  // Stops pulling and closes the output; after it returns `pull` is never called again.
  virtual void Close() = 0;
  // Samples the open output takes at a time, which it plays after it has taken them.
  [[nodiscard]] virtual uint32_t bufferFrames() const { return 0; }
};

} // namespace lw
