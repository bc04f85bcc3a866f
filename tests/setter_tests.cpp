// Changing the look: a bitmap file as the tile, a colour painted over the tile, a text colour. Each
// shows on screen before the export returns; nothing the library creates is lost.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "GdiCounter.h"
#include "HostKit.h"

using namespace host;

namespace {

SceneOptions RowsOf20(int items, int height) {
  SceneOptions o;
  o.items = items;
  o.place = {0, 0, 300, height};
  o.itemHeight = 20;
  return o;
}

struct Skin : HostScene {
  explicit Skin(int items = 5, int height = 300) : HostScene(RowsOf20(items, height)) {
    On();
    ::SetFocus(top.hWnd());
  }
  // A pixel read straight from the screen, without letting pending painting run first.
  COLORREF Shown(int x, int y) const {
    HDC hDC = ::GetDC(mirror);
    const COLORREF c = ::GetPixel(hDC, x, y);
    ::ReleaseDC(mirror, hDC);
    return c;
  }
};

std::string WriteBytes(const std::string& name, const std::vector<char>& bytes) {
  const std::string path = ScratchPath(name);
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return path;
}

std::vector<char> ReadBytes(const std::string& path) {
  std::vector<char> bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<char>(c));
  std::fclose(f);
  return bytes;
}

}  // namespace

TEST(SetBkBmp, AFileBecomesTheTileAtItsOwnSizeBeforeTheCallReturns) {
  Skin s;
  ::UpdateWindow(s.mirror);
  EXPECT_EQ(Lib().SetBkBmp(WriteCoordinateBitmap("tile64x32.bmp", 64, 32).c_str()), 1);
  EXPECT_EQ(s.Shown(200, 250), RGB(200 % 64, 250 % 32, 0x40)) << "already painted";
  EXPECT_EQ(s.Shown(70, 33), RGB(70 % 64, 33 % 32, 0x40));
}

TEST(SetBkBmp, EveryPixelFormatAndRowOrderLoads) {
  Skin s;
  ::UpdateWindow(s.mirror);
  for (int bits : {24, 32}) {
    Lib().SetBkBmp(WriteCoordinateBitmap("fmt.bmp", 64, 32, 0x40, bits).c_str());
    EXPECT_EQ(s.Shown(200, 250), RGB(200 % 64, 250 % 32, 0x40)) << bits;
    // Top-down files load and replace the tile. Their pixels are not compared: Wine 8's LoadImageA
    // gives black pixels for top-down files in a plain program too.
    Lib().SetBkColor(RGB(9, 9, 9));
    Lib().SetBkBmp(WriteCoordinateBitmap("fmt_td.bmp", 64, 32, 0x40, bits, true).c_str());
    EXPECT_NE(s.Shown(200, 250), RGB(9, 9, 9)) << bits << " top-down";
  }
  // 1, 4 and 8 bits per pixel: every colour table entry, so every pixel, is one colour. 16 bits
  // per pixel: every pixel is 5-5-5 pure red.
  constexpr RGBQUAD kTableColour = {0xC0, 0x80, 0x20, 0};  // blue, green, red
  for (int bits : {1, 4, 8, 16}) {
    const size_t tableBytes = bits <= 8 ? 4u << bits : 0u;
    std::vector<char> file(54 + tableBytes + 8 * 16, 0);
    BITMAPFILEHEADER fh = {0x4D42, static_cast<DWORD>(file.size()), 0, 0,
                           static_cast<DWORD>(54 + tableBytes)};
    BITMAPINFOHEADER ih = {40, 8, 8, 1, static_cast<WORD>(bits), BI_RGB, 0, 0, 0, 0, 0};
    std::memcpy(&file[0], &fh, sizeof fh);
    std::memcpy(&file[14], &ih, sizeof ih);
    for (size_t at = 54; at < 54 + tableBytes; at += 4) std::memcpy(&file[at], &kTableColour, 4);
    for (size_t at = 54; bits == 16 && at + 1 < file.size(); at += 2) {
      file[at] = 0x00;
      file[at + 1] = 0x7C;
    }
    Lib().SetBkColor(RGB(9, 9, 9));
    Lib().SetBkBmp(WriteBytes("bits.bmp", file).c_str());
    const COLORREF shown = s.Shown(200, 250);
    if (bits <= 8) {
      EXPECT_EQ(shown, RGB(0x20, 0x80, 0xC0)) << bits << " bits per pixel";
    } else {
      EXPECT_GE(GetRValue(shown), 0xF8) << "16 bits per pixel";
      EXPECT_EQ(shown & 0xFFFF00, 0u) << "16 bits per pixel";
    }
  }
}

TEST(SetBkBmp, AFileSetBeforeTheFirstPaintIsWhatTheFirstPaintShows) {
  HostScene h(RowsOf20(0, 300));
  h.On();
  Lib().SetBkBmp(WriteCoordinateBitmap("first.bmp", 50, 30).c_str());
  EXPECT_EQ(PixelAt(h.mirror, 120, 100), RGB(120 % 50, 100 % 30, 0x40));
}

TEST(SetBkBmp, PathsThatAreNoLoadableBitmapChangeNothing) {
  Skin s;
  ::UpdateWindow(s.mirror);
  Lib().SetBkBmp(WriteCoordinateBitmap("good.bmp", 64, 32).c_str());
  const COLORREF before = s.Shown(200, 250);
  std::vector<char> whole = ReadBytes(WriteCoordinateBitmap("whole.bmp", 64, 32));
  std::vector<char> cut(whole.begin(), whole.begin() + 3000);
  std::vector<char> lying = whole;
  reinterpret_cast<BITMAPINFOHEADER*>(&lying[14])->biHeight = 100000;
  std::vector<char> zeroWide = whole;
  reinterpret_cast<BITMAPINFOHEADER*>(&zeroWide[14])->biWidth = 0;
  const std::string cases[] = {"", ScratchPath("no_such_file.bmp"), ScratchPath(""),
                               WriteBytes("cut.bmp", cut), WriteBytes("lying.bmp", lying),
                               WriteBytes("zero.bmp", zeroWide),
                               WriteBytes("text.bmp", std::vector<char>(500, 'x')),
                               WriteBytes("empty.bmp", {})};
  GdiCount& count = CountLibraryGdi(Lib().hModule);
  const GdiCount start = count;
  for (const std::string& path : cases) {
    EXPECT_EQ(Lib().SetBkBmp(path.c_str()), 1) << path;
    EXPECT_EQ(s.Shown(200, 250), before) << path;
  }
  EXPECT_EQ(Lib().SetBkBmp(nullptr), 1);
  EXPECT_EQ(count.created - start.created, 0) << "nothing was loaded";
}

TEST(SetBkColor, ThePaintedTileMakesThePlainBackgroundWhileSelectionAndTextStay) {
  Skin s(5);
  ::UpdateWindow(s.mirror);
  ::SendMessageA(s.list, LB_SETCURSEL, 1, 0);
  EXPECT_EQ(Lib().SetBkColor(RGB(0, 90, 0)), 1);
  EXPECT_EQ(s.Shown(200, 250), RGB(0, 90, 0));
  EXPECT_EQ(s.Shown(200, 5), RGB(0, 90, 0));
  EXPECT_EQ(s.Shown(200, 30), RGB(0, 0, 0x88)) << "the selected row";
}

TEST(SetBkColor, OnAShortListTheWholeTileTakesTheColour) {
  Skin s(0, 100);
  ::UpdateWindow(s.mirror);
  Lib().SetBkBmp(WriteCoordinateBitmap("tall.bmp", 128, 128).c_str());
  Lib().SetBkColor(RGB(0, 90, 0));
  // The grid shows tile lines 100 to 127 below line 99 and in any scrolled list: they are painted
  // too. Ask for content lines 0 to 299 from the band below an empty list.
  HDC hDC = ::CreateCompatibleDC(nullptr);
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 300, -300, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  HBITMAP hBitmap = ::CreateDIBSection(hDC, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
  HGDIOBJ old = ::SelectObject(hDC, hBitmap);
  ::MoveWindow(s.list, 0, 0, 300, 300, TRUE);
  ::SendMessageA(s.mirror, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hDC), 0);
  int other = 0;
  for (int y = 0; y < 300; y += 3)
    for (int x = 0; x < 300; x += 7) other += ::GetPixel(hDC, x, y) != RGB(0, 90, 0);
  EXPECT_EQ(other, 0) << "points of the tile that kept their picture";
  ::SelectObject(hDC, old);
  ::DeleteObject(hBitmap);
  ::DeleteDC(hDC);
}

// Also over a list the host draws, in a window that does not clip its children: a list of Common
// Controls 6 draws with its parent's clipping, and its own painting under the veil would land on
// the skin.
TEST(SetBkColor, StraightAfterSwitchOnItShowsAtTheFirstPaint) {
  for (DWORD drawn : {0ul, static_cast<DWORD>(LBS_OWNERDRAWFIXED | LBS_HASSTRINGS)}) {
    SceneOptions o = RowsOf20(3, 300);
    o.style |= drawn;
    o.reference = Reference::kList;
    HostScene h(o);
    // A window that does not clip its children, as dialogs do not.
    ::SetWindowLongA(h.top.hWnd(), GWL_STYLE,
                     ::GetWindowLongA(h.top.hWnd(), GWL_STYLE) & ~WS_CLIPCHILDREN);
    h.On();
    EXPECT_EQ(Lib().SetBkColor(RGB(0, 90, 0)), 1);  // no message loop has run since
    ::SetFocus(h.top.hWnd());
    int other = 0;
    for (int y = 80; y < 300; y += 10)
      for (int x = 0; x < 280; x += 20) other += PixelAt(h.mirror, x, y) != RGB(0, 90, 0);
    EXPECT_EQ(other, 0) << "background points without the colour, " << (drawn ? "host-drawn" : "plain");
  }
}

TEST(SetBkColor, ABitmapAfterAColourReplacesTheColouredTile) {
  Skin s;
  ::UpdateWindow(s.mirror);
  Lib().SetBkColor(RGB(0, 90, 0));
  Lib().SetBkBmp(WriteCoordinateBitmap("after.bmp", 64, 32).c_str());
  EXPECT_EQ(s.Shown(200, 250), RGB(200 % 64, 250 % 32, 0x40));
}

TEST(SetFgColor, EveryVisibleRowIsRedrawnInTheNewColourBeforeTheCallReturns) {
  Skin s(10);
  Lib().SetBkColor(RGB(0, 0, 0));
  Lib().SetBkColor(RGB(0, 0, 0));
  EXPECT_EQ(Lib().SetFgColor(RGB(255, 255, 0)), 1);
  for (int row = 0; row < 10; ++row) {
    int yellow = 0;
    for (int y = row * 20; y < row * 20 + 20; ++y)
      for (int x = 0; x < 60; ++x) yellow += s.Shown(x, y) == RGB(255, 255, 0);
    EXPECT_GT(yellow, 10) << "row " << row;
  }
}

TEST(Setters, WithoutAnOverlayTheyDoNothingAndAnswerOne) {
  HostScene h(RowsOf20(3, 300));
  HWND list = h.list;
  const LONG_PTR hostProc = ::GetWindowLongPtrA(list, GWLP_WNDPROC);
  const COLORREF before = PixelAt(list, 250, 250);
  GdiCount& count = CountLibraryGdi(Lib().hModule);
  const GdiCount start = count;
  EXPECT_EQ(Lib().SetBkBmp(WriteCoordinateBitmap("none.bmp", 8, 8).c_str()), 1);
  EXPECT_EQ(Lib().SetBkColor(RGB(1, 2, 3)), 1);
  EXPECT_EQ(Lib().SetFgColor(RGB(1, 2, 3)), 1);
  EXPECT_FALSE(Lib().SetBkBmpW(L"none.bmp"));
  EXPECT_EQ(::GetLastError(), DWORD{ERROR_INVALID_WINDOW_HANDLE});
  EXPECT_EQ(count.created, start.created) << "nothing loaded or made";
  EXPECT_FALSE(h.IsOn());
  EXPECT_EQ(::GetWindowLongPtrA(list, GWLP_WNDPROC), hostProc);
  EXPECT_EQ(PixelAt(list, 250, 250), before);
}

TEST(Setters, NoGdiObjectIsLostAcrossSetterCallsAndOnOffCycles) {
  GdiCount& count = CountLibraryGdi(Lib().hModule);
  const GdiCount start = count;
  const std::string a = WriteCoordinateBitmap("leak_a.bmp", 64, 32);
  const std::string b = WriteCoordinateBitmap("leak_b.bmp", 50, 30);
  {
    Skin s(20);
    ::UpdateWindow(s.mirror);
    for (int i = 0; i < 1000; ++i) {
      switch (i % 4) {
        case 0: Lib().SetBkBmp(a.c_str()); break;
        case 1: Lib().SetBkColor(RGB(i % 256, 0, 0)); break;
        case 2: Lib().SetBkBmp(b.c_str()); break;
        default: Lib().SetFgColor(RGB(0, i % 256, 0)); break;
      }
    }
    for (int i = 0; i < 100; ++i) {
      s.Off();
      s.On();
      ::UpdateWindow(s.mirror);
      if (i % 2) Lib().SetBkBmp(a.c_str());
    }
  }
  const long created = count.created - start.created;
  const long deleted = count.deleted - start.deleted;
  std::printf("GDI objects created %ld, deleted %ld\n", created, deleted);
  EXPECT_GT(created, 1000);
  EXPECT_EQ(created, deleted);
}
