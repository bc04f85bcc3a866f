// The benchmark, run by hand (scripts/bench.sh): each figure times the skinned host and what it is
// held against in the same run, in turns, and reports medians and their ratio, since these shared
// machines are too noisy for absolute figures.
#include <cstdio>
#include <vector>

#include "bench/Figures.h"
#include "bench/Measure.h"
#include "bench/Report.h"

using namespace bench;

namespace {

void Append(std::vector<Figure>& figures, const std::vector<Figure>& more) {
  figures.insert(figures.end(), more.begin(), more.end());
}

}  // namespace

int main() {
  const double start = Now();
  std::fprintf(stderr, "kslHook benchmark\n");
  std::vector<Figure> figures;
  Append(figures, SwitchOnFigures());
  Append(figures, AddLoopFigures());
  Append(figures, RedrawOffBatchFigures());
  Append(figures, RepaintFigures());
  Append(figures, ScrollStepFigures());
  Append(figures, UnrepeatedMessageFigures());

  std::printf("\nMedians of the repetitions, both sides in this run; ratio = hooked / anchor.\n\n");
  PrintTable(figures);
  std::printf("\n");
  PrintMachineLines(figures);
  std::printf("\nrun time: %.0f s\n", Now() - start);
  return 0;
}
