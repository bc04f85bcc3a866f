// The DLL's entry point: what the library takes from the process for itself goes back when the
// library leaves it. Linked into the DLL only.
#include <windows.h>

#include "ThreadState.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, LPVOID lpReserved) {
  if (dwReason == DLL_THREAD_DETACH) AfxEndThreadState();
  // At the process's exit (lpReserved set) other threads were stopped wherever they were, a lock
  // of ours held perhaps: the memory goes with the process.
  if (dwReason == DLL_PROCESS_DETACH && lpReserved == nullptr) AfxTermThreadStates();
  return TRUE;
}
