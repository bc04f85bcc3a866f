// Hosts that unload the library: FreeLibrary while the skin is on, or while another subclass keeps
// a procedure of the library in the list's chain, never leaves a window calling into unmapped code,
// and a library nobody needs any more really unloads. This program loads kslHook.dll only through
// its own LoadLibrary calls, so the library's own hold is the only other reference.
#include <gtest/gtest.h>

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
