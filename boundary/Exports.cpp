// The library's exported functions and its application object.
#define KSLHOOK_API
#include "include/kslHook.h"

#include <memory>
#include <new>

#include "framework/Framework.h"
#include "overlay/OverlayDlg.h"
#include "res/resource.h"

namespace {

class CHookApp : public CWinApp {};

CHookApp theApp;

// The one fact the exports keep: the live panel, null while the overlay is off. Everything about
// the host's list belongs to the panel's link.
COverlayDlg* g_pOverlay = nullptr;

// Makes and shows a panel over hReference's parent; leaves the state Unhooked when the panel cannot
// be made (no parent to put it in, no memory, no window).
void SwitchOn(HWND hReference, HWND hSource) {
  HWND hParent = ::IsWindow(hReference) ? ::GetParent(hReference) : nullptr;
  if (hParent == nullptr) return;
  std::unique_ptr<COverlayDlg> panel(new (std::nothrow) COverlayDlg(nullptr));
  if (!panel || !panel->Create(IDD_OVERLAY, CWnd::FromHandle(hParent))) return;
  g_pOverlay = panel.release();
  g_pOverlay->ShowOver(hReference, hSource);
}

void DestroyPanel(void* pPanel) {
  auto* panel = static_cast<COverlayDlg*>(pPanel);
  panel->DestroyWindow();
  delete panel;
}

// The host sees the overlay gone at once. A panel whose messages are still being handled further
// down the stack (the host switched off from a notification the panel handed back) is only hidden
// now and destroyed once those messages are done.
void SwitchOff() {
  COverlayDlg* panel = g_pOverlay;
  g_pOverlay = nullptr;
  panel->GiveBack();
  if (panel->IsBusy())
    AfxCallWhenIdle(&DestroyPanel, panel);
  else
    DestroyPanel(panel);
}

}  // namespace

extern "C" int __stdcall kslCreateHook(HWND hReference, HWND hSource) {
  // The panel's template and the default tile are this library's resources, not the host's.
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (g_pOverlay == nullptr)
    SwitchOn(hReference, hSource);
  else
    SwitchOff();
  return 0;
}

extern "C" int __stdcall kslHookSetHwnd(HWND hWnd) {
  if (g_pOverlay != nullptr) g_pOverlay->m_hNotifyWnd = hWnd;
  return 1;
}

extern "C" int __stdcall kslHookSetBkBmp(LPCSTR lpszPath) {
  if (g_pOverlay != nullptr) g_pOverlay->m_wndList.SetBkBitmap(lpszPath);
  return 1;
}

extern "C" int __stdcall kslHookSetBkColor(COLORREF crColor) {
  if (g_pOverlay != nullptr) g_pOverlay->m_wndList.SetBkColor(crColor);
  return 1;
}

extern "C" int __stdcall kslHookSetFgColor(COLORREF crColor) {
  if (g_pOverlay != nullptr) g_pOverlay->m_wndList.SetFgColor(crColor);
  return 1;
}
