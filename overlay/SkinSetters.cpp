// Changing the mirror list's look: its picture, its colours, how each state of a row shows. Each
// change shows before the call returns; the classic setters each change one field of the look.
#define KSLHOOK_API
#include "include/kslHook.h"

#include "bridge/SourceLink.h"
#include "framework/PlainArray.h"
#include "overlay/SkinListBox.h"
#include "overlay/Tile.h"

void CSkinListBox::RepaintNow() {
  // Changes of the host's still waiting for its message loop are shown now as well.
  if (m_pLink != nullptr) m_pLink->CatchUp();
  if (m_hWnd != nullptr)
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

bool CSkinListBox::MakeLookTiles(CSharedTile* base, const Look& look, LookTiles* pTiles) const {
  pTiles->base.Reset(base);
  if (base == nullptr) return false;
  // A state at 0 shows the picture as it is, and needs no tile of its own.
  auto tint = [base](CTileHold* hold, COLORREF colour, BYTE alpha) {
    if (alpha != 0) hold->Reset(TintedTile(base, colour, alpha));
    return alpha == 0 || *hold;
  };
  return tint(&pTiles->selection, look.crSelBk, look.bSelAlpha) &&
         tint(&pTiles->hot, look.crHotBk, look.bHotAlpha) &&
         tint(&pTiles->disabled, m_crHostBack, static_cast<BYTE>(255 - look.bDisabledAlpha));
}

BOOL CSkinListBox::ApplyLook(const KSLLOOK& in, bool bNullPathIsDefault) {
  Look look = m_look;
  const UINT mask = in.fMask;
  if (mask & KSLLOOK_TEXT) look.crText = in.crText;
  if (mask & KSLLOOK_SELECTION)
    look.crSelBk = in.crSelBk, look.bSelAlpha = in.bSelAlpha, look.crSelText = in.crSelText;
  if (mask & KSLLOOK_HOT)
    look.crHotBk = in.crHotBk, look.bHotAlpha = in.bHotAlpha, look.crHotText = in.crHotText;
  if (mask & KSLLOOK_DISABLED)
    look.crDisabledText = in.crDisabledText, look.bDisabledAlpha = in.bDisabledAlpha;
  if (mask & KSLLOOK_FOCUS) look.nFocusStyle = in.nFocusStyle;

  // The picture: a file given, else a colour given, else the library's own tile.
  const bool picture = (mask & KSLLOOK_BKIMAGE) && (in.pszBkImage != nullptr || !bNullPathIsDefault);
  const bool colour = !picture && (mask & KSLLOOK_BKCOLOR) && in.crBk != CLR_NONE;
  const UINT dpi = WindowDpi(m_hWnd);
  // The path is copied first: the host may hand back the copy GetLook lent it.
  const int length = picture && in.pszBkImage != nullptr ? ::lstrlenW(in.pszBkImage) + 1 : 0;
  CPlainArray<wchar_t> path;
  if (!path.SetSize(length)) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  for (int i = 0; i < length; ++i) path[i] = in.pszBkImage[i];
  CSharedTile* base = nullptr;
  if (picture) {
    base = PictureTile(in.pszBkImage, dpi, m_crHostBack);
  } else if (colour) {
    // A tile of the old one's size, all of it the colour: the grid repeats every part of the tile.
    base = ColourTile(in.crBk, m_tiles.base ? m_tiles.base->Width() : 128,
                      m_tiles.base ? m_tiles.base->Height() : 128);
  } else if ((mask & (KSLLOOK_BKIMAGE | KSLLOOK_BKCOLOR)) || !m_tiles.base) {
    base = DefaultTile(dpi);
  } else {
    base = HoldTile(m_tiles.base.Get());
  }
  LookTiles tiles;
  if (!MakeLookTiles(base, look, &tiles)) return FALSE;

  m_tiles.Swap(tiles);
  if (mask & (KSLLOOK_BKIMAGE | KSLLOOK_BKCOLOR)) {
    if (!colour) m_nTileDpi = dpi;
    m_picturePath.RemoveAll();
    if (m_picturePath.SetSize(length))
      for (int i = 0; i < length; ++i) m_picturePath[i] = path[i];
  }
  m_look = look;
  if (mask & KSLLOOK_TEXT) m_bTextByContrast = false;
  FollowTile();
  RepaintNow();
  return TRUE;
}

BOOL CSkinListBox::SetLook(const KSLLOOK& look) { return ApplyLook(look, true); }

void CSkinListBox::GetLook(KSLLOOK* pLook) const {
  const UINT mask = pLook->fMask;
  if (mask & KSLLOOK_BKIMAGE)
    pLook->pszBkImage = m_picturePath.IsEmpty() ? nullptr : m_picturePath.GetData();
  if (mask & KSLLOOK_BKCOLOR) pLook->crBk = m_tiles.base ? m_tiles.base->Colour() : CLR_NONE;
  if (mask & KSLLOOK_TEXT) pLook->crText = m_look.crText;
  if (mask & KSLLOOK_SELECTION) {
    pLook->crSelBk = m_look.crSelBk;
    pLook->bSelAlpha = m_look.bSelAlpha;
    pLook->crSelText = m_look.crSelText;
  }
  if (mask & KSLLOOK_HOT) {
    pLook->crHotBk = m_look.crHotBk;
    pLook->bHotAlpha = m_look.bHotAlpha;
    pLook->crHotText = m_look.crHotText;
  }
  if (mask & KSLLOOK_DISABLED) {
    pLook->crDisabledText = m_look.crDisabledText;
    pLook->bDisabledAlpha = m_look.bDisabledAlpha;
  }
  if (mask & KSLLOOK_FOCUS) pLook->nFocusStyle = m_look.nFocusStyle;
}

BOOL CSkinListBox::SetBkImage(LPCWSTR lpszPath) {
  KSLLOOK look = {};
  look.cbSize = sizeof look;
  look.fMask = KSLLOOK_BKIMAGE;
  look.pszBkImage = lpszPath;
  // A null path here is no file, and refused as one.
  return ApplyLook(look, false);
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
  KSLLOOK look = {};
  look.cbSize = sizeof look;
  look.fMask = KSLLOOK_BKCOLOR;
  // Whatever the value, the classic setter paints a colour: its low three bytes.
  look.crBk = crColor & 0xFFFFFF;
  return ApplyLook(look, true);
}

COLORREF CSkinListBox::SetFgColor(COLORREF crColor) {
  KSLLOOK look = {};
  look.cbSize = sizeof look;
  look.fMask = KSLLOOK_TEXT;
  look.crText = crColor;
  ApplyLook(look, true);
  return m_look.crText;
}
