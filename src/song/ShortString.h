#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lw {

// A stored text: one length byte (0..64) and 64 single-byte characters in Windows-1252
// (song/Windows1252.h). The bytes past the length carry no meaning but are kept as they
// are, so a loaded file saves back unchanged. Text comes in and goes out as UTF-8 through
// assignText and text; only the song file itself deals in the stored bytes.
struct ShortString {
  static constexpr int kCapacity = 64;

  uint8_t length;
  char chars[kCapacity];

  // The stored bytes; a length byte above 64 (only a foreign file can hold one) reads as 64.
  [[nodiscard]] std::string bytes() const;

  // The text as UTF-8, for showing: every byte reads as some character.
  [[nodiscard]] std::string text() const;

  // Stores UTF-8 text in Windows-1252, cut to 64 characters; what the code page cannot
  // hold becomes '?'. The bytes behind the new length stay as they were.
  void assignText(std::string_view utf8);
};

static_assert(sizeof(ShortString) == 65);

} // namespace lw
