// Figures of a host filling its list: switching the skin on over a full list, the host's own add
// loop with redraw on, and its redraw-off batch.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <memory>
#include <string>

#include "bench/Figures.h"
#include "bench/Measure.h"
#include "bench/Scenes.h"

namespace bench {

namespace {

constexpr double kMs = 1e3;
constexpr double kUs = 1e6;

// The switch-on figures' anchor: the host filling a hidden list of its list's style with the rows.
Phases HiddenFill(const host::HostScene& scene, int rows) {
  const HWND top = scene.top.hWnd();
  const HWND hidden = HiddenTwin(scene);
  const Phases phases = Timed(top, [&] { AddRows(hidden, rows); });
  ::DestroyWindow(hidden);
  Settle(top);
  return phases;
}

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
  auto anchor = [&] { return HiddenFill(scene, rows); };
  Progress(("switch-on, " + LongCount(rows) + " rows").c_str());
  const Paired paired = Interleave(reps, hooked, anchor);

  SwitchOnResult result;
  Figure& total = result.total;
  total.name = "switch_on_" + ShortCount(rows);
  total.title = "switch-on + first paint, " + LongCount(rows) + " rows, vs hidden fill";
  total.unit = "ms";
  SetTotals(total, paired, kMs);
  total.target = rows <= 1000 ? 1.0 : 0;
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

// How switching on grows with the rows: its cost over the larger list against its cost over the
// smaller one, beside the same growth of the hidden list's fill. The target is on the skin's own
// growth: a skin that copied the rows would grow as the fill does.
Figure SwitchOnGrowth(const SwitchOnResult& smaller, int smallerRows, const SwitchOnResult& larger,
                      int largerRows) {
  Figure growth;
  growth.name = "switch_on_growth_" + ShortCount(smallerRows) + "_to_" + ShortCount(largerRows);
  growth.title = "switch-on, " + ShortCount(largerRows) + " rows over " + ShortCount(smallerRows) +
                 " (the fill's growth beside it)";
  growth.hooked = larger.total.hooked / smaller.total.hooked;
  growth.anchor = larger.total.anchor / smaller.total.anchor;
  growth.ratio = growth.hooked;
  growth.target = 3.0;
  growth.reps = larger.total.reps;
  return growth;
}

}  // namespace

// The least any skin costs to show a list's rows: a window of its own with an owner-drawn list
// without data of that many rows, made, shown and painted, without the library; against the same
// hidden fill as switch-on.
Figure SwitchOnFloor(int rows, int reps) {
  host::SceneOptions options;
  options.items = rows;
  host::HostScene scene(options);
  const HWND top = scene.top.hWnd();
  CatchUp(top);
  std::unique_ptr<PlainOwnerDrawn> view;
  auto floor = [&] {
    const Phases phases = Timed(top, [&] {
      view = std::make_unique<PlainOwnerDrawn>(top, RECT{0, 0, 300, 200},
                                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NODATA |
                                                   LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT);
      ::SendMessageA(view->list(), LB_SETCOUNT, static_cast<WPARAM>(rows), 0);
    });
    view.reset();
    Settle(top);
    return phases;
  };
  auto anchor = [&] { return HiddenFill(scene, rows); };
  Progress(("a plain view of " + LongCount(rows) + " rows, without the library").c_str());
  const Paired paired = Interleave(reps, floor, anchor);
  Figure figure;
  figure.name = "switch_on_" + ShortCount(rows) + "_plain_view";
  figure.title = "  a plain list without data shown instead, no library (the floor)";
  figure.unit = "ms";
  SetTotals(figure, paired, kMs);
  figure.reps = reps;
  return figure;
}

std::vector<Figure> SwitchOnFigures() {
  const SwitchOnResult small = SwitchOn(1000, 9);
  const Figure floor = SwitchOnFloor(1000, 9);
  const SwitchOnResult medium = SwitchOn(10000, 7);
  const SwitchOnResult large = SwitchOn(100000, 5);
  const Figure growth = SwitchOnGrowth(small, 1000, large, 100000);
  return {small.total, small.perRow, floor, medium.total, medium.perRow, large.total, large.perRow,
          growth};
}

namespace {

// The rows a list holds before the host's loop adds more: more than it shows, so that its scroll bar
// is there already. A visible list pays once for its scroll bar coming (a window's frame changes,
// about 7 ms under Wine, the skin's as the host's own visible list's), not once a row.
constexpr int kRowsBeforeTheLoop = 100;

void RefillBeforeTheLoop(HWND hList, HWND hTop) {
  ::SendMessageA(hList, LB_RESETCONTENT, 0, 0);
  AddRows(hList, kRowsBeforeTheLoop, "Before ");
  CatchUp(hTop);
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
  constexpr int rows = 10000;

  auto fill = [&](HWND hList) {
    RefillBeforeTheLoop(hList, top);
    return Timed(top, [&] { AddRows(hList, rows); });
  };
  auto hooked = [&] {
    const Phases phases = fill(scene.list);
    Require(MirrorRows(scene) == kRowsBeforeTheLoop + rows,
            "add loop: the mirror does not show the host's rows");
    return phases;
  };
  auto anchor = [&] { return fill(hidden); };
  Progress(("the host's add loop, redraw on, " + LongCount(rows) + " rows").c_str());
  const Paired paired = Interleave(kReps, hooked, anchor);

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

  // The least the host's own list costs once the skin hides it: the same list, hidden by the host,
  // without the library. A list that has been on the screen pays more for each row than one that
  // never was (the anchor), skin or no skin.
  auto hiddenByTheHost = [&] {
    scene.Off();
    ::ShowWindow(scene.list, SW_HIDE);
    const Phases phases = fill(scene.list);
    ::ShowWindow(scene.list, SW_SHOW);
    scene.On();
    CatchUp(top);
    return phases;
  };
  Progress("the same loop on the host's list hidden by the host, without the library");
  const Paired floorPaired = Interleave(kReps, hiddenByTheHost, anchor);
  Figure floor;
  floor.name = "add_loop_redraw_on_loop_only_host_hidden_list";
  floor.title = "  the loop alone on the host's own list, hidden, no library (the floor)";
  floor.unit = "us";
  SetCalls(floor, floorPaired, kUs / rows);
  floor.reps = kReps;
  ::DestroyWindow(hidden);
  return {total, loopOnly, floor};
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
  figure.target = 1.2;
  figure.reps = kReps;
  figure.details = {{"hooked_batch_ms", paired.hooked.MedianCalls() * kMs},
                    {"hooked_paint_ms", paired.hooked.MedianCatchUp() * kMs},
                    {"anchor_batch_ms", paired.anchor.MedianCalls() * kMs},
                    {"anchor_paint_ms", paired.anchor.MedianCatchUp() * kMs}};

  return {figure};
}

std::vector<Figure> MemoryFigures() {
  constexpr int kReps = 3;
  constexpr int kRows = 100000;
  host::SceneOptions options;
  options.items = 0;
  host::HostScene scene(options);
  const HWND top = scene.top.hWnd();
  CatchUp(top);
  std::vector<double> skin, list, skinCommitted, listCommitted;
  Progress("memory, 100,000 rows");
  for (int rep = 0; rep < kReps; ++rep) {
    const double heapBefore = HeapBytesInUse();
    const double committedBefore = CommittedBytes();
    // As a host fills a long list: with its redraw off.
    scene.ToList(WM_SETREDRAW, FALSE);
    AddRows(scene.list, kRows);
    scene.ToList(WM_SETREDRAW, TRUE);
    CatchUp(top);
    list.push_back(HeapBytesInUse() - heapBefore);
    listCommitted.push_back(CommittedBytes() - committedBefore);
    const double heapOn = HeapBytesInUse();
    const double committedOn = CommittedBytes();
    scene.On();
    CatchUp(top);
    Require(MirrorRows(scene) == kRows, "memory: the mirror does not show the host's rows");
    skin.push_back(HeapBytesInUse() - heapOn);
    skinCommitted.push_back(CommittedBytes() - committedOn);
    scene.Off();
    scene.ToList(LB_RESETCONTENT);
    Settle(top);
  }
  Figure figure;
  figure.name = "memory_100k";
  figure.title = "memory the skin adds, 100,000 rows, vs the list's own";
  figure.unit = "KB";
  figure.hooked = Median(skin) / 1024;
  figure.anchor = Median(list) / 1024;
  figure.ratio = figure.hooked / figure.anchor;
  figure.target = 0.05;
  figure.reps = kReps;
  figure.details = {{"hooked_committed_kb", Median(skinCommitted) / 1024},
                    {"anchor_committed_kb", Median(listCommitted) / 1024}};
  return {figure};
}

}  // namespace bench
