// Changing the mirror list's look: a new tile, a coloured tile, a text colour. Each change shows
// before the call returns.
#include "bridge/SourceLink.h"
#include "overlay/BitmapFile.h"
#include "overlay/SkinListBox.h"

void CSkinListBox::RepaintNow() {
  // Changes of the host's still waiting for its message loop are shown now as well.
  if (m_pLink != nullptr) m_pLink->CatchUp();
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
  MakeTileBrush();
  FollowTile();
  RepaintNow();
  return TRUE;
}

BOOL CSkinListBox::SetBkImage(LPCWSTR lpszPath) {
  if (lpszPath == nullptr || ::GetFileAttributesW(lpszPath) == INVALID_FILE_ATTRIBUTES) {
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  // The bitmap reader takes paths in the ANSI code page; a name it cannot spell is not found.
  char path[MAX_PATH * 2] = {};
  BOOL lossy = FALSE;
  if (::WideCharToMultiByte(CP_ACP, 0, lpszPath, -1, path, sizeof path, nullptr, &lossy) == 0 ||
      lossy) {
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (SetBkBitmap(path)) return TRUE;
  ::SetLastError(ERROR_INVALID_DATA);
  return FALSE;
}

COLORREF CSkinListBox::SetBkColor(COLORREF crColor) {
  // Paints the tile itself, all of it: the grid repeats every part of the tile somewhere.
  BITMAP tile = {};
  if (m_dcMem.GetSafeHdc() != nullptr && m_bmpBack.GetBitmap(&tile)) {
    const RECT whole = {0, 0, tile.bmWidth, tile.bmHeight < 0 ? -tile.bmHeight : tile.bmHeight};
    CBrush brush(crColor);
    m_dcMem.FillRect(&whole, &brush);
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
