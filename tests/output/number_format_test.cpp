#include "output/number_format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "cli/console.h"
#include "output/result_file.h"
#include "support/run_binary.h"

namespace pelmora {
namespace {

std::string printed(const char* format, double value) {
  char text[kMaxNumberLength + 8];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string printed(const char* format, int value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

template <typename Value>
std::string converted(char* (*convert)(char*, Value), Value value) {
  char text[kMaxNumberLength];
  return std::string(text, convert(text, value));
}

// The fast "%f" must agree with printf on every value the writers can meet,
// and on the awkward ones: signed zeros, tiny negatives (FFT residue), exact
// ties at the sixth decimal, huge values and non-finite ones.
TEST(NumberFormat, FixedAgreesWithPrintf) {
  std::vector<double> values = {0.0,
                                -0.0,
                                1e-300,
                                -1e-300,
                                -4.9e-7,
                                -5e-7,
                                -5.000001e-7,
                                5e-7,
                                4.999999e-7,
                                0.0000015,
                                0.998004,
                                998.003992,
                                0.010842,
                                12.989158,
                                1e15 + 0.5,
                                123456789012345678.0,
                                1e300,
                                -1e300,
                                DBL_MAX,
                                -DBL_MAX,
                                DBL_MIN,
                                DBL_TRUE_MIN,
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity()};
  // j / 2^k for k >= 7 puts a 5 exactly at the seventh decimal: a tie that
  // printf breaks to even.
  for (int k = 7; k <= 12; ++k)
    for (int j = 1; j < 600; j += 2) {
      values.push_back(std::ldexp(j, -k));
      values.push_back(-std::ldexp(j, -k));
      values.push_back(1000 + std::ldexp(j, -k));
    }
  std::mt19937_64 random(20240601);
  std::uniform_real_distribution<double> exponent(-12.0, 22.0);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  for (int n = 0; n < 200000; ++n)
    values.push_back(mantissa(random) * std::pow(10.0, exponent(random)));
  // Arbitrary bit patterns, finite ones only below.
  for (int n = 0; n < 20000; ++n) {
    const std::uint64_t bits = random();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    if (std::isfinite(value)) values.push_back(value);
  }

  for (double value : values) {
    ASSERT_EQ(converted(format_fixed, value), printed("%f", value)) << std::hexfloat << value;
  }
  EXPECT_EQ(converted(format_fixed, -0.0), "-0.000000");
  EXPECT_EQ(converted(format_fixed, -1e-12), "-0.000000");
}

TEST(NumberFormat, IntegersAgreeWithPrintf) {
  std::vector<int> values = {INT_MIN, INT_MIN + 1, -65536, INT_MAX, 65535, 65536};
  for (int v = -300; v <= 300; ++v) values.push_back(v);
  for (int v : values) {
    ASSERT_EQ(converted(format_int, v), printed("%d", v));
    ASSERT_EQ(converted(format_hex02, v), printed("%02x", v));
  }
  EXPECT_EQ(converted(format_hex02, 0), "00");
  EXPECT_EQ(converted(format_hex02, 255), "ff");
  EXPECT_EQ(converted(format_hex02, 10), "0a");
}

// Numbers, plain text, a formatted line and a piece larger than the buffer
// reach the file whole and in order.
TEST(ResultFileTest, EverythingWrittenArrivesInOrder) {
  testing::ScratchDir folder;
  const std::string path = (folder / "out.txt").string();
  const std::string big(3 << 20, 'x');
  std::string expected;
  {
    ResultFile file(path);
    for (int n = 0; n < 100000; ++n) {
      file.fixed(n * 0.25);
      file.character(' ');
      file.integer(-n);
      file.character(' ');
      file.hex02(n % 256);
      file.character('\n');
      expected +=
          printed("%f", n * 0.25) + " " + printed("%d", -n) + " " + printed("%02x", n % 256) + "\n";
    }
    file.text(big);
    file.format("%s %g %5.2f|\n", "tail", 1e-14, 3.14159);
    file.close();
  }
  expected += big + "tail 1e-14  3.14|\n";
  EXPECT_TRUE(testing::read_file(path) == expected);
}

}  // namespace
}  // namespace pelmora
