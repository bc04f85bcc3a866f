/* A host with three lists in one window, each skinned through the handle API with a look of its
 * own, then all three with one look set once (a translucent selection and a hover look, whose
 * tiles the three skins share), given back one by one. Prints each step; exits with 0 when every
 * step went as expected. */
#include <stdio.h>
#include <windows.h>

#include <kslHook.h>

static int g_failures;

static void Expect(int ok, const char* what) {
  printf("%s %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok) ++g_failures;
}

static void PumpMessages(void) {
  MSG msg;
  while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

/* What the user meets at a point of the list: the skin over it while it is on. */
static HWND WindowAtListsMiddle(HWND list) {
  RECT rc;
  POINT centre;
  GetWindowRect(list, &rc);
  centre.x = (rc.left + rc.right) / 2;
  centre.y = rc.bottom - 8;
  return WindowFromPoint(centre);
}

int main(void) {
  static const COLORREF looks[3] = {RGB(0x60, 0x10, 0x10), RGB(0x10, 0x50, 0x20),
                                    RGB(0x10, 0x20, 0x60)};
  WNDCLASSA wc = {0};
  HWND frame, lists[3];
  HKSLSKIN skins[3];
  int i, k;

  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(NULL);
  wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  wc.lpszClassName = "HandleHostFrame";
  RegisterClassA(&wc);
  frame = CreateWindowExA(0, "HandleHostFrame", "Three lists, three skins",
                          WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 640, 300, NULL, NULL,
                          wc.hInstance, NULL);
  for (k = 0; k < 3; ++k) {
    lists[k] = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "",
                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY |
                                   LBS_NOINTEGRALHEIGHT | (k == 1 ? LBS_EXTENDEDSEL : 0),
                               10 + 205 * k, 10, 195, 240, frame, (HMENU)(INT_PTR)(100 + k),
                               wc.hInstance, NULL);
    for (i = 0; i < 5; ++i) {
      char row[32];
      wsprintfA(row, "List %d, row %d", k + 1, i);
      SendMessageA(lists[k], LB_ADDSTRING, 0, (LPARAM)row);
    }
  }
  PumpMessages();

  /* Each list gets a skin of its own, where it lies; each handle names its skin for the setters. */
  for (k = 0; k < 3; ++k) {
    skins[k] = kslSkinAttach(lists[k]);
    Expect(skins[k] != NULL, "kslSkinAttach skins a list and returns its handle");
    Expect(kslSkinSetBkColor(skins[k], looks[k]), "kslSkinSetBkColor gives the skin its own look");
    Expect(kslSkinSetFgColor(skins[k], RGB(0xFF, 0xFF, 0xFF)), "kslSkinSetFgColor");
    Expect(kslSkinOf(lists[k]) == skins[k], "kslSkinOf finds the skin from its list");
  }
  Expect(kslSkinAttach(lists[0]) == NULL && GetLastError() == ERROR_ALREADY_EXISTS,
         "a second skin on a list is refused with ERROR_ALREADY_EXISTS");
  Expect(!kslSkinSetBkImageW(skins[0], L"no such picture.bmp") &&
             GetLastError() == ERROR_FILE_NOT_FOUND,
         "a missing picture is refused with ERROR_FILE_NOT_FOUND");
  PumpMessages();
  for (k = 0; k < 3; ++k) {
    HWND seen = WindowAtListsMiddle(lists[k]);
    HDC dc = GetDC(seen);
    Expect(seen != lists[k], "the user meets the skin over each list");
    /* The bottom of each skin, below its rows, shows its own colour. */
    Expect(GetPixel(dc, 20, 200) == looks[k], "each skin shows its own look");
    ReleaseDC(seen, dc);
  }
  {
    /* One look, filled in once, for all three: a coloured tile, the selection laid over it at
     * half strength, the row under the pointer lit, a solid focus line. */
    KSLLOOK look, read;
    ZeroMemory(&look, sizeof look);
    look.cbSize = sizeof look;
    look.fMask = KSLLOOK_BKCOLOR | KSLLOOK_TEXT | KSLLOOK_SELECTION | KSLLOOK_HOT | KSLLOOK_FOCUS;
    look.crBk = RGB(0x20, 0x28, 0x40);
    look.crText = RGB(0xF0, 0xF0, 0xF0);
    look.crSelBk = RGB(0xFF, 0xB0, 0x30);
    look.bSelAlpha = 128;
    look.crSelText = KSLCLR_DEFAULT;
    look.crHotBk = RGB(0xFF, 0xFF, 0xFF);
    look.bHotAlpha = 48;
    look.crHotText = KSLCLR_DEFAULT;
    look.nFocusStyle = KSLFOCUS_SOLID;
    for (k = 0; k < 3; ++k) Expect(kslSkinSetLook(skins[k], &look), "kslSkinSetLook: one look");
    ZeroMemory(&read, sizeof read);
    read.cbSize = sizeof read;
    read.fMask = KSLLOOK_ALL;
    Expect(kslSkinGetLook(skins[1], &read) && read.bSelAlpha == 128 && read.crBk == look.crBk,
           "kslSkinGetLook reads the look back");
    look.fMask = KSLLOOK_FOCUS;
    look.nFocusStyle = 7;
    Expect(!kslSkinSetLook(skins[0], &look) && GetLastError() == ERROR_INVALID_PARAMETER,
           "a look with an unknown focus style is refused with ERROR_INVALID_PARAMETER");
    PumpMessages();
    for (k = 0; k < 3; ++k) {
      HWND seen = WindowAtListsMiddle(lists[k]);
      HDC dc = GetDC(seen);
      Expect(GetPixel(dc, 20, 200) == RGB(0x20, 0x28, 0x40), "each skin shows the one look");
      ReleaseDC(seen, dc);
    }
  }
  SendMessageA(lists[2], LB_SETCURSEL, 3, 0);
  Expect(SendMessageA(lists[2], LB_GETCURSEL, 0, 0) == 3, "the host still drives its own lists");

  /* Given back one by one; a handle is stale once its skin is over. */
  for (k = 0; k < 3; ++k) {
    Expect(kslSkinDetach(skins[k]), "kslSkinDetach gives the list back");
    PumpMessages();
    Expect(WindowAtListsMiddle(lists[k]) == lists[k], "the host's list is seen again");
  }
  Expect(!kslSkinDetach(skins[0]) && GetLastError() == ERROR_INVALID_HANDLE,
         "a stale handle is refused with ERROR_INVALID_HANDLE");
  Expect(kslSkinOf(lists[0]) == NULL, "a list without a skin has none");

  DestroyWindow(frame);
  printf("%s\n", g_failures == 0 ? "handle host: all steps as expected" : "handle host: failed");
  return g_failures == 0 ? 0 : 1;
}
