#include "ThreadState.h"

#include <new>

namespace {

// Allocated while the module loads, before any thread of the host can call in.
const DWORD g_dwStateSlot = ::TlsAlloc();

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
  return state;
}

void AfxTrimThreadState() {
  AFX_THREAD_STATE* state = AfxPeekThreadState();
  if (state == nullptr || state->nFrameDepth > 0 || state->nRunningIdleWork > 0 ||
      !state->idleQueue.IsEmpty() ||
      state->nCreateHooks > 0 || state->pCurrentState != nullptr)
    return;
  ::TlsSetValue(g_dwStateSlot, nullptr);
  delete state;
}

void AfxTermThreadStates() {
  if (g_dwStateSlot != TLS_OUT_OF_INDEXES) ::TlsFree(g_dwStateSlot);
}
