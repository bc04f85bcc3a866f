// Drawing the mirror list: the tile grid anchored to item 0, the rows over it, the band below them.
#include "overlay/SkinListBox.h"

#include <limits.h>

#include <algorithm>
#include <cstdlib>

#include "bridge/SourceLink.h"
#include "framework/PlainArray.h"
#include "include/kslHook.h"
#include "overlay/Contrast.h"

void CSkinListBox::PaintBackground(CDC* pDC, const RECT* lpRect) {
  FillWithTile(*pDC, *lpRect, RowRect(0).top);
}

void CSkinListBox::FillWithTile(HDC hDC, const RECT& rc, int itemZeroTop,
                                const CSharedTile* tile) {
  if (tile == nullptr) {
    tile = m_tiles.disabled && !::IsWindowEnabled(m_hWnd) ? m_tiles.disabled.Get() : m_tiles.base.Get();
    if (tile == nullptr) return;
  }
  // The tile's grid starts at item 0's top edge, wherever the list has scrolled to: the brush's
  // origin moves with it, within one tile's height.
  const int H = tile->BrushHeight();
  if (H <= 0) return;
  POINT previous = {};
  ::SetBrushOrgEx(hDC, 0, ((itemZeroTop % H) + H) % H, &previous);
  ::FillRect(hDC, &rc, tile->Brush());
  ::SetBrushOrgEx(hDC, previous.x, previous.y, nullptr);
}

void CSkinListBox::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
  if (m_pLink != nullptr && m_pLink->HostDrawsRows() && lpDrawItemStruct->itemID != UINT(-1)) {
    DrawHostRow(*lpDrawItemStruct);
    return;
  }
  CDC dc;
  dc.Attach(lpDrawItemStruct->hDC);
  const RECT& rcItem = lpDrawItemStruct->rcItem;
  const UINT state = lpDrawItemStruct->itemState;
  // A row repainted for its selection is drawn whole here, over its focus rectangle. The caret row
  // of a focused list is drawn again once the list's change is done, with its focus if it keeps
  // it: the list may be moving its caret off the row meanwhile.
  if (lpDrawItemStruct->itemAction == ODA_SELECT && ::GetFocus() == m_hWnd &&
      static_cast<LRESULT>(lpDrawItemStruct->itemID) == OwnProc(LB_GETCARETINDEX))
    ::InvalidateRect(m_hWnd, &rcItem, FALSE);

  const UINT row = lpDrawItemStruct->itemID;
  // Selection and focus come from the row's state whatever the window manager asked for, so a
  // selected row keeps its highlight through scrolling and full repaints. A selected row shows
  // its selection, lit or not, unless the list's own tracking lit it; the row under the pointer
  // its hover look.
  const bool enabled = ::IsWindowEnabled(m_hWnd) && !(state & ODS_DISABLED);
  const CSharedTile* fill = nullptr;
  COLORREF text = enabled ? m_look.crText : TextColourOn(m_tiles.disabled.Get(), m_look.crDisabledText);
  const bool hot = enabled && row != static_cast<UINT>(-1) && static_cast<int>(row) == m_nHotRow &&
                   m_tiles.hot;
  if ((state & ODS_SELECTED) && !(hot && m_bHotOverSelection)) {
    fill = m_tiles.selection.Get();
    text = TextColourOn(fill, m_look.crSelText);
  } else if (hot) {
    fill = m_tiles.hot.Get();
    text = TextColourOn(fill, m_look.crHotText);
  }
  FillWithTile(dc, rcItem, RowRect(0).top, fill);
  if (state & ODS_FOCUS) {
    if (m_look.nFocusStyle == KSLFOCUS_DOTTED) {
      dc.DrawFocusRect(&rcItem);
    } else if (m_look.nFocusStyle == KSLFOCUS_SOLID) {
      CBrush line(text);
      ::FrameRect(dc, &rcItem, line);
    }
  }

  // An empty list asks for its focus rectangle alone, with no row.
  if (row != static_cast<UINT>(-1)) {
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(text);
    DrawText(&dc, rcItem, row);
  }
  dc.Detach();
}

namespace {

// Draws row `row` of the source's, read past the link as Char's text, at rc as the source lays it
// out.
template <typename Char>
void DrawRowText(const CSourceLink& link, HDC hDC, const RECT& rc, UINT row) {
  constexpr bool kWide = sizeof(Char) == sizeof(wchar_t);
  const LRESULT length = link.AskSourceText(LB_GETTEXTLEN, row, 0, kWide);
  if (length <= 0 || length >= INT_MAX) return;
  // Most rows fit the stack; longer ones take the heap.
  Char shortText[256];
  CPlainArray<Char> longText;
  Char* text = shortText;
  if (length >= 256) {
    if (!longText.SetSize(static_cast<int>(length) + 1)) return;
    text = longText.GetData();
  }
  text[0] = Char();
  const LRESULT got = link.AskSourceText(LB_GETTEXT, row, reinterpret_cast<LPARAM>(text), kWide);
  if (got <= 0 || got > length) return;
  link.RowText().Draw(hDC, rc, text, static_cast<int>(got));
}

}  // namespace

void CSkinListBox::DrawText(CDC* pDC, const RECT& rcItem, UINT itemID) {
  if (m_pLink == nullptr || !m_pLink->SourceKeepsTexts()) return;
  // Texts are drawn in the set the source is asked in: wide for a Unicode list (every list box
  // of Common Controls 6), in the host's code page where the link sits behind an ANSI procedure
  // (but for rows longer than the system's conversion takes).
  if (m_pLink->RowTextIsWide(itemID))
    DrawRowText<wchar_t>(*m_pLink, *pDC, rcItem, itemID);
  else
    DrawRowText<char>(*m_pLink, *pDC, rcItem, itemID);
}

BOOL CSkinListBox::OnEraseBkgnd(CDC* pDC) {
  // The band below the last row; the rows paint their own strips.
  RECT rc = {};
  GetClientRect(&rc);
  const int count = GetCount();
  if (count > 0 && RowRect(count - 1).bottom > rc.top) rc.top = RowRect(count - 1).bottom;
  PaintBackground(pDC, &rc);
  return TRUE;
}

namespace {

COLORREF ColourOf(const RGBQUAD& pixel) { return RGB(pixel.rgbRed, pixel.rgbGreen, pixel.rgbBlue); }

// A channel under the veil that keeps ink readable over the picture: lightened (towards white)
// or dimmed (towards black) by `eighths` of the way.
BYTE Veiled(BYTE channel, int eighths, bool lighten) {
  return static_cast<BYTE>(lighten ? channel + (255 - channel) * eighths / 8
                                   : channel * (8 - eighths) / 8);
}

// How far (in eighths) the picture under a row is veiled so that the ink stands out from it at
// least as much as `needed`: 0 when it does already, 8 at most, where the picture gives way to
// white or black.
int VeilFor(double inkLuminance, COLORREF picture, double needed, bool lighten) {
  for (int eighths = 0; eighths < 8; ++eighths) {
    const COLORREF under = RGB(Veiled(GetRValue(picture), eighths, lighten),
                               Veiled(GetGValue(picture), eighths, lighten),
                               Veiled(GetBValue(picture), eighths, lighten));
    if (ContrastRatio(inkLuminance, RelativeLuminance(under)) >= needed) return eighths;
  }
  return 8;
}

// How much of `ink` each channel (blue, green, red) of `drawn` holds over `ground`, in 256ths, when
// `drawn` is a blend of the two: the same share in every channel (a smoothed edge), or shares as
// far apart as ClearType's filter lets neighbouring channels be. FALSE for any other colour.
bool BlendOf(const RGBQUAD& drawn, COLORREF ground, COLORREF ink, int shares[3]) {
  const int d[3] = {drawn.rgbBlue - GetBValue(ground), drawn.rgbGreen - GetGValue(ground),
                    drawn.rgbRed - GetRValue(ground)};
  const int span[3] = {GetBValue(ink) - GetBValue(ground), GetGValue(ink) - GetGValue(ground),
                       GetRValue(ink) - GetRValue(ground)};
  int known = 0, sum = 0;
  for (int c = 0; c < 3; ++c) {
    // A channel in which ink and ground hardly differ tells nothing, and must stay the ground's.
    shares[c] = -1;
    if (span[c] > -32 && span[c] < 32) {
      if (d[c] > 8 || d[c] < -8) return false;
      continue;
    }
    const int share = d[c] * 256 / span[c];
    if (share < -8 || share > 264) return false;
    shares[c] = std::clamp(share, 0, 256);
    sum += shares[c], ++known;
  }
  if (known == 0) return false;
  for (int c = 0; c < 3; ++c)
    if (shares[c] < 0) shares[c] = sum / known;
  return std::abs(shares[0] - shares[1]) <= 115 && std::abs(shares[1] - shares[2]) <= 115 &&
         std::abs(shares[0] - shares[2]) <= 205;
}

}  // namespace

void CSkinListBox::DrawHostRow(const DRAWITEMSTRUCT& item) {
  const RECT& rcItem = item.rcItem;
  const int cx = rcItem.right - rcItem.left;
  const int cy = rcItem.bottom - rcItem.top;
  const HDC hHost = m_hostRow.Prepare(cx, cy);
  const HDC hSkin = m_skinRow.Prepare(cx, cy);
  const RECT row = {0, 0, cx, cy};
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  if (hHost == nullptr || hSkin == nullptr) {
    // No memory for the pictures: the row shows the tile.
    FillWithTile(item.hDC, rcItem, RowRect(0).top);
    return;
  }
  FillWithTile(hSkin, row, RowRect(0).top - rcItem.top);
  if (selected) {
    // The host's selected rows keep the classic selection under them, whatever the skin's look.
    CBrush selection(RGB(0x00, 0x00, 0x88));
    ::FillRect(hSkin, &row, selection);
  }
  // The host draws on its own background, on a picture of the row's size: whatever it draws past
  // the row is cut off, and whatever it leaves of the DC's state is undone.
  CBrush hostBack(m_crHostBack);
  ::FillRect(hHost, &row, hostBack);
  const int saved = ::SaveDC(hHost);
  m_pLink->HostDrawRow(item.itemID, item.itemState, hHost, row);
  if (::GetObjectType(hHost) != OBJ_MEMDC) {
    // The host deleted the DC it was lent: the picture is gone with it, the row shows the tile.
    m_hostRow.Forget();
    ::BitBlt(item.hDC, rcItem.left, rcItem.top, cx, cy, hSkin, 0, 0, SRCCOPY);
    return;
  }
  // The colour the host's text was drawn in: smoothed, its edges are blends of it and the ground.
  const COLORREF textColour = ::GetTextColor(hHost);
  ::RestoreDC(hHost, saved);
  ::GdiFlush();

  // The host's background is the skin's picture instead: on a selected row the host painted with
  // its highlight, that is the background (its text on it is often the window colour itself).
  const RGBQUAD* host = m_hostRow.Pixels();
  RGBQUAD* skin = m_skinRow.Pixels();
  const int count = cx * cy;
  COLORREF background = m_crHostBack;
  const COLORREF highlight = ::GetSysColor(COLOR_HIGHLIGHT);
  for (int i = 0; selected && i < count; ++i) {
    if (ColourOf(host[i]) == highlight) {
      background = highlight;
      break;
    }
  }
  auto isBackground = [&](const RGBQUAD& pixel) { return ColourOf(pixel) == background; };
  // The ink keeps the contrast it had on the host's own background, up to what readable text
  // needs: the picture under the row is lightened or dimmed as far as that takes. The ink is its
  // core, the pixel that stood out most on the host's background, not the smoothed edges of its
  // letters.
  const double back = RelativeLuminance(background);
  double ink = back, under[3] = {};
  COLORREF core = background;
  int underPixels = 0;
  for (int i = 0; i < count; ++i) {
    if (isBackground(host[i])) {
      under[0] += skin[i].rgbRed, under[1] += skin[i].rgbGreen, under[2] += skin[i].rgbBlue;
      ++underPixels;
    } else {
      const double luminance = RelativeLuminance(ColourOf(host[i]));
      if (ContrastRatio(luminance, back) > ContrastRatio(ink, back))
        ink = luminance, core = ColourOf(host[i]);
    }
  }
  int veil = 0;
  bool lighten = false;
  if (ink != back && underPixels > 0) {
    const COLORREF picture = RGB(static_cast<BYTE>(under[0] / underPixels),
                                 static_cast<BYTE>(under[1] / underPixels),
                                 static_cast<BYTE>(under[2] / underPixels));
    const double had = ContrastRatio(ink, back);
    // Dark ink stands out on a lighter picture, light ink on a dimmer one.
    lighten = ContrastRatio(ink, 1.0) > ContrastRatio(ink, 0.0);
    veil = VeilFor(ink, picture, had < 4.5 ? had : 4.5, lighten);
  }
  // The row is composed on the skin's picture by coverage: where the host's ground shows through
  // a pixel wholly, partly (the smoothed edges of its text, of an icon), the picture shows as much.
  const BYTE ground[3] = {GetBValue(background), GetGValue(background), GetRValue(background)};
  for (int i = 0; i < count; ++i) {
    BYTE* out = &skin[i].rgbBlue;
    for (int c = 0; c < 3; ++c) out[c] = Veiled(out[c], veil, lighten);
    if (isBackground(host[i])) continue;
    // Inside an area of one colour (a fill of the host's, an icon, the core of a letter) the pixel
    // is that colour, as drawn; an edge, a blend with the ground, is never such an area.
    const COLORREF drawnColour = ColourOf(host[i]);
    const COLORREF beside[4] = {i % cx > 0 ? ColourOf(host[i - 1]) : drawnColour,
                                i % cx < cx - 1 ? ColourOf(host[i + 1]) : drawnColour,
                                i >= cx ? ColourOf(host[i - cx]) : drawnColour,
                                i + cx < count ? ColourOf(host[i + cx]) : drawnColour};
    if (std::count(beside, beside + 4, drawnColour) == 4) {
      skin[i] = host[i];
      continue;
    }
    // A blend of the ground and the ink: the text's colour (a host may leave the DC another), its
    // core, or the colour beside it (an icon's, at its soft edge); of those that fit, the one that
    // leaves the most ground. None fits: the pixel is its own colour, and stays as drawn.
    int shares[3] = {256, 256, 256};
    for (COLORREF ink : {textColour, core, beside[0], beside[1], beside[2], beside[3]}) {
      int fit[3];
      if (BlendOf(host[i], background, ink, fit) &&
          fit[0] + fit[1] + fit[2] < shares[0] + shares[1] + shares[2])
        std::copy(fit, fit + 3, shares);
    }
    const BYTE* drawn = &host[i].rgbBlue;
    for (int c = 0; c < 3; ++c)
      out[c] = static_cast<BYTE>(
          std::clamp(drawn[c] + (256 - shares[c]) * (out[c] - ground[c]) / 256, 0, 255));
  }
  ::BitBlt(item.hDC, rcItem.left, rcItem.top, cx, cy, hSkin, 0, 0, SRCCOPY);
}
