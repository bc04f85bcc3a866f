// CSkinListBox: the mirror list. An owner-drawn view of the host's list box that keeps no rows of
// its own: it paints the host's rows (their texts, or what the host draws) over a tiled background
// picture, follows the host's list through the link and hands the user's input back to it.
#pragma once
#include "framework/Framework.h"

class CSourceLink;


class CSkinListBox : public CListBox {
 public:
  CSkinListBox();
  ~CSkinListBox() override;

  // Takes the colours the host paints its list with: asks the list's parent, as the list itself
  // would (WM_CTLCOLORLISTBOX). Where the host chose no text colour, the text is black or white,
  // whichever stands out more on the tile.
  void TakeColoursOf(HWND hSource);
  // The link that the user's input is handed back through.
  void SetLink(CSourceLink* pLink) { m_pLink = pLink; }
  // Deletes the canvas, then the tile: the window they were for has gone.
  void ReleaseTile();
  // Makes the tile anew from its picture when the window's DPI is not the one it was made for.
  void FitTileToDpi();

  // Paints the tile grid, anchored to item 0's top edge, into lpRect (client coordinates) on pDC.
  void PaintBackground(CDC* pDC, const RECT* lpRect);
  void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

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

  CBitmap m_bmpBack;          // the tile
  CBitmap m_bmpPicture;       // what the tile is made of, kept for another DPI; none for a colour
  bool m_bTransparent = false;  // the picture has pixels less than opaque
  UINT m_nTileDpi = 96;       // the DPI the tile was made for
  CDC m_dcMem;                // a memory DC with the tile selected, to paint and read the tile
  CBrush m_brTile;            // the tile as a pattern brush, made anew whenever the tile changes
  int m_nBrushHeight = 0;     // the height of the picture in m_brTile: the tile's, or a multiple
  COLORREF m_crText;          // item text colour
  COLORREF m_crSelect;        // selection fill
  COLORREF m_crHostBack;      // the background the host paints its list's rows on

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnEraseBkgnd(CDC* pDC);

  DECLARE_MESSAGE_MAP()

 private:
  CSourceLink* m_pLink = nullptr;
  bool m_bTextByContrast = false;  // the host chose no text colour: black or white by the tile

  // Input the host's list decides about goes there; TRUE with *pResult set when it went.
  bool HandBack(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  // The brush painting fills with for hTile, and the height of the picture in it; false when none
  // can be made.
  bool MakeTileBrush(HBITMAP hTile, CBrush* pBrush, int* pHeight) const;
  // Row `row`'s rectangle in the client area, above or below what shows as well.
  RECT RowRect(int row) const;
  // hTile (given to the list) becomes the tile, in the canvas, and the brush and text colour follow
  // it. FALSE, with ERROR_NOT_ENOUGH_MEMORY and the old tile kept, when its brush cannot be made.
  bool ShowTile(HBITMAP hTile);
  // Fills rc (client coordinates) with the tile's grid, whose row 0 starts at itemZeroTop.
  void FillWithTile(HDC hDC, const RECT& rc, int itemZeroTop);
  // After a new tile: the text colour chosen by contrast follows the tile.
  void FollowTile();
  // The text colour of a selected row: the text colour where it is readable on the selection fill.
  COLORREF SelectedTextColour() const;
  // Invalidates, erases and repaints the whole list before returning.
  void RepaintNow();
  void DrawText(CDC* pDC, const RECT& rcItem, UINT itemID);
  // A row the host draws itself: drawn by the host into a picture of its own, then shown over the
  // tile, the tile (lightened or dimmed for the host's ink) where the host painted its background.
  void DrawHostRow(const DRAWITEMSTRUCT& item);

  CDibCanvas m_hostRow;    // what the host drew
  CDibCanvas m_skinRow;    // what the skin shows under it
};
