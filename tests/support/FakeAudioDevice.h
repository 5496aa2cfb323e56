#pragma once

#include "audio_out/AudioDevice.h"

#include <atomic>
#include <string>
#include <vector>

namespace lw::test {

// A sound output the test drives by hand: PullNow asks for samples the way a device's
// real-time thread would.
class FakeAudioDevice : public AudioDevice {
public:
  std::string openError; // when set, Open fails with this text
  std::atomic<int> opens{0};
  std::atomic<int> closes{0};
  std::atomic<bool> open{false};

  std::string Open(PullFunction pull) override {
    ++opens;
    if (!openError.empty()) {
      return openError;
    }
    pull_ = std::move(pull);
    open = true;
    return {};
  }
  void Close() override {
    ++closes;
    open = false;
  }
  // What the device would play next; nothing plays while it is closed.
  std::vector<int16_t> PullNow(std::size_t frames) {
    std::vector<int16_t> out(frames, 0);
    if (open) {
      pull_(out.data(), frames);
    }
    return out;
  }

  // The same into the caller's buffer, as a device's thread fills its own.
  void PullInto(int16_t* out, std::size_t frames) {
    if (open) {
      pull_(out, frames);
    }
  }

private:
  PullFunction pull_;
};

} // namespace lw::test
