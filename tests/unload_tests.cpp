// Hosts that unload the library: FreeLibrary while the skin is on, or while another subclass keeps
// a procedure of the library in the list's chain, never leaves a window calling into unmapped code,
// and a library nobody needs any more really unloads. This program loads kslHook.dll only through
// its own LoadLibrary calls, so the library's own hold is the only other reference.
#include <gtest/gtest.h>

#include "GdiCounter.h"
#include "HostKit.h"

using namespace host;

namespace {

using CreateHookFn = int(WINAPI*)(HWND, HWND);

CreateHookFn FreshCreateHook() {
  HMODULE loaded = ::GetModuleHandleA("kslHook.dll");
  return loaded ? reinterpret_cast<CreateHookFn>(
                      reinterpret_cast<void*>(::GetProcAddress(loaded, "kslCreateHook")))
                : nullptr;
}

// Runs the host's message loop until the library is gone from the process, for at most two
// seconds. TRUE when it went.
bool UnloadsWhileTheLoopRuns() {
  for (int i = 0; i < 200 && ::GetModuleHandleA("kslHook.dll") != nullptr; ++i) {
    Pump();
    ::Sleep(10);
  }
  return ::GetModuleHandleA("kslHook.dll") == nullptr;
}

// The host's list, with the library loaded by the test itself.
struct UnloadScene {
  TopWindow top;
  HWND list = MakeChild(top.hWnd(), 100, kPlainListStyle | LBS_NOINTEGRALHEIGHT, 0, 0, 300, 200);
  HMODULE library = ::LoadLibraryA("kslHook.dll");
  CreateHookFn createHook = FreshCreateHook();
  LONG_PTR original = ::GetWindowLongPtrA(list, GWLP_WNDPROC);
  UnloadScene() { AddItems(list, 10); }
  ~UnloadScene() {
    // A test that failed half-way may have left the skin on and the library loaded: both go now,
    // so the next test starts without them.
    if (FindPanel(top.hWnd()) != nullptr)
      if (CreateHookFn off = FreshCreateHook()) off(nullptr, nullptr);
    Pump();
    while (HMODULE loaded = ::GetModuleHandleA("kslHook.dll")) {
      if (!::FreeLibrary(loaded)) break;
    }
  }
  LRESULT Count() const { return ::SendMessageA(list, LB_GETCOUNT, 0, 0); }
};

LRESULT CALLBACK PassOnToClassProc(HWND h, UINT m, WPARAM w, LPARAM l);
WNDPROC g_thirdPartyFound = nullptr;

// A third party's subclass: hands everything on to what it found.
LRESULT CALLBACK PassOnToClassProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  return ::CallWindowProcA(g_thirdPartyFound, h, m, w, l);
}

}  // namespace

TEST(Unload, AfterAPlainSwitchOffFreeLibraryReallyUnloads) {
  UnloadScene s;
  ASSERT_NE(s.library, nullptr);
  ASSERT_NE(s.createHook, nullptr);
  s.createHook(s.list, s.list);
  EXPECT_FALSE(UserMeets(s.list));
  s.createHook(nullptr, nullptr);
  EXPECT_TRUE(::FreeLibrary(s.library));
  EXPECT_TRUE(UnloadsWhileTheLoopRuns());
  EXPECT_EQ(::GetWindowLongPtrA(s.list, GWLP_WNDPROC), s.original);
  EXPECT_EQ(s.Count(), 10);
}

TEST(Unload, FreeLibraryWhileOnKeepsTheListAliveUntilAFreshLookUpSwitchesItOff) {
  UnloadScene s;
  s.createHook(s.list, s.list);
  HWND panel = FindPanel(s.top.hWnd());
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(::FreeLibrary(s.library));  // the host's own reference is gone
  Pump();
  ASSERT_NE(::GetModuleHandleA("kslHook.dll"), nullptr) << "the skin keeps its code loaded";

  // The host goes on using its list: items, a resize, a key stroke, painting.
  ::SendMessageA(s.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("after FreeLibrary"));
  EXPECT_EQ(s.Count(), 11);
  Pump();
  EXPECT_EQ(::SendMessageA(MirrorOf(panel), LB_GETCOUNT, 0, 0), 11);
  ::MoveWindow(s.list, 0, 0, 250, 150, TRUE);
  ::SendMessageA(s.list, WM_KEYDOWN, VK_DOWN, 1);
  ::SendMessageA(s.list, WM_KEYUP, VK_DOWN, 0xC0000001);
  Pump();
  ::UpdateWindow(panel);

  const CreateHookFn fresh = FreshCreateHook();
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh(nullptr, nullptr), 0);
  EXPECT_TRUE(UserMeets(s.list));
  EXPECT_EQ(::GetWindowLongPtrA(s.list, GWLP_WNDPROC), s.original);
  EXPECT_EQ(s.Count(), 11);
  EXPECT_TRUE(UnloadsWhileTheLoopRuns()) << "nobody needs the library any more";
  EXPECT_FALSE(::IsWindow(panel));
}

TEST(Unload, APassThroughLeftInAnotherSubclassesChainKeepsTheCodeUntilItIsGone) {
  UnloadScene s;
  s.createHook(s.list, s.list);
  g_thirdPartyFound = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
      s.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PassOnToClassProc)));
  s.createHook(nullptr, nullptr);  // the library cannot leave the chain from below the third party
  EXPECT_TRUE(::FreeLibrary(s.library));
  Pump();
  ASSERT_NE(::GetModuleHandleA("kslHook.dll"), nullptr) << "its pass-through is still called";
  ::SendMessageA(s.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("through the pass-through"));
  EXPECT_EQ(s.Count(), 11);

  // The third party leaves the usual way, putting back the library's procedure it found; the next
  // message lets the pass-through leave too.
  ::SetWindowLongPtrA(s.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_thirdPartyFound));
  EXPECT_EQ(s.Count(), 11);
  EXPECT_EQ(::GetWindowLongPtrA(s.list, GWLP_WNDPROC), s.original);
  EXPECT_TRUE(UnloadsWhileTheLoopRuns());
  ::SendMessageA(s.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("after unload"));
  EXPECT_EQ(s.Count(), 12);
}

TEST(Unload, AListDestroyedWithAPassThroughInItsChainReleasesTheCode) {
  UnloadScene s;
  s.createHook(s.list, s.list);
  g_thirdPartyFound = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
      s.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PassOnToClassProc)));
  s.createHook(nullptr, nullptr);
  EXPECT_TRUE(::FreeLibrary(s.library));
  ::DestroyWindow(s.list);  // the pass-through sees the list's last message and goes with it
  EXPECT_TRUE(UnloadsWhileTheLoopRuns());
}

TEST(Unload, FreeLibraryWithSeveralHandleSkinsOnKeepsThemWorkingUntilAFreshLookUpDetachesThem) {
  UnloadScene s;
  using Skin = Library::Skin;
  HWND lists[3] = {s.list};
  Skin skins[3] = {};
  auto attach = reinterpret_cast<Skin(WINAPI*)(HWND)>(
      reinterpret_cast<void*>(::GetProcAddress(s.library, "kslSkinAttach")));
  ASSERT_NE(attach, nullptr);
  for (int i = 0; i < 3; ++i) {
    if (i > 0) lists[i] = MakeChild(s.top.hWnd(), 200 + i, kPlainListStyle, 310, 100 * i, 200, 90);
    skins[i] = attach(lists[i]);
    ASSERT_NE(skins[i], nullptr);
  }
  EXPECT_TRUE(::FreeLibrary(s.library));
  Pump();
  ASSERT_NE(::GetModuleHandleA("kslHook.dll"), nullptr) << "the skins keep their code loaded";
  for (HWND list : lists) {
    ::SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("after FreeLibrary"));
    EXPECT_FALSE(UserMeets(list));
  }
  Pump();
  EXPECT_EQ(::SendMessageA(MirrorOf(::GetWindow(lists[2], GW_HWNDNEXT)), LB_GETCOUNT, 0, 0), 1);
  auto detach = reinterpret_cast<BOOL(WINAPI*)(Skin)>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("kslHook.dll"), "kslSkinDetach")));
  for (Skin skin : skins) EXPECT_TRUE(detach(skin));
  for (HWND list : lists) EXPECT_TRUE(UserMeets(list));
  EXPECT_EQ(::GetWindowLongPtrA(s.list, GWLP_WNDPROC), s.original);
  EXPECT_TRUE(UnloadsWhileTheLoopRuns()) << "nobody needs the library any more";
}

namespace {

// A host's second GUI thread: a window with lists, skinned through the handle API (and the classic
// skin on one more list, when asked), that either returns from its loop with its windows and skins
// as they are, or destroys its window first.
struct SkinnedThread {
  HMODULE library;
  bool destroysItsWindowFirst;
  bool classicToo;
  Library::Skin skins[3] = {};
  static DWORD WINAPI Run(void* p) {
    auto* t = static_cast<SkinnedThread*>(p);
    auto attach = reinterpret_cast<Library::Skin(WINAPI*)(HWND)>(
        reinterpret_cast<void*>(::GetProcAddress(t->library, "kslSkinAttach")));
    auto color = reinterpret_cast<BOOL(WINAPI*)(Library::Skin, COLORREF)>(
        reinterpret_cast<void*>(::GetProcAddress(t->library, "kslSkinSetBkColor")));
    HWND top = ::CreateWindowExA(0, "STATIC", "second", WS_POPUP | WS_VISIBLE, 600, 20, 420, 300,
                                 nullptr, nullptr, nullptr, nullptr);
    for (int i = 0; i < 3; ++i) {
      HWND list = MakeChild(top, 10 + i, kPlainListStyle, 10 + 100 * i, 10, 90, 200);
      AddItems(list, 5);
      t->skins[i] = attach(list);
      color(t->skins[i], RGB(40 * i, 80, 120));
    }
    if (t->classicToo) {
      HWND list = MakeChild(top, 20, kPlainListStyle, 310, 10, 90, 200);
      AddItems(list, 5);
      reinterpret_cast<CreateHookFn>(reinterpret_cast<void*>(
          ::GetProcAddress(t->library, "kslCreateHook")))(list, list);
    }
    ::UpdateWindow(top);
    Pump();
    if (t->destroysItsWindowFirst) ::DestroyWindow(top);
    return 0;  // the loop is over; whatever is left stays as it is
  }
};

}  // namespace

// A host's second GUI thread ends with three handle skins and the classic skin on; another
// destroys its window first, then ends. The skins go with their threads (every GDI object and heap
// block given back, the handles stale, the classic skin free for the next thread), and the
// library unloads.
TEST(Unload, ThreadsThatEndWithSkinsOnLeaveNothingBehindAndTheLibraryUnloads) {
  HMODULE library = ::LoadLibraryA("kslHook.dll");
  ASSERT_NE(library, nullptr);
  WatchLibrary(library);
  const GdiCount& gdi = CountLibraryGdi(library);
  const long gdiBefore = gdi.created - gdi.deleted;
  const long blocksBefore = LibraryHeapBlocks();
  SkinnedThread threads[] = {{library, false, true}, {library, true, false}};
  for (SkinnedThread& t : threads) {
    HANDLE h = ::CreateThread(nullptr, 0, &SkinnedThread::Run, &t, 0, nullptr);
    while (::MsgWaitForMultipleObjects(1, &h, FALSE, 10000, QS_ALLINPUT) != WAIT_OBJECT_0) Pump();
    ::CloseHandle(h);
    for (Library::Skin skin : t.skins) ASSERT_NE(skin, nullptr);
  }
  auto detach = reinterpret_cast<BOOL(WINAPI*)(Library::Skin)>(
      reinterpret_cast<void*>(::GetProcAddress(library, "kslSkinDetach")));
  for (SkinnedThread& t : threads) {
    for (Library::Skin skin : t.skins) {
      ::SetLastError(0);
      EXPECT_FALSE(detach(skin)) << "a handle of a skin that ended with its thread";
      EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
  }
  {
    TopWindow top;  // the classic skin is free for this thread
    HWND list = MakeChild(top.hWnd(), 100, kPlainListStyle, 0, 0, 300, 200);
    auto createHook = reinterpret_cast<CreateHookFn>(
        reinterpret_cast<void*>(::GetProcAddress(library, "kslCreateHook")));
    createHook(list, list);
    EXPECT_FALSE(UserMeets(list)) << "the classic skin did not go on here";
    createHook(nullptr, nullptr);
    EXPECT_TRUE(UserMeets(list));
  }
  EXPECT_TRUE(::FreeLibrary(library));
  EXPECT_TRUE(UnloadsWhileTheLoopRuns()) << "the library stayed loaded";
  EXPECT_EQ(gdi.created - gdi.deleted, gdiBefore) << "GDI objects left behind";
  EXPECT_EQ(LibraryHeapBlocks(), blocksBefore) << "heap blocks left behind";
}
