#include "input/distance_model_text.h"

#include <gtest/gtest.h>

#include "support/caught_error.h"
#include "support/run_binary.h"

namespace pelmora {
namespace {

using testing::caught_error;

TEST(DistanceModelText, ReadsEveryModel) {
  const testing::ScratchDir dir;
  dir.write("pmf.txt", "# r density\n1 0\n\n2 0.5\n3 1e-1\n");
  EXPECT_EQ(parse_distance_model("chain:6").shape, ModelShape(GaussianChain{6}));
  EXPECT_EQ(parse_distance_model("box:2:10.5").shape, ModelShape(FlatBox{2, 10.5}));
  // A table's name is everything after "pmf:", spaces and colons included.
  dir.write("a b:c.txt", "# r density\n1 0\n\n2 0.5\n3 1e-1\n");
  for (const char* name : {"pmf.txt", "a b:c.txt"}) {
    const DistanceModel table = parse_distance_model("pmf:" + (dir / name).string());
    EXPECT_EQ(table.shape, ModelShape(TabulatedDensity{{1, 2, 3}, {0, 0.5, 0.1}})) << name;
    EXPECT_EQ(table.text, "pmf:" + (dir / name).string());
  }
  EXPECT_FALSE(parse_distance_model("free").confined());
  EXPECT_EQ(parse_model_scan("free").models.size(), 1u);
  const ModelScan scan = parse_model_scan("chain:4:10:13");
  ASSERT_EQ(scan.models.size(), 13u);
  EXPECT_EQ(scan.parameter, "rms_nm");
  EXPECT_EQ(scan.parameter_values.front(), 4.0);
  EXPECT_EQ(scan.parameter_values[1], 4.5);
  EXPECT_EQ(scan.parameter_values.back(), 10.0);
  EXPECT_FALSE(parse_model_scan("chain:6").scanned());
}

TEST(DistanceModelText, RefusesBadModels) {
  const testing::ScratchDir dir;
  dir.write("two.txt", "1 1\n2 1\n");
  dir.write("negative.txt", "1 1\n2 -1\n3 1\n");
  dir.write("zero.txt", "1 0\n2 0\n3 0\n");
  dir.write("word.txt", "1 1\n# fine\n2 x\n3 1\n");
  dir.write("order.txt", "1 1\n3 1\n2 1\n");
  std::string many;
  for (int k = 1; k <= 100001; ++k) many += std::to_string(k) + " 1\n";
  dir.write("many.txt", many);
  dir.write("long.txt", "# " + std::string(1 << 20, 'x') + "\n1 1\n2 1\n3 1\n");
  const std::string at = dir.path().string() + "/";
  struct Case {
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"brownian",
       "Unknown model brownian (free, chain:RMS, chain:FROM:TO:COUNT, "
       "box:A:B or pmf:FILE)."},
      {"chain:0", "Model chain:0: the rms distance must be > 0."},
      {"chain:-2", "Model chain:-2: the rms distance must be > 0."},
      {"chain:six", "Model chain:six: 'six' is not a number."},
      {"box:10:2", "Model box:10:2: the walls need 0 <= A < B."},
      {"box:3:3", "Model box:3:3: the walls need 0 <= A < B."},
      {"box:3",
       "Unknown model box:3 (free, chain:RMS, chain:FROM:TO:COUNT, box:A:B "
       "or pmf:FILE)."},
      {"chain:10:4:13", "Model chain:10:4:13: the rms range needs 0 < FROM < TO."},
      {"chain:4:10:1.5",
       "Model chain:4:10:1.5: the count of rms values must be a "
       "whole number from 2 to 1000."},
      // (TO - FROM) * i overflows on the way to the values in between.
      {"chain:1e-320:1e308:1000",
       "Model chain:1e-320:1e308:1000: the rms values are beyond the range of numbers."},
      {"pmf:" + at + "two.txt", "Potential file " + at + "two.txt: at least 3 points are needed."},
      {"pmf:" + at + "negative.txt",
       "Potential file " + at + "negative.txt, line 2: the density must be >= 0."},
      {"pmf:" + at + "zero.txt", "Potential file " + at + "zero.txt: the densities are all zero."},
      {"pmf:" + at + "word.txt", "Potential file " + at +
                                     "word.txt, line 3: two numbers expected (distance in nm, "
                                     "density)."},
      {"pmf:" + at + "order.txt",
       "Potential file " + at + "order.txt, line 3: the distances must increase."},
      {"pmf:" + at + "many.txt",
       "Potential file " + at + "many.txt, line 100001: more than 100000 points."},
      {"pmf:" + at + "long.txt", "Potential file " + at +
                                     "long.txt, line 1: the line is longer than 1048576 bytes, "
                                     "more than such a file may hold."},
  };
  for (const Case& c : cases) {
    const std::optional<Error> error = caught_error([&] { parse_model_scan(c.text); });
    ASSERT_TRUE(error) << c.text;
    EXPECT_EQ(error->kind(), ErrorKind::kInput) << c.text;
    EXPECT_EQ(error->message(), c.message);
  }
  const std::optional<Error> missing =
      caught_error([&] { parse_model_scan("pmf:" + at + "none"); });
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->kind(), ErrorKind::kIo);
}

}  // namespace
}  // namespace pelmora
