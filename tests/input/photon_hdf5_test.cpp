// The Photon-HDF5 reader on small files written field by field: every
// measurement type and stored layout it must read, and every file it must
// refuse, with the exact message.
#include "input/photon_hdf5.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "support/caught_error.h"
#include "support/photon_hdf5_file.h"
#include "support/run_binary.h"

namespace pelmora::testing {
namespace {

using Tweak = std::function<void(PhotonHdf5Recipe&)>;

// Flags of a kept photon.
constexpr std::uint8_t kD = 0;                  // donor channel, acceptor laser
constexpr std::uint8_t kA = kAcceptorChannel;   // acceptor channel, acceptor laser
constexpr std::uint8_t kDD = kDonorExcitation;  // donor channel, donor laser
constexpr std::uint8_t kAD = kAcceptorChannel | kDonorExcitation;  // acceptor channel, donor laser

PhotonHdf5Recipe recipe(const Tweak& tweak) {
  PhotonHdf5Recipe result;
  if (tweak) tweak(result);
  return result;
}

// The default recipe: detector 7 is a marker between donor 0 and acceptor 1.
const std::vector<std::int64_t> kDefaultKept = {10, 20, 30, 50, 60};
const std::vector<std::uint8_t> kDefaultFlags = {kDD, kAD, kDD, kAD, kDD};

struct ReadCase {
  const char* name;
  Tweak tweak;
  MeasurementOverrides overrides;
  std::vector<std::int64_t> timestamps = kDefaultKept;
  std::vector<std::uint8_t> flags = kDefaultFlags;
};

std::vector<ReadCase> read_cases() {
  MeasurementOverrides relabelled;
  relabelled.measurement_type = "smFRET-usALEX";
  relabelled.alex_period = 20;
  relabelled.donor_window = std::pair<std::int64_t, std::int64_t>{0, 10};
  MeasurementOverrides spot_two;
  spot_two.spot = 2;
  MeasurementOverrides spot_zero;
  spot_zero.spot = 0;
  return {
      {"smFRET: every photon donor-excited", nullptr, {}},
      {"usALEX: offset, wrapping window, negative time, float period",
       [](PhotonHdf5Recipe& r) {
         // phase = (t - 5) mod 20 = 12, 1, 4, -, 2, 16; donor laser when >= 10 or < 2
         r.type = "smFRET-usALEX";
         r.timestamps = {-3, 6, 9, 40, 47, 61};
         r.period = {20.0};
         r.offset = {{5}};
         r.window = {{10, 2}};
       },
       {},
       {-3, 6, 9, 47, 61},
       {kDD, kAD, kD, kA, kDD}},
      {"nsALEX: two nanotime windows",
       [](PhotonHdf5Recipe& r) {
         r.type = "smFRET-nsALEX";
         r.nanotimes = {{5, 100, 15, 0, 12, 40}};
         r.window = {{0, 10, 30, 50}};
       },
       {},
       kDefaultKept,
       {kDD, kA, kD, kA, kDD}},
      {"overrides apply where the file lacks the fields",
       nullptr,
       relabelled,
       kDefaultKept,
       {kD, kAD, kD, kA, kDD}},
      {"fixed NUL-padded strings",
       [](PhotonHdf5Recipe& r) { r.encoding = hdf5::StringEncoding::kNulPadded; },
       {}},
      {"variable-length strings",
       [](PhotonHdf5Recipe& r) { r.encoding = hdf5::StringEncoding::kVariableLength; },
       {}},
      {"uint32 timestamps, int16 detectors with arbitrary ids",
       [](PhotonHdf5Recipe& r) {
         r.timestamp_type = hdf5::IntegerType::kUInt32;
         r.detector_type = hdf5::IntegerType::kInt16;
         r.detectors = {{-5, 300, -5, 7, 300, -5}};
         r.donor = {{-5}};
         r.acceptor = {{300}};
       },
       {}},
      {"gzip-compressed arrays in several chunks", [](PhotonHdf5Recipe& r) { r.gzip = true; }, {}},
      {"version 0.4 named only in /identity",
       [](PhotonHdf5Recipe& r) {
         r.root_format_name.reset();
         r.version = "0.4";
       },
       {}},
      {"two detectors per channel",
       [](PhotonHdf5Recipe& r) {
         r.detectors = {{0, 1, 2, 7, 3, 2}};
         r.donor = {{0, 2}};
         r.acceptor = {{1, 3}};
       },
       {}},
      {"one detector and no detectors array",
       [](PhotonHdf5Recipe& r) {
         r.detectors.reset();
         r.donor = {{4}};
         r.acceptor.reset();
       },
       {},
       {10, 20, 30, 40, 50, 60},
       {kDD, kDD, kDD, kDD, kDD, kDD}},
      {"spot 2 of a multi-spot file with gaps",
       [](PhotonHdf5Recipe& r) {
         r.groups = {"/photon_data0", "/photon_data2", "/photon_data5"};
       },
       spot_two},
      {"spot 0 of a single-spot file", nullptr, spot_zero},
      {"a channel through soft links within the file",
       [](PhotonHdf5Recipe& r) {
         r.acceptor.reset();
         r.extra = [](const hdf5::File& f) {
           hdf5::write_integers(f, "/user/ids/acceptor", std::vector<std::int64_t>{1});
           soft_link(f, "/user/channel", "ids");
           soft_link(f, "/photon_data/measurement_specs/detectors_specs/spectral_ch2",
                     "/user/channel/acceptor");
         };
       },
       {}},
      {"usALEX without alex_offset or alex_excitation_period2: no shift",
       [](PhotonHdf5Recipe& r) {
         // phase = t mod 20 = 10, 0, 10, 10, 0 for the kept photons
         r.type = "smFRET-usALEX";
         r.period = {20.0};
         r.window = {{0, 10}};
       },
       {},
       kDefaultKept,
       {kD, kAD, kD, kA, kDD}},
  };
}

TEST(PhotonHdf5Reader, ReadsEveryTypeAndStoredLayout) {
  ScratchDir folder;
  const std::string path = (folder / "m.h5").string();
  for (const ReadCase& c : read_cases()) {
    SCOPED_TRACE(c.name);
    write_photon_hdf5(path, recipe(c.tweak));
    const Measurement measurement = read_photon_hdf5(path, c.overrides);
    EXPECT_EQ(measurement.timestamps, c.timestamps);
    EXPECT_EQ(measurement.flags, c.flags);
  }
}

TEST(PhotonHdf5Reader, DescribesTheWholeSpot) {
  ScratchDir folder;
  const std::string path = (folder / "m.h5").string();
  write_photon_hdf5(path, recipe([](PhotonHdf5Recipe& r) {
                      r.groups = {"/photon_data0", "/photon_data2", "/photon_data5"};
                      r.type = "smFRET-usALEX";
                      r.period = {20.0};
                      r.window = {{0, 10}};
                    }));
  MeasurementOverrides overrides;
  overrides.spot = 5;
  overrides.measurement_type = "smFRET-usALEX";
  overrides.alex_offset = 5;
  const MeasurementDescription d = read_photon_hdf5(path, overrides).description;
  EXPECT_EQ(d.path, path);
  EXPECT_EQ(d.file_size, std::filesystem::file_size(path));
  EXPECT_EQ(d.format_version, "0.5");
  EXPECT_EQ(d.measurement_type, "smFRET-usALEX");
  EXPECT_EQ(d.stored_measurement_type, "smFRET-usALEX");
  EXPECT_EQ(d.spots, (std::vector<int>{0, 2, 5}));
  EXPECT_EQ(d.spot, 5);
  EXPECT_EQ(d.timestamps_unit, 12.5e-9);
  EXPECT_EQ(d.donor_detectors, std::vector<std::int64_t>{0});
  EXPECT_EQ(d.acceptor_detectors, std::vector<std::int64_t>{1});
  ASSERT_TRUE(d.alex);
  EXPECT_EQ(d.alex->period, 20);
  EXPECT_EQ(d.alex->offset, 5);
  EXPECT_EQ(d.alex->donor_start, 0);
  EXPECT_EQ(d.alex->donor_stop, 10);
  // phase = (t - 5) mod 20 = 5, 15, 5, 15, 5, 15 for t = 10 ... 60, on detectors
  // 0, 1, 0, 7, 1, 0: the donor window [0, 10) takes the first, third and fifth.
  ASSERT_EQ(d.detectors.size(), 3u);
  const std::int64_t expected[3][3] = {{0, 3, 2}, {1, 2, 1}, {7, 1, 0}};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(d.detectors[i].detector, expected[i][0]);
    EXPECT_EQ(d.detectors[i].photons, expected[i][1]);
    EXPECT_EQ(d.detectors[i].donor_excited, expected[i][2]);
  }
  EXPECT_EQ(d.first_timestamp, 10);
  EXPECT_EQ(d.last_timestamp, 60);
}

// Replaces the deflate filter of every dataset's pipeline by LZF (id 32000),
// which plain HDF5 lacks.  A version-1 pipeline message names each filter:
// id (2 bytes), name length (2), flags (2), value count (2), then the name.
void patch_deflate_to_lzf(const std::string& path) {
  std::string bytes = read_file(path);
  const std::string name("deflate\0", 8);
  int patched = 0;
  for (std::size_t at = bytes.find(name); at != std::string::npos; at = bytes.find(name, at + 1)) {
    if (at < 8 || bytes[at - 8] != 1 || bytes[at - 7] != 0 || bytes[at - 6] != 8) continue;
    bytes[at - 8] = 0x00;
    bytes[at - 7] = 0x7D;
    bytes.replace(at, 8, std::string("lzf\0\0\0\0\0", 8));
    ++patched;
  }
  ASSERT_GT(patched, 0) << "no deflate filter message found in " << path;
  write_file(path, bytes);
}

void truncate_to_half(const std::string& path) {
  std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
}

struct RefusalCase {
  const char* name;
  Tweak tweak;
  MeasurementOverrides overrides;
  std::string message;  // @ stands for the file's path
  std::function<void(const std::string&)> damage = nullptr;
  ErrorKind kind = ErrorKind::kInput;
};

std::vector<RefusalCase> refusal_cases() {
  MeasurementOverrides spot_three;
  spot_three.spot = 3;
  MeasurementOverrides spot_one;
  spot_one.spot = 1;
  MeasurementOverrides negative_period;
  negative_period.alex_period = -4;
  const Tweak multi_spot = [](PhotonHdf5Recipe& r) {
    r.groups = {"/photon_data0", "/photon_data2", "/photon_data5"};
  };
  const Tweak us_alex = [](PhotonHdf5Recipe& r) {
    r.type = "smFRET-usALEX";
    r.period = {20.0};
    r.window = {{0, 10}};
  };
  const std::string settings = "/photon_data/measurement_specs";
  return {
      {"no file",
       nullptr,
       {},
       "Could not read from file @",
       [](const std::string& path) { std::filesystem::remove(path); },
       ErrorKind::kIo},
      {"not HDF5",
       nullptr,
       {},
       "File @ is not an HDF5 file.",
       [](const std::string& path) { write_file(path, "timestamps\n1 2 3\n"); }},
      {"cut short",
       [](PhotonHdf5Recipe& r) { r.gzip = true; },
       {},
       "File @ is a damaged or truncated HDF5 file.",
       truncate_to_half},
      {"compressed with a filter HDF5 lacks",
       [](PhotonHdf5Recipe& r) { r.gzip = true; },
       {},
       "/photon_data/timestamps in file @ is compressed with HDF5 filter 32000 (lzf), which this "
       "HDF5 library does not provide.",
       patch_deflate_to_lzf},
      {"HDF5 but not Photon-HDF5",
       [](PhotonHdf5Recipe& r) {
         r.root_format_name.reset();
         r.identity = false;
       },
       {},
       "File @ is an HDF5 file but not a Photon-HDF5 file (it has no format_name)."},
      {"another format",
       [](PhotonHdf5Recipe& r) { r.root_format_name = "Photon-HDF4"; },
       {},
       "File @ is not a Photon-HDF5 file: its format_name is 'Photon-HDF4'."},
      {"version 0.3",
       [](PhotonHdf5Recipe& r) { r.version = "0.3"; },
       {},
       "File @ is Photon-HDF5 version 0.3; versions 0.4 and 0.5 can be read."},
      {"both /photon_data and numbered spots",
       [](PhotonHdf5Recipe& r) {
         r.groups = {"/photon_data", "/photon_data1"};
       },
       {},
       "File @ has both /photon_data and numbered spots (1): it is neither single- nor "
       "multi-spot."},
      {"multi-spot without a spot",
       multi_spot,
       {},
       "File @ is a multi-spot file (spots 0, 2, 5): choose a spot."},
      {"a spot that does not exist", multi_spot, spot_three,
       "File @ has no spot 3; its spots are 0, 2, 5."},
      {"spot 1 of a single-spot file", nullptr, spot_one,
       "File @ has no spot 1: it holds a single spot (/photon_data), spot 0."},
      {"no timestamps unit",
       [](PhotonHdf5Recipe& r) { r.unit.reset(); },
       {},
       "File @ has no dataset /photon_data/timestamps_specs/timestamps_unit."},
      {"a zero unit",
       [](PhotonHdf5Recipe& r) { r.unit = 0.0; },
       {},
       "/photon_data/timestamps_specs/timestamps_unit in file @ is 0; it must be a positive "
       "finite number of seconds."},
      {"an infinite unit",
       [](PhotonHdf5Recipe& r) { r.unit = std::numeric_limits<double>::infinity(); },
       {},
       "/photon_data/timestamps_specs/timestamps_unit in file @ is inf; it must be a positive "
       "finite number of seconds."},
      {"no measurement type",
       [](PhotonHdf5Recipe& r) { r.type.reset(); },
       {},
       "File @ has no dataset " + settings + "/measurement_type."},
      {"an unknown measurement type",
       [](PhotonHdf5Recipe& r) { r.type = "smFRET-usALEX-3c"; },
       {},
       "Measurement type 'smFRET-usALEX-3c' of file @ cannot be read; the readable types are "
       "smFRET, smFRET-usALEX and smFRET-nsALEX."},
      {"no acceptor channel",
       [](PhotonHdf5Recipe& r) { r.acceptor.reset(); },
       {},
       "File @ has no dataset " + settings + "/detectors_specs/spectral_ch2."},
      {"a detector in both channels",
       [](PhotonHdf5Recipe& r) {
         r.acceptor = {{0, 1}};
       },
       {},
       "File @ names detector 0 both donor (spectral_ch1) and acceptor (spectral_ch2) channel."},
      {"no detectors array although two detectors",
       [](PhotonHdf5Recipe& r) { r.detectors.reset(); },
       {},
       "File @ has no /photon_data/detectors, which only a measurement with one detector may "
       "omit, but its detector channels name 0, 1."},
      {"an ALEX period of 0",
       [us_alex](PhotonHdf5Recipe& r) {
         us_alex(r);
         r.period = {0.0};
       },
       {},
       "The ALEX period of file @ is 0 (" + settings + "/alex_period); it must be positive."},
      {"a negative ALEX period given", us_alex, negative_period,
       "The ALEX period of file @ is -4 (as given); it must be positive."},
      {"a fractional ALEX period",
       [us_alex](PhotonHdf5Recipe& r) {
         us_alex(r);
         r.period = {2.5};
       },
       {},
       settings + "/alex_period in file @ is not made of whole numbers."},
      {"a usALEX window of three numbers",
       [us_alex](PhotonHdf5Recipe& r) {
         us_alex(r);
         r.window = {{0, 10, 20}};
       },
       {},
       settings + "/alex_excitation_period1 in file @ is not a pair of numbers (start, stop)."},
      {"nsALEX without nanotimes",
       [](PhotonHdf5Recipe& r) {
         r.type = "smFRET-nsALEX";
         r.window = {{0, 10}};
       },
       {},
       "File @ has no dataset /photon_data/nanotimes, which a smFRET-nsALEX measurement needs."},
      {"floating-point timestamps",
       [](PhotonHdf5Recipe& r) { r.float_timestamps = true; },
       {},
       "/photon_data/timestamps in file @ is not a 1-D array of integers."},
      {"decreasing timestamps",
       [](PhotonHdf5Recipe& r) { r.timestamps = {10, 20, 15, 40, 50, 60}; },
       {},
       "/photon_data/timestamps in file @ decreases at index 2 (15 after 20)."},
      {"detectors shorter than timestamps",
       [](PhotonHdf5Recipe& r) {
         r.detectors = {{0, 1, 0, 1, 0}};
       },
       {},
       "/photon_data/detectors in file @ has 5 values but /photon_data/timestamps has 6: they "
       "must be equally long."},
      {"only marker photons",
       [](PhotonHdf5Recipe& r) {
         r.detectors = {{7, 7, 7, 7, 7, 7}};
       },
       {},
       "File @ holds no photon of the donor or acceptor detectors (0, 1) in /photon_data."},
      // Optional fields of the format without a default of its own.
      {"usALEX without its donor window, nor an offset",
       [us_alex](PhotonHdf5Recipe& r) {
         us_alex(r);
         r.window.reset();
       },
       {},
       "File @ has no " + settings +
           "/alex_excitation_period1 (the donor-excitation period of the alternation); give it "
           "with --donor-window START:STOP, and the alternation's offset with --alex-offset "
           "(donor_window and alex_offset in Python)."},
      {"usALEX without its donor window",
       [us_alex](PhotonHdf5Recipe& r) {
         us_alex(r);
         r.window.reset();
         r.offset = {{3}};
       },
       {},
       "File @ has no " + settings +
           "/alex_excitation_period1 (the donor-excitation period of the alternation); give it "
           "with --donor-window START:STOP (donor_window in Python)."},
      {"usALEX without its period",
       [us_alex](PhotonHdf5Recipe& r) {
         us_alex(r);
         r.period.reset();
       },
       {},
       "File @ has no " + settings +
           "/alex_period (the alternation period); give it with --alex-period TICKS "
           "(alex_period in Python)."},
      {"nsALEX without its donor nanotimes",
       [](PhotonHdf5Recipe& r) {
         r.type = "smFRET-nsALEX";
         r.nanotimes = {{5, 100, 15, 0, 12, 40}};
       },
       {},
       "File @ has no " + settings +
           "/alex_excitation_period1 (the nanotimes of donor excitation); give it with "
           "--donor-window START:STOP in nanotime units (donor_window in Python)."},
      // Shapes beyond what the format allows, refused before anything is read.
      {"a period of two values",
       [us_alex](PhotonHdf5Recipe& r) {
         us_alex(r);
         r.period = {20.0, 40.0};
       },
       {},
       settings + "/alex_period in file @ is not a single number."},
      {"a detector list of 5000 ids",
       [](PhotonHdf5Recipe& r) { r.acceptor = std::vector<std::int64_t>(5000, 1); },
       {},
       settings + "/detectors_specs/spectral_ch2 in file @ is not a list of at most 4096 "
                  "detector ids."},
      {"a measurement type of 5000 bytes",
       [](PhotonHdf5Recipe& r) {
         r.type.reset();
         r.extra = [](const hdf5::File& f) {
           declare_text(f, "/photon_data/measurement_specs/measurement_type", 5000);
         };
       },
       {},
       settings + "/measurement_type in file @ is not a text string of at most 4096 bytes."},
      // Photon arrays that declare more than they store.
      {"timestamps in chunks never written",
       [](PhotonHdf5Recipe& r) {
         r.detectors.reset();
         r.acceptor.reset();
         r.extra = [](const hdf5::File& f) {
           H5Ldelete(f.id(), "/photon_data/timestamps", H5P_DEFAULT);
           declare_integers(f, "/photon_data/timestamps", 1000000, 1000, 1000);
         };
       },
       {},
       "/photon_data/timestamps in file @ declares 1000000 values but stores 1 of the 1000 "
       "chunks that hold them: the rest were never written."},
      {"detectors never written",
       [](PhotonHdf5Recipe& r) {
         r.detectors.reset();
         r.extra = [](const hdf5::File& f) { declare_integers(f, "/photon_data/detectors", 6, 0); };
       },
       {},
       "/photon_data/detectors in file @ declares 6 values but stores none: they were never "
       "written."},
      {"timestamps in chunks of 128 MiB",
       [](PhotonHdf5Recipe& r) {
         r.extra = [](const hdf5::File& f) {
           H5Ldelete(f.id(), "/photon_data/timestamps", H5P_DEFAULT);
           declare_integers(f, "/photon_data/timestamps", hsize_t{1} << 24, hsize_t{1} << 24);
         };
       },
       {},
       "/photon_data/timestamps in file @ is stored in chunks of 134217728 bytes; chunks of at "
       "most 64 MiB can be read."},
      // What lies outside the file is never reached, nor echoed.
      {"timestamps kept in another file",
       [](PhotonHdf5Recipe& r) {
         r.extra = [](const hdf5::File& f) {
           H5Ldelete(f.id(), "/photon_data/timestamps", H5P_DEFAULT);
           external_dataset(f, "/photon_data/timestamps", f.path() + ".secret", 6);
         };
       },
       {},
       "/photon_data/timestamps in file @ keeps its values in other files (HDF5 external "
       "storage); a measurement must hold its own data."},
      {"measurement type kept in another file",
       [](PhotonHdf5Recipe& r) {
         r.type.reset();
         r.extra = [](const hdf5::File& f) {
           external_dataset(f, "/photon_data/measurement_specs/measurement_type",
                            f.path() + ".secret", 20, true);
         };
       },
       {},
       settings + "/measurement_type in file @ keeps its values in other files (HDF5 external "
                  "storage); a measurement must hold its own data."},
      {"the spot a link to another file",
       [](PhotonHdf5Recipe& r) {
         r.groups.clear();
         r.extra = [](const hdf5::File& f) {
           external_link(f, "/photon_data", f.path() + ".other", "/photon_data");
         };
       },
       {},
       "/photon_data in file @ is a link to another file; links out of a measurement are not "
       "followed."},
      {"a channel through a soft link to a link to another file",
       [](PhotonHdf5Recipe& r) {
         r.acceptor.reset();
         r.extra = [](const hdf5::File& f) {
           external_link(f, "/elsewhere", f.path() + ".other", "/photon_data");
           soft_link(f, "/photon_data/measurement_specs/detectors_specs/spectral_ch2",
                     "/elsewhere/measurement_specs/detectors_specs/spectral_ch2");
         };
       },
       {},
       "/elsewhere in file @ is a link to another file; links out of a measurement are not "
       "followed."},
      {"soft links in a loop",
       [](PhotonHdf5Recipe& r) {
         r.acceptor.reset();
         r.extra = [](const hdf5::File& f) {
           soft_link(f, "/photon_data/measurement_specs/detectors_specs/spectral_ch2", "/loop");
           soft_link(f, "/loop", "/photon_data/measurement_specs/detectors_specs/spectral_ch2");
         };
       },
       {},
       settings + "/detectors_specs/spectral_ch2 in file @ is a soft link that leads through "
                  "more than 40 soft links (a loop?)."},
      {"a format name with control characters",
       [](PhotonHdf5Recipe& r) { r.root_format_name = "Photon\x1b[2J\n-HDF5"; },
       {},
       "File @ is not a Photon-HDF5 file: its format_name is 'Photon\\x1B[2J\\x0A-HDF5'."},
  };
}

TEST(PhotonHdf5Reader, RefusesWithMessagesNamingFileAndFault) {
  ScratchDir folder;
  const std::string path = (folder / "m.h5").string();
  // What hostile files point to: a file of secrets and a measurement.
  const std::string secret = "root:x:0:0:secret";
  write_file(path + ".secret", secret + std::string(100, '\n'));
  write_photon_hdf5(path + ".other", PhotonHdf5Recipe{});
  for (const RefusalCase& c : refusal_cases()) {
    SCOPED_TRACE(c.name);
    write_photon_hdf5(path, recipe(c.tweak));
    if (c.damage) c.damage(path);
    std::string message = c.message;
    message.replace(message.find('@'), 1, path);
    const std::optional<Error> error = caught_error([&] { read_photon_hdf5(path, c.overrides); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message(), "" + message);
    EXPECT_EQ(error->kind(), c.kind);
    EXPECT_EQ(error->message().find("root:x"), std::string::npos);
  }
}

}  // namespace
}  // namespace pelmora::testing
