#include "UserInput.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <sstream>

namespace user {
namespace {

HWND g_hDialog = nullptr;

struct LastClick {
  DWORD buttonDown = 0;  // the MOUSEEVENTF_*DOWN flag of the last click, 0 for none
  POINT at = {};
  HWND window = nullptr;  // the window that took it
  DWORD tick = 0;
};
LastClick g_last;

bool PumpOnce() {
  MSG msg;
  bool any = false;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    any = true;
    if (g_hDialog != nullptr && ::IsWindow(g_hDialog) && ::IsDialogMessageA(g_hDialog, &msg))
      continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return any;
}

void SendMouse(DWORD flags, DWORD data = 0) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  input.mi.mouseData = data;
  ::SendInput(1, &input, sizeof input);
}

void SendKey(WORD vk, bool up) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = static_cast<WORD>(::MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  switch (vk) {
    case VK_PRIOR: case VK_NEXT: case VK_END: case VK_HOME: case VK_LEFT: case VK_UP:
    case VK_RIGHT: case VK_DOWN: case VK_INSERT: case VK_DELETE:
      input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
      break;
    default:
      break;
  }
  ::SendInput(1, &input, sizeof input);
}

void PressModifiers(unsigned mods, bool up) {
  if (mods & kCtrl) SendKey(VK_CONTROL, up);
  if (mods & kShift) SendKey(VK_SHIFT, up);
  if (mods & kAlt) SendKey(VK_MENU, up);
}

// A press at `screen` would pair with the last click when it comes to the same window with the
// same button within the double-click time and rectangle of it.
bool CouldPair(DWORD buttonDown, POINT screen) {
  if (g_last.buttonDown != buttonDown || ::WindowFromPoint(screen) != g_last.window) return false;
  const int halfWidth = ::GetSystemMetrics(SM_CXDOUBLECLK) / 2 + 1;
  const int halfHeight = ::GetSystemMetrics(SM_CYDOUBLECLK) / 2 + 1;
  if (std::abs(screen.x - g_last.at.x) > halfWidth || std::abs(screen.y - g_last.at.y) > halfHeight)
    return false;
  return ::GetTickCount() - g_last.tick <= ::GetDoubleClickTime() + 40;
}

void WaitUntilUnpaired(DWORD buttonDown, POINT screen) {
  while (CouldPair(buttonDown, screen)) Settle(20);
}

void Press(POINT screen, unsigned mods, DWORD down, DWORD up, int times) {
  WaitUntilUnpaired(down, screen);
  MoveTo(screen);
  PressModifiers(mods, false);
  for (int i = 0; i < times; ++i) {
    if (down != 0) SendMouse(down);
    if (up != 0) SendMouse(up);
  }
  PressModifiers(mods, true);
  g_last.buttonDown = down;
  g_last.at = screen;
  g_last.window = ::WindowFromPoint(screen);
  g_last.tick = ::GetTickCount();
  Settle();
}

}  // namespace

void SetDialogLoop(HWND hDialog) { g_hDialog = hDialog; }

void Settle(DWORD milliseconds) {
  const DWORD start = ::GetTickCount();
  do {
    PumpOnce();
    ::Sleep(2);
  } while (::GetTickCount() - start < milliseconds);
  // Whatever the handling posted on, until the queue stays empty.
  for (int quiet = 0; quiet < 2;) quiet = PumpOnce() ? 0 : quiet + 1;
}

bool TakeForeground(HWND hTop) {
  ::SetForegroundWindow(hTop);
  ::SetActiveWindow(hTop);
  Settle();
  return ::GetForegroundWindow() == hTop;
}

POINT RowPoint(HWND hList, int row, int dx) {
  RECT item = {};
  ::SendMessageA(hList, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  // The middle of the part of the row that is shown: a row cut by the bottom edge has its middle
  // outside the list.
  RECT client = {};
  ::GetClientRect(hList, &client);
  RECT shown = {};
  if (!::IntersectRect(&shown, &item, &client)) shown = item;
  POINT at = {item.left + dx, (shown.top + shown.bottom) / 2};
  ::ClientToScreen(hList, &at);
  return at;
}

void MoveTo(POINT screen) {
  POINT now = {};
  ::GetCursorPos(&now);
  if (now.x == screen.x && now.y == screen.y) return;
  ::SetCursorPos(screen.x, screen.y);
  // The X server's answer to the warp must be handled before any modifier goes down.
  Settle(10);
}

void Click(POINT screen, unsigned mods) {
  Press(screen, mods, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 1);
}

void DoubleClick(POINT screen, unsigned mods) {
  Press(screen, mods, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 2);
}

void RightClick(POINT screen, unsigned mods) {
  Press(screen, mods, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, 1);
}

void Drag(POINT from, POINT to, int steps, bool cancel) {
  Press(from, kNone, MOUSEEVENTF_LEFTDOWN, 0, 1);
  for (int i = 1; i <= steps; ++i) MoveTo({to.x, from.y + (to.y - from.y) * i / steps});
  if (cancel) Key(VK_ESCAPE);
  Press(to, kNone, 0, MOUSEEVENTF_LEFTUP, 1);
}

void Wheel(POINT screen, int notches) {
  MoveTo(screen);
  const int step = notches > 0 ? WHEEL_DELTA : -WHEEL_DELTA;
  for (int i = 0; i < std::abs(notches); ++i) {
    SendMouse(MOUSEEVENTF_WHEEL, static_cast<DWORD>(step));
    Settle(5);
  }
  Settle();
}

void Key(WORD vk, unsigned mods, int times) {
  PressModifiers(mods, false);
  for (int i = 0; i < times; ++i) {
    SendKey(vk, false);
    SendKey(vk, true);
  }
  PressModifiers(mods, true);
  Settle();
}

void WaitOutDoubleClick() {
  if (g_last.buttonDown != 0) WaitUntilUnpaired(g_last.buttonDown, g_last.at);
}

namespace {

bool IsMultiSelection(HWND hList) {
  return (::GetWindowLongA(hList, GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) != 0;
}

// A list has texts to read where it keeps them (the skin says so where the host's list does).
bool KeepsStrings(HWND hList) {
  const LONG style = ::GetWindowLongA(hList, GWL_STYLE);
  return (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) == 0 || (style & LBS_HASSTRINGS);
}

// What a list shows of itself is asked of its own list-box procedure, past any subclass: the skin
// answers a reader's questions with the host's list's answers. Texts are read as a reader reads
// them.
int Ask(HWND hList, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  const bool text = message == LB_GETTEXT || message == LB_GETTEXTLEN;
  const auto own = reinterpret_cast<WNDPROC>(::GetClassLongPtrA(hList, GCLP_WNDPROC));
  return static_cast<int>(text ? ::SendMessageA(hList, message, wParam, lParam)
                               : ::CallWindowProcA(own, hList, message, wParam, lParam));
}

std::string Joined(const std::vector<int>& rows) {
  std::string text = "[";
  for (size_t i = 0; i < rows.size(); ++i) text += (i ? "," : "") + std::to_string(rows[i]);
  return text + "]";
}

}  // namespace

bool ListState::operator==(const ListState& o) const {
  return count == o.count && texts == o.texts && wideTexts == o.wideTexts &&
         selected == o.selected && caret == o.caret &&
         anchor == o.anchor && top == o.top;
}

std::ostream& operator<<(std::ostream& out, const ListState& s) {
  out << "{rows " << s.count << ", selected " << Joined(s.selected) << ", caret " << s.caret;
  if (s.anchor != -1) out << ", anchor " << s.anchor;
  out << ", top " << s.top;
  if (!s.texts.empty()) out << ", texts \"" << s.texts.front() << "\" to \"" << s.texts.back() << '"';
  return out << "}";
}

ListState StateOf(HWND hList) {
  ListState s;
  s.count = std::max(0, Ask(hList, LB_GETCOUNT));
  if (KeepsStrings(hList)) {
    for (int i = 0; i < s.count; ++i) {
      const int length = Ask(hList, LB_GETTEXTLEN, i);
      std::string text(length > 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
      if (length > 0) Ask(hList, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
      text.resize(std::strlen(text.c_str()));
      s.texts.push_back(text);
      const auto wideLength = static_cast<int>(::SendMessageW(hList, LB_GETTEXTLEN, i, 0));
      std::wstring wide(wideLength > 0 ? static_cast<size_t>(wideLength) + 1 : 1, L'\0');
      if (wideLength > 0) ::SendMessageW(hList, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&wide[0]));
      wide.resize(std::wcslen(wide.c_str()));
      s.wideTexts.push_back(wide);
    }
  }
  if (IsMultiSelection(hList)) {
    const int n = Ask(hList, LB_GETSELCOUNT);
    s.selected.assign(n > 0 ? static_cast<size_t>(n) : 0, -1);
    if (n > 0) Ask(hList, LB_GETSELITEMS, n, reinterpret_cast<LPARAM>(s.selected.data()));
    s.anchor = Ask(hList, LB_GETANCHORINDEX);
  } else {
    const int current = Ask(hList, LB_GETCURSEL);
    if (current >= 0) s.selected.push_back(current);
  }
  s.caret = Ask(hList, LB_GETCARETINDEX);
  s.top = Ask(hList, LB_GETTOPINDEX);
  return s;
}

int MaxTopOf(HWND hList) {
  RECT client = {};
  ::GetClientRect(hList, &client);
  const int itemHeight = std::max(1, Ask(hList, LB_GETITEMHEIGHT, 0));
  const int page = std::max(1, static_cast<int>(client.bottom) / itemHeight);
  return std::max(0, Ask(hList, LB_GETCOUNT) - page);
}

std::string HowShownDiffers(const ListState& shown, const ListState& model, int shownMaxTop) {
  std::ostringstream out;
  if (shown.count != model.count) out << " rows " << shown.count << " for " << model.count << ";";
  if (!model.texts.empty() && shown.texts != model.texts) out << " other texts;";
  if (!model.wideTexts.empty() && shown.wideTexts != model.wideTexts)
    out << " other texts for a Unicode reader;";
  if (shown.selected != model.selected)
    out << " selected " << Joined(shown.selected) << " for " << Joined(model.selected) << ";";
  if (shown.caret != model.caret) out << " caret " << shown.caret << " for " << model.caret << ";";
  if (shown.anchor != model.anchor)
    out << " anchor " << shown.anchor << " for " << model.anchor << ";";
  // The same top row; or, where the skin cannot scroll that far, as far as it can.
  const int expectedTop = std::min(model.top, shownMaxTop);
  if (shown.top != model.top && shown.top != expectedTop)
    out << " top " << shown.top << " for " << model.top << ";";
  const std::string differences = out.str();
  return differences.empty() ? differences : "the skin shows" + differences;
}

}  // namespace user
