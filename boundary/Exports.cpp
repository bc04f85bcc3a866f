// The library's exported functions: the classic skin, switched on and off in turn by kslCreateHook,
// and any number of handle skins, each made by kslSkinAttach and ended by kslSkinDetach.
#define KSLHOOK_API
#include "include/kslHook.h"

#include <atomic>
#include <memory>
#include <new>

#include "boundary/HandleSkins.h"
#include "framework/Framework.h"
#include "framework/ThreadState.h"
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

// The host sees the overlay gone at once. The panel itself is only hidden now and destroyed once
// nothing of the library's is under way on this thread: every export and every message of the
// library's windows is a frame, and the host's code that switched off (a notification the panel
// handed back, a colour asked for during a setter's repaint, a subclass behind the link) may run
// inside any of them, with the panel still in use further down the stack.
void SwitchOff() {
  COverlayDlg* panel = g_pOverlay;
  g_pOverlay = nullptr;
  // The panel is the library's to end now, whoever destroys its window.
  panel->m_pfnDestroyedByHost = nullptr;
  panel->GiveBack();
  AfxCallWhenIdle(&DestroyPanel, panel);
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
bool CarriesHandleSkin(HWND hList);

// The list the classic skin is going on over, from before the host's code can first run in the
// switch-on (the panel's creation tells its parent, the colours are asked for) until the link has
// it: a kslSkinAttach of the same list from there finds it taken.
HWND g_hClassicTaking = nullptr;

void SwitchOn(HWND hReference, HWND hSource) {
  HWND hParent = ::IsWindow(hReference) ? ::GetParent(hReference) : nullptr;
  if (hParent == nullptr || !OwnedByThisThread(hParent)) return;
  if (::IsWindow(hSource) && !OwnedByThisThread(hSource)) return;
  // A list with a skin of its own keeps that one.
  if (CarriesHandleSkin(hSource)) return;
  std::unique_ptr<COverlayDlg> panel(new (std::nothrow) COverlayDlg);
  if (!panel) return;
  g_hClassicTaking = hSource;
  if (!panel->Create(IDD_OVERLAY, hParent)) {
    g_hClassicTaking = nullptr;
    return;
  }
  panel->m_pfnDestroyedByHost = &PanelDestroyedByHost;
  g_pOverlay = panel.release();
  // A panel the host ended meanwhile (with its parent) has left the overlay off already.
  if (!g_pOverlay->ShowOver(hReference, hSource) && g_pOverlay != nullptr) SwitchOff();
  g_hClassicTaking = nullptr;
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

// ---- Handle skins ------------------------------------------------------------------------------
//
// A handle is a number, never a pointer: the index of the skin's entry in the table and the
// entry's generation, which grows each time the entry ends a skin. An entry whose generation has
// run out is never used again, so a value once handed out names no other skin later. Each skin
// is used from its list's thread only; the table is shared by every thread and locked for the few
// instructions that read or write it. A list carries its skin's handle as a window property, so
// a list finds its skin without looking through the others.

class CHandleSkin : public COverlayDlg {
 public:
  UINT_PTR m_nHandle = 0;
  HWND m_hList = nullptr;  // the list it was attached to, which carries its handle
};

struct SkinEntry {
  CHandleSkin* pSkin;  // null while the entry is free
  DWORD dwThread;      // the list's thread
  WORD wGeneration;    // 0: the entry is retired
  bool bAutomatic;     // made by the thread's auto-attach
};

constexpr UINT_PTR kIndexBits = 16;
constexpr UINT_PTR kIndexMask = (UINT_PTR{1} << kIndexBits) - 1;
constexpr int kMaxSkins = 1 << kIndexBits;

CLock g_skinsLock;
CPlainArray<SkinEntry> g_skins;
CPlainArray<int> g_freeEntries;

extern "C" IMAGE_DOS_HEADER __ImageBase;

// The property a list carries while a handle skin is on it; named for this module alone.
struct SkinPropertyName {
  char text[40];
  SkinPropertyName() { ::wsprintfA(text, "kslHook.Skin.%p", static_cast<void*>(&__ImageBase)); }
};
const SkinPropertyName g_skinProperty;

bool CarriesHandleSkin(HWND hList) {
  return hList != nullptr && ::GetPropA(hList, g_skinProperty.text) != nullptr;
}

// A free entry for a new skin, its handle in *pHandle; -1 when the table is full.
int TakeEntry(UINT_PTR* pHandle) {
  CLockScope lock(g_skinsLock);
  int index;
  if (!g_freeEntries.IsEmpty()) {
    index = g_freeEntries[g_freeEntries.GetSize() - 1];
    g_freeEntries.RemoveAt(g_freeEntries.GetSize() - 1);
  } else {
    if (g_skins.GetSize() >= kMaxSkins || !g_skins.Add({nullptr, 0, 1, false})) return -1;
    index = g_skins.GetSize() - 1;
  }
  *pHandle = (static_cast<UINT_PTR>(g_skins[index].wGeneration) << kIndexBits) |
             static_cast<UINT_PTR>(index);
  return index;
}

// The entry's skin is over: its handle is stale from now on.
void ReleaseEntry(int index) {
  CLockScope lock(g_skinsLock);
  SkinEntry& entry = g_skins[index];
  entry.pSkin = nullptr;
  entry.bAutomatic = false;
  if (++entry.wGeneration != 0 && !g_freeEntries.Add(index)) entry.wGeneration = 0;
}

// The live skin a handle names, when the calling thread may use it; otherwise null, with the
// reason as the thread's last error.
CHandleSkin* SkinOfHandle(HKSLSKIN hSkin) {
  const auto value = reinterpret_cast<UINT_PTR>(hSkin);
  const auto index = static_cast<int>(value & kIndexMask);
  const UINT_PTR generation = value >> kIndexBits;
  DWORD error = ERROR_INVALID_HANDLE;
  CHandleSkin* skin = nullptr;
  {
    CLockScope lock(g_skinsLock);
    if (generation != 0 && index < g_skins.GetSize() && g_skins[index].pSkin != nullptr &&
        g_skins[index].wGeneration == generation) {
      if (g_skins[index].dwThread == ::GetCurrentThreadId())
        skin = g_skins[index].pSkin;
      else
        error = ERROR_ACCESS_DENIED;
    }
  }
  if (skin == nullptr) ::SetLastError(error);
  return skin;
}

// Ends a handle skin's entry and its list's mark; the panel itself is left to the caller.
void ForgetSkin(CHandleSkin* skin) {
  // A list destroyed meanwhile has taken its properties with it.
  const HWND hList = skin->m_hList;
  if (::IsWindow(hList) &&
      reinterpret_cast<UINT_PTR>(::GetPropA(hList, g_skinProperty.text)) == skin->m_nHandle)
    ::RemovePropA(hList, g_skinProperty.text);
  skin->m_pfnDestroyedByHost = nullptr;
  skin->m_pfnListGone = nullptr;
  ReleaseEntry(static_cast<int>(skin->m_nHandle & kIndexMask));
}

void EndSkin(CHandleSkin* skin) {
  ForgetSkin(skin);
  skin->GiveBack();
  // At once when nothing of the library's is under way; else when the call or message that
  // reached the host's code which ended the skin (its attach, a setter's repaint) is done.
  AfxCallWhenIdle(&DestroyPanel, skin);
}

// The host destroyed the skin's list: the skin ends with it, once the list's last message is done.
void HandleSkinListGone(COverlayDlg* panel) {
  auto* skin = static_cast<CHandleSkin*>(panel);
  ForgetSkin(skin);
  AfxCallWhenIdle(&DestroyPanel, skin);
}

// The host destroyed the skin's panel with its parent: the skin is over.
void HandleSkinDestroyedByHost(COverlayDlg* panel) {
  auto* skin = static_cast<CHandleSkin*>(panel);
  ForgetSkin(skin);
  AfxCallWhenIdle([](void* p) { delete static_cast<CHandleSkin*>(p); }, skin);
}

// A window of the system's list box class, of a superclass of it, or a combo box's own list. Where
// the system cannot name the class a window was built on, a list box is known by its answers: a row
// height and a count, where any other window's default answer is 0 and LB_ERR is -1.
bool IsListBox(HWND hWnd) {
  char name[32] = {};
  if (!::IsWindow(hWnd) || ::RealGetWindowClassA(hWnd, name, sizeof name) == 0) return false;
  if (::lstrcmpiA(name, "ListBox") == 0 || ::lstrcmpiA(name, "ComboLBox") == 0) return true;
  DWORD_PTR height = 0, count = 0;
  const UINT flags = SMTO_ABORTIFHUNG | SMTO_BLOCK;
  return ::SendMessageTimeoutA(hWnd, LB_GETITEMHEIGHT, 0, 0, flags, 500, &height) &&
         ::SendMessageTimeoutA(hWnd, LB_GETCOUNT, 0, 0, flags, 500, &count) &&
         static_cast<LRESULT>(height) > 0 && static_cast<LRESULT>(count) >= 0;
}

// The drop-down combo box of this thread whose list hList is, or null: hCombo when it is, else the
// one found among the thread's windows. Such a list is no child of a window of the host's: the
// combo box shows it over everything as it drops, and only the combo box names it.
HWND DropDownComboOf(HWND hList, HWND hCombo) {
  COMBOBOXINFO known = {};
  known.cbSize = sizeof known;
  if (hCombo != nullptr && ::GetComboBoxInfo(hCombo, &known) && known.hwndList == hList)
    return hCombo;
  struct Search {
    HWND hList;
    HWND hCombo;
    static BOOL CALLBACK Look(HWND hWnd, LPARAM lParam) {
      auto* search = reinterpret_cast<Search*>(lParam);
      char name[16] = {};
      COMBOBOXINFO info = {};
      info.cbSize = sizeof info;
      // Only a combo box is asked, so that no window of the host's hears a message it may read
      // otherwise.
      if (::RealGetWindowClassA(hWnd, name, sizeof name) && ::lstrcmpiA(name, "ComboBox") == 0 &&
          ::GetComboBoxInfo(hWnd, &info) && info.hwndList == search->hList)
        search->hCombo = hWnd;
      return search->hCombo == nullptr;
    }
    static BOOL CALLBACK LookInside(HWND hTop, LPARAM lParam) {
      if (Look(hTop, lParam)) ::EnumChildWindows(hTop, &Look, lParam);
      return reinterpret_cast<Search*>(lParam)->hCombo == nullptr;
    }
  } search = {hList, nullptr};
  ::EnumThreadWindows(::GetCurrentThreadId(), &Search::LookInside, reinterpret_cast<LPARAM>(&search));
  return search.hCombo;
}

HKSLSKIN Refuse(DWORD error) {
  ::SetLastError(error);
  return nullptr;
}

// hCombo, when known, is the combo box a drop-down's list was made by.
HKSLSKIN AttachSkin(HWND hList, bool automatic, HWND hCombo = nullptr) {
  // The skin lies in the list's place in its parent. A list with no parent of the host's has no
  // such place, but for a drop-down combo box's, over which the skin is a pop-up of its own.
  if (!IsListBox(hList)) return Refuse(ERROR_INVALID_WINDOW_HANDLE);
  const LONG style = ::GetWindowLongA(hList, GWL_STYLE);
  const bool hostsChild =
      (style & WS_CHILD) && ::GetAncestor(hList, GA_PARENT) != ::GetDesktopWindow();
  if (!hostsChild && !(style & LBS_COMBOBOX)) return Refuse(ERROR_INVALID_WINDOW_HANDLE);
  if (!OwnedByThisThread(hList)) return Refuse(ERROR_ACCESS_DENIED);
  if (!hostsChild) hCombo = DropDownComboOf(hList, hCombo);
  const HWND hParent = hostsChild ? ::GetParent(hList) : hCombo;
  if (hParent == nullptr) return Refuse(ERROR_INVALID_WINDOW_HANDLE);
  if (!OwnedByThisThread(hParent)) return Refuse(ERROR_ACCESS_DENIED);
  // A list the classic skin is on or is going on over, or the skin's own list.
  const bool classicOnIt =
      ServesThisThread(false) && (g_hClassicTaking == hList || (g_pOverlay != nullptr &&
                                                                g_pOverlay->m_link.SourceList() == hList));
  if (CarriesHandleSkin(hList) || classicOnIt || CWnd::FromHandlePermanent(hList) != nullptr)
    return Refuse(ERROR_ALREADY_EXISTS);

  UINT_PTR handle = 0;
  const int index = TakeEntry(&handle);
  if (index < 0) return Refuse(ERROR_NOT_ENOUGH_MEMORY);
  auto* skin = new (std::nothrow) CHandleSkin;
  if (skin == nullptr) {
    ReleaseEntry(index);
    return Refuse(ERROR_OUTOFMEMORY);
  }
  skin->m_nHandle = handle;
  skin->m_hList = hList;
  // The list is marked taken before the host's code can run (the panel's creation tells the
  // list's parent), so that a nested attach finds it taken.
  if (!::SetPropA(hList, g_skinProperty.text, reinterpret_cast<HANDLE>(handle)) ||
      !(hostsChild ? skin->Create(IDD_OVERLAY, hParent) : skin->CreateOverDropDown(hCombo))) {
    ForgetSkin(skin);
    DestroyPanel(skin);
    return Refuse(ERROR_NOT_ENOUGH_MEMORY);
  }
  {
    CLockScope lock(g_skinsLock);
    g_skins[index].pSkin = skin;
    g_skins[index].dwThread = ::GetCurrentThreadId();
    g_skins[index].bAutomatic = automatic;
  }
  skin->m_pfnDestroyedByHost = &HandleSkinDestroyedByHost;
  skin->m_pfnListGone = &HandleSkinListGone;
  const auto hSkin = reinterpret_cast<HKSLSKIN>(handle);
  if (skin->ShowOver(hList, hList)) {
    // The host's code, called meanwhile, may have ended the skin already.
    if (SkinOfHandle(hSkin) != nullptr) return hSkin;
    return Refuse(ERROR_INVALID_WINDOW_HANDLE);
  }
  if (SkinOfHandle(hSkin) != nullptr) {
    EndSkin(skin);
    return Refuse(ERROR_NOT_ENOUGH_MEMORY);
  }
  return Refuse(ERROR_INVALID_WINDOW_HANDLE);
}

}  // namespace

extern "C" HKSLSKIN __stdcall kslSkinAttach(HWND hList) {
  // Every export is a frame: a skin the host's code ends during the call (here, in its answers to
  // the questions the attach asks) goes only once the call is done.
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  return AttachSkin(hList, false);
}

HKSLSKIN AttachAutomatically(HWND hList, HWND hMaker, const KSLLOOK& look) {
  const HKSLSKIN hSkin = AttachSkin(hList, true, hMaker);
  if (hSkin != nullptr && look.fMask != 0) kslSkinSetLook(hSkin, &look);
  return hSkin;
}

bool AutomaticSkinsOfThisThread(CPlainArray<HKSLSKIN>* pSkins) {
  CLockScope lock(g_skinsLock);
  const DWORD me = ::GetCurrentThreadId();
  for (int i = 0; i < g_skins.GetSize(); ++i) {
    const SkinEntry& entry = g_skins[i];
    const auto handle = (static_cast<UINT_PTR>(entry.wGeneration) << kIndexBits) | i;
    if (entry.pSkin != nullptr && entry.bAutomatic && entry.dwThread == me &&
        !pSkins->Add(reinterpret_cast<HKSLSKIN>(handle)))
      return false;
  }
  return true;
}

extern "C" BOOL __stdcall kslSkinDetach(HKSLSKIN hSkin) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  CHandleSkin* skin = SkinOfHandle(hSkin);
  if (skin == nullptr) return FALSE;
  EndSkin(skin);
  return TRUE;
}

extern "C" HKSLSKIN __stdcall kslSkinOf(HWND hList) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (!::IsWindow(hList)) return Refuse(ERROR_INVALID_WINDOW_HANDLE);
  if (!OwnedByThisThread(hList)) return Refuse(ERROR_ACCESS_DENIED);
  const auto hSkin = static_cast<HKSLSKIN>(::GetPropA(hList, g_skinProperty.text));
  if (hSkin == nullptr) return Refuse(ERROR_SUCCESS);
  return SkinOfHandle(hSkin) != nullptr ? hSkin : nullptr;
}

extern "C" BOOL __stdcall kslSkinSetBkImageW(HKSLSKIN hSkin, LPCWSTR lpszPath) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  CHandleSkin* skin = SkinOfHandle(hSkin);
  return skin != nullptr && skin->m_wndList.SetBkImage(lpszPath);
}

extern "C" BOOL __stdcall kslSkinSetBkColor(HKSLSKIN hSkin, COLORREF crColor) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  CHandleSkin* skin = SkinOfHandle(hSkin);
  return skin != nullptr && skin->m_wndList.SetBkColor(crColor);
}

extern "C" BOOL __stdcall kslSkinSetFgColor(HKSLSKIN hSkin, COLORREF crColor) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  CHandleSkin* skin = SkinOfHandle(hSkin);
  if (skin == nullptr) return FALSE;
  skin->m_wndList.SetFgColor(crColor);
  return TRUE;
}

namespace {

// A look the host may hand over: of the size this library knows, with no mask bits it does not.
bool IsLookWellFormed(const KSLLOOK* pLook) {
  return pLook != nullptr && pLook->cbSize == sizeof(KSLLOOK) && !(pLook->fMask & ~KSLLOOK_ALL);
}

}  // namespace

bool IsLookAccepted(const KSLLOOK* pLook) {
  const bool focusKnown = !(pLook != nullptr && (pLook->fMask & KSLLOOK_FOCUS)) ||
                          (pLook->nFocusStyle >= KSLFOCUS_DOTTED &&
                           pLook->nFocusStyle <= KSLFOCUS_NONE);
  if (IsLookWellFormed(pLook) && focusKnown) return true;
  ::SetLastError(ERROR_INVALID_PARAMETER);
  return false;
}

extern "C" BOOL __stdcall kslSkinSetLook(HKSLSKIN hSkin, const KSLLOOK* pLook) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  CHandleSkin* skin = SkinOfHandle(hSkin);
  return skin != nullptr && IsLookAccepted(pLook) && skin->m_wndList.SetLook(*pLook);
}

extern "C" BOOL __stdcall kslSkinGetLook(HKSLSKIN hSkin, KSLLOOK* pLook) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  CHandleSkin* skin = SkinOfHandle(hSkin);
  if (skin == nullptr) return FALSE;
  if (!IsLookWellFormed(pLook)) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  skin->m_wndList.GetLook(pLook);
  return TRUE;
}

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

// The classic setters: nothing for another thread's skin, before anything of the library's is
// touched; a frame around the setter and its repaint for the thread served.
extern "C" int __stdcall kslHookSetBkBmp(LPCSTR lpszPath) {
  if (!ServesThisThread(false)) return 1;
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (COverlayDlg* panel = OverlayOfThisThread()) panel->m_wndList.SetBkBitmap(lpszPath);
  return 1;
}

extern "C" BOOL __stdcall kslHookSetBkBmpW(LPCWSTR lpszPath) {
  if (!ServesThisThread(false)) {
    ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  COverlayDlg* panel = OverlayOfThisThread();
  if (panel == nullptr) {
    ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return panel->m_wndList.SetBkImage(lpszPath);
}

extern "C" int __stdcall kslHookSetBkColor(COLORREF crColor) {
  if (!ServesThisThread(false)) return 1;
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (COverlayDlg* panel = OverlayOfThisThread()) panel->m_wndList.SetBkColor(crColor);
  return 1;
}

extern "C" int __stdcall kslHookSetFgColor(COLORREF crColor) {
  if (!ServesThisThread(false)) return 1;
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (COverlayDlg* panel = OverlayOfThisThread()) panel->m_wndList.SetFgColor(crColor);
  return 1;
}

void EndThisThreadsSkins() {
  // Called as the thread ends, with its windows still there: no list is skinned any more, and
  // every skin of the thread gives its list back and goes, as kslSkinDetach and the classic
  // switch-off would end it.
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  EndThisThreadsAutoAttach();
  if (ServesThisThread(false)) {
    g_nPendingToggles = 0;
    g_bSwitching = false;
    g_hClassicTaking = nullptr;
    if (g_pOverlay != nullptr) SwitchOff();
    FreeIfIdle();
  }
  const DWORD me = ::GetCurrentThreadId();
  for (;;) {
    CHandleSkin* skin = nullptr;
    {
      CLockScope lock(g_skinsLock);
      for (int i = 0; i < g_skins.GetSize() && skin == nullptr; ++i)
        if (g_skins[i].pSkin != nullptr && g_skins[i].dwThread == me) skin = g_skins[i].pSkin;
    }
    if (skin == nullptr) break;
    EndSkin(skin);
  }
}
