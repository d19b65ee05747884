// A scan's request and the source of its bursts as JSON text, and back, for
// a scan that runs on another process (the chunks of a Dask scan).
#pragma once

#include <string>
#include <string_view>

#include "bursts/burst_records.h"
#include "bursts/scan_request.h"

namespace pelmora {

std::string request_text(const ScanRequest& request);
// `where` names the text in errors; refuses (kInput) text that is not a
// request.
ScanRequest request_from_text(std::string_view text, const std::string& where);

std::string source_text(const BurstSource& source);
BurstSource source_from_text(std::string_view text, const std::string& where);

}  // namespace pelmora
