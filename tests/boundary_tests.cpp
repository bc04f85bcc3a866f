// The library as a host finds it: its export table, its resources, and switching the overlay on
// and off through kslCreateHook.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "HostKit.h"

using namespace host;

namespace {

const BYTE* Image() { return reinterpret_cast<const BYTE*>(Lib().hModule); }

const IMAGE_EXPORT_DIRECTORY* Exports() {
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(Image());
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(Image() + dos->e_lfanew);
  const DWORD rva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress;
  return reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(Image() + rva);
}

std::vector<BYTE> ResourceBytes(LPCSTR type, int id) {
  HRSRC hRes = ::FindResourceExA(Lib().hModule, type, MAKEINTRESOURCEA(id),
                                 MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
  if (hRes == nullptr) return {};
  auto* data = static_cast<const BYTE*>(::LockResource(::LoadResource(Lib().hModule, hRes)));
  return std::vector<BYTE>(data, data + ::SizeofResource(Lib().hModule, hRes));
}

RECT RectInParent(HWND hWnd) {
  RECT rc;
  ::GetWindowRect(hWnd, &rc);
  ::MapWindowPoints(nullptr, ::GetParent(hWnd), reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

// A host window with a pane (the reference window) and a list box laid over the same place.
SceneOptions PaneScene() {
  SceneOptions o;
  o.items = 20;
  o.style = kPlainListStyle;
  o.place = {110, 70, 410, 270};
  o.reference = Reference::kPane;
  return o;
}

bool OverlayIsOn(HWND hParent) { return FindPanel(hParent) != nullptr; }

}  // namespace

// Each function under its plain name at a fixed ordinal in both builds (the classic five at 6-10,
// the Unicode picture setter at 12, the handle API at 19-24, 27-28 and 31-32); the 32-bit DLL
// also under its decorated __stdcall name (at 1-5, 11, 13-18, 25-26 and 29-30), which 64-bit code,
// with its one calling convention, has no use for and must not export.
TEST(ExportTable, NamesTheFileAndHoldsEachFunctionUnderItsNamesAtFixedOrdinals) {
  ASSERT_NE(Lib().hModule, nullptr);
  const IMAGE_EXPORT_DIRECTORY* dir = Exports();
  EXPECT_STREQ(reinterpret_cast<const char*>(Image() + dir->Name), "kslHook.dll");
  struct Entry {
    const char* plain;
    const char* decorated;
    DWORD ordinal, decoratedOrdinal;
  };
  const Entry functions[] = {{"kslCreateHook", "_kslCreateHook@8", 6, 1},
                             {"kslHookSetBkBmp", "_kslHookSetBkBmp@4", 7, 2},
                             {"kslHookSetBkColor", "_kslHookSetBkColor@4", 8, 3},
                             {"kslHookSetFgColor", "_kslHookSetFgColor@4", 9, 4},
                             {"kslHookSetHwnd", "_kslHookSetHwnd@4", 10, 5},
                             {"kslHookSetBkBmpW", "_kslHookSetBkBmpW@4", 12, 11},
                             {"kslSkinAttach", "_kslSkinAttach@4", 19, 13},
                             {"kslSkinDetach", "_kslSkinDetach@4", 20, 14},
                             {"kslSkinOf", "_kslSkinOf@4", 21, 15},
                             {"kslSkinSetBkImageW", "_kslSkinSetBkImageW@8", 22, 16},
                             {"kslSkinSetBkColor", "_kslSkinSetBkColor@8", 23, 17},
                             {"kslSkinSetFgColor", "_kslSkinSetFgColor@8", 24, 18},
                             {"kslSkinSetLook", "_kslSkinSetLook@8", 27, 25},
                             {"kslSkinGetLook", "_kslSkinGetLook@8", 28, 26},
                             {"kslSkinAutoAttach", "_kslSkinAutoAttach@4", 31, 29},
                             {"kslSkinAutoDetach", "_kslSkinAutoDetach@0", 32, 30}};
  const bool decorated = sizeof(void*) == 4;
  EXPECT_EQ(dir->Base, decorated ? 1u : 6u);
  ASSERT_EQ(dir->NumberOfNames, decorated ? 32u : 16u);

  auto* nameTable = reinterpret_cast<const DWORD*>(Image() + dir->AddressOfNames);
  auto* ordinals = reinterpret_cast<const WORD*>(Image() + dir->AddressOfNameOrdinals);
  for (DWORD i = 0; i < dir->NumberOfNames; ++i) {
    const std::string name = reinterpret_cast<const char*>(Image() + nameTable[i]);
    DWORD ordinal = 0;
    for (const Entry& f : functions) {
      if (name == f.plain) ordinal = f.ordinal;
      if (decorated && name == f.decorated) ordinal = f.decoratedOrdinal;
    }
    ASSERT_NE(ordinal, 0u) << "unexpected export " << name;
    EXPECT_EQ(ordinals[i] + dir->Base, ordinal) << name;
  }
  for (const Entry& f : functions) {
    const FARPROC plain = Lib().Export(f.plain);
    ASSERT_NE(plain, nullptr) << f.plain;
    EXPECT_EQ(plain, ::GetProcAddress(Lib().hModule, MAKEINTRESOURCEA(f.ordinal))) << f.plain;
    EXPECT_EQ(Lib().Export(f.decorated), decorated ? plain : nullptr) << f.decorated;
  }
}

TEST(Resources, DialogTemplateIsTheBorderlessPanelWithOneOwnerDrawnList) {
  const std::vector<BYTE> bytes = ResourceBytes(reinterpret_cast<LPCSTR>(RT_DIALOG), 129);
  // style, ex-style, 1 item, at 0,0 size 107 x 92, no menu, class or title, 9 pt, the face name,
  // then the list: style, ex-style, 0,0 80 x 45, id 1000, class ordinal LISTBOX, empty title.
  const std::vector<BYTE> expected = {
      0x40, 0x00, 0x00, 0x40, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 107, 0, 92, 0, 0, 0, 0, 0, 0, 0,
      9, 0, 0x2d, 0xff, 0x33, 0xff, 0x20, 0x00, 0x30, 0xff, 0xb4, 0x30, 0xb7, 0x30, 0xc3, 0x30,
      0xaf, 0x30, 0, 0, 0x51, 0x05, 0x21, 0x50, 0, 0, 0, 0, 0, 0, 0, 0, 80, 0, 45, 0,
      0xe8, 0x03, 0xff, 0xff, 0x83, 0x00, 0, 0, 0, 0};
  EXPECT_EQ(bytes, expected);
}

TEST(Resources, BackgroundTileIsADark128By128EightBitDib) {
  const std::vector<BYTE> bytes = ResourceBytes(reinterpret_cast<LPCSTR>(RT_BITMAP), 12005);
  ASSERT_EQ(bytes.size(), 17448u);
  BITMAPINFOHEADER info;
  std::memcpy(&info, bytes.data(), sizeof info);
  EXPECT_EQ(info.biSize, 40u);
  EXPECT_EQ(info.biWidth, 128);
  EXPECT_EQ(info.biHeight, 128);  // positive: rows stored bottom-up
  EXPECT_EQ(info.biPlanes, 1);
  EXPECT_EQ(info.biBitCount, 8);
  EXPECT_EQ(info.biCompression, static_cast<DWORD>(BI_RGB));
  EXPECT_EQ(info.biSizeImage, 16384u);
  EXPECT_EQ(info.biXPelsPerMeter, 0);
  EXPECT_EQ(info.biClrUsed, 0u);
  EXPECT_EQ(info.biClrImportant, 0u);
  const BYTE* palette = bytes.data() + 40;
  const BYTE* indices = palette + 1024;
  double sum = 0;
  for (int i = 0; i < 16384; ++i) {
    const BYTE* c = palette + 4 * indices[i];
    sum += (c[0] + c[1] + c[2]) / 3.0;
  }
  EXPECT_LT(sum / 16384, 64.0) << "the default tile is a dark texture";
  EXPECT_GT(sum / 16384, 4.0) << "and not plain black";
}

TEST(Resources, VersionRecordMarksA32BitWindowsDll1_0_0_1InAJapaneseUnicodeBlock) {
  const std::vector<BYTE> bytes = ResourceBytes(reinterpret_cast<LPCSTR>(RT_VERSION), 1);
  ASSERT_FALSE(bytes.empty());
  // VS_FIXEDFILEINFO follows the "VS_VERSION_INFO" key, aligned to four bytes.
  const DWORD signature = 0xFEEF04BD;
  const BYTE* found = nullptr;
  for (size_t i = 0; i + sizeof(VS_FIXEDFILEINFO) <= bytes.size(); i += 4)
    if (std::memcmp(&bytes[i], &signature, 4) == 0) found = &bytes[i];
  ASSERT_NE(found, nullptr);
  VS_FIXEDFILEINFO info;
  std::memcpy(&info, found, sizeof info);
  EXPECT_EQ(info.dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(info.dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(info.dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(info.dwProductVersionLS, 0x00000001u);
  EXPECT_EQ(info.dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
  EXPECT_EQ(info.dwFileType, static_cast<DWORD>(VFT_DLL));

  auto contains = [&](const std::wstring& text) {
    const BYTE* b = reinterpret_cast<const BYTE*>(text.data());
    const size_t n = text.size() * 2;
    for (size_t i = 0; i + n <= bytes.size(); i += 2)
      if (std::memcmp(&bytes[i], b, n) == 0) return true;
    return false;
  };
  EXPECT_TRUE(contains(L"041104b0") || contains(L"041104B0"));
  EXPECT_TRUE(contains(L"Translation"));
  const BYTE translation[4] = {0x11, 0x04, 0xB0, 0x04};
  bool hasTranslation = false;
  for (size_t i = 0; i + 4 <= bytes.size(); ++i)
    if (std::memcmp(&bytes[i], translation, 4) == 0) hasTranslation = true;
  EXPECT_TRUE(hasTranslation);
}

TEST(Lifecycle, OnOffOnBuildsAFreshPanelAtTheParentsOriginWithTheReferenceSize) {
  HostScene scene(PaneScene());
  const LONG_PTR hostProc = ::GetWindowLongPtrA(scene.list, GWLP_WNDPROC);

  EXPECT_EQ(Lib().CreateHook(scene.reference, scene.list), 0);
  HWND panel = FindPanel(scene.top.hWnd());
  ASSERT_NE(panel, nullptr);
  EXPECT_FALSE(UserMeets(scene.list));
  EXPECT_TRUE(::IsWindowVisible(panel));
  const RECT placed = RectInParent(panel);
  EXPECT_EQ(placed.left, 0);
  EXPECT_EQ(placed.top, 0);
  EXPECT_EQ(placed.right - placed.left, 300);
  EXPECT_EQ(placed.bottom - placed.top, 200);
  EXPECT_EQ(ItemsOf(MirrorOf(panel)), ItemsOf(scene.list));
  EXPECT_NE(::GetWindowLongPtrA(scene.list, GWLP_WNDPROC), hostProc);
  EXPECT_EQ(::GetWindow(scene.top.hWnd(), GW_CHILD), panel) << "above the host's other children";

  EXPECT_EQ(Lib().CreateHook(nullptr, nullptr), 0);
  EXPECT_EQ(FindPanel(scene.top.hWnd()), nullptr);
  EXPECT_TRUE(UserMeets(scene.list));
  EXPECT_EQ(::GetWindowLongPtrA(scene.list, GWLP_WNDPROC), hostProc);

  // Items added while the overlay is off reach the next panel's copy.
  ::SendMessageA(scene.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("added while off"));
  EXPECT_EQ(Lib().CreateHook(scene.reference, scene.list), 0);
  HWND second = FindPanel(scene.top.hWnd());
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(ItemsOf(MirrorOf(second)), ItemsOf(scene.list));
  EXPECT_EQ(ItemsOf(MirrorOf(second)).back(), "added while off");
  Lib().CreateHook(nullptr, nullptr);
  EXPECT_EQ(::GetWindowLongPtrA(scene.list, GWLP_WNDPROC), hostProc);

  // On and off while the host's window is not shown yet (a dialog's WM_INITDIALOG): the list the
  // host meant to show is shown with its window.
  ::ShowWindow(scene.top.hWnd(), SW_HIDE);
  Lib().CreateHook(scene.reference, scene.list);
  EXPECT_NE(FindPanel(scene.top.hWnd()), nullptr) << "switched on under a hidden window";
  Lib().CreateHook(nullptr, nullptr);
  ::ShowWindow(scene.top.hWnd(), SW_SHOW);
  EXPECT_TRUE(::IsWindowVisible(scene.list)) << "switched on and off under a hidden window";

  // The host's own ShowWindow, whatever the skin's state: the skin is seen exactly when the list
  // would be, the host reads its list as it set it, and the list comes back so.
  ::ShowWindow(scene.list, SW_HIDE);
  Lib().CreateHook(scene.reference, scene.list);
  HWND skin = FindPanel(scene.top.hWnd());
  for (bool show : {false, true, false, false, true, true}) {
    ::ShowWindow(scene.list, show ? SW_SHOW : SW_HIDE);
    EXPECT_EQ(::IsWindowVisible(skin) != FALSE, show) << "the skin";
    EXPECT_EQ(::IsWindowVisible(scene.list) != FALSE, show) << "the host's reading";
  }
  // A window region the host gives its list meanwhile is the host's: the skin stays seen, and the
  // list has the region after switch-off.
  ::SetWindowRgn(scene.list, ::CreateRectRgn(0, 0, 100, 80), TRUE);
  EXPECT_FALSE(UserMeets(scene.list)) << "the skin is still where the list is";
  ::ShowWindow(scene.list, SW_HIDE);
  Lib().CreateHook(nullptr, nullptr);
  EXPECT_FALSE(::IsWindowVisible(scene.list)) << "hidden by the host, hidden after switch-off";
  RECT shape;
  EXPECT_EQ(::GetWindowRgnBox(scene.list, &shape), SIMPLEREGION);
  EXPECT_EQ(shape.right, 100) << "the host's own region";
  ::SetWindowRgn(scene.list, nullptr, FALSE);
  ::ShowWindow(scene.list, SW_SHOW);
  EXPECT_EQ(::GetWindowRgnBox(scene.list, &shape), ERROR) << "the list is whole again";
}

TEST(Lifecycle, PanelGoesToTheParentsOriginWherEverTheReferenceLies) {
  HostScene scene(PaneScene());
  ::MoveWindow(scene.reference, 250, 190, 123, 77, TRUE);
  Lib().CreateHook(scene.reference, scene.list);
  HWND panel = FindPanel(scene.top.hWnd());
  ASSERT_NE(panel, nullptr);
  const RECT placed = RectInParent(panel);
  EXPECT_EQ(placed.left, 0);
  EXPECT_EQ(placed.top, 0);
  EXPECT_EQ(placed.right, 123);
  EXPECT_EQ(placed.bottom, 77);
  // The mirror fills the panel.
  RECT list;
  ::GetClientRect(panel, &list);
  const RECT mirror = RectInParent(MirrorOf(panel));
  EXPECT_EQ(mirror.left, 0);
  EXPECT_EQ(mirror.top, 0);
  EXPECT_EQ(mirror.right, list.right);
  EXPECT_EQ(mirror.bottom, list.bottom);
  Lib().CreateHook(nullptr, nullptr);
}

TEST(Lifecycle, HookingASecondListWhileOneIsHookedSwitchesTheFirstOff) {
  HostScene scene(PaneScene());
  HWND other = MakeChild(scene.top.hWnd(), 101, kPlainListStyle, 10, 300, 100, 100);
  Lib().CreateHook(scene.reference, scene.list);
  Lib().CreateHook(scene.reference, other);
  EXPECT_FALSE(OverlayIsOn(scene.top.hWnd()));
  EXPECT_TRUE(UserMeets(scene.list));
  EXPECT_TRUE(::IsWindowVisible(other));
}

TEST(Lifecycle, SetHwndAnswersOneBeforeDuringAndAfterAnOverlay) {
  HostScene scene(PaneScene());
  EXPECT_EQ(Lib().SetHwnd(scene.top.hWnd()), 1);
  Lib().CreateHook(scene.reference, scene.list);
  EXPECT_EQ(Lib().SetHwnd(scene.top.hWnd()), 1);
  EXPECT_EQ(Lib().SetHwnd(nullptr), 1);
  Lib().CreateHook(nullptr, nullptr);
  EXPECT_EQ(Lib().SetHwnd(scene.top.hWnd()), 1);
  EXPECT_FALSE(OverlayIsOn(scene.top.hWnd()));
}

TEST(Lifecycle, ASwitchOnThatCannotMakeAPanelLeavesEverythingAsItWas) {
  HostScene scene(PaneScene());
  const LONG_PTR hostProc = ::GetWindowLongPtrA(scene.list, GWLP_WNDPROC);
  HWND dead = MakeChild(scene.top.hWnd(), 300, WS_CHILD, 0, 0, 10, 10, "STATIC");
  ::DestroyWindow(dead);
  struct Case {
    const char* what;
    HWND reference;
  } cases[] = {{"null reference", nullptr},
               {"destroyed reference", dead},
               {"reference without a parent", scene.top.hWnd()},
               {"not a window at all", reinterpret_cast<HWND>(0x1234)}};
  for (const Case& c : cases) {
    EXPECT_EQ(Lib().CreateHook(c.reference, scene.list), 0) << c.what;
    EXPECT_TRUE(UserMeets(scene.list)) << c.what;
    EXPECT_EQ(::GetWindowLongPtrA(scene.list, GWLP_WNDPROC), hostProc) << c.what;
    EXPECT_FALSE(OverlayIsOn(scene.top.hWnd())) << c.what;
  }
  // Still off: the next call switches on.
  Lib().CreateHook(scene.reference, scene.list);
  EXPECT_TRUE(OverlayIsOn(scene.top.hWnd()));
  Lib().CreateHook(nullptr, nullptr);
}

TEST(Lifecycle, AnInvalidSourceGivesAnEmptyMirrorAndNoSubclassing) {
  HostScene scene(PaneScene());
  Lib().CreateHook(scene.reference, reinterpret_cast<HWND>(0x1234));
  HWND panel = FindPanel(scene.top.hWnd());
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(::SendMessageA(MirrorOf(panel), LB_GETCOUNT, 0, 0), 0);
  Lib().CreateHook(nullptr, nullptr);
  EXPECT_FALSE(OverlayIsOn(scene.top.hWnd()));
}

TEST(Lifecycle, TemplateAndTileComeFromTheLibraryNotFromTheHost) {
  // The host program carries dialog 129 (one list with id 1001) and a white bitmap 12005.
  HostScene scene(PaneScene());
  Lib().CreateHook(scene.reference, scene.list);
  HWND panel = FindPanel(scene.top.hWnd());
  ASSERT_NE(panel, nullptr);
  // The library's template names a font; the host's names none.
  EXPECT_NE(::SendMessageA(panel, WM_GETFONT, 0, 0), 0);
  // Below the last row the tile shows: dark, not the host's white.
  ::SendMessageA(scene.list, LB_RESETCONTENT, 0, 0);
  const COLORREF shown = PixelAt(MirrorOf(panel), 50, 150);
  EXPECT_LT(GetRValue(shown) + GetGValue(shown) + GetBValue(shown), 3 * 128);
  Lib().CreateHook(nullptr, nullptr);
}

TEST(Lifecycle, TheHostsOwnDestructionOfTheParentIsSurvived) {
  auto scene = std::make_unique<HostScene>(PaneScene());
  Lib().CreateHook(scene->reference, scene->list);
  HWND list = scene->list;
  ::DestroyWindow(scene->top.hWnd());  // the host destroys its window, with the panel and the list
  scene.reset();
  EXPECT_FALSE(::IsWindow(list));
  EXPECT_EQ(Lib().SetFgColor(RGB(1, 2, 3)), 1);
  EXPECT_EQ(Lib().CreateHook(nullptr, nullptr), 0);  // switches the orphaned overlay off
  HostScene fresh(PaneScene());
  Lib().CreateHook(fresh.reference, fresh.list);
  EXPECT_TRUE(OverlayIsOn(fresh.top.hWnd()));
  Lib().CreateHook(nullptr, nullptr);
}
