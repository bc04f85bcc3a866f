// Changing the mirror list's look: a new tile, a coloured tile, a text colour. Each change shows
// before the call returns.
#include "overlay/BitmapFile.h"
#include "overlay/SkinListBox.h"

void CSkinListBox::RepaintNow() {
  if (m_hWnd != nullptr)
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

BOOL CSkinListBox::SetBkBitmap(LPCSTR lpszPath) {
  HBITMAP hLoaded = LoadBitmapFile(lpszPath);
  if (hLoaded == nullptr) return FALSE;
  // The canvas holds the current tile selected: put the new one in before the old one is deleted
  // (at the end of this scope).
  CBitmap previous;
  previous.Attach(m_bmpBack.Detach());
  m_bmpBack.Attach(hLoaded);
  m_dcMem.SelectObject(&m_bmpBack);
  RepaintNow();
  return TRUE;
}

COLORREF CSkinListBox::SetBkColor(COLORREF crColor) {
  RECT rc = {};
  GetClientRect(&rc);
  CBrush brush(crColor);
  // Paints the tile itself, from its top-left pixel; without a canvas there is nothing to paint yet.
  if (m_dcMem.GetSafeHdc() != nullptr) m_dcMem.FillRect(&rc, &brush);
  RepaintNow();
  m_crBack = crColor;
  return crColor;
}

COLORREF CSkinListBox::SetFgColor(COLORREF crColor) {
  m_crText = crColor;
  RepaintNow();
  return m_crText;
}
