// The framework layer through real windows: a dialog from the library's template, a list bound to
// an object during initialisation, its owner-drawn rows handed to it, notifications reaching the
// dialog's handlers, and who owns which handle.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "framework/Framework.h"
#include "framework/PlainArray.h"
#include "tests/HostKit.h"

using namespace host;

namespace {

class RecordingList : public CListBox {
 public:
  void DrawItem(LPDRAWITEMSTRUCT p) override { drawn.push_back(static_cast<int>(p->itemID)); }
  std::vector<int> drawn;
};

class RecordingDialog : public CDialog {
 public:
  RecordingDialog() : CDialog(129) {}
  RecordingList list;
  std::vector<UINT> messages;
  bool listBoundAtInit = false;
  int sizes = 0;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    messages.push_back(message);
    return CDialog::WindowProc(message, wParam, lParam);
  }
  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Control(pDX, 1000, list);
    listBoundAtInit = list.m_hWnd != nullptr;
  }
  void OnSize(UINT, int, int) { ++sizes; }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(RecordingDialog, CDialog)
  ON_WM_SIZE()
END_MESSAGE_MAP()

size_t IndexOf(const std::vector<UINT>& messages, UINT message) {
  for (size_t i = 0; i < messages.size(); ++i)
    if (messages[i] == message) return i;
  return messages.size();
}

struct DialogScene {
  TopWindow top;
  RecordingDialog dialog;
  DialogScene() {
    EXPECT_TRUE(dialog.Create(129, top.hWnd()));
    ::MoveWindow(dialog.m_hWnd, 0, 0, 300, 200, TRUE);
    ::MoveWindow(dialog.list.m_hWnd, 0, 0, 300, 200, TRUE);
    ::ShowWindow(dialog.m_hWnd, SW_SHOW);
  }
};

}  // namespace

TEST(Dialog, EarlyMessagesReachTheObjectAndInitialisationBindsTheList) {
  DialogScene scene;
  const std::vector<UINT>& seen = scene.dialog.messages;
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front(), static_cast<UINT>(WM_NCCREATE));
  EXPECT_LT(IndexOf(seen, WM_CREATE), IndexOf(seen, WM_INITDIALOG));
  EXPECT_LT(IndexOf(seen, WM_SETFONT), IndexOf(seen, WM_INITDIALOG));
  EXPECT_LT(IndexOf(seen, WM_INITDIALOG), seen.size());
  EXPECT_TRUE(scene.dialog.listBoundAtInit);
  EXPECT_EQ(CWnd::FromHandlePermanent(::GetDlgItem(scene.dialog.m_hWnd, 1000)), &scene.dialog.list);
  EXPECT_EQ(::GetParent(scene.dialog.m_hWnd), scene.top.hWnd());
  EXPECT_FALSE(::GetWindowLongA(scene.dialog.m_hWnd, GWL_STYLE) & WS_BORDER);
  EXPECT_GT(scene.dialog.sizes, 0);  // the map's WM_SIZE entry ran
}

TEST(Dialog, CreateFailsCleanlyWithoutATemplateOrWithoutAParentForAChild) {
  RecordingDialog missing;
  EXPECT_FALSE(missing.Create(4242, nullptr));
  EXPECT_EQ(missing.m_hWnd, nullptr);
  RecordingDialog orphan;  // template 129 is a child dialog: no parent, no window
  EXPECT_FALSE(orphan.Create(129, nullptr));
  EXPECT_EQ(orphan.m_hWnd, nullptr);
}

TEST(Reflection, OwnerDrawMessagesReachTheBoundList) {
  DialogScene scene;
  HWND hList = scene.dialog.list.m_hWnd;
  ::SendMessageA(hList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("a"));
  ::SendMessageA(hList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("b"));
  ::UpdateWindow(hList);
  Pump();
  EXPECT_GE(scene.dialog.list.drawn.size(), 2u);
}

TEST(Ownership, ABorrowedDcSurvivesItsWrapperAndAnOwnedOneDoesNot) {
  TopWindow top;
  HDC hWindowDC = ::GetDC(top.hWnd());
  HDC hMemory = nullptr;
  {
    CDC borrowed;
    EXPECT_TRUE(borrowed.Attach(hWindowDC));
    CDC owned;
    EXPECT_TRUE(owned.CreateCompatibleDC(&borrowed));
    hMemory = owned.GetSafeHdc();
    EXPECT_NE(::GetObjectType(hMemory), 0u);
  }
  EXPECT_EQ(::GetObjectType(hMemory), 0u) << "the owned memory DC is deleted";
  EXPECT_NE(::GetObjectType(hWindowDC), 0u) << "the borrowed DC is left alone";
  ::ReleaseDC(top.hWnd(), hWindowDC);
}

TEST(Ownership, GdiObjectsAreDeletedByTheirWrapperUnlessDetached) {
  HGDIOBJ deleted = nullptr;
  HGDIOBJ kept = nullptr;
  {
    CBrush brush(RGB(10, 20, 30));
    deleted = brush.GetSafeHandle();
    CBrush other(RGB(1, 1, 1));
    kept = other.Detach();
    CBitmap twice;
    EXPECT_TRUE(twice.Attach(::CreateBitmap(1, 1, 1, 1, nullptr)));
    EXPECT_FALSE(twice.Attach(kept)) << "a wrapper holds one object";
  }
  EXPECT_EQ(::GetObjectType(deleted), 0u);
  EXPECT_EQ(::GetObjectType(kept), static_cast<DWORD>(OBJ_BRUSH));
  ::DeleteObject(kept);
}

TEST(Ownership, AnObjectNeverDestroysAHostWindowItWasBoundTo) {
  TopWindow top;
  HWND hList = MakeChild(top.hWnd(), 1, kPlainListStyle, 0, 0, 100, 100);
  const LONG_PTR original = ::GetWindowLongPtrA(hList, GWLP_WNDPROC);
  {
    CListBox wrapper;
    EXPECT_TRUE(wrapper.SubclassWindow(hList));
    EXPECT_NE(::GetWindowLongPtrA(hList, GWLP_WNDPROC), original);
  }
  EXPECT_TRUE(::IsWindow(hList));
  EXPECT_EQ(::GetWindowLongPtrA(hList, GWLP_WNDPROC), original);
}

namespace {
WNDPROC g_laterFound = nullptr;
// A later subclass as third parties write it: it calls the procedure it found.
LRESULT CALLBACK LaterProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  return ::CallWindowProcA(g_laterFound, h, m, w, l);
}

class PassingClient : public CSubclassClient {
 public:
  LRESULT OnSubclassMessage(const CNextProc& next, UINT m, WPARAM w, LPARAM l) override {
    ++messages;
    return next(m, w, l);
  }
  int messages = 0;
};
}  // namespace

TEST(Ownership, UnbindingUnderALaterSubclassKeepsTheWindowWorking) {
  TopWindow top;
  HWND hList = MakeChild(top.hWnd(), 1, kPlainListStyle, 0, 0, 100, 100);
  const LONG_PTR original = ::GetWindowLongPtrA(hList, GWLP_WNDPROC);
  CListBox wrapper;
  ASSERT_TRUE(wrapper.SubclassWindow(hList));
  g_laterFound = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(hList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LaterProc)));
  EXPECT_EQ(wrapper.UnsubclassWindow(), hList);
  EXPECT_EQ(::GetWindowLongPtrA(hList, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&LaterProc))
      << "the later subclass stays in front";
  EXPECT_EQ(CWnd::FromHandlePermanent(hList), nullptr);
  // Through the later subclass and what the framework left behind, the list's own procedure.
  ::SendMessageA(hList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("a"));
  EXPECT_EQ(::SendMessageA(hList, LB_GETCOUNT, 0, 0), 1);

  // The later subclass leaves by putting back what it found; the framework's procedure follows.
  ::SetWindowLongPtrA(hList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_laterFound));
  EXPECT_EQ(::SendMessageA(hList, LB_GETCOUNT, 0, 0), 1);
  EXPECT_EQ(::GetWindowLongPtrA(hList, GWLP_WNDPROC), original);
  CListBox again;
  EXPECT_TRUE(again.SubclassWindow(hList)) << "the window can be bound afresh";
}

TEST(Subclass, ManyWindowsEachTakeSubclassesAndOneWindowRunsOutCleanly) {
  TopWindow top;
  const int before = CWindowSubclass::LiveCount();
  PassingClient client;
  // One subclass on each of many windows: the limit is a window's, not the process's.
  std::vector<std::unique_ptr<CWindowSubclass>> many;
  for (int i = 0; i < 300; ++i) {
    many.push_back(std::make_unique<CWindowSubclass>());
    ASSERT_TRUE(many.back()->Install(MakeChild(top.hWnd(), 500 + i, kPlainListStyle, 0, 0, 9, 9),
                                     &client)) << i;
  }
  EXPECT_EQ(CWindowSubclass::LiveCount(), before + 300);
  many.clear();
  // Many on one window, each with its own procedure, until they run out.
  HWND hList = MakeChild(top.hWnd(), 10, kPlainListStyle, 0, 0, 50, 50);
  std::vector<std::unique_ptr<CWindowSubclass>> subclasses;
  std::vector<LONG_PTR> procs;
  for (;;) {
    const LONG_PTR current = ::GetWindowLongPtrA(hList, GWLP_WNDPROC);
    auto subclass = std::make_unique<CWindowSubclass>();
    if (!subclass->Install(hList, &client)) {
      EXPECT_EQ(::GetWindowLongPtrA(hList, GWLP_WNDPROC), current) << "refused: untouched";
      break;
    }
    procs.push_back(::GetWindowLongPtrA(hList, GWLP_WNDPROC));
    subclasses.push_back(std::move(subclass));
    ASSERT_LT(subclasses.size(), 1000u) << "installs never run out on one window";
  }
  EXPECT_GE(subclasses.size(), 8u);
  EXPECT_EQ(CWindowSubclass::LiveCount(), before + static_cast<int>(subclasses.size()));
  std::vector<LONG_PTR> sorted = procs;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end()) << "no two alike";
  client.messages = 0;
  ::SendMessageA(hList, LB_GETCOUNT, 0, 0);
  EXPECT_EQ(client.messages, static_cast<int>(subclasses.size())) << "each in the chain";
  // Switched off and on again under someone else's subclass, again and again, with no layer free.
  g_laterFound = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(hList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LaterProc)));
  for (int again = 0; again < 3; ++again) {
    EXPECT_FALSE(subclasses.back()->Remove()) << "a pass-through stays";
    ASSERT_TRUE(subclasses.back()->Install(hList, &client)) << "and serves again";
  }
  ::SetWindowLongPtrA(hList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_laterFound));
  while (!subclasses.empty()) subclasses.pop_back();  // each on top as it goes
  EXPECT_EQ(CWindowSubclass::LiveCount(), before);
  CWindowSubclass fresh;
  EXPECT_TRUE(fresh.Install(hList, &client)) << "layers come back";
  EXPECT_FALSE(fresh.Install(top.hWnd(), &client)) << "one window per subclass object";
  EXPECT_FALSE(CWindowSubclass().Install(nullptr, &client));
}

TEST(ModuleStateScope, SwitchesForTheScopeAndRestoresAfterIt) {
  AFX_MODULE_STATE* before = AfxGetModuleState();
  AFX_MODULE_STATE other = {nullptr, nullptr};
  {
    AFX_MANAGE_STATE(&other);
    EXPECT_EQ(AfxGetModuleState(), &other);
    {
      AFX_MANAGE_STATE(AfxGetStaticModuleState());
      EXPECT_EQ(AfxFindResourceHandle(nullptr, nullptr), ::GetModuleHandleA(nullptr));
    }
    EXPECT_EQ(AfxGetModuleState(), &other);
  }
  EXPECT_EQ(AfxGetModuleState(), before);
}

namespace {
int g_idleRuns = 0;
void CountIdleRun(void*) { ++g_idleRuns; }

class DeferringList : public CListBox {
 public:
  int runsSeenInside = -1;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_USER + 7) {
      AfxCallWhenIdle(&CountIdleRun, nullptr);
      // A nested message of another window: still not idle when it returns.
      ::SendMessageA(::GetParent(m_hWnd), WM_NULL, 0, 0);
      runsSeenInside = g_idleRuns;
      return 0;
    }
    return CListBox::WindowProc(message, wParam, lParam);
  }
};
}  // namespace

TEST(IdleWork, RunsAtOnceWhenIdleAndAfterTheOutermostMessageOtherwise) {
  g_idleRuns = 0;
  AfxCallWhenIdle(&CountIdleRun, nullptr);
  EXPECT_EQ(g_idleRuns, 1);

  DialogScene scene;
  DeferringList deferring;
  HWND hList = MakeChild(scene.dialog.m_hWnd, 77, kPlainListStyle, 0, 0, 50, 50);
  ASSERT_TRUE(deferring.SubclassWindow(hList));
  ::SendMessageA(hList, WM_USER + 7, 0, 0);
  EXPECT_EQ(deferring.runsSeenInside, 1) << "deferred while the message was being handled";
  EXPECT_EQ(g_idleRuns, 2) << "ran as the message's handling ended";
}

TEST(PlainStorage, ArraysGrowKeepTheirValuesAndRefuseSizesBeyondMemory) {
  CPlainArray<int> numbers;
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(numbers.Add(i * 3));
  numbers.RemoveAt(0);
  numbers.RemoveAt(500);
  ASSERT_EQ(numbers.GetSize(), 998);
  EXPECT_EQ(numbers[0], 3);
  EXPECT_EQ(numbers[499], 1500);
  EXPECT_EQ(numbers[500], 1506) << "the values after a removed one move up";
  EXPECT_EQ(numbers[997], 2997);

  ASSERT_TRUE(numbers.SetSize(1200));
  EXPECT_EQ(numbers[997], 2997);
  EXPECT_EQ(numbers[998], 0);
  EXPECT_EQ(numbers[1199], 0) << "values added by a size are zero";

  struct Large { char bytes[4096]; };
  CPlainArray<Large> large;
  ASSERT_TRUE(large.SetSize(2));
  large[1].bytes[7] = 'k';
  EXPECT_FALSE(large.SetSize(0x7FFFFFFF)) << "more bytes than an address space holds";
  EXPECT_FALSE(large.SetSize(-1));
  ASSERT_EQ(large.GetSize(), 2);
  EXPECT_EQ(large[1].bytes[7], 'k') << "a refused size leaves the array as it was";
}
