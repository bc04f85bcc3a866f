// The DLL's entry point: what the library takes from the process for itself goes back when the
// library leaves it. Linked into the DLL only.
#include <windows.h>

#include "ThreadState.h"

// Ends every skin of the calling thread, which is ending (boundary/Exports.cpp).
void EndThisThreadsSkins();

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, LPVOID lpReserved) {
  // A thread that ends with skins on (a GUI thread that left its loop without destroying its
  // windows) gives their lists back and frees them before its own state goes: its windows die with
  // it, and no message of theirs reaches the library after this.
  if (dwReason == DLL_THREAD_DETACH) {
    if (AfxBeginThreadEnd() != nullptr) EndThisThreadsSkins();
    AfxEndThreadState();
  }
  // At the process's exit (lpReserved set) other threads were stopped wherever they were, a lock
  // of ours held perhaps: the memory goes with the process.
  if (dwReason == DLL_PROCESS_DETACH && lpReserved == nullptr) AfxTermThreadStates();
  return TRUE;
}
