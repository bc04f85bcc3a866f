// Figures of the messages the skin lets through: what a host pays for a message its hooked list
// receives and the skin does not repeat, against a subclass that only hands messages on.
#include <algorithm>
#include <string>

#include "bench/Figures.h"
#include "bench/Measure.h"
#include "bench/Scenes.h"

namespace bench {

namespace {

constexpr double kUs = 1e6;

// The least any subclass costs: the procedure it replaced, called straight on. One at a time.
class PassThroughSubclass {
 public:
  explicit PassThroughSubclass(HWND hList) : m_hList(hList) {
    s_pfnPrevious = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
  }
  ~PassThroughSubclass() {
    ::SetWindowLongPtrA(m_hList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s_pfnPrevious));
  }
  PassThroughSubclass(const PassThroughSubclass&) = delete;
  PassThroughSubclass& operator=(const PassThroughSubclass&) = delete;

 private:
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return ::CallWindowProcA(s_pfnPrevious, h, m, w, l);
  }
  static WNDPROC s_pfnPrevious;
  HWND m_hList;
};
WNDPROC PassThroughSubclass::s_pfnPrevious = nullptr;

// Seconds per message over `count` sends.
double SendLoop(HWND hList, UINT message, int count) {
  const double t0 = Now();
  for (int i = 0; i < count; ++i) ::SendMessageA(hList, message, 0, 0);
  return (Now() - t0) / count;
}

// Sends enough for about 5 ms per block: short blocks, many of them, taken in turns, so that both
// sides meet the same moments of a busy machine.
int SendCount(HWND hList, UINT message) {
  constexpr int kProbe = 5000;
  const double perMessage = SendLoop(hList, message, kProbe);
  return std::clamp(static_cast<int>(0.005 / std::max(perMessage, 1e-9)), 1000, 100000);
}

struct Unrepeated {
  UINT message;
  const char* name;
};

Figure UnrepeatedFigure(HWND hHooked, HWND hPassedOn, const Unrepeated& message) {
  constexpr int kReps = 41;
  const int count = SendCount(hPassedOn, message.message);
  auto blockOn = [&](HWND hList) {
    Phases phases;
    phases.calls = SendLoop(hList, message.message, count);
    return phases;
  };
  Progress((std::string("unrepeated ") + message.name).c_str());
  const Paired paired =
      Interleave(kReps, [&] { return blockOn(hHooked); }, [&] { return blockOn(hPassedOn); });

  Figure figure;
  figure.name = std::string("unrepeated_") + message.name;
  figure.title = std::string("unrepeated ") + message.name + ", per message, vs pass-through";
  figure.unit = "us";
  SetTotals(figure, paired, kUs);
  figure.target = 1.1;
  figure.reps = kReps;
  figure.details = {{"messages_per_rep", count}};
  return figure;
}

}  // namespace

std::vector<Figure> UnrepeatedMessageFigures() {
  // Three that cost the list little of its own, so the subclass's share shows: one the list leaves
  // to the default procedure, one it answers from a field, one a dialog asks of every control.
  const Unrepeated messages[] = {{WM_NULL, "WM_NULL"},
                                 {WM_GETFONT, "WM_GETFONT"},
                                 {WM_GETDLGCODE, "WM_GETDLGCODE"}};
  host::HostScene scene;
  scene.On();
  Require(scene.IsOn(), "unrepeated message: the skin did not go on");
  // The host's list as it is under the skin (hidden, same style, same rows) beside it, so that
  // the two loops can take turns without the skin going on and off between them.
  const HWND twin = HiddenTwin(scene);
  AddRows(twin, host::SceneOptions().items);
  Require(::SendMessageA(twin, LB_GETCOUNT, 0, 0) == scene.ToList(LB_GETCOUNT),
          "unrepeated message: the two lists differ");
  PassThroughSubclass passThrough(twin);
  CatchUp(scene.top.hWnd());

  std::vector<Figure> figures;
  for (const Unrepeated& message : messages)
    figures.push_back(UnrepeatedFigure(scene.list, twin, message));
  return figures;
}

}  // namespace bench
