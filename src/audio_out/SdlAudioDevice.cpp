#include "audio_out/SdlAudioDevice.h"

#include <SDL.h>

namespace lw {

namespace {

// About 23 ms: small enough that the queue of 139 ms blocks decides the latency.
constexpr Uint16 kDeviceFrames = 1024;

} // namespace

SdlAudioDevice::~SdlAudioDevice() {
  Close();
  if (initialised_) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
}

std::string SdlAudioDevice::Open(PullFunction pull) {
  if (!initialised_) {
    // SDL would turn SIGINT and SIGTERM into quit events nobody reads here; the program
    // must still end when the desktop or a user asks it to.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      return SDL_GetError();
    }
    initialised_ = true;
  }
  pull_ = std::move(pull);
  SDL_AudioSpec want{};
  want.freq = 44100;
  want.format = AUDIO_S16SYS;
  want.channels = 1;
  want.samples = kDeviceFrames;
  want.callback = &SdlAudioDevice::Callback;
  want.userdata = this;
  SDL_AudioSpec have{};
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device_ == 0) {
    return SDL_GetError();
  }
  bufferFrames_ = have.samples;
  SDL_PauseAudioDevice(device_, 0);
  return {};
}

void SdlAudioDevice::Close() {
  if (device_ != 0) {
    SDL_CloseAudioDevice(device_); // waits for a running callback to return
    device_ = 0;
  }
}

// SDL's real-time thread.
void SdlAudioDevice::Callback(void* self, uint8_t* stream, int bytes) {
  auto* device = static_cast<SdlAudioDevice*>(self);
  device->pull_(reinterpret_cast<int16_t*>(stream), static_cast<std::size_t>(bytes) / 2);
}

} // namespace lw
