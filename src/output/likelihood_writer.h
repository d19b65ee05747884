#pragma once

#include <span>
#include <string>

namespace pelmora {

// Writes "D P(D)" per run of a likelihood scan, in run order.
void write_likelihood(std::span<const double> coefficients, std::span<const double> probability,
                      const std::string& path);

}  // namespace pelmora
