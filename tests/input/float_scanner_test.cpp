#include "input/float_scanner.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "support/scan_float.h"

namespace pelmora {
namespace {

using testing::FloatScan;
using testing::scan_float;

using Status = FloatScan::Status;

// Same float, bit for bit (so -0 differs from 0, and a NaN's sign counts).
::testing::AssertionResult same_float(float expected, float actual) {
  if (std::bit_cast<std::uint32_t>(expected) == std::bit_cast<std::uint32_t>(actual)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "expected " << expected << ", got " << actual;
}

constexpr float kInf = std::numeric_limits<float>::infinity();

struct Case {
  std::string text;
  Status status;
  float value;
  std::size_t consumed;
};

TEST(FloatScanner, ScanfForms) {
  // 1 + 2^-24: halfway between 1 and the next float.
  const std::string halfway_above_one = "1.000000059604644775390625";
  const Case cases[] = {
      {"12.5", Status::kNumber, 12.5f, 4},
      {"+5", Status::kNumber, 5.0f, 2},
      {"-0", Status::kNumber, -0.0f, 2},
      {"  \t\n\v\f\r7 ", Status::kNumber, 7.0f, 8},
      {"1.e5", Status::kNumber, 1e5f, 4},
      {".5", Status::kNumber, 0.5f, 2},
      {"2.5E-1", Status::kNumber, 0.25f, 6},
      {"0.1", Status::kNumber, 0.1f, 3},
      {"0x1p3", Status::kNumber, 8.0f, 5},
      {"-0X1.8P+1", Status::kNumber, -3.0f, 9},
      {"0x.8", Status::kNumber, 0.5f, 4},
      {"0x10", Status::kNumber, 16.0f, 4},
      {"1e39", Status::kNumber, kInf, 4},
      {"-1e39", Status::kNumber, -kInf, 5},
      {"1e-50", Status::kNumber, 0.0f, 5},
      {"1e-40", Status::kNumber, 1e-40f, 5},  // subnormal
      {"inf", Status::kNumber, kInf, 3},
      {"-INFinity", Status::kNumber, -kInf, 9},
      {"infx", Status::kNumber, kInf, 3},
      // Greedy consumption: the scan stops at the first character that cannot
      // continue a number, and the rest is left for the next read.
      {"5abc", Status::kNumber, 5.0f, 1},
      {"1.2.3", Status::kNumber, 1.2f, 3},
      {"12-5", Status::kNumber, 12.0f, 2},
      {"1e5e3", Status::kNumber, 1e5f, 3},
      {"00x1", Status::kNumber, 0.0f, 2},
      {"1,5", Status::kNumber, 1.0f, 1},
      // Correct rounding of the halfway case and of a long tail that decides it.
      {halfway_above_one, Status::kNumber, 1.0f, halfway_above_one.size()},
      {halfway_above_one + std::string(400, '0') + "1", Status::kNumber, std::nextafter(1.0f, 2.0f),
       halfway_above_one.size() + 401},
      {"1" + std::string(399, '0'), Status::kNumber, kInf, 400},
      {"0." + std::string(398, '0') + "1", Status::kNumber, 0.0f, 401},
      {std::string(400, '9') + "e-398", Status::kNumber, 100.0f, 405},
      // The consumed text is not a complete number: the read fails.
      {"1e", Status::kNotANumber, 0, 2},
      {"1e+", Status::kNotANumber, 0, 3},
      {"100ergs", Status::kNotANumber, 0, 4},
      {"-", Status::kNotANumber, 0, 1},
      {"+-5", Status::kNotANumber, 0, 1},
      {".", Status::kNotANumber, 0, 1},
      {".e5", Status::kNotANumber, 0, 1},
      {"0x", Status::kNotANumber, 0, 2},
      {"0xg", Status::kNotANumber, 0, 2},
      {"0x.p1", Status::kNotANumber, 0, 3},
      {"0x1p", Status::kNotANumber, 0, 4},
      {"infix", Status::kNotANumber, 0, 4},
      {"infinit", Status::kNotANumber, 0, 7},
      {"na", Status::kNotANumber, 0, 2},
      {"abc", Status::kNotANumber, 0, 0},
      {"- 5", Status::kNotANumber, 0, 1},
      {"", Status::kEnd, 0, 0},
      {" \n\t ", Status::kEnd, 0, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("'" + c.text.substr(0, 60) + "'");
    const FloatScan scan = scan_float(c.text);
    EXPECT_EQ(scan.status, c.status);
    EXPECT_EQ(scan.consumed, c.consumed);
    if (c.status == Status::kNumber) {
      EXPECT_TRUE(same_float(c.value, scan.value));
    }
  }
}

TEST(FloatScanner, NanKeepsItsSignAndTakesNoPayload) {
  const FloatScan plain = scan_float("NaN");
  EXPECT_TRUE(std::isnan(plain.value));
  EXPECT_FALSE(std::signbit(plain.value));
  const FloatScan negative = scan_float("-nan");
  EXPECT_TRUE(std::isnan(negative.value));
  EXPECT_TRUE(std::signbit(negative.value));
  const FloatScan payload = scan_float("nan(123)");
  EXPECT_EQ(payload.status, Status::kNumber);
  EXPECT_EQ(payload.consumed, 3u);
}

#ifdef __GLIBC__
// Against the C library's own scanf on random texts: wherever scanf finds a
// number, the scanner must consume exactly as much and yield the same float,
// or refuse a consumed text that is incomplete (scanf takes "1e" as 1; a read
// that stops inside a number is refused here).
TEST(FloatScanner, AgreesWithScanf) {
  const std::string alphabet = "0123456789000111+-..eEeExXpPnNaAiIfFtTyY ";
  std::mt19937_64 engine(42);
  for (int trial = 0; trial < 200000; ++trial) {
    std::string text;
    const std::size_t length = 1 + engine() % 9;
    for (std::size_t i = 0; i < length; ++i) text.push_back(alphabet[engine() % alphabet.size()]);
    SCOPED_TRACE("'" + text + "'");
    float expected = 0;
    int consumed = -1;
    const int matched = std::sscanf(text.c_str(), "%f%n", &expected, &consumed);
    const FloatScan scan = scan_float(text);
    if (scan.status == Status::kNumber) {
      ASSERT_EQ(matched, 1);
      ASSERT_EQ(scan.consumed, static_cast<std::size_t>(consumed));
      ASSERT_TRUE(same_float(expected, scan.value));
    } else if (matched == 1) {
      ASSERT_EQ(scan.consumed, static_cast<std::size_t>(consumed));
    }
  }
}
#endif

}  // namespace
}  // namespace pelmora
