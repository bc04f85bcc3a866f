// Drawing the mirror list: the tile grid anchored to item 0, the rows over it, the band below them.
#include "overlay/SkinListBox.h"

#include <limits.h>

#include <cstdlib>

#include "bridge/SourceLink.h"
#include "framework/PlainArray.h"

void CSkinListBox::PaintBackground(CDC* pDC, const RECT* lpRect) {
  BITMAP tile = {};
  if (m_brTile.GetSafeHandle() == nullptr || !m_bmpBack.GetBitmap(&tile) || tile.bmHeight == 0)
    return;
  // The tile's grid starts at item 0's top edge, wherever the list has scrolled to: the brush's
  // origin moves up by the rows scrolled past, within one tile's height.
  const int H = std::abs(tile.bmHeight);
  const int S = GetItemHeight(0) * GetTopIndex();
  POINT previous = {};
  ::SetBrushOrgEx(*pDC, 0, ((-S % H) + H) % H, &previous);
  ::FillRect(*pDC, lpRect, m_brTile);
  ::SetBrushOrgEx(*pDC, previous.x, previous.y, nullptr);
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

namespace {

// Draws row `row` of the source's, read past the link, in the source's character set.
template <typename Char>
void DrawRowText(const CSourceLink& link, HDC hDC, int x, int y, UINT row) {
  const LRESULT length = link.AskSourceText(LB_GETTEXTLEN, row, 0);
  CPlainArray<Char> text;
  if (length <= 0 || length >= INT_MAX || !text.SetSize(static_cast<int>(length) + 1) ||
      link.AskSourceText(LB_GETTEXT, row, reinterpret_cast<LPARAM>(text.GetData())) == LB_ERR)
    return;
  INT tabStops[2] = {0, 400};
  if constexpr (sizeof(Char) == 1)
    ::TabbedTextOutA(hDC, x, y, text.GetData(), ::lstrlenA(text.GetData()), 2, tabStops, 0);
  else
    ::TabbedTextOutW(hDC, x, y, text.GetData(), ::lstrlenW(text.GetData()), 2, tabStops, 0);
}

}  // namespace

void CSkinListBox::DrawText(CDC* pDC, const RECT& rcItem, UINT itemID) {
  if (m_pLink == nullptr || !m_pLink->SourceKeepsTexts()) return;
  // A Unicode host's texts are read and drawn wide, as it wrote them.
  if (::IsWindowUnicode(m_hWnd))
    DrawRowText<wchar_t>(*m_pLink, *pDC, rcItem.left + 2, rcItem.top, itemID);
  else
    DrawRowText<char>(*m_pLink, *pDC, rcItem.left + 2, rcItem.top, itemID);
}

BOOL CSkinListBox::OnEraseBkgnd(CDC* pDC) {
  // The band below the last row; the rows paint their own strips.
  RECT rc = {};
  GetClientRect(&rc);
  rc.top += (GetCount() - GetTopIndex()) * GetItemHeight(0);
  PaintBackground(pDC, &rc);
  return TRUE;
}
