#include "bench/Report.h"

#include <cstdio>

namespace bench {

namespace {

// Three significant digits or so, whatever the size.
std::string Number(double value) {
  char text[32];
  const char* format = value >= 100 ? "%.0f" : value >= 10 ? "%.1f" : value >= 1 ? "%.2f" : "%.3f";
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string WithUnit(double value, const std::string& unit) {
  return unit.empty() ? Number(value) : Number(value) + " " + unit;
}

std::string Key(const char* side, const std::string& unit) {
  return unit.empty() ? side : std::string(side) + "_" + unit;
}

}  // namespace

void SetTotals(Figure& figure, const Paired& paired, double scale) {
  figure.hooked = paired.hooked.MedianTotal() * scale;
  figure.anchor = paired.anchor.MedianTotal() * scale;
  figure.ratio = paired.MedianRatioOfTotals();
}

void SetCalls(Figure& figure, const Paired& paired, double scale) {
  figure.hooked = paired.hooked.MedianCalls() * scale;
  figure.anchor = paired.anchor.MedianCalls() * scale;
  figure.ratio = paired.MedianRatioOfCalls();
}

void PrintTable(const std::vector<Figure>& figures) {
  const char* row = "%-58s %12s %12s %8s %7s  %s\n";
  std::printf(row, "figure", "hooked", "anchor", "ratio", "target", "met?");
  for (const Figure& f : figures) {
    const std::string ratio = Number(f.ratio) + " x";
    const std::string target = f.HasTarget() ? Number(f.target) + " x" : "-";
    const char* met = !f.HasTarget() ? "-" : f.Met() ? "yes" : "NO";
    std::printf(row, f.title.c_str(), WithUnit(f.hooked, f.unit).c_str(),
                WithUnit(f.anchor, f.unit).c_str(), ratio.c_str(), target.c_str(), met);
  }
}

void PrintMachineLines(const std::vector<Figure>& figures) {
  for (const Figure& f : figures) {
    std::printf("BENCH figure=%s %s=%.6g %s=%.6g ratio=%.4g", f.name.c_str(),
                Key("hooked", f.unit).c_str(), f.hooked, Key("anchor", f.unit).c_str(), f.anchor,
                f.ratio);
    if (f.HasTarget())
      std::printf(" target=%.3g met=%s", f.target, f.Met() ? "yes" : "no");
    else
      std::printf(" target=none met=n/a");
    std::printf(" reps=%d", f.reps);
    for (const auto& detail : f.details)
      std::printf(" %s=%.6g", detail.first.c_str(), detail.second);
    std::printf("\n");
  }
}

}  // namespace bench
