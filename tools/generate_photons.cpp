// Writes a synthetic photon file for tests, benchmarks and demonstrations.
//
// Photons arrive as a Poisson process with the given rate.  Between two
// arrivals the dye-to-dye distance performs a Gaussian random walk with
// variance 2 * D * dt, reflected at the two bounds; each photon is an
// acceptor photon (code 4) with probability E(r) = 1 / (1 + (r/R0)^6) and a
// donor photon (code 0) otherwise.  Each record is one line
// "index 0 time code 0 0 0 0"; a final "-99999 0 0 0 0 0 0 0" ends the data.
//
// The output depends only on the options: the random numbers come from
// std::mt19937_64 through transformations written out here, not through the
// standard library's distributions, whose algorithms differ between
// implementations.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "number_text.h"
#include "random_source.h"

namespace {

const char kUsage[] =
    "usage: generate_photons [-n count] [-rate photons_per_us] [-D diff_coeff_1e-14_m2_per_s]\n"
    "                        [-R radius_nm] [-r0 start_distance_nm] [-min lower_bound_nm]\n"
    "                        [-max upper_bound_nm] [-t0 start_time_us] [-seed seed] [outfile]\n";

struct Options {
  long long count = 3000;
  double rate = 0.05;           // photons per microsecond
  double diff_coeff = 1.0;      // 1e-14 m^2/s
  double radius = 6.5;          // nm
  double start_distance = 6.5;  // nm
  double lower_bound = 0.0;     // nm
  double upper_bound = 20.0;    // nm
  double start_time = 0.0;      // microseconds
  std::uint64_t seed = 1;
  const char* outfile = nullptr;  // standard output when not given
};

[[noreturn]] void usage_exit(const std::string& reason) {
  std::fprintf(stderr, "generate_photons: %s\n%s", reason.c_str(), kUsage);
  std::exit(1);
}

template <typename Integer>
bool parse_integer(const char* text, Integer& value) {
  const char* const end = text + std::strlen(text);
  const std::from_chars_result result = std::from_chars(text, end, value);
  return result.ec == std::errc() && result.ptr == end && end != text;
}

Options parse_options(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (name.empty() || name[0] != '-') {
      if (options.outfile != nullptr) usage_exit("more than one output file");
      options.outfile = argv[i];
      continue;
    }
    if (i + 1 >= argc) usage_exit("missing value for " + std::string(name));
    const char* value = argv[++i];
    bool ok = false;
    if (name == "-n") {
      ok = parse_integer(value, options.count) && options.count >= 0;
    } else if (name == "-seed") {
      ok = parse_integer(value, options.seed);
    } else {
      double* target = name == "-rate"  ? &options.rate
                       : name == "-D"   ? &options.diff_coeff
                       : name == "-R"   ? &options.radius
                       : name == "-r0"  ? &options.start_distance
                       : name == "-min" ? &options.lower_bound
                       : name == "-max" ? &options.upper_bound
                       : name == "-t0"  ? &options.start_time
                                        : nullptr;
      if (target == nullptr) usage_exit("unknown option " + std::string(name));
      ok = parse_real(value, *target);
    }
    if (!ok) usage_exit("invalid value '" + std::string(value) + "' for " + std::string(name));
  }
  if (!(options.rate > 0)) usage_exit("the rate must be > 0");
  if (!(options.diff_coeff >= 0)) usage_exit("the diffusion coefficient must be >= 0");
  if (!(options.radius > 0)) usage_exit("the Foerster radius must be > 0");
  if (!(options.lower_bound < options.upper_bound)) usage_exit("-min must be below -max");
  if (!(options.start_distance >= options.lower_bound &&
        options.start_distance <= options.upper_bound)) {
    usage_exit("the starting distance must lie within [-min, -max]");
  }
  return options;
}

class Output {
 public:
  explicit Output(std::FILE* file) : file_(file) { buffer_.reserve(kFlushSize + 256); }

  void append(std::string_view text) {
    buffer_ += text;
    if (buffer_.size() >= kFlushSize) flush();
  }
  void flush() {
    std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
    buffer_.clear();
  }

 private:
  static constexpr std::size_t kFlushSize = std::size_t{1} << 20;
  std::FILE* file_;
  std::string buffer_;
};

}  // namespace

int main(int argc, char** argv) {
  const Options options = parse_options(argc, argv);
  std::FILE* file = options.outfile ? std::fopen(options.outfile, "w") : stdout;
  if (file == nullptr) {
    std::fprintf(stderr, "generate_photons: cannot write to %s\n", options.outfile);
    return 1;
  }

  RandomSource random(options.seed);
  Output output(file);
  // 1e-14 m^2/s = 1e-14 * 1e18 nm^2 / 1e6 us = 0.01 nm^2/us.
  const double diffusion = options.diff_coeff * 0.01;
  double time = options.start_time;
  double distance = options.start_distance;
  float previous = -std::numeric_limits<float>::infinity();
  char line[128];
  char time_text[64];

  for (long long index = 1; index <= options.count; ++index) {
    const double wait = random.exponential(options.rate);
    time += wait;
    distance += std::sqrt(2.0 * diffusion * wait) * random.normal();
    distance = reflect(distance, options.lower_bound, options.upper_bound);
    const double ratio = distance / options.radius;
    const double ratio3 = ratio * ratio * ratio;
    const double efficiency = 1.0 / (1.0 + ratio3 * ratio3);
    const int code = random.uniform() < efficiency ? 4 : 0;

    // The reader holds times as floats: keep them strictly increasing there.
    float stamp = static_cast<float>(time);
    if (!(stamp > previous))
      stamp = std::nextafter(previous, std::numeric_limits<float>::infinity());
    previous = stamp;
    const std::to_chars_result written =
        std::to_chars(time_text, time_text + sizeof time_text - 1, stamp, std::chars_format::fixed);
    *(written.ec == std::errc() ? written.ptr : time_text) = '\0';

    const int length =
        std::snprintf(line, sizeof line, "%lld 0 %s %d 0 0 0 0\n", index, time_text, code);
    output.append(std::string_view(line, static_cast<std::size_t>(length)));
  }
  output.append("-99999 0 0 0 0 0 0 0\n");
  output.flush();

  const bool failed = std::ferror(file) != 0;
  if ((file != stdout ? std::fclose(file) : std::fflush(file)) != 0 || failed) {
    std::fprintf(stderr, "generate_photons: writing the output failed\n");
    return 1;
  }
  return 0;
}
