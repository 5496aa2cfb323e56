#include "song/ShortString.h"

#include "song/Windows1252.h"

#include <algorithm>
#include <cstring>

namespace lw {

std::string ShortString::bytes() const {
  const std::size_t n = std::min<std::size_t>(length, kCapacity);
  return {chars, n};
}

std::string ShortString::text() const {
  return Windows1252ToUtf8(bytes());
}

void ShortString::assignText(std::string_view utf8) {
  const std::string stored = Utf8ToWindows1252(utf8);
  const std::size_t n = std::min<std::size_t>(stored.size(), kCapacity);
  std::memcpy(chars, stored.data(), n);
  length = static_cast<uint8_t>(n);
}

} // namespace lw
