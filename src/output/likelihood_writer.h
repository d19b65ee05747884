#pragma once

#include <span>
#include <string>

#include "output/stop_request.h"

namespace pelmora {

// Writes "D P(D)" per run of a likelihood scan, in run order.
void write_likelihood(std::span<const double> coefficients, std::span<const double> probability,
                      const std::string& path, const StopRequest& stop = {});

}  // namespace pelmora
