#include "song/Round.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>
#include <random>

namespace lw {
namespace {

TEST(Round, ExactHalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(5512.5), 5512);
  EXPECT_EQ(RoundHalfEven(16537.5), 16538);
  EXPECT_EQ(RoundHalfEven(62.5), 62);
  EXPECT_EQ(RoundHalfEven(15.5), 16);
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(-0.5), 0);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(-3.5), -4);
  EXPECT_EQ(RoundHalfEven(2.4999999999999996), 2);
  EXPECT_EQ(RoundHalfEven(-7.6), -8);
}

TEST(Round, AgreesWithTheFloatingPointUnitOverManyValues) {
  ASSERT_EQ(std::fegetround(), FE_TONEAREST);
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> wide(-3e9, 3e9);
  std::uniform_int_distribution<int> halves(-100000, 100000);
  for (int i = 0; i < 200000; ++i) {
    const double x = (i % 2 == 0) ? wide(rng) : halves(rng) + 0.5;
    EXPECT_EQ(RoundHalfEvenToDouble(x), std::nearbyint(x)) << x;
  }
  EXPECT_EQ(RoundHalfEvenToDouble(4503599627370497.0), 4503599627370497.0);
}

TEST(Round, SaturatesInsteadOfOverflowing) {
  EXPECT_EQ(RoundHalfEven(1e300), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(RoundHalfEven(-1e300), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(RoundHalfEven(std::numeric_limits<double>::infinity()),
            std::numeric_limits<int32_t>::max());
  EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
  EXPECT_EQ(RoundHalfEven(2147483646.6), 2147483647);
}

} // namespace
} // namespace lw
