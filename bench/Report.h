// The benchmark's report: a table for the reader, and one BENCH line per figure for scripts.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace bench {

struct Figure {
  std::string name;   // the machine name: switch_on_10k
  std::string title;  // the table's name for it
  std::string unit;   // of hooked and anchor: "ms", "us", or "" for a plain number
  double hooked = 0;
  double anchor = 0;
  double target = 0;  // the most the ratio may be; 0 when the figure is shown for information only
  int reps = 0;
  std::vector<std::pair<std::string, double>> details;  // more key=value pairs for its BENCH line

  double Ratio() const { return anchor > 0 ? hooked / anchor : 0; }
  bool HasTarget() const { return target > 0; }
  bool Met() const { return Ratio() <= target; }
};

void PrintTable(const std::vector<Figure>& figures);
// BENCH figure=NAME hooked_UNIT=... anchor_UNIT=... ratio=... target=... met=yes|no reps=N ...
void PrintMachineLines(const std::vector<Figure>& figures);

}  // namespace bench
