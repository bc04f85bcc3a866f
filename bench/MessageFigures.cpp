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

// The least any subclass costs: the procedure it replaced, called straight on.
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

// Sends enough for about 30 ms per repetition.
int SendCount(HWND hList, UINT message) {
  constexpr int kProbe = 5000;
  const double perMessage = SendLoop(hList, message, kProbe);
  return std::clamp(static_cast<int>(0.03 / std::max(perMessage, 1e-9)), kProbe, 1000000);
}

struct Unrepeated {
  UINT message;
  const char* name;
};

Figure UnrepeatedFigure(host::HostScene& scene, const Unrepeated& message) {
  constexpr int kReps = 9;
  const HWND top = scene.top.hWnd();
  const int count = SendCount(scene.list, message.message);
  auto hooked = [&] {
    scene.On();
    Require(scene.IsOn(), "unrepeated message: the skin did not go on");
    CatchUp(top);
    Phases phases;
    phases.calls = SendLoop(scene.list, message.message, count);
    scene.Off();
    Settle(top);
    return phases;
  };
  auto anchor = [&] {
    Phases phases;
    {
      PassThroughSubclass passThrough(scene.list);
      phases.calls = SendLoop(scene.list, message.message, count);
    }
    Settle(top);
    return phases;
  };
  Progress((std::string("unrepeated ") + message.name).c_str());
  const Paired paired = Interleave(kReps, hooked, anchor);

  Figure figure;
  figure.name = std::string("unrepeated_") + message.name;
  figure.title = std::string("unrepeated ") + message.name + ", per message, vs pass-through";
  figure.unit = "us";
  figure.hooked = paired.hooked.MedianTotal() * kUs;
  figure.anchor = paired.anchor.MedianTotal() * kUs;
  figure.target = 1.1;
  figure.reps = kReps;
  figure.details = {{"messages", count}};
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
  CatchUp(scene.top.hWnd());
  std::vector<Figure> figures;
  for (const Unrepeated& message : messages) figures.push_back(UnrepeatedFigure(scene, message));
  return figures;
}

}  // namespace bench
