// The scan of a measurement through the library: shares of a scan, written
// and read back, put together are the scan, to the bit, in every field and
// every output; a scanned model parameter sums the bursts analysed at every
// value; shares of different scans are refused; the request's defaults and
// refusals.
#include "bursts/measurement_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "base/crc32.h"
#include "bursts/measurement_builder.h"
#include "pelmora/measurement.h"
#include "support/caught_error.h"
#include "support/run_binary.h"

namespace pelmora::testing {
namespace {

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// Some 20 bursts over a background of both channels.
const Measurement& measurement() {
  static const Measurement m = generated({{3000, 'D'}, {2000, 'A'}, {1000, 'd'}}, 2.0, 0.1, 60, 11);
  return m;
}

ScanRequest chain_request() {
  AnalysisOptions options;
  options.distance_bins = 50;
  ScanRequest request = request_for_range(derive_settings(options), {1e-15, 1e-13, 3});
  request.model = parse_model_scan("chain:4:8:3");
  return request;  // background: auto, the default with a confined model
}

MeasurementScan scan_of(const ScanRequest& request, const std::optional<Shard>& shard) {
  EngineOptions engine;
  engine.threads = 2;
  const BurstRecords records =
      measurement_records(measurement(), {}, request, shard, silent_observer());
  return scan_measurement(records, request, engine);
}

TEST(MeasurementScan, SharesWrittenAndReadBackAreTheScan) {
  const ScanRequest request = chain_request();
  const MeasurementScan whole = scan_of(request, std::nullopt);
  ASSERT_GE(whole.bursts.size(), 10u);
  ASSERT_EQ(whole.setup.request.background->mode, BackgroundChoice::Mode::kAuto);
  const Provenance provenance = provenance_of("pelmora-bursts scan m.h5 --shard 1/3");
  std::vector<MeasurementScan> shares;
  const std::vector<std::string> names = {"c.csv", "a.csv", "b.csv"};
  for (const long long index : {3, 1, 2}) {
    const MeasurementScan share = scan_of(request, Shard{index, 3});
    const ShareFile file = parse_share(share_text(share, provenance), "s.csv");
    EXPECT_EQ(file.header.provenance.command, provenance.command);
    EXPECT_EQ(file.header.provenance.version, kVersion);
    shares.push_back(file.scan);
  }
  const MeasurementScan combined = combine_scans(shares, names);
  EXPECT_TRUE(combined.setup == whole.setup);
  EXPECT_FALSE(combined.share);
  EXPECT_EQ(combined.simultaneous_photons, whole.simultaneous_photons);
  ASSERT_EQ(combined.bursts.size(), whole.bursts.size());
  for (std::size_t b = 0; b < whole.bursts.size(); ++b) {
    const ScannedBurst& x = whole.bursts[b];
    const ScannedBurst& y = combined.bursts[b];
    SCOPED_TRACE(b);
    EXPECT_EQ(y.position, x.position);
    EXPECT_EQ(y.window.number, x.window.number);
    EXPECT_TRUE(same_bits({y.window.t_start_s, y.window.t_stop_s},
                          {x.window.t_start_s, x.window.t_stop_s}));
    EXPECT_EQ(y.counts.donor, x.counts.donor);
    EXPECT_EQ(y.counts.acceptor, x.counts.acceptor);
    EXPECT_EQ(y.counts.photons, x.counts.photons);
    EXPECT_EQ(y.photons, x.photons);
    EXPECT_EQ(y.left_out, x.left_out);
    EXPECT_EQ(y.collapsed, x.collapsed);
    EXPECT_EQ(y.boundary_runs, x.boundary_runs);
    EXPECT_TRUE(same_bits(y.log_likelihood, x.log_likelihood));
    EXPECT_EQ(y.boundary_photons, x.boundary_photons);
    EXPECT_EQ(y.residue_dominates, x.residue_dominates);
  }
  // And so every output.
  const JointResult joint = joint_result(whole);
  const JointEstimate estimate = estimate_coefficient(whole, {200, 3});
  EXPECT_EQ(loglik_text(combined), loglik_text(whole));
  EXPECT_EQ(parameter_grid_text(*joint_result(combined).parameter_scan),
            parameter_grid_text(*joint.parameter_scan));
  EXPECT_EQ(summary_text(combined, joint_result(combined), estimate_coefficient(combined, {200, 3}),
                         provenance),
            summary_text(whole, joint, estimate, provenance));
}

// A burst left out at one value of a scanned parameter is out of every
// cell's sum, so that every cell sums the same bursts; P is normalised over
// all cells and the marginals are its sums; the outputs show the value of
// the joint maximum, and the estimate takes the cells D-major.
TEST(MeasurementScan, ParameterScanSumsTheBurstsAnalysedAtEveryValue) {
  MeasurementScan scan;
  scan.setup.request.coefficients = {1e-14, 2e-14};
  scan.setup.request.model = parse_model_scan("chain:4:6:2");
  scan.bursts.resize(3);
  // Cells (value p, coefficient i) at p * 2 + i.
  scan.bursts[0].log_likelihood = {-2, -1, -1, -3};
  scan.bursts[1].left_out = "it could not be analysed at every value of rms_nm";
  scan.bursts[2].log_likelihood = {-1, -4, -2, -1};
  for (ScannedBurst& burst : scan.bursts) burst.boundary_runs = {0, 0};
  const JointResult joint = joint_result(scan);
  ASSERT_TRUE(joint.parameter_scan);
  const ParameterScan& p = *joint.parameter_scan;
  EXPECT_EQ(p.analysed, (std::vector<char>{1, 0, 1}));
  EXPECT_EQ(p.joint_log_likelihood, (std::vector<double>{-3, -5, -3, -4}));
  const double e2 = std::exp(-2.0), e1 = std::exp(-1.0);
  const double total = 2 + e2 + e1;
  EXPECT_DOUBLE_EQ(p.probability[0], 1 / total);
  EXPECT_DOUBLE_EQ(p.marginal[0], 2 / total);
  EXPECT_DOUBLE_EQ(p.parameter_marginal[1], (1 + e1) / total);
  EXPECT_EQ(joint.shown, 0u);  // the first of the equal maxima
  EXPECT_EQ(joint.analysed, 2u);
  EXPECT_EQ(joint.joint_log_likelihood, (std::vector<double>{-3, -5}));
  EXPECT_EQ(joint.probability, p.marginal);

  AnalysedBursts rows;
  rows.cells = 4;
  rows.count = 2;
  rows.rows = {-2, -1, -1, -3, -1, -2, -4, -1};  // (coefficient i, value p) at i * 2 + p
  const JointEstimate expected = estimate_joint(rows, likelihood_grid(scan), {100, 5});
  const JointEstimate got = estimate_coefficient(scan, {100, 5});
  EXPECT_TRUE(same_bits(got.coefficient.resampled, expected.coefficient.resampled));
  EXPECT_TRUE(same_bits(got.parameter->resampled, expected.parameter->resampled));

  // Boundary artifacts count where the estimate rests (cell 0: the first
  // value, the smallest D), not at every coefficient.
  scan.bursts[0].boundary_photons = {0, 3, 0, 0};
  scan.bursts[0].boundary_runs = {1, 0};
  scan.bursts[2].boundary_photons = {2, 0, 0, 0};
  scan.bursts[2].boundary_runs = {1, 0};
  // Both axes of a two-value grid are edges, and both warn in the same words.
  std::string warned;
  for (const ScanWarning& w : result_warnings(scan, joint, &got, SettingWords{})) {
    warned += w.text + "\n";
  }
  for (const char* axis :
       {"possible boundary artifacts in 1 of 3 bursts at D = 1e-14 m^2/s, where the joint log L "
        "is largest (2 at some of the coefficients)",
        "largest at the smallest D of the grid (1e-14 m^2/s), so D may lie beyond it",
        "the grid of D, so the interval may reach beyond it",
        "largest at the largest rms_nm of the grid (6), so rms_nm may lie beyond it; widen the "
        "range of the model (--model chain:FROM:TO:COUNT).",
        "100 of 100 bootstrap resamples have their maximum at an edge of the grid of rms_nm"}) {
    EXPECT_NE(warned.find(axis), std::string::npos) << axis << "\n" << warned;
  }
}

// A share's text with the checksum of its first line made to match its
// lines (after a test changed them), or as format 2 wrote it, without one.
std::string with_checksum(std::string text) {
  const std::size_t lines = text.find('\n') + 1;
  const std::size_t at = text.find("\"data_crc32\":\"") + 14;
  text.replace(at, 8, crc32_text(crc32_of(std::string_view(text).substr(lines))));
  return text;
}

std::string without_checksum(std::string text) {
  text.erase(text.find(",\"data_crc32\":\""), 24);
  text.replace(text.find("\"format_version\":3"), 18, "\"format_version\":2");
  return text;
}

TEST(MeasurementScan, RefusesSharesThatAreNotOneScan) {
  const ScanRequest request = chain_request();
  const Provenance provenance = provenance_of("scan");
  const std::string first = share_text(scan_of(request, Shard{1, 2}), provenance);
  const MeasurementScan second = scan_of(request, Shard{2, 2});
  ScanRequest other = request;
  other.background = BackgroundChoice{BackgroundChoice::Mode::kRates, 100, 100};
  const MeasurementScan foreign = scan_of(other, Shard{2, 2});
  const MeasurementScan one = parse_share(first, "1.csv").scan;
  const std::vector<std::string> names = {"1.csv", "2.csv"};
  const auto combined = [&](std::vector<MeasurementScan> shares) {
    return caught_error([&] { combine_scans(shares, names); });
  };
  const auto parsed = [](const std::string& text) {
    return caught_error([&] { parse_share(text, "s.csv"); });
  };
  std::string damaged = first;
  damaged.replace(damaged.find("\"format_version\":3"), 18, "\"format_version\":\"3\"");
  std::string shifted = first;
  const std::size_t line = shifted.find("\n", shifted.find("log_L\n") + 6) + 1;
  shifted.insert(line, "7");   // the second burst's first line names burst 7...
  std::string edited = first;  // ...and a log L changed behind the checksum's back
  edited[edited.size() - 3] = edited[edited.size() - 3] == '1' ? '2' : '1';
  MeasurementScan elsewhere = second;  // as if of another measurement of the same size
  std::get<MeasurementSource>(elsewhere.setup.source).photons_crc32 = "0badf00d";
  const std::string old_share = "# pelmora-bursts share 1/2 of 20 bursts; settings: R=6.5\n" +
                                first.substr(first.find('\n') + 1);
  const std::string old_format = without_checksum(first);
  std::string later = first;
  later.replace(later.find(kVersion), std::strlen(kVersion), "99.0.0");
  struct Case {
    std::optional<Error> error;
    const char* says;
  };
  const Case cases[] = {
      {combined({one, foreign}), "Shares 1.csv and 2.csv come from different runs"},
      {combined({one, elsewhere}), "Shares 1.csv and 2.csv are of different measurements"},
      {combined({one, one}), "Share 1/2 is given twice (2.csv)"},
      {combined({one}), "Share 2/2 is missing"},
      {parsed("burst,t_start_s\n"), "s.csv: line 1: not a share of a joint scan"},
      {parsed(old_share), "written by an earlier version of pelmora-bursts"},
      {parsed(later), "written by pelmora 99.0.0"},
      {parsed(damaged), "s.csv: line 1: the description of the share is damaged"},
      {parsed(with_checksum(shifted)), "Share s.csv, line"},
      {parsed(edited), "s.csv: its lines do not match the checksum of its first line"},
      {parsed(first.substr(0, first.size() - 6)), "s.csv: line"},
      {parsed(first.substr(0, first.size() - 6)), "is cut short (it has no line end)"},
      {parsed(old_format.substr(0, old_format.size() - 20)), "is cut short"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(c.error) << c.says;
    EXPECT_EQ(c.error->kind(), ErrorKind::kInput) << c.says;
    EXPECT_NE(c.error->message().find(c.says), std::string::npos) << c.error->message();
  }
  EXPECT_NO_THROW(combine_scans(std::vector<MeasurementScan>{one, second}, names));
}

// A share of format 2 is read with a warning; a burst whose log L came out
// NaN is carried as left out, never breaking the combine; a share file is
// read within bounds that follow from its first line.
TEST(MeasurementScan, SharesOfAnEarlierFormatNaNAndBounds) {
  const ScanRequest request = chain_request();
  const Provenance provenance = provenance_of("scan");
  const MeasurementScan original = scan_of(request, Shard{1, 2});
  MeasurementScan first = original;
  const MeasurementScan second = scan_of(request, Shard{2, 2});
  const std::vector<std::string> names = {"1.csv", "2.csv"};

  const ShareFile old = parse_share(without_checksum(share_text(first, provenance)), "s.csv");
  ASSERT_EQ(old.warnings.size(), 1u);
  EXPECT_NE(old.warnings[0].find("Share s.csv carries no checksum"), std::string::npos);
  EXPECT_TRUE(parse_share(share_text(first, provenance), "s.csv").warnings.empty());

  const auto analysed = std::find_if(first.bursts.begin(), first.bursts.end(),
                                     [](const ScannedBurst& b) { return b.left_out.empty(); });
  ASSERT_NE(analysed, first.bursts.end());
  analysed->log_likelihood[1] = std::nan("");
  const ShareFile carried = parse_share(share_text(first, provenance), "s.csv");
  const ScannedBurst& burst = carried.scan.bursts[analysed - first.bursts.begin()];
  EXPECT_TRUE(burst.collapsed);
  EXPECT_FALSE(burst.left_out.empty());
  EXPECT_TRUE(burst.log_likelihood.empty());
  const MeasurementScan combined =
      combine_scans(std::vector<MeasurementScan>{carried.scan, second}, names);
  const JointResult joint = joint_result(combined);
  const std::vector<MeasurementScan> intact = {original, second};
  EXPECT_EQ(joint.analysed + 1, joint_result(combine_scans(intact, names)).analysed);
  for (const double p : joint.probability) EXPECT_TRUE(std::isfinite(p));

  ScratchDir folder;
  folder.write("blank.csv",
               share_text(second, provenance) + std::string(kShareBlankLines + 10, '\n'));
  folder.write("s.csv", share_text(second, provenance));
  EXPECT_EQ(read_share_file((folder / "s.csv").string()).scan.bursts.size(), second.bursts.size());
  const struct {
    std::string path;
    const char* says;
  } refused[] = {
      {(folder / "blank.csv").string(), "lines, more than such a file may hold"},
      {"/dev/zero", "Share /dev/zero, line 1: the line is longer than 67108864 bytes"},
  };
  for (const auto& c : refused) {
    const std::optional<Error> error = caught_error([&] { read_share_file(c.path); });
    ASSERT_TRUE(error) << c.path;
    EXPECT_NE(error->message().find(c.says), std::string::npos) << error->message();
  }
}

// Background auto is the default with a confined model on a measurement
// only; a request's refusals; corrections other than none wait for the
// engine to take them.
TEST(ScanRequest, DefaultsAndRefusals) {
  const ModelScan free = parse_model_scan("free");
  const ModelScan chain = parse_model_scan("chain:6");
  EXPECT_EQ(default_background(chain, true).mode, BackgroundChoice::Mode::kAuto);
  EXPECT_EQ(default_background(chain, false).mode, BackgroundChoice::Mode::kOff);
  EXPECT_EQ(default_background(free, true).mode, BackgroundChoice::Mode::kOff);

  const ScanRequest fine = request_for_range(derive_settings({}), {1e-16, 1e-13, 4});
  const auto refused = [&](auto change, bool measurement) {
    ScanRequest request = fine;
    change(request);
    return caught_error([&] { check_request(request, measurement); });
  };
  struct Case {
    std::optional<Error> error;
    const char* says;
  };
  const Case cases[] = {
      {refused([](ScanRequest& r) { r.coefficients.clear(); }, true), "No diffusion coefficients"},
      {refused([](ScanRequest& r) { r.coefficients[2] = r.coefficients[1]; }, true),
       "must increase"},
      {refused([](ScanRequest& r) { r.coefficients[0] = -1; }, true), "positive finite"},
      {refused([](ScanRequest& r) { r.background = parse_background_choice("auto"); }, false),
       "The background auto is estimated from a measurement"},
      // Each correction's range: corrected_colours_test.
      {refused([](ScanRequest& r) { r.corrections.leakage = 1; }, true), "--leakage 1"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(c.error) << c.says;
    EXPECT_NE(c.error->message().find(c.says), std::string::npos) << c.error->message();
  }
  EXPECT_FALSE(refused([](ScanRequest&) {}, false));
}

// A request travels as text (to the processes of a distributed scan) and
// comes back the same, every model kind with it; the command of a run is
// recorded as a shell reads it back.
TEST(ScanRequest, TextRoundTripAndCommandLine) {
  const ScratchDir dir;
  dir.write("p m f.txt", "1 0\n2 1\n4 0.5\n");
  const std::vector<std::string> models = {"free", "chain:6", "box:2:10", "chain:4:8:3",
                                           "pmf:" + (dir / "p m f.txt").string()};
  for (const std::string& model : models) {
    ScanRequest request = request_for_range(derive_settings({}), {1e-16, 1e-13, 4});
    request.model = parse_model_scan(model);
    request.background = parse_background_choice("1500.5,0");
    EXPECT_TRUE(request_from_text(request_text(request), "r") == request) << model;
  }
  const std::string_view words[] = {"pelmora-bursts", "scan", "a b.h5", "--model", "pmf:x'y", ""};
  EXPECT_EQ(shell_command(words), "pelmora-bursts scan 'a b.h5' --model 'pmf:x'\\''y' ''");
}

}  // namespace
}  // namespace pelmora::testing
