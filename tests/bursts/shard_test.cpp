#include "bursts/shard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/caught_error.h"

namespace pelmora {
namespace {

TEST(Shard, ParsesAndSelects) {
  struct Case {
    const char* text;
    long long index, count;
    std::size_t bursts;
    std::vector<std::size_t> positions;
  };
  const Case cases[] = {
      {"1/1", 1, 1, 3, {0, 1, 2}},
      {"1/3", 1, 3, 8, {0, 3, 6}},
      {"3/3", 3, 3, 8, {2, 5}},
      {"2/3", 2, 3, 0, {}},
      {"4/5", 4, 5, 3, {}},
      {"007/10", 7, 10, 30, {6, 16, 26}},
      {"9223372036854775807/9223372036854775807", 9223372036854775807, 9223372036854775807, 2, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const Shard shard = parse_shard(c.text);
    EXPECT_EQ(shard.index, c.index);
    EXPECT_EQ(shard.count, c.count);
    EXPECT_EQ(shard_positions(c.bursts, shard), c.positions);
    for (std::size_t b = 0; b < c.bursts; ++b) {
      EXPECT_EQ(in_shard(b, shard),
                std::find(c.positions.begin(), c.positions.end(), b) != c.positions.end());
    }
  }
  // The shards of one count cover every burst exactly once.
  std::vector<int> seen(50);
  for (int i = 1; i <= 7; ++i) {
    for (const std::size_t b :
         shard_positions(seen.size(), parse_shard(std::to_string(i) + "/7"))) {
      ++seen[b];
    }
  }
  EXPECT_EQ(seen, std::vector<int>(50, 1));
}

TEST(Shard, RefusesMalformedAndOutOfRange) {
  struct Case {
    std::string text;
    const char* reason;
  };
  const Case cases[] = {
      {"", "no '/': ''"},
      {"3", "no '/': '3'"},
      {"0/4", "out of range: '0/4'"},
      {"5/4", "out of range: '5/4'"},
      {"1/0", "out of range: '1/0'"},
      {"-1/4", "not two whole numbers: '-1/4'"},
      {"+1/4", "not two whole numbers: '+1/4'"},
      {" 1/4", "not two whole numbers: ' 1/4'"},
      {"1/4 ", "not two whole numbers: '1/4 '"},
      {"1/", "not two whole numbers: '1/'"},
      {"/4", "not two whole numbers: '/4'"},
      {"1.5/4", "not two whole numbers: '1.5/4'"},
      {"1/2/3", "not two whole numbers: '1/2/3'"},
      {"0x1/4", "not two whole numbers: '0x1/4'"},
      {"1/99999999999999999999", "not two whole numbers: '1/99999999999999999999'"},
      {"1/4\n", "not two whole numbers: '1/4?'"},
  };
  for (const Case& c : cases) {
    const auto error = testing::caught_error([&] { parse_shard(c.text); });
    ASSERT_TRUE(error.has_value()) << c.text;
    EXPECT_EQ(error->kind(), ErrorKind::kOption);
    EXPECT_EQ(error->message(),
              std::string("--shard takes i/k, whole numbers with 1 <= i <= k (") + c.reason + ").");
  }
}

}  // namespace
}  // namespace pelmora
