// The mirror follows the host's list: the copy made at switch-on, and every later list-box message,
// redraw switch, size change and key stroke the host's list receives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GdiCounter.h"
#include "HostKit.h"

using namespace host;

namespace {

LPARAM Text(const char* s) { return reinterpret_cast<LPARAM>(s); }

SceneOptions ListOf(int items, DWORD style = kPlainListStyle, bool unicode = false) {
  SceneOptions o;
  o.items = items;
  o.style = style;
  o.unicode = unicode;
  o.place = {40, 40, 340, 240};
  return o;
}

}  // namespace

TEST(Repeat, TheHostAlwaysGetsItsOwnListsAnswer) {
  HostScene h(ListOf(5));
  h.On();
  h.ToMirror(LB_ADDSTRING, 0, Text("only in the mirror"));
  EXPECT_EQ(h.ToList(LB_GETCOUNT), 5);
  EXPECT_EQ(h.ToList(LB_ADDSTRING, 0, Text("both")), 5) << "the index in the host's list";
}

TEST(Repeat, EditingSequencesKeepBothListsEqual) {
  HostScene h(ListOf(30));
  h.On();
  EXPECT_EQ(ItemsOf(h.mirror), ItemsOf(h.list));
  h.ToList(LB_INSERTSTRING, 3, Text("inserted at 3"));
  h.ToList(LB_DELETESTRING, 10);
  h.ToList(LB_ADDSTRING, 0, Text("appended"));
  Pump();
  EXPECT_EQ(ItemsOf(h.mirror), ItemsOf(h.list));
  h.ToList(LB_SETCURSEL, 12);
  h.ToList(LB_SETTOPINDEX, 7);
  Pump();
  EXPECT_EQ(h.ToMirror(LB_GETCURSEL), 12);
  EXPECT_EQ(h.ToMirror(LB_GETTOPINDEX), h.ToList(LB_GETTOPINDEX));
  h.ToList(LB_RESETCONTENT);
  Pump();
  EXPECT_EQ(h.ToMirror(LB_GETCOUNT), 0);
  h.ToList(LB_ADDSTRING, 0, Text("fresh"));
  Pump();
  EXPECT_EQ(ItemsOf(h.mirror), std::vector<std::string>{"fresh"});
}

TEST(Repeat, AKeyTheHostsListReceivesMovesTheMirrorOnceAndAtOnce) {
  HostScene h(ListOf(10));
  h.On();
  h.ToList(LB_SETCURSEL, 2);
  h.ToList(WM_KEYDOWN, VK_DOWN, 1);
  EXPECT_EQ(h.ToMirror(LB_GETCURSEL), 3) << "shown before the host's call returns";
  h.ToList(WM_KEYUP, VK_DOWN, 0xC0000001);
  Pump();
  EXPECT_EQ(h.ToMirror(LB_GETCURSEL), 3) << "nothing was queued to move it again";
  EXPECT_EQ(h.ToList(LB_GETCURSEL), 3);
}

TEST(RowHeight, AListOfRowsOfManyHeightsGivesTheMirrorItsFirstRowsHeightOnly) {
  HostScene h(ListOf(10, WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWVARIABLE |
                             LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT));
  h.ToList(LB_SETITEMHEIGHT, 0, 16);
  h.On();
  h.ToList(LB_SETITEMHEIGHT, 5, 40);
  Pump();
  EXPECT_EQ(h.ToMirror(LB_GETITEMHEIGHT), 16) << "row 5's height is no height of the mirror's";
  h.ToList(LB_SETITEMHEIGHT, 0, 22);
  Pump();
  EXPECT_EQ(h.ToMirror(LB_GETITEMHEIGHT), 22);
}

TEST(Font, TheMirrorTakesAFontTheHostSetsLaterWithTheRowHeightItsListTakes) {
  HostScene h(ListOf(10, kPlainListStyle));
  h.On();
  HFONT big = ::CreateFontA(-24, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
  ASSERT_NE(big, nullptr);
  const LRESULT before = h.ToList(LB_GETITEMHEIGHT);
  h.ToList(WM_SETFONT, reinterpret_cast<WPARAM>(big), TRUE);
  ASSERT_GT(h.ToList(LB_GETITEMHEIGHT), before) << "the host's own list grew its rows";
  EXPECT_EQ(reinterpret_cast<HFONT>(h.ToMirror(WM_GETFONT)), big);
  EXPECT_EQ(h.ToMirror(LB_GETITEMHEIGHT), h.ToList(LB_GETITEMHEIGHT));
  h.Off();
  ::DeleteObject(big);
}

TEST(Resize, ThePanelTakesTheSourcesClientSizeAtTheParentsOrigin) {
  HostScene few(ListOf(3, WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT));
  few.On();
  ASSERT_FALSE(::GetWindowLongA(few.mirror, GWL_STYLE) & WS_VSCROLL);
  ::MoveWindow(few.list, 90, 60, 250, 150, TRUE);
  RECT client;
  ::GetClientRect(few.list, &client);
  EXPECT_EQ(few.PanelSize().cx, client.right);
  EXPECT_EQ(few.PanelSize().cy, client.bottom);
  RECT placed;
  ::GetWindowRect(few.panel, &placed);
  ::MapWindowPoints(nullptr, ::GetParent(few.panel), reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, 0);
  EXPECT_EQ(placed.top, 0);
  // The mirror stretches over the panel.
  RECT mirror;
  ::GetWindowRect(few.mirror, &mirror);
  EXPECT_EQ(mirror.right - mirror.left, client.right);

  HostScene many(ListOf(200, WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT));
  Lib().CreateHook(nullptr, nullptr);
  many.On();
  ASSERT_TRUE(::GetWindowLongA(many.mirror, GWL_STYLE) & WS_VSCROLL);
  ::MoveWindow(many.list, 90, 60, 250, 150, TRUE);
  ::GetClientRect(many.list, &client);
  EXPECT_EQ(many.PanelSize().cx, client.right + ::GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_EQ(many.PanelSize().cy, client.bottom);

  // A list made without a scroll bar: the skin has none either, its rows are as wide as the list's,
  // and it stays inside the list's place once the host resizes it.
  HostScene bare(ListOf(200, WS_CHILD | WS_VISIBLE | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT));
  Lib().CreateHook(nullptr, nullptr);
  bare.On();
  EXPECT_FALSE(::GetWindowLongA(bare.mirror, GWL_STYLE) & WS_VSCROLL);
  ::MoveWindow(bare.list, 90, 60, 250, 150, TRUE);
  ::GetClientRect(bare.list, &client);
  EXPECT_EQ(bare.PanelSize().cx, client.right);
  RECT row = {};
  bare.ToMirror(LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
  EXPECT_EQ(row.right, client.right) << "rows as wide as the host's";

  // A list that scrolls sideways: so does the skin, as far, and the host's list goes along.
  HostScene wide(ListOf(5, WS_CHILD | WS_VISIBLE | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT));
  wide.ToList(LB_SETHORIZONTALEXTENT, 900);
  Lib().CreateHook(nullptr, nullptr);
  wide.On();
  ::GetClientRect(wide.list, &client);
  EXPECT_EQ(wide.PanelSize().cy, client.bottom + ::GetSystemMetrics(SM_CYHSCROLL));
  EXPECT_EQ(wide.ToMirror(LB_GETHORIZONTALEXTENT), 900);
  ::SendMessageA(wide.mirror, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 200), 0);
  wide.Off();
  EXPECT_EQ(::GetScrollPos(wide.list, SB_HORZ), 200);
}

TEST(Resize, TheSizeComesFromTheClientRectangleNotFromTheMessage) {
  HostScene h(ListOf(3));
  h.On();
  ::SendMessageA(h.list, WM_SIZE, SIZE_RESTORED, MAKELPARAM(17, 19));
  EXPECT_NE(h.PanelSize().cx, 17);
  EXPECT_NE(h.PanelSize().cy, 19);
  ::MoveWindow(h.list, 0, 0, 0, 0, TRUE);
  EXPECT_EQ(h.PanelSize().cy, 0);
}

static WNDPROC g_ansiBehindNext = nullptr;
static LRESULT CALLBACK AnsiBehind(HWND h, UINT m, WPARAM w, LPARAM l) {
  return ::CallWindowProcA(g_ansiBehindNext, h, m, w, l);
}

class TextsOfAnyLength : public ::testing::TestWithParam<bool> {};

// With an ANSI subclass of the host's behind the skin too: the skin then asks in ANSI, also of a
// Unicode list (every list of Common Controls 6).
TEST_P(TextsOfAnyLength, ArriveWhole) {
  HostScene h(ListOf(0));
  const std::vector<size_t> lengths = {0, 199, 200, 100000};
  for (size_t n : lengths) {
    const std::string text(n, 'x');
    h.ToList(LB_ADDSTRING, 0, Text(text.c_str()));
  }
  if (GetParam())
    g_ansiBehindNext = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(h.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AnsiBehind)));
  h.On();
  ::UpdateWindow(h.mirror);  // every row drawn, the long one too
  const std::vector<std::string> copied = ItemsOf(h.mirror);
  ASSERT_EQ(copied.size(), lengths.size());
  for (size_t i = 0; i < lengths.size(); ++i) EXPECT_EQ(copied[i].size(), lengths[i]);
  // Later additions of any length too.
  const std::string later(5000, 'y');
  h.ToList(LB_ADDSTRING, 0, Text(later.c_str()));
  Pump();
  EXPECT_EQ(ItemsOf(h.mirror).back(), later);
}
INSTANTIATE_TEST_SUITE_P(Copy, TextsOfAnyLength, ::testing::Bool());

TEST(Copy, TheMirrorStartsWithTheSourcesSelectionTopRowHeightAndFont) {
  HostScene h(ListOf(0, WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS));
  AddItems(h.list, 50);
  h.ToList(LB_SETITEMHEIGHT, 0, 23);
  HFONT font = static_cast<HFONT>(::GetStockObject(ANSI_FIXED_FONT));
  h.ToList(WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  h.ToList(LB_SETCURSEL, 30);
  h.ToList(LB_SETTOPINDEX, 25);
  h.On();
  EXPECT_EQ(h.ToMirror(LB_GETCURSEL), 30);
  EXPECT_EQ(h.ToMirror(LB_GETTOPINDEX), 25);
  EXPECT_EQ(h.ToMirror(LB_GETITEMHEIGHT), 23);
  EXPECT_EQ(reinterpret_cast<HFONT>(h.ToMirror(WM_GETFONT)), font);
  EXPECT_EQ(ItemsOf(h.mirror), ItemsOf(h.list));
  // The skin's view is a list box of the host's own kind: comctl32's, Unicode, in a host with the
  // Common Controls 6 manifest; user32's in a host without.
  EXPECT_EQ(::GetClassLongW(h.mirror, GCW_ATOM), ::GetClassLongW(h.list, GCW_ATOM));
  EXPECT_EQ(::GetClassLongW(h.mirror, GCL_STYLE), ::GetClassLongW(h.list, GCL_STYLE));
}

TEST(Copy, ASourceWithoutAFontLeavesTheMirrorOnTheSystemFontAndAnEmptySourceAnEmptyMirror) {
  HostScene h(ListOf(0));
  ASSERT_EQ(h.ToList(WM_GETFONT), 0);
  h.On();
  EXPECT_EQ(h.ToMirror(WM_GETFONT), 0);
  EXPECT_EQ(h.ToMirror(LB_GETCOUNT), 0);
  EXPECT_NE(::GetWindowLongPtrA(h.list, GWLP_WNDPROC),
            static_cast<LONG_PTR>(::GetClassLongPtrA(h.list, GCLP_WNDPROC)))
      << "still subclassed";
}

TEST(ItemData, AnOwnerDrawnSourceWithoutTextsIsMirroredWithoutReadingItsData) {
  HostScene h(ListOf(0, WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED));
  h.ToList(LB_ADDSTRING, 0, 7);
  h.ToList(LB_ADDSTRING, 0, static_cast<LPARAM>(0xDEADBEEF));
  h.On();
  // A reader of the skin gets what the host's list answers it: the item data.
  EXPECT_EQ(ItemsOf(h.mirror), ItemsOf(h.list));
  h.ToList(LB_ADDSTRING, 0, 3);
  h.ToList(LB_INSERTSTRING, 0, static_cast<LPARAM>(0xFFFF0000));
  h.ToList(LB_FINDSTRING, static_cast<WPARAM>(-1), static_cast<LPARAM>(0x12345678));
  h.ToList(LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), 9);
  Pump();
  EXPECT_EQ(h.ToMirror(LB_GETCOUNT), h.ToList(LB_GETCOUNT));
  EXPECT_EQ(h.ToMirror(LB_GETCOUNT), 4);
  // A selection the source makes by matching item data is followed.
  const LRESULT picked = h.ToList(LB_SELECTSTRING, static_cast<WPARAM>(-1), 3);
  ASSERT_NE(picked, LB_ERR);
  Pump();
  EXPECT_EQ(h.ToMirror(LB_GETCURSEL), picked);
}

TEST(Unicode, AWideHostsTextsSurviveBeforeDuringAndAfterTheOverlay) {
  HostScene h(ListOf(0, kPlainListStyle, /*unicode=*/true));
  const wchar_t* texts[] = {L"caf\u00e9 \u65e5\u672c", L"\u0416\u0443\u043a", L"na\u00efve"};
  auto add = [&](const wchar_t* t) {
    ::SendMessageW(h.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
  };
  auto readBack = [&](int i) {
    wchar_t buffer[64] = {};
    ::SendMessageW(h.list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buffer));
    return std::wstring(buffer);
  };
  add(texts[0]);
  h.On();
  EXPECT_TRUE(::IsWindowUnicode(h.list));
  add(texts[1]);
  Pump();
  EXPECT_EQ(h.ToMirror(LB_GETCOUNT), 2);
  wchar_t mirrored[64] = {};
  ::SendMessageW(h.mirror, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(mirrored));
  EXPECT_EQ(std::wstring(mirrored), texts[1]) << "the mirror holds the wide text as written";
  Lib().CreateHook(nullptr, nullptr);
  EXPECT_TRUE(::IsWindowUnicode(h.list));
  add(texts[2]);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(readBack(i), texts[i]) << i;
}

TEST(Teardown, WhenTheHostDestroysTheSkinsPlaceItsListComesBackAndTheOverlayIsOff) {
  HostScene h(ListOf(5));
  const LONG_PTR hostProc = ::GetWindowLongPtrA(h.list, GWLP_WNDPROC);
  GdiCount& count = CountLibraryGdi(Lib().hModule);
  const GdiCount start = count;
  h.On();
  Pump();
  ::DestroyWindow(h.container);  // the panel goes with it
  Pump();
  EXPECT_TRUE(UserMeets(h.list)) << "the list is back";
  EXPECT_EQ(::GetWindowLongPtrA(h.list, GWLP_WNDPROC), hostProc);
  EXPECT_EQ(count.created - start.created, count.deleted - start.deleted)
      << "the picture and its canvas went with the panel";
  EXPECT_EQ(Lib().SetBkColor(RGB(1, 2, 3)), 1);
  h.ToList(LB_ADDSTRING, 0, Text("still a list"));
  EXPECT_EQ(h.ToList(LB_GETCOUNT), 6);
  // Off, as the list shown again says: the next call switches on, over a new place.
  HWND place = ::CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200,
                                 h.top.hWnd(), nullptr, nullptr, nullptr);
  EXPECT_EQ(Lib().CreateHook(place, h.list), 0);
  EXPECT_FALSE(UserMeets(h.list)) << "switched on";
  EXPECT_EQ(ItemsOf(MirrorOf(FindPanel(h.top.hWnd()))), ItemsOf(h.list));
  Lib().CreateHook(nullptr, nullptr);
  EXPECT_TRUE(UserMeets(h.list));
}

TEST(Teardown, ASourceDestroyedWhileHookedIsSurvived) {
  HostScene h(ListOf(5));
  h.On();
  ::DestroyWindow(h.list);
  EXPECT_FALSE(::IsWindow(h.list));
  EXPECT_EQ(Lib().CreateHook(nullptr, nullptr), 0);
  EXPECT_FALSE(h.IsOn());

  // The host closes its whole window with the skin on: its list goes first, then the skin's place
  // after it in z-order. The overlay is off, and the host's next call skins its next list.
  {
    HostScene closing(ListOf(5));
    closing.On();
    ::DestroyWindow(closing.top.hWnd());
    Pump();
  }
  HostScene next(ListOf(5));
  next.On();
  EXPECT_FALSE(UserMeets(next.list)) << "one call skins the next list";
  EXPECT_TRUE(next.IsOn());
}

namespace {

bool ShowsScrollBar(HWND hWnd) { return (::GetWindowLongA(hWnd, GWL_STYLE) & WS_VSCROLL) != 0; }

void AddRows(const HostScene& h, int count, const char* prefix) {
  for (int i = 0; i < count; ++i) {
    const std::string text = prefix + std::to_string(i);
    h.ToList(LB_ADDSTRING, 0, Text(text.c_str()));
  }
}

// Every pixel of the window's client area, once its loop has run.
std::vector<COLORREF> Picture(HWND hWnd) {
  Pump();
  const ClientPixels pixels(hWnd);
  std::vector<COLORREF> all;
  for (int y = 0; y < pixels.height(); ++y)
    for (int x = 0; x < pixels.width(); ++x) all.push_back(pixels.At(x, y));
  return all;
}

// How many pixels two pictures of one window differ in, and where the first one is.
std::string Difference(HWND hWnd, const std::vector<COLORREF>& a, const std::vector<COLORREF>& b) {
  RECT rc = {};
  ::GetClientRect(hWnd, &rc);
  if (a.size() != b.size())
    return "pictures of different sizes: " + std::to_string(a.size()) + " and " +
           std::to_string(b.size()) + " pixels";
  size_t differing = 0, first = a.size();
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && differing++ == 0) first = i;
  if (differing == 0) return "";
  const long width = rc.right > 0 ? rc.right : 1;
  return std::to_string(differing) + " pixels differ, the first at (" +
         std::to_string(first % width) + ", " + std::to_string(first / width) + ")";
}

}  // namespace

TEST(Coalescing, AHostsAddLoopIsShownWhenItsLoopRunsExactlyAsAFreshCopyShowsIt) {
  HostScene h(ListOf(3));
  h.On();
  Pump();
  ASSERT_FALSE(ShowsScrollBar(h.mirror));
  AddRows(h, 60, "added ");
  const std::vector<COLORREF> caughtUp = Picture(h.mirror);
  EXPECT_TRUE(ShowsScrollBar(h.mirror));

  h.Off();
  h.On();  // a fresh copy of the same list, never burst, sized as the list is now
  h.ToList(WM_SIZE);
  EXPECT_EQ(Difference(h.mirror, Picture(h.mirror), caughtUp), "");
}

TEST(Coalescing, TheHostsOwnRedrawSwitchKeepsItsMeaning) {
  HostScene h(ListOf(3));
  h.On();
  Pump();
  h.ToList(WM_SETREDRAW, FALSE);
  AddRows(h, 60, "batch ");
  Pump();
  EXPECT_FALSE(ShowsScrollBar(h.mirror)) << "nothing shown while the host holds its redraw";
  h.ToList(WM_SETREDRAW, TRUE);
  EXPECT_TRUE(ShowsScrollBar(h.mirror)) << "shown as the host switches it on";
  const std::vector<COLORREF> shown = Picture(h.mirror);
  h.Off();
  h.On();
  h.ToList(WM_SIZE);
  EXPECT_EQ(Difference(h.mirror, Picture(h.mirror), shown), "");
}

namespace {
HostScene* g_modalScene = nullptr;
bool g_shownInsideModalLoop = false;

void CALLBACK LookInsideTheModalLoop(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  g_shownInsideModalLoop = ShowsScrollBar(g_modalScene->mirror);
  // Closes the message box the host is waiting on.
  if (HWND box = ::FindWindowA("#32770", "kslHook coalescing"))
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
}
}  // namespace

TEST(Coalescing, AModalLoopOfTheHostStillLetsTheMirrorCatchUp) {
  HostScene h(ListOf(3));
  h.On();
  Pump();
  AddRows(h, 60, "before the box ");
  g_modalScene = &h;
  g_shownInsideModalLoop = false;
  ::SetTimer(nullptr, 0, 200, &LookInsideTheModalLoop);
  ::MessageBoxA(h.top.hWnd(), "waiting", "kslHook coalescing", MB_OK);
  g_modalScene = nullptr;
  EXPECT_TRUE(g_shownInsideModalLoop);
}

TEST(Coalescing, AHostLoopThatThrowsMessagesAwayStillLetsTheMirrorCatchUp) {
  HostScene h(ListOf(3));
  h.On();
  Pump();
  MSG msg;
  AddRows(h, 60, "app messages flushed ");
  while (::PeekMessageA(&msg, nullptr, WM_APP, 0xBFFF, PM_REMOVE)) {
  }
  Pump();
  EXPECT_EQ(h.ToMirror(LB_GETCOUNT), 63) << "the host's own range of messages thrown away";
  for (bool setter : {true, false}) {
    AddRows(h, 10, "all flushed ");
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    if (setter) Lib().SetFgColor(RGB(1, 2, 3));
    for (int i = 0; i < 40 && !setter; ++i) {
      Pump();
      ::Sleep(10);
    }
    EXPECT_EQ(h.ToMirror(LB_GETCOUNT), h.ToList(LB_GETCOUNT))
        << (setter ? "at the next setter" : "once the host's loop runs on");
  }
  AddRows(h, 10, "and later ");
  Pump();
  EXPECT_EQ(h.ToMirror(LB_GETCOUNT), 93) << "and from then on";
}

TEST(Coalescing, SwitchingOffBeforeTheLoopRunsLeavesNothingPending) {
  HostScene h(ListOf(3));
  h.On();
  HWND panel = h.panel;
  AddRows(h, 40, "then off ");
  h.Off();
  Pump();
  EXPECT_FALSE(::IsWindow(panel));
  EXPECT_TRUE(UserMeets(h.list));
  EXPECT_EQ(h.ToList(LB_GETCOUNT), 43);
  h.On();
  EXPECT_EQ(ItemsOf(h.mirror), ItemsOf(h.list));
  Pump();
  EXPECT_TRUE(ShowsScrollBar(h.mirror));
}
