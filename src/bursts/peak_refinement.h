// Where a log L sampled on a grid is largest, between the grid points: the
// vertex of the parabola through the best point and its two neighbours, in
// the axis's own coordinate (ln D for the log-spaced coefficients, the value
// itself for a linear axis).  A grid of a few dozen coefficients is one or
// two steps wide at the peak of a joint log L over many bursts, so the grid
// point alone would quantise the estimate and its bootstrap interval.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace pelmora {

enum class AxisScale { kLogarithmic, kLinear };

struct GridAxis {
  std::string name;            // as result files name it, e.g. "D_m2_per_s" or "rms_nm"
  std::vector<double> values;  // increasing (and positive on a logarithmic axis)
  AxisScale scale = AxisScale::kLogarithmic;
};

enum class PeakShape {
  kParabola,   // the vertex of the parabola through the best point and its neighbours
  kGridPoint,  // that parabola is flat, inverted or undefined (a neighbour with log L
               // minus infinity): the best grid point is kept
  kGridEdge,   // the best point is the first or the last: nothing to refine, the
               // maximum may lie beyond the grid
};

struct AxisPeak {
  double value = 0;
  std::size_t grid_index = 0;  // the best grid point (the first of equal ones)
  PeakShape shape = PeakShape::kParabola;
};

// The refined maximum of `log_likelihood` (one value per point of `axis`,
// at least one of them finite).
AxisPeak refine_peak(std::span<const double> log_likelihood, const GridAxis& axis);

// The axis coordinate of a value (ln of it on a logarithmic axis) and back.
double axis_coordinate(const GridAxis& axis, double value);
double axis_value(const GridAxis& axis, double coordinate);

// Refuses (kInput, naming the axis) an axis without points, with values that
// do not increase, or with values <= 0 on a logarithmic axis.
void check_axis(const GridAxis& axis);

const char* peak_shape_name(PeakShape shape);  // "parabola", "grid point", "grid edge"

}  // namespace pelmora
