#include "ModuleState.h"

#include "ThreadState.h"

// Set by the linker to the base of the image this code is linked into: the DLL's own HMODULE when
// built into kslHook.dll, the executable's when linked statically into a test.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

HINSTANCE ThisModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

// Both are made while the module loads, before any thread of the host can call in: any number of
// GUI threads read them, none builds them.
AFX_MODULE_STATE g_staticState = {ThisModule(), ThisModule()};
AFX_MODULE_STATE g_processState = {GetModuleHandleA(nullptr), GetModuleHandleA(nullptr)};

AFX_MODULE_STATE& StaticState() { return g_staticState; }
AFX_MODULE_STATE& ProcessState() { return g_processState; }

}  // namespace

AFX_MODULE_STATE* AfxGetStaticModuleState() { return &StaticState(); }

AFX_MODULE_STATE* AfxGetModuleState() {
  const AFX_THREAD_STATE* thread = AfxPeekThreadState();
  return thread && thread->pCurrentState ? thread->pCurrentState : &ProcessState();
}

HINSTANCE AfxFindResourceHandle(LPCSTR, LPCSTR) {
  return AfxGetModuleState()->m_hCurrentResourceHandle;
}

AFX_MAINTAIN_STATE2::AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* pNewState) {
  AfxEnterFrame();
  AFX_THREAD_STATE* thread = AfxGetThreadState();
  m_pPrevState = thread->pCurrentState;
  thread->pCurrentState = pNewState;
}

AFX_MAINTAIN_STATE2::~AFX_MAINTAIN_STATE2() {
  // The work that waited for the frame to end leaves the caller's last error as the call set it.
  const DWORD lastError = ::GetLastError();
  AfxGetThreadState()->pCurrentState = m_pPrevState;
  AfxLeaveFrame();
  ::SetLastError(lastError);
}
