// The benchmark, run by hand (scripts/bench.sh): each figure times the skinned host and what it is
// held against in the same run, in turns, and reports medians and their ratio, since these shared
// machines are too noisy for absolute figures. Arguments name the groups to run; none runs all.
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/Figures.h"
#include "bench/Measure.h"
#include "bench/Report.h"

using namespace bench;

namespace {

struct Group {
  const char* name;
  std::vector<Figure> (*run)();
};

constexpr Group kGroups[] = {
    {"switch_on", &SwitchOnFigures},     {"memory", &MemoryFigures},
    {"add_loop", &AddLoopFigures},
    {"redraw_off_batch", &RedrawOffBatchFigures}, {"repaint", &RepaintFigures},
    {"scroll_step", &ScrollStepFigures}, {"unrepeated", &UnrepeatedMessageFigures},
    {"skin_count", &SkinCountFigures},
};

bool Chosen(const Group& group, int argc, char** argv) {
  if (argc < 2) return true;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], group.name) == 0) return true;
  return false;
}

bool AllNamesKnown(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    bool known = false;
    for (const Group& group : kGroups) known = known || std::strcmp(argv[i], group.name) == 0;
    if (!known) return false;
  }
  return true;
}

void PrintUsage() {
  std::fprintf(stderr, "usage: bench [group...]   groups:");
  for (const Group& group : kGroups) std::fprintf(stderr, " %s", group.name);
  std::fprintf(stderr, "\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (!AllNamesKnown(argc, argv)) {
    PrintUsage();
    return 2;
  }
  const double start = Now();
  std::fprintf(stderr, "kslHook benchmark\n");
  std::vector<Figure> figures;
  for (const Group& group : kGroups) {
    if (!Chosen(group, argc, argv)) continue;
    const std::vector<Figure> more = group.run();
    figures.insert(figures.end(), more.begin(), more.end());
  }

  std::printf("\nMedians of each side's repetitions, both sides in this run. Ratio: hooked over "
              "anchor, the median of the ratios of repetitions taken back to back.\n\n");
  PrintTable(figures);
  std::printf("\n");
  PrintMachineLines(figures);
  std::printf("\nrun time: %.0f s\n", Now() - start);
  return 0;
}
