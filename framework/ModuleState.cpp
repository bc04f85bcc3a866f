#include "ModuleState.h"

// Set by the linker to the base of the image this code is linked into: the DLL's own HMODULE when
// built into kslHook.dll, the executable's when linked statically into a test.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

HINSTANCE ThisModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

AFX_MODULE_STATE& StaticState() {
  static AFX_MODULE_STATE state = {ThisModule(), ThisModule()};
  return state;
}

AFX_MODULE_STATE& ProcessState() {
  static AFX_MODULE_STATE state = {GetModuleHandleA(nullptr), GetModuleHandleA(nullptr)};
  return state;
}

// The library lives on its host's GUI thread; the current state is plain module data.
AFX_MODULE_STATE* g_pCurrentState = nullptr;

}  // namespace

AFX_MODULE_STATE* AfxGetStaticModuleState() { return &StaticState(); }

AFX_MODULE_STATE* AfxGetModuleState() {
  return g_pCurrentState ? g_pCurrentState : &ProcessState();
}

HINSTANCE AfxFindResourceHandle(LPCSTR, LPCSTR) {
  return AfxGetModuleState()->m_hCurrentResourceHandle;
}

AFX_MAINTAIN_STATE2::AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* pNewState)
    : m_pPrevState(g_pCurrentState) {
  g_pCurrentState = pNewState;
  AfxEnterFrame();
}

AFX_MAINTAIN_STATE2::~AFX_MAINTAIN_STATE2() {
  g_pCurrentState = m_pPrevState;
  AfxLeaveFrame();
}
