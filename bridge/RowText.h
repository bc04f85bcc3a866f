// Where a list box that draws its own texts puts a row's text: how far in from the row's left edge
// it starts, and the tab stops the list expands tabs to. A list answers no question about either
// (its tab stops may have been set before anyone was watching), so they are measured from the
// list's own drawing of a row of tabs.
#pragma once
#include <windows.h>

struct CRowTextLayout {
  static constexpr int kMaxStops = 32;

  int nOrigin = 2;            // the text's start, from the row's left edge
  bool bExpandsTabs = false;  // tabs move the text on to the next stop
  int nStops = 0;             // none: the system's default stops
  int stops[kMaxStops] = {};  // from the row's left edge

  // The layout of a list of style `style` that has not been measured: tabs are expanded where the
  // style says so, to the default stops.
  static CRowTextLayout Unmeasured(DWORD style);

  // Measures hList's layout from a row of tabs it draws into a metafile, the row put in and taken
  // out again past every procedure in front of the list's own, while the list's drawing is off
  // (as it is under the veil). TRUE with the layout set; FALSE, with it unchanged, when the list
  // has no rows (its last row would leave through a message its chain sees) or drew no such row.
  bool Measure(HWND hList, bool bUnicode);

  // Draws `text` (`length` characters) at `row` on hDC as the list lays it out.
  void Draw(HDC hDC, const RECT& row, const char* text, int length) const;
  void Draw(HDC hDC, const RECT& row, const wchar_t* text, int length) const;

  bool operator==(const CRowTextLayout& other) const;
  bool operator!=(const CRowTextLayout& other) const { return !(*this == other); }
};
