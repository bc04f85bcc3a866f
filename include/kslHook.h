/* kslHook.dll: re-skins one list box of a host window.
 *
 * The same declarations serve 32-bit and 64-bit hosts, each with a kslHook.dll of its own size.
 * All functions are __stdcall (64-bit compilers take it as their one calling convention), take
 * window handles and pointers of the host's size, and must be called on the thread that owns the
 * host's windows (its GUI thread). At most one overlay exists per process. The library keeps itself
 * loaded while the overlay is on; switch it off (through a fresh GetProcAddress, if need be) for
 * the library to unload. The setters act on the live overlay and do nothing while it is off. */
#ifndef KSLHOOK_H
#define KSLHOOK_H

#include <windows.h>

#ifndef KSLHOOK_API
#define KSLHOOK_API __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Switches the overlay on when none exists: veils hSource (the host's list box: it keeps the
 * visibility the host gives it, but shows nothing and lets the mouse through) and lays a skinned view
 * of it in the list's own place when hReference is hSource, otherwise over the parent of hReference,
 * at that parent's client origin with hReference's size. When an overlay exists, switches it off
 * (arguments ignored): the list gets its window procedure back and is seen again as the host last
 * set it. Returns 0 either way. */
KSLHOOK_API int __stdcall kslCreateHook(HWND hReference, HWND hSource);

/* Takes the picture in the file at lpszPath (in the process's ANSI code page) as the new background
 * tile and repaints: a BMP, PNG, JPEG or GIF file (its first frame), told apart by content.
 * Transparent pixels show the list's background colour; on a DPI-aware window the tile is drawn at
 * DPI/96 of its pixel size. A file that gives no picture changes nothing. Returns 1. */
KSLHOOK_API int __stdcall kslHookSetBkBmp(LPCSTR lpszPath);

/* kslHookSetBkBmp with a Unicode path. Returns TRUE when the picture became the tile; FALSE, with
 * nothing changed, otherwise, and GetLastError() says why: ERROR_FILE_NOT_FOUND or
 * ERROR_PATH_NOT_FOUND (no such file), ERROR_INVALID_DATA (a folder, unreadable, not a picture of
 * the four formats, cut short, no frame), ERROR_NOT_ENOUGH_MEMORY (more than 64 million pixels, or
 * memory ran out), ERROR_INVALID_WINDOW_HANDLE (no skin is on, or another thread's). */
KSLHOOK_API BOOL __stdcall kslHookSetBkBmpW(LPCWSTR lpszPath);

/* Paints the background tile with crColor (a COLORREF) and repaints. Returns 1. */
KSLHOOK_API int __stdcall kslHookSetBkColor(COLORREF crColor);

/* Sets the item text colour and repaints. Returns 1. */
KSLHOOK_API int __stdcall kslHookSetFgColor(COLORREF crColor);

/* Accepted for hosts that call it: the library keeps no window of the host's. Returns 1. */
KSLHOOK_API int __stdcall kslHookSetHwnd(HWND hWnd);

#ifdef __cplusplus
}
#endif

#endif /* KSLHOOK_H */
