#include "Wnd.h"

#include "ModuleState.h"
#include "PlainArray.h"

namespace {

struct HandleBinding {
  HWND hWnd;
  CWnd* pWnd;
};

struct IdleWork {
  void (*pfn)(void*);
  void* pArg;
};

// Everything here belongs to the GUI thread that owns the windows; it is plain module data. The
// library binds a handful of windows at a time, so the bindings are searched in order.
CPlainArray<HandleBinding> g_permanentWindows;
CPlainArray<IdleWork> g_idleQueue;
int g_nFrameDepth = 0;

CWnd* g_pWndInit = nullptr;
HWND g_hWndInitParent = nullptr;

int FindBinding(const CPlainArray<HandleBinding>& bindings, HWND hWnd) {
  for (int i = 0; i < bindings.GetSize(); ++i)
    if (bindings[i].hWnd == hWnd) return i;
  return -1;
}

}  // namespace

void AfxEnterFrame() { ++g_nFrameDepth; }

void AfxLeaveFrame() {
  if (--g_nFrameDepth > 0) return;
  // Idle: nothing of the framework is on the stack. Deferred work may itself enter frames and
  // queue more; run until the queue stays empty.
  while (!g_idleQueue.IsEmpty()) {
    const IdleWork work = g_idleQueue[0];
    g_idleQueue.RemoveAt(0);
    work.pfn(work.pArg);
  }
}

void AfxCallWhenIdle(void (*pfn)(void*), void* pArg) {
  if (g_nFrameDepth == 0) {
    pfn(pArg);
    return;
  }
  // Dropped work would leave a panel or a switch half done: a queue that cannot grow is out of
  // memory the way a failed new is.
  if (!g_idleQueue.Add({pfn, pArg}))
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
  const int i = FindBinding(g_permanentWindows, hWnd);
  return i < 0 ? nullptr : g_permanentWindows[i].pWnd;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
  if (m_hWnd != nullptr || !::IsWindow(hWnd) || FromHandlePermanent(hWnd) != nullptr) return FALSE;
  if (!g_permanentWindows.Add({hWnd, this})) return FALSE;
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
  const int i = FindBinding(g_permanentWindows, m_hWnd);
  if (i >= 0) g_permanentWindows.RemoveAt(i);
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
      m_pPrevWnd(g_pWndInit),
      m_hPrevParent(g_hWndInitParent) {
  g_pWndInit = pWnd;
  g_hWndInitParent = hParent;
}

CWndCreateHook::~CWndCreateHook() {
  if (m_hHook != nullptr) ::UnhookWindowsHookEx(m_hHook);
  g_pWndInit = m_pPrevWnd;
  g_hWndInitParent = m_hPrevParent;
}

LRESULT CALLBACK CWndCreateHook::CbtProc(int nCode, WPARAM wParam, LPARAM lParam) {
  if (nCode == HCBT_CREATEWND && g_pWndInit != nullptr) {
    auto* pCreate = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
    if (pCreate->lpcs->hwndParent == g_hWndInitParent) {
      CWnd* pWnd = g_pWndInit;
      g_pWndInit = nullptr;
      if (pWnd->SubclassWindow(reinterpret_cast<HWND>(wParam))) pWnd->m_bOwnsWindow = true;
    }
  }
  return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}
