// The user's input on the skin reaches the host's list as if typed and clicked there: real mouse
// and keyboard input (SendInput) on skinned lists, checked against the same host unskinned wherever
// the host's own list is the reference, and the skin checked to show what the host's list holds.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "HostKit.h"
#include "UserInput.h"

using namespace host;
using user::kCtrl;
using user::kShift;

namespace {

constexpr DWORD kSingle = kPlainListStyle | LBS_NOINTEGRALHEIGHT;
constexpr DWORD kExtended = kSingle | LBS_EXTENDEDSEL;
constexpr DWORD kMultiple = kSingle | LBS_MULTIPLESEL;

const char* RunName(bool skinned) { return skinned ? "skinned" : "unskinned"; }

SceneOptions ListOf(int items, DWORD style = kSingle) {
  SceneOptions o;
  o.items = items;
  o.style = style;
  o.place = {10, 10, 310, 210};
  o.itemHeight = 16;
  return o;
}

std::vector<int> WithoutFocusCodes(const std::vector<int>& codes) {
  std::vector<int> kept;
  for (int code : codes)
    if (code != LBN_SETFOCUS && code != LBN_KILLFOCUS) kept.push_back(code);
  return kept;
}

std::string CodeNames(const std::vector<int>& codes) {
  static const char* const kNames[] = {"?", "SELCHANGE", "DBLCLK", "SELCANCEL", "SETFOCUS",
                                       "KILLFOCUS"};
  std::string text = "[";
  for (size_t i = 0; i < codes.size(); ++i)
    text += (i ? " " : "") + std::string(codes[i] >= 1 && codes[i] <= 5 ? kNames[codes[i]] : "?");
  return text + "]";
}

// What a run left: what the host's list holds, what the skin shows, what the host was told.
struct Outcome {
  user::ListState list;
  user::ListState mirror;
  int mirrorMaxTop = 0;
  std::vector<int> codes;  // the LBN_ codes the host's list sent, in order
};

// A host with one list, skinned or not, at which the user works with real input. The user sees
// the skin when it is on and the host's own list when not, and clicks whichever is shown.
class InputScene : public HostScene {
 public:
  InputScene(const SceneOptions& o, bool skinned) : HostScene(o), m_skinned(skinned) {}

  // Switches the skin on for a skinned run, and makes the window the user's with the keyboard
  // focus on the window itself, so the list's first focus is the user's doing.
  void Start() {
    if (m_skinned) {
      On();
      ASSERT_NE(mirror, nullptr) << "the skin went on";
    }
    EXPECT_TRUE(user::TakeForeground(top.hWnd())) << "keys can reach the host";
    ::SetFocus(top.hWnd());
    user::Settle();
    top.notifications.clear();
  }

  bool skinned() const { return m_skinned; }
  const char* run() const { return RunName(m_skinned); }
  HWND view() const { return m_skinned ? mirror : list; }
  POINT Row(int row, int dx = 24) const { return user::RowPoint(view(), row, dx); }

  void ClickRow(int row, unsigned mods = user::kNone) { user::Click(Row(row), mods); }
  void DoubleClickRow(int row) { user::DoubleClick(Row(row)); }
  void RightClickRow(int row) { user::RightClick(Row(row)); }
  void WheelOver(int notches) { user::Wheel(Row(1), notches); }

  std::vector<int> Codes() const {
    std::vector<int> codes;
    for (const Notification& n : top.notifications)
      if (n.hFrom == list) codes.push_back(n.nCode);
    return codes;
  }

  Outcome Result() const {
    Outcome out;
    out.list = user::StateOf(list);
    if (m_skinned && mirror != nullptr) {
      out.mirror = user::StateOf(mirror);
      out.mirrorMaxTop = user::MaxTopOf(mirror);
    }
    out.codes = Codes();
    return out;
  }

  // In a skinned run, the skin shows what the host's list holds now.
  void ExpectSkinShowsList(const std::string& after) const {
    if (!m_skinned) return;
    host::Pump();  // what the skin shows, once the host's loop has run
    EXPECT_EQ(user::HowShownDiffers(user::StateOf(mirror), user::StateOf(list),
                                    user::MaxTopOf(mirror)),
              "")
        << "after " << after;
  }

 private:
  bool m_skinned;
};

using Steps = std::function<void(InputScene&)>;

// Plays `steps` on the host unskinned and skinned; `before` is what the host does before the
// user starts (and before the skin goes on).
std::vector<Outcome> PlayBoth(const SceneOptions& o, const Steps& steps, const Steps& before = {}) {
  std::vector<Outcome> outcomes;
  for (bool skinned : {false, true}) {
    InputScene s(o, skinned);
    if (before) before(s);
    s.Start();
    steps(s);
    user::Settle();
    outcomes.push_back(s.Result());
  }
  return outcomes;
}

// The host's list ends as it ends unskinned, was told the same (focus notifications aside, see
// FocusNotifications), and the skin shows it.
void ExpectAsUnskinned(const std::string& what, const std::vector<Outcome>& runs) {
  const Outcome& plain = runs[0];
  const Outcome& skinned = runs[1];
  EXPECT_EQ(skinned.list, plain.list) << what << ": what the host's list holds (skinned, unskinned)";
  EXPECT_EQ(CodeNames(WithoutFocusCodes(skinned.codes)), CodeNames(WithoutFocusCodes(plain.codes)))
      << what << ": what the host's list told the host (skinned, unskinned)";
  EXPECT_EQ(user::HowShownDiffers(skinned.mirror, skinned.list, skinned.mirrorMaxTop), "") << what;
}

// The host's top window answering some messages itself, as a host's window procedure does.
class ParentAnswers {
 public:
  // Returns true with *result set when it answers the message; false passes it on.
  using Answer = std::function<bool(UINT, WPARAM, LPARAM, LRESULT*)>;

  ParentAnswers(HWND hParent, Answer answer) : m_hParent(hParent), m_answer(std::move(answer)) {
    ::SetPropA(hParent, kProperty, this);
    m_prev = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hParent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
  }
  ~ParentAnswers() {
    ::SetWindowLongPtrA(m_hParent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_prev));
    ::RemovePropA(m_hParent, kProperty);
  }
  ParentAnswers(const ParentAnswers&) = delete;
  ParentAnswers& operator=(const ParentAnswers&) = delete;

 private:
  static constexpr const char* kProperty = "KslTestParentAnswers";
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    auto* self = static_cast<ParentAnswers*>(::GetPropA(h, kProperty));
    LRESULT result = 0;
    if (self->m_answer(m, w, l, &result)) return result;
    return ::CallWindowProcA(self->m_prev, h, m, w, l);
  }
  HWND m_hParent;
  Answer m_answer;
  WNDPROC m_prev = nullptr;
};

// The skin's rows drawn with the selection fill, from the screen: a point near each row's right
// end, where the text does not reach, over a plain background colour.
std::vector<int> RowsPaintedSelected(HWND hMirror) {
  constexpr COLORREF kSelectionFill = RGB(0, 0, 0x88);
  std::vector<int> rows;
  const ClientPixels pixels(hMirror);
  const int count = static_cast<int>(::SendMessageA(hMirror, LB_GETCOUNT, 0, 0));
  for (int row = static_cast<int>(::SendMessageA(hMirror, LB_GETTOPINDEX, 0, 0)); row < count;
       ++row) {
    RECT rc = {};
    ::SendMessageA(hMirror, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rc));
    if (rc.bottom > pixels.height()) break;
    if (pixels.At(rc.right - 6, (rc.top + rc.bottom) / 2) == kSelectionFill) rows.push_back(row);
  }
  return rows;
}

std::vector<int> VisibleSelected(const user::ListState& s, int lastVisible) {
  std::vector<int> rows;
  for (int row : s.selected)
    if (row >= s.top && row <= lastVisible) rows.push_back(row);
  return rows;
}

}  // namespace

// ---- The helpers drive a real list as a person would -------------------------------------------

TEST(UserInput, ModifiedClicksAndShiftArrowsReachAPlainExtendedSelectionList) {
  InputScene s(ListOf(30, kExtended), /*skinned=*/false);
  s.Start();
  s.ClickRow(5, kCtrl);
  s.ClickRow(8, kShift);
  EXPECT_EQ(user::StateOf(s.list).selected, (std::vector<int>{5, 6, 7, 8}));
  user::Key(VK_DOWN, kShift, 2);
  EXPECT_EQ(user::StateOf(s.list).selected, (std::vector<int>{5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(::GetFocus(), s.list);
  s.WheelOver(-2);
  EXPECT_GT(user::StateOf(s.list).top, 0) << "the wheel scrolls the list under the pointer";
}

// ---- A plain single-selection list: the messages it gets today ---------------------------------

TEST(PlainList, ClicksKeysAndADoubleClickTellTheHostWhatTheyToldItUnskinned) {
  const auto runs = PlayBoth(ListOf(30), [](InputScene& s) {
    s.ClickRow(4);
    s.ClickRow(7);
    s.DoubleClickRow(2);
    user::Key(VK_DOWN);
    user::Key(VK_UP, user::kNone, 2);
  });
  EXPECT_EQ(runs[0].list.selected, (std::vector<int>{1})) << "the reference run";
  ExpectAsUnskinned("clicks on rows 4 and 7, a double-click on 2, Down, Up, Up", runs);
}

// ---- Multiple selection ------------------------------------------------------------------------

TEST(MultipleSelection, ExtendedCtrlAndShiftClicksSelectTheRangeInTheHostsList) {
  const auto runs = PlayBoth(ListOf(30, kExtended), [](InputScene& s) {
    s.ClickRow(5, kCtrl);
    s.ClickRow(8, kShift);
    s.ExpectSkinShowsList("Ctrl+click 5, Shift+click 8");
    s.ClickRow(10, kCtrl);
    s.ClickRow(11, kCtrl | kShift);
    s.ExpectSkinShowsList("Ctrl+click 10, Ctrl+Shift+click 11");
    s.ClickRow(6, kCtrl);
  });
  EXPECT_EQ(runs[0].list.selected, (std::vector<int>{5, 7, 8, 10, 11})) << "the reference run";
  ExpectAsUnskinned("extended: Ctrl+click 5, Shift+click 8, Ctrl+click 10, Ctrl+Shift+click 11, "
                    "Ctrl+click 6",
                    runs);
}

TEST(MultipleSelection, ExtendedShiftArrowsExtendFromTheAnchorAndPlainArrowsSelectOneRow) {
  const auto runs = PlayBoth(ListOf(30, kExtended), [](InputScene& s) {
    s.ClickRow(3);
    user::Key(VK_DOWN, kShift, 3);
    s.ExpectSkinShowsList("click 3, Shift+Down x3");
    user::Key(VK_UP, kShift);
    user::Key(VK_DOWN, kCtrl, 2);
    user::Key(VK_SPACE, kCtrl);
    s.ExpectSkinShowsList("Shift+Up, Ctrl+Down x2, Ctrl+Space");
    user::Key(VK_END, kShift);
  });
  EXPECT_GE(runs[0].list.selected.size(), 20u) << "the reference run: Shift+End selects a range";
  ExpectAsUnskinned("extended: click 3, Shift+Down x3, Shift+Up, Ctrl+Down x2, Ctrl+Space, "
                    "Shift+End",
                    runs);
}

TEST(MultipleSelection, MultipleClicksToggleRowsAndArrowsMoveOnlyTheCaret) {
  const auto runs = PlayBoth(ListOf(30, kMultiple), [](InputScene& s) {
    s.ClickRow(2);
    s.ClickRow(5);
    s.ClickRow(8);
    s.ExpectSkinShowsList("clicks on 2, 5, 8");
    s.ClickRow(5);
    user::Key(VK_DOWN, user::kNone, 3);
    s.ExpectSkinShowsList("a second click on 5, Down x3");
    user::Key(VK_SPACE);
  });
  EXPECT_EQ(runs[0].list.selected, (std::vector<int>{2})) << "the reference run";
  EXPECT_EQ(runs[0].list.caret, 8) << "the reference run";
  ExpectAsUnskinned("multiple: clicks on 2, 5, 8, 5, Down x3, Space", runs);
}

TEST(MultipleSelection, TheSkinShowsEverySelectionTheHostMakesAndTheHostsAnchorRules) {
  for (DWORD style : {kExtended, kMultiple}) {
    const std::string mode = style == kExtended ? "extended" : "multiple";
    SCOPED_TRACE(mode);
    const auto runs = PlayBoth(ListOf(30, style), [&](InputScene& s) {
      s.ClickRow(8);
      for (int row : {10, 12, 13}) {
        s.ToList(LB_SETSEL, TRUE, row);
        s.ExpectSkinShowsList("LB_SETSEL on " + std::to_string(row));
      }
      s.ToList(LB_SELITEMRANGE, TRUE, MAKELPARAM(2, 4));
      s.ExpectSkinShowsList("LB_SELITEMRANGE 2..4");
      s.ToList(LB_SELITEMRANGEEX, 13, 12);
      s.ExpectSkinShowsList("LB_SELITEMRANGEEX 13, 12 (deselects)");
      s.ToList(LB_SELITEMRANGEEX, 15, 16);
      s.ExpectSkinShowsList("LB_SELITEMRANGEEX 15, 16");
      s.ToList(LB_SETCARETINDEX, 6, FALSE);
      s.ExpectSkinShowsList("LB_SETCARETINDEX 6");
      s.ToList(LB_SETANCHORINDEX, 3);
      s.ExpectSkinShowsList("LB_SETANCHORINDEX 3");
      if (s.skinned()) {
        Lib().SetBkColor(RGB(224, 224, 224));
        user::Settle();
        const user::ListState shown = user::StateOf(s.mirror);
        RECT client = {};
        ::GetClientRect(s.mirror, &client);
        const int lastVisible = shown.top + client.bottom / 16 - 1;
        EXPECT_EQ(RowsPaintedSelected(s.mirror), VisibleSelected(user::StateOf(s.list), lastVisible))
            << "rows painted selected on the skin";
      }
      s.ClickRow(7, kShift);
      s.ExpectSkinShowsList("Shift+click 7");
    });
    ExpectAsUnskinned(mode + ": click 8, host's selections, Shift+click 7", runs);
  }
}

// ---- Scrolling ---------------------------------------------------------------------------------

TEST(Scrolling, TheWheelOnTheSkinScrollsTheHostsListAlike) {
  const auto runs = PlayBoth(ListOf(60), [](InputScene& s) {
    s.WheelOver(-3);
    s.ExpectSkinShowsList("three notches down");
    EXPECT_EQ(user::StateOf(s.list).top, user::StateOf(s.view()).top) << s.run();
    s.WheelOver(1);
    s.ClickRow(user::StateOf(s.view()).top + 2);
  });
  EXPECT_GT(runs[0].list.top, 0) << "the reference run";
  ExpectAsUnskinned("three notches down, one up, a click on the third row shown", runs);
}

TEST(Scrolling, AfterTheWheelTheHostsHitTestAndItemRectangleFindTheRowsTheUserSees) {
  InputScene s(ListOf(60), /*skinned=*/true);
  MessageRecorder parent(s.top.hWnd());
  s.Start();
  s.WheelOver(-3);
  const int top = user::StateOf(s.mirror).top;
  ASSERT_GT(top, 0) << "the wheel scrolled the skin";
  EXPECT_EQ(user::StateOf(s.list).top, top) << "the host's list keeps the skin's top row";

  // A host's context menu finds its row from the point WM_CONTEXTMENU carries.
  const int clicked = top + 2;
  parent.seen.clear();
  s.RightClickRow(clicked);
  bool found = false;
  for (const SeenMessage& m : parent.Of(WM_CONTEXTMENU)) {
    if (reinterpret_cast<HWND>(m.wParam) != s.list) continue;
    found = true;
    POINT at = {static_cast<short>(LOWORD(m.lParam)), static_cast<short>(HIWORD(m.lParam))};
    ::ScreenToClient(s.list, &at);
    const LRESULT hit = s.ToList(LB_ITEMFROMPOINT, 0, MAKELPARAM(at.x, at.y));
    EXPECT_EQ(LOWORD(hit), clicked) << "the host's hit test for a right click on row " << clicked;
  }
  EXPECT_TRUE(found) << "the host heard of the right click on its list";

  // An in-place editor at the host's rectangle for a row lies over that row of the skin.
  const int edited = top + 4;
  RECT rc = {};
  s.ToList(LB_GETITEMRECT, edited, reinterpret_cast<LPARAM>(&rc));
  POINT middle = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  ::ClientToScreen(s.list, &middle);
  EXPECT_EQ(::WindowFromPoint(middle), s.mirror) << "the host's rectangle for row " << edited;
  ::ScreenToClient(s.mirror, &middle);
  EXPECT_EQ(LOWORD(s.ToMirror(LB_ITEMFROMPOINT, 0, MAKELPARAM(middle.x, middle.y))), edited)
      << "the skin's row under the host's rectangle for row " << edited;
}

TEST(Scrolling, TheHostScrollingItsListScrollsTheSkin) {
  InputScene s(ListOf(60), /*skinned=*/true);
  s.Start();
  s.ToList(LB_SETTOPINDEX, 17);
  s.ExpectSkinShowsList("LB_SETTOPINDEX 17");
  s.ClickRow(20);
  user::Key(VK_NEXT);
  s.ExpectSkinShowsList("a click on 20 and Page Down");
  EXPECT_GT(user::StateOf(s.list).top, 17);
}

namespace {

// The view's client area as the user sees it, a line of pixels a string ('#' where it is not the
// window's colour), the selected row's lines (each view has a highlight of its own) left out.
std::vector<std::string> LinesShown(HWND hView, int rowHeight, int selectedRowShown) {
  const ClientPixels shown(hView);
  std::vector<std::string> lines(static_cast<size_t>(shown.height()));
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width() && y / rowHeight != selectedRowShown; ++x)
      lines[y] += shown.At(x, y) == ::GetSysColor(COLOR_WINDOW) ? '.' : '#';
  return lines;
}

}  // namespace

TEST(Scrolling, AfterTheWheelAnArrowClickOrAClickTheSkinShowsTheRowsTheListShows) {
  for (Reference layout : {Reference::kContainer, Reference::kList}) {
    std::vector<std::vector<std::string>> shown[2];
    for (bool skinned : {false, true}) {
      SceneOptions o = ListOf(22);
      o.reference = layout;
      InputScene s(o, skinned);
      s.Start();
      // The skin in the list's own colours: its rows are then the list's, pixel for pixel.
      if (skinned) Lib().SetBkColor(::GetSysColor(COLOR_WINDOW));
      if (skinned) Lib().SetFgColor(::GetSysColor(COLOR_WINDOWTEXT));
      s.ClickRow(2);
      auto look = [&] {
        const int selected = static_cast<int>(s.ToList(LB_GETCURSEL) - s.ToList(LB_GETTOPINDEX));
        shown[skinned].push_back(LinesShown(s.view(), 16, selected));
        ::InvalidateRect(s.view(), nullptr, TRUE);
        EXPECT_TRUE(LinesShown(s.view(), 16, selected) == shown[skinned].back())
            << s.run() << ": after step " << shown[skinned].size() << " it shows what it repaints";
      };
      s.WheelOver(-1);
      look();
      SCROLLBARINFO bar = {};
      bar.cbSize = sizeof bar;
      ::GetScrollBarInfo(s.view(), OBJID_VSCROLL, &bar);
      user::Click({bar.rcScrollBar.right - 4, bar.rcScrollBar.bottom - 4});  // the down arrow
      user::WaitOutDoubleClick();
      look();
      s.ClickRow(static_cast<int>(s.ToList(LB_GETTOPINDEX)) + 5);
      look();
    }
    // In a container the skin has no frame, and near the list's end its top row may differ.
    for (size_t step = 0; step < 3 && layout == Reference::kList; ++step)
      for (size_t y = 0; y < shown[0][step].size(); ++y)
        EXPECT_EQ(shown[1][step][y], shown[0][step][y]) << "after step " << step + 1 << ", line " << y;
  }
}

// ---- Rows of other shapes ----------------------------------------------------------------------

TEST(RowShapes, ClicksOnAVariableHeightListSelectTheRowsTheUserClicked) {
  SceneOptions o = ListOf(0, kSingle | LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS);
  o.itemHeight = 0;
  o.reference = Reference::kList;  // the list's frame, so its rows lie exactly where the list's do
  InputScene s(o, /*skinned=*/true);
  ParentAnswers heights(s.top.hWnd(), [](UINT m, WPARAM, LPARAM l, LRESULT* result) {
    if (m != WM_MEASUREITEM) return false;
    auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(l);
    measure->itemHeight = measure->itemID % 2 == 0 ? 16 : 40;
    *result = TRUE;
    return true;
  });
  AddItems(s.list, 30);
  ASSERT_EQ(s.ToList(LB_GETITEMHEIGHT, 1), 40) << "the host's rows are of two heights";
  s.Start();
  // The user clicks each row shown where the host's list has it, and the skin shows it there.
  for (int row = 0; user::RowPoint(s.list, row).y < user::RowPoint(s.list, 0).y + 150; ++row) {
    RECT skins = {}, lists = {};
    ::SendMessageA(s.mirror, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&skins));
    s.ToList(LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&lists));
    ::MapWindowPoints(s.mirror, nullptr, reinterpret_cast<POINT*>(&skins), 2);
    ::MapWindowPoints(s.list, nullptr, reinterpret_cast<POINT*>(&lists), 2);
    EXPECT_TRUE(skins.top == lists.top && skins.bottom == lists.bottom)
        << "row " << row << " is where the list has it on the screen";
    const int before = s.SelChanges();
    user::Click(user::RowPoint(s.list, row));
    EXPECT_EQ(s.ToList(LB_GETCURSEL), row) << "the host's selection after a click on row " << row;
    EXPECT_EQ(s.SelChanges() - before, 1) << "LBN_SELCHANGE for a click on row " << row;
    s.ExpectSkinShowsList("a click on row " + std::to_string(row));
  }
}

TEST(RowShapes, AClickOnARowPastTheFirstColumnOfAMultiColumnListSelectsIt) {
  SceneOptions o = ListOf(40, (kSingle & ~WS_VSCROLL) | LBS_MULTICOLUMN | WS_HSCROLL);
  // Six rows tall outside; inside, the border and the horizontal scroll bar leave fewer, so the
  // skin, which has neither, shows rows of the host's second column.
  o.place = {10, 10, 310, 10 + 16 * 6 + 1};
  InputScene s(o, /*skinned=*/true);
  s.ToList(LB_SETCOLUMNWIDTH, 90);
  s.Start();
  RECT client = {};
  ::GetClientRect(s.list, &client);
  const int rowsPerColumn = client.bottom / 16;
  RECT secondColumn = {};
  s.ToList(LB_GETITEMRECT, rowsPerColumn, reinterpret_cast<LPARAM>(&secondColumn));
  ASSERT_GT(secondColumn.left, 0) << "row " << rowsPerColumn << " starts the second column";
  int pastTheFirstColumn = 0;
  for (int row : {2, rowsPerColumn, rowsPerColumn + 1}) {
    RECT shown = {};
    s.ToMirror(LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&shown));
    RECT mirrorClient = {};
    ::GetClientRect(s.mirror, &mirrorClient);
    if (shown.bottom > mirrorClient.bottom) continue;  // not on the skin without scrolling
    pastTheFirstColumn += row >= rowsPerColumn;
    const int before = s.SelChanges();
    s.ClickRow(row);
    EXPECT_EQ(s.ToList(LB_GETCURSEL), row) << "the host's selection after a click on row " << row;
    EXPECT_EQ(s.SelChanges() - before, 1) << "LBN_SELCHANGE for a click on row " << row;
    EXPECT_EQ(s.ToMirror(LB_GETCURSEL), row) << "the skin's selection, row " << row;
  }
  EXPECT_GT(pastTheFirstColumn, 0) << "a row past the first column was clicked";
}

// ---- Drag lists --------------------------------------------------------------------------------

// A drag list made before or after switch-on: row 3 dragged to row 8, a plain click on row 12. The
// host moves a row dropped elsewhere. What it hears (B begin, G dragging, D dropped, C cancel, each
// with its row) counts a DL_DRAGGING the drag list's timer repeats on one row once.
TEST(DragList, TheHostHearsTheDragAtTheRowsMeantAndTheSkinShowsTheNewOrder) {
  SceneOptions o = ListOf(20);
  o.reference = Reference::kList;
  for (bool madeFirst : {true, false}) {
    SCOPED_TRACE(madeFirst ? "MakeDragList before switch-on" : "MakeDragList after switch-on");
    std::vector<Outcome> runs;
    std::string heard[2];
    for (bool skinned : {false, true}) {
      InputScene s(o, skinned);
      std::string last;
      int from = -1;
      ParentAnswers host(s.top.hWnd(), [&](UINT m, WPARAM, LPARAM l, LRESULT* result) {
        const auto* info = reinterpret_cast<const DRAGLISTINFO*>(l);
        if (m != ::RegisterWindowMessage(DRAGLISTMSGSTRING)) return false;
        const int row = LBItemFromPt(s.list, info->ptCursor, FALSE), code = info->uNotification;
        const std::string step = "BGDC"[(code - DL_BEGINDRAG) & 3] + std::to_string(row) + " ";
        if (step != last) heard[skinned] += last = step;
        if (code == DL_BEGINDRAG) from = row;
        char text[32] = {};
        if (code == DL_DROPPED && row >= 0 && row != from &&
            s.ToList(LB_GETTEXT, from, reinterpret_cast<LPARAM>(text)) > 0) {
          s.ToList(LB_DELETESTRING, from);
          s.ToList(LB_SETCURSEL, s.ToList(LB_INSERTSTRING, row, reinterpret_cast<LPARAM>(text)));
        }
        *result = code == DL_BEGINDRAG ? row >= 0 : code == DL_DRAGGING ? DL_MOVECURSOR : 0;
        return true;
      });
      if (madeFirst) MakeDragList(s.list);
      s.Start();
      if (!madeFirst) MakeDragList(s.list);
      user::Drag(s.Row(3), s.Row(8), 5);
      s.ClickRow(12);
      user::WaitOutDoubleClick();
      user::Drag(s.Row(1), s.Row(4), 3, /*cancel=*/true);
      runs.push_back(s.Result());
    }
    EXPECT_EQ(heard[0], "B3 G4 G5 G6 G7 G8 D8 B12 D12 B1 G2 G3 G4 C4 ") << "the reference run";
    EXPECT_EQ(heard[1], heard[0]) << "the drag list's messages and rows (skinned, unskinned)";
    EXPECT_EQ(runs[0].list.texts[8], "Item 3") << "the reference run moved the row";
    ExpectAsUnskinned("a drag of row 3 to row 8, a click on row 12", runs);
  }
}

// ---- Keys the host handles ---------------------------------------------------------------------

// The host deletes the selected row when its list's subclass sees Delete: installed before the
// skin goes on, or after.
TEST(HostKeys, DeleteHandledInTheHostsSubclassRemovesTheSelectedRow) {
  for (bool subclassFirst : {true, false}) {
    SCOPED_TRACE(subclassFirst ? "subclassed before switch-on" : "subclassed after switch-on");
    std::vector<Outcome> runs;
    std::vector<int> deletesHeard;
    for (bool skinned : {false, true}) {
      InputScene s(ListOf(20), skinned);
      std::unique_ptr<MessageRecorder> host;
      int deletes = 0;
      auto install = [&] {
        host = std::make_unique<MessageRecorder>(s.list);
        MessageRecorder* recorder = host.get();
        recorder->onMessage = [&, recorder](UINT m) {
          if (m != WM_KEYDOWN || recorder->seen.back().wParam != VK_DELETE) return;
          ++deletes;
          const LRESULT selected = ::SendMessageA(s.list, LB_GETCURSEL, 0, 0);
          if (selected >= 0) ::SendMessageA(s.list, LB_DELETESTRING, selected, 0);
        };
      };
      if (subclassFirst) install();
      s.Start();
      if (!subclassFirst) install();
      s.ClickRow(3);
      user::Key(VK_DOWN);
      user::Key(VK_DELETE);
      user::Settle();
      runs.push_back(s.Result());
      deletesHeard.push_back(deletes);
    }
    EXPECT_EQ(deletesHeard, (std::vector<int>{1, 1})) << "Delete keys the host's subclass saw "
                                                      << "(unskinned, skinned)";
    EXPECT_EQ(runs[0].list.count, 19) << "the reference run deleted a row";
    ExpectAsUnskinned("click 3, Down, Delete", runs);
  }
}

TEST(HostKeys, DeleteHandledInTheParentsVKeyToItemRemovesTheCaretRow) {
  std::vector<Outcome> runs;
  std::vector<std::string> heard;
  for (bool skinned : {false, true}) {
    InputScene s(ListOf(20, kSingle | LBS_WANTKEYBOARDINPUT), skinned);
    std::ostringstream keys;
    ParentAnswers parent(s.top.hWnd(), [&](UINT m, WPARAM w, LPARAM l, LRESULT* result) {
      if (m != WM_VKEYTOITEM) return false;
      const HWND from = reinterpret_cast<HWND>(l);
      keys << "vk " << LOWORD(w) << " caret " << HIWORD(w) << (from == s.list ? "" : " elsewhere")
           << "; ";
      if (LOWORD(w) == VK_DELETE) {
        ::SendMessageA(from, LB_DELETESTRING, HIWORD(w), 0);
        *result = -2;
      } else {
        *result = -1;
      }
      return true;
    });
    s.Start();
    s.ClickRow(3);
    user::Key(VK_DOWN);
    user::Key(VK_DELETE);
    runs.push_back(s.Result());
    heard.push_back(keys.str());
  }
  EXPECT_EQ(heard[1], heard[0]) << "WM_VKEYTOITEM the parent got (skinned, unskinned)";
  EXPECT_EQ(runs[0].list.count, 19) << "the reference run deleted a row";
  ExpectAsUnskinned("click 3, Down, Delete", runs);
}

TEST(HostKeys, ATypedCharacterReachesTheParentsCharToItem) {
  std::vector<Outcome> runs;
  std::vector<std::string> heard;
  // Owner-drawn without strings: the list asks its parent what a character means.
  const DWORD style = kSingle | LBS_WANTKEYBOARDINPUT | LBS_OWNERDRAWFIXED;
  for (bool skinned : {false, true}) {
    InputScene s(ListOf(20, style), skinned);
    std::ostringstream chars;
    ParentAnswers parent(s.top.hWnd(), [&](UINT m, WPARAM w, LPARAM l, LRESULT* result) {
      if (m != WM_CHARTOITEM) return false;
      chars << "char " << LOWORD(w) << (reinterpret_cast<HWND>(l) == s.list ? "" : " elsewhere")
            << "; ";
      *result = LOWORD(w) == 'c' ? 7 : -2;
      return true;
    });
    s.Start();
    s.ClickRow(2);
    user::Key('C');
    user::Key('X');
    runs.push_back(s.Result());
    heard.push_back(chars.str());
  }
  EXPECT_EQ(heard[1], heard[0]) << "WM_CHARTOITEM the parent got (skinned, unskinned)";
  EXPECT_EQ(runs[0].list.selected, (std::vector<int>{7})) << "the reference run";
  ExpectAsUnskinned("click 2, type c and x", runs);
}

// ---- A disabled list ---------------------------------------------------------------------------

TEST(DisabledList, AListDisabledAtSwitchOnTakesNoClicksOrKeys) {
  InputScene s(ListOf(20), /*skinned=*/true);
  ::EnableWindow(s.list, FALSE);
  s.Start();
  EXPECT_FALSE(::IsWindowEnabled(s.mirror)) << "the skin of a disabled list";
  s.ClickRow(4);
  s.DoubleClickRow(6);
  user::Key(VK_DOWN);
  EXPECT_EQ(s.ToList(LB_GETCURSEL), LB_ERR);
  EXPECT_EQ(CodeNames(s.Codes()), "[]") << "what the disabled list told the host";
  s.ExpectSkinShowsList("clicks, a double-click and a key on a disabled list");
}

TEST(DisabledList, TheSkinFollowsTheHostDisablingAndEnablingItsList) {
  InputScene s(ListOf(20), /*skinned=*/true);
  s.Start();
  ::EnableWindow(s.list, FALSE);
  EXPECT_FALSE(::IsWindowEnabled(s.mirror)) << "after the host disabled its list";
  s.ClickRow(4);
  s.DoubleClickRow(6);
  EXPECT_EQ(s.ToList(LB_GETCURSEL), LB_ERR) << "clicks on the disabled list";
  EXPECT_EQ(CodeNames(s.Codes()), "[]") << "what the disabled list told the host";
  ::EnableWindow(s.list, TRUE);
  EXPECT_TRUE(::IsWindowEnabled(s.mirror)) << "after the host enabled its list again";
  s.ClickRow(5);
  EXPECT_EQ(s.ToList(LB_GETCURSEL), 5) << "a click once enabled again";
  EXPECT_EQ(s.SelChanges(), 1);
}

// ---- Hover -------------------------------------------------------------------------------------

// A handle skin with a hover look lights the row under the real pointer, and that row alone; the
// light follows the pointer, moves to the row now under a still pointer when the wheel scrolls
// the list, and goes out when the pointer leaves. Hovering tells the host's list nothing and
// changes nothing of it.
TEST(Hover, TheRowUnderThePointerAloneLightsUpFollowsItAndClearsOnLeaving) {
  InputScene s(ListOf(60), /*skinned=*/false);
  s.Start();
  const auto skin = Lib().SkinAttach(s.list);
  ASSERT_NE(skin, nullptr);
  const HWND view = MirrorOf(::GetWindow(s.list, GW_HWNDNEXT));
  constexpr COLORREF kHot = RGB(250, 200, 0);
  KSLLOOK look = LookOf(KSLLOOK_BKCOLOR | KSLLOOK_HOT);
  look.crBk = RGB(20, 20, 20), look.crHotBk = kHot, look.bHotAlpha = 255;
  ASSERT_TRUE(Lib().SkinSetLook(skin, &look));
  MessageRecorder list(s.list);
  // The rows shown whose right end shows the hover colour.
  auto lit = [&] {
    user::Settle();
    std::vector<int> rows;
    const int top = static_cast<int>(::SendMessageA(view, LB_GETTOPINDEX, 0, 0));
    for (int row = top; row < top + 12; ++row) {
      RECT rc = {};
      ::SendMessageA(view, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rc));
      if (PixelAt(view, rc.right - 4, (rc.top + rc.bottom) / 2) == kHot) rows.push_back(row);
    }
    return rows;
  };
  user::MoveTo(user::RowPoint(view, 2));
  EXPECT_EQ(lit(), std::vector<int>{2});
  user::MoveTo(user::RowPoint(view, 5));
  EXPECT_EQ(lit(), std::vector<int>{5}) << "the light follows the pointer";
  for (const SeenMessage& m : list.seen)
    EXPECT_TRUE(m.message < WM_MOUSEFIRST || m.message > WM_MOUSELAST) << "mouse " << m.message;
  EXPECT_FALSE(list.Saw(LB_SETCURSEL) || list.Saw(LB_SETCARETINDEX) || list.Saw(LB_SETTOPINDEX));
  EXPECT_EQ(s.ToList(LB_GETCURSEL), LB_ERR);
  EXPECT_EQ(CodeNames(s.Codes()), "[]") << "what hovering told the host";

  const POINT still = user::RowPoint(view, 5);
  user::Wheel(still, -1);
  const int top = static_cast<int>(::SendMessageA(view, LB_GETTOPINDEX, 0, 0));
  ASSERT_GT(top, 0) << "the wheel scrolled";
  EXPECT_EQ(lit(), std::vector<int>{top + 5}) << "the row now under the still pointer";
  RECT place = {};
  ::GetWindowRect(view, &place);
  user::MoveTo({place.right + 20, place.top + 20});
  user::Settle(600);  // the system tells a window the pointer left within its hover time
  EXPECT_EQ(lit(), std::vector<int>{}) << "the pointer left";
  EXPECT_TRUE(Lib().SkinDetach(skin));
}

// ---- Right click -------------------------------------------------------------------------------

TEST(RightClick, OneContextMenuNamingTheHostsListAtThePointClicked) {
  std::vector<Outcome> runs;
  for (bool skinned : {false, true}) {
    SCOPED_TRACE(RunName(skinned));
    InputScene s(ListOf(20), skinned);
    MessageRecorder parent(s.top.hWnd());
    MessageRecorder list(s.list);
    s.Start();
    s.ClickRow(2);
    parent.seen.clear();
    list.seen.clear();
    const POINT clicked = s.Row(5, 40);
    user::RightClick(clicked);
    const std::vector<SeenMessage> menus = parent.Of(WM_CONTEXTMENU);
    ASSERT_EQ(menus.size(), 1u) << "WM_CONTEXTMENU for one right click";
    EXPECT_EQ(reinterpret_cast<HWND>(menus[0].wParam), s.list) << "the window it names";
    const POINT at = {static_cast<short>(LOWORD(menus[0].lParam)),
                      static_cast<short>(HIWORD(menus[0].lParam))};
    EXPECT_LE(std::abs(at.x - clicked.x), 3) << "the point, across";
    EXPECT_LE(std::abs(at.y - clicked.y), 3) << "the point, down";
    POINT inList = at;
    ::ScreenToClient(s.list, &inList);
    EXPECT_EQ(LOWORD(s.ToList(LB_ITEMFROMPOINT, 0, MAKELPARAM(inList.x, inList.y))), 5)
        << "the host's row at that point";
    EXPECT_EQ(list.Of(WM_RBUTTONDOWN).size(), 1u) << "the host's list heard the right button";
    EXPECT_EQ(list.Of(WM_RBUTTONUP).size(), 1u) << "the host's list heard the right button";
    EXPECT_EQ(list.Of(WM_CONTEXTMENU).size(), 1u) << "the host's list's subclass";
    runs.push_back(s.Result());
  }
  ExpectAsUnskinned("click 2, right click 5", runs);
}

// ---- Tab order in a dialog ---------------------------------------------------------------------

namespace {

// The host's top window acting as a dialog, driven by IsDialogMessage: an edit box, the list
// (with WS_TABSTOP), OK and Cancel, in that tab order.
class DialogScene : public InputScene {
 public:
  explicit DialogScene(bool skinned) : InputScene(Options(), skinned) {
    const HWND parent = top.hWnd();
    edit = MakeChild(parent, 10, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER, 330, 10, 120, 22,
                     "EDIT");
    ::SetWindowPos(edit, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ok = MakeChild(parent, IDOK, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 330, 50,
                   80, 24, "BUTTON");
    cancel = MakeChild(parent, IDCANCEL, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 330,
                       80, 80, 24, "BUTTON");
    user::SetDialogLoop(parent);
  }
  ~DialogScene() { user::SetDialogLoop(nullptr); }

  // The control that has the focus, by the name the host gives it; the skin counts as the list.
  std::string Focused() const {
    const HWND focus = ::GetFocus();
    if (focus == edit) return "edit";
    if (focus == list || (focus != nullptr && focus == mirror)) return "list";
    if (focus == ok) return "OK";
    if (focus == cancel) return "Cancel";
    return focus == nullptr ? "nothing" : "another window";
  }
  // Commands the dialog's buttons gave it, by id.
  std::vector<int> Commands() const {
    std::vector<int> ids;
    for (const Notification& n : top.notifications)
      if (n.hFrom == ok || n.hFrom == cancel) ids.push_back(n.nID);
    return ids;
  }

  HWND edit = nullptr;
  HWND ok = nullptr;
  HWND cancel = nullptr;

 private:
  static SceneOptions Options() {
    SceneOptions o = ListOf(20, kSingle | WS_TABSTOP);
    return o;
  }
};

}  // namespace

TEST(TabOrder, TabAndShiftTabReachTheSkinWhereTheListWasInTheDialogsOrder) {
  std::vector<std::string> walks;
  std::vector<std::string> told;
  for (bool skinned : {false, true}) {
    DialogScene s(skinned);
    s.Start();
    ::SetFocus(s.edit);
    user::Settle();
    std::string walk;
    for (int i = 0; i < 4; ++i) {
      user::Key(VK_TAB);
      walk += s.Focused() + " ";
    }
    walk += "| ";
    for (int i = 0; i < 4; ++i) {
      user::Key(VK_TAB, kShift);
      walk += s.Focused() + " ";
    }
    walks.push_back(walk);
    told.push_back(CodeNames(s.Codes()));
  }
  EXPECT_EQ(walks[0], "list OK Cancel edit | Cancel OK list edit ") << "the reference run";
  EXPECT_EQ(walks[1], walks[0]) << "where Tab and Shift+Tab go (skinned, unskinned)";
  EXPECT_EQ(told[1], told[0]) << "what the host's list told the host (skinned, unskinned)";
}

TEST(TabOrder, EnterAndEscapeOnTheSkinStillReachTheDialog) {
  std::vector<Outcome> runs;
  std::vector<std::vector<int>> commands;
  for (bool skinned : {false, true}) {
    DialogScene s(skinned);
    s.Start();
    ::SetFocus(s.edit);
    user::Settle();
    user::Key(VK_TAB);
    EXPECT_EQ(s.Focused(), "list") << RunName(skinned);
    user::Key(VK_DOWN, user::kNone, 2);
    user::Key(VK_RETURN);
    user::Key(VK_ESCAPE);
    commands.push_back(s.Commands());
    runs.push_back(s.Result());
  }
  EXPECT_EQ(commands[0], (std::vector<int>{IDOK, IDCANCEL})) << "the reference run";
  EXPECT_EQ(commands[1], commands[0]) << "the dialog's commands (skinned, unskinned)";
  ExpectAsUnskinned("Tab into the list, Down x2, Enter, Escape", runs);
}

namespace {

// A real modeless dialog from an empty template (class #32770, DefDlgProc), with the same four
// controls as DialogScene, the list skinned in the README's layout when asked.
class RealDialog {
 public:
  explicit RealDialog(bool skinned) {
    struct {
      DLGTEMPLATE head;
      WORD menu, windowClass, title;
    } blank = {};
    blank.head.style = WS_POPUP | WS_VISIBLE | DS_MODALFRAME | DS_3DLOOK;
    blank.head.cx = 300;
    blank.head.cy = 200;
    hWnd = ::CreateDialogIndirectParamA(::GetModuleHandleA(nullptr), &blank.head, nullptr,
                                        &RealDialog::Proc, 0);
    ::SetWindowPos(hWnd, HWND_TOP, 20, 20, 520, 320, SWP_NOACTIVATE);
    edit = MakeChild(hWnd, 10, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER, 320, 10, 120, 22,
                     "EDIT");
    list = MakeChild(hWnd, 100, kSingle | WS_TABSTOP, 10, 10, 300, 200);
    AddItems(list, 20);
    site = std::make_unique<SkinSite>(list);
    ok = MakeChild(hWnd, IDOK, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 320, 50, 80,
                   24, "BUTTON");
    cancel = MakeChild(hWnd, IDCANCEL, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 320, 80,
                       80, 24, "BUTTON");
    if (skinned) {
      Lib().CreateHook(site->reference(), list);
      mirror = MirrorOf(FindPanel(site->container()));
    }
    user::SetDialogLoop(hWnd);
    user::TakeForeground(hWnd);
    ::SetFocus(edit);
    user::Settle();
  }
  ~RealDialog() {
    user::SetDialogLoop(nullptr);
    if (FindPanel(site->container()) != nullptr) Lib().CreateHook(nullptr, nullptr);
    site.reset();
    ::DestroyWindow(hWnd);
    user::Settle(0);
  }
  RealDialog(const RealDialog&) = delete;
  RealDialog& operator=(const RealDialog&) = delete;

  std::string Focused() const {
    const HWND focus = ::GetFocus();
    if (focus == edit) return "edit";
    if (focus == list || (focus != nullptr && focus == mirror)) return "list";
    if (focus == ok) return "OK";
    if (focus == cancel) return "Cancel";
    return focus == nullptr ? "nothing" : "another window";
  }

  HWND hWnd = nullptr;
  HWND edit = nullptr;
  HWND list = nullptr;
  HWND ok = nullptr;
  HWND cancel = nullptr;
  HWND mirror = nullptr;
  std::unique_ptr<SkinSite> site;

 private:
  static INT_PTR CALLBACK Proc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
  }
};

}  // namespace

TEST(TabOrder, TabAndShiftTabReachTheSkinInARealDialog) {
  std::vector<std::string> walks;
  for (bool skinned : {false, true}) {
    RealDialog d(skinned);
    if (skinned) {
      ASSERT_NE(d.mirror, nullptr) << "the skin went on";
    }
    ASSERT_EQ(d.Focused(), "edit");
    std::string walk;
    for (int i = 0; i < 4; ++i) {
      user::Key(VK_TAB);
      walk += d.Focused() + " ";
    }
    walk += "| ";
    for (int i = 0; i < 4; ++i) {
      user::Key(VK_TAB, kShift);
      walk += d.Focused() + " ";
    }
    walks.push_back(walk);
  }
  EXPECT_EQ(walks[0], "list OK Cancel edit | Cancel OK list edit ") << "the reference run";
  EXPECT_EQ(walks[1], walks[0]) << "where Tab and Shift+Tab go (skinned, unskinned)";
}

// ---- Switch-on shows the host's state ----------------------------------------------------------

TEST(SwitchOn, TheSkinStartsWithTheHostsSelectionCaretAnchorAndTopRow) {
  for (DWORD style : {kSingle, kExtended, kMultiple}) {
    const char* mode = style == kSingle ? "single" : style == kExtended ? "extended" : "multiple";
    SCOPED_TRACE(mode);
    InputScene s(ListOf(60, style), /*skinned=*/true);
    if (style == kSingle) {
      s.ToList(LB_SETCURSEL, 40);
    } else {
      for (int row : {3, 5, 40}) s.ToList(LB_SETSEL, TRUE, row);
      s.ToList(LB_SETANCHORINDEX, 5);
      s.ToList(LB_SETCARETINDEX, 40, FALSE);
    }
    s.ToList(LB_SETTOPINDEX, 24);
    const user::ListState before = user::StateOf(s.list);
    s.Start();
    EXPECT_EQ(user::StateOf(s.list), before) << "switch-on leaves the host's list as it was";
    s.ExpectSkinShowsList(std::string("switch-on over a ") + mode + "-selection list");
  }
}

// ---- Focus notifications -----------------------------------------------------------------------

TEST(FocusNotifications, TheHostHearsItsListGainAndLoseFocusOnceAsUnskinned) {
  std::vector<std::string> told;
  for (bool skinned : {false, true}) {
    InputScene s(ListOf(20), skinned);
    const HWND elsewhere = MakeChild(s.top.hWnd(), 11, WS_CHILD | WS_VISIBLE | WS_BORDER, 330, 10,
                                     120, 22, "EDIT");
    s.Start();
    s.ClickRow(2);
    s.ClickRow(5);
    user::Key(VK_DOWN, user::kNone, 2);
    RECT rc = {};
    ::GetWindowRect(elsewhere, &rc);
    user::Click({rc.left + 10, rc.top + 8});
    EXPECT_EQ(::GetFocus(), elsewhere) << RunName(skinned) << ": a click on the edit box";
    told.push_back(CodeNames(s.Codes()));
  }
  EXPECT_EQ(told[0], "[SETFOCUS SELCHANGE SELCHANGE SELCHANGE SELCHANGE KILLFOCUS]")
      << "the reference run";
  EXPECT_EQ(told[1], told[0]) << "what the host's list told the host (skinned, unskinned)";
}

TEST(FocusNotifications, TheHostGivingItsListTheFocusPutsItOnTheSkinAndKeysSelectOnceEach) {
  std::vector<Outcome> runs;
  for (bool skinned : {false, true}) {
    InputScene s(ListOf(20), skinned);
    s.Start();
    s.ToList(LB_SETCURSEL, 2);
    s.top.notifications.clear();
    ::SetFocus(s.list);
    user::Settle();
    user::Key(VK_DOWN, user::kNone, 3);
    EXPECT_EQ(::GetFocus(), s.view()) << s.run() << ": the focus is where the user sees the list";
    runs.push_back(s.Result());
  }
  EXPECT_EQ(CodeNames(runs[0].codes), "[SETFOCUS SELCHANGE SELCHANGE SELCHANGE]")
      << "the reference run";
  EXPECT_EQ(CodeNames(runs[1].codes), CodeNames(runs[0].codes)) << "skinned, unskinned";
  ExpectAsUnskinned("the host focuses its list, Down x3", runs);
}

// Where the host's own handlers, or the host's list, put the focus and the selection: a host that
// clears this list's selection when its other list loses the focus (before the click selects, as
// unskinned); a simple combo box's list, whose clicks leave the focus in the combo's edit box; and
// the caret row's focus rectangle after keys, as a repaint shows it.
TEST(FocusNotifications, FocusAndSelectionEndWhereTheHostAndItsListPutThem) {
  std::vector<std::string> ends;
  for (bool skinned : {false, true}) {
    std::string end;
    {
      InputScene s(ListOf(20), skinned);
      const HWND other = MakeChild(s.top.hWnd(), 12, kSingle, 330, 10, 120, 120);
      AddItems(other, 3);
      s.top.OnCommand = [&](const Notification& n) {
        if (n.hFrom == other && n.nCode == LBN_KILLFOCUS) s.ToList(LB_SETCURSEL, -1);
      };
      s.Start();
      user::Click(user::RowPoint(other, 1));
      s.ClickRow(4);
      end += "cleared by the other list: selection " + std::to_string(s.ToList(LB_GETCURSEL)) +
             (::GetFocus() == s.view() ? ", focus on the list; " : ", focus elsewhere; ");
      // The caret row after keys shows what a repaint shows: its focus rectangle, whose dots
      // stand out on the row's top edge against the fill at its right end.
      user::Key(VK_DOWN, user::kNone, 2);
      RECT row = {};
      ::SendMessageA(s.view(), LB_GETITEMRECT, 6, reinterpret_cast<LPARAM>(&row));
      auto caretRow = [&s, &row] {
        const ClientPixels pixels(s.view());
        std::vector<COLORREF> shown;
        for (int y = row.top; y < row.bottom; ++y)
          for (int x = row.left; x < row.right; ++x) shown.push_back(pixels.At(x, y));
        return shown;
      };
      const std::vector<COLORREF> afterKeys = caretRow();
      const int width = row.right - row.left;
      const COLORREF fill = afterKeys[((row.bottom - row.top) / 2) * width + width - 3];
      const bool framed = std::any_of(afterKeys.begin(), afterKeys.begin() + width,
                                      [fill](COLORREF c) { return c != fill; });
      ::InvalidateRect(s.view(), nullptr, TRUE);
      end += afterKeys == caretRow() && framed ? "keys draw the caret's focus as a repaint; "
                                               : "keys draw the caret otherwise; ";
    }
    TopWindow top;
    const HWND combo = MakeChild(top.hWnd(), 20, WS_CHILD | WS_VISIBLE | CBS_SIMPLE, 10, 10, 200,
                                 200, "COMBOBOX");
    for (const char* font : {"Arial", "Courier", "Tahoma", "Verdana"})
      ::SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(font));
    COMBOBOXINFO parts = {};
    parts.cbSize = sizeof parts;
    ASSERT_TRUE(::GetComboBoxInfo(combo, &parts));
    if (skinned) Lib().CreateHook(parts.hwndList, parts.hwndList);
    user::TakeForeground(top.hWnd());
    ::SetFocus(parts.hwndItem);
    user::Settle();
    const HWND view = skinned ? MirrorOf(FindPanel(combo)) : parts.hwndList;
    user::Click(user::RowPoint(view, 2));
    char typed[32] = {};
    ::GetWindowTextA(parts.hwndItem, typed, sizeof typed);
    end += std::string("combo: focus ") +
           (::GetFocus() == parts.hwndItem ? "in its edit" : "elsewhere") + ", edit shows " + typed;
    if (skinned) Lib().CreateHook(nullptr, nullptr);
    ends.push_back(end);
  }
  EXPECT_EQ(ends[0],
            "cleared by the other list: selection 4, focus on the list; keys draw the caret's focus "
            "as a repaint; combo: focus in its edit, edit shows Tahoma")
      << "the reference run";
  EXPECT_EQ(ends[1], ends[0]) << "skinned, unskinned";
}

// ---- A combo box's list -------------------------------------------------------------------------

// A combo box's own list skinned with kslSkinAttach, dropped and picked with the mouse (press, move,
// release) and the keys (Alt+Down, Down, Enter; Escape once the pointer took a row), and typed
// into: the host hears the same CBN_ codes, the combo box shows the same text and keeps the focus,
// as unskinned. Dropped, the skin shows the selected row's look, then the pointer's row's; after
// each roll-up the screen shows what it showed before.
TEST(ComboLists, DroppedPickedCancelledAndTypedAsUnskinnedWithTheLookSeenWhileDropped) {
  KSLLOOK look = LookOf(KSLLOOK_SELECTION | KSLLOOK_HOT);
  look.crSelBk = RGB(0xC0, 0x30, 0x30), look.crHotBk = RGB(0xF0, 0xD0, 0x20);
  look.bSelAlpha = look.bHotAlpha = 255, look.crSelText = look.crHotText = KSLCLR_DEFAULT;
  for (DWORD style : {CBS_DROPDOWN, CBS_DROPDOWNLIST, CBS_SIMPLE,
                      CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS}) {
    const bool drops = (style & 3) != CBS_SIMPLE;
    std::string runs[2];
    for (bool skinned : {false, true}) {
      TopWindow top;
      const HWND combo = MakeChild(top.hWnd(), 20, WS_CHILD | WS_VISIBLE | WS_VSCROLL | style, 10,
                                   10, 200, 200, "COMBOBOX");
      for (const char* font : {"Arial", "Courier", "Gamma", "Tahoma", "Verdana", "Zeta"})
        ::SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(font));
      COMBOBOXINFO parts = {sizeof parts, {}, {}, 0, nullptr, nullptr, nullptr};
      ::GetComboBoxInfo(combo, &parts);
      const HWND list = parts.hwndList;
      ASSERT_TRUE(!skinned || Lib().SkinSetLook(Lib().SkinAttach(list), &look)) << style;
      // Rows the host draws keep the classic selection, whatever the look: theirs is not read.
      const bool lookRead = skinned && drops && !(style & CBS_OWNERDRAWFIXED);
      auto rowShows = [list](int row) {  // at the row's right end, where its text does not reach
        RECT rc = {};
        ::SendMessageA(list, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rc));
        POINT at = {rc.right - 4, (rc.top + rc.bottom) / 2};
        ::ClientToScreen(list, &at);
        return PixelAt(::GetDesktopWindow(), at.x, at.y);
      };
      const COLORREF beforeDrop = rowShows(3);
      auto told = [&](const char* gesture) {
        user::Settle();
        char text[32] = {};
        ::GetWindowTextA(combo, text, sizeof text);
        const bool focused = ::GetFocus() == combo || ::IsChild(combo, ::GetFocus());
        // The place is painted again once the host's loop gets to it, later on a busy machine.
        for (int waited = 0; drops && rowShows(3) != beforeDrop && waited < 1000; waited += 50)
          user::Settle(50);
        runs[skinned] += std::string(gesture) + text + (focused ? "" : " focus lost") +
                         (drops && rowShows(3) != beforeDrop ? " the place changed:" : ":");
        for (const Notification& n : top.notifications)
          if (n.hFrom == combo) runs[skinned] += " " + std::to_string(n.nCode);
        top.notifications.clear();
      };
      user::TakeForeground(top.hWnd());
      ::SetFocus(combo);
      told("focus ");
      RECT box = {};
      ::GetWindowRect(combo, &box);
      user::WaitOutDoubleClick();
      user::Drag({box.right - 8, box.top + 8}, user::RowPoint(list, 2, 150), 6);
      told("; mouse ");
      for (WORD last : {VK_RETURN, VK_ESCAPE}) {
        user::MoveTo({box.right + 200, box.top});
        user::Key(VK_DOWN, user::kAlt);
        user::Key(VK_DOWN);
        const int selected = static_cast<int>(::SendMessageA(list, LB_GETCURSEL, 0, 0));
        EXPECT_EQ(lookRead ? rowShows(selected) : look.crSelBk, look.crSelBk) << style;
        if (last == VK_ESCAPE) user::MoveTo(user::RowPoint(list, 1, 150));
        EXPECT_EQ(lookRead && last == VK_ESCAPE ? rowShows(1) : look.crHotBk, look.crHotBk) << style;
        user::Key(last);
        told(last == VK_RETURN ? "; Alt+Down Down Enter " : "; Alt+Down Down, row 1, Escape ");
      }
      user::Key('T');
      told("; T ");
    }
    // CBN_DROPDOWN 7, SELENDOK 9, CLOSEUP 8, SELCHANGE 1: the drop and the pick were made.
    EXPECT_TRUE(!drops || runs[0].find("mouse Gamma: 7 9 8 1;") != std::string::npos) << runs[0];
    EXPECT_EQ(runs[1], runs[0]) << "style " << style << " (skinned, unskinned)";
  }
}
