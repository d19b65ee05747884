#include "input/photon_hdf5_photons.h"

#include <algorithm>
#include <new>
#include <optional>
#include <vector>

#include "base/error.h"
#include "hdf5/dataset.h"
#include "hdf5/failure.h"
#include "input/detector_tally.h"
#include "input/donor_excitation.h"

namespace pelmora {

namespace {

// 2 MB per array and block: large enough that HDF5's per-call costs vanish,
// small beside the kept photons of a long measurement.  Every page touched
// costs a fault (expensive on virtual machines), so the buffers stay small.
constexpr std::size_t kBlockValues = std::size_t{1} << 18;
// Room for the chunks that straddle two blocks, for the chunk sizes that
// writers choose (PyTables and h5py: well below 1 MB), so that no chunk is
// decompressed twice.
constexpr std::size_t kChunkCacheBytes = std::size_t{4} << 20;
const char* const kIntegerArray = "a 1-D array of integers";

std::optional<hdf5::Dataset> open_companion(const hdf5::File& file, const std::string& path,
                                            const hdf5::Dataset& timestamps) {
  if (!file.exists(path)) return std::nullopt;
  std::optional<hdf5::Dataset> dataset(std::in_place, file, path, kChunkCacheBytes);
  dataset->require(H5T_INTEGER, false, kIntegerArray);
  dataset->require_stored();
  if (dataset->element_count() != timestamps.element_count()) {
    hdf5::refuse_contents(path + " in file " + file.path() + " has " +
                          std::to_string(dataset->element_count()) + " values but " +
                          timestamps.path() + " has " + std::to_string(timestamps.element_count()) +
                          ": they must be equally long.");
  }
  return dataset;
}

std::string id_list(const std::vector<std::int64_t>& ids) {
  std::string text;
  for (const std::int64_t id : ids) text += (text.empty() ? "" : ", ") + std::to_string(id);
  return text;
}

}  // namespace

void read_photons(const hdf5::File& file, const std::string& group,
                  const MeasurementSettings& settings, Measurement& measurement) {
  const hdf5::Dataset timestamps(file, group + "/timestamps", kChunkCacheBytes);
  timestamps.require(H5T_INTEGER, false, kIntegerArray);
  // Memory follows the photons the file stores, never the size it declares.
  timestamps.require_stored();
  const std::optional<hdf5::Dataset> detectors =
      open_companion(file, group + "/detectors", timestamps);
  std::optional<hdf5::Dataset> nanotimes;
  if (settings.scheme == ExcitationScheme::kNanosecondAlex) {
    const std::string path = group + "/nanotimes";
    if (!file.exists(path)) {
      hdf5::refuse_contents("File " + file.path() + " has no dataset " + path +
                            ", which a smFRET-nsALEX measurement needs.");
    }
    nanotimes = open_companion(file, path, timestamps);
  }

  // Without a detectors array every photon comes from the one detector that
  // the channels name (read_measurement_settings made sure there is one).
  const std::int64_t only_detector =
      settings.donor_detectors.empty()
          ? (settings.acceptor_detectors.empty() ? 0 : settings.acceptor_detectors.front())
          : settings.donor_detectors.front();
  DetectorTally tally(settings.donor_detectors, settings.acceptor_detectors);
  const DonorExcitation donor_excited(settings);

  const std::size_t total = static_cast<std::size_t>(timestamps.element_count());
  std::vector<std::int64_t>& kept_times = measurement.timestamps;
  std::vector<std::uint8_t>& kept_flags = measurement.flags;
  const auto too_many = [&] {
    return Error(ErrorKind::kMemory, "File " + file.path() + " holds " + std::to_string(total) +
                                         " photons in " + timestamps.path() +
                                         ", more than the memory of this computer can take.");
  };
  if (total > kept_times.max_size()) throw too_many();
  try {
    kept_times.reserve(total);
    kept_flags.reserve(total);
  } catch (const std::bad_alloc&) {
    throw too_many();
  }

  const std::size_t block = std::min(kBlockValues, std::max<std::size_t>(total, 1));
  std::vector<std::int64_t> time_block(block);
  std::vector<std::int64_t> detector_block(detectors ? block : 0);
  std::vector<std::int64_t> nanotime_block(nanotimes ? block : 0);
  std::int64_t previous = 0;
  std::int64_t first_time = 0;

  for (std::size_t first = 0; first < total; first += block) {
    const std::size_t count = std::min(block, total - first);
    timestamps.read_int64(first, std::span(time_block.data(), count));
    if (detectors) detectors->read_int64(first, std::span(detector_block.data(), count));
    if (nanotimes) nanotimes->read_int64(first, std::span(nanotime_block.data(), count));
    if (first == 0) previous = first_time = time_block[0];
    for (std::size_t i = 0; i < count; ++i) {
      const std::int64_t time = time_block[i];
      if (time < previous) {
        hdf5::refuse_contents(timestamps.path() + " in file " + file.path() +
                              " decreases at index " + std::to_string(first + i) + " (" +
                              std::to_string(time) + " after " + std::to_string(previous) + ").");
      }
      previous = time;
      const bool excited = donor_excited(time, nanotimes ? nanotime_block[i] : 0);
      const Channel channel = tally.count(detectors ? detector_block[i] : only_detector, excited);
      if (channel != Channel::kOther) {
        kept_times.push_back(time);
        kept_flags.push_back(
            static_cast<std::uint8_t>((channel == Channel::kAcceptor ? kAcceptorChannel : 0) |
                                      (excited ? kDonorExcitation : 0)));
      }
    }
  }

  MeasurementDescription& description = measurement.description;
  description.detectors = tally.counts();
  if (kept_times.empty()) {
    std::vector<std::int64_t> channels = settings.donor_detectors;
    channels.insert(channels.end(), settings.acceptor_detectors.begin(),
                    settings.acceptor_detectors.end());
    hdf5::refuse_contents("File " + file.path() + " holds no photon of the donor or acceptor " +
                          "detectors (" + id_list(channels) + ") in " + group + ".");
  }
  description.first_timestamp = first_time;
  description.last_timestamp = previous;
  if (kept_times.capacity() > 2 * kept_times.size()) {
    kept_times.shrink_to_fit();
    kept_flags.shrink_to_fit();
  }
}

}  // namespace pelmora
