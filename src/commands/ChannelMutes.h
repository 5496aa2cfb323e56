#pragma once

#include "song/Song.h"

#include <array>
#include <cstdint>

namespace lw {

// The window's mute and solo switches, which are not part of the song: a channel is heard
// unless it is muted, or another channel is soloed and it is not. Mute wins over solo.
struct ChannelMutes {
  std::array<bool, kChannels> mute{};
  std::array<bool, kChannels> solo{};

  // The channels not heard, bit c for channel c: what the engine's `silenced` takes.
  [[nodiscard]] uint32_t Silenced() const {
    bool anySolo = false;
    for (const bool s : solo) {
      anySolo = anySolo || s;
    }
    uint32_t off = 0;
    for (int c = 0; c < kChannels; ++c) {
      const auto i = static_cast<std::size_t>(c);
      if (mute[i] || (anySolo && !solo[i])) {
        off |= 1U << c;
      }
    }
    return off;
  }
};

} // namespace lw
