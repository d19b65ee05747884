#include "output/likelihood_writer.h"

#include "output/result_file.h"

namespace pelmora {

void write_likelihood(std::span<const double> coefficients, std::span<const double> probability,
                      const std::string& path, const StopRequest& stop) {
  ResultFile file(path, stop);
  for (std::size_t i = 0; i < coefficients.size(); ++i) {
    file.format("%g %g\n", coefficients[i], probability[i]);
  }
  file.close();
}

}  // namespace pelmora
