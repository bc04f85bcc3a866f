#include "Wnd.h"

#include "ModuleState.h"
#include "ThreadState.h"

void AfxEnterFrame() { AfxEnterFrame(AfxGetThreadState()); }

void AfxLeaveFrame() { AfxLeaveFrame(AfxGetThreadState()); }

void AfxLeaveFrame(AFX_THREAD_STATE* state) {
  if (--state->nFrameDepth > 0) return;
  // Idle: nothing of the framework is on this thread's stack. Deferred work may itself enter
  // frames and queue more; run until the queue stays empty.
  while (!state->idleQueue.IsEmpty()) {
    const AFX_IDLE_WORK work = state->idleQueue[0];
    state->idleQueue.RemoveAt(0);
    work.pfn(work.pArg);
  }
}

void AfxCallWhenIdle(void (*pfn)(void*), void* pArg) {
  AFX_THREAD_STATE* state = AfxPeekThreadState();
  if (state == nullptr || state->nFrameDepth == 0) {
    pfn(pArg);
    return;
  }
  // Dropped work would leave a panel or a switch half done: a queue that cannot grow is out of
  // memory the way a failed new is.
  if (!state->idleQueue.Add({pfn, pArg}))
    ::RaiseException(STATUS_NO_MEMORY, EXCEPTION_NONCONTINUABLE, 0, nullptr);
}

CWnd::~CWnd() {
  if (m_hWnd == nullptr || FromHandlePermanent(m_hWnd) != this) return;
  if (m_bOwnsWindow)
    DestroyWindow();
  else
    UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
  if (hWnd == nullptr) return nullptr;
  return static_cast<CWnd*>(AfxGetThreadState()->bindings.Find(hWnd, 0));
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
  if (m_hWnd != nullptr || !::IsWindow(hWnd) || FromHandlePermanent(hWnd) != nullptr) return FALSE;
  if (!AfxGetThreadState()->bindings.Set(hWnd, 0, this)) return FALSE;
  m_hWnd = hWnd;
  if (!m_subclass.Install(hWnd, this)) {
    Unbind();
    return FALSE;
  }
  m_next = m_subclass.Next();
  return TRUE;
}

HWND CWnd::UnsubclassWindow() {
  HWND hWnd = m_hWnd;
  if (hWnd == nullptr) return nullptr;
  m_subclass.Remove();
  Unbind();
  return hWnd;
}

void CWnd::Unbind() {
  AfxGetThreadState()->bindings.Remove(m_hWnd, 0, this);
  m_hWnd = nullptr;
  m_bOwnsWindow = false;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClass, DWORD dwStyle, const RECT& rect,
                    CWnd* pParentWnd, UINT nID, bool bUnicode) {
  if (m_hWnd != nullptr || pParentWnd == nullptr) return FALSE;
  HWND hParent = pParentWnd->m_hWnd;
  const HINSTANCE hInstance = AfxGetStaticModuleState()->m_hCurrentInstanceHandle;
  const auto id = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID));
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  HWND hWnd;
  {
    CWndCreateHook bindOnCreate(this, hParent);
    if (bUnicode) {
      wchar_t wideClass[64] = {};
      ::MultiByteToWideChar(CP_ACP, 0, lpszClass, -1, wideClass, 63);
      hWnd = ::CreateWindowExW(dwExStyle, wideClass, L"", dwStyle, rect.left, rect.top, width,
                               height, hParent, id, hInstance, nullptr);
    } else {
      hWnd = ::CreateWindowExA(dwExStyle, lpszClass, "", dwStyle, rect.left, rect.top, width,
                               height, hParent, id, hInstance, nullptr);
    }
  }
  // A window that lives but could not be bound would have no owner: it goes at once.
  if (hWnd != nullptr && m_hWnd != hWnd) ::DestroyWindow(hWnd);
  return hWnd != nullptr && m_hWnd == hWnd;
}

BOOL CWnd::DestroyWindow() { return m_hWnd != nullptr && ::DestroyWindow(m_hWnd); }

void CWnd::ScreenToClient(LPRECT lpRect) const {
  ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(&lpRect->left));
  ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(&lpRect->right));
}

LRESULT CWnd::OnSubclassMessage(const CNextProc&, UINT message, WPARAM wParam, LPARAM lParam) {
  // Handlers look resources up in this module, whoever's message loop called us. When this frame
  // is the last one, deferred work runs as it closes: nothing may touch this object after Dispatch.
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  return Dispatch(message, wParam, lParam);
}

LRESULT CWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  ++m_nDispatchDepth;
  const LRESULT result = WindowProc(message, wParam, lParam);
  --m_nDispatchDepth;
  if (message == WM_NCDESTROY) {
    // The window's last message: the binding ends with it.
    UnsubclassWindow();
    PostNcDestroy();
  }
  return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
  return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return m_next(message, wParam, lParam);
}

const AFX_MSGMAP* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP* CWnd::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, nullptr}};
  static const AFX_MSGMAP messageMap = {nullptr, entries};
  return &messageMap;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (message == WM_DRAWITEM) {
    // An owner-drawn control's rows are drawn by its own object, where it has one; menus and
    // controls without an object get the parent's default handling.
    auto* pDraw = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
    CWnd* pChild = pDraw->CtlType == ODT_MENU ? nullptr : FromHandlePermanent(pDraw->hwndItem);
    if (pChild != nullptr && ::GetParent(pDraw->hwndItem) == m_hWnd) {
      pChild->DrawItem(pDraw);
      *pResult = TRUE;
      return TRUE;
    }
  }
  for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap != nullptr;
       pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->pfnThunk != nullptr; ++pEntry) {
      if (pEntry->nMessage == message &&
          pEntry->pfnThunk(this, wParam, lParam, pResult))
        return TRUE;
    }
  }
  return FALSE;
}

CWndCreateHook::CWndCreateHook(CWnd* pWnd, HWND hParent)
    : m_hHook(::SetWindowsHookExA(WH_CBT, &CWndCreateHook::CbtProc, nullptr,
                                  ::GetCurrentThreadId())),
      m_pPrevWnd(AfxGetThreadState()->pWndInit),
      m_hPrevParent(AfxGetThreadState()->hWndInitParent) {
  AFX_THREAD_STATE* state = AfxGetThreadState();
  state->pWndInit = pWnd;
  state->hWndInitParent = hParent;
}

CWndCreateHook::~CWndCreateHook() {
  if (m_hHook != nullptr) ::UnhookWindowsHookEx(m_hHook);
  AFX_THREAD_STATE* state = AfxGetThreadState();
  state->pWndInit = m_pPrevWnd;
  state->hWndInitParent = m_hPrevParent;
}

LRESULT CALLBACK CWndCreateHook::CbtProc(int nCode, WPARAM wParam, LPARAM lParam) {
  AFX_THREAD_STATE* state = AfxPeekThreadState();
  if (nCode == HCBT_CREATEWND && state != nullptr && state->pWndInit != nullptr) {
    auto* pCreate = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
    if (pCreate->lpcs->hwndParent == state->hWndInitParent) {
      CWnd* pWnd = state->pWndInit;
      state->pWndInit = nullptr;
      if (pWnd->SubclassWindow(reinterpret_cast<HWND>(wParam))) pWnd->m_bOwnsWindow = true;
    }
  }
  return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}
