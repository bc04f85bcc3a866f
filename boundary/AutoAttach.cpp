// The auto-attach: one call skins every list box a GUI thread has and makes, with one look. A
// computer-based training hook (a thread's own WH_CBT hook) sees each window the thread creates;
// a list box among them waits until the thread's message loop runs, after its dialog has
// initialised it, and is then skinned as kslSkinAttach skins it.
#include <new>

#include "boundary/HandleSkins.h"
#include "framework/Framework.h"
#include "framework/ThreadState.h"
#include "overlay/SharedTile.h"
#include "overlay/Tile.h"

namespace {

// The turn's stand-in, for a host loop that throws posted messages away.
constexpr UINT_PTR kTurnTimer = 0x4B6;
constexpr UINT kTurnTimerMs = 250;

// A window of a list box class by name: the system's list, or a combo box's own.
bool IsNamedListBox(HWND hWnd) {
  wchar_t name[16] = L"";
  return ::GetClassNameW(hWnd, name, 16) != 0 &&
         (::lstrcmpiW(name, L"ListBox") == 0 || ::lstrcmpiW(name, L"ComboLBox") == 0);
}

// A slot of the system's thread-local storage, taken while the module loads.
class CThreadSlot {
 public:
  CThreadSlot() : m_index(::TlsAlloc()) {}
  ~CThreadSlot() {
    if (m_index != TLS_OUT_OF_INDEXES) ::TlsFree(m_index);
  }
  CThreadSlot(const CThreadSlot&) = delete;
  CThreadSlot& operator=(const CThreadSlot&) = delete;
  void* Get() const { return m_index != TLS_OUT_OF_INDEXES ? ::TlsGetValue(m_index) : nullptr; }
  bool Set(void* value) const {
    return m_index != TLS_OUT_OF_INDEXES && ::TlsSetValue(m_index, value);
  }

 private:
  const DWORD m_index;
};

// One thread's auto-attach: its hook, its look, the lists waiting for its loop. Its window is a
// message-only window the waiting lists' turn is posted to, so that every loop of the thread (a
// modal dialog's, a message box's, a menu's) brings it.
class CAutoAttach : public CWnd {
 public:
  // The calling thread's, or null.
  static CAutoAttach* OfThisThread() { return static_cast<CAutoAttach*>(s_slot.Get()); }
  // Starts the calling thread's with `look`: FALSE, with the reason as the last error, when the
  // hook, the window or the look's picture cannot be had.
  static bool Start(const KSLLOOK& look);
  // Takes `look` for the skins to come and gives it to the skins made; FALSE, with nothing
  // changed, when its picture cannot be taken.
  bool ChangeLook(const KSLLOOK& look);
  // Stops skinning, gives back every list skinned, and goes once nothing of the library's is
  // under way.
  void End();

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  CAutoAttach() = default;
  ~CAutoAttach() override;
  static LRESULT CALLBACK CbtProc(int nCode, WPARAM wParam, LPARAM lParam);
  static BOOL CALLBACK CollectList(HWND hWnd, LPARAM self);
  static BOOL CALLBACK CollectTopLevel(HWND hWnd, LPARAM self);
  // A list box to skin once the loop runs, made in hMaker when known.
  void Wait(HWND hList, HWND hMaker);
  // Asks for the waiting lists' turn: a message posted, and a timer in case the host's loop
  // throws posted messages away.
  void AskForTurn();
  // Skins every list waiting, those its skinning makes the host create too.
  void SkinWaitingLists();
  static void Delete(void* self) { delete static_cast<CAutoAttach*>(self); }

  static CThreadSlot s_slot;
  HHOOK m_hHook = nullptr;
  UINT m_nTurnMessage = 0;          // posted: the waiting lists' turn
  bool m_bTurnPosted = false;
  bool m_bTurnTimerSet = false;
  bool m_bSkinning = false;         // SkinWaitingLists is at work down the stack
  bool m_bEnded = false;
  KSLLOOK m_look = {};              // its picture path is m_picturePath's
  CPlainArray<wchar_t> m_picturePath;
  CTileHold m_picture;              // the look's picture, decoded once for every skin
  struct WaitingList {
    HWND hList;
    HWND hMaker;
  };
  CPlainArray<WaitingList> m_waiting;
};

CThreadSlot CAutoAttach::s_slot;

bool CAutoAttach::Start(const KSLLOOK& look) {
  auto* self = new (std::nothrow) CAutoAttach;
  if (self == nullptr) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  self->m_nTurnMessage = ::RegisterWindowMessageA("kslHook.AutoAttach");
  const HWND hWnd = ::CreateWindowExA(0, "STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      nullptr, nullptr);
  if (hWnd == nullptr || !self->SubclassWindow(hWnd)) {
    if (hWnd != nullptr) ::DestroyWindow(hWnd);
    delete self;
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  self->m_bOwnsWindow = true;
  if (!self->ChangeLook(look)) {
    const DWORD why = ::GetLastError();
    delete self;
    ::SetLastError(why);
    return false;
  }
  self->m_hHook = ::SetWindowsHookExA(WH_CBT, &CbtProc, nullptr, ::GetCurrentThreadId());
  if (self->m_hHook == nullptr || !s_slot.Set(self)) {
    delete self;
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  // The lists the thread has now, then each it makes.
  ::EnumThreadWindows(::GetCurrentThreadId(), &CollectTopLevel, reinterpret_cast<LPARAM>(self));
  self->SkinWaitingLists();
  return true;
}

CAutoAttach::~CAutoAttach() {
  if (m_hHook != nullptr) ::UnhookWindowsHookEx(m_hHook);
}

BOOL CALLBACK CAutoAttach::CollectTopLevel(HWND hWnd, LPARAM self) {
  CollectList(hWnd, self);
  ::EnumChildWindows(hWnd, &CollectList, self);
  return TRUE;
}

BOOL CALLBACK CAutoAttach::CollectList(HWND hWnd, LPARAM self) {
  if (IsNamedListBox(hWnd)) reinterpret_cast<CAutoAttach*>(self)->Wait(hWnd, nullptr);
  return TRUE;
}

LRESULT CALLBACK CAutoAttach::CbtProc(int nCode, WPARAM wParam, LPARAM lParam) {
  // The one check a new window pays: its class's name.
  if (nCode == HCBT_CREATEWND) {
    const auto hWnd = reinterpret_cast<HWND>(wParam);
    CAutoAttach* self = OfThisThread();
    if (self != nullptr && IsNamedListBox(hWnd)) {
      // A combo box makes its list as its child, then makes it a drop-down of its own.
      self->Wait(hWnd, reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs->hwndParent);
      self->AskForTurn();
    }
  }
  // The hooks after this one are the host's, which may end the auto-attach: nothing of it is
  // touched from here on.
  return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}

void CAutoAttach::Wait(HWND hList, HWND hMaker) {
  // A list that cannot wait (no memory) stays the host's own.
  m_waiting.Add({hList, hMaker});
}

void CAutoAttach::AskForTurn() {
  if (!m_bTurnPosted) m_bTurnPosted = ::PostMessageA(m_hWnd, m_nTurnMessage, 0, 0) != FALSE;
  if (!m_bTurnTimerSet) m_bTurnTimerSet = ::SetTimer(m_hWnd, kTurnTimer, kTurnTimerMs, nullptr) != 0;
}

LRESULT CAutoAttach::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  // A loop delivers posted messages before timers: a timer that comes means the host's loop threw
  // the turn away, and the timer takes it instead.
  const bool timer = message == WM_TIMER && wParam == kTurnTimer;
  if ((message == m_nTurnMessage && m_nTurnMessage != 0) || timer) {
    // A skin's panel is made from this library's resources.
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    m_bTurnPosted = false;
    if (m_bTurnTimerSet) ::KillTimer(m_hWnd, kTurnTimer);
    m_bTurnTimerSet = false;
    SkinWaitingLists();
    return 0;
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

void CAutoAttach::SkinWaitingLists() {
  // The host's code runs in each attach and may create lists (they join the queue), end the
  // auto-attach or detach what it made; a loop of its own that brings the turn again finds this
  // one at work.
  if (m_bSkinning) return;
  m_bSkinning = true;
  while (!m_bEnded && !m_waiting.IsEmpty()) {
    const WaitingList waiting = m_waiting[0];
    m_waiting.RemoveAt(0);
    // Gone, or taken by another skin meanwhile (a list with a skin keeps it): refused quietly.
    const HKSLSKIN hSkin =
        ::IsWindow(waiting.hList) ? AttachAutomatically(waiting.hList, waiting.hMaker, m_look) : nullptr;
    // The host's code ended the auto-attach while the skin was being made, before it was counted
    // among those to give back: it goes now.
    if (m_bEnded && hSkin != nullptr) kslSkinDetach(hSkin);
  }
  m_bSkinning = false;
}

bool CAutoAttach::ChangeLook(const KSLLOOK& in) {
  KSLLOOK look = in;
  CPlainArray<wchar_t> path;
  CTileHold picture;
  if ((look.fMask & KSLLOOK_BKIMAGE) && look.pszBkImage != nullptr) {
    // The picture is taken once now: a look whose picture cannot be taken changes nothing, and
    // every skin finds it decoded.
    picture.Reset(PictureTile(look.pszBkImage, WindowDpi(m_hWnd), ::GetSysColor(COLOR_WINDOW)));
    const int length = ::lstrlenW(look.pszBkImage) + 1;
    if (!picture) return false;
    if (!path.SetSize(length)) {
      ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return false;
    }
    for (int i = 0; i < length; ++i) path[i] = look.pszBkImage[i];
  }
  CPlainArray<HKSLSKIN> made;
  if (!AutomaticSkinsOfThisThread(&made)) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  m_picturePath.RemoveAll();
  for (int i = 0; i < path.GetSize(); ++i) m_picturePath.Add(path[i]);
  m_picture.Swap(picture);
  if (!m_picturePath.IsEmpty()) look.pszBkImage = m_picturePath.GetData();
  m_look = look;
  // Each skin made takes the look; one the host's code ends meanwhile is refused quietly.
  for (int i = 0; i < made.GetSize(); ++i) kslSkinSetLook(made[i], &m_look);
  return true;
}

void CAutoAttach::End() {
  m_bEnded = true;
  s_slot.Set(nullptr);
  ::UnhookWindowsHookEx(m_hHook);
  m_hHook = nullptr;
  m_waiting.RemoveAll();
  CPlainArray<HKSLSKIN> made;
  AutomaticSkinsOfThisThread(&made);
  for (int i = 0; i < made.GetSize(); ++i) kslSkinDetach(made[i]);
  AfxCallWhenIdle(&Delete, this);
}

}  // namespace

void EndThisThreadsAutoAttach() {
  if (CAutoAttach* self = CAutoAttach::OfThisThread()) self->End();
}

extern "C" BOOL __stdcall kslSkinAutoAttach(const KSLLOOK* pLook) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  KSLLOOK defaultLook = {};
  defaultLook.cbSize = sizeof defaultLook;
  if (pLook == nullptr) pLook = &defaultLook;
  if (!IsLookAccepted(pLook)) return FALSE;
  if (CAutoAttach* self = CAutoAttach::OfThisThread()) return self->ChangeLook(*pLook);
  return CAutoAttach::Start(*pLook);
}

extern "C" BOOL __stdcall kslSkinAutoDetach() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  CAutoAttach* self = CAutoAttach::OfThisThread();
  if (self == nullptr) {
    ::SetLastError(ERROR_NOT_FOUND);
    return FALSE;
  }
  self->End();
  return TRUE;
}
