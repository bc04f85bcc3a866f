// Per-thread framework state. Each GUI thread that uses the library has its own frames, deferred
// work, window under creation and current module state; nothing of one thread's is seen by another.
// The state exists only while a thread is inside the framework and is freed as the thread leaves.
#pragma once
#include <windows.h>

#include "ModuleState.h"
#include "PlainArray.h"

class CWnd;

struct AFX_IDLE_WORK {
  void (*pfn)(void*);
  void* pArg;
};

struct AFX_THREAD_STATE {
  CPlainArray<AFX_IDLE_WORK> idleQueue;
  int nFrameDepth = 0;
  int nRunningIdleWork = 0;  // deferred work under way: the state is still in use
  CWnd* pWndInit = nullptr;
  HWND hWndInitParent = nullptr;
  int nCreateHooks = 0;
  AFX_MODULE_STATE* pCurrentState = nullptr;
};

// The calling thread's state, made on first use; a thread without memory for it ends as a failed
// new would end it.
AFX_THREAD_STATE* AfxGetThreadState();
// The calling thread's state when it has one, otherwise null.
AFX_THREAD_STATE* AfxPeekThreadState();
// Frees the calling thread's state once it holds nothing any more.
void AfxTrimThreadState();
// The library's module is leaving the process: its thread-state slot goes back to the system.
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
