// Where a list box that draws its own texts puts a row's text: how far in from the row's left edge
// it starts, and the tab stops the list expands tabs to. A list answers no question about either,
// so they are measured from drawings: a list of the library's own, made like the host's list,
// draws a row of tabs; and the host's list, where it may have been given stops before anyone was
// watching, shows those it uses in the rows it draws.
#pragma once
#include <windows.h>

struct CRowTextLayout {
  static constexpr int kMaxStops = 32;

  int nOrigin = 2;            // the text's start, from the row's left edge
  bool bExpandsTabs = false;  // tabs move the text on to the next stop
  int nStops = 0;             // none: the system's default stops
  int stops[kMaxStops] = {};  // from the row's left edge
  bool bLearned = false;      // the stops are those the list's own rows were seen to use

  // The layout of a list of style `style` that has not been measured: tabs are expanded where the
  // style says so, to the default stops.
  static CRowTextLayout Unmeasured(DWORD style);

  // Measures the layout of a list box of the system's class, of style `style` in `font`, given
  // `nDialogStops` tab stops in dialog units (none: its default stops) while it had `stopsFont`
  // (a list reckons dialog units in the font it has when it takes them), on a hidden list of the
  // library's own in hParent that draws a row of tabs into a metafile. TRUE with the layout set;
  // FALSE, with it unchanged, when that list could not be made or drew no such row.
  bool MeasureOnTwin(HWND hParent, DWORD style, HFONT font, HFONT stopsFont,
                     const INT* pDialogStops, int nDialogStops);

  // Adds the stops hList's rows in view use to those learned so far (the first learned replace
  // the measured ones): hList prints them into a metafile through the system's own list
  // procedure, its drawing on for the moment and off again while `stillVeiled` holds (a host's
  // code runs meanwhile). FALSE, with nothing changed, when hList is not of the system's class
  // or no row in view has a tab.
  bool LearnStopsShown(HWND hList, bool bUnicode, const bool& stillVeiled);

  // Draws `text` (`length` characters) at `row` on hDC as the list lays it out.
  void Draw(HDC hDC, const RECT& row, const char* text, int length) const;
  void Draw(HDC hDC, const RECT& row, const wchar_t* text, int length) const;

  bool operator==(const CRowTextLayout& other) const;
  bool operator!=(const CRowTextLayout& other) const { return !(*this == other); }
};
