#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lw {

// A stored text: one length byte (0..64) and 64 single-byte characters. The bytes past
// the length carry no meaning but are kept as they are, so a loaded file saves back
// unchanged.
struct ShortString {
  static constexpr int kCapacity = 64;

  uint8_t length;
  char chars[kCapacity];

  // The text; a length byte above 64 (only a foreign file can hold one) reads as 64.
  [[nodiscard]] std::string str() const;

  // Stores text cut to 64 characters; the bytes behind the new length stay as they were.
  void assign(std::string_view text);
};

static_assert(sizeof(ShortString) == 65);

} // namespace lw
