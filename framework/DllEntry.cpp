// The DLL's entry point: what the library takes from the process for itself goes back when the
// library leaves it. Linked into the DLL only.
#include <windows.h>

#include "ThreadState.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, LPVOID) {
  if (dwReason == DLL_THREAD_DETACH) AfxEndThreadState();
  if (dwReason == DLL_PROCESS_DETACH) AfxTermThreadStates();
  return TRUE;
}
