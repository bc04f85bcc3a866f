// Odd lists and odd messages: every kind of list box a host may have, sent the messages hosts get
// wrong (reversed ranges, indexes past the end, a deleted font, item heights out of range, a
// folder listing), and subclasses of the host's own that change what a message does. After each
// step the skin must show what the host's list holds; after switch-off the list must work as
// before.
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "AdversarialHost.h"
#include "HostKit.h"
#include "Isolation.h"
#include "UserInput.h"

using namespace host;
using adversary::HowTheListFails;
using adversary::HowTheSkinDiffers;
using adversary::PanelsIn;
using adversary::ProcOf;

namespace {

LPARAM Text(const char* s) { return reinterpret_cast<LPARAM>(s); }
constexpr WPARAM kAll = static_cast<WPARAM>(-1);

// A folder with a few files, for LB_DIR.
std::string MakeFolder() {
  const std::string folder = ScratchPath("dir");
  ::CreateDirectoryA(folder.c_str(), nullptr);
  for (const char* name : {"b.txt", "a.txt", "c.dat", "d.txt"}) {
    const std::string path = folder + "\\" + name;
    if (FILE* f = std::fopen(path.c_str(), "wb")) std::fclose(f);
  }
  return folder;
}

struct ListKind {
  const char* name;
  DWORD style;
  bool unicode;
  int rows;
  const char* rowPrefix;  // the rows' texts; null for rows of item data only
};

constexpr DWORD kBase = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_BORDER | LBS_NOTIFY |
                        LBS_NOINTEGRALHEIGHT;

const ListKind kKinds[] = {
    {"Sorted", kBase | LBS_SORT, false, 30, "row "},
    {"SortedExtended", kBase | LBS_SORT | LBS_EXTENDEDSEL, false, 30, "row "},
    {"OwnerDrawnWithoutTexts", kBase | LBS_OWNERDRAWFIXED, false, 30, nullptr},
    {"OwnerDrawnVariableWithTexts", kBase | LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS, false, 30,
     "row "},
    {"NoData", kBase | LBS_OWNERDRAWFIXED | LBS_NODATA, false, 30, nullptr},
    {"MultiColumn", kBase | WS_HSCROLL | LBS_MULTICOLUMN, false, 60, "row "},
    {"NoSelection", kBase | LBS_NOSEL, false, 30, "row "},
    {"MultipleSelection", kBase | LBS_MULTIPLESEL, false, 30, "row "},
    {"Disabled", kBase | WS_DISABLED, false, 30, "row "},
    {"Unicode", kBase | LBS_EXTENDEDSEL, true, 30, "row "},
    {"Empty", kBase, false, 0, "row "},
    {"AHundredThousandRows", kBase, false, 100000, "row "},
};

void Fill(HWND list, const ListKind& kind) {
  ::SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  if (kind.style & LBS_NODATA) {
    ::SendMessageA(list, LB_SETCOUNT, static_cast<WPARAM>(kind.rows), 0);
  } else if (kind.rowPrefix == nullptr) {
    for (int i = 0; i < kind.rows; ++i) ::SendMessageA(list, LB_ADDSTRING, 0, 1000 + i);
  } else {
    ::SendMessageA(list, LB_INITSTORAGE, static_cast<WPARAM>(kind.rows), kind.rows * 16);
    char text[32];
    for (int i = 0; i < kind.rows; ++i) {
      std::snprintf(text, sizeof text, "%s%06d", kind.rowPrefix, (i * 7919) % 100003);
      ::SendMessageA(list, LB_ADDSTRING, 0, Text(text));
    }
  }
  ::SendMessageA(list, WM_SETREDRAW, TRUE, 0);
}

// One thing a host does to its list.
struct Step {
  const char* what;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

void RunOddList(const ListKind& kind) {
  SceneOptions o;
  o.items = 0;
  o.style = kind.style;
  o.unicode = kind.unicode;
  HostScene h(o);
  Fill(h.list, kind);
  const LONG_PTR ownProc = ProcOf(h.list);
  const std::string folder = MakeFolder();
  const std::string pattern = folder + "\\*.txt";
  const std::string longText(100000, 'w');
  HFONT deleted = ::CreateFontA(-19, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
  ::DeleteObject(deleted);

  h.On();
  ASSERT_TRUE(h.IsOn());
  EXPECT_EQ(HowTheSkinDiffers(h.mirror, h.list), "") << "at switch-on";

  const bool texts = kind.rowPrefix != nullptr && !(kind.style & LBS_NODATA);
  const LPARAM row = texts ? Text("added by the host") : 4242;
  const std::vector<Step> steps = {
      {"add a row", LB_ADDSTRING, 0, row},
      {"add a row of no characters", LB_ADDSTRING, 0, texts ? Text("") : 0},
      {"add a row of 100,000 characters", LB_ADDSTRING, 0,
       texts ? Text(longText.c_str()) : 7},
      {"insert at -1 (the end)", LB_INSERTSTRING, kAll, row},
      {"insert past the end", LB_INSERTSTRING, 1000000, row},
      {"delete past the end", LB_DELETESTRING, 1000000, 0},
      {"delete row -1", LB_DELETESTRING, kAll, 0},
      {"select past the end", LB_SETCURSEL, 1000000, 0},
      {"select row 2", LB_SETCURSEL, 2, 0},
      {"select nothing", LB_SETCURSEL, kAll, 0},
      {"select all (-1)", LB_SETSEL, TRUE, -1},
      {"a reversed range", LB_SELITEMRANGEEX, 9, 3},
      {"a range past the end", LB_SELITEMRANGEEX, 5, 1000000},
      {"a reversed range again, to deselect", LB_SELITEMRANGEEX, 2, 7},
      {"caret past the end", LB_SETCARETINDEX, 1000000, FALSE},
      {"anchor past the end", LB_SETANCHORINDEX, 1000000, 0},
      {"top row past the end", LB_SETTOPINDEX, 1000000, 0},
      {"top row -1", LB_SETTOPINDEX, kAll, 0},
      {"a deleted font", WM_SETFONT, reinterpret_cast<WPARAM>(deleted), TRUE},
      {"item height 0", LB_SETITEMHEIGHT, 0, 0},
      {"item height 255", LB_SETITEMHEIGHT, 0, 255},
      {"item height 256", LB_SETITEMHEIGHT, 0, 256},
      {"item height -1", LB_SETITEMHEIGHT, 0, -1},
      {"item height of row -1", LB_SETITEMHEIGHT, kAll, 40},
      {"item height of row 3", LB_SETITEMHEIGHT, 3, 33},
      {"item height 18", LB_SETITEMHEIGHT, 0, 18},
      {"a count on a list", LB_SETCOUNT, 5, 0},
      {"a column width of 0", LB_SETCOLUMNWIDTH, 0, 0},
      {"a huge horizontal extent", LB_SETHORIZONTALEXTENT, 0x7FFF, 0},
      {"a folder's .txt files", LB_DIR, DDL_READWRITE, Text(pattern.c_str())},
      {"a folder that is not there", LB_DIR, DDL_READWRITE, Text("C:\\no\\such\\*.*")},
      {"storage for a million rows", LB_INITSTORAGE, 1000000, 0},
      {"select row 1", LB_SETCURSEL, 1, 0},
      {"empty it", LB_RESETCONTENT, 0, 0},
      {"a count on the empty list", LB_SETCOUNT, 12, 0},
      {"add to the empty list", LB_ADDSTRING, 0, row},
  };
  for (const Step& s : steps) {
    // Wine's own multi-column list divides by its column width: a width of 0 ends the host,
    // skinned or not.
    if (s.message == LB_SETCOLUMNWIDTH && (kind.style & LBS_MULTICOLUMN)) continue;
    // A Unicode host speaks in wide texts: the step's narrow text is widened for it.
    std::wstring wide;
    LPARAM lParam = s.lParam;
    const bool textParameter = texts && (s.message == LB_ADDSTRING ||
                                         s.message == LB_INSERTSTRING || s.message == LB_DIR);
    if (kind.unicode && textParameter) {
      const char* narrow = reinterpret_cast<const char*>(s.lParam);
      wide.assign(narrow, narrow + std::strlen(narrow));
      lParam = reinterpret_cast<LPARAM>(wide.c_str());
      ::SendMessageW(h.list, s.message, s.wParam, lParam);
    } else if (kind.unicode) {
      ::SendMessageW(h.list, s.message, s.wParam, lParam);
    } else {
      ::SendMessageA(h.list, s.message, s.wParam, lParam);
    }
    EXPECT_EQ(HowTheSkinDiffers(h.mirror, h.list), "") << "after \"" << s.what << "\"";
  }
  // The user clicks the skin's second row.
  if (h.ToList(LB_GETCOUNT) > 1 && ::IsWindowEnabled(h.mirror)) {
    RECT rc = {};
    h.ToMirror(LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&rc));
    const LPARAM at = MAKELPARAM(rc.left + 5, rc.top + 2);
    h.ToMirror(WM_LBUTTONDOWN, MK_LBUTTON, at);
    h.ToMirror(WM_LBUTTONUP, 0, at);
    EXPECT_EQ(HowTheSkinDiffers(h.mirror, h.list), "") << "after a click on the skin";
  }
  h.Off();
  EXPECT_EQ(PanelsIn(h.container), 0);
  EXPECT_EQ(HowTheListFails(h.list, ownProc), "") << "after switch-off";
}

const bool kOddListsRegistered = [] {
  for (const ListKind& k : kKinds)
    isolation::Register(std::string("OddLists_") + k.name, [&k] { RunOddList(k); }, "OddLists");
  return true;
}();

}  // namespace

// Under Wine, an ANSI LB_GETTEXT that reaches a Unicode window procedure is converted through a
// fixed buffer of 512 characters on the stack. The host's own Unicode list answers an ANSI
// LB_GETTEXT itself, for a row of any length; any Unicode procedure in front of the list (the
// skin's, or a Unicode subclass of the host's own) sends the question through that buffer, and a
// row of 512 characters or more overwrites the stack (seen: a row of 600 made the process jump to
// 0x00770077, "ww"). Rows up to 511 characters read as they do unskinned.
CHILD_TEST(UnicodeList, AnAnsiReadOfALongRowIsAsSafeSkinnedAsUnskinned) {
  SceneOptions o;
  o.unicode = true;
  o.items = 3;
  HostScene h(o);
  const std::wstring longRow(511, L'w');
  ::SendMessageW(h.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(longRow.c_str()));
  std::vector<char> buffer(2 * longRow.size() + 1);
  EXPECT_EQ(::SendMessageA(h.list, LB_GETTEXT, 3, reinterpret_cast<LPARAM>(buffer.data())), 511)
      << "unskinned";
  h.On();
  ASSERT_TRUE(h.IsOn());
  std::fill(buffer.begin(), buffer.end(), '\0');
  EXPECT_EQ(::SendMessageA(h.list, LB_GETTEXT, 3, reinterpret_cast<LPARAM>(buffer.data())), 511)
      << "skinned";
  EXPECT_EQ(std::string(buffer.data()), std::string(511, 'w'));
}

// The listing itself, with the host's selection made before it: LB_DIR on a sorted list is
// copied afresh into the skin, and the copy must keep showing the list's selection and caret. A
// single-selection list's caret can end up on another row than its selection here, which no
// message can give a list with a selection: there the skin's caret is its selected row.
CHILD_TEST(SortedList, AFolderListingKeepsTheSelectionAndCaretTheSkinShows) {
  for (DWORD mode : {DWORD{0}, DWORD{LBS_EXTENDEDSEL}}) {
    SceneOptions o;
    o.style = kBase | LBS_SORT | mode;
    o.items = 10;
    HostScene h(o);
    h.On();
    if (mode) {
      h.ToList(LB_SELITEMRANGEEX, 2, 4);
    } else {
      h.ToList(LB_SETCURSEL, 3);
    }
    ASSERT_EQ(HowTheSkinDiffers(h.mirror, h.list), "");
    const std::string pattern = MakeFolder() + "\\*.txt";
    EXPECT_GT(h.ToList(LB_DIR, DDL_READWRITE, Text(pattern.c_str())), 0);
    Pump();
    if (mode) {
      EXPECT_EQ(HowTheSkinDiffers(h.mirror, h.list), "") << "extended selection";
    } else {
      EXPECT_EQ(ItemsOf(h.mirror), ItemsOf(h.list)) << "single selection";
      EXPECT_EQ(h.ToMirror(LB_GETCURSEL), h.ToList(LB_GETCURSEL)) << "single selection";
      EXPECT_EQ(h.ToMirror(LB_GETTOPINDEX), h.ToList(LB_GETTOPINDEX)) << "single selection";
    }
  }
}

// ---- Subclasses of the host's from before the skin that change what a message does --------------

namespace {

// A log window's list: the host's subclass, made before the skin, puts the newest line on top.
WNDPROC g_newestFirstFound = nullptr;
LRESULT CALLBACK NewestFirst(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == LB_ADDSTRING) return ::CallWindowProcA(g_newestFirstFound, h, LB_INSERTSTRING, 0, l);
  return ::CallWindowProcA(g_newestFirstFound, h, m, w, l);
}

// A list that keeps each text once: the host's subclass answers a second LB_ADDSTRING of the same
// text with the row it already has.
WNDPROC g_noDuplicatesFound = nullptr;
LRESULT CALLBACK NoDuplicates(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == LB_ADDSTRING) {
    const LRESULT at = ::CallWindowProcA(g_noDuplicatesFound, h, LB_FINDSTRINGEXACT, kAll, l);
    if (at != LB_ERR) return at;
  }
  return ::CallWindowProcA(g_noDuplicatesFound, h, m, w, l);
}

// What the host reads for the row the user clicked on the skin.
std::string HostsTextForClickedSkinRow(HostScene& h, int row) {
  RECT rc = {};
  h.ToMirror(LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rc));
  const LPARAM at = MAKELPARAM(rc.left + 5, rc.top + 2);
  h.ToMirror(WM_LBUTTONDOWN, MK_LBUTTON, at);
  h.ToMirror(WM_LBUTTONUP, 0, at);
  const LRESULT selected = h.ToList(LB_GETCURSEL);
  return selected >= 0 ? ItemsOf(h.list)[static_cast<size_t>(selected)] : "(nothing)";
}

}  // namespace

TEST(HostsEarlierSubclass, ALogListThatPutsTheNewestLineOnTopIsShownInItsOrder) {
  SceneOptions o;
  o.items = 0;
  HostScene h(o);
  g_newestFirstFound = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
      h.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&NewestFirst)));
  h.ToList(LB_ADDSTRING, 0, Text("09:00 started"));
  h.On();
  h.ToList(LB_ADDSTRING, 0, Text("09:01 connected"));
  h.ToList(LB_ADDSTRING, 0, Text("09:02 failed"));
  EXPECT_EQ(ItemsOf(h.mirror), ItemsOf(h.list));
  // The user clicks the skin's top line, which reads "09:02 failed" in the host's list.
  const std::string shown = ItemsOf(h.mirror)[0];
  EXPECT_EQ(HostsTextForClickedSkinRow(h, 0), shown) << "the row the host got for the click";
  h.Off();
  ::SetWindowLongPtrA(h.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_newestFirstFound));
}

TEST(HostsEarlierSubclass, AListThatKeepsEachTextOnceShowsEachTextOnce) {
  HostScene h;  // "Item 0" to "Item 9"
  g_noDuplicatesFound = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
      h.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&NoDuplicates)));
  h.On();
  EXPECT_EQ(h.ToList(LB_ADDSTRING, 0, Text("Item 3")), 3) << "the host's subclass answered";
  h.ToList(LB_ADDSTRING, 0, Text("Item 10"));
  Pump();  // the skin shows what the host's list holds once the host's loop has run
  EXPECT_EQ(ItemsOf(h.mirror), ItemsOf(h.list));
  // The skin's last row is "Item 10" in the host's list.
  const int last = static_cast<int>(h.ToMirror(LB_GETCOUNT)) - 1;
  EXPECT_EQ(HostsTextForClickedSkinRow(h, last), ItemsOf(h.mirror).back())
      << "the row the host got for a click on the skin's last row";
  h.Off();
  ::SetWindowLongPtrA(h.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_noDuplicatesFound));
}

// The host's own subclass from before the skin, removed the usual way (putting back what it found)
// while the skin is on: that takes the skin's procedure out of the list's chain with it, as it
// would take out any subclass made after the host's. The library cannot tell this from a subclass
// made over its own, and still hands the user's input to the procedure it replaced (the host's);
// what holds is that nothing breaks and switching off gives the host a working list.
namespace {
WNDPROC g_earlierFound = nullptr;
bool g_earlierRemoved = false;
LRESULT CALLBACK EarlierSubclass(HWND h, UINT m, WPARAM w, LPARAM l) {
  return ::CallWindowProcA(g_earlierFound, h, m, w, l);
}
}  // namespace

TEST(HostsEarlierSubclass, OnceTheHostRemovedItWhileOnTheSkinNeverCallsItAgain) {
  HostScene h;
  const LONG_PTR ownProc = ProcOf(h.list);
  g_earlierRemoved = false;
  g_earlierFound = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
      h.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EarlierSubclass)));
  h.On();
  ::SetWindowLongPtrA(h.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_earlierFound));
  g_earlierRemoved = true;
  // The host goes on with its list; the user clicks a row of the skin and presses a key there.
  h.ToList(LB_ADDSTRING, 0, Text("added after the removal"));
  RECT rc = {};
  h.ToMirror(LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&rc));
  h.ToMirror(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(rc.left + 5, rc.top + 2));
  h.ToMirror(WM_LBUTTONUP, 0, MAKELPARAM(rc.left + 5, rc.top + 2));
  h.ToMirror(WM_KEYDOWN, VK_DOWN, 1);
  Pump();
  EXPECT_EQ(h.ToList(LB_GETCURSEL), 3) << "the row below the clicked one, in the host's list";
  h.Off();
  EXPECT_TRUE(UserMeets(h.list));
  EXPECT_EQ(HowTheListFails(h.list, ownProc), "");
  g_earlierRemoved = false;
}
