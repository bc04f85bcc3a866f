// Figures of a host filling its list: switching the skin on over a full list, the host's own add
// loop with redraw on, and its redraw-off batch.
#include <algorithm>
#include <cstdio>
#include <string>

#include "bench/Figures.h"
#include "bench/Measure.h"
#include "bench/Scenes.h"

namespace bench {

namespace {

constexpr double kMs = 1e3;
constexpr double kUs = 1e6;

struct SwitchOnResult {
  Figure total;
  Figure perRow;
};

SwitchOnResult SwitchOn(int rows, int reps) {
  host::SceneOptions options;
  options.items = rows;
  host::HostScene scene(options);
  const HWND top = scene.top.hWnd();
  CatchUp(top);

  auto hooked = [&] {
    const Phases phases = Timed(top, [&] { scene.On(); });
    Require(scene.IsOn(), "switch-on: the skin did not go on");
    Require(MirrorRows(scene) == rows, "switch-on: the mirror does not hold the host's rows");
    scene.Off();
    Settle(top);
    return phases;
  };
  auto anchor = [&] {
    const HWND hidden = HiddenTwin(scene);
    const Phases phases = Timed(top, [&] { AddRows(hidden, rows); });
    ::DestroyWindow(hidden);
    Settle(top);
    return phases;
  };
  Progress(("switch-on, " + LongCount(rows) + " rows").c_str());
  const Paired paired = Interleave(reps, hooked, anchor);

  SwitchOnResult result;
  Figure& total = result.total;
  total.name = "switch_on_" + ShortCount(rows);
  total.title = "switch-on + first paint, " + LongCount(rows) + " rows, vs hidden fill";
  total.unit = "ms";
  SetTotals(total, paired, kMs);
  total.target = 2.0;
  total.reps = reps;
  total.details = {{"hooked_call_ms", paired.hooked.MedianCalls() * kMs},
                   {"hooked_first_paint_ms", paired.hooked.MedianCatchUp() * kMs},
                   {"anchor_fill_ms", paired.anchor.MedianCalls() * kMs}};

  Figure& perRow = result.perRow;
  perRow.name = total.name + "_per_row";
  perRow.title = "  the same, per row";
  perRow.unit = "us";
  SetTotals(perRow, paired, kUs / rows);
  perRow.reps = reps;
  return result;
}

// Whether the cost of switching on grows with the rows as a hidden list's fill does: the growth
// of the cost per row from the smaller list to the larger one, the skin's against the hidden
// list's.
Figure SwitchOnGrowth(const SwitchOnResult& smaller, int smallerRows, const SwitchOnResult& larger,
                      int largerRows) {
  Figure growth;
  growth.name = "switch_on_growth_" + ShortCount(smallerRows) + "_to_" + ShortCount(largerRows);
  growth.title = "  cost per row grows, " + ShortCount(smallerRows) + " -> " +
                 ShortCount(largerRows) + " rows";
  growth.hooked = larger.perRow.hooked / smaller.perRow.hooked;
  growth.anchor = larger.perRow.anchor / smaller.perRow.anchor;
  growth.ratio = growth.hooked / growth.anchor;
  growth.target = 1.5;
  growth.reps = larger.total.reps;
  return growth;
}

}  // namespace

std::vector<Figure> SwitchOnFigures() {
  const SwitchOnResult small = SwitchOn(1000, 9);
  const SwitchOnResult medium = SwitchOn(10000, 7);
  const SwitchOnResult large = SwitchOn(100000, 5);
  const Figure growth = SwitchOnGrowth(medium, 10000, large, 100000);
  return {small.total, small.perRow, medium.total, medium.perRow, large.total, large.perRow,
          growth};
}

namespace {

// Rows enough for the slower side to take about a quarter of a second per repetition: few where
// every row costs a visible update, many where it costs microseconds.
int AddLoopRows(const host::HostScene& scene) {
  const HWND top = scene.top.hWnd();
  constexpr int kProbeRows = 40;
  scene.ToList(LB_RESETCONTENT);
  CatchUp(top);
  const double perRow = Timed(top, [&] { AddRows(scene.list, kProbeRows); }).Total() / kProbeRows;
  const int rows = static_cast<int>(0.25 / std::max(perRow, 1e-7));
  return std::clamp(rows / 100 * 100, 200, 10000);
}

}  // namespace

std::vector<Figure> AddLoopFigures() {
  constexpr int kReps = 5;
  host::SceneOptions options;
  options.items = 0;
  host::HostScene scene(options);
  const HWND top = scene.top.hWnd();
  scene.On();
  Require(scene.IsOn(), "add loop: the skin did not go on");
  const HWND hidden = HiddenTwin(scene);
  CatchUp(top);
  const int rows = AddLoopRows(scene);

  auto fill = [&](HWND hList) {
    ::SendMessageA(hList, LB_RESETCONTENT, 0, 0);
    CatchUp(top);
    return Timed(top, [&] { AddRows(hList, rows); });
  };
  auto hooked = [&] {
    const Phases phases = fill(scene.list);
    Require(MirrorRows(scene) == rows, "add loop: the mirror does not hold the host's rows");
    return phases;
  };
  auto anchor = [&] { return fill(hidden); };
  Progress(("the host's add loop, redraw on, " + LongCount(rows) + " rows").c_str());
  const Paired paired = Interleave(kReps, hooked, anchor);
  ::DestroyWindow(hidden);

  Figure total;
  total.name = "add_loop_redraw_on";
  total.title = "host's add loop, redraw on, + catch-up, per row";
  total.unit = "us";
  SetTotals(total, paired, kUs / rows);
  total.target = 1.5;
  total.reps = kReps;
  total.details = {{"rows", rows},
                   {"hooked_loop_ms", paired.hooked.MedianCalls() * kMs},
                   {"hooked_catchup_ms", paired.hooked.MedianCatchUp() * kMs},
                   {"anchor_loop_ms", paired.anchor.MedianCalls() * kMs},
                   {"anchor_catchup_ms", paired.anchor.MedianCatchUp() * kMs}};

  Figure loopOnly;
  loopOnly.name = "add_loop_redraw_on_loop_only";
  loopOnly.title = "  the add loop alone, per row";
  loopOnly.unit = "us";
  SetCalls(loopOnly, paired, kUs / rows);
  loopOnly.reps = kReps;
  loopOnly.details = {{"rows", rows}};
  return {total, loopOnly};
}

std::vector<Figure> RedrawOffBatchFigures() {
  constexpr int kReps = 9;
  constexpr int kRows = 10000;
  host::SceneOptions options;
  options.items = 0;
  host::HostScene scene(options);
  const HWND top = scene.top.hWnd();
  CatchUp(top);

  auto batch = [&] {
    return Timed(top, [&] {
      scene.ToList(WM_SETREDRAW, FALSE);
      AddRows(scene.list, kRows);
      scene.ToList(WM_SETREDRAW, TRUE);
      ::InvalidateRect(scene.list, nullptr, TRUE);
    });
  };
  auto empty = [&] {
    scene.ToList(LB_RESETCONTENT);
    Settle(top);
  };
  auto hooked = [&] {
    scene.On();
    Require(scene.IsOn(), "redraw-off batch: the skin did not go on");
    CatchUp(top);
    const Phases phases = batch();
    Require(MirrorRows(scene) == kRows, "redraw-off batch: the mirror does not hold the rows");
    scene.Off();
    empty();
    return phases;
  };
  auto anchor = [&] {
    const Phases phases = batch();
    empty();
    return phases;
  };
  Progress("the host's redraw-off batch of 10,000 rows");
  const Paired paired = Interleave(kReps, hooked, anchor);

  Figure figure;
  figure.name = "redraw_off_batch_10k";
  figure.title = "host's redraw-off batch, 10,000 rows, + paint, vs unhooked";
  figure.unit = "ms";
  SetTotals(figure, paired, kMs);
  figure.target = 2.2;
  figure.reps = kReps;
  figure.details = {{"hooked_batch_ms", paired.hooked.MedianCalls() * kMs},
                    {"hooked_paint_ms", paired.hooked.MedianCatchUp() * kMs},
                    {"anchor_batch_ms", paired.anchor.MedianCalls() * kMs},
                    {"anchor_paint_ms", paired.anchor.MedianCatchUp() * kMs}};

  // The least two lists' work can cost: the host's own list, hidden, and a visible owner-drawn
  // list beside it getting the same rows, without the library. Each list grows its storage a few
  // rows at a time, and two lists growing side by side move it far more often than one.
  const HWND hidden = HiddenTwin(scene);
  PlaceTop(scene, 20, 20, 760, 320);
  PlainOwnerDrawn second(scene.top.hWnd(), {420, 0, 720, 200},
                         WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_OWNERDRAWFIXED |
                             LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT);
  auto twoLists = [&] {
    const Phases phases = Timed(top, [&] {
      ::SendMessageA(second.list(), WM_SETREDRAW, FALSE, 0);
      for (int i = 0; i < kRows; ++i) {
        char text[32];
        std::snprintf(text, sizeof text, "Item %d", i);
        ::SendMessageA(second.list(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        ::SendMessageA(hidden, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
      }
      ::SendMessageA(second.list(), WM_SETREDRAW, TRUE, 0);
    });
    ::SendMessageA(second.list(), LB_RESETCONTENT, 0, 0);
    ::SendMessageA(hidden, LB_RESETCONTENT, 0, 0);
    Settle(top);
    return phases;
  };
  Progress("the same batch on two plain lists, without the library");
  const Paired floorPaired = Interleave(kReps, twoLists, anchor);
  ::DestroyWindow(hidden);

  Figure floor;
  floor.name = "redraw_off_batch_10k_two_plain_lists";
  floor.title = "  the same on two plain lists, no library (the floor)";
  floor.unit = "ms";
  SetTotals(floor, floorPaired, kMs);
  floor.reps = kReps;
  return {figure, floor};
}

}  // namespace bench
