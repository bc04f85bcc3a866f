// The skin as it shows on screen: a tile whose pixel (u, v) has red u and green v makes every pixel
// of the list say which tile pixel it shows, so the grid, its anchoring to item 0 and the clipping
// can be read back from the real window.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "HostKit.h"
#include "Screenshot.h"
#include "TextPixels.h"

using namespace host;

namespace {

constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kSelection = RGB(0x00, 0x00, 0x88);

SceneOptions RowsOf20(int items, int clientHeight) {
  SceneOptions o;
  o.items = items;
  o.place = {0, 0, 400, clientHeight};
  o.itemHeight = 20;
  return o;
}

// A host list of `items` rows of 20 pixels, 400 by `clientHeight` pixels, skinned, with a
// coordinate tile of W x H loaded into the mirror.
struct Skinned : HostScene {
  int W, H;

  Skinned(int items, int tileW, int tileH, int clientHeight = 300)
      : HostScene(RowsOf20(items, clientHeight)), W(tileW), H(tileH) {
    On();
    // The panel gives its list the focus; the grid is read without the focus rectangle.
    ::SetFocus(top.hWnd());
    ::UpdateWindow(mirror);
    if (tileW > 0) {
      const std::string path = WriteCoordinateBitmap(
          "tile_" + std::to_string(tileW) + "x" + std::to_string(tileH) + ".bmp", tileW, tileH);
      Lib().SetBkBmp(path.c_str());
    }
  }

  int ClientWidth() const {
    RECT rc;
    ::GetClientRect(mirror, &rc);
    return rc.right;
  }
  // The tile pixel expected at client point (x, y) when the list is scrolled by S pixels.
  COLORREF Expected(int x, int y, int S) const { return RGB(x % W, (y + S) % H, 0x40); }
};

// A memory canvas the test owns, filled with magenta, to send the list's drawing into.
class Canvas {
 public:
  Canvas(int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    m_hDC = ::CreateCompatibleDC(nullptr);
    m_hBitmap = ::CreateDIBSection(m_hDC, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
    m_hOld = ::SelectObject(m_hDC, m_hBitmap);
    RECT all = {0, 0, width, height};
    HBRUSH magenta = ::CreateSolidBrush(kMagenta);
    ::FillRect(m_hDC, &all, magenta);
    ::DeleteObject(magenta);
  }
  ~Canvas() {
    ::SelectObject(m_hDC, m_hOld);
    ::DeleteObject(m_hBitmap);
    ::DeleteDC(m_hDC);
  }
  HDC dc() const { return m_hDC; }
  COLORREF At(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
  // Columns in [x0, x1) of row y that differ from magenta.
  std::vector<int> Marked(int y, int x0, int x1) const {
    std::vector<int> xs;
    for (int x = x0; x < x1; ++x)
      if (At(x, y) != kMagenta) xs.push_back(x);
    return xs;
  }

 private:
  HDC m_hDC;
  HBITMAP m_hBitmap;
  HGDIOBJ m_hOld;
};

// Asks the panel to draw one row of the mirror onto the canvas, as the window manager would.
void DrawRow(HWND hMirror, const Canvas& canvas, int itemID, UINT action, UINT state, RECT rcItem) {
  DRAWITEMSTRUCT draw = {ODT_LISTBOX, 1000, static_cast<UINT>(itemID), action, state, hMirror,
                         canvas.dc(), rcItem, 0};
  ::SendMessageA(::GetParent(hMirror), WM_DRAWITEM, 1000, reinterpret_cast<LPARAM>(&draw));
}

// Checks the pixels of client rows [y0, y1) at the given columns against the grid.
void ExpectGrid(const Skinned& s, int y0, int y1, const std::vector<int>& columns, int S) {
  int wrong = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x : columns) {
      const COLORREF seen = PixelAt(s.mirror, x, y);
      if (seen != s.Expected(x, y, S) && ++wrong <= 5)
        ADD_FAILURE() << "at (" << x << ", " << y << ") scrolled " << S << ": saw " << std::hex
                      << seen << " expected " << s.Expected(x, y, S);
    }
  }
  EXPECT_EQ(wrong, 0);
}

}  // namespace

TEST(Tiling, UnscrolledRowsShowTheTileLinesUnderThemAndTheBandBelowContinuesTheGrid) {
  Skinned s(10, 64, 32);
  // Right of the texts: rows 0..9 (y < 200), then the erased band to the bottom.
  ExpectGrid(s, 0, 300, {0, 1, 63, 64, 120, 127, 128, 200, s.ClientWidth() - 1}, 0);
}

TEST(Tiling, ThePictureMovesWithTheItemsWhenTheListScrolls) {
  Skinned s(40, 64, 32);
  ::SendMessageA(s.list, LB_SETTOPINDEX, 3, 0);
  Pump();
  ASSERT_EQ(::SendMessageA(s.mirror, LB_GETTOPINDEX, 0, 0), 3);
  ExpectGrid(s, 0, 300, {0, 70, 150, 250}, 60);
}

TEST(Tiling, A200PixelRowOverA128PixelTileTakesBothBlocksFromTheTilesLeftEdge) {
  Skinned s(5, 128, 128);
  ExpectGrid(s, 0, 100, {0, 127, 128, 199}, 0);
  EXPECT_EQ(GetRValue(PixelAt(s.mirror, 128, 10)), 0) << "second block starts at tile x = 0";
}

TEST(Tiling, ATileOfAnotherSizeIsTiledAtItsOwnSize) {
  Skinned s(6, 50, 30);
  ExpectGrid(s, 0, 300, {0, 99, 100, 149, 150, 230}, 0);
}

TEST(Tiling, CopiesStayInsideTheRowAndItsExclusiveEdges) {
  Skinned s(1, 64, 32);
  Canvas canvas(300, 100);
  // Right edge on a tile edge (128 = 2 x 64), bottom edge on a tile edge (32); the row crosses
  // nothing else.
  DrawRow(s.mirror, canvas, 0, ODA_DRAWENTIRE, 0, {70, 12, 128, 32});
  EXPECT_EQ(canvas.At(69, 20), kMagenta);
  EXPECT_EQ(canvas.At(128, 20), kMagenta);
  EXPECT_EQ(canvas.At(100, 11), kMagenta);
  EXPECT_EQ(canvas.At(100, 32), kMagenta);
  EXPECT_EQ(canvas.At(127, 31), RGB(63, 31, 0x40));
  // A row crossing a tile's bottom edge: the lower part comes from tile line 0.
  DrawRow(s.mirror, canvas, 0, ODA_DRAWENTIRE, 0, {150, 25, 300, 45});
  EXPECT_EQ(canvas.At(200, 31), RGB(200 % 64, 31, 0x40));
  EXPECT_EQ(canvas.At(200, 32), RGB(200 % 64, 0, 0x40));
  EXPECT_EQ(canvas.At(299, 44), RGB(299 % 64, 12, 0x40));
}

TEST(Erase, TheBandBelowTheLastVisibleRowIsTiledAndNothingElse) {
  Skinned ten(10, 64, 32);
  Canvas canvas(400, 320);
  ::SendMessageA(ten.mirror, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc()), 0);
  EXPECT_EQ(canvas.At(150, 199), kMagenta) << "rows paint themselves";
  EXPECT_EQ(canvas.At(150, 200), RGB(150 % 64, 200 % 32, 0x40));
  EXPECT_EQ(canvas.At(150, 299), RGB(150 % 64, 299 % 32, 0x40));
  ten.Off();

  Skinned full(15, 64, 32);
  Canvas untouched(400, 320);
  EXPECT_EQ(::SendMessageA(full.mirror, WM_ERASEBKGND, reinterpret_cast<WPARAM>(untouched.dc()), 0),
            TRUE);
  EXPECT_TRUE(untouched.Marked(150, 0, 400).empty());
  EXPECT_TRUE(untouched.Marked(299, 0, 400).empty());
}

TEST(Erase, AListScrolledToItsEndStillTilesTheStripBelowItsLastRow) {
  // 310 pixels hold 15 whole rows; scrolled to the end, rows 25..39 end at y = 300.
  Skinned s(40, 64, 32, 310);
  ::SendMessageA(s.list, LB_SETTOPINDEX, 39, 0);
  Pump();
  const int top = static_cast<int>(::SendMessageA(s.mirror, LB_GETTOPINDEX, 0, 0));
  ASSERT_GT(top, 0);
  const int rowsEnd = (40 - top) * 20;
  ASSERT_LT(rowsEnd, 310);
  ExpectGrid(s, rowsEnd, 310, {0, 150}, top * 20);
}

TEST(Selection, TheFillIsUnderASelectedRowForEveryActionAndSurvivesAFullRepaint) {
  Skinned s(10, 64, 32);
  Canvas canvas(300, 40);
  for (UINT action : {ODA_DRAWENTIRE, ODA_SELECT, ODA_FOCUS}) {
    DrawRow(s.mirror, canvas, 1, action, ODS_SELECTED, {0, 0, 300, 20});
    EXPECT_EQ(canvas.At(250, 10), kSelection) << "action " << action;
    DrawRow(s.mirror, canvas, 1, action, 0, {0, 0, 300, 20});
    EXPECT_EQ(canvas.At(250, 10), RGB(250 % 64, 10, 0x40)) << "action " << action;
  }
  // On screen: the host selects row 2, then a full repaint.
  ::SendMessageA(s.list, LB_SETCURSEL, 2, 0);
  Lib().SetFgColor(RGB(250, 250, 250));
  EXPECT_EQ(PixelAt(s.mirror, 250, 50), kSelection);
  EXPECT_EQ(PixelAt(s.mirror, 250, 70), RGB(250 % 64, 70 % 32, 0x40));
}

TEST(Focus, TheFocusRectangleOutlinesTheRowOnAnyAction) {
  Skinned s(3, 64, 32);
  Canvas canvas(300, 40);
  DrawRow(s.mirror, canvas, 0, ODA_FOCUS, ODS_FOCUS, {0, 0, 300, 20});
  int outlined = 0;
  for (int x = 100; x < 200; ++x) outlined += canvas.At(x, 0) != RGB(x % 64, 0, 0x40);
  EXPECT_GT(outlined, 20) << "a dotted line along the top edge";
  EXPECT_EQ(canvas.At(150, 10), RGB(150 % 64, 10, 0x40)) << "inside untouched";
  Canvas whole(300, 40);
  DrawRow(s.mirror, whole, 0, ODA_DRAWENTIRE, ODS_FOCUS, {0, 0, 300, 20});
  int outlinedWhole = 0;
  for (int x = 100; x < 200; ++x) outlinedWhole += whole.At(x, 19) != RGB(x % 64, 19, 0x40);
  EXPECT_GT(outlinedWhole, 20);
}

// A handle skin's look, each state of a row over the coordinate tile, against the arithmetic: a
// colour laid over the picture at alpha a shows (colour * a + tile * (255 - a)) / 255 per channel.
TEST(Look, EachRowStateShowsItsLookOverThePictureAndTheDefaultsAreTheClassicLook) {
  const std::string tile = WriteCoordinateBitmap("look_tile.bmp", 64, 32);
  const std::wstring path(tile.begin(), tile.end());
  auto blend = [](COLORREF over, COLORREF under, int a) {
    auto c = [&](int shift) {
      return ((over >> shift & 255) * a + (under >> shift & 255) * (255 - a) + 127) / 255;
    };
    return RGB(c(0), c(8), c(16));
  };
  auto close = [](COLORREF a, COLORREF b) {
    for (int shift : {0, 8, 16})
      if (std::abs(int(a >> shift & 255) - int(b >> shift & 255)) > 1) return false;
    return true;
  };
  const COLORREF back = ::GetSysColor(COLOR_WINDOW);
  const struct {
    const char* what;
    UINT mask;
    COLORREF colour;
    BYTE alpha;
    int focus;
    bool disable;  // the host disables its list
    int y;         // the client line read at x = 250: row 1 is selected, row 0 has the caret
    COLORREF (*expected)(COLORREF tile, COLORREF colour, BYTE alpha, COLORREF back);
  } cases[] = {
      {"the classic selection", 0, 0, 0, 0, false, 30,
       [](COLORREF, COLORREF, BYTE, COLORREF) { return kSelection; }},
      {"a selection at 128", KSLLOOK_SELECTION, RGB(200, 40, 0), 128, 0, false, 30, nullptr},
      {"a selection at 0", KSLLOOK_SELECTION, RGB(200, 40, 0), 0, 0, false, 30, nullptr},
      {"an unselected row", KSLLOOK_SELECTION, RGB(200, 40, 0), 128, 0, false, 50,
       [](COLORREF t, COLORREF, BYTE, COLORREF) { return t; }},
      {"a disabled list at 96", KSLLOOK_DISABLED, 0, 96, 0, true, 50, nullptr},
      {"below the rows of a disabled list", KSLLOOK_DISABLED, 0, 96, 0, true, 250, nullptr},
      {"the classic disabled list", 0, 0, 0, 0, true, 50,
       [](COLORREF t, COLORREF, BYTE, COLORREF) { return t; }},
  };
  for (const auto& c : cases) {
    HostScene h(RowsOf20(10, 300));
    const auto skin = Lib().SkinAttach(h.list);
    ASSERT_NE(skin, nullptr);
    const HWND view = MirrorOf(::GetWindow(h.list, GW_HWNDNEXT));
    KSLLOOK look = LookOf(KSLLOOK_BKIMAGE | c.mask);
    look.pszBkImage = path.c_str();
    look.crSelBk = c.colour, look.bSelAlpha = c.alpha, look.crSelText = KSLCLR_DEFAULT;
    look.bDisabledAlpha = c.alpha, look.crDisabledText = KSLCLR_DEFAULT;
    ASSERT_TRUE(Lib().SkinSetLook(skin, &look)) << c.what;
    h.ToList(LB_SETCURSEL, 1);
    ::EnableWindow(h.list, !c.disable);
    const COLORREF under = RGB(250 % 64, c.y % 32, 0x40);
    const COLORREF expected =
        c.expected ? c.expected(under, c.colour, c.alpha, back)
        : c.disable ? blend(back, under, 255 - c.alpha)
                    : blend(c.colour, under, c.alpha);
    const COLORREF seen = PixelAt(view, 250, c.y);
    EXPECT_TRUE(close(seen, expected)) << c.what << ": saw " << std::hex << seen << " expected "
                                      << expected;
    KSLLOOK read = LookOf(KSLLOOK_ALL);
    ASSERT_TRUE(Lib().SkinGetLook(skin, &read));
    EXPECT_STREQ(read.pszBkImage, path.c_str()) << c.what;
    if (c.mask == 0) {
      EXPECT_EQ(read.crSelBk, kSelection);
      EXPECT_EQ(read.bSelAlpha, 255);
      EXPECT_EQ(read.bHotAlpha, 0) << "no hover look";
      EXPECT_EQ(read.bDisabledAlpha, 255);
      EXPECT_EQ(read.nFocusStyle, KSLFOCUS_DOTTED);
      EXPECT_EQ(read.crBk, KSLCLR_NONE) << "a picture, not a colour";
    }
    EXPECT_TRUE(Lib().SkinDetach(skin));
  }
}

// The focus styles: the system's dotted rectangle, a solid line in the row's text colour, none.
TEST(Look, TheFocusedRowShowsTheFocusStyleOfTheLook) {
  HostScene h(RowsOf20(3, 200));
  const auto skin = Lib().SkinAttach(h.list);
  ASSERT_NE(skin, nullptr);
  const HWND view = MirrorOf(::GetWindow(h.list, GW_HWNDNEXT));
  const std::string tile = WriteCoordinateBitmap("look_tile.bmp", 64, 32);
  const std::wstring path(tile.begin(), tile.end());
  for (int style : {KSLFOCUS_SOLID, KSLFOCUS_NONE, KSLFOCUS_DOTTED}) {
    KSLLOOK look = LookOf(KSLLOOK_BKIMAGE | KSLLOOK_FOCUS | KSLLOOK_TEXT);
    look.pszBkImage = path.c_str();
    look.nFocusStyle = style;
    look.crText = RGB(10, 200, 10);
    ASSERT_TRUE(Lib().SkinSetLook(skin, &look));
    Canvas canvas(300, 40);
    DRAWITEMSTRUCT draw = {ODT_LISTBOX, static_cast<UINT>(::GetDlgCtrlID(view)), 0, ODA_FOCUS,
                           ODS_FOCUS, view, canvas.dc(), {0, 0, 300, 20}, 0};
    ::SendMessageA(::GetParent(view), WM_DRAWITEM, draw.CtlID, reinterpret_cast<LPARAM>(&draw));
    int lined = 0, inText = 0;
    for (int x = 100; x < 200; ++x) {
      lined += canvas.At(x, 19) != RGB(x % 64, 19, 0x40);
      inText += canvas.At(x, 19) == RGB(10, 200, 10);
    }
    EXPECT_EQ(lined, style == KSLFOCUS_NONE ? 0 : style == KSLFOCUS_SOLID ? 100 : 50)
        << "style " << style;
    EXPECT_EQ(inText, style == KSLFOCUS_SOLID ? 100 : 0) << "style " << style;
  }
  EXPECT_TRUE(Lib().SkinDetach(skin));
}

TEST(Text, AnEmptyListStillPaintsTileAndFocusForAFocusRequest) {
  Skinned s(0, 64, 32);
  Canvas canvas(300, 40);
  DrawRow(s.mirror, canvas, -1, ODA_FOCUS, ODS_FOCUS, {0, 0, 300, 20});
  EXPECT_EQ(canvas.At(150, 10), RGB(150 % 64, 10, 0x40));
  int outlined = 0;
  for (int x = 100; x < 200; ++x) outlined += canvas.At(x, 0) != RGB(x % 64, 0, 0x40);
  EXPECT_GT(outlined, 20);
}

TEST(Text, SmoothedEdgesBlendIntoThePictureUnderThemOnPlainAndSelectedRows) {
  Skinned s(10, 64, 32);
  const HFONT font = ::CreateFontW(-15, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                   ANTIALIASED_QUALITY, 0, L"DejaVu Sans");
  s.ToList(WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  s.ToList(LB_SETCURSEL, 2);
  Lib().SetFgColor(RGB(255, 255, 255));
  PixelRect under(400, 100, kSelection);  // the picture, the selection fill under row 2
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 400 && y / s.ToMirror(LB_GETITEMHEIGHT) != 2; ++x)
      under.Set(x, y, s.Expected(x, y, 0));
  EXPECT_EQ(HaloPixels(PixelRect::OfClient(s.mirror, {0, 0, 400, 100}), under, {0, 0, 380, 100},
                       {RGB(255, 255, 255)}), 0);
  s.Off();
  ::DeleteObject(font);
}

TEST(Canvas, RowsDrawTheTileFromSwitchOnBeforeAnyPaint) {
  HostScene h(RowsOf20(3, 200));
  h.On();  // no message loop has run: the mirror has not painted yet
  Canvas canvas(300, 40);
  DrawRow(h.mirror, canvas, 0, ODA_DRAWENTIRE, 0, {0, 0, 300, 20});
  EXPECT_NE(canvas.At(250, 10), kMagenta) << "the tile is there from the start";
}

TEST(Screenshot, ASkinnedListIsSavedForPeopleToLookAt) {
  SceneOptions o;
  o.items = 0;
  o.place = {20, 20, 440, 340};
  o.itemHeight = 18;
  HostScene h(o);
  ::MoveWindow(h.top.hWnd(), 20, 20, 460, 360, TRUE);
  for (int i = 0; i < 30; ++i) {
    const std::string row = std::to_string(1000 + i) + "\tTrack title number " + std::to_string(i);
    h.ToList(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
  }
  h.On();
  h.ToList(LB_SETCURSEL, 3);
  Lib().SetFgColor(RGB(230, 230, 200));
  ::CreateDirectoryA("artifacts", nullptr);
  EXPECT_TRUE(SaveWindowPng(h.top.hWnd(), "artifacts/skinned_list.png"));
}
