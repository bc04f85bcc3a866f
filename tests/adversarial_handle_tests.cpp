// Hosts that hand the library the wrong windows, destroy theirs while the skin is on, call from the
// wrong thread, or unload and reload the library. Whatever they do, the process goes on, the
// host's windows come back as they were, and nothing of the library's is left behind.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "AdversarialHost.h"
#include "GdiCounter.h"
#include "HostKit.h"
#include "Isolation.h"
#include "UserInput.h"

using namespace host;
using adversary::CountThreadWindows;
using adversary::HowTheListFails;
using adversary::HowTheSkinDiffers;
using adversary::OnWorkerLettingSentMessagesThrough;
using adversary::OnWorkerWhilePumping;
using adversary::PanelsIn;
using adversary::ProcOf;
using adversary::SettleWindowCount;

namespace {

LPARAM Text(const char* s) { return reinterpret_cast<LPARAM>(s); }

std::string WindowText(HWND hWnd) {
  char text[256] = {};
  ::GetWindowTextA(hWnd, text, sizeof text);
  return text;
}

// Every export once, with the arguments a confused host might pass.
void CallEverySetter(HWND anyWindow) {
  const std::string tile = WriteCoordinateBitmap("adversarial_tile.bmp", 16, 16);
  EXPECT_EQ(Lib().SetBkBmp(tile.c_str()), 1);
  EXPECT_EQ(Lib().SetBkBmp(nullptr), 1);
  EXPECT_EQ(Lib().SetBkBmp(""), 1);
  EXPECT_EQ(Lib().SetBkBmp("C:\\no such folder\\none.bmp"), 1);
  EXPECT_EQ(Lib().SetBkColor(RGB(10, 20, 30)), 1);
  EXPECT_EQ(Lib().SetBkColor(0xFFFFFFFF), 1);
  EXPECT_EQ(Lib().SetFgColor(RGB(200, 100, 0)), 1);
  EXPECT_EQ(Lib().SetFgColor(0xFF000000), 1);
  EXPECT_EQ(Lib().SetHwnd(anyWindow), 1);
  EXPECT_EQ(Lib().SetHwnd(reinterpret_cast<HWND>(0xDEAD)), 1);
}

// A window's outward state, to see that switching on and off over it left it as it was.
struct Snapshot {
  explicit Snapshot(HWND h)
      : visible(::IsWindowVisible(h) != FALSE), proc(ProcOf(h)), text(WindowText(h)) {
    ::GetWindowRect(h, &rect);
  }
  std::string HowItDiffers(HWND h) const {
    const Snapshot now(h);
    std::string d;
    if (now.visible != visible) d += visible ? " hidden;" : " shown;";
    if (now.proc != proc) d += " another window procedure;";
    if (now.text != text) d += " text \"" + now.text + "\" for \"" + text + "\";";
    if (!::EqualRect(&now.rect, &rect)) d += " moved or resized;";
    return d;
  }
  bool visible;
  LONG_PTR proc;
  std::string text;
  RECT rect = {};
};

// ---- Windows that are no list box, handed over as the list --------------------------------------

// A drop-down combo box's list is hidden while the combo is closed: switched over and back, it
// must stay hidden, not float open under a closed combo box.
struct NotAList {
  const char* name;
  // Makes the window in the host's top window; the host's container and reference are given.
  HWND (*make)(HostScene& h);
};

HWND MakeEdit(HostScene& h) {
  HWND e = MakeChild(h.top.hWnd(), 400, WS_CHILD | WS_VISIBLE | WS_BORDER, 320, 40, 200, 24, "EDIT");
  ::SetWindowTextA(e, "the host's text");
  return e;
}
HWND MakeButton(HostScene& h) {
  HWND b = MakeChild(h.top.hWnd(), 401, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 320, 80, 100, 24,
                     "BUTTON");
  ::SetWindowTextA(b, "Press");
  return b;
}
HWND DropDownListOf(HWND combo) {
  COMBOBOXINFO info = {};
  info.cbSize = sizeof info;
  ::GetComboBoxInfo(combo, &info);
  return info.hwndList;
}
HWND MakeDropDownCombosList(HostScene& h) {
  HWND combo = MakeChild(h.top.hWnd(), 402, WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | WS_VSCROLL,
                         320, 120, 150, 200, "COMBOBOX");
  for (const char* t : {"one", "two", "three"}) ::SendMessageA(combo, CB_ADDSTRING, 0, Text(t));
  return DropDownListOf(combo);
}
HWND MakeSimpleCombosList(HostScene& h) {
  HWND combo = MakeChild(h.top.hWnd(), 403, WS_CHILD | WS_VISIBLE | CBS_SIMPLE, 320, 160, 150,
                         120, "COMBOBOX");
  for (const char* t : {"one", "two", "three"}) ::SendMessageA(combo, CB_ADDSTRING, 0, Text(t));
  return DropDownListOf(combo);
}
HWND TheTopWindow(HostScene& h) { return h.top.hWnd(); }
HWND TheContainer(HostScene& h) { return h.container; }

const NotAList kNotALists[] = {
    {"AnEditBox", &MakeEdit},
    {"AButton", &MakeButton},
    {"ADropDownCombosList", &MakeDropDownCombosList},
    {"ASimpleCombosList", &MakeSimpleCombosList},
    {"TheTopWindowItself", &TheTopWindow},
    {"TheContainerTheSkinGoesInto", &TheContainer},
};

void RunNotAList(const NotAList& c) {
  HostScene h;
  HWND window = c.make(h);
  Pump();
  const Snapshot before(window);
  const Snapshot listBefore(h.list);
  const int windowsBefore = CountThreadWindows();

  Lib().CreateHook(h.reference, window);
  Pump();
  CallEverySetter(window);
  ::SendMessageA(window, WM_SETTEXT, 0, Text("set while on"));
  ::SendMessageA(window, WM_SETTEXT, 0, Text(before.text.c_str()));
  Pump();
  Lib().CreateHook(nullptr, nullptr);
  Pump();

  EXPECT_EQ(PanelsIn(h.container), 0) << "a skin left behind";
  EXPECT_EQ(before.HowItDiffers(window), "") << "the window handed over as the list";
  EXPECT_EQ(listBefore.HowItDiffers(h.list), "") << "the host's real list";
  EXPECT_EQ(SettleWindowCount(windowsBefore), windowsBefore) << "windows left behind";
  // The library is still usable: the host's real list goes on and off.
  h.On();
  EXPECT_EQ(HowTheSkinDiffers(h.mirror, h.list), "");
  h.Off();
  EXPECT_EQ(HowTheListFails(h.list, listBefore.proc), "");
}

const bool kNotAListsRegistered = [] {
  for (const NotAList& c : kNotALists)
    isolation::Register(std::string("NotAList_") + c.name, [&c] { RunNotAList(c); }, "NotAList");
  return true;
}();

}  // namespace

// Handles that are no window at all, or no window any more, as the list and as the reference.
CHILD_TEST(BadHandles, NoWindowsAsListOrReferenceChangeNothingAndLeaveNothing) {
  HostScene h;
  const Snapshot listBefore(h.list);
  HWND dead = MakeChild(h.top.hWnd(), 500, WS_CHILD | WS_VISIBLE | LBS_NOTIFY, 0, 0, 10, 10);
  ::DestroyWindow(dead);
  // The last one fills a 64-bit handle's upper half too.
  const HWND garbage[] = {nullptr, dead, reinterpret_cast<HWND>(-1), reinterpret_cast<HWND>(1),
                          reinterpret_cast<HWND>(0xFFFF), reinterpret_cast<HWND>(0x7FFFFFFF),
                          reinterpret_cast<HWND>(~static_cast<uintptr_t>(0) / 3 * 2)};
  const int windowsBefore = CountThreadWindows();
  for (HWND bad : garbage) {
    const std::string what = "handle " + std::to_string(reinterpret_cast<uintptr_t>(bad));
    // As the list, under a good reference: on (an empty skin), then off.
    Lib().CreateHook(h.reference, bad);
    CallEverySetter(bad);
    Lib().CreateHook(nullptr, nullptr);
    EXPECT_EQ(PanelsIn(h.container), 0) << what << " as the list";
    // As the reference: nothing switched on, so the next call switches on.
    Lib().CreateHook(bad, h.list);
    EXPECT_EQ(PanelsIn(h.container), 0) << what << " as the reference";
    EXPECT_EQ(listBefore.HowItDiffers(h.list), "") << what << " as the reference";
    // Both.
    Lib().CreateHook(bad, bad);
    EXPECT_EQ(PanelsIn(h.container), 0) << what << " as both";
    h.On();
    EXPECT_TRUE(h.IsOn()) << what << ": the next call over good windows switches on";
    h.Off();
  }
  Pump();
  EXPECT_EQ(listBefore.HowItDiffers(h.list), "");
  EXPECT_EQ(SettleWindowCount(windowsBefore), windowsBefore) << "windows left behind";
}

// ---- Windows destroyed while the skin is on -------------------------------------------------------

namespace {

enum class Gone { kList, kReference, kContainer, kTopWindow, kListAndContainer };

struct GoneCase {
  const char* name;
  Gone what;
};

const GoneCase kGoneCases[] = {
    {"TheList", Gone::kList},
    {"TheReference", Gone::kReference},
    {"TheContainer", Gone::kContainer},
    {"TheTopWindow", Gone::kTopWindow},
    {"TheListThenTheContainer", Gone::kListAndContainer},
};

void RunGone(const GoneCase& c) {
  const int windowsAtStart = CountThreadWindows();
  {
    auto h = std::make_unique<HostScene>();
    const LONG_PTR ownProc = ProcOf(h->list);
    h->On();
    ASSERT_TRUE(h->IsOn());
    switch (c.what) {
      case Gone::kList: ::DestroyWindow(h->list); break;
      case Gone::kReference: ::DestroyWindow(h->reference); break;
      case Gone::kContainer: ::DestroyWindow(h->container); break;
      case Gone::kTopWindow: ::DestroyWindow(h->top.hWnd()); break;
      case Gone::kListAndContainer:
        ::DestroyWindow(h->list);
        ::DestroyWindow(h->container);
        break;
    }
    Pump();
    // The host goes on calling everything, with whatever handles it still has.
    CallEverySetter(h->list);
    if (::IsWindow(h->list)) {
      h->ToList(LB_ADDSTRING, 0, Text("added after the loss"));
      if (c.what == Gone::kReference) {
        EXPECT_EQ(HowTheSkinDiffers(h->mirror, h->list), "") << "the skin goes on";
      }
    }
    // The README's switch-off: one call while the list is hidden under a skin.
    if (!::IsWindow(h->list) || !UserMeets(h->list)) Lib().CreateHook(nullptr, nullptr);
    Pump();
    if (::IsWindow(h->list)) {
      EXPECT_EQ(HowTheListFails(h->list, ownProc), "") << "the host's list after switch-off";
    }
    if (::IsWindow(h->container)) {
      EXPECT_EQ(PanelsIn(h->container), 0) << "a skin left behind";
    }
    CallEverySetter(h->top.hWnd());
  }
  Pump();
  // The library switches on and off over a new host as usual: the host's earlier switch-off
  // (made when its list was gone or hidden) left nothing counted as on.
  {
    HostScene fresh;
    fresh.On();
    EXPECT_TRUE(fresh.IsOn())
        << "a new host's first call did not switch on: the library still counted the lost skin "
           "as on, though the host's list came back visible";
    EXPECT_EQ(HowTheSkinDiffers(fresh.mirror, fresh.list), "");
    fresh.Off();
    EXPECT_TRUE(UserMeets(fresh.list));
  }
  EXPECT_EQ(SettleWindowCount(windowsAtStart), windowsAtStart) << "windows left behind";
}

const bool kGoneRegistered = [] {
  for (const GoneCase& c : kGoneCases)
    isolation::Register(std::string("DestroyedWhileOn_") + c.name, [&c] { RunGone(c); },
                        "DestroyedWhileOn");
  return true;
}();

}  // namespace

// ---- The wrong thread ------------------------------------------------------------------------------
//
// The README says to call on the GUI thread. A host that gets it wrong, with its GUI thread's loop
// still turning, must not lose its list or leave the library's windows behind.

// Setters from a thread that does not own the skin do nothing: the skin's drawing belongs to the
// GUI thread, and a worker drawing into it meanwhile would race it.
CHILD_TEST(WrongThread, SettersFromAWorkerChangeNothingAndAnswerOne) {
  HostScene h;
  h.On();
  const COLORREF before = PixelAt(h.mirror, 250, 190);
  const std::string tile = WriteCoordinateBitmap("worker_tile.bmp", 32, 32);
  int answers = 0;
  const bool done = OnWorkerWhilePumping([&] {
    for (int i = 0; i < 40; ++i) {
      answers += Lib().SetBkBmp(tile.c_str());
      answers += Lib().SetBkColor(RGB(i, 0, 0x40));
      answers += Lib().SetFgColor(RGB(0, i, 0));
      answers += Lib().SetHwnd(h.top.hWnd());
    }
  });
  ASSERT_TRUE(done) << "the worker's setter calls did not finish";
  EXPECT_EQ(answers, 160);
  EXPECT_EQ(PixelAt(h.mirror, 250, 190), before) << "the skin as it was";
  EXPECT_EQ(HowTheSkinDiffers(h.mirror, h.list), "");
  Lib().SetBkColor(RGB(39, 0, 0x40));  // the GUI thread's own call works
  EXPECT_EQ(PixelAt(h.mirror, 250, 190), RGB(39, 0, 0x40));
  h.Off();
  EXPECT_TRUE(UserMeets(h.list));
}

namespace {
WNDPROC g_topProc = nullptr;
bool g_workerRan = false;
// The host's parent starts a worker that calls the library while the GUI thread is switching on
// (the library asks the parent for the list's colours on the way).
LRESULT CALLBACK WorkerDuringSwitchOn(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_CTLCOLORLISTBOX && !g_workerRan) {
    g_workerRan = OnWorkerLettingSentMessagesThrough([] {
      Lib().CreateHook(nullptr, nullptr);
      Lib().SetBkColor(RGB(1, 2, 3));
    });
  }
  return ::CallWindowProcA(g_topProc, h, m, w, l);
}
}  // namespace

// The GUI thread switched on; a worker switches off, once while the GUI thread is switching on and
// once with the skin on. The library refuses both: the skin stays, and the GUI thread's next call
// switches it off. No skin's windows are left behind, forgotten.
CHILD_TEST(WrongThread, ASwitchOffFromAWorkerIsRefusedAndLeavesNoForgottenSkin) {
  HostScene h;
  const LONG_PTR ownProc = ProcOf(h.list);
  const int windowsBefore = CountThreadWindows();
  g_topProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
      h.top.hWnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WorkerDuringSwitchOn)));
  h.On();
  Pump();
  ASSERT_TRUE(g_workerRan);
  EXPECT_FALSE(UserMeets(h.list)) << "the worker's call inside the switch-on was refused";
  // The GUI thread waits for its worker the way a careful host does: it lets the messages other
  // threads send it through, and nothing else, until the worker is done.
  ASSERT_TRUE(OnWorkerLettingSentMessagesThrough([] { Lib().CreateHook(nullptr, nullptr); }));
  Pump();
  EXPECT_FALSE(UserMeets(h.list)) << "the worker's call with the skin on was refused";
  EXPECT_TRUE(h.IsOn());
  Lib().CreateHook(nullptr, nullptr);
  Pump();
  ::SetWindowLongPtrA(h.top.hWnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_topProc));
  EXPECT_EQ(PanelsIn(h.container), 0) << "skins in the host's container after switch-off";
  EXPECT_EQ(HowTheListFails(h.list, ownProc), "");
  EXPECT_EQ(SettleWindowCount(windowsBefore), windowsBefore) << "windows left behind";
  // The next switch-on makes one skin, not a second one beside a forgotten first.
  h.On();
  EXPECT_EQ(PanelsIn(h.container), 1);
  h.Off();
}

// A worker switches on over the GUI thread's windows, then ends. The host must have either a
// working skin or its own list back.
CHILD_TEST(WrongThread, ASwitchOnFromAWorkerThatEndsLeavesTheListSkinnedOrShown) {
  HostScene h;
  const LONG_PTR ownProc = ProcOf(h.list);
  ASSERT_TRUE(OnWorkerWhilePumping([&] { Lib().CreateHook(h.reference, h.list); }));
  Pump();
  const bool skinned = h.IsOn() && !UserMeets(h.list);
  if (skinned) {
    h.ToList(LB_ADDSTRING, 0, Text("after the worker ended"));
    EXPECT_EQ(HowTheSkinDiffers(MirrorOf(FindPanel(h.container)), h.list), "");
  } else {
    EXPECT_TRUE(UserMeets(h.list))
        << "the list is hidden, with no skin over it (skins in the container: "
        << PanelsIn(h.container) << ")";
  }
  // Whatever happened, the GUI thread's next call leaves the list as it was.
  if (!UserMeets(h.list)) Lib().CreateHook(nullptr, nullptr);
  Pump();
  EXPECT_EQ(HowTheListFails(h.list, ownProc), "");
}

// Windows of another GUI thread (with its own loop): its list skinned into this thread's window,
// and this thread's list skinned into its window.
struct OtherGuiThread {
  HWND top = nullptr;
  HWND list = nullptr;
  HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD id = 0;
  bool skinIt = false;  // the thread skins its own list with a handle skin
  Library::Skin skin = nullptr;

  static DWORD WINAPI Run(void* p) {
    auto* o = static_cast<OtherGuiThread*>(p);
    o->top = ::CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 700, 20, 300, 300,
                               nullptr, nullptr, nullptr, nullptr);
    o->list = MakeChild(o->top, 7, kPlainListStyle, 0, 0, 300, 300);
    AddItems(o->list, 5, "Other ");
    if (o->skinIt) o->skin = Lib().SkinAttach(o->list);
    ::SetEvent(o->ready);
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
    ::DestroyWindow(o->top);
    return 0;
  }
};

CHILD_TEST(WrongThread, WindowsOfAnotherGuiThreadAreLeftAlone) {
  // Another thread's list, or another thread's window for the skin: nothing is switched on, and
  // the windows stay as they were.
  HostScene h;
  OtherGuiThread other;
  HANDLE hThread = ::CreateThread(nullptr, 0, &OtherGuiThread::Run, &other, 0, &other.id);
  ASSERT_EQ(::WaitForSingleObject(other.ready, 5000), WAIT_OBJECT_0);
  const Snapshot before(other.list);
  const Snapshot ownBefore(h.list);

  EXPECT_EQ(Lib().CreateHook(h.reference, other.list), 0);
  Pump();
  EXPECT_EQ(FindPanel(h.container), nullptr) << "no skin for another thread's list";
  EXPECT_EQ(before.HowItDiffers(other.list), "") << "the other thread's list";

  EXPECT_EQ(Lib().CreateHook(other.list, h.list), 0);
  Pump();
  EXPECT_EQ(PanelsIn(other.top), 0) << "no skin in another thread's window";
  EXPECT_EQ(HowTheListFails(h.list, ownBefore.proc), "");

  // Still off: this thread's own windows switch on as ever.
  h.On();
  EXPECT_TRUE(h.IsOn());
  h.Off();
  ::PostThreadMessageA(other.id, WM_QUIT, 0, 0);
  ::WaitForSingleObject(hThread, 5000);
  ::CloseHandle(hThread);
  ::CloseHandle(other.ready);
}

// ---- Handle skins ----------------------------------------------------------------------------------

namespace {

using Skin = Library::Skin;

// A handle skin's panel lies just after its list in z-order.
HWND SkinMirror(HWND hList) { return MirrorOf(::GetWindow(hList, GW_HWNDNEXT)); }

// The answer and the thread's last error of one call, as "answer/error".
template <typename R>
std::string Outcome(R answer) {
  const DWORD error = ::GetLastError();
  return std::string(answer ? "ok" : "refused") + "/" + std::to_string(answer ? 0 : error);
}
std::string Refused(DWORD error) { return "refused/" + std::to_string(error); }

// A host's own class built on the system's list box.
WNDPROC g_systemListProc = nullptr;
LRESULT CALLBACK HostListProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  return ::CallWindowProcA(g_systemListProc, h, m, w, l);
}
HWND MakeSuperclassedList(HWND hParent) {
  WNDCLASSA wc = {};
  ::GetClassInfoA(nullptr, "LISTBOX", &wc);
  g_systemListProc = wc.lpfnWndProc;
  wc.lpfnWndProc = &HostListProc;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.lpszClassName = "HostsOwnList";
  ::RegisterClassA(&wc);
  return MakeChild(hParent, 604, kPlainListStyle, 320, 0, 200, 100, "HostsOwnList");
}

}  // namespace

// Three lists of three kinds in one window, each skinned with a look of its own, each beside an
// unskinned twin of its kind: the user's click on each skin leaves each host list as the same
// click on its twin does, and each setter changes its own skin alone.
CHILD_TEST(HandleSkins, ThreeListsOfOneWindowEachWithItsOwnLookBehaveAsTheirTwins) {
  TopWindow top(20, 20, 660, 460);
  const DWORD kinds[] = {0, LBS_EXTENDEDSEL, LBS_MULTIPLESEL};
  const COLORREF looks[] = {RGB(200, 30, 30), RGB(30, 200, 30), RGB(30, 30, 200)};
  HWND lists[3], twins[3];
  Skin skins[3];
  for (int i = 0; i < 3; ++i) {
    const DWORD style = kPlainListStyle | LBS_NOINTEGRALHEIGHT | kinds[i];
    lists[i] = MakeChild(top.hWnd(), 10 + i, style, 10 + 210 * i, 10, 200, 200);
    twins[i] = MakeChild(top.hWnd(), 20 + i, style, 10 + 210 * i, 230, 200, 200);
    AddItems(lists[i], 5);
    AddItems(twins[i], 5);
    skins[i] = Lib().SkinAttach(lists[i]);
    ASSERT_NE(skins[i], nullptr) << i;
  }
  ASSERT_TRUE(user::TakeForeground(top.hWnd()));
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(Lib().SkinSetBkColor(skins[i], looks[i]));
    EXPECT_EQ(Lib().SkinOf(lists[i]), skins[i]);
    EXPECT_EQ(Lib().SkinOf(twins[i]), nullptr);
    for (HWND h : {SkinMirror(lists[i]), twins[i]}) {
      user::Click(user::RowPoint(h, 1));
      user::Click(user::RowPoint(h, 3), user::kShift);
    }
  }
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(user::StateOf(lists[i]), user::StateOf(twins[i])) << "kind " << i;
    EXPECT_EQ(top.CountFrom(lists[i], LBN_SELCHANGE), top.CountFrom(twins[i], LBN_SELCHANGE));
    EXPECT_EQ(HowTheSkinDiffers(SkinMirror(lists[i]), lists[i]), "") << i;
    EXPECT_EQ(PixelAt(SkinMirror(lists[i]), 150, 180), looks[i]) << "the look of skin " << i;
    EXPECT_FALSE(UserMeets(lists[i]));
  }
  EXPECT_TRUE(Lib().SkinDetach(skins[1]));
  EXPECT_EQ(HowTheListFails(lists[1], 0), "");
  EXPECT_EQ(PixelAt(SkinMirror(lists[0]), 150, 180), looks[0]) << "the others stay";
  EXPECT_EQ(PixelAt(SkinMirror(lists[2]), 150, 180), looks[2]);
  ::DestroyWindow(lists[2]);  // the skin ends with its list
  Pump();
  EXPECT_EQ(Outcome(Lib().SkinSetFgColor(skins[2], 0)), Refused(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(Lib().SkinDetach(skins[0]));
  EXPECT_EQ(HowTheListFails(lists[0], 0), "");
}

// Every bad window for kslSkinAttach and every bad handle for the others gets its error and
// changes nothing; the classic skin and handle skins keep out of each other's way.
CHILD_TEST(HandleSkins, BadWindowsAndHandlesGetTheirErrorsAndTheClassicSkinStaysApart) {
  HostScene h;
  HWND twin = MakeChild(h.top.hWnd(), 600, kPlainListStyle, 320, 260, 200, 150);
  HWND dead = MakeChild(h.top.hWnd(), 601, kPlainListStyle, 0, 0, 10, 10);
  ::DestroyWindow(dead);
  HWND lonely = ::CreateWindowExA(0, "LISTBOX", "", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                  nullptr, nullptr);
  OtherGuiThread other;  // a second GUI thread, with a skin of its own
  other.skinIt = true;
  HANDLE hThread = ::CreateThread(nullptr, 0, &OtherGuiThread::Run, &other, 0, &other.id);
  ASSERT_EQ(::WaitForSingleObject(other.ready, 5000), WAIT_OBJECT_0);
  ASSERT_NE(other.skin, nullptr);
  EXPECT_EQ(::SendMessageA(SkinMirror(other.list), LB_GETCOUNT, 0, 0), 5) << "its rows";
  EXPECT_EQ(Outcome(Lib().SkinSetBkColor(other.skin, 0)), Refused(ERROR_ACCESS_DENIED));
  h.On();  // the classic skin
  const Skin good = Lib().SkinAttach(twin);
  ASSERT_NE(good, nullptr);
  const struct {
    const char* what;
    HWND window;
    DWORD error;
  } badWindows[] = {{"null", nullptr, ERROR_INVALID_WINDOW_HANDLE},
                    {"destroyed", dead, ERROR_INVALID_WINDOW_HANDLE},
                    {"an edit box", MakeEdit(h), ERROR_INVALID_WINDOW_HANDLE},
                    {"a top window", h.top.hWnd(), ERROR_INVALID_WINDOW_HANDLE},
                    {"a list without a parent", lonely, ERROR_INVALID_WINDOW_HANDLE},
                    {"another thread's list", other.list, ERROR_ACCESS_DENIED},
                    {"a list with a handle skin", twin, ERROR_ALREADY_EXISTS},
                    {"the classic skin's list", h.list, ERROR_ALREADY_EXISTS},
                    {"a skin's own list", h.mirror, ERROR_ALREADY_EXISTS}};
  for (const auto& bad : badWindows)
    EXPECT_EQ(Outcome(Lib().SkinAttach(bad.window)), Refused(bad.error)) << bad.what;
  for (HWND kin : {MakeSuperclassedList(h.top.hWnd()), MakeSimpleCombosList(h),
                   MakeDropDownCombosList(h)}) {
    const Skin skin = Lib().SkinAttach(kin);
    EXPECT_NE(skin, nullptr) << "a list box of the host's own class or a combo box's";
    EXPECT_EQ(Lib().SkinOf(kin), skin);
    EXPECT_TRUE(Lib().SkinDetach(skin));
  }
  EXPECT_EQ(Outcome(Lib().SkinOf(other.list)), Refused(ERROR_ACCESS_DENIED));
  EXPECT_EQ(Lib().SkinOf(h.list), nullptr) << "the classic skin has no handle";

  const Skin detached =
      Lib().SkinAttach(MakeChild(h.top.hWnd(), 602, kPlainListStyle, 0, 300, 99, 99));
  ASSERT_TRUE(Lib().SkinDetach(detached));
  const Skin badHandles[] = {nullptr, detached, reinterpret_cast<Skin>(1),
                             reinterpret_cast<Skin>(0xFFFF0001), reinterpret_cast<Skin>(-1),
                             reinterpret_cast<Skin>(reinterpret_cast<UINT_PTR>(good) + 0x10000),
                             reinterpret_cast<Skin>(&h)};
  const COLORREF shown = PixelAt(SkinMirror(twin), 150, 130);
  for (Skin bad : badHandles) {
    const std::string what = std::to_string(reinterpret_cast<UINT_PTR>(bad));
    EXPECT_EQ(Outcome(Lib().SkinDetach(bad)), Refused(ERROR_INVALID_HANDLE)) << what;
    EXPECT_EQ(Outcome(Lib().SkinSetBkColor(bad, RGB(9, 9, 9))), Refused(ERROR_INVALID_HANDLE));
    EXPECT_EQ(Outcome(Lib().SkinSetFgColor(bad, RGB(9, 9, 9))), Refused(ERROR_INVALID_HANDLE));
    EXPECT_EQ(Outcome(Lib().SkinSetBkImageW(bad, L"x.bmp")), Refused(ERROR_INVALID_HANDLE));
  }
  EXPECT_EQ(Outcome(Lib().SkinSetBkImageW(good, L"C:\\none.bmp")), Refused(ERROR_FILE_NOT_FOUND));
  // Bad looks: each refused whole, the good fields beside the bad one taken neither.
  KSLLOOK before = LookOf(KSLLOOK_ALL);
  ASSERT_TRUE(Lib().SkinGetLook(good, &before));
  const struct {
    const char* what;
    UINT size, mask;
    int focus;
    LPCWSTR picture;
    DWORD error;
  } badLooks[] = {{"a size of 0", 0, KSLLOOK_TEXT, 0, nullptr, ERROR_INVALID_PARAMETER},
                  {"a size too large", sizeof(KSLLOOK) + 4, KSLLOOK_TEXT, 0, nullptr,
                   ERROR_INVALID_PARAMETER},
                  {"an unknown mask bit", sizeof(KSLLOOK), KSLLOOK_TEXT | 0x80, 0, nullptr,
                   ERROR_INVALID_PARAMETER},
                  {"focus style 3", sizeof(KSLLOOK), KSLLOOK_ALL, 3, nullptr, ERROR_INVALID_PARAMETER},
                  {"focus style -1", sizeof(KSLLOOK), KSLLOOK_FOCUS | KSLLOOK_TEXT, -1, nullptr,
                   ERROR_INVALID_PARAMETER},
                  {"a missing picture", sizeof(KSLLOOK), KSLLOOK_ALL, 0, L"C:\\none.png",
                   ERROR_FILE_NOT_FOUND},
                  {"a folder as the picture", sizeof(KSLLOOK), KSLLOOK_ALL, 0, L"C:\\windows",
                   ERROR_INVALID_DATA}};
  for (const auto& bad : badLooks) {
    KSLLOOK look = LookOf(bad.mask);
    look.cbSize = bad.size, look.pszBkImage = bad.picture, look.nFocusStyle = bad.focus;
    look.crBk = look.crText = look.crSelBk = RGB(9, 9, 9), look.bSelAlpha = 99;
    EXPECT_EQ(Outcome(Lib().SkinSetLook(good, &look)), Refused(bad.error)) << bad.what;
    KSLLOOK after = LookOf(KSLLOOK_ALL);
    ASSERT_TRUE(Lib().SkinGetLook(good, &after));
    EXPECT_EQ(std::memcmp(&after, &before, sizeof after), 0) << bad.what << ": the look changed";
  }
  KSLLOOK tooSmall = LookOf(KSLLOOK_TEXT);
  tooSmall.cbSize -= 4;
  EXPECT_EQ(Outcome(Lib().SkinGetLook(good, &tooSmall)), Refused(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(Outcome(Lib().SkinSetLook(good, nullptr)), Refused(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(Outcome(Lib().SkinGetLook(good, nullptr)), Refused(ERROR_INVALID_PARAMETER));
  for (Skin bad : badHandles) {
    EXPECT_EQ(Outcome(Lib().SkinSetLook(bad, &before)), Refused(ERROR_INVALID_HANDLE));
    EXPECT_EQ(Outcome(Lib().SkinGetLook(bad, &before)), Refused(ERROR_INVALID_HANDLE));
  }
  EXPECT_EQ(PixelAt(SkinMirror(twin), 150, 130), shown) << "bad calls changed the skin";
  // Another thread may not touch this thread's skin.
  std::string fromWorker;
  ASSERT_TRUE(OnWorkerWhilePumping([&] {
    fromWorker = Outcome(Lib().SkinSetBkColor(good, RGB(9, 9, 9))) + " " +
                 Outcome(Lib().SkinSetLook(good, &before)) + " " +
                 Outcome(Lib().SkinDetach(good)) + " " + Outcome(Lib().SkinOf(twin));
  }));
  const std::string denied = Refused(ERROR_ACCESS_DENIED);
  EXPECT_EQ(fromWorker, denied + " " + denied + " " + denied + " " + denied);
  EXPECT_EQ(PixelAt(SkinMirror(twin), 150, 130), shown);

  // The classic call toggles the classic skin alone: off, then on over the handle skin's list
  // it switches nothing on, then on over its own list again.
  Lib().CreateHook(nullptr, nullptr);
  EXPECT_TRUE(UserMeets(h.list));
  EXPECT_EQ(Lib().SkinOf(twin), good);
  Lib().CreateHook(twin, twin);
  EXPECT_EQ(Lib().SkinOf(twin), good);
  EXPECT_EQ(Outcome(Lib().SkinSetBkColor(good, RGB(0, 90, 0))), "ok/0");
  EXPECT_EQ(PixelAt(SkinMirror(twin), 150, 130), RGB(0, 90, 0));
  h.On();
  EXPECT_TRUE(h.IsOn()) << "the previous call switched nothing on";
  EXPECT_EQ(HowTheSkinDiffers(h.mirror, h.list), "");
  h.Off();
  EXPECT_TRUE(Lib().SkinDetach(good));
  EXPECT_TRUE(UserMeets(twin));
  ::DestroyWindow(lonely);
  ::PostThreadMessageA(other.id, WM_QUIT, 0, 0);
  ::WaitForSingleObject(hThread, 5000);
  ::CloseHandle(hThread);
}

// A thousand skins at once, each found from its own list; they end with their window, and their
// handles stay stale: no later skin is given one of them.
CHILD_TEST(HandleSkins, AThousandAreOnAtOnceAndTheirHandlesAreNeverHandedOutAgain) {
  const int windowsBefore = CountThreadWindows();
  GdiCount& gdi = CountLibraryGdi(Lib().hModule);
  const long gdiBefore = gdi.created - gdi.deleted;
  // One look for every skin: a picture, a translucent selection and a hover look, shared.
  const std::string tile = WriteCoordinateBitmap("shared_look.bmp", 32, 32);
  const std::wstring path(tile.begin(), tile.end());
  KSLLOOK look = LookOf(KSLLOOK_BKIMAGE | KSLLOOK_SELECTION | KSLLOOK_HOT);
  look.pszBkImage = path.c_str(), look.crSelBk = RGB(0, 90, 200), look.bSelAlpha = 128, look.crHotBk = RGB(250, 200, 0);
  look.bHotAlpha = 96, look.crSelText = look.crHotText = KSLCLR_DEFAULT;
  std::vector<Skin> skins;
  {
    TopWindow top(0, 0, 1000, 760);
    ::ShowWindow(top.hWnd(), SW_HIDE);  // filled before it is shown, as a host does
    std::vector<HWND> lists;
    for (int i = 0; i < 1000; ++i) {
      lists.push_back(MakeChild(top.hWnd(), 100 + i, kPlainListStyle | LBS_NOINTEGRALHEIGHT,
                                (i % 40) * 25, (i / 40) * 30, 24, 29));
      AddItems(lists.back(), 3);
      skins.push_back(Lib().SkinAttach(lists.back()));
      ASSERT_NE(skins.back(), nullptr) << "skin " << i << ", error " << ::GetLastError();
    }
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(Lib().SkinOf(lists[i]), skins[i]) << i;
    for (Skin skin : skins) ASSERT_TRUE(Lib().SkinSetLook(skin, &look));
    // Each skin's own objects, beyond its windows, within the 3 that keep 1,000 skins far below a
    // process's quota of 10,000.
    EXPECT_LE(gdi.created - gdi.deleted - gdiBefore, 3 * 1000) << "GDI objects of 1,000 skins";
    for (int i : {0, 517, 999}) {
      ::SendMessageA(lists[i], LB_ADDSTRING, 0, Text("one more"));
      Pump();
      EXPECT_EQ(HowTheSkinDiffers(SkinMirror(lists[i]), lists[i]), "") << i;
    }
  }
  Pump();
  EXPECT_EQ(SettleWindowCount(windowsBefore), windowsBefore) << "windows left behind";
  EXPECT_EQ(gdi.created - gdi.deleted, gdiBefore) << "the shared tiles go with the last skin";
  HostScene h;
  for (int round = 0; round < 3; ++round) {
    const Skin again = Lib().SkinAttach(h.list);
    ASSERT_NE(again, nullptr);
    for (Skin old : skins) ASSERT_NE(again, old) << "a stale handle names a new skin";
    EXPECT_TRUE(Lib().SkinDetach(again));
    skins.push_back(again);
  }
  for (Skin old : skins) ASSERT_EQ(Outcome(Lib().SkinDetach(old)), Refused(ERROR_INVALID_HANDLE));
  EXPECT_EQ(HowTheListFails(h.list, 0), "");
}

// Two GUI threads, each with a window of three lists, switch handle skins on and off, change their
// looks and try the classic skin, all at once, for three seconds, and skin a drop-down combo box's
// list while it is dropped, then detach it or destroy the combo box, the last one with the window:
// no crash, every list its own afterwards, and every heap block and GDI object given back.
CHILD_TEST(HandleSkins, TwoGuiThreadsSwitchingSkinsOnAndOffAtOnceLeaveNothingBehind) {
  GdiCount& gdi = CountLibraryGdi(Lib().hModule);
  struct Worker {
    int index = 0;
    int rounds = 0;
    std::string failures;
    static DWORD WINAPI Run(void* p) {
      auto* w = static_cast<Worker*>(p);
      TopWindow top(640 * w->index, 20, 636, 300);
      HWND lists[3];
      for (int i = 0; i < 3; ++i) {
        lists[i] = MakeChild(top.hWnd(), 10 + i, kPlainListStyle, 5 + 205 * i, 10, 200, 250);
        AddItems(lists[i], 20);
      }
      for (const DWORD start = ::GetTickCount(); ::GetTickCount() - start < 3000; ++w->rounds) {
        Skin skins[2];
        for (int i = 0; i < 2; ++i) {
          skins[i] = Lib().SkinAttach(lists[i]);
          if (skins[i] == nullptr) w->failures += " attach refused;";
          Lib().SkinSetBkColor(skins[i], RGB(w->rounds % 256, 0, i * 100));
          Lib().SkinSetFgColor(skins[i], RGB(0, w->rounds % 256, 0));
          // Both threads' skins share this look's tiles, made by whichever thread comes first.
          KSLLOOK look = LookOf(KSLLOOK_SELECTION | KSLLOOK_HOT | KSLLOOK_BKCOLOR);
          look.crBk = RGB(0, 0, w->rounds % 4), look.bSelAlpha = 128, look.bHotAlpha = 64;
          if (!Lib().SkinSetLook(skins[i], &look)) w->failures += " look refused;";
        }
        Lib().CreateHook(lists[2], lists[2]);  // refused while the other thread has it
        Lib().SetBkColor(RGB(0, 0, w->rounds % 256));
        ::SendMessageA(lists[w->rounds % 3], LB_ADDSTRING, 0, Text("one more"));
        Pump();
        if (!UserMeets(lists[2])) Lib().CreateHook(nullptr, nullptr);
        for (Skin skin : skins)
          if (!Lib().SkinDetach(skin)) w->failures += " detach refused;";
        const HWND combo = SkinADroppedList(top.hWnd(), w);
        if (w->rounds % 2 == 0 && Lib().SkinDetach(Lib().SkinOf(DropDownListOf(combo))))
          w->failures += HowTheListFails(DropDownListOf(combo), 0);
        ::DestroyWindow(combo);
        Pump();
      }
      for (HWND list : lists) w->failures += HowTheListFails(list, 0);
      SkinADroppedList(top.hWnd(), w);  // to go with the window
      return 0;
    }
    // A drop-down combo box in hTop, dropped, its list skinned.
    static HWND SkinADroppedList(HWND hTop, Worker* w) {
      const HWND combo = MakeChild(hTop, 20, WS_CHILD | WS_VISIBLE | CBS_DROPDOWN, 5, 200, 150, 90,
                                   "COMBOBOX");
      ::SendMessageA(combo, CB_ADDSTRING, 0, Text("one"));
      ::SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
      if (!Lib().SkinAttach(DropDownListOf(combo)) || UserMeets(DropDownListOf(combo)))
        w->failures += " no skin over a dropped list;";
      return combo;
    }
  };
  {
    HostScene warmUp;  // the library's tables made once, as they stay
    Lib().SkinDetach(Lib().SkinAttach(warmUp.list));
  }
  const long blocksBefore = host::LibraryHeapBlocks();
  const long gdiBefore = gdi.created - gdi.deleted;
  Worker workers[2];
  workers[1].index = 1;
  HANDLE threads[2];
  for (int i = 0; i < 2; ++i) threads[i] = ::CreateThread(nullptr, 0, &Worker::Run, &workers[i], 0, nullptr);
  ASSERT_EQ(::WaitForMultipleObjects(2, threads, TRUE, 30000), WAIT_OBJECT_0);
  for (int i = 0; i < 2; ++i) {
    ::CloseHandle(threads[i]);
    EXPECT_EQ(workers[i].failures, "") << "thread " << i;
    EXPECT_GT(workers[i].rounds, 5) << "thread " << i;
  }
  // A block the library held before (an earlier thread's, let go once it ended) may be gone too.
  EXPECT_LE(host::LibraryHeapBlocks(), blocksBefore) << "heap blocks left behind";
  EXPECT_EQ(gdi.created - gdi.deleted, gdiBefore) << "GDI objects left behind";
}
