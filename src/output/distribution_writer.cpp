#include "output/distribution_writer.h"

#include <cmath>
#include <string>
#include <vector>

#include "output/result_file.h"
#include "output/written_slices.h"
#include "state/run_state.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

// The written distance points: the middle third of the internal grid.
struct WrittenPoints {
  int first;
  int end;  // one past the last
};

WrittenPoints written_points(int bins) {
  return {bins / 3, (2 * bins) / 3};
}

// "%f %f %f\n" with t, r_j and P per cell.  Time and distance repeat across
// lines, so each is converted once and copied.
int write_plain_map(const WrittenSlices& slices, ResultFile& file) {
  const WrittenPoints points = written_points(slices.bins());
  char number[kMaxNumberLength + 1];
  std::vector<std::string> position_texts;
  position_texts.reserve(static_cast<std::size_t>(points.end - points.first));
  for (int j = points.first; j < points.end; ++j) {
    char* end = format_fixed(number, slices.position(j));
    *end++ = ' ';
    position_texts.emplace_back(number, end);
  }

  int without_overlap = 0;
  for (int i = slices.first(); i <= slices.last(); ++i) {
    const double z = slices.overlap(i);
    const bool overlapping = has_overlap(z);
    if (!overlapping) ++without_overlap;
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
  return without_overlap;
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

// Calls emit(g) with the grey level of every written cell, slice by slice,
// and returns the number of slices without overlap.  A slice without
// overlap, or an image whose peak is not a positive number, is drawn as
// level 0.
template <typename Emit>
int for_each_grey_level(const WrittenSlices& slices, Emit emit) {
  const WrittenPoints points = written_points(slices.bins());
  const double peak = peak_probability(slices);
  const bool scalable = peak > 0.0 && std::isfinite(peak);
  int without_overlap = 0;
  for (int i = slices.first(); i <= slices.last(); ++i) {
    const double z = slices.overlap(i);
    const bool overlapping = has_overlap(z);
    if (!overlapping) ++without_overlap;
    const std::span<const double> forward = slices.forward(i);
    const std::span<const double> backward = slices.backward(i);
    for (int j = points.first; j < points.end; ++j) {
      // 255.98 multiplies F first, then B: the product F * B is not formed.
      emit(overlapping && scalable
               ? static_cast<int>(std::floor(255.98 * forward[j] * backward[j] / z / peak + 0.01))
               : 0);
    }
  }
  return without_overlap;
}

int write_grey_levels(const WrittenSlices& slices, ResultFile& file) {
  return for_each_grey_level(slices, [&file](int grey) {
    file.integer(grey);
    file.character('\n');
  });
}

constexpr int kPageWidth = 576;
constexpr int kBytesPerLine = 37;

int write_eps(const WrittenSlices& slices, ResultFile& file) {
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
  const int without_overlap = for_each_grey_level(slices, [&file, &on_line](int grey) {
    file.hex02(255 - grey);
    if (++on_line == kBytesPerLine) {
      file.character('\n');
      on_line = 0;
    }
  });
  file.text("\ngrestore\n");
  return without_overlap;
}

}  // namespace

void write_distance_distribution(RunState& state, const std::string& path,
                                 const StopRequest& stop) {
  const RunSettings& s = state.settings;
  if (s.eps_output) {
    state.console.print(
        "\nWriting distance distribution P(r,t) to encapsulated postscript file %s ... ",
        path.c_str());
  } else if (s.short_format) {
    state.console.print(
        "\nWriting distance distribution P(r,t) to file %s (short greyscale format)... ",
        path.c_str());
  } else {
    state.console.print("\nWriting distance distribution P(r,t) to file %s ... ", path.c_str());
  }

  const WrittenSlices slices(state);
  ResultFile file(path, stop);
  int without_overlap = 0;
  if (s.eps_output) {
    without_overlap = write_eps(slices, file);
  } else if (s.short_format) {
    without_overlap = write_grey_levels(slices, file);
  } else {
    without_overlap = write_plain_map(slices, file);
  }
  file.close();
  state.console.write("Done.\n");

  if (without_overlap > 0) {
    state.warn(format_text("\n\nWARNING: forward and backward distributions do not overlap in %d "
                           "of %d time slices; written as zero probability.\n",
                           without_overlap, slices.count())
                   .c_str());
  }
}

}  // namespace pelmora
