// The user's actions on the mirror reach the host's own list, and through it the host.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "HostKit.h"

using namespace host;

namespace {

SceneOptions ListOf(int items, bool unicode) {
  SceneOptions o;
  o.items = items;
  o.unicode = unicode;
  return o;
}

// The shared host, with the user's actions on the mirror.
struct Scene : HostScene {
  explicit Scene(int items, bool unicode = false) : HostScene(ListOf(items, unicode)) {}
  void On() {
    HostScene::On();
    ::SetFocus(mirror);
    Pump();
  }
  int ItemHeight() const { return static_cast<int>(ToList(LB_GETITEMHEIGHT)); }
  // The user clicks mirror row `row` with the left button.
  void ClickMirrorRow(int row) {
    RECT rc;
    ToMirror(LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rc));
    const LPARAM at = MAKELPARAM(rc.left + 30, rc.top + 2);
    ToMirror(WM_LBUTTONDOWN, MK_LBUTTON, at);
    ToMirror(WM_LBUTTONUP, 0, at);
  }
  // The mirror's selection changes to `row` and the panel hears of it, as after a user's change.
  void SelectInMirror(int row) {
    ToMirror(LB_SETCURSEL, row);
    ::SendMessageA(panel, WM_COMMAND, MAKEWPARAM(1000, LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(mirror));
  }
};

}  // namespace

TEST(HandBack, AClickOnAMirrorRowSelectsItInTheHostsListAndNotifiesTheHostOnce) {
  Scene s(20);
  s.On();
  s.ClickMirrorRow(4);
  EXPECT_EQ(::SendMessageA(s.mirror, LB_GETCURSEL, 0, 0), 4);
  EXPECT_EQ(::SendMessageA(s.list, LB_GETCURSEL, 0, 0), 4);
  EXPECT_EQ(s.SelChanges(), 1);
  EXPECT_EQ(::GetFocus(), s.mirror) << "the user's keys stay with the list they see";
  EXPECT_NE(::GetCapture(), s.list);
}

TEST(HandBack, AKeyStrokeOnTheMirrorMovesBothListsAndNotifiesTheHostOnce) {
  Scene s(20);
  s.On();
  s.ClickMirrorRow(2);
  s.top.notifications.clear();
  ::SendMessageA(s.mirror, WM_KEYDOWN, VK_DOWN, 1);
  Pump();
  EXPECT_EQ(::SendMessageA(s.list, LB_GETCURSEL, 0, 0), 3);
  EXPECT_EQ(s.SelChanges(), 1);
  EXPECT_EQ(::GetFocus(), s.mirror);
}

TEST(HandBack, AKeyStrokeTheHostsListReceivesIsReplayedFromTheMirror) {
  Scene s(20);
  s.On();
  ::SendMessageA(s.list, LB_SETCURSEL, 5, 0);
  ::SendMessageA(s.list, WM_KEYDOWN, VK_DOWN, 1);
  Pump();
  EXPECT_EQ(::SendMessageA(s.mirror, LB_GETCURSEL, 0, 0), 6);
  EXPECT_EQ(::SendMessageA(s.list, LB_GETCURSEL, 0, 0), 6);
}

TEST(HandBack, TheClickLandsOnTheHostListsOwnRectangleForTheRow) {
  Scene s(60);
  ::SendMessageA(s.list, LB_SETTOPINDEX, 10, 0);  // before the overlay: the mirror starts there too
  MessageRecorder recorder(s.list);
  s.On();
  ASSERT_EQ(::SendMessageA(s.mirror, LB_GETTOPINDEX, 0, 0), 10);
  const int h = s.ItemHeight();
  struct Case {
    int row;
    int expectedY;
    const char* what;
  } cases[] = {{10, 0, "the top row"},
               {13, 3 * h, "three rows down"},
               {9, 0, "above the top: the mirror scrolls to it and the host's list follows"}};
  for (const Case& c : cases) {
    recorder.seen.clear();
    s.SelectInMirror(c.row);
    const std::vector<SeenMessage> downs = recorder.Of(WM_LBUTTONDOWN);
    const std::vector<SeenMessage> ups = recorder.Of(WM_LBUTTONUP);
    ASSERT_EQ(downs.size(), 1u) << c.what;
    ASSERT_EQ(ups.size(), 1u) << c.what;
    EXPECT_EQ(LOWORD(downs[0].lParam), 0) << c.what;
    EXPECT_EQ(HIWORD(downs[0].lParam), static_cast<WORD>(c.expectedY)) << c.what;
    EXPECT_EQ(downs[0].wParam, static_cast<WPARAM>(MK_LBUTTON)) << c.what;
    EXPECT_EQ(ups[0].wParam, static_cast<WPARAM>(MK_LBUTTON)) << c.what;
    EXPECT_EQ(ups[0].lParam, downs[0].lParam) << c.what;
    // The row's rectangle first, then press, then release.
    std::vector<UINT> order;
    for (const SeenMessage& m : recorder.seen)
      if (m.message == LB_GETITEMRECT || m.message == WM_LBUTTONDOWN || m.message == WM_LBUTTONUP)
        order.push_back(m.message);
    EXPECT_EQ(order, (std::vector<UINT>{LB_GETITEMRECT, WM_LBUTTONDOWN, WM_LBUTTONUP})) << c.what;
    EXPECT_EQ(::SendMessageA(s.list, LB_GETCURSEL, 0, 0), c.row) << c.what;
    EXPECT_EQ(::SendMessageA(s.list, LB_GETTOPINDEX, 0, 0),
              ::SendMessageA(s.mirror, LB_GETTOPINDEX, 0, 0))
        << c.what;
  }
}

TEST(HandBack, ARowTooFarForA16BitPointIsBroughtUpFirstAndTheRightRowIsSelected) {
  Scene s(3000);
  s.On();
  ASSERT_GT(2500 * s.ItemHeight(), 32767);
  ::SendMessageA(s.mirror, LB_SETCURSEL, 2500, 0);
  const LRESULT mirrorTop = ::SendMessageA(s.mirror, LB_GETTOPINDEX, 0, 0);
  s.SelectInMirror(2500);
  EXPECT_EQ(::SendMessageA(s.list, LB_GETCURSEL, 0, 0), 2500);
  EXPECT_EQ(s.SelChanges(), 1);
  EXPECT_EQ(::SendMessageA(s.mirror, LB_GETTOPINDEX, 0, 0), mirrorTop) << "the mirror stays put";
}

TEST(HandBack, NoSelectionSendsNothing) {
  Scene s(5);
  MessageRecorder recorder(s.list);
  s.On();
  recorder.seen.clear();
  s.SelectInMirror(-1);
  EXPECT_TRUE(recorder.Of(WM_LBUTTONDOWN).empty());
  EXPECT_TRUE(recorder.Of(LB_GETTOPINDEX).empty());
  EXPECT_EQ(s.SelChanges(), 0);
}

TEST(HandBack, ADoubleClickGoesToTheHostsListInsteadOfTheMirror) {
  Scene s(10);
  MessageRecorder recorder(s.list);
  s.On();
  s.ClickMirrorRow(1);
  s.top.notifications.clear();
  recorder.seen.clear();
  EXPECT_EQ(::SendMessageA(s.mirror, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(7, 9)), 1);
  const std::vector<SeenMessage> dbl = recorder.Of(WM_LBUTTONDBLCLK);
  ASSERT_EQ(dbl.size(), 1u);
  EXPECT_EQ(dbl[0].lParam, MAKELPARAM(7, 9)) << "the mirror's own coordinates";
  EXPECT_EQ(s.top.CountFrom(s.list, LBN_DBLCLK), 1);
  EXPECT_EQ(s.top.CountFrom(s.mirror, LBN_DBLCLK), 0);
}

TEST(HandBack, RightButtonMessagesReachTheHostsListAtOnceAndMakeOneContextMenu) {
  Scene s(10);
  MessageRecorder recorder(s.list);
  s.On();
  recorder.seen.clear();
  RECT row = {};
  ::SendMessageA(s.mirror, LB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&row));
  const LPARAM at = MAKELPARAM(row.left + 5, row.top + 6);
  ::SendMessageA(s.mirror, WM_RBUTTONDOWN, MK_RBUTTON, at);
  ::SendMessageA(s.mirror, WM_RBUTTONUP, 0, at);
  ASSERT_EQ(recorder.Of(WM_RBUTTONDOWN).size(), 1u) << "sent, not posted";
  ASSERT_EQ(recorder.Of(WM_RBUTTONUP).size(), 1u);
  // On the host's list, the point lies on the same row.
  const LPARAM onList = recorder.Of(WM_RBUTTONDOWN)[0].lParam;
  EXPECT_EQ(LOWORD(::SendMessageA(s.list, LB_ITEMFROMPOINT, 0, onList)), 3);
  Pump();
  int menus = 0;
  for (UINT m : s.top.messagesSeen) menus += m == WM_CONTEXTMENU;
  EXPECT_EQ(menus, 1) << "one context menu, from the host's own list";
  ASSERT_EQ(recorder.Of(WM_CONTEXTMENU).size(), 1u);
  EXPECT_EQ(recorder.Of(WM_CONTEXTMENU)[0].wParam, reinterpret_cast<WPARAM>(s.list));
}

TEST(HandBack, ScrollingTheMirrorScrollsTheHostsListAndSelectsNothing) {
  Scene s(100);
  MessageRecorder recorder(s.list);
  s.On();
  recorder.seen.clear();
  ::SendMessageA(s.mirror, WM_VSCROLL, SB_PAGEDOWN, 0);
  Pump();
  EXPECT_GT(::SendMessageA(s.mirror, LB_GETTOPINDEX, 0, 0), 0);
  EXPECT_EQ(::SendMessageA(s.list, LB_GETTOPINDEX, 0, 0),
            ::SendMessageA(s.mirror, LB_GETTOPINDEX, 0, 0));
  EXPECT_TRUE(recorder.Of(WM_LBUTTONDOWN).empty());
  EXPECT_EQ(s.SelChanges(), 0);
}

TEST(HandBack, AUnicodeHostListIsDrivenToo) {
  Scene s(0, /*unicode=*/true);
  for (const wchar_t* t : {L"\u00e9t\u00e9", L"hiver", L"\u65e5\u672c", L"printemps"})
    ::SendMessageW(s.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
  s.On();
  s.ClickMirrorRow(2);
  EXPECT_EQ(::SendMessageW(s.list, LB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(s.SelChanges(), 1);
}

TEST(Focus, SwitchingOnAndOffLeavesTheFocusWhereTheHostHasItAndTellsItNothing) {
  Scene s(10);
  HWND edit = MakeChild(s.top.hWnd(), 300, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 320, 10, 100, 20,
                        "EDIT");
  ::SetFocus(edit);
  s.HostScene::On();
  EXPECT_EQ(::GetFocus(), edit) << "the host's edit box keeps the focus";
  s.Off();
  EXPECT_EQ(::GetFocus(), edit);

  ::SetFocus(s.list);
  s.top.notifications.clear();
  s.HostScene::On();
  EXPECT_EQ(::GetFocus(), s.mirror) << "the list's focus is the mirror's now";
  s.Off();
  EXPECT_EQ(::GetFocus(), s.list) << "and the list's again";
  int focusNotes = 0;
  for (const Notification& n : s.top.notifications)
    focusNotes += n.hFrom == s.list && (n.nCode == LBN_SETFOCUS || n.nCode == LBN_KILLFOCUS);
  EXPECT_EQ(focusNotes, 0) << "for the host its list had the focus all along";
}

TEST(HandBack, ScrollingTheMirrorWhileTheHostsChangesWaitForItsLoopKeepsTheScroll) {
  Scene s(100);
  s.On();
  for (int i = 0; i < 20; ++i)
    s.ToList(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("added"));  // shown when the loop runs
  ::SendMessageA(s.mirror, WM_VSCROLL, SB_PAGEDOWN, 0);
  Pump();
  EXPECT_GT(s.ToMirror(LB_GETTOPINDEX), 0) << "the user's scroll stays";
  EXPECT_EQ(s.ToList(LB_GETTOPINDEX), s.ToMirror(LB_GETTOPINDEX));
}

TEST(HandBackTeardown, TheHostSwitchesOffFromItsSelectionHandler) {
  Scene s(10);
  s.On();
  HWND panel = s.panel;
  bool offInside = false;
  bool keptInside = false;
  s.top.OnCommand = [&](const Notification& n) {
    if (n.nCode != LBN_SELCHANGE) return;
    Lib().CreateHook(nullptr, nullptr);
    offInside = ::IsWindowVisible(s.list) && !::IsWindowVisible(panel);
    keptInside = ::IsWindow(panel) != FALSE;
  };
  s.ClickMirrorRow(3);
  EXPECT_TRUE(offInside) << "off at once for the host";
  EXPECT_TRUE(keptInside) << "the panel's messages were still being handled beneath the handler";
  EXPECT_FALSE(::IsWindow(panel)) << "destroyed once its messages were done";
  EXPECT_EQ(::SendMessageA(s.list, LB_GETCURSEL, 0, 0), 3);
  s.top.OnCommand = nullptr;
  s.On();  // switches on afresh
  EXPECT_TRUE(s.IsOn());
}

TEST(HandBackTeardown, TheHostSwitchesOffAndOnAgainFromItsSelectionHandler) {
  Scene s(10);
  s.On();
  HWND oldPanel = s.panel;
  s.top.OnCommand = [&](const Notification& n) {
    if (n.nCode != LBN_SELCHANGE) return;
    s.top.OnCommand = nullptr;
    Lib().CreateHook(nullptr, nullptr);
    ::SendMessageA(s.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("added in the handler"));
    Lib().CreateHook(s.reference, s.list);
  };
  s.ClickMirrorRow(3);
  EXPECT_FALSE(::IsWindow(oldPanel));
  HWND fresh = FindPanel(s.container);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(ItemsOf(MirrorOf(fresh)), ItemsOf(s.list));
  EXPECT_FALSE(UserMeets(s.list));
}

TEST(HandBackTeardown, TheHostSwitchesOffFromItsDoubleClickHandler) {
  Scene s(10);
  s.On();
  HWND panel = s.panel;
  s.top.OnCommand = [&](const Notification& n) {
    if (n.nCode == LBN_DBLCLK) Lib().CreateHook(nullptr, nullptr);
  };
  EXPECT_EQ(::SendMessageA(s.mirror, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(7, 9)), 1);
  EXPECT_FALSE(::IsWindow(panel));
  EXPECT_TRUE(UserMeets(s.list));
}

TEST(HandBackTeardown, TheHostSwitchesOffOnTheRightButtonHandedToItsList) {
  Scene s(10);
  MessageRecorder recorder(s.list);
  s.On();
  HWND panel = s.panel;
  recorder.onMessage = [&](UINT m) {
    if (m == WM_RBUTTONUP) Lib().CreateHook(nullptr, nullptr);
  };
  ::SendMessageA(s.mirror, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 6));
  ::SendMessageA(s.mirror, WM_RBUTTONUP, 0, MAKELPARAM(5, 6));
  Pump();
  recorder.onMessage = nullptr;
  EXPECT_FALSE(::IsWindow(panel));
  EXPECT_TRUE(UserMeets(s.list));
}
