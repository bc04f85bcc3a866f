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
};

// The calling thread's state, made on first use; a thread without memory for it ends as a failed
// new would end it.
AFX_THREAD_STATE* AfxGetThreadState();
// The calling thread's state when it has one, otherwise null.
AFX_THREAD_STATE* AfxPeekThreadState();
// A framework frame entered and left with the calling thread's state at hand (see AfxEnterFrame).
inline void AfxEnterFrame(AFX_THREAD_STATE* state) { ++state->nFrameDepth; }
void AfxLeaveFrame(AFX_THREAD_STATE* state);
// The calling thread ends: its state goes.
void AfxEndThreadState();
// The library's module is leaving the process: every thread's state, and the slot, go back.
void AfxTermThreadStates();

// A lock for a few instructions of shared data, never held across a call that could send a message.
class CSpinLock {
 public:
  void Lock() {
    while (::InterlockedExchange(&m_nTaken, 1) != 0) ::Sleep(0);
  }
  void Unlock() { ::InterlockedExchange(&m_nTaken, 0); }

 private:
  LONG volatile m_nTaken = 0;
};

class CSpinLockScope {
 public:
  explicit CSpinLockScope(CSpinLock& lock) : m_lock(lock) { m_lock.Lock(); }
  ~CSpinLockScope() { m_lock.Unlock(); }
  CSpinLockScope(const CSpinLockScope&) = delete;
  CSpinLockScope& operator=(const CSpinLockScope&) = delete;

 private:
  CSpinLock& m_lock;
};
