#include "song/Windows1252.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>

namespace lw {

namespace {

// The characters of the bytes 0x80..0x9F; the rest of the code page is Latin-1, byte for
// character.
constexpr std::array<char32_t, 32> kHighControls = {
    U'\u20AC', U'\u0081', U'\u201A', U'\u0192', U'\u201E', U'\u2026', U'\u2020', U'\u2021',
    U'\u02C6', U'\u2030', U'\u0160', U'\u2039', U'\u0152', U'\u008D', U'\u017D', U'\u008F',
    U'\u0090', U'\u2018', U'\u2019', U'\u201C', U'\u201D', U'\u2022', U'\u2013', U'\u2014',
    U'\u02DC', U'\u2122', U'\u0161', U'\u203A', U'\u0153', U'\u009D', U'\u017E', U'\u0178'};

constexpr unsigned char kHighControlsFrom = 0x80;
constexpr unsigned char kLatin1From = 0xA0;

char EncodeCodePoint(char32_t c) {
  if (c < kHighControlsFrom || (c >= kLatin1From && c <= 0xFF)) {
    return static_cast<char>(c);
  }
  const auto* found = std::find(kHighControls.begin(), kHighControls.end(), c);
  if (found == kHighControls.end()) {
    return kUnstorableCharacter;
  }
  return static_cast<char>(kHighControlsFrom + std::distance(kHighControls.begin(), found));
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0U | (c >> 6U)));
    out.push_back(static_cast<char>(0x80U | (c & 0x3FU)));
  } else {
    // Every character of the code page lies in the Basic Multilingual Plane.
    out.push_back(static_cast<char>(0xE0U | (c >> 12U)));
    out.push_back(static_cast<char>(0x80U | ((c >> 6U) & 0x3FU)));
    out.push_back(static_cast<char>(0x80U | (c & 0x3FU)));
  }
}

// How a UTF-8 lead byte goes on: the number of continuation bytes and the range the first
// of them must lie in (which rules out overlong forms, surrogates and values above
// U+10FFFF). `count` 0 marks a byte that cannot start a character.
struct LeadByte {
  int count = 0;
  char32_t bits = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
};

LeadByte ReadLead(unsigned char b) {
  if (b >= 0xC2 && b <= 0xDF) {
    return {1, b & 0x1FU};
  }
  if (b >= 0xE0 && b <= 0xEF) {
    return {2, b & 0x0FU, static_cast<unsigned char>(b == 0xE0 ? 0xA0 : 0x80),
            static_cast<unsigned char>(b == 0xED ? 0x9F : 0xBF)};
  }
  if (b >= 0xF0 && b <= 0xF4) {
    return {3, b & 0x07U, static_cast<unsigned char>(b == 0xF0 ? 0x90 : 0x80),
            static_cast<unsigned char>(b == 0xF4 ? 0x8F : 0xBF)};
  }
  return {};
}

} // namespace

char32_t Windows1252CodePoint(unsigned char byte) {
  if (byte >= kHighControlsFrom && byte < kLatin1From) {
    return kHighControls[byte - kHighControlsFrom];
  }
  return byte;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char b : bytes) {
    AppendUtf8(out, Windows1252CodePoint(static_cast<unsigned char>(b)));
  }
  return out;
}

std::string Utf8ToWindows1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto b = static_cast<unsigned char>(utf8[i++]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
      continue;
    }
    LeadByte lead = ReadLead(b);
    char32_t c = lead.bits;
    int taken = 0;
    while (taken < lead.count && i < utf8.size()) {
      const auto next = static_cast<unsigned char>(utf8[i]);
      if (next < lead.low || next > lead.high) {
        break;
      }
      c = (c << 6U) | (next & 0x3FU);
      lead.low = 0x80;
      lead.high = 0xBF;
      ++taken;
      ++i;
    }
    const bool whole = lead.count > 0 && taken == lead.count;
    out.push_back(whole ? EncodeCodePoint(c) : kUnstorableCharacter);
  }
  return out;
}

} // namespace lw
