#include "input/photon_parser.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "state/photon_list.h"
#include "state/text_format.h"

namespace pelmora {
namespace {

// One record: "1 0 <time> <code> 0 0 0 0".
std::string record(const std::string& time, const std::string& code = "0") {
  return "1 0 " + time + " " + code + " 0 0 0 0\n";
}

std::string records(const std::vector<std::string>& times) {
  std::string text;
  for (const std::string& time : times) text += record(time);
  return text;
}

const std::string kEnd = "-99999 0 0 0 0 0 0 0\n";

std::string simultaneous(double t) {
  return format_text("Simultaneous photons found (t=%f). Shifted one a bit.", t);
}

std::string not_sorted(double t) {
  return format_text("photon times not sorted (t=%f). Please sort and re-run.", t);
}

struct Case {
  const char* name;
  std::string text;
  int count;
  std::vector<std::string> warnings;
  std::string error;  // empty: none
  int donors = -1;    // -1: not checked
  int acceptors = -1;
};

std::vector<Case> cases() {
  return {
      {"three photons", records({"1", "2", "3"}) + kEnd, 3, {}, "", 3, 0},
      {"two photons", records({"1", "2"}) + kEnd, 2, {}, "Too few photons (2)."},
      {"empty file", "", 0, {}, "Too few photons (0)."},
      {"white space only", " \n\t\n", 0, {}, "Too few photons (0)."},
      {"leading end marker", kEnd + records({"1", "2", "3"}), 0, {}, "Too few photons (0)."},
      {"end marker written otherwise",
       "-99999.0e0" + kEnd.substr(6) + records({"1", "2", "3"}),
       0,
       {},
       "Too few photons (0)."},
      {"no end marker", records({"1", "2", "3"}), 3, {}, ""},
      {"anything after the end marker",
       records({"1", "2", "3"}) + kEnd + "5 0 1 7 x\x01 1e+",
       3,
       {},
       ""},
      {"a non-number in position 1 ends the data",
       records({"1", "2", "3"}) + "x 0 0 0\n",
       3,
       {},
       ""},
      {"an incomplete number in position 1 ends the data",
       records({"1", "2", "3"}) + "1e 0 0 9",
       3,
       {},
       ""},
      {"one record over several lines, several records on one line",
       "1\n0\n1\n0\n0 0\n0\n0 1 0 2 4 0 0 0 0 1 0 3 6 0 0 0 0",
       3,
       {},
       "",
       1,
       2},
      {"codes 2.0 and 6.0",
       record("1", "2.0") + record("2", "6.0") + record("3", "-0"),
       3,
       {},
       "",
       2,
       1},
      {"code 1", records({"1"}) + record("2", "1"), 1, {}, "Unknown photon type (1.000000)"},
      {"code 3", record("2", "3"), 0, {}, "Unknown photon type (3.000000)"},
      {"code 5", record("2", "5"), 0, {}, "Unknown photon type (5.000000)"},
      {"code 7", record("2", "7"), 0, {}, "Unknown photon type (7.000000)"},
      {"code 2.5", record("2", "2.5"), 0, {}, "Unknown photon type (2.500000)"},
      // The code is checked before the order of the times.
      {"unknown code on an earlier time",
       records({"5"}) + record("1", "-4"),
       1,
       {},
       "Unknown photon type (-4.000000)"},
      {"decreasing time", records({"5", "4.5"}), 1, {}, not_sorted(4.5)},
      {"equal times shift by 0.01", records({"1000", "1000", "1001"}), 3, {simultaneous(1000)}, ""},
      {"a third equal time is not sorted",
       records({"1000", "1000", "1000"}),
       2,
       {simultaneous(1000)},
       not_sorted(1000)},
      {"equal times above 262144 stay equal",
       records({"300000", "300000", "300000"}),
       3,
       {simultaneous(300000), simultaneous(300000)},
       ""},
      {"negative times", records({"-20", "-10.5", "-10.5", "0"}), 4, {simultaneous(-10.5)}, ""},
      {"a first time below -1e30",
       records({"-2e30", "1", "2"}),
       0,
       {},
       not_sorted(static_cast<double>(-2e30f))},
      {"a first time of -1e30 equals the starting previous time",
       records({"-1e30", "1", "2"}),
       3,
       {simultaneous(static_cast<double>(-1e30f))},
       ""},
      // Faults the reader refuses rather than guess at.
      {"record cut short",
       records({"1", "2"}) + "1 0 3 0",
       2,
       {},
       "Photon record 3 is incomplete: the file ends after 4 of its 8 numbers."},
      {"record cut short after its first number",
       records({"1", "2", "3"}) + "1",
       3,
       {},
       "Photon record 4 is incomplete: the file ends after 1 of its 8 numbers."},
      {"text in position 2",
       "1 zero 1 0 0 0 0 0",
       0,
       {},
       "Photon record 1: number 2 of 8 is not a number (found 'zero')."},
      {"incomplete number in position 8",
       records({"1"}) + "1 0 2 0 0 0 0 1e+\n",
       1,
       {},
       "Photon record 2: number 8 of 8 is not a number (found '1e+')."},
      {"incomplete number at the end of the file",
       "1 0 2 4 0 0 0 100ergs",
       0,
       {},
       "Photon record 1: number 8 of 8 is not a number (found '100ergs')."},
      {"long and unprintable text",
       "1 0 \x01\xff" + std::string(100, 'a') + " 0 0 0 0 0",
       0,
       {},
       "Photon record 1: number 3 of 8 is not a number (found '\\x01\\xFF" + std::string(30, 'a') +
           "...')."},
      {"nan payload is left behind as text",
       "1 0 nan(1) 0 0 0 0 0",
       0,
       {},
       "Photon record 1: number 4 of 8 is not a number (found '(1)')."},
      {"nan time",
       records({"1"}) + record("nan"),
       1,
       {},
       "Photon record 2: arrival time is not a finite number (nan)."},
      {"time beyond the float range",
       records({"1"}) + record("1e39"),
       1,
       {},
       "Photon record 2: arrival time is not a finite number (inf)."},
      {"infinite code",
       record("1", "-inf"),
       0,
       {},
       "Photon record 1: type code is not a finite number (-inf)."},
      {"nan and inf in ignored positions",
       "nan inf 1 0 -nan 1e99 infinity 0x1p3\n" + records({"2", "3"}),
       3,
       {},
       ""},
  };
}

TEST(PhotonParser, Cases) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    PhotonList photons;
    const PhotonParseOutcome outcome = parse_photon_text(c.text, photons);
    EXPECT_EQ(photons.photon_count, c.count);
    EXPECT_EQ(outcome.warnings, c.warnings);
    EXPECT_EQ(outcome.error ? outcome.error->message : "", c.error);
    if (c.donors >= 0) {
      EXPECT_EQ(photons.donor_count, c.donors);
    }
    if (c.acceptors >= 0) {
      EXPECT_EQ(photons.acceptor_count, c.acceptors);
    }
    EXPECT_EQ(photons.donor_count + photons.acceptor_count, photons.photon_count);
  }
}

// Numbers split anywhere between blocks must read as in one piece.
TEST(PhotonParser, BlockBoundariesChangeNothing) {
  const std::string extra =
      "1 0 1e+1 4 0 0 0 0  2 +0 0x1.6p3 6.0 0 0 0 0\n1 0 11.0000 0 -nan 0 0 0 " +
      std::string(500, '0') + "1 0 11.5 2 0 0 0 0 -99999 x";
  std::vector<std::string> texts = {extra, records({"1", "2"}) + "1 0 3 0 0 zero",
                                    records({"1", "2"}) + "1 0 3 0 0 0 0 1e"};
  for (const Case& c : cases()) texts.push_back(c.text);
  for (const std::string& text : texts) {
    PhotonList whole_list;
    const PhotonParseOutcome whole = parse_photon_text(text, whole_list);
    for (std::size_t block : {1, 2, 3, 5, 7, 64}) {
      SCOPED_TRACE(text.substr(0, 40) + " in blocks of " + std::to_string(block));
      PhotonList photons;
      PhotonParser parser(photons);
      std::vector<std::string> warnings;
      for (std::size_t at = 0; at < text.size() && parser.wants_input(); at += block) {
        parser.feed(std::string_view(text).substr(at, block));
        for (std::string& w : parser.take_warnings()) warnings.push_back(std::move(w));
      }
      parser.finish();
      for (std::string& w : parser.take_warnings()) warnings.push_back(std::move(w));
      std::optional<PhotonReadError> error = parser.error();
      if (!error) error = check_photon_count(photons);
      EXPECT_EQ(warnings, whole.warnings);
      EXPECT_EQ(error ? error->message : "", whole.error ? whole.error->message : "");
      ASSERT_EQ(photons.photon_count, whole_list.photon_count);
      for (int i = 0; i < photons.photon_count; ++i) {
        EXPECT_EQ(photons.photon_times[i], whole_list.photon_times[i]);
        EXPECT_EQ(photons.photon_types[i], whole_list.photon_types[i]);
      }
    }
  }
}

TEST(PhotonParser, StoredValuesAndSummary) {
  PhotonList photons;
  const PhotonParseOutcome outcome = parse_photon_text(
      record("0.1", "4") + record("1000", "6") + record("1000") + record("200000") +
          record("200000", "2") + record("262144") + record("262144") + kEnd,
      photons);
  ASSERT_FALSE(outcome.error);
  ASSERT_EQ(photons.photon_count, 7);
  const double expected_times[] = {
      static_cast<double>(0.1f), 1000, 1000.010009765625, 200000, 200000.015625, 262144, 262144};
  const int expected_types[] = {kAcceptorPhoton, kAcceptorPhoton, kDonorPhoton, kDonorPhoton,
                                kDonorPhoton,    kDonorPhoton,    kDonorPhoton};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(photons.photon_times[i], expected_times[i]) << i;
    EXPECT_EQ(photons.photon_types[i], expected_types[i]) << i;
  }
  EXPECT_EQ(photons.start_time, static_cast<double>(0.1f));
  EXPECT_EQ(photons.end_time, 262144);
  EXPECT_EQ(photon_summary(photons),
            "    Read 7 photons (5 donor, 2 acceptor).\n"
            "    Start time: 0.100000 mu s    End time: 262144.000000 mu s   (Length: "
            "262143.900000 mu s)\n");
}

TEST(PhotonParser, CapacityOfAMillionPhotons) {
  // Integral times below 2^24 are exact floats, so the file is sorted.
  std::string text;
  text.reserve(24u * 1000001u);
  for (int i = 1; i <= kPhotonCapacity; ++i) text += record(std::to_string(i), i % 2 ? "0" : "4");
  {
    PhotonList photons;
    const PhotonParseOutcome outcome = parse_photon_text(text + kEnd, photons);
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(photons.photon_count, kPhotonCapacity);
    EXPECT_EQ(photons.donor_count, kPhotonCapacity / 2);
    EXPECT_EQ(photons.end_time, 1000000);
  }
  PhotonList photons;
  const PhotonParseOutcome outcome =
      parse_photon_text(text + record("1000001", "6") + record("1000002"), photons);
  ASSERT_TRUE(outcome.error);
  EXPECT_EQ(outcome.error->message, "Maximum number of photons exceeded");
  EXPECT_EQ(outcome.error->record, 1000001);
  EXPECT_EQ(photons.photon_count, 1000001);
  EXPECT_EQ(photons.photon_times[1000000], 1000001);
  EXPECT_EQ(photons.photon_types[1000000], kAcceptorPhoton);
}

}  // namespace
}  // namespace pelmora
