// The library's exported functions.
#define KSLHOOK_API
#include "include/kslHook.h"

#include <atomic>
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

// The thread the library serves: the one whose call switched the overlay on, from the moment it
// called until the overlay is off again; 0 while the library is free. Only the served thread (or
// a thread taking a free library) writes it; every call of another thread returns before it
// touches anything else of the library's.
std::atomic<DWORD> g_dwServedThread{0};

// TRUE when the calling thread is the one served, or has taken the free library when `take`.
bool ServesThisThread(bool take) {
  const DWORD me = ::GetCurrentThreadId();
  DWORD served = g_dwServedThread.load();
  if (served == me) return true;
  return take && served == 0 && g_dwServedThread.compare_exchange_strong(served, me);
}

// The library is free again once nothing is on and nothing is under way.
void FreeIfIdle() {
  if (g_pOverlay == nullptr && !g_bSwitching && g_nPendingToggles == 0) g_dwServedThread.store(0);
}

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
  // The panel is the library's to end now, whoever destroys its window.
  panel->m_pfnDestroyedByHost = nullptr;
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
  FreeIfIdle();
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
  // A panel the host ended meanwhile (with its parent) has left the overlay off already.
  if (!g_pOverlay->ShowOver(hReference, hSource) && g_pOverlay != nullptr) SwitchOff();
}

void Toggle(HWND hReference, HWND hSource) {
  g_bSwitching = true;
  if (g_pOverlay == nullptr)
    SwitchOn(hReference, hSource);
  else
    SwitchOff();
  g_bSwitching = false;
}

void TogglePending(void*) {
  while (g_nPendingToggles > 0 && !g_bSwitching) {
    --g_nPendingToggles;
    Toggle(g_hPendingReference, g_hPendingSource);
  }
  FreeIfIdle();
}

// The live panel, when the calling thread may act on it.
COverlayDlg* OverlayOfThisThread() {
  // The panel was made on the thread served, which only that thread may touch.
  return ServesThisThread(false) ? g_pOverlay : nullptr;
}

}  // namespace

extern "C" int __stdcall kslCreateHook(HWND hReference, HWND hSource) {
  // Another thread's overlay, or its switch under way, is not this thread's to touch.
  if (!ServesThisThread(true)) return 0;
  // The panel's template and the default tile are this library's resources, not the host's.
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (g_bSwitching) {
    if (g_nPendingToggles++ == 0) AfxCallWhenIdle(&TogglePending, nullptr);
    g_hPendingReference = hReference;
    g_hPendingSource = hSource;
    return 0;
  }
  Toggle(hReference, hSource);
  FreeIfIdle();
  return 0;
}

// Kept for hosts that call it: the window it names is not needed for anything.
extern "C" int __stdcall kslHookSetHwnd(HWND) { return 1; }

extern "C" int __stdcall kslHookSetBkBmp(LPCSTR lpszPath) {
  if (COverlayDlg* panel = OverlayOfThisThread()) panel->m_wndList.SetBkBitmap(lpszPath);
  return 1;
}

extern "C" BOOL __stdcall kslHookSetBkBmpW(LPCWSTR lpszPath) {
  COverlayDlg* panel = OverlayOfThisThread();
  if (panel == nullptr) {
    ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return panel->m_wndList.SetBkImage(lpszPath);
}

extern "C" int __stdcall kslHookSetBkColor(COLORREF crColor) {
  if (COverlayDlg* panel = OverlayOfThisThread()) panel->m_wndList.SetBkColor(crColor);
  return 1;
}

extern "C" int __stdcall kslHookSetFgColor(COLORREF crColor) {
  if (COverlayDlg* panel = OverlayOfThisThread()) panel->m_wndList.SetFgColor(crColor);
  return 1;
}
