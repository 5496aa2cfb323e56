#pragma once

#include "audio_out/AudioDevice.h"

#include <cstdint>

namespace lw {

// The system's default output through SDL's audio subsystem (PipeWire, PulseAudio,
// ALSA, JACK; SDL_AUDIODRIVER=dummy or disk for tests): 44100 Hz, signed 16-bit, mono,
// with SDL converting if the hardware wants otherwise.
class SdlAudioDevice : public AudioDevice {
public:
  SdlAudioDevice() = default;
  ~SdlAudioDevice() override;
  SdlAudioDevice(const SdlAudioDevice&) = delete;
  SdlAudioDevice& operator=(const SdlAudioDevice&) = delete;

  std::string Open(PullFunction pull) override;
  void Close() override;
  [[nodiscard]] uint32_t bufferFrames() const override { return bufferFrames_; }

private:
  static void Callback(void* self, uint8_t* stream, int bytes);

  uint32_t device_ = 0;
  uint32_t bufferFrames_ = 0;
  bool initialised_ = false;
  PullFunction pull_;
};

} // namespace lw
