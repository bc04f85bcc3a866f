// Window subclassing that survives other code subclassing the same window, in any order.
//
// A subclass puts a procedure of its own in front of a window's current one and hands every message
// on to the procedure it replaced. Its data is found from the window's handle (CWindowMap), and each
// subclass of ours on one window runs a procedure address of its own, a layer: one window may carry
// several of ours in its chain, with anyone else's between them, and each still knows which
// procedure comes after it. A message finds its data from its window alone, however many windows
// are subclassed, on whichever thread they live. Taking a subclass out follows the
// system's own rule: only a procedure that is still the window's current one is taken out. One that
// someone else has subclassed over stays in the chain as a pass-through to the procedure it
// replaced, so their subclass, and their own later removal, land on a working procedure; it leaves
// by itself once it finds itself current again, or when the window ends.
//
// While any procedure of the library can still be called (a subclass installed or a pass-through
// left behind), the library holds a reference to its own module, so a host's FreeLibrary never
// unmaps code a window still calls. The reference goes once the last procedure is gone and the
// host's thread is back in its message loop.
#pragma once
#include <windows.h>

struct SubclassLayer;

// The procedure a subclass hands messages on to, as it was when a message arrived: a message in
// flight finishes on the procedures it began with, whatever happens to the subclass meanwhile.
struct CNextProc {
  HWND hWnd = nullptr;
  WNDPROC pfn = nullptr;
  bool bUnicode = false;

  // The next procedure's answer, called in the window's own character set; DefWindowProc's when
  // there is none.
  LRESULT operator()(UINT message, WPARAM wParam, LPARAM lParam) const;
};

// What a subclass calls for every message of its window while it is installed.
class CSubclassClient {
 public:
  // Handles one message; hands it on with next(...) where the window's own handling should run.
  virtual LRESULT OnSubclassMessage(const CNextProc& next, UINT message, WPARAM wParam,
                                    LPARAM lParam) = 0;
  // The window's last message (WM_NCDESTROY) has passed: the subclass is gone with it.
  virtual void OnSubclassedWindowGone() {}

 protected:
  ~CSubclassClient() = default;
};

class CWindowSubclass {
 public:
  CWindowSubclass() = default;
  // Removes the subclass, as Remove does.
  ~CWindowSubclass() { Remove(); }
  CWindowSubclass(const CWindowSubclass&) = delete;
  CWindowSubclass& operator=(const CWindowSubclass&) = delete;

  // Puts a procedure in front of hWnd's current one and calls pClient for each of its messages
  // from then on. FALSE, with nothing changed, when hWnd is no window of the calling thread, this
  // object is installed already, or hWnd carries as many of ours as there are layers and none is a
  // pass-through.
  bool Install(HWND hWnd, CSubclassClient* pClient);
  // Stops calling the client. TRUE when the procedure was the window's current one and has been
  // taken out; FALSE when it stays behind as a pass-through (or nothing was installed).
  bool Remove();

  bool IsInstalled() const { return m_pLayer != nullptr; }
  // The window and the procedure it replaced; empty when not installed.
  CNextProc Next() const;

  // How many procedures of the library are in windows' chains now, pass-throughs included.
  static int LiveCount();

 private:
  friend struct SubclassLayers;
  bool TakeBackPassThrough(HWND hWnd, CSubclassClient* pClient);
  SubclassLayer* m_pLayer = nullptr;
};

// The calling thread is ending: every procedure of the library in its windows' chains is taken
// out where it is on top, and forgotten (the windows end with the thread).
void AfxEndThreadLayers();
