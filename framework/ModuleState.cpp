#include "ModuleState.h"

// Set by the linker to the base of the image this code is linked into: the DLL's own HMODULE when
// built into kslHook.dll, the executable's when linked statically into a test.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

HINSTANCE ThisModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

AFX_MODULE_STATE& StaticState() {
  static AFX_MODULE_STATE state = {ThisModule(), ThisModule(), nullptr};
  return state;
}

AFX_MODULE_STATE& ProcessState() {
  static AFX_MODULE_STATE state = {GetModuleHandleA(nullptr), GetModuleHandleA(nullptr), nullptr};
  return state;
}

// The library lives on its host's GUI thread; the current state is plain module data.
AFX_MODULE_STATE* g_pCurrentState = nullptr;

}  // namespace

AFX_MODULE_STATE* AfxGetStaticModuleState() { return &StaticState(); }

AFX_MODULE_STATE* AfxGetModuleState() {
  return g_pCurrentState ? g_pCurrentState : &ProcessState();
}

HINSTANCE AfxGetResourceHandle() { return AfxGetModuleState()->m_hCurrentResourceHandle; }

HINSTANCE AfxFindResourceHandle(LPCSTR, LPCSTR) { return AfxGetResourceHandle(); }

AFX_MAINTAIN_STATE2::AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* pNewState)
    : m_pPrevState(g_pCurrentState) {
  g_pCurrentState = pNewState;
  AfxEnterFrame();
}

AFX_MAINTAIN_STATE2::~AFX_MAINTAIN_STATE2() {
  g_pCurrentState = m_pPrevState;
  AfxLeaveFrame();
}

CWinApp::CWinApp(LPCSTR lpszAppName) : m_pszAppName(lpszAppName), m_hInstance(ThisModule()) {
  StaticState().m_pCurrentWinApp = this;
}

CWinApp::~CWinApp() {
  if (StaticState().m_pCurrentWinApp == this) StaticState().m_pCurrentWinApp = nullptr;
}

CWinApp* AfxGetApp() { return AfxGetStaticModuleState()->m_pCurrentWinApp; }
