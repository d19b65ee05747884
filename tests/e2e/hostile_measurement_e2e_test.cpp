// pelmora-bursts against inputs that would take all the memory or block for
// ever: Photon-HDF5 files that declare far more than they store, a pipe or
// a device in place of a file, text inputs without end, and timestamps
// whose span exceeds the int64 range.  Each case runs the program in a child
// under an address-space cap of 300 MB and must end in a clean refusal
// (status 1, the file and the problem named), never a crash or a hang.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "support/photon_hdf5_file.h"
#include "support/run_binary.h"

namespace pelmora::testing {
namespace {

namespace fs = std::filesystem;

const std::string kBursts = (fs::path(PELMORA_BINARY).parent_path() / "pelmora-bursts").string();

// AddressSanitizer reserves terabytes of address space for its shadow, so
// the sanitized build runs the cases without the cap (they must still end
// with the refusal, and not hang).
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PELMORA_UNDER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(PELMORA_UNDER_ASAN)
const std::string kMemoryCap;
#else
const std::string kMemoryCap = "ulimit -v 307200;";  // KiB: 300 MB
#endif

// Runs pelmora-bursts in `folder` after `shell_setup`; `timeout` turns a
// hang into a failure instead of a stalled suite.
ProcessResult run_capped(const std::vector<std::string>& arguments, const ScratchDir& folder,
                         const std::string& shell_setup = "") {
  std::vector<std::string> words = {
      "-c", kMemoryCap + shell_setup + " exec timeout -s KILL 120 \"$0\" \"$@\"", kBursts};
  words.insert(words.end(), arguments.begin(), arguments.end());
  return run_program("/bin/bash", words, folder.path(), {"PELMORA_THREADS=2"});
}

using Tweak = std::function<void(PhotonHdf5Recipe&)>;

void replace_timestamps(PhotonHdf5Recipe& r, hsize_t declared, hsize_t chunk, hsize_t written) {
  r.detectors.reset();
  r.acceptor.reset();
  r.extra = [=](const hdf5::File& f) {
    H5Ldelete(f.id(), "/photon_data/timestamps", H5P_DEFAULT);
    declare_integers(f, "/photon_data/timestamps", declared, chunk, written);
  };
}

const std::string kSettings = "/photon_data/measurement_specs";

struct Case {
  const char* name;
  Tweak tweak;                     // of the measurement m.h5
  std::vector<std::string> words;  // the command
  std::string refusal;             // the end of the console text
  std::string shell_setup = "";
};

std::vector<Case> cases() {
  const Tweak us_alex = [](PhotonHdf5Recipe& r) {
    r.type = "smFRET-usALEX";
    r.period = {20.0};
    r.window = {{0, 10}};
  };
  const std::vector<std::string> info = {"info", "m.h5"};
  const std::vector<std::string> scan = {"scan", "m.h5", "-n",       "3",
                                         "-d",   "50",   "--loglik", "l.csv"};
  std::vector<std::string> table_scan = scan;
  table_scan.insert(table_scan.end(), {"--bursts", "bursts"});
  std::vector<std::string> pmf_scan = scan;
  pmf_scan.insert(pmf_scan.end(), {"--model", "pmf:pmf"});
  const std::string endless_line =
      "line 1: the line is longer than 1048576 bytes, more than "
      "such a file may hold.\n";
  return {
      // Metadata that declare far more values than the format allows.
      {"a detector list declaring 2e8 ids",
       [](PhotonHdf5Recipe& r) {
         r.donor.reset();
         r.extra = [](const hdf5::File& f) {
           declare_integers(f, kSettings + "/detectors_specs/spectral_ch1", 200000000, 1 << 16);
         };
       },
       info,
       kSettings + "/detectors_specs/spectral_ch1 in file m.h5 is not a list of at most 4096 "
                   "detector ids.\n"},
      {"a donor window declaring 1e8 values",
       [us_alex](PhotonHdf5Recipe& r) {
         us_alex(r);
         r.window.reset();
         r.extra = [](const hdf5::File& f) {
           declare_integers(f, kSettings + "/alex_excitation_period1", 100000000, 1 << 16);
         };
       },
       info,
       kSettings + "/alex_excitation_period1 in file m.h5 is not a pair of numbers (start, "
                   "stop).\n"},
      {"a measurement type declaring 1 GB",
       [](PhotonHdf5Recipe& r) {
         r.type.reset();
         r.extra = [](const hdf5::File& f) {
           declare_text(f, kSettings + "/measurement_type", std::size_t{1} << 30);
         };
       },
       info,
       kSettings + "/measurement_type in file m.h5 is not a text string of at most 4096 "
                   "bytes.\n"},
      // Photon arrays that declare far more than they store.
      {"timestamps declaring 1e9 values in one stored chunk",
       [](PhotonHdf5Recipe& r) { replace_timestamps(r, 1000000000, 4096, 4096); }, info,
       "/photon_data/timestamps in file m.h5 declares 1000000000 values but stores 1 of the "
       "244141 chunks that hold them: the rest were never written.\n"},
      {"timestamps declaring 1e10 values",
       [](PhotonHdf5Recipe& r) { replace_timestamps(r, 10000000000, 4096, 0); }, info,
       "/photon_data/timestamps in file m.h5 declares 10000000000 values but stores 0 of the "
       "2441407 chunks that hold them: the rest were never written.\n"},
      {"timestamps in chunks of 1 GiB",
       [](PhotonHdf5Recipe& r) { replace_timestamps(r, hsize_t{1} << 27, hsize_t{1} << 27, 0); },
       info,
       "/photon_data/timestamps in file m.h5 is stored in chunks of 1073741824 bytes; chunks of "
       "at most 64 MiB can be read.\n"},
      // What is no file at all.
      {"a pipe for the measurement",
       nullptr,
       {"info", "fifo.h5"},
       "Could not read from file fifo.h5: it is a pipe, not a regular file.\n",
       "mkfifo fifo.h5;"},
      {"a pipe for scan's measurement (never opened)",
       nullptr,
       {"scan", "fifo.h5", "--loglik", "out.csv"},
       "Could not read from file fifo.h5: it is a pipe, not a regular file.\n",
       "mkfifo fifo.h5;"},
      {"a device for the measurement",
       nullptr,
       {"search", "/dev/zero", "-o", "b.csv"},
       "Could not read from file /dev/zero: it is a device, not a regular file.\n"},
      // Text inputs without end.
      {"/dev/zero for the burst table", nullptr, table_scan, "Burst table bursts, " + endless_line,
       "ln -s /dev/zero bursts;"},
      {"/dev/zero for the potential table", nullptr, pmf_scan,
       "Potential file pmf, " + endless_line, "ln -s /dev/zero pmf;"},
      {"/dev/zero for a share",
       nullptr,
       {"combine", "/dev/zero", "--loglik", "out.csv"},
       "Share /dev/zero, line 1: the line is longer than 67108864 bytes, more than such a file "
       "may hold.\n"},
      {"an endless pipe of blank lines for the burst table", nullptr, table_scan,
       "Burst table bursts, line 10000001: the file goes on beyond 10000000 lines, more than such "
       "a file may hold.\n",
       "mkfifo bursts; (yes '' > bursts &);"},
      {"an endless pipe of comments for the potential table", nullptr, pmf_scan,
       "Potential file pmf, line 1000001: the file goes on beyond 1000000 lines, more than such "
       "a file may hold.\n",
       "mkfifo pmf; (yes '#' > pmf &);"},
      // Timestamps from -2^63 + 5 on: a span beyond int64, at 12.5 ns per
      // tick 3650 years, which the background windows of a minute refuse.
      {"a span beyond int64 (info)",
       [](PhotonHdf5Recipe& r) {
         r.timestamps = {
             std::numeric_limits<std::int64_t>::min() + 5, 1000, 2000, 3000, 4000, 5000};
       },
       info, "A background window of 60 s cuts the measurement into more than 1000000 windows.\n"},
      {"a span beyond int64 (search)",
       [](PhotonHdf5Recipe& r) {
         r.timestamps = {
             std::numeric_limits<std::int64_t>::min() + 5, 1000, 2000, 3000, 4000, 5000};
       },
       {"search", "m.h5", "-o", "b.csv"},
       "A background window of 60 s cuts the measurement into more than 1000000 windows.\n"},
      {"a span beyond int64 (scan)",
       [](PhotonHdf5Recipe& r) {
         r.timestamps = {
             std::numeric_limits<std::int64_t>::min() + 5, 1000, 2000, 3000, 4000, 5000};
       },
       scan, "A background window of 60 s cuts the measurement into more than 1000000 windows.\n"},
  };
}

TEST(HostileMeasurement, RefusedWithinBoundedMemory) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    ScratchDir folder;
    PhotonHdf5Recipe recipe;
    if (c.tweak) c.tweak(recipe);
    write_photon_hdf5((folder / "m.h5").string(), recipe);
    const ProcessResult result = run_capped(c.words, folder, c.shell_setup);
    EXPECT_EQ(result.status, 1) << result.standard_error;
    EXPECT_TRUE(result.standard_error.ends_with("\n\nERROR: " + c.refusal))
        << result.standard_error;
  }
}

// The same span with ticks of 1 ps (107 days) is a measurement like any
// other: its duration comes out right.
TEST(HostileMeasurement, SpanBeyondInt64IsMeasuredRight) {
  ScratchDir folder;
  PhotonHdf5Recipe recipe;
  recipe.timestamps = {std::numeric_limits<std::int64_t>::min() + 5, 1000, 2000, 3000, 4000, 5000};
  recipe.unit = 1e-12;
  write_photon_hdf5((folder / "m.h5").string(), recipe);
  const ProcessResult result = run_capped({"info", "m.h5"}, folder);
  EXPECT_EQ(result.status, 0) << result.standard_error;
  EXPECT_NE(result.standard_output.find(
                "Duration: 9223372.036855 s (from -9223372.036855 s to 0.000000 s)\n"),
            std::string::npos)
      << result.standard_output;
}

}  // namespace
}  // namespace pelmora::testing
