#pragma once

#include <string>
#include <string_view>

namespace lw {

// The song file keeps its texts in Windows-1252, one byte a character; the program works
// in UTF-8. These two convert between them, and both accept any input.

// What a text becomes where Windows-1252 has no byte for it.
inline constexpr char kUnstorableCharacter = '?';

// The character a byte stands for. The five bytes Windows-1252 leaves undefined (0x81,
// 0x8D, 0x8F, 0x90 and 0x9D) stand for the control characters of the same number (U+0081
// and so on), so every byte reads as something and encodes back to itself.
[[nodiscard]] char32_t Windows1252CodePoint(unsigned char byte);

// Windows-1252 bytes as UTF-8 text.
[[nodiscard]] std::string Windows1252ToUtf8(std::string_view bytes);

// UTF-8 text as Windows-1252 bytes, one byte a character. A character Windows-1252 cannot
// hold becomes '?'. So does each malformed piece: a byte that cannot start a character,
// or the longest start of a character that breaks off (a missing continuation byte, an
// overlong form, a surrogate, a value above U+10FFFF), each taken as one piece.
[[nodiscard]] std::string Utf8ToWindows1252(std::string_view utf8);

} // namespace lw
