// The library's exported functions.
#define KSLHOOK_API
#include "include/kslHook.h"

#include <memory>
#include <new>

#include "framework/Framework.h"
#include "overlay/OverlayDlg.h"
#include "res/resource.h"

namespace {

// The one fact the exports keep: the live panel, null while the overlay is off. Everything about
// the host's list belongs to the panel's link.
COverlayDlg* g_pOverlay = nullptr;

// A switch on or off is under way. The host's code can run inside one (a notification of its
// list's): a kslCreateHook from there waits until the switch is done, then takes its turn.
bool g_bSwitching = false;
int g_nPendingToggles = 0;
HWND g_hPendingReference = nullptr;
HWND g_hPendingSource = nullptr;

bool OwnedByThisThread(HWND hWnd) {
  return ::GetWindowThreadProcessId(hWnd, nullptr) == ::GetCurrentThreadId();
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

// The host destroyed the live panel with its parent: the overlay is off, as the host's list, shown
// again, says. The object goes once its last message is done.
void PanelDestroyedByHost(COverlayDlg* panel) {
  if (g_pOverlay == panel) g_pOverlay = nullptr;
  AfxCallWhenIdle([](void* p) { delete static_cast<COverlayDlg*>(p); }, panel);
}

// Makes and shows a panel over hReference's parent; leaves the state Unhooked when the panel cannot
// be made (no parent to put it in, no memory, no window) or the list cannot be linked. Windows of
// another thread are not the library's to put a panel in or to subclass.
void SwitchOn(HWND hReference, HWND hSource) {
  HWND hParent = ::IsWindow(hReference) ? ::GetParent(hReference) : nullptr;
  if (hParent == nullptr || !OwnedByThisThread(hParent)) return;
  if (::IsWindow(hSource) && !OwnedByThisThread(hSource)) return;
  std::unique_ptr<COverlayDlg> panel(new (std::nothrow) COverlayDlg);
  if (!panel || !panel->Create(IDD_OVERLAY, hParent)) return;
  panel->m_pfnDestroyedByHost = &PanelDestroyedByHost;
  g_pOverlay = panel.release();
  if (!g_pOverlay->ShowOver(hReference, hSource)) SwitchOff();
}

void Toggle(HWND hReference, HWND hSource) {
  g_bSwitching = true;
  if (g_pOverlay == nullptr)
    SwitchOn(hReference, hSource);
  else if (OwnedByThisThread(g_pOverlay->m_hWnd) || !::IsWindow(g_pOverlay->m_hWnd))
    SwitchOff();
  g_bSwitching = false;
}

void TogglePending(void*) {
  while (g_nPendingToggles > 0 && !g_bSwitching) {
    --g_nPendingToggles;
    Toggle(g_hPendingReference, g_hPendingSource);
  }
}

// The live panel, when the calling thread may act on it.
COverlayDlg* OverlayOfThisThread() {
  return g_pOverlay != nullptr && OwnedByThisThread(g_pOverlay->m_hWnd) ? g_pOverlay : nullptr;
}

}  // namespace

extern "C" int __stdcall kslCreateHook(HWND hReference, HWND hSource) {
  // The panel's template and the default tile are this library's resources, not the host's.
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (g_bSwitching) {
    if (g_nPendingToggles++ == 0) AfxCallWhenIdle(&TogglePending, nullptr);
    g_hPendingReference = hReference;
    g_hPendingSource = hSource;
    return 0;
  }
  Toggle(hReference, hSource);
  return 0;
}

// Kept for hosts that call it: the window it names is not needed for anything.
extern "C" int __stdcall kslHookSetHwnd(HWND) { return 1; }

extern "C" int __stdcall kslHookSetBkBmp(LPCSTR lpszPath) {
  if (COverlayDlg* panel = OverlayOfThisThread()) panel->m_wndList.SetBkBitmap(lpszPath);
  return 1;
}

extern "C" int __stdcall kslHookSetBkColor(COLORREF crColor) {
  if (COverlayDlg* panel = OverlayOfThisThread()) panel->m_wndList.SetBkColor(crColor);
  return 1;
}

extern "C" int __stdcall kslHookSetFgColor(COLORREF crColor) {
  if (COverlayDlg* panel = OverlayOfThisThread()) panel->m_wndList.SetFgColor(crColor);
  return 1;
}
