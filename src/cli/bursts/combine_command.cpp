#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "base/error.h"
#include "cli/bursts/arguments.h"
#include "cli/bursts/commands.h"
#include "cli/bursts/joint_outputs.h"
#include "state/text_format.h"

namespace pelmora::bursts_cli {

namespace {

std::string read_share_text(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw Error(ErrorKind::kIo, "Could not read from file " + path);
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) throw Error(ErrorKind::kIo, "Could not read from file " + path);
  return text.str();
}

// The coefficients of the settings line, computed as the scan computed
// them: the shares' own "%.10g" values are for reading, not for arithmetic.
std::vector<double> coefficients_of(const std::string& settings, const std::string& name) {
  const std::size_t at = settings.find(" Dmin=");
  double min_coeff = 0;
  double max_coeff = 0;
  int runs = 0;
  if (at == std::string::npos ||
      std::sscanf(settings.c_str() + at, " Dmin=%lf Dmax=%lf n=%d", &min_coeff, &max_coeff,
                  &runs) != 3 ||
      !(min_coeff > 0 && min_coeff < max_coeff) || runs < 3) {
    throw Error(ErrorKind::kInput, "Share " + name + ": its settings line names no coefficients.");
  }
  return log_spaced_coefficients(min_coeff, max_coeff, runs);
}

// The model of the settings line ("model=chain:6"), free when it names none.
std::string model_of(const std::string& settings) {
  const std::size_t at = settings.find(" model=");
  if (at == std::string::npos) return "free";
  const std::size_t from = at + 7;
  return settings.substr(from, settings.find(' ', from) - from);
}

}  // namespace

void run_combine(CommandArguments words, Console& console) {
  OptionSet options;
  options.with_value.insert({"--loglik", "--joint", "-o"});
  options.with_value.insert(kEstimateOptions.begin(), kEstimateOptions.end());
  options.flags.insert("-q");
  const Arguments arguments("combine", words, options);
  const JointOutputs outputs = joint_outputs(arguments);
  const BootstrapOptions bootstrap = bootstrap_options(arguments);
  const std::vector<std::string>& names = arguments.names();
  if (names.empty()) {
    throw Error(ErrorKind::kOption, "pelmora-bursts combine takes the share files of one scan.");
  }
  std::vector<LoglikShare> shares;
  for (const std::string& name : names) {
    shares.push_back(parse_loglik_share(read_share_text(name), name));
  }
  JointReport report;
  report.bootstrap = bootstrap;
  report.bursts = combine_shares(shares, names);
  report.coefficients = coefficients_of(shares.front().header.settings, names.front());
  for (const LoglikShare& share : shares) {
    if (share.bursts.empty()) continue;
    bool agree = share.coefficients.size() == report.coefficients.size();
    for (std::size_t i = 0; agree && i < share.coefficients.size(); ++i) {
      agree =
          std::abs(share.coefficients[i] - report.coefficients[i]) <= 1e-9 * report.coefficients[i];
    }
    if (!agree) {
      throw Error(ErrorKind::kInput, "Share " + names.front() +
                                         ": its lines do not have the coefficients its settings "
                                         "line names.");
    }
  }
  report.left_out_reasons.assign(report.bursts.size(), "it was left out in its share");
  report.settings_text = shares.front().header.settings;
  report.model = model_of(report.settings_text);
  report.text_attributes = {{"settings", report.settings_text}};
  std::string share_names;
  for (const std::string& name : names) share_names += (share_names.empty() ? "" : ",") + name;
  report.text_attributes.push_back({"combined_from", share_names});
  finish_joint_report(report, outputs, console, arguments.flag("-q"));
}

}  // namespace pelmora::bursts_cli
