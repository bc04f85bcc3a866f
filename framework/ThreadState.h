// Per-thread framework state. Each GUI thread that uses the library has its own frames, deferred
// work, window under creation and current module state; nothing of one thread's is seen by another.
// A thread's state is made when it first enters the framework and freed when the thread ends, or
// with the module.
#pragma once
#include <windows.h>

#include "ModuleState.h"
#include "PlainArray.h"
#include "WindowMap.h"

class CWnd;

struct AFX_IDLE_WORK {
  void (*pfn)(void*);
  void* pArg;
};

struct AFX_THREAD_STATE {
  CPlainArray<AFX_IDLE_WORK> idleQueue;
  int nFrameDepth = 0;
  CWnd* pWndInit = nullptr;
  HWND hWndInitParent = nullptr;
  AFX_MODULE_STATE* pCurrentState = nullptr;
  CWindowMap bindings;  // the object bound to each of the thread's windows
  CWindowMap layers;    // the subclass layers of each of the thread's windows
  AFX_THREAD_STATE* pNextState = nullptr;  // the module's list of every thread's state
  bool bEnding = false;  // the thread is ending: nothing it leaves for later will run
};

// The calling thread's state, made on first use; a thread without memory for it ends as a failed
// new would end it.
AFX_THREAD_STATE* AfxGetThreadState();
// The calling thread's state when it has one, otherwise null.
AFX_THREAD_STATE* AfxPeekThreadState();
// A framework frame entered and left with the calling thread's state at hand (see AfxEnterFrame).
inline void AfxEnterFrame(AFX_THREAD_STATE* state) { ++state->nFrameDepth; }
void AfxLeaveFrame(AFX_THREAD_STATE* state);
// The calling thread is ending: it is marked so, and work it left waiting for a frame it will never
// leave runs now. Its state, or null when it has none.
AFX_THREAD_STATE* AfxBeginThreadEnd();
// The calling thread ends: whatever it left for later runs now, the procedures of the library still
// in its windows' chains leave them, and its state goes.
void AfxEndThreadState();
// The library's module is leaving the process: every thread's state, and the slot, go back.
void AfxTermThreadStates();

// A lock for a few instructions of shared data, never held across a call that could send a message.
// A critical section: a thread that finds it taken spins a little, then waits on the system's
// event, so a holder preempted on a single core gets the processor back. Made while the module
// loads (before any thread of the host can call in) and deleted as it leaves.
class CLock {
 public:
  CLock() { ::InitializeCriticalSectionAndSpinCount(&m_section, 256); }
  ~CLock() { ::DeleteCriticalSection(&m_section); }
  CLock(const CLock&) = delete;
  CLock& operator=(const CLock&) = delete;
  void Lock() { ::EnterCriticalSection(&m_section); }
  void Unlock() { ::LeaveCriticalSection(&m_section); }

 private:
  CRITICAL_SECTION m_section;
};

class CLockScope {
 public:
  explicit CLockScope(CLock& lock) : m_lock(lock) { m_lock.Lock(); }
  ~CLockScope() { m_lock.Unlock(); }
  CLockScope(const CLockScope&) = delete;
  CLockScope& operator=(const CLockScope&) = delete;

 private:
  CLock& m_lock;
};
