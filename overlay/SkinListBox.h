// CSkinListBox: the mirror list. An owner-drawn view of the host's list box that keeps no rows of
// its own: it paints the host's rows (their texts, or what the host draws) over a tiled background
// picture, follows the host's list through the link and hands the user's input back to it.
#pragma once
#include "framework/Framework.h"
#include "framework/PlainArray.h"
#include "overlay/SharedTile.h"

class CSourceLink;
struct KSLLOOK;


class CSkinListBox : public CListBox {
 public:
  CSkinListBox();
  ~CSkinListBox() override;

  // Takes the colours the host paints its list with: asks hAsked (the list's parent, or a
  // drop-down list's combo box), as the list itself would (WM_CTLCOLORLISTBOX). Where the host
  // chose no text colour, the text is black or white, whichever stands out more on the tile.
  void TakeColoursOf(HWND hSource, HWND hAsked);
  // The link that the user's input is handed back through.
  void SetLink(CSourceLink* pLink) { m_pLink = pLink; }
  // Lets go of the tiles: the window they were for has gone.
  void ReleaseTile();
  // Makes the tiles anew from the picture when the window's DPI is not the one they were made for.
  void FitTileToDpi();
  // For a list that tracks the pointer itself while it holds the mouse (a combo box's dropped
  // list, whose selection follows the pointer): the row under the screen point `at` is lit, its
  // hover look over its selection, as the list's own tracking highlights it; null: no row is.
  void LightTrackedRow(const POINT* at);

  // Paints the tile grid, anchored to item 0's top edge, into lpRect (client coordinates) on pDC.
  void PaintBackground(CDC* pDC, const RECT* lpRect);
  void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

  // Sets the fields of the look that its mask names, all of them or none: FALSE, with the last
  // error set and nothing changed, when the picture or a tile for a row's state cannot be had. The
  // fields are taken as they are (the caller checked them); repainted once.
  BOOL SetLook(const KSLLOOK& look);
  // Fills the fields of the look that its mask names; the picture's path is the list's own copy.
  void GetLook(KSLLOOK* pLook) const;
  // The classic setters, each one field of the look.
  // Takes the picture in a BMP, PNG, JPEG or GIF file as the tile: composed over the host's
  // background where it is transparent, scaled to the window's DPI. FALSE, with nothing changed
  // and the last error set (see LoadPictureFile), when the file gives no picture.
  BOOL SetBkImage(LPCWSTR lpszPath);
  // SetBkImage with a path in the host's ANSI code page.
  BOOL SetBkBitmap(LPCSTR lpszPath);
  // Paints the whole tile with crColor. FALSE, with ERROR_NOT_ENOUGH_MEMORY and the old tile kept,
  // when the new tile cannot be made.
  BOOL SetBkColor(COLORREF crColor);
  // Sets the item text colour, used as given; returns it.
  COLORREF SetFgColor(COLORREF crColor);

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnEraseBkgnd(CDC* pDC);

  DECLARE_MESSAGE_MAP()

 private:
  // The look's colours and styles; the picture is in the tiles. CLR_DEFAULT as a state's text
  // colour: the row's text colour where it is readable on that state's fill, else black or white.
  struct Look {
    COLORREF crText;
    COLORREF crSelBk, crSelText, crHotBk, crHotText, crDisabledText;
    BYTE bSelAlpha, bHotAlpha, bDisabledAlpha;
    int nFocusStyle;
  };
  // What the rows are filled with: the picture's tile, and its tints for selected, hot and
  // disabled rows (none for a state that shows the picture as it is).
  struct LookTiles {
    CTileHold base, selection, hot, disabled;
    void Swap(LookTiles& other) {
      base.Swap(other.base), selection.Swap(other.selection), hot.Swap(other.hot);
      disabled.Swap(other.disabled);
    }
  };

  CSourceLink* m_pLink = nullptr;
  Look m_look;
  bool m_bTextByContrast = false;  // the host chose no text colour: black or white by the tile
  LookTiles m_tiles;
  CPlainArray<wchar_t> m_picturePath;  // the picture's path as the host gave it; empty for none
  UINT m_nTileDpi = 96;                // the DPI the tiles were made for
  COLORREF m_crHostBack;               // the background the host paints its list's rows on
  int m_nHotRow = -1;                  // the row under the pointer, lit; -1 for none
  bool m_bHotOverSelection = false;    // lit by the list's own tracking: over its selection too
  bool m_bTrackingLeave = false;       // the system tells the list when the pointer leaves

  // Input the host's list decides about goes there; TRUE with *pResult set when it went.
  bool HandBack(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  // The look's tints of `base` into *pTiles, which takes over the hold on base; false, with the
  // last error, when one cannot be made.
  bool MakeLookTiles(CSharedTile* base, const Look& look, LookTiles* pTiles) const;
  // SetLook, where a null picture path means the default tile unless it is refused as a path.
  BOOL ApplyLook(const KSLLOOK& look, bool bNullPathIsDefault);
  // Fills rc (client coordinates) with a tile's grid, whose row 0 starts at itemZeroTop: the
  // picture's, or the disabled one on a disabled list, unless `tile` is given.
  void FillWithTile(HDC hDC, const RECT& rc, int itemZeroTop, const CSharedTile* tile = nullptr);
  // After a new tile: the text colour chosen by contrast follows the tile.
  void FollowTile();
  // The text colour on a state's fill: `chosen` unless it is CLR_DEFAULT, else the row's text
  // colour where it is readable there, else black or white.
  COLORREF TextColourOn(const CSharedTile* fill, COLORREF chosen) const;
  // The row under the pointer becomes `row` (-1: none): the two rows that change are repainted.
  void LightRow(int row);
  // Hover follows the pointer: on a move, as the pointer leaves, and when the list scrolls under a
  // still pointer (checked as it paints).
  void TrackPointer(UINT message, WPARAM wParam, LPARAM lParam);
  // Invalidates, erases and repaints the whole list before returning.
  void RepaintNow();
  void DrawText(CDC* pDC, const RECT& rcItem, UINT itemID);
  // A row the host draws itself: drawn by the host into a picture of its own, then shown over the
  // tile, the tile (lightened or dimmed for the host's ink) where the host painted its background.
  void DrawHostRow(const DRAWITEMSTRUCT& item);

  CDibCanvas m_hostRow;    // what the host drew
  CDibCanvas m_skinRow;    // what the skin shows under it
};
