// The benchmark's report: a table for the reader, and one BENCH line per figure for scripts.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "bench/Measure.h"

namespace bench {

struct Figure {
  std::string name;   // the machine name: switch_on_10k
  std::string title;  // the table's name for it
  std::string unit;   // of hooked and anchor: "ms", "us", or "" for a plain number
  double hooked = 0;  // median
  double anchor = 0;  // median
  double ratio = 0;   // hooked over anchor: the median of the paired repetitions' ratios
  double target = 0;  // the most the ratio may be; 0 when the figure is shown for information only
  int reps = 0;
  std::vector<std::pair<std::string, double>> details;  // more key=value pairs for its BENCH line

  bool HasTarget() const { return target > 0; }
  bool Met() const { return ratio <= target; }
};

// Fills in a figure's two medians, times `scale` (seconds into its unit), and its paired ratio:
// of the whole repetitions, or of the host's calls alone.
void SetTotals(Figure& figure, const Paired& paired, double scale);
void SetCalls(Figure& figure, const Paired& paired, double scale);

void PrintTable(const std::vector<Figure>& figures);
// BENCH figure=NAME hooked_UNIT=... anchor_UNIT=... ratio=... target=... met=yes|no reps=N ...
void PrintMachineLines(const std::vector<Figure>& figures);

}  // namespace bench
