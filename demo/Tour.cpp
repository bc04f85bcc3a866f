#include "Tour.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "Screenshot.h"

namespace demo {
namespace {

// Dispatches messages for a while, so that posted input is handled and windows are painted.
void Settle(DWORD milliseconds = 60) {
  const DWORD start = ::GetTickCount();
  do {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
    ::Sleep(5);
  } while (::GetTickCount() - start < milliseconds);
}

void SendMouse(DWORD flags, DWORD wheel = 0) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  input.mi.mouseData = wheel;
  ::SendInput(1, &input, sizeof(input));
}

// The screen point of a row's middle, as the user sees it: asked of whichever list box is on top
// at the host list's place (the host's own, or the skin over it).
POINT RowOnScreen(const HostWindow& host, int row, HWND hList = nullptr) {
  RECT list;
  ::GetWindowRect(hList != nullptr ? hList : host.list(), &list);
  const POINT probe = {list.left + 20, list.top + 5};
  HWND hShown = ::WindowFromPoint(probe);
  RECT item = {};
  ::SendMessageA(hShown, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  POINT at = {120, (item.top + item.bottom) / 2};
  ::ClientToScreen(hShown, &at);
  return at;
}

// Moves the pointer to `at` as the user would, and lets it rest there.
void RestAt(POINT at) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dx = at.x * 65536 / ::GetSystemMetrics(SM_CXSCREEN) + 1;
  input.mi.dy = at.y * 65536 / ::GetSystemMetrics(SM_CYSCREEN) + 1;
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  ::SendInput(1, &input, sizeof(input));
  Settle(100);
}

// Clicks `times` times in quick succession. A click within the double-click time of the one before
// would be taken as its second half, so each new gesture waits that long first.
void ClickAt(POINT at, DWORD down, DWORD up, int times = 1) {
  Settle(::GetDoubleClickTime() + 50);
  ::SetCursorPos(at.x, at.y);
  for (int i = 0; i < times; ++i) {
    SendMouse(down);
    SendMouse(up);
    Settle(20);
  }
}

// Presses at `from`, moves to `to` in a few steps with the button held, and lets go there.
void DragAt(POINT from, POINT to) {
  Settle(::GetDoubleClickTime() + 50);
  ::SetCursorPos(from.x, from.y);
  Settle(20);
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  for (int i = 1; i <= 4; ++i) {
    Settle(20);
    ::SetCursorPos(to.x, from.y + (to.y - from.y) * i / 4);
  }
  Settle(20);
  SendMouse(MOUSEEVENTF_LEFTUP);
}

int CALLBACK NoteFontFound(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

// TRUE when the system has the Marlett font, whose glyphs are the caption buttons: without it Wine
// draws the letters "0 1 r" at the top right of every window, and of every picture.
bool CaptionButtonFontInstalled() {
  LOGFONTA wanted = {};
  wanted.lfCharSet = DEFAULT_CHARSET;
  lstrcpyA(wanted.lfFaceName, "Marlett");
  bool found = false;
  HDC hScreen = ::GetDC(nullptr);
  ::EnumFontFamiliesExA(hScreen, &wanted, &NoteFontFound, reinterpret_cast<LPARAM>(&found), 0);
  ::ReleaseDC(nullptr, hScreen);
  return found;
}

// The screen point of row `row`'s middle in a combo box's dropped list.
POINT DroppedRowOnScreen(HWND hCombo, int row) {
  COMBOBOXINFO parts = {};
  parts.cbSize = sizeof parts;
  ::GetComboBoxInfo(hCombo, &parts);
  RECT item = {};
  ::SendMessageA(parts.hwndList, LB_GETITEMRECT, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
  POINT at = {(item.left + item.right) / 2, (item.top + item.bottom) / 2};
  ::ClientToScreen(parts.hwndList, &at);
  return at;
}

POINT MiddleOf(HWND hWnd) {
  RECT rc = {};
  ::GetWindowRect(hWnd, &rc);
  return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

struct Step {
  const char* name;      // also the picture's name
  const char* action;    // what the user does
  const char* expected;  // a text the host must show during the step, or null
  std::function<void()> run;
  // The window pictured: the host's unless named; null when the step pictured it itself.
  std::function<HWND()> pictured = nullptr;
};

}  // namespace

int RunTour(HostWindow& host, const std::string& folder) {
  std::vector<std::string> heard;
  host.onStatus = [&heard](const std::string& line) { heard.push_back(line); };
  ::CreateDirectoryA(folder.c_str(), nullptr);
  ::SetForegroundWindow(host.hWnd());
  Settle(200);

  const std::string pictures = PicturesFolder();
  const int row = 5;  // counted from 0; the host calls it row 6
  std::string path;   // the picture of the step under way
  bool dialogPictured = false;
  const std::vector<Step> steps = {
      {"plain-host", "the host as it is: its own list box, no skin", nullptr, [] {}},
      {"skin-on", "press \"Skin on\"", "skin on",
       [&] { ::SendMessageA(host.skinButton(), BM_CLICK, 0, 0); }},
      {"row-clicked", "click row 6 on the skin", "LBN_SELCHANGE",
       [&] { ClickAt(RowOnScreen(host, row), MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP); }},
      {"row-double-clicked", "double-click row 6", "LBN_DBLCLK",
       [&] { ClickAt(RowOnScreen(host, row), MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 2); }},
      {"row-right-clicked", "right-click row 6", "WM_CONTEXTMENU",
       [&] { ClickAt(RowOnScreen(host, row), MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP); }},
      {"row-dragged", "drag row 6 down to row 9 on the skin", "moved row 6 to 9",
       [&] { DragAt(RowOnScreen(host, row), RowOnScreen(host, row + 3)); }},
      {"scrolled-down", "turn the mouse wheel five notches down", nullptr,
       [&] { SendMouse(MOUSEEVENTF_WHEEL, static_cast<DWORD>(-5 * WHEEL_DELTA)); }},
      {"picture", "choose the background picture dusk.bmp", "kslHookSetBkBmp",
       [&] { host.UsePicture(pictures + "dusk.bmp"); }},
      {"png-picture", "choose the PNG picture glass.png, partly transparent over the list's white",
       "kslHookSetBkBmpW: glass.png", [&] { host.UsePicture(pictures + "glass.png"); }},
      {"background-colour", "choose a background colour", "kslHookSetBkColor",
       [&] { host.UseBackgroundColour(RGB(0x1E, 0x4D, 0x2B)); }},
      {"text-colour", "choose a text colour", "kslHookSetFgColor",
       [&] { host.UseTextColour(RGB(0xFF, 0xE0, 0x8A)); }},
      {"two-skins", "press \"Skin queue\": the second list gets a skin and a look of its own",
       "kslSkinAttach", [&] { ::SendMessageA(host.queueButton(), BM_CLICK, 0, 0); }},
      {"queue-row-clicked", "click row 3 on the queue's skin", "Queue: LBN_SELCHANGE, row 3",
       [&] {
         ClickAt(RowOnScreen(host, 2, host.queue()), MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
       }},
      {"queue-look",
       "give the queue's skin a look: a translucent selection and a hover look; rest the pointer "
       "on row 6",
       "kslSkinSetLook",
       [&] {
         host.UseQueueLook();
         RestAt(RowOnScreen(host, 5, host.queue()));
       }},
      {"icon-view", "press \"Icon view\": the host draws its rows itself", "View:",
       [&] { host.UseIconView(); }},
      {"window-resized", "make the window larger: the host's layout moves its list", "now 900",
       [&] { host.Resize(900, 520); }},
      {"skin-off", "press \"Skin off\"", "skin off",
       [&] { ::SendMessageA(host.skinButton(), BM_CLICK, 0, 0); }},
      {"combo-dropped",
       "drop the play order: its list shows the look the one call at start-up gave every list; "
       "rest the pointer on its fourth row",
       "CBN_DROPDOWN",
       [&] {
         ClickAt(MiddleOf(host.order()), MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
         RestAt(DroppedRowOnScreen(host.order(), 3));
       }},
      {"combo-picked", "click its fifth row", "CBN_SELCHANGE, By artist",
       [&] {
         ClickAt(DroppedRowOnScreen(host.order(), 4), MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
       }},
      {"settings-dialog", "press \"Settings...\": a dialog of lists and combo boxes, skinned",
       "Settings:", [&] { ::SendMessageA(host.settingsButton(), BM_CLICK, 0, 0); },
       [&] { return host.settings(); }},
      {"open-dialog",
       "press \"Background picture...\": the system's open dialog, its lists skinned too",
       nullptr,
       [&] {
         ::SendMessageA(host.settings(), WM_COMMAND, IDCANCEL, 0);
         host.onPictureDialog = [&](HWND hDialog) {
           dialogPictured = SaveWindowPng(hDialog, path);
           ::PostMessageA(hDialog, WM_COMMAND, IDCANCEL, 0);
         };
         ::SendMessageA(::GetDlgItem(host.hWnd(), 102), BM_CLICK, 0, 0);
         host.onPictureDialog = nullptr;
       },
       [] { return static_cast<HWND>(nullptr); }},
  };

  int failures = 0;
  if (!CaptionButtonFontInstalled()) {
    std::printf("MISSING: the Marlett font: the pictures' caption buttons show as letters "
                "(scripts/setup.sh puts it in the Wine prefix)\n");
    ++failures;
  }
  int number = 0;
  for (const Step& step : steps) {
    ++number;
    heard.clear();
    char file[64];
    std::snprintf(file, sizeof(file), "%02d-%s.png", number, step.name);
    // In full: the open dialog changes the current folder while it is up.
    char full[MAX_PATH] = {};
    ::GetFullPathNameA((folder + "\\" + file).c_str(), MAX_PATH, full, nullptr);
    path = full;
    step.run();
    // Input reaches the host through the X server: on a busy machine it can take a while.
    auto expectedHeard = [&] {
      return step.expected == nullptr ||
             std::any_of(heard.begin(), heard.end(), [&step](const std::string& line) {
               return line.find(step.expected) != std::string::npos;
             });
    };
    for (int waited = 0; waited < 3000 && !expectedHeard(); waited += 60) Settle();
    Settle();
    const HWND pictured = step.pictured ? step.pictured() : host.hWnd();
    const bool saved = pictured != nullptr ? SaveWindowPng(pictured, path) : dialogPictured;

    std::printf("%2d. %s\n", number, step.action);
    for (const std::string& line : heard) std::printf("      status: %s\n", line.c_str());
    if (heard.empty()) std::printf("      status: (unchanged)\n");
    const bool expectedSeen = expectedHeard();
    if (!expectedSeen) {
      std::printf("      MISSING: the status line should have shown \"%s\"\n", step.expected);
    }
    std::printf("      %s %s\n", saved ? "picture:" : "NOT SAVED:", (folder + "\\" + file).c_str());
    std::fflush(stdout);
    if (!saved || !expectedSeen) ++failures;
  }
  host.onStatus = nullptr;
  std::printf("%s\n", failures == 0 ? "tour complete: every step as expected"
                                    : "tour finished with missing steps");
  return failures == 0 ? 0 : 1;
}

}  // namespace demo
