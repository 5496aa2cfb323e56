#include "song/ShortString.h"

#include <algorithm>
#include <cstring>

namespace lw {

std::string ShortString::str() const {
  const std::size_t n = std::min<std::size_t>(length, kCapacity);
  return {chars, n};
}

void ShortString::assign(std::string_view text) {
  const std::size_t n = std::min<std::size_t>(text.size(), kCapacity);
  std::memcpy(chars, text.data(), n);
  length = static_cast<uint8_t>(n);
}

} // namespace lw
