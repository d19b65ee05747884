#include "bursts/peak_refinement.h"

#include <cmath>

#include "base/error.h"

namespace pelmora {

double axis_coordinate(const GridAxis& axis, double value) {
  return axis.scale == AxisScale::kLogarithmic ? std::log(value) : value;
}

double axis_value(const GridAxis& axis, double coordinate) {
  return axis.scale == AxisScale::kLogarithmic ? std::exp(coordinate) : coordinate;
}

void check_axis(const GridAxis& axis) {
  bool valid = !axis.values.empty();
  for (std::size_t i = 0; valid && i < axis.values.size(); ++i) {
    const double v = axis.values[i];
    valid = std::isfinite(v) && (axis.scale == AxisScale::kLinear || v > 0) &&
            (i == 0 || v > axis.values[i - 1]);
  }
  if (!valid) {
    throw Error(ErrorKind::kInput,
                "The grid of " + axis.name + " must have increasing finite values" +
                    (axis.scale == AxisScale::kLogarithmic ? ", all > 0" : "") + ".");
  }
}

AxisPeak refine_peak(std::span<const double> log_likelihood, const GridAxis& axis) {
  AxisPeak peak;
  for (std::size_t i = 1; i < log_likelihood.size(); ++i) {
    // A NaN never wins, whichever point it sits at.
    if (log_likelihood[i] > log_likelihood[peak.grid_index] ||
        std::isnan(log_likelihood[peak.grid_index])) {
      peak.grid_index = i;
    }
  }
  const std::size_t k = peak.grid_index;
  peak.value = axis.values[k];
  if (k == 0 || k + 1 == log_likelihood.size()) {
    peak.shape = PeakShape::kGridEdge;
    return peak;
  }
  // Newton's form through (x0, y0), (x1, y1), (x2, y2): the vertex of
  // y0 + s01 (x - x0) + c (x - x0)(x - x1) is where its slope vanishes.
  // With y1 the largest of the three, c < 0 unless all three are equal.
  const double x0 = axis_coordinate(axis, axis.values[k - 1]);
  const double x1 = axis_coordinate(axis, axis.values[k]);
  const double x2 = axis_coordinate(axis, axis.values[k + 1]);
  const double y0 = log_likelihood[k - 1];
  const double y1 = log_likelihood[k];
  const double y2 = log_likelihood[k + 1];
  const double s01 = (y1 - y0) / (x1 - x0);
  const double s12 = (y2 - y1) / (x2 - x1);
  const double c = (s12 - s01) / (x2 - x0);
  const double vertex = 0.5 * (x0 + x1) - s01 / (2.0 * c);
  if (!(c < 0) || !std::isfinite(vertex)) {
    peak.shape = PeakShape::kGridPoint;
    return peak;
  }
  peak.value = axis_value(axis, vertex);
  return peak;
}

const char* peak_shape_name(PeakShape shape) {
  switch (shape) {
    case PeakShape::kParabola:
      return "parabola";
    case PeakShape::kGridPoint:
      return "grid point";
    case PeakShape::kGridEdge:
      return "grid edge";
  }
  return "";
}

}  // namespace pelmora
