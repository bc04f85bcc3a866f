// Module state: which module's resources a piece of code looks up. A host calls the library with the
// host's own state current; exported functions that load the library's templates or bitmaps switch to
// the library's static state for the length of the call.
#pragma once
#include <windows.h>

struct AFX_MODULE_STATE {
  HINSTANCE m_hCurrentInstanceHandle;
  HINSTANCE m_hCurrentResourceHandle;
};

// The state of the module this code is linked into (the DLL, or a test executable that links it).
AFX_MODULE_STATE* AfxGetStaticModuleState();
// The state current on this thread: the process's executable unless someone switched.
AFX_MODULE_STATE* AfxGetModuleState();
// The module to load resource `name` of `type` from: the current state's resource module.
HINSTANCE AfxFindResourceHandle(LPCSTR name, LPCSTR type);

// Makes `pNewState` current until the end of the enclosing scope.
class AFX_MAINTAIN_STATE2 {
 public:
  explicit AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* pNewState);
  ~AFX_MAINTAIN_STATE2();
  AFX_MAINTAIN_STATE2(const AFX_MAINTAIN_STATE2&) = delete;
  AFX_MAINTAIN_STATE2& operator=(const AFX_MAINTAIN_STATE2&) = delete;

 private:
  AFX_MODULE_STATE* m_pPrevState;
};

// Framework frames: a module-state scope or a window message being handled. When the last one ends,
// the framework is idle: temporary window wrappers are dropped and deferred work runs.
void AfxEnterFrame();
void AfxLeaveFrame();

#define AFX_MANAGE_STATE(p) AFX_MAINTAIN_STATE2 _ctlState(p)
