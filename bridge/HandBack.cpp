#include "bridge/HandBack.h"

#include "boundary/HookState.h"
#include "bridge/SourceProc.h"
#include "overlay/SkinListBox.h"

namespace {

// The hooked source and its previous procedure, taken at one moment, so that a replay that the
// host interrupts by switching the overlay off still finishes on the window it began on.
struct SourceTarget {
  HWND hWnd = g_hHookedList;
  WNDPROC pfnProc = g_pfnOldListProc;
  bool bUnicode = g_hHookedList != nullptr && ::IsWindowUnicode(g_hHookedList);

  LRESULT Call(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return pfnProc ? CallListProc(pfnProc, bUnicode, hWnd, message, wParam, lParam) : 0;
  }
};

// The click point's y travels in the high word of lParam.
bool FitsInPoint(long long y) { return y >= -32768 && y <= 32767; }

}  // namespace

LRESULT CallSourceProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return SourceTarget().Call(message, wParam, lParam);
}

void HandBackDoubleClick(WPARAM wParam, LPARAM lParam) {
  if (g_hHookedList != nullptr) ::SendMessageA(g_hHookedList, WM_LBUTTONDBLCLK, wParam, lParam);
}

void HandBackRightButton(UINT message, WPARAM wParam, LPARAM lParam) {
  // Without a hooked source a null window would turn the post into a thread message for the host.
  if (g_hHookedList != nullptr) ::PostMessageA(g_hHookedList, message, wParam, lParam);
}

int CSkinListBox::ForwardSelection() {
  const int sel = static_cast<int>(SendMessage(LB_GETCURSEL));
  if (sel == LB_ERR) return LB_ERR;

  const SourceTarget source;
  const HWND hFocusBefore = ::GetFocus();
  int top = static_cast<int>(source.Call(LB_GETTOPINDEX));
  const int itemHeight = static_cast<int>(source.Call(LB_GETITEMHEIGHT));
  long long y = static_cast<long long>(sel - top) * itemHeight;
  if (!FitsInPoint(y)) {
    // Too far from the source's top row for a click point: bring the row up first. The source is
    // scrolled past its window procedure, so the mirror keeps its own position.
    source.Call(LB_SETTOPINDEX, static_cast<WPARAM>(sel));
    top = static_cast<int>(source.Call(LB_GETTOPINDEX));
    y = static_cast<long long>(sel - top) * itemHeight;
  }
  const LPARAM point = MAKELPARAM(0, static_cast<WORD>(y));
  source.Call(WM_LBUTTONDOWN, MK_LBUTTON, point);
  const LRESULT released = source.Call(WM_LBUTTONUP, MK_LBUTTON, point);

  // The press gave the hidden source the keyboard focus; the user's keys belong to the mirror.
  const bool stillLive = g_hHookedList != nullptr && g_hMirrorList == m_hWnd;
  if (hFocusBefore == m_hWnd && stillLive && ::GetFocus() != m_hWnd) ::SetFocus(m_hWnd);
  return static_cast<int>(released);
}
