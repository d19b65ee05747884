#include "bursts/burst_table.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bursts/background.h"
#include "bursts/burst_columns.h"
#include "bursts/burst_export.h"
#include "bursts/burst_photons.h"
#include "bursts/burst_search.h"
#include "bursts/burst_streams.h"
#include "bursts/measurement_builder.h"
#include "bursts/table_seconds.h"
#include "support/caught_error.h"
#include "support/run_binary.h"

namespace pelmora {
namespace {

double parsed(const std::string& text) {
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

TEST(BurstTable, RoundTripSelectsTheSamePhotons) {
  // Nine-decimal rounding of any time: outward, within a nanosecond, and
  // written as text that parses back to the very double.
  std::mt19937_64 random(3);
  for (int k = 0; k < 20000; ++k) {
    const double t = std::ldexp(static_cast<double>(random() >> 11), -53) *
                     std::pow(10.0, static_cast<double>(k % 10) - 3) * (k % 7 == 0 ? -1 : 1);
    const double down = table_seconds_down(t);
    const double up = table_seconds_up(t);
    ASSERT_LE(down, t);
    ASSERT_GE(up, t);
    // One nanosecond apart at most, give or take the doubles' spacing.
    ASSERT_LE(up - down, 1e-9 + 4 * std::fabs(t) * 0x1.0p-52) << t;
    ASSERT_EQ(parsed(format_table_seconds(down)), down) << t;
    ASSERT_EQ(parsed(format_table_seconds(up)), up) << t;
    ASSERT_EQ(table_seconds_down(down), down);
    ASSERT_EQ(table_seconds_up(up), up);
  }
  EXPECT_EQ(format_table_seconds(table_seconds_up(-1e-10)), "0.000000000");
  EXPECT_EQ(format_table_seconds(table_seconds_down(-1e-10)), "-0.000000001");
  EXPECT_EQ(format_table_seconds(table_seconds_down(12.3456789999)), "12.345678999");
  EXPECT_EQ(format_table_seconds(table_seconds_up(12.3456789991)), "12.345679000");

  // A searched table written and read back, through a file: identical
  // windows, hence identical photons.  Sub-nanosecond ticks far from zero,
  // where the rounding bites.
  const Measurement measurement = testing::generated({{1500, 'D'}, {700, 'A'}, {300, 'a'}}, 20,
                                                     0.01, 40, 5, 1e-10, std::int64_t{37} << 40);
  const Background background = estimate_background(measurement, 5);
  const BurstSearchResult result = search_bursts(measurement, BurstSearchOptions{}, background);
  ASSERT_GT(result.bursts.size(), 1000u);
  testing::ScratchDir folder;
  const std::string path = (folder / "bursts.csv").string();
  write_burst_table(path, result.bursts);
  const std::vector<BurstWindow> read = read_burst_table(path);
  ASSERT_EQ(read.size(), result.bursts.size());
  for (std::size_t b = 0; b < read.size(); ++b) {
    const Burst& searched = result.bursts[b];
    ASSERT_EQ(read[b].number, searched.window.number);
    ASSERT_EQ(read[b].t_start_s, searched.window.t_start_s) << b;
    ASSERT_EQ(read[b].t_stop_s, searched.window.t_stop_s) << b;
    const BurstCounts counts =
        count_burst_photons(measurement, read[b].t_start_s, read[b].t_stop_s);
    ASSERT_EQ(counts.photons, searched.counts.photons);
    ASSERT_EQ(counts.analysed(), searched.counts.analysed());
  }
  EXPECT_EQ(testing::split_lines(testing::read_file(path)).front(), kBurstTableHeader);

  // A caller that wants to stop (a signal came) keeps the earlier table,
  // and so does an exported burst; no temporary file is left.
  const std::string before = testing::read_file(path);
  const auto stopped = [](auto write) {
    try {
      write();
    } catch (const Error& error) {
      return error.kind() == ErrorKind::kCancelled;
    }
    return false;
  };
  const StopRequest stop = [] { return true; };
  EXPECT_TRUE(stopped([&] { write_burst_table(path, {result.bursts.data(), 1}, stop); }));
  const BurstPhotons photons = burst_photons(measurement, read[0]);
  EXPECT_TRUE(stopped([&] { write_burst_photon_file(path, photons, stop); }));
  EXPECT_TRUE(testing::read_file(path) == before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                          std::filesystem::directory_iterator()),
            1);
}

// Every column, each as its kind is written; an empty field where a value is
// not defined (no acceptor excitation, a ratio of nothing).
TEST(BurstTable, WritesTheStreamsOfEveryBurst) {
  Burst alex;
  alex.window = {0, 1.0, 1.002};
  alex.counts = {95, 40, 30, 20};
  alex.streams = burst_streams(alex.counts, {2, 1, 4}, {});
  Burst plain = alex;
  plain.window = {7, 2.5, 2.5015};
  plain.counts.acceptor_excited.reset();
  plain.streams = burst_streams(plain.counts, {40, 30, 0}, {});
  const Burst bursts[] = {alex, plain};
  EXPECT_EQ(burst_table_text(bursts),
            std::string(kBurstTableHeader) +
                "\n0,1.000000000,1.002000000,95,70,40,30,20,38.000,29.000,16.000,0.432836,"
                "0.807229,0.432836,0.807229\n"
                "7,2.500000000,2.501500000,95,70,40,30,,0.000,0.000,,,,,\n");
  std::string names;
  for (const BurstColumnInfo& info : burst_columns()) {
    names += (names.empty() ? "" : ",") + std::string(info.name);
  }
  EXPECT_EQ(names, kBurstTableHeader);
}

TEST(BurstTable, ReadsTablesMadeElsewhere) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<BurstWindow> bursts;
  };
  const Case cases[] = {
      {"three columns",
       "burst,t_start_s,t_stop_s\n1,0.5,0.75\n2,1,1\n",
       {{1, 0.5, 0.75}, {2, 1, 1}}},
      {"quoted", "\"burst\",\"t_start_s\",\"t_stop_s\"\n\"1\",0.5,\"0.75\"\n", {{1, 0.5, 0.75}}},
      {"written by an earlier version",
       "burst,t_start_s,t_stop_s,photons,donor,acceptor,raw_E\n0,12.000345000,12.002117125,84,41,"
       "29,0.414286\n",
       {{0, 12.000345, 12.002117125}}},
      {"byte-order mark, CRLF, blanks, blank lines, other columns, no final line end",
       "\xEF\xBB\xBF"
       "burst, t_start_s ,t_stop_s,E\r\n\r\n 7 , -0 ,\t0.5 ,x\r\n8,+3,4e0,\n\n9,5,5,1",
       {{7, 0, 0.5}, {8, 3, 4}, {9, 5, 5}}},
  };
  testing::ScratchDir folder;
  const std::string path = (folder / "bursts.csv").string();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::write_file(path, c.text);
    // From text in memory, and from the file line by line.
    for (const std::vector<BurstWindow>& bursts :
         {parse_burst_table(c.text, "bursts.csv"), read_burst_table(path)}) {
      ASSERT_EQ(bursts.size(), c.bursts.size());
      for (std::size_t b = 0; b < bursts.size(); ++b) {
        EXPECT_EQ(bursts[b].number, c.bursts[b].number);
        EXPECT_EQ(bursts[b].t_start_s, c.bursts[b].t_start_s);
        EXPECT_EQ(bursts[b].t_stop_s, c.bursts[b].t_stop_s);
      }
    }
  }
}

TEST(BurstTable, RefusesBadTables) {
  const std::string header = "burst,t_start_s,t_stop_s\n";
  struct Case {
    std::string text;
    const char* message;  // after "Burst table bursts.csv, "
  };
  const Case cases[] = {
      {"", "line 1: the header line burst,t_start_s,t_stop_s is missing."},
      {"\n\r\n", "line 3: the header line burst,t_start_s,t_stop_s is missing."},
      {"0,1.0,2.0\n",
       "line 1: the header must begin with burst,t_start_s,t_stop_s (found "
       "'0,1.0,2.0')."},
      {"burst,t_stop_s,t_start_s\n0,1,2\n",
       "line 1: the header must begin with burst,t_start_s,t_stop_s (found "
       "'burst,t_stop_s,t_start_s')."},
      {"Burst,t_start_s\n",
       "line 1: the header must begin with burst,t_start_s,t_stop_s (found "
       "'Burst,t_start_s')."},
      {header, "line 2: the table has no bursts."},
      {"burst,t_start_s,t_stop_s\r\n\r\n", "line 3: the table has no bursts."},
      {header + "0,1,2\n1,3\n", "line 3: 2 columns where the header has 3."},
      {"burst,t_start_s,t_stop_s,E\n0,1,2\n", "line 2: 3 columns where the header has 4."},
      {header + "0,1,2,\n", "line 2: 4 columns where the header has 3."},
      {header + "0,abc,2\n", "line 2: t_start_s is not a number ('abc')."},
      {header + "0,1.5.2,2\n", "line 2: t_start_s is not a number ('1.5.2')."},
      {header + "0,1,\n", "line 2: t_stop_s is not a number ('')."},
      {header + "0,1,2\x01\n", "line 2: t_stop_s is not a number ('2\\x01')."},
      {header + "0,0x10,20\n", "line 2: t_start_s is not a number ('0x10')."},
      {header + "1.5,1,2\n", "line 2: burst is not a whole number ('1.5')."},
      {header + ",1,2\n", "line 2: burst is not a whole number ('')."},
      {header + "99999999999999999999,1,2\n",
       "line 2: burst is not a whole number ('99999999999999999999')."},
      {header + "0,inf,2\n", "line 2: t_start_s is not a finite number ('inf')."},
      {header + "0,1,nan\n", "line 2: t_stop_s is not a finite number ('nan')."},
      {header + "0,1,1e999\n", "line 2: t_stop_s is not a finite number ('1e999')."},
      {header + "0,2.5,2.4\n", "line 2: t_stop_s 2.4 is before t_start_s 2.5."},
      {header + "0,1,2\n1,0.5,0.7\n",
       "line 3: the burst starts before the previous one; bursts must be in time order."},
      {header + "0,1,2\n1,1.5,3\n",
       "line 3: the burst overlaps the previous one (t_start_s 1.5 is not after the previous "
       "t_stop_s)."},
      {header + "0,1,2\n1,2,3\n",
       "line 3: the burst overlaps the previous one (t_start_s 2 is not after the previous "
       "t_stop_s)."},
      {header + "3,1,2\n\n3,4,5\n", "line 4: burst 3 appears twice (also on line 2)."},
  };
  testing::ScratchDir folder;
  const std::string path = (folder / "bursts.csv").string();
  for (const Case& c : cases) {
    const auto error = testing::caught_error([&] { parse_burst_table(c.text, "bursts.csv"); });
    ASSERT_TRUE(error.has_value()) << c.message;
    EXPECT_EQ(error->kind(), ErrorKind::kInput);
    EXPECT_EQ(error->message(), std::string("Burst table bursts.csv, ") + c.message);
    testing::write_file(path, c.text);
    const auto read = testing::caught_error([&] { read_burst_table(path); });
    ASSERT_TRUE(read.has_value()) << c.message;
    EXPECT_EQ(read->message(), "Burst table " + path + ", " + c.message);
  }
  // The file is read within bounds: a line of over 1 MiB ends the reading.
  testing::write_file(path, header + "0,1,2\n1," + std::string(1 << 20, '5') + ",9\n");
  const auto long_line = testing::caught_error([&] { read_burst_table(path); });
  ASSERT_TRUE(long_line.has_value());
  EXPECT_EQ(long_line->message(), "Burst table " + path +
                                      ", line 3: the line is longer than 1048576 bytes, more "
                                      "than such a file may hold.");
  const auto missing = testing::caught_error([] { read_burst_table("/nonexistent/bursts.csv"); });
  ASSERT_TRUE(missing.has_value());
  EXPECT_EQ(missing->kind(), ErrorKind::kIo);
}

}  // namespace
}  // namespace pelmora
