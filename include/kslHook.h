/* kslHook.dll: re-skins list boxes of a host window.
 *
 * The same declarations serve 32-bit and 64-bit hosts, each with a kslHook.dll of its own size.
 * All functions are __stdcall (64-bit compilers take it as their one calling convention), take
 * window handles and pointers of the host's size, and must be called on the thread that owns the
 * host's windows (its GUI thread). The classic functions switch one overlay per process. The library keeps itself
 * loaded while the overlay is on; switch it off (through a fresh GetProcAddress, if need be) for
 * the library to unload. The setters act on the live overlay and do nothing while it is off.
 *
 * Your code runs inside nearly every call (your WM_CTLCOLORLISTBOX, WM_DRAWITEM and
 * WM_MEASUREITEM handlers, your list's notifications, a subclass of your list) and may end a skin
 * from there (switch it off, detach it, destroy its window): the call finishes safely and the
 * skin's objects go once it is done. A GUI thread that ends with skins on (its loop returned, its
 * windows not destroyed) ends them as it ends: each list given back (or gone with the thread), every
 * object freed, each handle stale, the classic skin free for another thread.
 *
 * Pictures (kslHookSetBkBmp, kslHookSetBkBmpW, kslSkinSetBkImageW): BMP, PNG, JPEG or GIF, told
 * apart by content; a GIF is its first frame, whatever follows it. The limits hold for what the
 * skin keeps, the picture at its own size and at the size it is drawn (DPI/96 of it on a
 * DPI-aware window, rounded): at most 67,108,864 pixels (8192 x 8192) and no side over 32,768 pixels
 * at either size (so a 6,000 x 6,000 picture is taken at 96 DPI and refused at 144), and a JPEG
 * of at most 256 scans. A picture that cannot be taken changes nothing: the old tile stays. */
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
 * tile and repaints: a BMP, PNG, JPEG or GIF file (its first frame), told apart by content, within
 * the limits above. Transparent pixels show the list's background colour; on a DPI-aware window
 * the tile is drawn at DPI/96 of its pixel size. A file that gives no picture changes nothing.
 * Returns 1 (kslHookSetBkBmpW says why a picture was refused). */
KSLHOOK_API int __stdcall kslHookSetBkBmp(LPCSTR lpszPath);

/* kslHookSetBkBmp with a Unicode path. Returns TRUE when the picture became the tile; FALSE, with
 * nothing changed (the old tile kept), otherwise, and GetLastError() says why:
 * ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND (no such file, an empty or null path),
 * ERROR_INVALID_DATA (a folder, unreadable, not a picture of the four formats, cut short, headers
 * that do not fit each other or the file, a GIF without frames), ERROR_NOT_ENOUGH_MEMORY (beyond
 * the limits above at its own size or at the size it is drawn, or memory or a GDI object for the
 * tile could not be had), ERROR_NOT_SUPPORTED (the system's imaging component is missing or
 * cannot be used; where COM gives a Win32 code of its own, that code), ERROR_INVALID_WINDOW_HANDLE
 * (no skin is on, or it is another thread's). */
KSLHOOK_API BOOL __stdcall kslHookSetBkBmpW(LPCWSTR lpszPath);

/* Paints the background tile with crColor (a COLORREF) and repaints; where the new tile cannot be
 * made (no memory, no GDI object), the old one stays. Returns 1. */
KSLHOOK_API int __stdcall kslHookSetBkColor(COLORREF crColor);

/* Sets the item text colour and repaints. Returns 1. */
KSLHOOK_API int __stdcall kslHookSetFgColor(COLORREF crColor);

/* Accepted for hosts that call it: the library keeps no window of the host's. Returns 1. */
KSLHOOK_API int __stdcall kslHookSetHwnd(HWND hWnd);

/* Handle skins: any number of lists skinned at once, each with its own look, beside the one skin
 * the functions above switch. A handle is an opaque value, never a pointer; a stale one (detached,
 * or its list destroyed) is refused and never names another skin. Each skin is used from the thread
 * that owns its list; any GUI thread may have skins. */
typedef struct KSLSKIN__* HKSLSKIN;

/* Skins hList in its own place, as kslCreateHook(hList, hList) does, with the default tile and
 * colours; a drop-down combo box's list (GetComboBoxInfo names it) gets a skin over it whenever it
 * is dropped. NULL on failure, with GetLastError(): ERROR_INVALID_WINDOW_HANDLE (neither a live
 * child list box nor a drop-down combo box's list, or your code ended the skin or its window while
 * it went on), ERROR_ACCESS_DENIED (the list, its parent or its combo box belongs to another
 * thread), ERROR_ALREADY_EXISTS (the list carries a skin
 * already, of either kind, or one is going on over it: called from your code inside that
 * skin's switch-on, or a skin's own list), ERROR_NOT_ENOUGH_MEMORY or ERROR_OUTOFMEMORY. */
KSLHOOK_API HKSLSKIN __stdcall kslSkinAttach(HWND hList);

/* Gives the list back as kslCreateHook's switch-off does; the handle is stale from then on. A skin
 * also ends when its list is destroyed. FALSE with ERROR_INVALID_HANDLE for a handle that is no
 * live skin, ERROR_ACCESS_DENIED from a thread other than the list's. */
KSLHOOK_API BOOL __stdcall kslSkinDetach(HKSLSKIN hSkin);

/* The handle skin on hList; NULL for a list without one (the classic skin has no handle), and NULL
 * with ERROR_ACCESS_DENIED from a thread other than the list's. */
KSLHOOK_API HKSLSKIN __stdcall kslSkinOf(HWND hList);

/* The skin's background picture (BMP, PNG, JPEG or GIF, as kslHookSetBkBmpW takes it); repainted
 * at once. FALSE with kslHookSetBkBmpW's errors when it cannot be taken (the tile stays), and with
 * ERROR_INVALID_HANDLE or ERROR_ACCESS_DENIED as kslSkinDetach. */
KSLHOOK_API BOOL __stdcall kslSkinSetBkImageW(HKSLSKIN hSkin, LPCWSTR path);

/* The skin's tile painted in one colour (FALSE with ERROR_NOT_ENOUGH_MEMORY, the old tile kept,
 * where the new one cannot be made); the colour of its rows' text. Otherwise errors as
 * kslSkinDetach. */
KSLHOOK_API BOOL __stdcall kslSkinSetBkColor(HKSLSKIN hSkin, COLORREF color);
KSLHOOK_API BOOL __stdcall kslSkinSetFgColor(HKSLSKIN hSkin, COLORREF color);

/* A skin's look in one value: its picture, its text, and how selected rows, the row under the
 * pointer, the focused row and a disabled list show. fMask names the fields set or asked for. */
#define KSLLOOK_BKIMAGE   0x0001 /* pszBkImage */
#define KSLLOOK_BKCOLOR   0x0002 /* crBk */
#define KSLLOOK_TEXT      0x0004 /* crText */
#define KSLLOOK_SELECTION 0x0008 /* crSelBk, bSelAlpha, crSelText */
#define KSLLOOK_HOT       0x0010 /* crHotBk, bHotAlpha, crHotText */
#define KSLLOOK_DISABLED  0x0020 /* crDisabledText, bDisabledAlpha */
#define KSLLOOK_FOCUS     0x0040 /* nFocusStyle */
#define KSLLOOK_ALL       0x007F

/* Colours that are none: the values commctrl.h calls CLR_NONE and CLR_DEFAULT. */
#define KSLCLR_NONE    ((COLORREF)0xFFFFFFFF)
#define KSLCLR_DEFAULT ((COLORREF)0xFF000000)

#define KSLFOCUS_DOTTED 0 /* the system's dotted focus rectangle (the default) */
#define KSLFOCUS_SOLID  1 /* a one-pixel line in the row's text colour */
#define KSLFOCUS_NONE   2 /* none */

typedef struct KSLLOOK {
  UINT cbSize;         /* sizeof(KSLLOOK) */
  UINT fMask;          /* KSLLOOK_* bits: the fields set or asked for */
  /* The picture, as kslSkinSetBkImageW takes it; NULL: the library's own tile. Read back, the
   * skin's own copy of the path (valid until its look changes), or NULL for the library's tile or
   * a colour. */
  LPCWSTR pszBkImage;
  /* The tile painted in one colour, replacing the picture; KSLCLR_NONE: no colour (with
   * KSLLOOK_BKIMAGE too, a picture given wins). Read back, KSLCLR_NONE unless the tile is a colour. */
  COLORREF crBk;
  COLORREF crText;     /* the rows' text, used as given */
  /* Selected rows: crSelBk laid over the picture at bSelAlpha (0 shows the picture as it is, 255
   * hides it), text in crSelText. Default: RGB(0, 0, 0x88) at 255. */
  COLORREF crSelBk;
  BYTE bSelAlpha;
  COLORREF crSelText;
  /* The row under the pointer: crHotBk over the picture at bHotAlpha, text in crHotText;
   * bHotAlpha 0 (the default): no hover look. */
  COLORREF crHotBk;
  BYTE bHotAlpha;
  COLORREF crHotText;
  /* A disabled list: text in crDisabledText, its picture at bDisabledAlpha over the list's own
   * background (255, the default: as an enabled list's). */
  COLORREF crDisabledText;
  BYTE bDisabledAlpha;
  int nFocusStyle;     /* KSLFOCUS_DOTTED, KSLFOCUS_SOLID or KSLFOCUS_NONE */
} KSLLOOK;
/* A text colour of KSLCLR_DEFAULT (the default for crSelText, crHotText and crDisabledText): the
 * rows' text colour where it stands out on that state's fill (a contrast of 4.5:1, or the system's
 * own selected rows' where that is less), else black or white. */

/* Sets the fields of pLook that its mask names, all of them or none, and repaints once. FALSE,
 * with nothing changed, and GetLastError(): ERROR_INVALID_PARAMETER (a null look, a cbSize other
 * than sizeof(KSLLOOK), mask bits beyond KSLLOOK_ALL, an unknown focus style), the picture's errors
 * as kslSkinSetBkImageW, ERROR_NOT_ENOUGH_MEMORY where a tile cannot be made, and the handle and
 * thread errors as kslSkinDetach. Skins given the same look (the same picture file, unchanged, at
 * the same DPI over the same background) share one decoded picture and its tiles. */
KSLHOOK_API BOOL __stdcall kslSkinSetLook(HKSLSKIN hSkin, const KSLLOOK* pLook);
/* Fills the fields of pLook that its mask names with the skin's look. FALSE with the errors above
 * (no picture's). */
KSLHOOK_API BOOL __stdcall kslSkinGetLook(HKSLSKIN hSkin, KSLLOOK* pLook);

/* Skins every list box of the calling GUI thread with pLook (NULL: the default look), shown or
 * hidden, and from then on every list box the thread creates: in its windows and dialogs, in the
 * system's dialogs it runs, and the lists of its combo boxes (the drop-down list shows the look
 * whenever it is dropped). A new list is skinned once the thread's message loop runs after its
 * creation: in a dialog, after WM_INITDIALOG has returned, so the host fills and places its lists
 * as it always did. Each list gets a handle skin: kslSkinOf finds it, its look may be changed, and
 * a list detached by hand stays unskinned. A list with a skin already keeps it. Called again while
 * on, it changes the look of the skins it made and of those to come. Only a window's creation
 * costs a check of its class. The library stays loaded while it is on. FALSE, with nothing
 * changed, and GetLastError(): ERROR_INVALID_PARAMETER for a look kslSkinSetLook refuses, the
 * picture's errors as kslSkinSetBkImageW, ERROR_NOT_ENOUGH_MEMORY. */
KSLHOOK_API BOOL __stdcall kslSkinAutoAttach(const KSLLOOK* pLook);
/* Stops skinning the calling thread's new lists and gives back every list kslSkinAutoAttach
 * skinned (skins attached by hand stay). A thread's end ends it too. FALSE with ERROR_NOT_FOUND
 * when it is not on for the thread. */
KSLHOOK_API BOOL __stdcall kslSkinAutoDetach(void);

#ifdef __cplusplus
}
#endif

#endif /* KSLHOOK_H */
