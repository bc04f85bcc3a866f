// Drawing the mirror list: the tile grid anchored to item 0, the rows over it, the band below them.
#include "overlay/SkinListBox.h"

#include <limits.h>

#include <cstdlib>

#include "framework/PlainArray.h"

namespace {

// Division and remainder rounding towards minus infinity, so a grid cell is found the same way on
// both sides of zero.
int FloorDiv(int a, int b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
int FloorMod(int a, int b) { return a - FloorDiv(a, b) * b; }

}  // namespace

void CSkinListBox::PaintBackground(CDC* pDC, const RECT* lpRect) {
  BITMAP tile = {};
  if (m_dcMem.GetSafeHdc() == nullptr || !m_bmpBack.GetBitmap(&tile)) return;
  const int W = tile.bmWidth;
  const int H = std::abs(tile.bmHeight);
  if (W <= 0 || H <= 0) return;

  const RECT rc = *lpRect;
  // Content coordinates: y measured from item 0's top edge.
  const int S = GetItemHeight(0) * GetTopIndex();
  const RECT target = {rc.left, rc.top + S, rc.right, rc.bottom + S};
  if (IsRectEmpty(&target)) return;

  // The right and bottom edges are exclusive; a column or row that starts on them meets nothing.
  const int x0 = FloorDiv(target.left, W) * W;
  const int x1 = (FloorDiv(target.right, W) + 1) * W;
  const int y0 = FloorDiv(target.top, H) * H;
  const int y1 = (FloorDiv(target.bottom, H) + 1) * H;
  for (int x = x0; x < x1; x += W) {
    for (int y = y0; y < y1; y += H) {
      RECT cell;
      ::SetRect(&cell, x, y, x + W, y + H);
      RECT part;
      if (!::IntersectRect(&part, &target, &cell)) continue;
      pDC->BitBlt(part.left, part.top - S, part.right - part.left, part.bottom - part.top, &m_dcMem,
                  FloorMod(part.left, W), FloorMod(part.top, H), SRCCOPY);
    }
  }
}

void CSkinListBox::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
  CDC dc;
  dc.Attach(lpDrawItemStruct->hDC);
  const RECT& rcItem = lpDrawItemStruct->rcItem;
  const UINT state = lpDrawItemStruct->itemState;

  PaintBackground(&dc, &rcItem);
  // Selection and focus come from the row's state whatever the window manager asked for, so a
  // selected row keeps its highlight through scrolling and full repaints.
  if (state & ODS_SELECTED) {
    CBrush selection(m_crSelect);
    dc.FillRect(&rcItem, &selection);
  }
  if (state & ODS_FOCUS) dc.DrawFocusRect(&rcItem);

  if (GetCount() != 0) {
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor((state & ODS_SELECTED) ? SelectedTextColour() : m_crText);
    DrawText(&dc, rcItem, lpDrawItemStruct->itemID);
  }
  dc.Detach();
}

void CSkinListBox::DrawText(CDC* pDC, const RECT& rcItem, UINT itemID) {
  INT tabStops[2] = {0, 400};
  const int x = rcItem.left + 2;
  if (!::IsWindowUnicode(m_hWnd)) {
    CString text;
    GetText(static_cast<int>(itemID), text);
    pDC->TabbedTextOut(x, rcItem.top, text, text.GetLength(), 2, tabStops, 0);
    return;
  }
  // A Unicode host's texts are read and drawn wide, as it wrote them.
  const LRESULT length = ::SendMessageW(m_hWnd, LB_GETTEXTLEN, itemID, 0);
  if (length <= 0) return;
  CPlainArray<wchar_t> text;
  if (length >= INT_MAX || !text.SetSize(static_cast<int>(length) + 1) ||
      ::SendMessageW(m_hWnd, LB_GETTEXT, itemID, reinterpret_cast<LPARAM>(text.GetData())) == LB_ERR)
    return;
  ::TabbedTextOutW(*pDC, x, rcItem.top, text.GetData(), ::lstrlenW(text.GetData()), 2, tabStops, 0);
}

BOOL CSkinListBox::OnEraseBkgnd(CDC* pDC) {
  // The band below the last row; the rows paint their own strips.
  RECT rc = {};
  GetClientRect(&rc);
  rc.top += (GetCount() - GetTopIndex()) * GetItemHeight(0);
  PaintBackground(pDC, &rc);
  return TRUE;
}
