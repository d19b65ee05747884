#include "output/distribution_writer.h"

#include <cmath>
#include <string>
#include <vector>

#include "output/result_file.h"
#include "state/written_slices.h"

namespace pelmora {

namespace {

// "%f %f %f\n" with t, r_j and P per cell.  Time and distance repeat across
// lines, so each is converted once and copied.
void write_plain_map(const WrittenSlices& slices, ResultFile& file) {
  const WrittenPoints points = written_points(slices.bins());
  char number[kMaxNumberLength + 1];
  std::vector<std::string> position_texts;
  position_texts.reserve(static_cast<std::size_t>(points.end - points.first));
  for (int j = points.first; j < points.end; ++j) {
    char* end = format_fixed(number, slices.position(j));
    *end++ = ' ';
    position_texts.emplace_back(number, end);
  }

  for (int i = slices.first(); i <= slices.last(); ++i) {
    const double z = slices.overlap(i);
    const bool overlapping = has_overlap(z);
    char* time_end = format_fixed(number, slices.time_label(i));
    *time_end++ = ' ';
    const std::string_view time_text(number, static_cast<std::size_t>(time_end - number));
    const std::span<const double> forward = slices.forward(i);
    const std::span<const double> backward = slices.backward(i);
    for (int j = points.first; j < points.end; ++j) {
      file.text(time_text);
      file.text(position_texts[static_cast<std::size_t>(j - points.first)]);
      file.fixed(overlapping ? distance_probability(forward[j], backward[j], z) : 0.0);
      file.character('\n');
    }
  }
}

// P_max over the written cells, starting from -1e30 and replaced only by a
// strictly greater value.
double peak_probability(const WrittenSlices& slices) {
  const WrittenPoints points = written_points(slices.bins());
  double peak = -1e30;
  for (int i = slices.first(); i <= slices.last(); ++i) {
    const double z = slices.overlap(i);
    if (!has_overlap(z)) continue;
    const std::span<const double> forward = slices.forward(i);
    const std::span<const double> backward = slices.backward(i);
    for (int j = points.first; j < points.end; ++j) {
      const double p = distance_probability(forward[j], backward[j], z);
      if (p > peak) peak = p;
    }
  }
  return peak;
}

// Calls emit(g) with the grey level of every written cell, slice by slice.
// A slice without overlap, or an image whose peak is not a positive number,
// is drawn as level 0.
template <typename Emit>
void for_each_grey_level(const WrittenSlices& slices, Emit emit) {
  const WrittenPoints points = written_points(slices.bins());
  const double peak = peak_probability(slices);
  const bool scalable = peak > 0.0 && std::isfinite(peak);
  for (int i = slices.first(); i <= slices.last(); ++i) {
    const double z = slices.overlap(i);
    const bool overlapping = has_overlap(z);
    const std::span<const double> forward = slices.forward(i);
    const std::span<const double> backward = slices.backward(i);
    for (int j = points.first; j < points.end; ++j) {
      // 255.98 multiplies F first, then B: the product F * B is not formed.
      emit(overlapping && scalable
               ? static_cast<int>(std::floor(255.98 * forward[j] * backward[j] / z / peak + 0.01))
               : 0);
    }
  }
}

void write_grey_levels(const WrittenSlices& slices, ResultFile& file) {
  for_each_grey_level(slices, [&file](int grey) {
    file.integer(grey);
    file.character('\n');
  });
}

constexpr int kPageWidth = 576;
constexpr int kBytesPerLine = 37;

void write_eps(const WrittenSlices& slices, ResultFile& file) {
  const int columns = slices.bins() / 3;
  const int rows = slices.count();
  const int height = static_cast<int>(std::floor(576.0 / rows * (slices.bins() / 3.0) + 0.5));
  file.text("%!PS-Adobe-3.0 EPSF-3.0\n");
  file.text("%%Creator: Pelmora\n");
  file.format("%%%%BoundingBox: 0 0 %d %d\n", kPageWidth, height);
  file.text("%%LanguageLevel: 2\n");
  file.text("%%Pages: 1\n");
  file.text("%%DocumentData: Clean7Bit\n");
  file.text("gsave\n");
  file.format("%d 0 translate\n", kPageWidth);
  file.text("90 rotate\n");
  file.format("%d %d scale\n", height, kPageWidth);
  file.format("%d %d 8 [%d 0 0 %d 0 %d]\n", columns, rows, columns, -rows, rows);
  file.format("{currentfile %d string readhexstring pop} bind\n", columns);
  file.text("image\n");

  int on_line = 0;  // runs across slice boundaries
  for_each_grey_level(slices, [&file, &on_line](int grey) {
    file.hex02(255 - grey);
    if (++on_line == kBytesPerLine) {
      file.character('\n');
      on_line = 0;
    }
  });
  file.text("\ngrestore\n");
}

}  // namespace

void write_distance_distribution(const TrajectoryResult& result, MapFormat format,
                                 const std::string& path, const StopRequest& stop) {
  const WrittenSlices slices(result);
  ResultFile file(path, stop);
  switch (format) {
    case MapFormat::kEps:
      write_eps(slices, file);
      break;
    case MapFormat::kShort:
      write_grey_levels(slices, file);
      break;
    case MapFormat::kPlain:
      write_plain_map(slices, file);
      break;
  }
  file.close();
}

}  // namespace pelmora
