// CWnd: a C++ object bound to one window. The binding puts a procedure of the framework in front of
// the window's own; messages then reach WindowProc, which looks them up in the object's message map
// and hands whatever is left to the procedure that was there before.
#pragma once
#include <windows.h>

#include "Gdi.h"
#include "Subclass.h"

class CWnd;

// Runs one message-map entry on a window object. Returns TRUE when the entry handled the message and
// stored its result; FALSE lets the search go on.
typedef BOOL (*AFX_MSG_THUNK)(CWnd* pWnd, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;           // the window message
  AFX_MSG_THUNK pfnThunk;  // null ends the table
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const AFX_MSGMAP_ENTRY* lpEntries;
};

class CWnd : private CSubclassClient {
 public:
  CWnd() = default;
  // Unbinds a window that is still bound; destroys it only when this object created it.
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  // The object bound to hWnd, a window of the calling thread, or null.
  static CWnd* FromHandlePermanent(HWND hWnd);

  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }

  // Binds hWnd to this object and puts the framework's procedure in front of the window's own.
  // FALSE when hWnd is no window or is bound already.
  BOOL SubclassWindow(HWND hWnd);
  // Unbinds the window and returns it. The framework's procedure leaves the window's chain when it
  // is still in front, and otherwise stays as a pass-through to the window's own procedure.
  HWND UnsubclassWindow();
  // Creates a child window of class lpszClass (a Unicode window when bUnicode) in pParentWnd and
  // binds it from its first message on; the object owns it. FALSE when it cannot be made.
  BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClass, DWORD dwStyle, const RECT& rect,
                CWnd* pParentWnd, UINT nID, bool bUnicode = false);
  // Destroys the window; the binding ends in its WM_NCDESTROY.
  BOOL DestroyWindow();

  // TRUE while a message of this window is being handled somewhere down the stack.
  bool IsHandlingMessage() const { return m_nDispatchDepth > 0; }

  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
  }
  // The window's own answer, past the framework and whatever this object makes of the message; 0
  // without a window.
  LRESULT OwnProc(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return m_hWnd != nullptr ? m_next(message, wParam, lParam) : 0;
  }
  // TRUE when this object's messages arrive in Unicode: the character set of the window's
  // procedure when the object took it over, which a list box of Common Controls 6 keeps Unicode
  // whatever made it.
  bool ReceivesUnicode() const { return m_next.bUnicode;
  }
  BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
  void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE) {
    ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
  }
  void GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }
  void GetWindowRect(LPRECT lpRect) const { ::GetWindowRect(m_hWnd, lpRect); }
  void ScreenToClient(LPRECT lpRect) const;

  HWND m_hWnd = nullptr;

 protected:
  // Every message of the window; the default runs the message map, then DefWindowProc.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Looks the message up in the map; TRUE with *pResult set when an entry handled it.
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  // An owner-drawn row of this control, sent to its parent and handed on to it.
  virtual void DrawItem(LPDRAWITEMSTRUCT) {}
  // The procedure that was in front before the framework's, or the system default.
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Called after the window's last message; the object may delete itself here.
  virtual void PostNcDestroy() {}
  virtual const AFX_MSGMAP* GetMessageMap() const;
  static const AFX_MSGMAP* GetThisMessageMap();

  bool m_bOwnsWindow = false;  // set by the creating subclass; the destructor then destroys the window

 private:
  friend class CWndCreateHook;
  LRESULT OnSubclassMessage(const CNextProc& next, UINT message, WPARAM wParam,
                            LPARAM lParam) override;
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  void Unbind();

  CWindowSubclass m_subclass;
  // The window's own procedure, kept past unbinding so that a message still being handled ends
  // where it would have.
  CNextProc m_next;
  int m_nDispatchDepth = 0;
};

// Runs pfn(pArg) once no message of any framework window is being handled: at once when none is,
// otherwise when the outermost such message has been handled.
void AfxCallWhenIdle(void (*pfn)(void*), void* pArg);

// The next window created on this thread as a child of hParent (a top-level window when hParent is
// null) is bound to pWnd from its very first message on, WM_NCCREATE included.
class CWndCreateHook {
 public:
  CWndCreateHook(CWnd* pWnd, HWND hParent);
  ~CWndCreateHook();
  CWndCreateHook(const CWndCreateHook&) = delete;
  CWndCreateHook& operator=(const CWndCreateHook&) = delete;

 private:
  static LRESULT CALLBACK CbtProc(int nCode, WPARAM wParam, LPARAM lParam);
  HHOOK m_hHook;
  CWnd* m_pPrevWnd;
  HWND m_hPrevParent;
};

// Message maps. A class declares DECLARE_MESSAGE_MAP() and defines its table between
// BEGIN_MESSAGE_MAP(Class, Base) and END_MESSAGE_MAP(); every entry calls a member of Class.
#define DECLARE_MESSAGE_MAP()                          \
 protected:                                            \
  static const AFX_MSGMAP* GetThisMessageMap();        \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                           \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }     \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                                     \
    using ThisClass [[maybe_unused]] = theClass;                                        \
    using TheBaseClass = baseClass;                                                     \
    static const AFX_MSGMAP_ENTRY entries[] = {
#define END_MESSAGE_MAP()                                                    \
  {0, nullptr}};                                                       \
  static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, entries}; \
  return &messageMap;                                                        \
  }

#define AFX_THUNK [](CWnd * pWnd, WPARAM wParam, LPARAM lParam, LRESULT * pResult) -> BOOL
#define AFX_THIS static_cast<ThisClass*>(pWnd)

// void OnSize(UINT nType, int cx, int cy)
#define ON_WM_SIZE()                                                                        \
  {WM_SIZE, AFX_THUNK {                                                              \
     AFX_THIS->OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));         \
     *pResult = 0;                                                                          \
     return TRUE;                                                                           \
   }},

// BOOL OnEraseBkgnd(CDC* pDC)
#define ON_WM_ERASEBKGND()                                                                  \
  {WM_ERASEBKGND, AFX_THUNK {                                                        \
     (void)lParam;                                                                          \
     CDC dc;                                                                                \
     dc.Attach(reinterpret_cast<HDC>(wParam));                                              \
     *pResult = AFX_THIS->OnEraseBkgnd(&dc);                                                \
     return TRUE;                                                                           \
   }},

// LRESULT memberFxn(WPARAM wParam, LPARAM lParam): any message, by its number
#define ON_MESSAGE(message, memberFxn)                                                      \
  {message, AFX_THUNK {                                                              \
     *pResult = AFX_THIS->memberFxn(wParam, lParam);                                        \
     return TRUE;                                                                           \
   }},

