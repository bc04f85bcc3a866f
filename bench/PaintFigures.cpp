// Figures of painting: a full repaint of the skin, and a one-row scroll step, each against a
// plain owner-drawn list box of the same size, style and rows beside it in the same host window.
#include <memory>
#include <string>

#include "bench/Figures.h"
#include "bench/Measure.h"
#include "bench/Scenes.h"

namespace bench {

namespace {

constexpr double kMs = 1e3;
constexpr int kRowHeight = 20;
constexpr RECT kSkinPlace = {0, 0, 400, 600};  // 30 rows of 20 pixels
constexpr RECT kPlainPlace = {450, 0, 850, 600};

host::SceneOptions SkinOptions() {
  host::SceneOptions options;
  options.items = 0;
  options.place = kSkinPlace;
  options.itemHeight = kRowHeight;
  return options;
}

// The skin over a host's list, and beside it a plain owner-drawn list with the mirror's style and
// the same rows, both fully on the screen.
class SideBySide {
 public:
  SideBySide(int rows, const char* prefix) : scene(SkinOptions()) {
    PlaceTop(scene, 20, 20, 900, 700);
    host::AddItems(scene.list, rows, prefix);
    scene.On();
    Require(scene.IsOn() && scene.mirror != nullptr, "painting: the skin did not go on");
    const auto mirrorStyle = static_cast<DWORD>(::GetWindowLongA(scene.mirror, GWL_STYLE));
    Require((mirrorStyle & LBS_OWNERDRAWFIXED) != 0, "painting: the mirror is not owner-drawn");
    // The mirror keeps no rows of its own; a host's owner-drawn list keeps its texts.
    plain = std::make_unique<PlainOwnerDrawn>(
        top(), kPlainPlace, (mirrorStyle & ~LBS_NODATA) | LBS_HASSTRINGS | WS_VISIBLE);
    host::AddItems(plain->list(), rows, prefix);
    ::SendMessageA(plain->list(), LB_SETITEMHEIGHT, 0, kRowHeight);
    CatchUp(top());
  }

  HWND top() const { return scene.top.hWnd(); }

  host::HostScene scene;
  std::unique_ptr<PlainOwnerDrawn> plain;  // goes before the scene's windows
};

// Time per full repaint of hList, each one invalidated, erased and painted at once, then the
// host's loop let run.
Phases RepaintRounds(HWND hList, HWND hTop, int rounds) {
  const double t0 = Now();
  for (int i = 0; i < rounds; ++i) {
    ::RedrawWindow(hList, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    CatchUp(hTop);
  }
  Phases phases;
  phases.calls = (Now() - t0) / rounds;
  return phases;
}

// Time per one-row scroll step sent to hList, painted, from the top row down.
Phases ScrollSteps(HWND hList, HWND hTop, int steps) {
  ::SendMessageA(hList, LB_SETTOPINDEX, 0, 0);
  CatchUp(hTop);
  const double t0 = Now();
  for (int i = 1; i <= steps; ++i) {
    ::SendMessageA(hList, LB_SETTOPINDEX, static_cast<WPARAM>(i), 0);
    CatchUp(hTop);
  }
  Phases phases;
  phases.calls = (Now() - t0) / steps;
  return phases;
}

Figure PaintFigure(const char* name, const std::string& title, int reps, const Paired& paired) {
  Figure figure;
  figure.name = name;
  figure.title = title;
  figure.unit = "ms";
  SetTotals(figure, paired, kMs);
  figure.target = 1.2;
  figure.reps = reps;
  return figure;
}

// Rows the host draws itself: the skin over a host's owner-drawn list, which has each row drawn
// by the host into a picture and shows it over the tile, against the same kind of list beside it,
// unskinned, the host drawing straight onto it.
Figure HostDrawnRepaintFigure(int reps, int rounds) {
  host::TopWindow top(20, 20, 900, 700);
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
                      LBS_NOINTEGRALHEIGHT;
  PlainOwnerDrawn skinned(top.hWnd(), kSkinPlace, style);
  PlainOwnerDrawn own(top.hWnd(), kPlainPlace, style);
  for (HWND hList : {skinned.list(), own.list()}) {
    host::AddItems(hList, 30, "Row\twith a tab ");
    ::SendMessageA(hList, LB_SETITEMHEIGHT, 0, kRowHeight);
  }
  host::Lib().CreateHook(skinned.list(), skinned.list());
  const HWND mirror = host::MirrorOf(host::FindPanel(skinned.holder()));
  Require(mirror != nullptr, "host-drawn rows: the skin did not go on");
  CatchUp(top.hWnd());
  Progress("full repaint, 30 rows the host draws");
  const Paired paired =
      Interleave(reps, [&] { return RepaintRounds(mirror, top.hWnd(), rounds); },
                 [&] { return RepaintRounds(own.list(), top.hWnd(), rounds); });
  host::Lib().CreateHook(nullptr, nullptr);
  Figure figure = PaintFigure("repaint_30_host_drawn_rows",
                              "full repaint, 30 rows the host draws, vs its own list", reps, paired);
  figure.target = 0;
  figure.details = {{"rounds", rounds}};
  return figure;
}

}  // namespace

std::vector<Figure> RepaintFigures() {
  constexpr int kReps = 21;
  constexpr int kRounds = 15;
  SideBySide sides(30, "Row\twith a tab ");
  Progress("full repaint, 30 rows");
  const Paired paired =
      Interleave(kReps, [&] { return RepaintRounds(sides.scene.mirror, sides.top(), kRounds); },
                 [&] { return RepaintRounds(sides.plain->list(), sides.top(), kRounds); });
  Figure figure = PaintFigure("repaint_30_rows", "full repaint, 30 rows, vs plain owner-draw",
                              kReps, paired);
  figure.details = {{"rounds", kRounds}};

  // The tile's size must not matter: a 1x1 or 2x2 picture against a 128x128 one, both on the skin.
  std::vector<Figure> figures = {figure};
  const std::string large = host::WriteCoordinateBitmap("bench_tile128.bmp", 128, 128);
  for (int side : {1, 2}) {
    const std::string name = "bench_tile" + std::to_string(side) + ".bmp";
    const std::string small = host::WriteCoordinateBitmap(name, side, side);
    auto withTile = [&](const std::string& path) {
      host::Lib().SetBkBmp(path.c_str());
      return RepaintRounds(sides.scene.mirror, sides.top(), kRounds);
    };
    Progress(("full repaint with a " + std::to_string(side) + "x" + std::to_string(side) +
              " tile").c_str());
    const Paired tiles =
        Interleave(kReps, [&] { return withTile(small); }, [&] { return withTile(large); });
    const std::string size = std::to_string(side) + "x" + std::to_string(side);
    Figure tile = PaintFigure(("repaint_tile_" + size).c_str(),
                              "full repaint, " + size + " tile, vs 128x128 tile", kReps, tiles);
    tile.target = 1.3;
    figures.push_back(tile);
  }
  // A picture with transparency is composed over the list's background once, when it is set:
  // repainting it costs what the opaque tile of its size does. The demo's PNG, beside the program.
  Require(host::Lib().SetBkBmpW(L"pictures\\glass.png"), "painting: the demo's PNG did not load");
  auto withPicture = [&](bool png) {
    if (png) host::Lib().SetBkBmpW(L"pictures\\glass.png");
    if (!png) host::Lib().SetBkBmp(large.c_str());
    return RepaintRounds(sides.scene.mirror, sides.top(), kRounds);
  };
  Progress("full repaint with a partly transparent PNG tile");
  Figure png = PaintFigure("repaint_tile_png_alpha", "full repaint, 128x128 PNG with alpha, vs BMP",
                           kReps, Interleave(kReps, [&] { return withPicture(true); },
                                             [&] { return withPicture(false); }));
  png.target = 1.2;
  figures.push_back(png);
  sides.scene.Off();
  figures.push_back(HostDrawnRepaintFigure(kReps, kRounds));
  return figures;
}

std::vector<Figure> ScrollStepFigures() {
  constexpr int kReps = 11;
  constexpr int kSteps = 20;
  constexpr int kRows = 10000;
  SideBySide sides(kRows, "Item ");
  auto hooked = [&] {
    // Sent to the host's list, as the host would; the skin follows it.
    const Phases phases = ScrollSteps(sides.scene.list, sides.top(), kSteps);
    Require(::SendMessageA(sides.scene.mirror, LB_GETTOPINDEX, 0, 0) == kSteps,
            "scroll step: the mirror did not follow the host's list");
    return phases;
  };
  auto anchor = [&] { return ScrollSteps(sides.plain->list(), sides.top(), kSteps); };
  Progress("one-row scroll steps, 10,000 rows");
  const Paired paired = Interleave(kReps, hooked, anchor);
  Figure figure = PaintFigure("scroll_step_10k", "one-row scroll step, 10,000 rows, vs plain",
                              kReps, paired);
  figure.details = {{"steps", kSteps}};
  return {figure};
}

}  // namespace bench
