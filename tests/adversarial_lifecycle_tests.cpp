// Hosts that switch the skin on and off a great many times, never run their message loop, unload
// and reload the library while the skin is on, or keep their own subclasses on their lists.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <utility>
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
using adversary::SettleWindowCount;

namespace {

LPARAM Text(const char* s) { return reinterpret_cast<LPARAM>(s); }

using CreateHookFn = int(WINAPI*)(HWND, HWND);
using SetColorFn = int(WINAPI*)(COLORREF);

template <typename F>
F ExportOf(HMODULE module, const char* name) {
  return module ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)))
                : nullptr;
}

// Runs the loop until the library is gone from the process, for at most two seconds.
bool UnloadsWhileTheLoopRuns() {
  for (int i = 0; i < 200 && ::GetModuleHandleA("kslHook.dll") != nullptr; ++i) {
    Pump();
    ::Sleep(10);
  }
  return ::GetModuleHandleA("kslHook.dll") == nullptr;
}

// Subclasses of the host's that stay for the life of their lists, each with a procedure of its
// own that hands everything on to the procedure it found (as a thunk-based framework's would).
constexpr int kMaxStaying = 120;
WNDPROC g_stayingFound[kMaxStaying];
int g_stayingUsed = 0;

template <int N>
LRESULT CALLBACK StayingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  return ::CallWindowProcA(g_stayingFound[N], h, m, w, l);
}
template <int... N>
constexpr std::array<WNDPROC, sizeof...(N)> MakeStayingProcs(std::integer_sequence<int, N...>) {
  return {{&StayingProc<N>...}};
}
constexpr std::array<WNDPROC, kMaxStaying> kStayingProcs =
    MakeStayingProcs(std::make_integer_sequence<int, kMaxStaying>());

void AddStayingSubclass(HWND h) {
  const int n = g_stayingUsed++;
  ASSERT_LT(n, kMaxStaying);
  g_stayingFound[n] = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(kStayingProcs[n])));
}

}  // namespace

// ---- Many times over -----------------------------------------------------------------------------

// A hundred and fifty switches on and off over one list whose rows, selection, font and size change
// between them, some while on and some while off, with setters now and then: every skin shows the
// list, every switch-off gives it back, and no window or GDI object is left over.
TEST(ManyCycles, AHundredAndFiftyOnOffWithTheListChangingBetweenLeaveNothingBehind) {
  GdiCount& gdi = CountLibraryGdi(Lib().hModule);
  SceneOptions o;
  o.items = 40;
  o.style |= LBS_EXTENDEDSEL;
  HostScene h(o);
  const LONG_PTR ownProc = ProcOf(h.list);
  HFONT fonts[] = {static_cast<HFONT>(::GetStockObject(ANSI_FIXED_FONT)),
                   static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT))};
  const std::string tile = WriteCoordinateBitmap("cycles.bmp", 24, 24);
  Pump();
  const int windowsBefore = CountThreadWindows();
  const GdiCount gdiBefore = gdi;
  std::string firstDifference;
  for (int i = 0; i < 150; ++i) {
    const std::string row = "cycle " + std::to_string(i);
    // The rows change while off (in a batch of the host's) and while on; as many go as come.
    h.ToList(WM_SETREDRAW, FALSE);
    h.ToList(LB_INSERTSTRING, static_cast<WPARAM>(i % 7), Text(row.c_str()));
    h.ToList(LB_DELETESTRING, static_cast<WPARAM>((i * 5) % 30));
    h.ToList(LB_DELETESTRING, static_cast<WPARAM>((i * 3) % 30));
    if (i % 3 == 0) h.ToList(LB_DELETESTRING, static_cast<WPARAM>(i % 11));
    h.ToList(LB_SETSEL, TRUE, i % 13);
    h.ToList(WM_SETREDRAW, TRUE);
    h.On();
    if (i % 5 == 0) h.ToList(WM_SETFONT, reinterpret_cast<WPARAM>(fonts[i % 2]), TRUE);
    if (i % 7 == 0) Lib().SetBkBmp(tile.c_str());
    if (i % 11 == 0) Lib().SetBkColor(RGB(i % 256, 40, 40));
    h.ToList(LB_ADDSTRING, 0, Text(row.c_str()));
    if (i % 3 == 0) h.ToList(LB_INSERTSTRING, 5, Text(row.c_str()));
    h.ToList(LB_SETTOPINDEX, static_cast<WPARAM>(i % 17));
    if (i % 4 == 0) Pump();
    if (firstDifference.empty() && i % 5 == 0) {
      const std::string d = HowTheSkinDiffers(h.mirror, h.list);
      if (!d.empty()) firstDifference = "cycle " + std::to_string(i) + ": " + d;
    }
    h.Off();
    if (!UserMeets(h.list) || PanelsIn(h.container) != 0) {
      ADD_FAILURE() << "cycle " << i << ": the list is not back, or a skin stayed";
      break;
    }
  }
  Pump();
  EXPECT_EQ(firstDifference, "");
  EXPECT_EQ(HowTheListFails(h.list, ownProc), "");
  EXPECT_EQ(SettleWindowCount(windowsBefore), windowsBefore) << "windows left behind";
  EXPECT_EQ(gdi.created - gdiBefore.created, gdi.deleted - gdiBefore.deleted)
      << "GDI objects the library made and did not delete";
}

// ---- A host that never runs its loop ---------------------------------------------------------------

// The host works through a long batch without ever letting its loop run: switching on and off,
// changing rows, calling the setters. Every switch-on still shows the list, every switch-off gives
// it back, and what the library left for the loop does nothing wrong once the loop runs at last.
CHILD_TEST(NeverPumps, AHostWithoutALoopStillSwitchesOnAndOffCleanly) {
  HostScene h;
  const LONG_PTR ownProc = ProcOf(h.list);
  const int windowsBefore = CountThreadWindows();
  for (int round = 0; round < 20; ++round) {
    h.On();
    for (int i = 0; i < 50; ++i) h.ToList(LB_ADDSTRING, 0, Text("no loop"));
    h.ToList(LB_SETCURSEL, static_cast<WPARAM>(round));
    h.ToList(LB_DELETESTRING, 0);
    Lib().SetBkColor(RGB(round, 0, 0));
    Lib().SetFgColor(RGB(0, round, 0));
    EXPECT_EQ(ItemsOf(h.mirror), ItemsOf(h.list)) << "round " << round;
    EXPECT_EQ(h.ToMirror(LB_GETCURSEL), h.ToList(LB_GETCURSEL)) << "round " << round;
    h.Off();
    ASSERT_TRUE(UserMeets(h.list)) << "round " << round;
  }
  EXPECT_EQ(PanelsIn(h.container), 0) << "skins left, before the loop ran";
  Pump();
  EXPECT_EQ(PanelsIn(h.container), 0);
  EXPECT_EQ(HowTheListFails(h.list, ownProc), "");
  EXPECT_EQ(SettleWindowCount(windowsBefore), windowsBefore) << "windows left behind";
  // On again once the loop has run: the skin paints what the list holds.
  h.On();
  EXPECT_EQ(HowTheSkinDiffers(h.mirror, h.list), "");
  h.Off();
}

// ---- Unloading and reloading ---------------------------------------------------------------------
//
// A child process of its own holds the only references to the library here.

CHILD_TEST(Reload, FreeLibraryWhileOnThenLoadLibraryAgainAndSwitchOffAndOnThroughTheNewHandle) {
  TopWindow top;
  HWND list = MakeChild(top.hWnd(), 100, kPlainListStyle | LBS_NOINTEGRALHEIGHT, 0, 0, 300, 200);
  AddItems(list, 10);
  const LONG_PTR ownProc = ProcOf(list);
  for (int round = 0; round < 5; ++round) {
    HMODULE first = ::LoadLibraryA("kslHook.dll");
    ASSERT_NE(first, nullptr) << "round " << round;
    ExportOf<CreateHookFn>(first, "kslCreateHook")(list, list);
    ASSERT_FALSE(UserMeets(list)) << "round " << round << ": on";
    ASSERT_TRUE(::FreeLibrary(first));
    Pump();
    // The host loads it again, as a plug-in manager would, and goes on with the new handle.
    HMODULE second = ::LoadLibraryA("kslHook.dll");
    ASSERT_NE(second, nullptr);
    const auto createHook = ExportOf<CreateHookFn>(second, "kslCreateHook");
    ExportOf<SetColorFn>(second, "kslHookSetBkColor")(RGB(round, 1, 2));
    ::SendMessageA(list, LB_ADDSTRING, 0, Text("while reloaded"));
    Pump();
    EXPECT_EQ(::SendMessageA(MirrorOf(FindPanel(top.hWnd())), LB_GETCOUNT, 0, 0),
              ::SendMessageA(list, LB_GETCOUNT, 0, 0)) << "round " << round;
    createHook(nullptr, nullptr);  // off
    EXPECT_TRUE(UserMeets(list)) << "round " << round << ": off";
    createHook(list, list);  // on again, through the new handle
    EXPECT_FALSE(UserMeets(list)) << "round " << round << ": on again";
    createHook(nullptr, nullptr);
    EXPECT_EQ(HowTheListFails(list, ownProc), "") << "round " << round;
    ASSERT_TRUE(::FreeLibrary(second));
    EXPECT_TRUE(UnloadsWhileTheLoopRuns()) << "round " << round << ": nobody needs it any more";
  }
  EXPECT_EQ(FindPanel(top.hWnd()), nullptr);
}

CHILD_TEST(Reload, TheTopWindowDestroyedAfterFreeLibraryWhileOnLetsTheLibraryGoAndAFreshLoadWorks) {
  {
    TopWindow top;
    HWND list = MakeChild(top.hWnd(), 100, kPlainListStyle, 0, 0, 300, 200);
    AddItems(list, 10);
    HMODULE module = ::LoadLibraryA("kslHook.dll");
    ExportOf<CreateHookFn>(module, "kslCreateHook")(list, list);
    ASSERT_FALSE(UserMeets(list));
    ::FreeLibrary(module);
    Pump();
    ASSERT_NE(::GetModuleHandleA("kslHook.dll"), nullptr) << "the skin keeps its code loaded";
  }  // the host closes its window with the skin still on
  EXPECT_TRUE(UnloadsWhileTheLoopRuns()) << "no window calls the library any more";
  TopWindow top;
  HWND list = MakeChild(top.hWnd(), 100, kPlainListStyle, 0, 0, 300, 200);
  AddItems(list, 3);
  HMODULE fresh = ::LoadLibraryA("kslHook.dll");
  const auto createHook = ExportOf<CreateHookFn>(fresh, "kslCreateHook");
  createHook(list, list);
  EXPECT_FALSE(UserMeets(list)) << "a fresh load's first call switches on";
  EXPECT_EQ(ItemsOf(MirrorOf(FindPanel(top.hWnd()))), ItemsOf(list));
  createHook(nullptr, nullptr);
  EXPECT_TRUE(UserMeets(list));
  ::FreeLibrary(fresh);
  EXPECT_TRUE(UnloadsWhileTheLoopRuns());
}

// ---- Subclasses of the host's that stay ------------------------------------------------------------

// A host that puts a subclass of its own on its list after each switch-on and leaves it there
// for the life of the list (each one over a procedure of the library's). However many there are,
// every switch-on must either give a skin that follows the list or leave the list as it was: never
// a hidden list under a skin that no longer follows it.
CHILD_TEST(StayingSubclasses, ASwitchOnEitherWorksOrChangesNothingHoweverManyThereAre) {
  TopWindow top;
  HWND list = MakeChild(top.hWnd(), 100, kPlainListStyle | LBS_NOINTEGRALHEIGHT, 0, 0, 300, 200);
  AddItems(list, 5);
  for (int round = 0; round < 80; ++round) {
    const LONG_PTR procBefore = ProcOf(list);
    Lib().CreateHook(list, list);
    if (UserMeets(list)) {
      // Refused: nothing of the host's changed, and nothing is on.
      ASSERT_EQ(ProcOf(list), procBefore) << "round " << round;
      ASSERT_EQ(FindPanel(top.hWnd()), nullptr) << "round " << round;
      break;
    }
    HWND mirror = MirrorOf(FindPanel(top.hWnd()));
    ::SendMessageA(list, LB_ADDSTRING, 0, Text("row"));
    ASSERT_EQ(HowTheSkinDiffers(mirror, list), "")
        << "round " << round << ": the list is hidden under a skin that does not follow it";
    AddStayingSubclass(list);
    Lib().CreateHook(nullptr, nullptr);
    ASSERT_TRUE(UserMeets(list)) << "round " << round;
  }
}

// The same with many lists, each keeping a subclass of the host's over the library's pass-through:
// a host that skins its lists one at a time (the list of the active document, say).
CHILD_TEST(StayingSubclasses, ManyListsEachSkinnedOnceAndKeptSubclassedStillGetWorkingSkins) {
  TopWindow top(20, 20, 900, 700);
  for (int i = 0; i < 80; ++i) {
    HWND list = MakeChild(top.hWnd(), 100 + i, kPlainListStyle, (i % 10) * 85, (i / 10) * 85, 80,
                          80);
    AddItems(list, 3);
    const LONG_PTR procBefore = ProcOf(list);
    Lib().CreateHook(list, list);
    if (UserMeets(list)) {
      ASSERT_EQ(ProcOf(list), procBefore) << "list " << i;
      break;
    }
    ::SendMessageA(list, LB_ADDSTRING, 0, Text("row"));
    ASSERT_EQ(HowTheSkinDiffers(MirrorOf(FindPanel(top.hWnd())), list), "")
        << "list " << i << ": hidden under a skin that does not follow it";
    AddStayingSubclass(list);
    Lib().CreateHook(nullptr, nullptr);
  }
}

// ---- Subclasses of the host's in other orders ------------------------------------------------------

namespace {

// A subclass of the host's made while the skin is on: it hands on to what it found, or swallows
// everything (it never calls on), and leaves the usual way.
class LaterSubclass {
 public:
  LaterSubclass(HWND h, bool swallows) : m_hWnd(h) {
    s_found = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
        h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(swallows ? &Swallow : &PassOn)));
  }
  void Remove() {
    ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s_found));
  }

 private:
  static LRESULT CALLBACK PassOn(HWND h, UINT m, WPARAM w, LPARAM l) {
    return ::CallWindowProcA(s_found, h, m, w, l);
  }
  static LRESULT CALLBACK Swallow(HWND h, UINT m, WPARAM w, LPARAM l) {
    return ::DefWindowProcA(h, m, w, l);
  }
  static WNDPROC s_found;
  HWND m_hWnd;
};
WNDPROC LaterSubclass::s_found = nullptr;

}  // namespace

// Made while on and removed while still on, or after switch-off; handing on or swallowing every
// message. Once both have gone, the list works with its own procedure.
TEST(SubclassOrders, ALaterSubclassRemovedBeforeOrAfterSwitchOffLeavesTheListItsOwn) {
  for (bool swallows : {false, true}) {
    for (bool removedWhileOn : {true, false}) {
      const std::string what = std::string(swallows ? "swallowing" : "handing on") +
                               (removedWhileOn ? ", removed while on" : ", removed after off");
      HostScene h;
      const LONG_PTR ownProc = ProcOf(h.list);
      h.On();
      LaterSubclass later(h.list, swallows);
      h.ToList(LB_ADDSTRING, 0, Text("through the later subclass"));
      if (removedWhileOn) {
        later.Remove();
        h.ToList(LB_ADDSTRING, 0, Text("after its removal"));
        EXPECT_EQ(HowTheSkinDiffers(h.mirror, h.list), "") << what;
      }
      h.Off();
      EXPECT_TRUE(UserMeets(h.list)) << what;
      EXPECT_EQ(PanelsIn(h.container), 0) << what;
      if (!removedWhileOn) later.Remove();
      EXPECT_EQ(HowTheListFails(h.list, ownProc), "") << what;
    }
  }
}
