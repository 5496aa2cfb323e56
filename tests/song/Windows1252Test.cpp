#include "song/Windows1252.h"
#include "song/ShortString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

namespace lw {
namespace {

// The bytes 0x80..0x9F and what they read as. The five undefined bytes read as the
// control characters of their own number.
const char* const kHighBytes[32] = {
    "€", "\xC2\x81", "‚",        "ƒ", "„",        "…",        "†", "‡",        "ˆ", "‰", "Š",
    "‹", "Œ",        "\xC2\x8D", "Ž", "\xC2\x8F", "\xC2\x90", "‘", "’",        "“", "”", "•",
    "–", "—",        "˜",        "™", "š",        "›",        "œ", "\xC2\x9D", "ž", "Ÿ"};

// What a byte reads as: ASCII as itself, 0xA0..0xFF as U+00A0..U+00FF.
std::string ExpectedUtf8(unsigned byte) {
  if (byte < 0x80) {
    return std::string(1, static_cast<char>(byte));
  }
  if (byte < 0xA0) {
    return kHighBytes[byte - 0x80];
  }
  return {static_cast<char>(0xC0 | (byte >> 6)), static_cast<char>(0x80 | (byte & 0x3F))};
}

TEST(Windows1252, EveryByteReadsAsItsCharacterAndEncodesBackToItself) {
  for (unsigned byte = 0; byte < 256; ++byte) {
    const std::string one(1, static_cast<char>(byte));
    const std::string expected = ExpectedUtf8(byte);
    EXPECT_EQ(Windows1252ToUtf8(one), expected) << "byte " << byte;
    EXPECT_EQ(Utf8ToWindows1252(expected), one) << "byte " << byte;
  }
}

struct Conversion {
  const char* utf8;
  std::string stored;
};

TEST(Windows1252, CharactersOutsideTheCodePageBecomeOneQuestionMarkEach) {
  const Conversion cases[] = {
      {"ł", "?"},
      {"日本", "??"},
      {"😀", "?"},
      {"żółw", "?\xF3?w"},
      {"Ā", "?"},            // U+0100, just past Latin-1
      {"\xC2\x80", "?"},     // U+0080: 0x80 is the euro sign
      {"\xC2\x9F", "?"},     // U+009F: 0x9F is Ÿ
      {"\xEF\xBF\xBD", "?"}, // U+FFFD
      {"x€y—z", "x\x80y\x97z"},
  };
  for (const Conversion& c : cases) {
    EXPECT_EQ(Utf8ToWindows1252(c.utf8), c.stored) << c.utf8;
  }
}

TEST(Windows1252, MalformedUtf8BecomesOneQuestionMarkPerBrokenPiece) {
  const Conversion cases[] = {
      {"\xC3", "?"},     // a lead byte at the end
      {"a\xC3z", "a?z"}, // a lead byte without its continuation
      {"\xC3\xA9\xC3", "\xE9?"},
      {"\xE6\x97", "?"}, // two of three bytes
      {"\xE6\x97x\xE6", "?x?"},
      {"\xF0\x9F\x98", "?"}, // three of four bytes
      {"\x80", "?"},         // stray continuation bytes
      {"\xBF\xBF", "??"},
      {"\xC0\x80", "??"}, // overlong forms
      {"\xC1\xBF", "??"},
      {"\xE0\x80\x80", "???"},
      {"\xF0\x80\x80\x80", "????"},
      {"\xED\xA0\x80", "???"},      // a surrogate
      {"\xF4\x90\x80\x80", "????"}, // above U+10FFFF
      {"\xF5\x80\x80\x80", "????"},
      {"\xFE\xFF", "??"},
  };
  for (const Conversion& c : cases) {
    EXPECT_EQ(Utf8ToWindows1252(c.utf8), c.stored) << ::testing::PrintToString(c.utf8);
  }
  EXPECT_EQ(Utf8ToWindows1252(std::string("a\0b", 3)), std::string("a\0b", 3));
}

// Any bytes at all encode to at most one byte each, and what is stored reads back as text
// that stores the very same bytes.
TEST(Windows1252, AnyInputEncodesAndTheStoredBytesSurviveAReadBack) {
  std::mt19937 rng(1252);
  std::uniform_int_distribution<int> length(0, 24);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 5000; ++round) {
    std::string input(static_cast<std::size_t>(length(rng)), '\0');
    for (char& c : input) {
      c = static_cast<char>(byte(rng));
    }
    const std::string stored = Utf8ToWindows1252(input);
    ASSERT_LE(stored.size(), input.size());
    ASSERT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(stored)), stored);
  }
}

struct StoredText {
  std::string utf8;
  std::string bytes;
  std::string shown;
};

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) {
    out += piece;
  }
  return out;
}

TEST(ShortStringText, TextIsStoredAsWindows1252AndCutAt64Characters) {
  const std::string letters63(63, 'a');
  const StoredText cases[] = {
      {"", "", ""},
      {letters63 + "é", letters63 + "\xE9", letters63 + "é"},
      {letters63 + "aé", letters63 + "a", letters63 + "a"},
      {Repeat("é", 70), std::string(64, '\xE9'), Repeat("é", 64)},
      {Repeat("€", 64) + "x", std::string(64, '\x80'), Repeat("€", 64)},
      {"日本 " + letters63, "?? " + std::string(61, 'a'), "?? " + std::string(61, 'a')},
  };
  for (const StoredText& c : cases) {
    ShortString text{};
    text.assignText(c.utf8);
    EXPECT_EQ(text.bytes(), c.bytes) << c.utf8;
    EXPECT_EQ(text.text(), c.shown) << c.utf8;
  }
}

TEST(ShortStringText, StoringLeavesTheBytesBehindTheLengthAlone) {
  ShortString text{};
  std::memset(text.chars, 'z', sizeof text.chars);
  text.assignText("ñ");
  EXPECT_EQ(text.length, 1);
  EXPECT_EQ(std::string(text.chars, sizeof text.chars), "\xF1" + std::string(63, 'z'));
  text.length = 200; // only a foreign file holds such a byte
  EXPECT_EQ(text.text(), "ñ" + std::string(63, 'z'));
}

} // namespace
} // namespace lw
