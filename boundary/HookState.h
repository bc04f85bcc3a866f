// The module-wide hook state. One overlay per process: the source window procedure has no object of
// its own and works from these.
#pragma once
#include <windows.h>

class COverlayDlg;

extern COverlayDlg* g_pOverlay;    // the live panel; null while the overlay is off
extern HWND g_hSourceList;         // the source list last placed under a panel; shown at switch-off
extern HWND g_hHookedList;         // the source list while its window procedure is ours; else null
extern WNDPROC g_pfnOldListProc;   // the source's procedure from before ours; else null
extern HWND g_hMirrorList;         // the mirror list's window
