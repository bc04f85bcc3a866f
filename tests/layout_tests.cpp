// The layout the README teaches, on a plain host window: the list stays where the host made it,
// shows above the skin's empty place while the skin is off, and the skin lies exactly over it.
#include <gtest/gtest.h>

#include "HostKit.h"

using namespace host;

TEST(Layout, TheListStaysInItsParentAndTheSkinTakesExactlyItsPlace) {
  TopWindow top;
  HWND list = MakeChild(top.hWnd(), 100, kPlainListStyle | LBS_NOINTEGRALHEIGHT, 30, 40, 300, 200);
  AddItems(list, 3);
  const SkinSite site(list);
  // A point of the list's empty lower part, in the host window's client area.
  const POINT empty = {30 + 150, 40 + 180};
  const COLORREF listBackground = ::GetSysColor(COLOR_WINDOW);
  EXPECT_EQ(PixelAt(top.hWnd(), empty.x, empty.y), listBackground)
      << "the empty container under the list does not paint over it";

  Lib().CreateHook(site.reference(), list);
  HWND panel = FindPanel(site.container());
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(::GetDlgItem(top.hWnd(), 100), list);
  EXPECT_FALSE(UserMeets(list));
  RECT listRect, panelRect;
  ::GetWindowRect(list, &listRect);
  ::GetWindowRect(panel, &panelRect);
  EXPECT_TRUE(::EqualRect(&listRect, &panelRect));
  EXPECT_NE(PixelAt(top.hWnd(), empty.x, empty.y), listBackground) << "the skin's tile shows";

  Lib().CreateHook(nullptr, nullptr);
  Pump();
  EXPECT_TRUE(UserMeets(list));
  EXPECT_EQ(PixelAt(top.hWnd(), empty.x, empty.y), listBackground) << "the list is back on top";
}

// The list as its own reference: the skin takes the list's place in the list's own parent, just
// after it in z-order, and follows it wherever the host's layout code moves or sizes it.
TEST(Layout, AListThatIsItsOwnReferenceHasTheSkinOnItsPlaceWhereverTheHostMovesIt) {
  TopWindow top;
  HWND list = MakeChild(top.hWnd(), 100, kPlainListStyle | LBS_NOINTEGRALHEIGHT, 30, 40, 300, 200);
  AddItems(list, 30);
  // What the host's list prints of itself (WM_PRINTCLIENT): its rows' ink.
  auto printedInk = [list] {
    RECT rc;
    ::GetClientRect(list, &rc);
    HDC screen = ::GetDC(nullptr), memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::FillRect(memory, &rc, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::SendMessageA(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
    int ink = 0;
    for (int y = 0; y < rc.bottom; y += 2)
      for (int x = 0; x < rc.right; x += 2) ink += ::GetPixel(memory, x, y) != RGB(255, 255, 255);
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return ink;
  };
  const int inkUnskinned = printedInk();
  Lib().CreateHook(list, list);
  EXPECT_EQ(printedInk(), inkUnskinned) << "the host prints its list as it is, skinned";
  ASSERT_GT(inkUnskinned, 0);
  HWND panel = FindPanel(top.hWnd());
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(::GetWindow(list, GW_HWNDNEXT), panel) << "next to the list in the tab order";
  auto expectOnTheList = [&](const char* after) {
    RECT listRect, panelRect;
    ::GetWindowRect(list, &listRect);
    ::GetWindowRect(panel, &panelRect);
    EXPECT_TRUE(::EqualRect(&listRect, &panelRect)) << after;
    POINT centre = {(listRect.left + listRect.right) / 2, (listRect.top + listRect.bottom) / 2};
    EXPECT_EQ(::GetParent(::WindowFromPoint(centre)), panel) << after << ": the user meets it";
    EXPECT_TRUE(::IsWindowVisible(list)) << after << ": for the host, its list is shown";
  };
  expectOnTheList("switch-on");
  RECT listClient, mirrorClient;  // its frame too: rows exactly as wide as the list's
  ::GetClientRect(list, &listClient);
  ::GetClientRect(MirrorOf(panel), &mirrorClient);
  EXPECT_TRUE(::EqualRect(&listClient, &mirrorClient));
  ::SetWindowPos(list, nullptr, 60, 50, 360, 260, SWP_NOZORDER | SWP_NOACTIVATE);
  expectOnTheList("SetWindowPos");
  HDWP layout = ::BeginDeferWindowPos(1);
  layout = ::DeferWindowPos(layout, list, nullptr, 10, 20, 200, 150, SWP_NOZORDER);
  ::EndDeferWindowPos(layout);
  expectOnTheList("DeferWindowPos");
  ::MoveWindow(list, 10, 80, 200, 150, TRUE);
  expectOnTheList("a move alone");
  // A file manager opening a folder: its list emptied, filled again and shown. The skin stays on
  // it; hidden by the host's layout code, the skin goes with it, and comes back with it.
  ::SendMessageA(list, LB_RESETCONTENT, 0, 0);
  AddItems(list, 5);
  ::ShowWindow(list, SW_SHOW);
  expectOnTheList("the host showed its list");
  const UINT hide = SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER;
  ::SetWindowPos(list, nullptr, 0, 0, 0, 0, hide);
  EXPECT_FALSE(::IsWindowVisible(panel)) << "hidden with the host's list";
  ::ShowWindow(list, SW_SHOW);
  expectOnTheList("shown again");
  HWND pane = MakeChild(top.hWnd(), 101, WS_CHILD | WS_VISIBLE, 300, 20, 300, 300, "STATIC");
  ::SetParent(list, pane);
  expectOnTheList("moved into another parent");
  Lib().CreateHook(nullptr, nullptr);
  EXPECT_TRUE(UserMeets(list));
}

// Siblings the host drew over its list (a group box around it, a label reaching into it, both
// above it in z-order) hide no more of the skin than of the list.
TEST(Layout, AGroupBoxAroundTheListAndALabelReachingIntoItLeaveTheSkinSeen) {
  TopWindow top;
  MakeChild(top.hWnd(), 98, WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 20, 25, 320, 225, "BUTTON");
  HWND label = MakeChild(top.hWnd(), 99, WS_CHILD | WS_VISIBLE, 30, 20, 200, 25, "STATIC");
  ::SetWindowTextA(label, "Songs");
  HWND list = MakeChild(top.hWnd(), 100, kPlainListStyle | LBS_NOINTEGRALHEIGHT, 30, 40, 300, 200);
  AddItems(list, 3);
  const COLORREF dialog = PixelAt(top.hWnd(), 5, 5);
  const POINT empty = {30 + 150, 40 + 180}, underLabel = {30 + 150, 40 + 2};
  for (const POINT& at : {empty, underLabel})
    EXPECT_EQ(PixelAt(top.hWnd(), at.x, at.y), ::GetSysColor(COLOR_WINDOW)) << "unskinned";
  const SkinSite site(list);
  Lib().CreateHook(site.reference(), list);
  ::RedrawWindow(top.hWnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  for (const POINT& at : {empty, underLabel})
    EXPECT_NE(PixelAt(top.hWnd(), at.x, at.y), dialog) << "skinned, at " << at.x << "," << at.y;
  Lib().CreateHook(nullptr, nullptr);
  EXPECT_TRUE(::GetWindowLongA(site.container(), GWL_STYLE) & WS_CLIPSIBLINGS) << "given back";
  Lib().CreateHook(list, list);
  for (const POINT& at : {empty, underLabel})
    EXPECT_NE(PixelAt(top.hWnd(), at.x, at.y), dialog) << "in the list's place";
  Lib().CreateHook(nullptr, nullptr);
}
