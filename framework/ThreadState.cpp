#include "ThreadState.h"

#include <new>

#include "Subclass.h"

namespace {

// Allocated while the module loads, before any thread of the host can call in.
const DWORD g_dwStateSlot = ::TlsAlloc();

// Every thread's state, so that the module can free them all as it leaves.
CLock g_statesLock;
AFX_THREAD_STATE* g_pStates = nullptr;

void Unlist(AFX_THREAD_STATE* state) {
  CLockScope lock(g_statesLock);
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
  CLockScope lock(g_statesLock);
  state->pNextState = g_pStates;
  g_pStates = state;
  return state;
}

AFX_THREAD_STATE* AfxBeginThreadEnd() {
  AFX_THREAD_STATE* state = AfxPeekThreadState();
  if (state == nullptr) return nullptr;
  state->bEnding = true;
  // A thread that ended inside a frame (inside a message of the library's) never leaves it: what
  // waited for it runs now, and from now on everything runs at once.
  if (state->nFrameDepth > 0) {
    state->nFrameDepth = 1;
    AfxLeaveFrame(state);
  }
  return state;
}

void AfxEndThreadState() {
  AFX_THREAD_STATE* state = AfxBeginThreadEnd();
  if (state == nullptr) return;
  AfxEndThreadLayers();
  ::TlsSetValue(g_dwStateSlot, nullptr);
  Unlist(state);
  delete state;
}

void AfxTermThreadStates() {
  for (;;) {
    AFX_THREAD_STATE* state;
    {
      CLockScope lock(g_statesLock);
      state = g_pStates;
      if (state != nullptr) g_pStates = state->pNextState;
    }
    if (state == nullptr) break;
    delete state;
  }
  if (g_dwStateSlot != TLS_OUT_OF_INDEXES) ::TlsFree(g_dwStateSlot);
}
