/* A minimal host linked against kslHook.dll through its import library: a window with a list box,
 * skinned, recoloured and given back. Prints each step; exits with 0 when every step went as
 * expected. */
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

/* Lays the skin's place over the host's list: a container at the list's rectangle, just after the
 * list in z-order, and a reference window filling it; returns the reference window, the one to give
 * kslCreateHook. The list itself stays where it is: a host or dialog that finds it with
 * GetDlgItem(parent, id) goes on finding it. */
static HWND LaySkinPlace(HWND list) {
  HWND parent = GetParent(list);
  HINSTANCE instance = GetModuleHandleA(NULL);
  HWND container;
  RECT rc;
  GetWindowRect(list, &rc);
  MapWindowPoints(NULL, parent, (POINT*)&rc, 2);
  /* WS_EX_CONTROLPARENT: dialog keyboard navigation looks inside for the skin. WS_CLIPSIBLINGS:
   * while the skin is off, the container does not paint over the list above it. */
  container = CreateWindowExA(WS_EX_CONTROLPARENT, "STATIC", "",
                              WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, rc.left,
                              rc.top, rc.right - rc.left, rc.bottom - rc.top, parent, NULL,
                              instance, NULL);
  SetWindowPos(container, list, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                         container, NULL, instance, NULL);
}

/* TRUE when the user, pointing at the middle of the list, meets the list itself: without the skin,
   or with it off. IsWindowVisible(list) answers what the host set, skin or no skin. */
static BOOL UserMeetsList(HWND list) {
  RECT rc;
  POINT centre;
  GetWindowRect(list, &rc);
  centre.x = (rc.left + rc.right) / 2;
  centre.y = (rc.top + rc.bottom) / 2;
  return WindowFromPoint(centre) == list;
}

int main(void) {
  WNDCLASSA wc = {0};
  HWND frame, list, reference, panel;
  RECT listRect, panelRect;
  int i;

  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(NULL);
  wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  wc.lpszClassName = "LinkedHostFrame";
  RegisterClassA(&wc);
  frame = CreateWindowExA(0, "LinkedHostFrame", "Linked host", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                          40, 40, 480, 320, NULL, NULL, wc.hInstance, NULL);
  list = CreateWindowExA(0, "LISTBOX", "",
                         WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                         20, 20, 420, 240, frame, (HMENU)100, wc.hInstance, NULL);
  for (i = 0; i < 40; ++i) {
    char row[32];
    wsprintfA(row, "Row %d", i);
    SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)row);
  }
  reference = LaySkinPlace(list);
  PumpMessages();

  Expect(kslCreateHook(reference, list) == 0, "kslCreateHook switches the skin on and returns 0");
  panel = GetWindow(reference, GW_HWNDFIRST);
  Expect(IsWindowVisible(list) && !UserMeetsList(list), "the skin lies over the host's list");
  GetWindowRect(list, &listRect);
  GetWindowRect(panel, &panelRect);
  Expect(panel != reference && IsWindowVisible(panel) && EqualRect(&listRect, &panelRect),
         "a skinned copy lies exactly at its place");
  Expect(GetDlgItem(frame, 100) == list, "the host still finds its list by its id");
  Expect(kslHookSetBkColor(RGB(0x20, 0x30, 0x50)) == 1, "kslHookSetBkColor returns 1");
  Expect(kslHookSetFgColor(RGB(0xF0, 0xE0, 0xA0)) == 1, "kslHookSetFgColor returns 1");
  Expect(kslHookSetBkBmp("no such picture.bmp") == 1,
         "kslHookSetBkBmp returns 1 (a missing file changes nothing)");
  Expect(!kslHookSetBkBmpW(L"no such picture.png") && GetLastError() == ERROR_FILE_NOT_FOUND,
         "kslHookSetBkBmpW says that a picture file is missing");
  Expect(kslHookSetHwnd(frame) == 1, "kslHookSetHwnd returns 1");
  SendMessageA(list, LB_SETCURSEL, 7, 0);
  Expect(SendMessageA(list, LB_GETCURSEL, 0, 0) == 7, "the host still drives its own list");
  PumpMessages();

  Expect(kslCreateHook(NULL, NULL) == 0, "a second kslCreateHook switches the skin off");
  PumpMessages();
  Expect(UserMeetsList(list), "the host's list is seen again");
  Expect(!IsWindow(panel), "the skinned copy is gone");
  Expect(SendMessageA(list, LB_GETCOUNT, 0, 0) == 40, "the host's rows are all there");

  DestroyWindow(frame);
  printf("%s\n", g_failures == 0 ? "linked host: all steps as expected" : "linked host: failed");
  return g_failures == 0 ? 0 : 1;
}
