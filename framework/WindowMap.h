// CWindowMap: what the library keeps for a window, found from the window's handle in a few
// instructions, however many windows there are. Each entry is a handle, a slot number (a window may
// have several values, one per slot) and a pointer. Each GUI thread has its own maps, for its own
// windows (AFX_THREAD_STATE), so a look-up takes no lock.
//
// Window properties would keep the data with the window too, but a property look-up is a call to
// the window manager, which under Wine is a round trip to its server on every message: several
// times what a list box's own message costs.
#pragma once
#include <windows.h>


class CWindowMap {
 public:
  CWindowMap() = default;
  ~CWindowMap();
  CWindowMap(const CWindowMap&) = delete;
  CWindowMap& operator=(const CWindowMap&) = delete;

  // The value of hWnd's slot, or null.
  void* Find(HWND hWnd, unsigned slot);
  // Sets hWnd's slot to pValue (not null); FALSE when the map cannot grow.
  bool Set(HWND hWnd, unsigned slot, void* pValue);
  // Empties hWnd's slot when it holds pValue.
  void Remove(HWND hWnd, unsigned slot, void* pValue);
  // Some value the map holds, or null when it is empty.
  void* Any() const;

 private:
  struct Entry {
    HWND hWnd;
    unsigned slot;
    void* pValue;  // null: free; kRemoved: free again, but a search goes on past it
  };
  size_t IndexOf(HWND hWnd, unsigned slot) const;
  bool Grow();

  Entry* m_pEntries = nullptr;
  size_t m_nCapacity = 0;  // a power of two, or 0
  size_t m_nUsed = 0;      // entries holding a value or a removed mark
  size_t m_nLive = 0;      // entries holding a value
};
