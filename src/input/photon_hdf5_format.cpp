#include "input/photon_hdf5_format.h"

#include <algorithm>
#include <cctype>

#include "base/printable_text.h"
#include "hdf5/dataset.h"
#include "hdf5/failure.h"

namespace pelmora {

namespace {

constexpr const char* kFormatName = "Photon-HDF5";
constexpr const char* kSpotPrefix = "photon_data";

bool readable_version(const std::string& version) {
  for (const char* known : {"0.4", "0.5"}) {
    const std::string prefix = known;
    if (version.compare(0, prefix.size(), prefix) == 0 &&
        (version.size() == prefix.size() ||
         !std::isdigit(static_cast<unsigned char>(version[prefix.size()])))) {
      return true;
    }
  }
  return false;
}

void check_format_name(const hdf5::File& file, const std::string& name) {
  if (name != kFormatName) {
    hdf5::refuse_contents("File " + file.path() +
                          " is not a Photon-HDF5 file: its format_name is '" +
                          printable_text(name) + "'.");
  }
}

// "photon_data12" -> 12; anything else (leading zeros included) -> none.
std::optional<int> spot_number(const std::string& name) {
  const std::string prefix = kSpotPrefix;
  if (name.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  const std::string digits = name.substr(prefix.size());
  if (digits.empty() || digits.size() > 9 || (digits.size() > 1 && digits[0] == '0')) {
    return std::nullopt;
  }
  if (!std::all_of(digits.begin(), digits.end(),
                   [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; })) {
    return std::nullopt;
  }
  return std::stoi(digits);
}

std::string spot_list(const std::vector<int>& spots) {
  std::string text;
  for (const int spot : spots) text += (text.empty() ? "" : ", ") + std::to_string(spot);
  return text;
}

}  // namespace

std::string photon_hdf5_version(const hdf5::File& file) {
  std::string version;
  if (file.has_attribute("/", "format_name")) {
    check_format_name(file, hdf5::read_text_attribute(file, "/", "format_name"));
    if (file.has_attribute("/", "format_version")) {
      version = hdf5::read_text_attribute(file, "/", "format_version");
    }
  } else if (file.exists("/identity/format_name")) {
    check_format_name(file, hdf5::read_text(file, "/identity/format_name"));
  } else {
    hdf5::refuse_contents("File " + file.path() +
                          " is an HDF5 file but not a Photon-HDF5 file (it has no format_name).");
  }
  if (version.empty()) {
    if (!file.exists("/identity/format_version")) {
      hdf5::refuse_contents("File " + file.path() +
                            " does not say which version of Photon-HDF5 it follows.");
    }
    version = hdf5::read_text(file, "/identity/format_version");
  }
  if (!readable_version(version)) {
    hdf5::refuse_contents("File " + file.path() + " is Photon-HDF5 version " +
                          printable_text(version) + "; versions 0.4 and 0.5 can be read.");
  }
  return version;
}

SpotChoice choose_spot(const hdf5::File& file, std::optional<int> spot) {
  SpotChoice choice;
  bool single = false;
  for (const std::string& name : file.member_names("/")) {
    if (name == kSpotPrefix) single = true;
    if (const std::optional<int> number = spot_number(name)) choice.spots.push_back(*number);
  }
  std::sort(choice.spots.begin(), choice.spots.end());

  if (single) {
    if (!choice.spots.empty()) {
      hdf5::refuse_contents("File " + file.path() + " has both /photon_data and numbered spots (" +
                            spot_list(choice.spots) + "): it is neither single- nor multi-spot.");
    }
    if (spot && *spot != 0) {
      hdf5::refuse_contents("File " + file.path() + " has no spot " + std::to_string(*spot) +
                            ": it holds a single spot (/photon_data), spot 0.");
    }
    choice.group = "/photon_data";
    return choice;
  }
  if (choice.spots.empty()) {
    hdf5::refuse_missing(file.path(), "/photon_data", "group");
  }
  if (!spot) {
    hdf5::refuse_contents("File " + file.path() + " is a multi-spot file (spots " +
                          spot_list(choice.spots) + "): choose a spot.");
  }
  if (!std::binary_search(choice.spots.begin(), choice.spots.end(), *spot)) {
    hdf5::refuse_contents("File " + file.path() + " has no spot " + std::to_string(*spot) +
                          "; its spots are " + spot_list(choice.spots) + ".");
  }
  choice.spot = spot;
  choice.group = "/" + std::string(kSpotPrefix) + std::to_string(*spot);
  return choice;
}

}  // namespace pelmora
