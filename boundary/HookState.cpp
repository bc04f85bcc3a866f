#include "boundary/HookState.h"

COverlayDlg* g_pOverlay = nullptr;
HWND g_hSourceList = nullptr;
HWND g_hHookedList = nullptr;
WNDPROC g_pfnOldListProc = nullptr;
HWND g_hMirrorList = nullptr;
