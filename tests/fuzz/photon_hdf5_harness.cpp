// The fuzz work of the Photon-HDF5 reader.  The input does not become the
// bytes of an HDF5 file (that would fuzz HDF5's own parser): each byte
// chooses a decision of the file's writer instead (which fields there are,
// their types, shapes and values, hostile storage and links) and of the
// user (the overrides), and the file is built in memory with HDF5's core
// driver and read from there.
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/error.h"
#include "findings.h"
#include "fuzz_harness.h"
#include "hdf5/file.h"
#include "hdf5/quiet_errors.h"
#include "input/photon_hdf5_file.h"
#include "support/photon_hdf5_file.h"

namespace pelmora::fuzzing {

namespace {

using testing::PhotonHdf5Recipe;

// Draws the choices from the input; past its end every draw is 0.
class Choices {
 public:
  explicit Choices(std::span<const std::uint8_t> input) : input_(input) {}

  std::uint8_t byte() { return at_ < input_.size() ? input_[at_++] : 0; }
  unsigned pick(unsigned count) { return byte() % count; }
  bool one_in(unsigned count) { return pick(count) == 0; }
  std::int64_t integer() {
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = value << 8 | byte();
    return static_cast<std::int64_t>(value);
  }
  // Mostly small, now and then negative or anywhere in the int64 range.
  std::int64_t value() {
    switch (pick(8)) {
      case 0:
        return integer();
      case 1:
        return -static_cast<std::int64_t>(byte());
      default:
        return byte();
    }
  }
  std::vector<std::int64_t> values(unsigned most) {
    std::vector<std::int64_t> list(pick(most + 1));
    for (std::int64_t& v : list) v = value();
    return list;
  }
  std::string text() {
    std::string bytes(pick(12), '\0');
    for (char& c : bytes) c = static_cast<char>(byte());
    return bytes;
  }

 private:
  std::span<const std::uint8_t> input_;
  std::size_t at_ = 0;
};

const std::string kTypes[] = {"smFRET", "smFRET-usALEX", "smFRET-nsALEX"};

// Storage and links that no honest writer makes.
void add_hostility(Choices& c, PhotonHdf5Recipe& r) {
  const std::string group = r.groups.empty() ? "/photon_data" : r.groups.front();
  const std::string specs = group + "/measurement_specs";
  switch (c.pick(12)) {
    case 0: {
      // Timestamps declared far beyond what is written.
      const auto declared = static_cast<hsize_t>(c.integer()) & ((hsize_t{1} << 40) - 1);
      const hsize_t chunk = 1 + c.byte();
      const hsize_t written = std::min<hsize_t>(declared, c.byte());
      r.extra = [group, declared, chunk, written](const hdf5::File& f) {
        H5Ldelete(f.id(), (group + "/timestamps").c_str(), H5P_DEFAULT);
        testing::declare_integers(f, group + "/timestamps", declared, chunk, written);
      };
      break;
    }
    case 1:
      r.type.reset();
      r.extra = [specs](const hdf5::File& f) {
        testing::external_dataset(f, specs + "/measurement_type", "/nonexistent/outside", 16, true);
      };
      break;
    case 2:
      r.detectors.reset();
      r.extra = [group](const hdf5::File& f) {
        testing::external_link(f, group + "/detectors", "/nonexistent/other.h5", "/x");
      };
      break;
    case 3:
      r.acceptor.reset();
      r.extra = [specs](const hdf5::File& f) {
        testing::soft_link(f, specs + "/detectors_specs/spectral_ch2", "/loop");
        testing::soft_link(f, "/loop", specs + "/detectors_specs/spectral_ch2");
      };
      break;
    case 4: {
      r.type.reset();
      const std::size_t bytes = 1 + c.byte() * std::size_t{64};
      r.extra = [specs, bytes](const hdf5::File& f) {
        testing::declare_text(f, specs + "/measurement_type", bytes);
      };
      break;
    }
    case 5: {
      const hsize_t declared = 1 + (static_cast<hsize_t>(c.integer()) & 0xffffffffu);
      r.donor.reset();
      r.extra = [specs, declared](const hdf5::File& f) {
        testing::declare_integers(f, specs + "/detectors_specs/spectral_ch1", declared,
                                  std::min<hsize_t>(declared, 4096));
      };
      break;
    }
    default:
      break;
  }
}

struct FuzzedFile {
  PhotonHdf5Recipe recipe;
  MeasurementOverrides overrides;
};

FuzzedFile fuzzed_file(Choices& c) {
  FuzzedFile fuzzed;
  PhotonHdf5Recipe& r = fuzzed.recipe;
  switch (c.pick(6)) {
    case 0:
      r.root_format_name.reset();
      break;
    case 1:
      r.root_format_name = c.text();
      break;
    case 2:
      r.root_format_name.reset();
      r.identity = false;
      break;
    default:
      break;
  }
  const std::string versions[] = {"0.5", "0.4", "0.5rc1", "0.3", "0.40"};
  const unsigned version = c.pick(6);
  r.version = version < 5 ? versions[version] : c.text();
  r.encoding = static_cast<hdf5::StringEncoding>(c.pick(3));
  switch (c.pick(4)) {
    case 0:
      r.groups = {"/photon_data0", "/photon_data3"};
      break;
    case 1:
      r.groups = {"/photon_data", "/photon_data1"};
      break;
    default:
      break;
  }

  // Timestamps from anywhere in the int64 range, mostly rising.
  r.timestamps.resize(c.pick(40));
  std::uint64_t time = static_cast<std::uint64_t>(c.value());
  for (std::int64_t& t : r.timestamps) {
    time += static_cast<std::uint64_t>(c.one_in(6) ? c.value() : c.byte());
    t = static_cast<std::int64_t>(time);
  }
  r.timestamp_type = static_cast<hdf5::IntegerType>(c.pick(8));
  r.float_timestamps = c.one_in(16);
  if (c.one_in(4)) {
    r.detectors.reset();
  } else {
    r.detectors->resize(r.timestamps.size() + (c.one_in(8) ? 1 : 0));
    for (std::int64_t& d : *r.detectors) d = c.one_in(16) ? c.value() : c.pick(4);
  }
  r.detector_type = static_cast<hdf5::IntegerType>(c.pick(8));
  if (c.one_in(3)) {
    r.nanotimes.emplace(r.timestamps.size());
    for (std::int64_t& n : *r.nanotimes) n = c.byte();
  }
  const double units[] = {12.5e-9,      1e-12, 0.0, -1.0, std::numeric_limits<double>::infinity(),
                          std::nan(""), 1e300};
  const unsigned unit = c.pick(8);
  if (unit == 7) {
    r.unit.reset();
  } else {
    r.unit = units[unit];
  }
  const unsigned type = c.pick(5);
  if (type < 3) r.type = kTypes[type];
  if (type == 3) r.type.reset();
  if (type == 4) r.type = c.text();
  if (c.one_in(4))
    r.donor.reset();
  else
    r.donor = c.values(3);
  if (c.one_in(4))
    r.acceptor.reset();
  else
    r.acceptor = c.values(3);
  switch (c.pick(4)) {
    case 1:
      r.period = {static_cast<double>(c.value())};
      break;
    case 2:
      r.period = {static_cast<double>(c.value()), static_cast<double>(c.value())};
      break;
    case 3:
      r.period = {c.byte() + 0.5};
      break;
    default:
      break;
  }
  if (!c.one_in(3)) r.offset = c.values(2);
  if (!c.one_in(4)) r.window = c.values(4);
  r.gzip = c.one_in(2);
  add_hostility(c, r);

  MeasurementOverrides& o = fuzzed.overrides;
  if (c.one_in(4)) o.spot = c.pick(4);
  if (c.one_in(6)) o.measurement_type = c.one_in(2) ? kTypes[c.pick(3)] : c.text();
  if (c.one_in(6)) o.alex_period = c.value();
  if (c.one_in(6)) o.alex_offset = c.value();
  if (c.one_in(6)) o.donor_window = std::pair<std::int64_t, std::int64_t>(c.value(), c.value());
  return fuzzed;
}

void check_measurement(const Measurement& m, const PhotonHdf5Recipe& r, Findings& f) {
  f.check(!m.timestamps.empty() && m.timestamps.size() == m.flags.size(),
          "no photons, or not one flag per photon");
  for (std::size_t i = 0; i < m.timestamps.size() && i < m.flags.size(); ++i) {
    f.check(m.flags[i] <= (kAcceptorChannel | kDonorExcitation), "flags beyond the two bits");
    if (i > 0) f.check(m.timestamps[i - 1] <= m.timestamps[i], "timestamps that decrease");
  }
  const MeasurementDescription& d = m.description;
  f.check(std::isfinite(d.timestamps_unit) && d.timestamps_unit > 0, "a unit not finite and > 0");
  // A channel may name a detector twice; it counts once.
  std::set<std::int64_t> analysed_ids(d.donor_detectors.begin(), d.donor_detectors.end());
  analysed_ids.insert(d.acceptor_detectors.begin(), d.acceptor_detectors.end());
  std::int64_t photons = 0;
  std::int64_t analysed = 0;
  for (const DetectorCount& count : d.detectors) {
    photons += count.photons;
    f.check(count.donor_excited >= 0 && count.donor_excited <= count.photons,
            "more donor-excited photons than photons");
    analysed += analysed_ids.count(count.detector) > 0 ? count.photons : 0;
  }
  f.check(analysed == static_cast<std::int64_t>(m.timestamps.size()),
          "kept photons that are not those of the donor and acceptor detectors");
  // Hostile storage may replace the photons the recipe lists.
  if (r.extra || r.timestamps.empty()) return;
  f.check(photons == static_cast<std::int64_t>(r.timestamps.size()),
          "detector counts that do not add up to the photons");
  f.check(d.first_timestamp == r.timestamps.front() && d.last_timestamp == r.timestamps.back(),
          "first or last timestamp not the file's");
}

}  // namespace

std::string exercise_photon_hdf5(std::span<const std::uint8_t> input) {
  Choices choices(input);
  const FuzzedFile fuzzed = fuzzed_file(choices);
  const hdf5::QuietErrors quiet;
  std::optional<hdf5::File> file;
  try {
    file.emplace(hdf5::File::create_in_memory("fuzzed.h5"));
    testing::write_photon_hdf5(*file, fuzzed.recipe);
  } catch (const Error&) {
    return "";  // a value the chosen stored type cannot hold: no file to read
  } catch (const std::runtime_error&) {
    return "";  // hostile storage HDF5 would not create
  }
  Findings f;
  try {
    check_measurement(read_photon_hdf5_file(*file, fuzzed.overrides), fuzzed.recipe, f);
  } catch (const Error& error) {
    f.check(is_sentence(error.message()), "a refusal that is not a plain sentence");
    f.check(is_printable(error.message()), "a refusal with bytes that are not printable");
    f.check(error.message().size() < 512, "a refusal longer than a few lines");
  }
  return f.text();
}

}  // namespace pelmora::fuzzing
