#include "ThreadState.h"

#include <new>

namespace {

// Allocated while the module loads, before any thread of the host can call in.
const DWORD g_dwStateSlot = ::TlsAlloc();

// Every thread's state, so that the module can free them all as it leaves.
CSpinLock g_statesLock;
AFX_THREAD_STATE* g_pStates = nullptr;

void Unlist(AFX_THREAD_STATE* state) {
  CSpinLockScope lock(g_statesLock);
  for (AFX_THREAD_STATE** p = &g_pStates; *p != nullptr; p = &(*p)->pNextState) {
    if (*p == state) {
      *p = state->pNextState;
      return;
    }
  }
}

}  // namespace

AFX_THREAD_STATE* AfxPeekThreadState() {
  if (g_dwStateSlot == TLS_OUT_OF_INDEXES) return nullptr;
  return static_cast<AFX_THREAD_STATE*>(::TlsGetValue(g_dwStateSlot));
}

AFX_THREAD_STATE* AfxGetThreadState() {
  if (AFX_THREAD_STATE* state = AfxPeekThreadState()) return state;
  auto* state = new (std::nothrow) AFX_THREAD_STATE;
  if (state == nullptr || g_dwStateSlot == TLS_OUT_OF_INDEXES ||
      !::TlsSetValue(g_dwStateSlot, state))
    ::RaiseException(STATUS_NO_MEMORY, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  CSpinLockScope lock(g_statesLock);
  state->pNextState = g_pStates;
  g_pStates = state;
  return state;
}

void AfxEndThreadState() {
  AFX_THREAD_STATE* state = AfxPeekThreadState();
  if (state == nullptr) return;
  ::TlsSetValue(g_dwStateSlot, nullptr);
  Unlist(state);
  delete state;
}

void AfxTermThreadStates() {
  for (;;) {
    AFX_THREAD_STATE* state;
    {
      CSpinLockScope lock(g_statesLock);
      state = g_pStates;
      if (state != nullptr) g_pStates = state->pNextState;
    }
    if (state == nullptr) break;
    delete state;
  }
  if (g_dwStateSlot != TLS_OUT_OF_INDEXES) ::TlsFree(g_dwStateSlot);
}
