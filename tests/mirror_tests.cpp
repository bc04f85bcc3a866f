// The mirror follows the host's list: the copy made at switch-on, and every later list-box message,
// redraw switch, size change and key stroke the host's list receives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HostKit.h"

using namespace host;

namespace {

// Records the messages the mirror list receives, in front of the library's own procedure.
class MirrorRecorder {
 public:
  explicit MirrorRecorder(HWND hMirror) : m_hMirror(hMirror) {
    s_self = this;
    m_pfnPrev = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hMirror, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
  }
  ~MirrorRecorder() {
    ::SetWindowLongPtrA(m_hMirror, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnPrev));
    s_self = nullptr;
  }
  bool Saw(UINT message) const {
    for (UINT m : messages)
      if (m == message) return true;
    return false;
  }
  std::vector<UINT> messages;

 private:
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    s_self->messages.push_back(m);
    return ::CallWindowProcA(s_self->m_pfnPrev, h, m, w, l);
  }
  static MirrorRecorder* s_self;
  HWND m_hMirror;
  WNDPROC m_pfnPrev;
};
MirrorRecorder* MirrorRecorder::s_self = nullptr;

// A host with a pane and a list over it, the overlay switched on for the test's length.
struct Hooked {
  TopWindow top;
  HWND pane;
  HWND list;
  HWND panel = nullptr;
  HWND mirror = nullptr;

  explicit Hooked(int items = 10, DWORD style = kPlainListStyle, bool unicode = false)
      : pane(MakeChild(top.hWnd(), 200, WS_CHILD | WS_VISIBLE, 40, 40, 300, 200, "STATIC")),
        list(MakeChild(top.hWnd(), 100, style, 40, 40, 300, 200, "LISTBOX", unicode)) {
    AddItems(list, items);
  }
  void On() {
    Lib().CreateHook(pane, list);
    panel = FindPanel(top.hWnd());
    mirror = MirrorOf(panel);
  }
  ~Hooked() {
    if (FindPanel(top.hWnd()) != nullptr) Lib().CreateHook(nullptr, nullptr);
  }
  LRESULT ToList(UINT m, WPARAM w = 0, LPARAM l = 0) { return ::SendMessageA(list, m, w, l); }
  LRESULT ToMirror(UINT m, WPARAM w = 0, LPARAM l = 0) { return ::SendMessageA(mirror, m, w, l); }
  SIZE PanelSize() const {
    RECT rc;
    ::GetWindowRect(panel, &rc);
    return {rc.right - rc.left, rc.bottom - rc.top};
  }
};

LPARAM Text(const char* s) { return reinterpret_cast<LPARAM>(s); }

}  // namespace

TEST(Repeat, TheListBoxRangeReachesTheMirrorAndNothingOutsideIt) {
  Hooked h;
  h.On();
  struct Case {
    UINT message;
    bool repeated;
  } cases[] = {{0x017F, false}, {0x0180, true}, {0x01A0, true}, {0x01B0, true}, {0x01B1, false},
               {0x01B2, false}, {WM_SETFONT, false}, {WM_CHAR, false}, {WM_SYSKEYDOWN, false},
               {WM_LBUTTONDOWN, false}, {WM_PAINT, false}};
  for (const Case& c : cases) {
    MirrorRecorder recorder(h.mirror);
    const LPARAM param = c.message == 0x0180 ? Text("new") : 0;
    h.ToList(c.message, 0, param);
    EXPECT_EQ(recorder.Saw(c.message), c.repeated) << std::hex << "message 0x" << c.message;
  }
}

TEST(Repeat, TheHostAlwaysGetsItsOwnListsAnswer) {
  Hooked h(5);
  h.On();
  h.ToMirror(LB_ADDSTRING, 0, Text("only in the mirror"));
  EXPECT_EQ(h.ToList(LB_GETCOUNT), 5);
  EXPECT_EQ(h.ToMirror(LB_GETCOUNT), 6);
  EXPECT_EQ(h.ToList(LB_ADDSTRING, 0, Text("both")), 5) << "the index in the host's list";
}

TEST(Repeat, EditingSequencesKeepBothListsEqual) {
  Hooked h(30);
  h.On();
  EXPECT_EQ(ItemsOf(h.mirror), ItemsOf(h.list));
  h.ToList(LB_INSERTSTRING, 3, Text("inserted at 3"));
  h.ToList(LB_DELETESTRING, 10);
  h.ToList(LB_ADDSTRING, 0, Text("appended"));
  EXPECT_EQ(ItemsOf(h.mirror), ItemsOf(h.list));
  h.ToList(LB_SETCURSEL, 12);
  h.ToList(LB_SETTOPINDEX, 7);
  EXPECT_EQ(h.ToMirror(LB_GETCURSEL), 12);
  EXPECT_EQ(h.ToMirror(LB_GETTOPINDEX), h.ToList(LB_GETTOPINDEX));
  h.ToList(LB_RESETCONTENT);
  EXPECT_EQ(h.ToMirror(LB_GETCOUNT), 0);
  h.ToList(LB_ADDSTRING, 0, Text("fresh"));
  EXPECT_EQ(ItemsOf(h.mirror), std::vector<std::string>{"fresh"});
}

TEST(Repeat, QueriesThatWriteIntoTheHostsBufferAreNotRepeated) {
  Hooked h(3);
  h.On();
  MirrorRecorder recorder(h.mirror);
  char text[32] = {};
  int selected[4] = {};
  RECT rc = {};
  h.ToList(LB_GETTEXT, 1, reinterpret_cast<LPARAM>(text));
  h.ToList(LB_GETSELITEMS, 4, reinterpret_cast<LPARAM>(selected));
  h.ToList(LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&rc));
  EXPECT_STREQ(text, "Item 1");
  EXPECT_FALSE(recorder.Saw(LB_GETTEXT));
  EXPECT_FALSE(recorder.Saw(LB_GETSELITEMS));
  EXPECT_FALSE(recorder.Saw(LB_GETITEMRECT));
  h.ToList(LB_GETTEXTLEN, 1);
  EXPECT_TRUE(recorder.Saw(LB_GETTEXTLEN)) << "other queries are repeated";
}

TEST(Repeat, TheRedrawSwitchIsShared) {
  Hooked h(3);
  h.On();
  MirrorRecorder recorder(h.mirror);
  h.ToList(WM_SETREDRAW, FALSE);
  h.ToList(WM_SETREDRAW, TRUE);
  int seen = 0;
  for (UINT m : recorder.messages) seen += m == WM_SETREDRAW;
  EXPECT_EQ(seen, 2);
}

TEST(Repeat, KeyStrokesReachTheMirrorThroughTheMessageLoop) {
  Hooked h(10);
  h.On();
  h.ToMirror(LB_SETCURSEL, 2);
  MirrorRecorder recorder(h.mirror);
  h.ToList(WM_KEYDOWN, VK_DOWN, 1);
  h.ToList(WM_KEYUP, VK_DOWN, 0xC0000001);
  EXPECT_FALSE(recorder.Saw(WM_KEYDOWN)) << "posted, not sent";
  Pump();
  EXPECT_TRUE(recorder.Saw(WM_KEYDOWN));
  EXPECT_TRUE(recorder.Saw(WM_KEYUP));
  EXPECT_EQ(h.ToMirror(LB_GETCURSEL), 3);
}

TEST(Resize, ThePanelTakesTheSourcesClientSizeAtTheParentsOrigin) {
  Hooked few(3, WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT);
  few.On();
  ASSERT_FALSE(::GetWindowLongA(few.mirror, GWL_STYLE) & WS_VSCROLL);
  ::MoveWindow(few.list, 90, 60, 250, 150, TRUE);
  RECT client;
  ::GetClientRect(few.list, &client);
  EXPECT_EQ(few.PanelSize().cx, client.right);
  EXPECT_EQ(few.PanelSize().cy, client.bottom);
  RECT placed;
  ::GetWindowRect(few.panel, &placed);
  ::MapWindowPoints(nullptr, few.top.hWnd(), reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, 0);
  EXPECT_EQ(placed.top, 0);
  // The mirror stretches over the panel.
  RECT mirror;
  ::GetWindowRect(few.mirror, &mirror);
  EXPECT_EQ(mirror.right - mirror.left, client.right);

  Hooked many(200, WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT);
  Lib().CreateHook(nullptr, nullptr);
  many.On();
  ASSERT_TRUE(::GetWindowLongA(many.mirror, GWL_STYLE) & WS_VSCROLL);
  ::MoveWindow(many.list, 90, 60, 250, 150, TRUE);
  ::GetClientRect(many.list, &client);
  EXPECT_EQ(many.PanelSize().cx, client.right + ::GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_EQ(many.PanelSize().cy, client.bottom);
}

TEST(Resize, TheSizeComesFromTheClientRectangleNotFromTheMessage) {
  Hooked h(3);
  h.On();
  ::SendMessageA(h.list, WM_SIZE, SIZE_RESTORED, MAKELPARAM(17, 19));
  RECT client;
  ::GetClientRect(h.list, &client);
  EXPECT_NE(h.PanelSize().cx, 17);
  EXPECT_EQ(h.PanelSize().cy, client.bottom);
  ::MoveWindow(h.list, 0, 0, 0, 0, TRUE);
  EXPECT_EQ(h.PanelSize().cy, 0);
}

TEST(Copy, TextsOfAnyLengthArriveWhole) {
  Hooked h(0);
  const std::vector<size_t> lengths = {0, 199, 200, 100000};
  for (size_t n : lengths) {
    const std::string text(n, 'x');
    h.ToList(LB_ADDSTRING, 0, Text(text.c_str()));
  }
  h.On();
  const std::vector<std::string> copied = ItemsOf(h.mirror);
  ASSERT_EQ(copied.size(), lengths.size());
  for (size_t i = 0; i < lengths.size(); ++i) EXPECT_EQ(copied[i].size(), lengths[i]);
  // Later additions of any length too.
  const std::string later(5000, 'y');
  h.ToList(LB_ADDSTRING, 0, Text(later.c_str()));
  EXPECT_EQ(ItemsOf(h.mirror).back(), later);
}

TEST(Copy, TheMirrorStartsUnselectedAtTheTopWithTheSourcesHeightAndFont) {
  Hooked h(0, WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS);
  AddItems(h.list, 50);
  h.ToList(LB_SETITEMHEIGHT, 0, 23);
  HFONT font = static_cast<HFONT>(::GetStockObject(ANSI_FIXED_FONT));
  h.ToList(WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  h.ToList(LB_SETCURSEL, 30);
  h.ToList(LB_SETTOPINDEX, 25);
  h.On();
  EXPECT_EQ(h.ToMirror(LB_GETCURSEL), LB_ERR);
  EXPECT_EQ(h.ToMirror(LB_GETTOPINDEX), 0);
  EXPECT_EQ(h.ToMirror(LB_GETITEMHEIGHT), 23);
  EXPECT_EQ(reinterpret_cast<HFONT>(h.ToMirror(WM_GETFONT)), font);
  EXPECT_EQ(ItemsOf(h.mirror), ItemsOf(h.list));
}

TEST(Copy, ASourceWithoutAFontLeavesTheMirrorOnTheSystemFontAndAnEmptySourceAnEmptyMirror) {
  Hooked h(0);
  ASSERT_EQ(h.ToList(WM_GETFONT), 0);
  h.On();
  EXPECT_EQ(h.ToMirror(WM_GETFONT), 0);
  EXPECT_EQ(h.ToMirror(LB_GETCOUNT), 0);
  EXPECT_NE(::GetWindowLongPtrA(h.list, GWLP_WNDPROC),
            static_cast<LONG_PTR>(::GetClassLongPtrA(h.list, GCLP_WNDPROC)))
      << "still subclassed";
}

TEST(ItemData, AnOwnerDrawnSourceWithoutTextsIsMirroredWithoutReadingItsData) {
  Hooked h(0, WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED);
  h.ToList(LB_ADDSTRING, 0, 7);
  h.ToList(LB_ADDSTRING, 0, static_cast<LPARAM>(0xDEADBEEF));
  h.On();
  EXPECT_EQ(ItemsOf(h.mirror), (std::vector<std::string>{"", ""}));
  h.ToList(LB_ADDSTRING, 0, 3);
  h.ToList(LB_INSERTSTRING, 0, static_cast<LPARAM>(0xFFFF0000));
  h.ToList(LB_FINDSTRING, static_cast<WPARAM>(-1), static_cast<LPARAM>(0x12345678));
  h.ToList(LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), 9);
  EXPECT_EQ(h.ToMirror(LB_GETCOUNT), h.ToList(LB_GETCOUNT));
  EXPECT_EQ(h.ToMirror(LB_GETCOUNT), 4);
  // A selection the source makes by matching item data is followed.
  const LRESULT picked = h.ToList(LB_SELECTSTRING, static_cast<WPARAM>(-1), 3);
  ASSERT_NE(picked, LB_ERR);
  EXPECT_EQ(h.ToMirror(LB_GETCURSEL), picked);
}

TEST(Sorted, ASortedSourceAndTheMirrorHoldTheSameOrder) {
  Hooked h(0, kPlainListStyle | LBS_SORT);
  h.ToList(LB_ADDSTRING, 0, Text("m"));
  h.On();
  for (const char* text : {"d", "z", "a", "q"}) h.ToList(LB_ADDSTRING, 0, Text(text));
  EXPECT_EQ(ItemsOf(h.list), (std::vector<std::string>{"a", "d", "m", "q", "z"}));
  EXPECT_EQ(ItemsOf(h.mirror), ItemsOf(h.list));
}

TEST(Unicode, AWideHostsTextsSurviveBeforeDuringAndAfterTheOverlay) {
  Hooked h(0, kPlainListStyle, /*unicode=*/true);
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
  EXPECT_EQ(h.ToMirror(LB_GETCOUNT), 2);
  char mirrored[64] = {};
  h.ToMirror(LB_GETTEXT, 1, reinterpret_cast<LPARAM>(mirrored));
  EXPECT_GT(std::string(mirrored).size(), 0u) << "the mirror holds it as far as ANSI can";
  Lib().CreateHook(nullptr, nullptr);
  EXPECT_TRUE(::IsWindowUnicode(h.list));
  add(texts[2]);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(readBack(i), texts[i]) << i;
}

TEST(Teardown, ASourceDestroyedWhileHookedIsSurvived) {
  Hooked h(5);
  h.On();
  ::DestroyWindow(h.list);
  EXPECT_FALSE(::IsWindow(h.list));
  EXPECT_EQ(Lib().CreateHook(nullptr, nullptr), 0);
  EXPECT_EQ(FindPanel(h.top.hWnd()), nullptr);
}
