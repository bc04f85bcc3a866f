// Hosts that switch the skin off, or off and on again, from inside whatever the library hands back
// to them or sets off in them: notifications of their list, their parent's list-key messages, the
// focus notifications, their own subclass of the list, a modal loop, and the switch-on itself.
// Each runs in a process of its own, so that a crash fails one test.
//
// Three moments come while the host's list has yet to act on the message that set them off: the
// parent's WM_VKEYTOITEM comes before the list moves its selection for the key, and the host's
// own subclass sees LB_ADDSTRING before the list adds the row. A skin switched on again there must
// still show what the list holds once the message is done.
#include <gtest/gtest.h>

#include <cstdio>

#include <memory>
#include <string>
#include <vector>

#include "AdversarialHost.h"
#include "GdiCounter.h"
#include "HostKit.h"
#include "Isolation.h"

using namespace host;
using adversary::CountThreadWindows;
using adversary::HowTheListFails;
using adversary::HowTheSkinDiffers;
using adversary::PanelsIn;
using adversary::ProcOf;

namespace {

LPARAM Text(const char* s) { return reinterpret_cast<LPARAM>(s); }

// What the host does when the moment comes.
enum class Toggle {
  kOff,       // switches the skin off
  kOffAndOn,  // switches it off, adds a row, and switches it on again over the same list
};

// Where the moment comes from.
enum class Moment {
  kDoubleClick,      // LBN_DBLCLK after a double-click on the skin
  kContextMenu,      // WM_CONTEXTMENU at the parent after a right click on the skin
  kVKeyToItem,       // WM_VKEYTOITEM at the parent after a key on the skin
  kSetFocus,         // LBN_SETFOCUS when the skin takes the focus
  kKillFocus,        // LBN_KILLFOCUS when the skin loses it
  kSubclassBelow,    // the host's own subclass, made before the skin, sees LB_ADDSTRING
  kSubclassAbove,    // the host's own subclass, made while the skin is on, sees LB_ADDSTRING
  kModalLoop,        // a timer in a message box the host opens from its LBN_DBLCLK handler
};

const char* NameOf(Moment m) {
  switch (m) {
    case Moment::kDoubleClick: return "DoubleClick";
    case Moment::kContextMenu: return "ContextMenu";
    case Moment::kVKeyToItem: return "VKeyToItem";
    case Moment::kSetFocus: return "SetFocus";
    case Moment::kKillFocus: return "KillFocus";
    case Moment::kSubclassBelow: return "SubclassBelow";
    case Moment::kSubclassAbove: return "SubclassAbove";
    case Moment::kModalLoop: return "ModalLoop";
  }
  return "?";
}

std::string ScenarioName(Moment m, Toggle t) {
  return std::string("Reentry_") + NameOf(m) + (t == Toggle::kOff ? "_Off" : "_OffAndOn");
}

// The host's window, with an edit box beside the list that can take the focus.
struct ReentryHost : HostScene {
  explicit ReentryHost(DWORD style) : HostScene(Options(style)) {
    edit = MakeChild(top.hWnd(), 300, WS_CHILD | WS_VISIBLE | WS_BORDER, 320, 10, 200, 24, "EDIT");
    ::SetForegroundWindow(top.hWnd());
    Pump();
  }
  static SceneOptions Options(DWORD style) {
    SceneOptions o;
    o.style = style;
    o.items = 12;
    return o;
  }
  void DoToggle(Toggle t) {
    Lib().CreateHook(nullptr, nullptr);
    if (t == Toggle::kOffAndOn) {
      ToList(LB_ADDSTRING, 0, Text("added between off and on"));
      Lib().CreateHook(reference, list);
    }
  }
  HWND edit = nullptr;
};

BOOL CALLBACK TakeVisibleDialog(HWND h, LPARAM out) {
  char cls[16] = {};
  ::GetClassNameA(h, cls, sizeof cls);
  if (std::string(cls) != "#32770" || !::IsWindowVisible(h)) return TRUE;
  *reinterpret_cast<HWND*>(out) = h;
  return FALSE;
}

// The message box the host opened: a visible top-level dialog of this thread.
HWND OpenMessageBox() {
  HWND found = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), &TakeVisibleDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

ReentryHost* g_modalHost = nullptr;
Toggle g_modalToggle = Toggle::kOff;
bool g_modalToggled = false;

void CALLBACK ToggleInsideTheBox(HWND, UINT, UINT_PTR id, DWORD) {
  HWND box = OpenMessageBox();
  if (box == nullptr) return;
  ::KillTimer(nullptr, id);
  if (!g_modalToggled) {
    g_modalToggled = true;
    g_modalHost->DoToggle(g_modalToggle);
    // Let the box's loop paint what the toggle left before the box goes.
    ::RedrawWindow(g_modalHost->top.hWnd(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
  ::EndDialog(box, IDOK);
}

void RunReentry(Moment moment, Toggle toggle) {
  DWORD style = kPlainListStyle | LBS_NOINTEGRALHEIGHT;
  if (moment == Moment::kVKeyToItem) style |= LBS_WANTKEYBOARDINPUT;
  ReentryHost h(style);
  const LONG_PTR ownProc = ProcOf(h.list);
  const int windowsBefore = CountThreadWindows();

  // The host's own subclass from before the skin, and one over the skin on the parent.
  std::unique_ptr<MessageRecorder> below;
  if (moment == Moment::kSubclassBelow) below = std::make_unique<MessageRecorder>(h.list);
  MessageRecorder parent(h.top.hWnd());

  h.On();
  ASSERT_TRUE(h.IsOn());
  std::unique_ptr<MessageRecorder> above;
  if (moment == Moment::kSubclassAbove) above = std::make_unique<MessageRecorder>(h.list);
  if (moment == Moment::kKillFocus || moment == Moment::kSetFocus) {
    ::SetFocus(moment == Moment::kKillFocus ? h.mirror : h.edit);
    Pump();
  }

  bool toggled = false;
  auto once = [&] {
    if (toggled) return;
    toggled = true;
    h.DoToggle(toggle);
  };
  h.top.OnCommand = [&](const Notification& n) {
    if (n.hFrom != h.list) return;
    if ((moment == Moment::kDoubleClick && n.nCode == LBN_DBLCLK) ||
        (moment == Moment::kSetFocus && n.nCode == LBN_SETFOCUS) ||
        (moment == Moment::kKillFocus && n.nCode == LBN_KILLFOCUS))
      once();
    if (moment == Moment::kModalLoop && n.nCode == LBN_DBLCLK && !toggled) {
      toggled = true;
      g_modalHost = &h;
      g_modalToggle = toggle;
      ::SetTimer(nullptr, 0, 30, &ToggleInsideTheBox);
      ::MessageBoxA(h.top.hWnd(), "Open this row?", "host", MB_OK);
    }
  };
  parent.onMessage = [&](UINT m) {
    if ((moment == Moment::kContextMenu && m == WM_CONTEXTMENU) ||
        (moment == Moment::kVKeyToItem && m == WM_VKEYTOITEM))
      once();
  };
  MessageRecorder* own = below ? below.get() : above.get();
  if (own != nullptr) own->onMessage = [&](UINT m) {
    if (m == LB_ADDSTRING) once();
  };

  const POINT row = {10, 3 * static_cast<int>(h.ToMirror(LB_GETITEMHEIGHT)) + 2};
  const LPARAM at = MAKELPARAM(row.x, row.y);
  switch (moment) {
    case Moment::kDoubleClick:
    case Moment::kModalLoop:
      h.ToMirror(WM_LBUTTONDOWN, MK_LBUTTON, at);
      h.ToMirror(WM_LBUTTONUP, 0, at);
      h.ToMirror(WM_LBUTTONDBLCLK, MK_LBUTTON, at);
      h.ToMirror(WM_LBUTTONUP, 0, at);
      break;
    case Moment::kContextMenu:
      h.ToMirror(WM_RBUTTONDOWN, MK_RBUTTON, at);
      h.ToMirror(WM_RBUTTONUP, 0, at);
      break;
    case Moment::kVKeyToItem:
      h.ToMirror(WM_KEYDOWN, VK_DOWN, 1);
      h.ToMirror(WM_KEYUP, VK_DOWN, 0xC0000001);
      break;
    case Moment::kSetFocus:
      ::SetFocus(h.mirror);
      break;
    case Moment::kKillFocus:
      ::SetFocus(h.edit);
      break;
    case Moment::kSubclassBelow:
    case Moment::kSubclassAbove:
      h.ToList(LB_ADDSTRING, 0, Text("the row that sets it off"));
      break;
  }
  Pump();
  h.top.OnCommand = nullptr;
  parent.onMessage = nullptr;
  if (own != nullptr) own->onMessage = nullptr;
  if (moment == Moment::kModalLoop) toggled = g_modalToggled;
  ASSERT_TRUE(toggled) << "the moment never came";

  if (toggle == Toggle::kOffAndOn) {
    EXPECT_EQ(PanelsIn(h.container), 1) << "one skin, the new one";
    EXPECT_FALSE(UserMeets(h.list)) << "the list hidden under the new skin";
    HWND mirror = MirrorOf(FindPanel(h.container));
    EXPECT_EQ(HowTheSkinDiffers(mirror, h.list), "") << "the new skin at once";
    h.ToList(LB_ADDSTRING, 0, Text("added after the new skin went on"));
    EXPECT_EQ(HowTheSkinDiffers(mirror, h.list), "") << "the new skin follows the list";
    Lib().CreateHook(nullptr, nullptr);
  }
  Pump();
  EXPECT_EQ(PanelsIn(h.container), 0) << "no skin left behind";
  // Subclasses of the host's own are still in the chain; the procedure is checked once they left.
  EXPECT_EQ(HowTheListFails(h.list, 0), "");
  above.reset();
  below.reset();
  // A pass-through the library left under the host's subclass goes with the list's next message.
  EXPECT_EQ(HowTheListFails(h.list, ownProc), "") << "once the host's own subclasses left";
  EXPECT_EQ(adversary::SettleWindowCount(windowsBefore), windowsBefore) << "windows left behind";
}

constexpr Moment kMoments[] = {Moment::kDoubleClick,   Moment::kContextMenu,
                               Moment::kVKeyToItem,    Moment::kSetFocus,
                               Moment::kKillFocus,     Moment::kSubclassBelow,
                               Moment::kSubclassAbove, Moment::kModalLoop};

const bool kRegistered = [] {
  for (Moment m : kMoments)
    for (Toggle t : {Toggle::kOff, Toggle::kOffAndOn})
      isolation::Register(ScenarioName(m, t), [m, t] { RunReentry(m, t); }, "Reentry");
  return true;
}();

}  // namespace

// ---- The switch-on itself ------------------------------------------------------------------------
//
// Making the panel sets the focus inside it (a dialog's first control takes the focus when the
// dialog is made), before the link is in place: the host's focus changes, and its list hears of
// it, in the middle of kslCreateHook.

namespace {

std::vector<int> FocusCodes(const TopWindow& top, HWND from) {
  std::vector<int> codes;
  for (const Notification& n : top.notifications)
    if (n.hFrom == from && (n.nCode == LBN_SETFOCUS || n.nCode == LBN_KILLFOCUS))
      codes.push_back(n.nCode);
  return codes;
}

}  // namespace

// The user is typing in the host's edit box when the host switches the skin on (a timer, a menu
// command given by accelerator): the keys must go on reaching the edit box, and switching off
// must not move them either.
CHILD_TEST(SwitchOn, LeavesTheKeyboardFocusInTheHostsEditBox) {
  ReentryHost h(kPlainListStyle | LBS_NOINTEGRALHEIGHT);
  ::SetFocus(h.edit);
  Pump();
  ASSERT_EQ(::GetFocus(), h.edit);
  h.On();
  Pump();
  EXPECT_EQ(::GetFocus(), h.edit) << "the focus after switch-on";
  h.Off();
  Pump();
  EXPECT_EQ(::GetFocus(), h.edit) << "the focus after switch-off";
}

// The list has the focus when the host switches on: the user's keys go on to the skin, so the
// host's list has not lost the focus as far as the user can tell. Unskinned, the host hears
// nothing until the user moves the focus away, and then one LBN_KILLFOCUS.
CHILD_TEST(SwitchOn, OverAFocusedListTellsTheHostOfOneFocusLossWhenTheUserLeaves) {
  std::vector<std::vector<int>> heard;
  for (bool skinned : {false, true}) {
    ReentryHost h(kPlainListStyle | LBS_NOINTEGRALHEIGHT);
    ::SetFocus(h.list);
    Pump();
    ASSERT_EQ(::GetFocus(), h.list);
    h.top.notifications.clear();
    if (skinned) {
      h.On();
      Pump();
      EXPECT_EQ(::GetFocus(), h.mirror) << "the keys go on to the skin";
    }
    ::SetFocus(h.edit);
    Pump();
    heard.push_back(FocusCodes(h.top, h.list));
  }
  EXPECT_EQ(heard[0], std::vector<int>{LBN_KILLFOCUS}) << "the reference run, unskinned";
  EXPECT_EQ(heard[1], heard[0])
      << "the focus notifications the host heard from its list (5: LBN_KILLFOCUS), skinned";
}

// A host whose own subclass of its list toggles the skin from a message its list gets while the
// skin goes on (here, the copy's first question of the list): the toggle comes inside the switch-on,
// while the panel is being made. It is carried out once the switch-on is done; there must never be
// two skins, and the host's list must come back whole.
CHILD_TEST(SwitchOn, AToggleFromInsideTheSwitchOnNeverMakesTwoSkins) {
  ReentryHost h(kPlainListStyle | LBS_NOINTEGRALHEIGHT);
  const LONG_PTR ownProc = ProcOf(h.list);
  static bool s_switchingOn = false;
  static bool s_toggled = false;
  static WNDPROC s_found = nullptr;
  static HostScene* s_host = nullptr;
  struct Toggler {
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
      if (s_switchingOn && !s_toggled && m == LB_GETCOUNT) {
        s_toggled = true;
        Lib().CreateHook(s_host->reference, s_host->list);
      }
      return ::CallWindowProcA(s_found, w, m, wp, lp);
    }
  };
  s_host = &h;
  s_toggled = false;
  s_found = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(h.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Toggler::Proc)));
  s_switchingOn = true;
  Lib().CreateHook(h.reference, h.list);
  s_switchingOn = false;
  Pump();
  ASSERT_TRUE(s_toggled) << "the list was asked nothing during the switch-on";
  EXPECT_LE(PanelsIn(h.container), 1) << "skins in the host's container";
  EXPECT_TRUE(UserMeets(h.list)) << "on, then off at the host's toggle";
  int visibleSkins = 0;
  for (HWND p = FindPanel(h.container); p != nullptr;
       p = ::FindWindowExA(h.container, p, "#32770", nullptr))
    visibleSkins += ::IsWindowVisible(p) ? 1 : 0;
  EXPECT_EQ(visibleSkins, 0) << "a skin still shown over the list after switch-off";
  ::SetWindowLongPtrA(h.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s_found));
  EXPECT_EQ(HowTheListFails(h.list, ownProc), "");
}

// A host handler that destroys the skin's container while the skin goes on: asked for its list's
// colours (before the library has linked the list), or asked its list's row count (after). The
// overlay is off, the list shown and its own, and the host's next call skins it.
CHILD_TEST(SwitchOn, AContainerDestroyedMeanwhileLeavesTheListShownAndItsOwn) {
  static HostScene* s_host = nullptr;
  static UINT s_destroyOn = 0;
  static WNDPROC s_found[2] = {};
  struct Destroyer {
    static LRESULT Run(int n, HWND w, UINT m, WPARAM wp, LPARAM lp) {
      if (m == s_destroyOn && s_host->container != nullptr) {
        ::DestroyWindow(s_host->container);
        s_host->container = nullptr;
      }
      return ::CallWindowProcA(s_found[n], w, m, wp, lp);
    }
    static LRESULT CALLBACK Parent(HWND w, UINT m, WPARAM wp, LPARAM lp) { return Run(0, w, m, wp, lp); }
    static LRESULT CALLBACK List(HWND w, UINT m, WPARAM wp, LPARAM lp) { return Run(1, w, m, wp, lp); }
  };
  for (UINT destroyOn : {UINT{WM_CTLCOLORLISTBOX}, UINT{LB_GETCOUNT}}) {
    ReentryHost h(kPlainListStyle | LBS_NOINTEGRALHEIGHT);
    const LONG_PTR ownProc = ProcOf(h.list);
    s_host = &h;
    s_destroyOn = destroyOn;
    s_found[0] = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
        h.top.hWnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Destroyer::Parent)));
    s_found[1] = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(h.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Destroyer::List)));
    Lib().CreateHook(h.reference, h.list);
    Pump();
    ASSERT_EQ(h.container, nullptr) << "destroyed on message " << destroyOn;
    EXPECT_TRUE(UserMeets(h.list)) << destroyOn;
    s_destroyOn = 0;
    Lib().CreateHook(h.list, h.list);
    EXPECT_NE(FindPanel(h.top.hWnd()), nullptr) << "one call skins the list again";
    Lib().CreateHook(nullptr, nullptr);
    ::SetWindowLongPtrA(h.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s_found[1]));
    ::SetWindowLongPtrA(h.top.hWnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s_found[0]));
    EXPECT_EQ(HowTheListFails(h.list, ownProc), "") << destroyOn;
  }
}

// A host whose parent window, told of the skin's panel or asked for its list's colours while a
// handle skin goes on, skins the same list again or detaches the skin under way: one skin at most,
// nothing used after it ended, and the list its own afterwards.
CHILD_TEST(SwitchOn, AHandleSkinAttachedOrDetachedFromInsideItsOwnAttachIsOneSkinOrNone) {
  static HWND s_list = nullptr;
  static UINT s_on = 0;
  static WNDPROC s_parentProc = nullptr;
  static DWORD s_nestedError = 0;
  struct Parent {
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
      if (m == s_on && s_on == WM_PARENTNOTIFY && !Lib().SkinAttach(s_list))
        s_nestedError = ::GetLastError();
      if (m == s_on && s_on == WM_CTLCOLORLISTBOX) Lib().SkinDetach(Lib().SkinOf(s_list));
      return ::CallWindowProcA(s_parentProc, w, m, wp, lp);
    }
  };
  for (UINT on : {UINT{WM_PARENTNOTIFY}, UINT{WM_CTLCOLORLISTBOX}}) {
    ReentryHost h(kPlainListStyle | LBS_NOINTEGRALHEIGHT);
    const LONG_PTR ownProc = ProcOf(h.list);
    s_list = h.list, s_on = on, s_nestedError = 0;
    s_parentProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
        h.top.hWnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Parent::Proc)));
    const auto skin = Lib().SkinAttach(h.list);
    Pump();
    s_on = 0;
    if (on == WM_PARENTNOTIFY) {
      EXPECT_EQ(s_nestedError, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    }
    EXPECT_EQ(Lib().SkinOf(h.list), on == WM_PARENTNOTIFY ? skin : nullptr) << on;
    if (skin != nullptr) Lib().SkinDetach(skin);
    Pump();
    ::SetWindowLongPtrA(h.top.hWnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s_parentProc));
    EXPECT_EQ(HowTheListFails(h.list, ownProc), "") << on;
  }
}

// ---- The wrong thing at the wrong moment, from each place the host's code runs ----------------
//
// One row for each skin kind, each call or event that runs the host's code (the exports, the host
// adding a row, the user's click), each place that code runs at (its parent's WM_CTLCOLORLISTBOX,
// WM_DRAWITEM, WM_MEASUREITEM, LBN_SELCHANGE, its own subclass behind the skin's) and each wrong
// thing it does there: ends the skin (the classic switch-off or kslSkinDetach), destroys its
// window, attaches a skin to the same list, or ends its thread (its loop returns, its windows
// left as they are). Each row's host lives on a GUI thread of its own, which then ends. The
// library's heap blocks are watched: a freed one is filled with garbage and kept from reuse, so a
// freed skin touched fails the row; and every block and GDI object must be back once the thread
// has ended.

namespace wrong {

enum class Kind { kClassic, kHandle };
enum class Trigger { kSwitchOn, kSetBkBmp, kSetBkBmpW, kSetBkColor, kSetFgColor, kSwitchOff,
                     kHostAddsRow, kUserClick };
enum class Place { kCtlColor, kDrawItem, kMeasureItem, kSelChange, kSubclassBehind };
enum class Action { kEnd, kDestroyDialog, kAttachAgain, kEndThread };

const char* const kTriggerNames[] = {"SwitchOn", "SetBkBmp", "SetBkBmpW", "SetBkColor",
                                     "SetFgColor", "SwitchOff", "HostAddsRow", "UserClick"};
const char* const kPlaceNames[] = {"CtlColor", "DrawItem", "MeasureItem", "SelChange",
                                   "SubclassBehind"};
const char* const kActionNames[] = {"End", "DestroyDialog", "AttachAgain", "EndThread"};

// Where each call or event runs the host's code (the moments a row can come at).
bool Reaches(Trigger t, Place p) {
  switch (p) {
    case Place::kCtlColor:
    case Place::kDrawItem:  // every repaint, and the switch-on's colours
      return t != Trigger::kSwitchOff && t != Trigger::kHostAddsRow && t != Trigger::kUserClick &&
             !(p == Place::kDrawItem && t == Trigger::kSwitchOn);
    case Place::kMeasureItem: return t == Trigger::kHostAddsRow;
    case Place::kSelChange: return t == Trigger::kUserClick;
    case Place::kSubclassBehind: return true;
  }
  return false;
}

struct Row {
  Kind kind{};
  Trigger trigger{};
  Place place{};
  Action action{};
  HWND top = nullptr, list = nullptr;
  Library::Skin skin = nullptr, second = nullptr;
  bool armed = false, came = false;
  WNDPROC behind = nullptr;
  std::string failures;
};
thread_local Row* t_row = nullptr;

void Act() {
  Row& r = *t_row;
  if (!r.armed) return;
  r.armed = false;
  r.came = true;
  switch (r.action) {
    case Action::kEnd:
      if (r.kind == Kind::kClassic)
        Lib().CreateHook(nullptr, nullptr);
      else
        Lib().SkinDetach(Lib().SkinOf(r.list));
      break;
    case Action::kDestroyDialog: ::DestroyWindow(r.top); break;
    case Action::kAttachAgain:
      // Both ways: the classic skin over a list a handle skin is on or going on over switches
      // nothing on (a second skin would show below), and a handle skin is refused.
      if (r.kind == Kind::kHandle) Lib().CreateHook(r.list, r.list);
      r.second = Lib().SkinAttach(r.list);
      // A skin on the list, or going on or off it, keeps it: never two at once.
      if (r.second != nullptr && r.trigger != Trigger::kSwitchOff)
        r.failures += " a second skin went on over the list;";
      else if (r.second == nullptr && ::GetLastError() != ERROR_ALREADY_EXISTS &&
               r.trigger != Trigger::kSwitchOff)
        r.failures += " refused with " + std::to_string(::GetLastError()) + ";";
      break;
    case Action::kEndThread: ::PostQuitMessage(0); break;
  }
}

LRESULT CALLBACK HostProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  Row* r = t_row;
  if (r != nullptr) {
    if ((m == WM_CTLCOLORLISTBOX && r->place == Place::kCtlColor && HWND(l) == r->list) ||
        (m == WM_DRAWITEM && r->place == Place::kDrawItem) ||
        (m == WM_MEASUREITEM && r->place == Place::kMeasureItem) ||
        (m == WM_COMMAND && r->place == Place::kSelChange && HIWORD(w) == LBN_SELCHANGE))
      Act();
    if (m == WM_MEASUREITEM) {
      reinterpret_cast<MEASUREITEMSTRUCT*>(l)->itemHeight = 18;
      return TRUE;
    }
    if (m == WM_DRAWITEM) {
      const auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(l);
      ::FillRect(d->hDC, &d->rcItem, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
      ::TextOutA(d->hDC, d->rcItem.left + 2, d->rcItem.top, "row", 3);
      return TRUE;
    }
  }
  return ::DefWindowProcA(h, m, w, l);
}

LRESULT CALLBACK BehindProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  Row* r = t_row;
  if (r != nullptr && r->place == Place::kSubclassBehind) Act();
  return ::CallWindowProcA(r->behind, h, m, w, l);
}

std::wstring g_picture;

void Fire(Row& r) {
  const std::string path(g_picture.begin(), g_picture.end());
  const bool classic = r.kind == Kind::kClassic;
  switch (r.trigger) {
    case Trigger::kSwitchOn:
      if (classic)
        Lib().CreateHook(r.list, r.list);
      else
        r.skin = Lib().SkinAttach(r.list);
      break;
    case Trigger::kSetBkBmp: Lib().SetBkBmp(path.c_str()); break;
    case Trigger::kSetBkBmpW:
      classic ? Lib().SetBkBmpW(g_picture.c_str()) : Lib().SkinSetBkImageW(r.skin, g_picture.c_str());
      break;
    case Trigger::kSetBkColor:
      classic ? Lib().SetBkColor(RGB(1, 2, 3)) : Lib().SkinSetBkColor(r.skin, RGB(1, 2, 3));
      break;
    case Trigger::kSetFgColor:
      classic ? Lib().SetFgColor(RGB(4, 5, 6)) : Lib().SkinSetFgColor(r.skin, RGB(4, 5, 6));
      break;
    case Trigger::kSwitchOff:
      classic ? Lib().CreateHook(nullptr, nullptr) : Lib().SkinDetach(r.skin);
      break;
    case Trigger::kHostAddsRow:
      ::SendMessageA(r.list, LB_ADDSTRING, 0, Text("the host's new row"));
      break;
    case Trigger::kUserClick: {
      const HWND mirror = MirrorOf(::GetWindow(r.list, GW_HWNDNEXT));
      const LPARAM at = MAKELPARAM(10, 3 * ::SendMessageA(mirror, LB_GETITEMHEIGHT, 0, 0) + 2);
      ::SendMessageA(mirror, WM_LBUTTONDOWN, MK_LBUTTON, at);
      ::SendMessageA(mirror, WM_LBUTTONUP, 0, at);
      break;
    }
  }
}

DWORD WINAPI RunRow(void* p) {
  Row& r = *static_cast<Row*>(p);
  t_row = &r;
  static const ATOM atom = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &HostProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "WrongMomentHost";
    return ::RegisterClassA(&wc);
  }();
  (void)atom;
  r.top = ::CreateWindowExA(0, "WrongMomentHost", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                            400, 300, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
  DWORD style = kPlainListStyle | LBS_NOINTEGRALHEIGHT;
  // The host's colours are asked for where it draws its rows itself, for all the rows of a paint.
  if (r.place == Place::kDrawItem || r.place == Place::kCtlColor)
    style |= LBS_OWNERDRAWFIXED | LBS_HASSTRINGS;
  if (r.place == Place::kMeasureItem) style |= LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS;
  r.list = MakeChild(r.top, 100, style, 10, 10, 200, 150);
  AddItems(r.list, 8);
  const LONG_PTR ownProc = ProcOf(r.list);
  if (r.place == Place::kSubclassBehind)
    r.behind = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(r.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BehindProc)));
  if (r.trigger != Trigger::kSwitchOn) {
    if (r.kind == Kind::kClassic)
      Lib().CreateHook(r.list, r.list);
    else
      r.skin = Lib().SkinAttach(r.list);
  }
  ::UpdateWindow(r.top);
  Pump();
  // A setter's call comes while a change of the host's waits for its loop: the setter shows it
  // first, asking the list past the skin.
  if (r.trigger >= Trigger::kSetBkBmp && r.trigger <= Trigger::kSetFgColor)
    ::SendMessageA(r.list, LB_ADDSTRING, 0, Text("added just before the call"));
  r.armed = true;
  Fire(r);
  r.armed = false;
  if (::IsWindow(r.top) && PanelsIn(r.top) > 1) {
    int shown = 0;
    for (HWND h = FindPanel(r.top); h != nullptr; h = ::FindWindowExA(r.top, h, "#32770", nullptr))
      shown += ::IsWindowVisible(h) ? 1 : 0;
    if (shown > 1) r.failures += " two skins shown over the list;";
  }
  if (r.action == Action::kEndThread) {
    // The host's loop returns: the thread ends with whatever skin is on, its windows as they are.
    if (!r.came) ::PostQuitMessage(0);
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
    return 0;
  }
  Pump();
  if (::IsWindow(r.list)) {
    if (r.second != nullptr) Lib().SkinDetach(r.second);
    if (Library::Skin on = Lib().SkinOf(r.list)) Lib().SkinDetach(on);
    if (!UserMeets(r.list)) Lib().CreateHook(nullptr, nullptr);
    Pump();
    const std::string fails = HowTheListFails(r.list, 0);
    if (!fails.empty()) r.failures += " the list after the skin:" + fails;
    if (r.place == Place::kSubclassBehind)
      ::SetWindowLongPtrA(r.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(r.behind));
    if (ProcOf(r.list) != ownProc) r.failures += " the list's procedure is not its own;";
  }
  if (::IsWindow(r.top)) ::DestroyWindow(r.top);
  Pump();
  return 0;
}

// The library's heap blocks once the thread of its own that lets go of its hold on itself (a block
// of its own while it runs) is done.
long SettledHeapBlocks() {
  long blocks = host::LibraryHeapBlocks();
  for (int i = 0; i < 50; ++i) {
    ::Sleep(20);
    const long now = host::LibraryHeapBlocks();
    if (now == blocks) break;
    blocks = now;
  }
  return blocks;
}

// Runs one row on a thread of its own, to the thread's end; what went wrong, or "".
std::string RunOneRow(Kind kind, Trigger trigger, Place place, Action action) {
  Row row;
  row.kind = kind, row.trigger = trigger, row.place = place, row.action = action;
  HANDLE thread = ::CreateThread(nullptr, 0, &RunRow, &row, 0, nullptr);
  if (::WaitForSingleObject(thread, 20000) != WAIT_OBJECT_0) return "the host's thread hung";
  ::CloseHandle(thread);
  if (!row.came) row.failures += " the moment never came;";
  return row.failures;
}

void RunRows(Kind kind, Trigger trigger, Action action) {
  host::GdiCount& gdi = host::CountLibraryGdi(Lib().hModule);
  g_picture = [] {
    const std::string path = WriteCoordinateBitmap("wrong_moment.bmp", 24, 24);
    return std::wstring(path.begin(), path.end());
  }();
  // A first skin on and off on a thread of its own: the library's tables for skins and threads
  // are made, and stay.
  for (Kind k : {Kind::kClassic, Kind::kHandle})
    RunOneRow(k, Trigger::kSwitchOff, Place::kSubclassBehind, Action::kEnd);
  for (Place place : {Place::kCtlColor, Place::kDrawItem, Place::kMeasureItem, Place::kSelChange,
                      Place::kSubclassBehind}) {
    if (!Reaches(trigger, place)) continue;
    // Destroyed inside its own LB_ADDSTRING, Wine's list box itself crashes, skinned or not.
    if (place == Place::kMeasureItem && action == Action::kDestroyDialog) continue;
    const std::string name = std::string(kPlaceNames[static_cast<int>(place)]);
    std::printf("row %s\n", name.c_str());
    std::fflush(stdout);
    const long blocksBefore = SettledHeapBlocks();
    const long gdiBefore = gdi.created - gdi.deleted;
    EXPECT_EQ(RunOneRow(kind, trigger, place, action), "") << name;
    // The thread is gone: the library let go of what it took for the row's skins (the last bit
    // on a thread of its own, which lets go of the library's hold on itself).
    // (The count before may still have held that thread's block from the row before.)
    for (int i = 0; i < 100 && host::LibraryHeapBlocks() > blocksBefore; ++i) ::Sleep(10);
    EXPECT_LE(host::LibraryHeapBlocks(), blocksBefore) << name << ": heap blocks left behind";
    EXPECT_EQ(gdi.created - gdi.deleted, gdiBefore) << name << ": GDI objects left behind";
  }
  // The library serves the next thread: a classic skin goes on and off here.
  HostScene h;
  h.On();
  EXPECT_TRUE(h.IsOn()) << "the classic skin after the rows";
  h.Off();
}

const bool kWrongRegistered = [] {
  for (Kind kind : {Kind::kClassic, Kind::kHandle})
    for (int t = 0; t < 8; ++t) {
      const auto trigger = static_cast<Trigger>(t);
      if (kind == Kind::kHandle && trigger == Trigger::kSetBkBmp) continue;  // no such export
      for (int a = 0; a < 4; ++a) {
        const auto action = static_cast<Action>(a);
        isolation::Register(std::string("WrongMoment_") +
                                (kind == Kind::kClassic ? "Classic" : "Handle") + "_" +
                                kTriggerNames[t] + "_" + kActionNames[a],
                            [=] { RunRows(kind, trigger, action); }, "WrongMoment");
      }
    }
  return true;
}();

}  // namespace wrong
