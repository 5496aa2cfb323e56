#include "audio_out/SamplePreview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace lw {
namespace {

PreviewSound Sound(const std::vector<int16_t>& values, uint32_t rate) {
  return {std::make_shared<const SampleData>(values.begin(), values.end()), rate};
}

// 1, 2, 3, ... wrapping before 30000: never 0, and each value differs from the next.
std::vector<int16_t> Rising(std::size_t n) {
  std::vector<int16_t> values(n);
  for (std::size_t i = 0; i < n; ++i) {
    values[i] = static_cast<int16_t>(1 + (i * 7) % 29999);
  }
  return values;
}

// Everything the preview adds to silence, taken in pieces of `piece` values.
std::vector<int16_t> Drain(SamplePreview& preview, std::size_t piece) {
  std::vector<int16_t> heard;
  std::vector<int16_t> buffer(piece);
  for (;;) {
    std::fill(buffer.begin(), buffer.end(), int16_t{0});
    if (!preview.MixInto(buffer.data(), buffer.size())) {
      return heard;
    }
    heard.insert(heard.end(), buffer.begin(), buffer.end());
  }
}

TEST(SamplePreview, AtTheOutputRateItIsTheSoundValueForValueThenNothing) {
  const std::vector<int16_t> values = Rising(5000);
  for (const std::size_t piece : {1U, 333U, 4999U, 5000U, 6144U}) {
    SamplePreview preview;
    EXPECT_TRUE(preview.Start(Sound(values, 44100)).empty());
    EXPECT_TRUE(preview.active());
    std::vector<int16_t> heard = Drain(preview, piece);
    ASSERT_GE(heard.size(), values.size()) << piece;
    EXPECT_TRUE(std::all_of(heard.begin() + 5000, heard.end(), [](int16_t v) { return v == 0; }))
        << "the last piece is silent past the end";
    heard.resize(values.size());
    EXPECT_EQ(heard, values) << piece;
    EXPECT_FALSE(preview.active());
  }
}

// Output value k is read at k * rate / 44100: a value of the sound where that position is
// whole, and between the two values around it where it is not.
TEST(SamplePreview, OtherRatesAreReadAtExactPositionsAndLastTheirLengthAt44100) {
  const std::vector<int16_t> values = Rising(1001);
  for (const uint32_t rate : {22050U, 11025U, 8000U, 32000U, 48000U, 65535U, 44100U}) {
    SamplePreview preview;
    (void)preview.Start(Sound(values, rate));
    const std::vector<int16_t> heard = Drain(preview, 1);
    const std::size_t expected = (1001 * 44100 + rate - 1) / rate;
    ASSERT_EQ(heard.size(), expected) << rate;
    EXPECT_EQ(SamplePreview::OutputLength(values.size(), rate), expected) << rate;
    for (std::size_t k = 0; k < heard.size(); ++k) {
      const uint64_t scaled = uint64_t{k} * rate;
      const auto i = static_cast<std::size_t>(scaled / 44100);
      ASSERT_LT(i, values.size());
      if (scaled % 44100 == 0) {
        ASSERT_EQ(heard[k], values[i]) << rate << " at " << k;
      } else {
        const int16_t next = i + 1 < values.size() ? values[i + 1] : values[i];
        ASSERT_GE(heard[k], std::min(values[i], next)) << rate << " at " << k;
        ASSERT_LE(heard[k], std::max(values[i], next)) << rate << " at " << k;
      }
    }
  }
  EXPECT_EQ(SamplePreview::OutputLength(1001, 22050), 2002U);
  EXPECT_EQ(SamplePreview::OutputLength(1001, 0), 0U);
}

TEST(SamplePreview, ItIsAddedToWhatIsThereAndClipped) {
  SamplePreview preview;
  (void)preview.Start(Sound({10000, -10000, 5, 32767}, 44100));
  std::vector<int16_t> out{30000, -30000, -5, -32768, 1234};
  EXPECT_TRUE(preview.MixInto(out.data(), out.size()));
  EXPECT_EQ(out, (std::vector<int16_t>{32767, -32768, 0, -1, 1234}));
}

TEST(SamplePreview, StartBeginsAfreshAndStopSilencesEachHandingBackTheSoundBefore) {
  const PreviewSound first = Sound(Rising(100), 44100);
  const PreviewSound second = Sound({-7, -8, -9}, 44100);
  SamplePreview preview;
  (void)preview.Start(first);
  std::vector<int16_t> out(50, 0);
  preview.MixInto(out.data(), out.size());
  EXPECT_EQ(preview.Start(second).data, first.data);
  EXPECT_EQ(Drain(preview, 3), (std::vector<int16_t>{-7, -8, -9}));
  EXPECT_EQ(preview.Start(first).data, second.data) << "an ended sound is kept until replaced";
  EXPECT_EQ(preview.Stop().data, first.data);
  EXPECT_FALSE(preview.active());
  std::vector<int16_t> silent(10, 4);
  EXPECT_FALSE(preview.MixInto(silent.data(), silent.size()));
  EXPECT_EQ(silent, std::vector<int16_t>(10, 4));
  EXPECT_TRUE(preview.Stop().empty());
}

} // namespace
} // namespace lw
