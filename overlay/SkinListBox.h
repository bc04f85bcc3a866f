// CSkinListBox: the mirror list. An owner-drawn copy of the host's list box that paints its rows
// over a tiled background picture, follows the host's list through the source window procedure and
// hands the user's clicks back to it.
#pragma once
#include "framework/Framework.h"

class CSourceLink;

class CSkinListBox : public CListBox {
 public:
  CSkinListBox();
  ~CSkinListBox() override;

  // Takes the text and background colours the source list's window DC carries.
  void TakeColoursOf(HWND hSource);
  // The link that the user's double-clicks and right-button messages are handed back through.
  void SetLink(CSourceLink* pLink) { m_pLink = pLink; }

  // Copies the tile grid, anchored to item 0's top edge, into lpRect (client coordinates) on pDC.
  void PaintBackground(CDC* pDC, const RECT* lpRect);
  void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
  // Row heights come from the source list, not from here.
  void MeasureItem(LPMEASUREITEMSTRUCT) override {}
  int CompareItem(LPCOMPAREITEMSTRUCT) override { return 0; }

  // Loads a bitmap file as the tile; FALSE, with nothing changed, when it is not a loadable bitmap.
  BOOL SetBkBitmap(LPCSTR lpszPath);
  // Paints the tile with crColor over the client area's width and height; returns crColor.
  COLORREF SetBkColor(COLORREF crColor);
  // Sets the item text colour; returns it.
  COLORREF SetFgColor(COLORREF crColor);

  CBitmap m_bmpBack;          // the tile
  CDC m_dcMem;                // the canvas: a memory DC with the tile selected, made by the first paint
  BOOL m_bCanvasReady;        // the first paint has tried to make the canvas
  COLORREF m_crText;          // item text colour
  COLORREF m_crBack;          // background colour last recorded; drawing takes it from the tile
  COLORREF m_crSelect;        // selection fill

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  HBRUSH CtlColor(CDC* pDC, UINT nCtlColor);
  int OnCreate(LPCREATESTRUCT lpCreateStruct);
  BOOL OnEraseBkgnd(CDC* pDC);

  DECLARE_MESSAGE_MAP()

 private:
  CSourceLink* m_pLink = nullptr;

  void MakeCanvas();
  // Invalidates, erases and repaints the whole list before returning.
  void RepaintNow();
};
