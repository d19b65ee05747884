#include "output/likelihood_writer.h"

#include "output/result_file.h"

namespace pelmora {

void write_likelihood(std::span<const double> coefficients, std::span<const double> probability,
                      const std::string& path) {
  ResultFile file(path);
  for (std::size_t i = 0; i < coefficients.size(); ++i) {
    file.format("%g %g\n", coefficients[i], probability[i]);
  }
  file.close();
}

}  // namespace pelmora
