// Drawing the mirror list: the tile grid anchored to item 0, the rows over it, the band below them.
#include "overlay/SkinListBox.h"

#include <limits.h>

#include <cstdlib>

#include "bridge/SourceLink.h"
#include "framework/PlainArray.h"

void CSkinListBox::PaintBackground(CDC* pDC, const RECT* lpRect) {
  FillWithTile(*pDC, *lpRect, -GetItemHeight(0) * GetTopIndex());
}

void CSkinListBox::FillWithTile(HDC hDC, const RECT& rc, int itemZeroTop) {
  // The tile's grid starts at item 0's top edge, wherever the list has scrolled to: the brush's
  // origin moves with it, within one tile's height.
  const int H = m_nBrushHeight;
  if (m_brTile.GetSafeHandle() == nullptr || H <= 0) return;
  POINT previous = {};
  ::SetBrushOrgEx(hDC, 0, ((itemZeroTop % H) + H) % H, &previous);
  ::FillRect(hDC, &rc, m_brTile);
  ::SetBrushOrgEx(hDC, previous.x, previous.y, nullptr);
}

void CSkinListBox::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
  CDC dc;
  dc.Attach(lpDrawItemStruct->hDC);
  const RECT& rcItem = lpDrawItemStruct->rcItem;
  const UINT state = lpDrawItemStruct->itemState;

  const UINT row = lpDrawItemStruct->itemID;
  PaintBackground(&dc, &rcItem);
  // Selection and focus come from the row's state whatever the window manager asked for, so a
  // selected row keeps its highlight through scrolling and full repaints.
  if (state & ODS_SELECTED) {
    CBrush selection(m_crSelect);
    dc.FillRect(&rcItem, &selection);
  }
  if (state & ODS_FOCUS) dc.DrawFocusRect(&rcItem);

  // An empty list asks for its focus rectangle alone, with no row.
  if (row != static_cast<UINT>(-1)) {
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor((state & ODS_SELECTED) ? SelectedTextColour() : m_crText);
    DrawText(&dc, rcItem, row);
  }
  dc.Detach();
}

namespace {

// Draws row `row` of the source's, read past the link, in the source's character set.
template <typename Char>
void DrawRowText(const CSourceLink& link, HDC hDC, int x, int y, UINT row) {
  const LRESULT length = link.AskSourceText(LB_GETTEXTLEN, row, 0);
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
  if (link.AskSourceText(LB_GETTEXT, row, reinterpret_cast<LPARAM>(text)) == LB_ERR) return;
  INT tabStops[2] = {0, 400};
  if constexpr (sizeof(Char) == 1)
    ::TabbedTextOutA(hDC, x, y, text, ::lstrlenA(text), 2, tabStops, 0);
  else
    ::TabbedTextOutW(hDC, x, y, text, ::lstrlenW(text), 2, tabStops, 0);
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
