// Benchmarks, run by hand (scripts/bench.sh): each prints two timings taken in one run and their
// ratio, since these shared machines are too noisy for absolute figures.
#include <windows.h>

#include <cstdio>

#include "tests/HostKit.h"

using namespace host;

namespace {

double Now() {
  LARGE_INTEGER t, f;
  ::QueryPerformanceCounter(&t);
  ::QueryPerformanceFrequency(&f);
  return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// Switching the overlay on over a list of 10,000 items, against filling a plain list box with the
// same items with its redraw off (the least any copy has to do).
void SwitchOnLargeSource() {
  TopWindow top;
  HWND pane = MakeChild(top.hWnd(), 200, WS_CHILD | WS_VISIBLE, 10, 10, 300, 300, "STATIC");
  HWND list = MakeChild(top.hWnd(), 100, kPlainListStyle, 10, 10, 300, 300);
  AddItems(list, 10000, "Row number ");

  const double t0 = Now();
  Lib().CreateHook(pane, list);
  const double switchOn = Now() - t0;
  Lib().CreateHook(nullptr, nullptr);

  HWND plain = MakeChild(top.hWnd(), 101, kPlainListStyle, 320, 10, 300, 300);
  const double t1 = Now();
  AddItems(plain, 10000, "Row number ");
  const double fill = Now() - t1;
  std::printf("switch-on, 10,000 items: %.1f ms; plain fill with redraw off: %.1f ms; ratio %.2f\n",
              switchOn * 1e3, fill * 1e3, switchOn / fill);
}

// A plain owner-drawn list: solid background, text, nothing else.
LRESULT CALLBACK PlainOwnerDrawHost(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_DRAWITEM) {
    auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(l);
    HBRUSH brush = ::CreateSolidBrush(RGB(30, 30, 60));
    ::FillRect(d->hDC, &d->rcItem, brush);
    ::DeleteObject(brush);
    char text[64] = {};
    ::SendMessageA(d->hwndItem, LB_GETTEXT, d->itemID, reinterpret_cast<LPARAM>(text));
    ::SetBkMode(d->hDC, TRANSPARENT);
    ::TextOutA(d->hDC, d->rcItem.left + 2, d->rcItem.top, text, lstrlenA(text));
    return TRUE;
  }
  return ::DefWindowProcA(h, m, w, l);
}

double RepaintSeconds(HWND hList, int rounds) {
  const double t0 = Now();
  for (int i = 0; i < rounds; ++i)
    ::RedrawWindow(hList, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  return (Now() - t0) / rounds;
}

// A full repaint of the skinned list showing 30 rows, against a plain owner-drawn list of the same
// size and rows painted on a solid background.
void RepaintThirtyRows() {
  const int rounds = 200;
  TopWindow top(20, 20, 900, 700);
  HWND pane = MakeChild(top.hWnd(), 200, WS_CHILD | WS_VISIBLE, 0, 0, 400, 600, "STATIC");
  HWND list = MakeChild(top.hWnd(), 100, kPlainListStyle | LBS_NOINTEGRALHEIGHT, 0, 0, 400, 600);
  AddItems(list, 30, "Row\twith a tab ");
  ::SendMessageA(list, LB_SETITEMHEIGHT, 0, 20);
  Lib().CreateHook(pane, list);
  HWND mirror = MirrorOf(FindPanel(top.hWnd()));
  const double skinned = RepaintSeconds(mirror, rounds);
  Lib().CreateHook(nullptr, nullptr);

  WNDCLASSA wc = {};
  wc.lpfnWndProc = &PlainOwnerDrawHost;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.lpszClassName = "PlainOwnerDrawHost";
  ::RegisterClassA(&wc);
  HWND holder = ::CreateWindowExA(0, "PlainOwnerDrawHost", "", WS_CHILD | WS_VISIBLE, 450, 0, 400,
                                  600, top.hWnd(), nullptr, wc.hInstance, nullptr);
  HWND plain = MakeChild(holder, 1,
                         WS_CHILD | WS_VISIBLE | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
                             LBS_NOINTEGRALHEIGHT,
                         0, 0, 400, 600);
  AddItems(plain, 30, "Row\twith a tab ");
  ::SendMessageA(plain, LB_SETITEMHEIGHT, 0, 20);
  const double reference = RepaintSeconds(plain, rounds);
  std::printf("full repaint, 30 rows: skinned %.3f ms; plain owner-drawn %.3f ms; ratio %.2f\n",
              skinned * 1e3, reference * 1e3, skinned / reference);
}

}  // namespace

int main() {
  SwitchOnLargeSource();
  RepaintThirtyRows();
  return 0;
}
