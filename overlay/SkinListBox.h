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

  // Paints the tile grid, anchored to item 0's top edge, into lpRect (client coordinates) on pDC.
  void PaintBackground(CDC* pDC, const RECT* lpRect);
  void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

  // Loads a bitmap file as the tile; FALSE, with nothing changed, when it is not a loadable bitmap.
  BOOL SetBkBitmap(LPCSTR lpszPath);
  // The picture at a wide path becomes the background tile. FALSE, with GetLastError set
  // (ERROR_FILE_NOT_FOUND, ERROR_INVALID_DATA), when it cannot be taken; the tile stays then.
  BOOL SetBkImage(LPCWSTR lpszPath);
  // Paints the whole tile with crColor; returns crColor.
  COLORREF SetBkColor(COLORREF crColor);
  // Sets the item text colour, used as given; returns it.
  COLORREF SetFgColor(COLORREF crColor);

  CBitmap m_bmpBack;          // the tile
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
  void MakeTileBrush();
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
