// A scan's setup as JSON (nlohmann-json), and back: the description a share
// of a scan carries, and what a scan on another process is given.  Every
// number is written with as many digits as read back the same double.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "bursts/measurement_scan.h"

namespace pelmora {

using Json = nlohmann::ordered_json;

Json setup_json(const ScanSetup& setup);
Json request_json(const ScanRequest& request);

// `where` names the text in errors ("Share s.csv").  Refuses (kInput) JSON
// that lacks a field or holds one of the wrong type, and a model or settings
// the library refuses.
ScanSetup setup_from_json(const Json& json, const std::string& where);
ScanRequest request_from_json(const Json& json, const std::string& where);

// The reason of a nlohmann-json error, without its "[json.exception...] ".
std::string json_reason(const std::exception& error);

}  // namespace pelmora
