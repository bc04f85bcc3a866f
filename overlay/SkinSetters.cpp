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
  if (hTile == nullptr || !ShowTile(hTile)) return FALSE;
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

BOOL CSkinListBox::SetBkColor(COLORREF crColor) {
  // A new tile of the old one's size, all of it the colour: the grid repeats every part of the tile
  // somewhere.
  BITMAP tile = {};
  if (m_dcMem.GetSafeHdc() == nullptr || !m_bmpBack.GetBitmap(&tile)) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  const int height = tile.bmHeight < 0 ? -tile.bmHeight : tile.bmHeight;
  RGBQUAD* pixels = nullptr;
  const HBITMAP hTile = NewPicture(tile.bmWidth, height, &pixels);
  if (hTile == nullptr) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  const RGBQUAD colour = {GetBValue(crColor), GetGValue(crColor), GetRValue(crColor), 255};
  for (size_t i = 0, count = size_t(tile.bmWidth) * height; i < count; ++i) pixels[i] = colour;
  if (!ShowTile(hTile)) return FALSE;
  // The tile is a colour now, whatever the DPI.
  m_bmpPicture.DeleteObject();
  RepaintNow();
  return TRUE;
}

COLORREF CSkinListBox::SetFgColor(COLORREF crColor) {
  m_crText = crColor;
  m_bTextByContrast = false;
  RepaintNow();
  return m_crText;
}
