/* A host built the way Visual C++ builds one: the MSVC ABI, Windows SDK headers, kslHook.lib on
 * the linker's command line, and nothing else of the library's. It has no C runtime, so that it
 * links here without one: it starts at HostMain, prints with WriteFile and ends with ExitProcess.
 * It switches the skin on, calls every setter and checks on the screen what each did, then
 * switches the skin off. Exit code 0 when every step went as expected. */
#include <windows.h>

#include <kslHook.h>

static int g_failures;

static void Say(const char* text) {
  DWORD written;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, (DWORD)lstrlenA(text), &written, NULL);
}

static void Expect(int ok, const char* what) {
  Say(ok ? "ok   " : "FAIL ");
  Say(what);
  Say("\n");
  if (!ok) ++g_failures;
}

static void PumpMessages(void) {
  MSG msg;
  while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

/* The colour the skin shows at (x, y) of its panel, read from the window that shows that point
 * (a window's own DC reads back what was painted), once pending painting is done. */
static COLORREF ShownAt(HWND panel, int x, int y) {
  POINT at;
  HWND shower;
  HDC dc;
  COLORREF colour;
  RedrawWindow(panel, NULL, NULL, RDW_UPDATENOW | RDW_ALLCHILDREN);
  at.x = x;
  at.y = y;
  shower = ChildWindowFromPointEx(panel, at, CWP_SKIPINVISIBLE);
  if (shower == NULL) return CLR_INVALID;
  MapWindowPoints(panel, shower, &at, 1);
  dc = GetDC(shower);
  colour = GetPixel(dc, at.x, at.y);
  ReleaseDC(shower, dc);
  return colour;
}

/* Whether any pixel of the panel between lines top and bottom, left of x = 120, shows colour. */
static int BandShows(HWND panel, int top, int bottom, COLORREF colour) {
  int x, y;
  for (y = top; y < bottom; ++y)
    for (x = 0; x < 120; ++x)
      if (ShownAt(panel, x, y) == colour) return 1;
  return 0;
}

/* Writes an 8 x 8 Windows bitmap file of one colour (24 bits, bottom-up). */
static int WriteSolidBitmap(const char* path, BYTE red, BYTE green, BYTE blue) {
  BYTE file[54 + 8 * 8 * 3];
  BITMAPFILEHEADER* fileHeader = (BITMAPFILEHEADER*)file;
  BITMAPINFOHEADER* info = (BITMAPINFOHEADER*)(file + sizeof(BITMAPFILEHEADER));
  HANDLE handle;
  DWORD written = 0;
  int i;
  for (i = 0; i < (int)sizeof(file); ++i) file[i] = 0;
  fileHeader->bfType = 0x4D42; /* "BM" */
  fileHeader->bfSize = sizeof(file);
  fileHeader->bfOffBits = 54;
  info->biSize = sizeof(BITMAPINFOHEADER);
  info->biWidth = 8;
  info->biHeight = 8;
  info->biPlanes = 1;
  info->biBitCount = 24;
  info->biCompression = BI_RGB;
  for (i = 54; i < (int)sizeof(file); i += 3) {
    file[i] = blue;
    file[i + 1] = green;
    file[i + 2] = red;
  }
  handle = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  WriteFile(handle, file, sizeof(file), &written, NULL);
  CloseHandle(handle);
  return written == sizeof(file);
}

/* TRUE when the user, pointing at the middle of the list, meets the list itself. */
static BOOL UserMeetsList(HWND list) {
  RECT rc;
  POINT centre;
  GetWindowRect(list, &rc);
  centre.x = (rc.left + rc.right) / 2;
  centre.y = (rc.top + rc.bottom) / 2;
  return WindowFromPoint(centre) == list;
}

void __cdecl HostMain(void) {
  WNDCLASSA wc;
  HWND frame, list, panel;
  HKSLSKIN skin;
  char path[MAX_PATH + 32];
  int i;

  wc.style = 0;
  wc.lpfnWndProc = DefWindowProcA;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = 0;
  wc.hInstance = GetModuleHandleA(NULL);
  wc.hIcon = NULL;
  wc.hCursor = NULL;
  wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  wc.lpszMenuName = NULL;
  wc.lpszClassName = "MsvcHostFrame";
  RegisterClassA(&wc);
  frame = CreateWindowExA(0, "MsvcHostFrame", "MSVC-ABI host", WS_POPUP | WS_VISIBLE, 40, 40, 400,
                          300, NULL, NULL, wc.hInstance, NULL);
  /* Three rows in a tall list: the lower part of the skin shows only its background. */
  list = CreateWindowExA(0, "LISTBOX", "",
                         WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                         0, 0, 400, 300, frame, (HMENU)100, wc.hInstance, NULL);
  for (i = 0; i < 3; ++i) {
    char row[32];
    wsprintfA(row, "Row %d  WWWWWWWW", i);
    SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)row);
  }
  PumpMessages();

  Expect(kslCreateHook(list, list) == 0, "kslCreateHook switches the skin on and returns 0");
  panel = GetWindow(list, GW_HWNDNEXT);
  Expect(IsWindowVisible(list) && !UserMeetsList(list), "the skin lies over the host's list");
  Expect(panel != NULL && IsWindowVisible(panel), "the skin lies on the list's place, next to it");

  GetTempPathA(MAX_PATH, path);
  lstrcatA(path, "kslhook_msvc_host.bmp");
  Expect(WriteSolidBitmap(path, 0x30, 0x60, 0x90), "a one-colour picture is written");
  Expect(kslHookSetBkBmp(path) == 1, "kslHookSetBkBmp returns 1");
  Expect(!kslHookSetBkBmpW(L"no such picture.png") && GetLastError() == ERROR_FILE_NOT_FOUND,
         "kslHookSetBkBmpW says that a picture file is missing");
  Expect(ShownAt(panel, 200, 250) == RGB(0x30, 0x60, 0x90),
         "the picture is the skin's background");
  DeleteFileA(path);

  Expect(kslHookSetBkColor(RGB(0x20, 0x30, 0x50)) == 1, "kslHookSetBkColor returns 1");
  Expect(ShownAt(panel, 200, 250) == RGB(0x20, 0x30, 0x50),
         "the colour is the skin's background");

  Expect(kslHookSetFgColor(RGB(0xF0, 0xE0, 0xA0)) == 1, "kslHookSetFgColor returns 1");
  Expect(BandShows(panel, 0, 20, RGB(0xF0, 0xE0, 0xA0)),
         "the first row's text has the colour");

  Expect(kslHookSetHwnd(frame) == 1, "kslHookSetHwnd returns 1");
  SendMessageA(list, LB_SETCURSEL, 1, 0);
  Expect(SendMessageA(list, LB_GETCURSEL, 0, 0) == 1, "the host still drives its own list");
  PumpMessages();

  Expect(kslCreateHook(NULL, NULL) == 0, "a second kslCreateHook switches the skin off");
  PumpMessages();
  Expect(UserMeetsList(list), "the host's list is seen again");
  Expect(!IsWindow(panel), "the skin is gone");
  Expect(SendMessageA(list, LB_GETCOUNT, 0, 0) == 3, "the host's rows are all there");

  skin = kslSkinAttach(list);
  Expect(skin != NULL && kslSkinOf(list) == skin, "kslSkinAttach skins, kslSkinOf finds it");
  Expect(kslSkinSetBkColor(skin, RGB(0x50, 0x20, 0x30)) && kslSkinSetFgColor(skin, 0) &&
             ShownAt(GetWindow(list, GW_HWNDNEXT), 200, 250) == RGB(0x50, 0x20, 0x30),
         "the handle skin's setters give it its look");
  Expect(!kslSkinSetBkImageW(skin, L"no such picture.bmp"), "a missing picture is refused");
  Expect(kslSkinDetach(skin) && UserMeetsList(list), "kslSkinDetach gives the list back");

  DestroyWindow(frame);
  Say(g_failures == 0 ? "msvc-abi host: all steps as expected\n" : "msvc-abi host: failed\n");
  ExitProcess(g_failures == 0 ? 0 : 1);
}
