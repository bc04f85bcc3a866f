/* A minimal host that loads kslHook.dll at run time, finds its functions by name, uses them and
 * unloads it again. Prints each step; exits with 0 when every step went as expected. */
#include <stdio.h>
#include <windows.h>

typedef int(WINAPI* CreateHookFn)(HWND, HWND);
typedef int(WINAPI* SetColorFn)(COLORREF);

/* The skin's place, as linked_host.c lays it: a container at the list's rectangle, just after the
 * list, holding a reference window the size of the container. Returns the reference window. */
static HWND LaySkinPlace(HWND list) {
  HWND parent = GetParent(list);
  HWND container;
  RECT rc;
  GetWindowRect(list, &rc);
  MapWindowPoints(NULL, parent, (POINT*)&rc, 2);
  container = CreateWindowExA(WS_EX_CONTROLPARENT, "STATIC", "",
                              WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, rc.left,
                              rc.top, rc.right - rc.left, rc.bottom - rc.top, parent, NULL, NULL,
                              NULL);
  SetWindowPos(container, list, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                         container, NULL, NULL, NULL);
}

static int g_failures;

static void Expect(int ok, const char* what) {
  printf("%s %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok) ++g_failures;
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
  HMODULE library = LoadLibraryA("kslHook.dll");
  WNDCLASSA wc = {0};
  CreateHookFn createHook;
  SetColorFn setBkColor;
  HWND frame, list, reference;

  Expect(library != NULL, "kslHook.dll loads");
  if (library == NULL) return 1;
  /* Every function has its plain name; the 32-bit DLL also has the decorated __stdcall one, which
   * leads to the same code. 64-bit code has one calling convention and no decorated names. */
  /* In 64-bit code FARPROC returns INT_PTR, not int: the detour through void (*)(void) tells GCC's
   * -Wcast-function-type that the type is chosen on purpose. */
  createHook = (CreateHookFn)(void (*)(void))GetProcAddress(library, "kslCreateHook");
  setBkColor = (SetColorFn)(void (*)(void))GetProcAddress(library, "kslHookSetBkColor");
  Expect(createHook != NULL && setBkColor != NULL, "kslCreateHook and kslHookSetBkColor are found");
#ifdef _WIN64
  Expect(GetProcAddress(library, "_kslCreateHook@8") == NULL, "there is no _kslCreateHook@8");
#else
  Expect((FARPROC)createHook == GetProcAddress(library, "_kslCreateHook@8"),
         "_kslCreateHook@8 is the same function");
#endif
  if (createHook == NULL || setBkColor == NULL) return 1;

  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(NULL);
  wc.lpszClassName = "LoadLibraryHostFrame";
  RegisterClassA(&wc);
  frame = CreateWindowExA(0, "LoadLibraryHostFrame", "LoadLibrary host",
                          WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 320, 240, NULL, NULL,
                          wc.hInstance, NULL);
  list = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | WS_VISIBLE | LBS_NOTIFY, 10, 10, 280, 180,
                         frame, (HMENU)100, NULL, NULL);
  SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)"one");
  SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)"two");
  reference = LaySkinPlace(list);

  Expect(createHook(reference, list) == 0 && !UserMeetsList(list), "the skin goes on");
  Expect(setBkColor(RGB(0x10, 0x40, 0x20)) == 1, "the background colour is set");
  Expect(createHook(NULL, NULL) == 0 && UserMeetsList(list), "the skin comes off");
  /* Switched off first, so nothing of the library is left running when it is unloaded. */
  Expect(FreeLibrary(library) != 0, "kslHook.dll unloads");
  Expect(SendMessageA(list, LB_GETCOUNT, 0, 0) == 2, "the host's list still works");

  DestroyWindow(frame);
  printf("%s\n", g_failures == 0 ? "loadlibrary host: all steps as expected"
                                 : "loadlibrary host: failed");
  return g_failures == 0 ? 0 : 1;
}
