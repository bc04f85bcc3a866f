// Changing the mirror list's look: a new tile, a coloured tile, a text colour. Each change shows
// before the call returns.
#include "bridge/SourceLink.h"
#include "framework/PlainArray.h"
#include "overlay/PictureFile.h"
#include "overlay/SkinListBox.h"
#include "overlay/Tile.h"

void CSkinListBox::RepaintNow() {
  // Changes of the host's still waiting for its message loop are shown now as well.
  if (m_pLink != nullptr) m_pLink->CatchUp();
  if (m_hWnd != nullptr)
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

BOOL CSkinListBox::SetBkImage(LPCWSTR lpszPath) {
  bool transparent = false;
  CBitmap picture;
  if (!picture.Attach(LoadPictureFile(lpszPath, &transparent))) return FALSE;
  const UINT dpi = WindowDpi(m_hWnd);
  const HBITMAP hTile = MakeTile(picture, transparent, m_crHostBack, dpi);
  if (hTile == nullptr) return FALSE;
  ShowTile(hTile);
  m_bmpPicture.DeleteObject();
  m_bmpPicture.Attach(picture.Detach());
  m_bTransparent = transparent;
  m_nTileDpi = dpi;
  RepaintNow();
  return TRUE;
}

BOOL CSkinListBox::SetBkBitmap(LPCSTR lpszPath) {
  if (lpszPath == nullptr) return SetBkImage(nullptr);
  const int length = ::MultiByteToWideChar(CP_ACP, 0, lpszPath, -1, nullptr, 0);
  CPlainArray<wchar_t> path;
  if (length <= 0 || !path.SetSize(length) ||
      !::MultiByteToWideChar(CP_ACP, 0, lpszPath, -1, path.GetData(), length)) {
    ::SetLastError(length <= 0 ? ERROR_PATH_NOT_FOUND : ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  return SetBkImage(path.GetData());
}

COLORREF CSkinListBox::SetBkColor(COLORREF crColor) {
  // Paints the tile itself, all of it: the grid repeats every part of the tile somewhere.
  BITMAP tile = {};
  if (m_dcMem.GetSafeHdc() != nullptr && m_bmpBack.GetBitmap(&tile)) {
    const RECT whole = {0, 0, tile.bmWidth, tile.bmHeight < 0 ? -tile.bmHeight : tile.bmHeight};
    CBrush brush(crColor);
    m_dcMem.FillRect(&whole, &brush);
    // The tile is a colour now, whatever the DPI.
    m_bmpPicture.DeleteObject();
  }
  MakeTileBrush();
  FollowTile();
  RepaintNow();
  return crColor;
}

COLORREF CSkinListBox::SetFgColor(COLORREF crColor) {
  m_crText = crColor;
  m_bTextByContrast = false;
  RepaintNow();
  return m_crText;
}
