// The view follows the list: the host's changes reach the mirror once the host's loop runs (a burst
// of them shows at once), rows added and removed in the middle at once, and the mirror shows the
// list's rows, heights, font, text layout, selection, caret, anchor, top row and size.
#include "bridge/SourceLink.h"

#include "framework/PlainArray.h"

void CSourceLink::NeedCatchUp(unsigned what) {
  // The first change of a burst asks for one catch-up when the host's message loop runs again.
  if (!IsHooked()) return;
  m_pending |= what;
  if (!m_bCatchUpPosted) m_bCatchUpPosted = m_pOwner->ScheduleCatchUp();
  // Without a catch-up to come (the host's queue is full), the mirror catches up now: nothing may
  // stay held that nothing will release.
  if (!m_bCatchUpPosted) CatchUp();
}

LRESULT CSourceLink::RepeatRowChange(const CNextProc& next, UINT message, WPARAM wParam,
                                     LPARAM lParam) {
  const LRESULT answer = next(message, wParam, lParam);
  // The host may have switched the overlay off from whatever the source's handling set off.
  if (answer < 0 || !IsHooked()) return answer;
  switch (message) {
    case LB_DELETESTRING:  // answers the rows left
      if (static_cast<LRESULT>(wParam) >= m_nMirrorRows) break;
      HoldMirrorPainting();
      SyncRowCount(answer + 1);
      ToMirror(LB_DELETESTRING, wParam, 0);
      m_nMirrorRows = answer;
      break;
    case LB_RESETCONTENT:
    case LB_SETCOUNT:
      HoldMirrorPainting();
      ToMirror(message, wParam, 0);
      m_nMirrorRows = ToMirror(LB_GETCOUNT, 0, 0);
      break;
    default: {  // a row added at `answer`, where the source's sorting or a host's subclass put it
      // Past the mirror's rows it moves nothing the mirror shows: the catch-up adds it.
      if (answer >= m_nMirrorRows) break;
      const LRESULT countAfter = next(LB_GETCOUNT, 0, 0);
      if (countAfter <= m_nMirrorRows) break;  // the row was there already
      HoldMirrorPainting();
      SyncRowCount(countAfter - 1);
      ToMirror(LB_INSERTSTRING, static_cast<WPARAM>(answer), 0);
      m_nMirrorRows = countAfter;
      break;
    }
  }
  NeedCatchUp(kRowsChanged);
  return answer;
}

bool CSourceLink::SyncRowCount(LRESULT count) {
  if (count < 0 || count == m_nMirrorRows) return false;
  if (!m_bRowsOfManyHeights) {
    ToMirror(LB_SETCOUNT, static_cast<WPARAM>(count), 0);
  } else {
    // A list that keeps each row's height keeps a row for each: empty ones, added or taken at
    // the end, their heights the source's once the catch-up follows them, shown all at once.
    HoldMirrorPainting();
    if (count > m_nMirrorRows) ToMirror(LB_INITSTORAGE, static_cast<WPARAM>(count - m_nMirrorRows), 0);
    for (LRESULT n = m_nMirrorRows; n < count && ToMirror(LB_ADDSTRING, 0, 0) >= 0; ++n) {
    }
    for (LRESULT n = m_nMirrorRows; n > count && ToMirror(LB_DELETESTRING, n - 1, 0) >= 0; --n) {
    }
  }
  m_nMirrorRows = ToMirror(LB_GETCOUNT, 0, 0);
  return true;
}

void CSourceLink::HoldMirrorPainting() {
  // A visible list updates its scroll bar for every row it gains: the mirror's painting waits for
  // the catch-up, unless the host holds it already.
  if (m_bHostRedrawOff || m_bMirrorHeld) return;
  m_bMirrorHeld = true;
  ToMirror(WM_SETREDRAW, FALSE, 0);
}

void CSourceLink::CatchUp() {
  unsigned pending = m_pending;
  m_pending = kNothingPending;
  m_bCatchUpPosted = false;
  if (pending == kNothingPending || !IsHooked()) return;
  // The user's click on a mirror that selects rows itself ends with the row the user chose, not
  // with what the host did to its list meanwhile: the source's state waits until the click has
  // been replayed on it.
  const bool userClicking = m_bMirrorSelectsItself && ::GetCapture() == m_hMirrorList;
  if (userClicking) m_pending |= kStateChanged;
  if (pending & (kRowsChanged | kRowsToCheck)) {
    // As many rows as the source, whoever else may have sent the mirror rows, at its row height:
    // one scroll-bar update for the whole burst.
    m_nMirrorRows = ToMirror(LB_GETCOUNT, 0, 0);
    if (SyncRowCount(AskSource(LB_GETCOUNT, 0, 0))) pending |= kRowsChanged;
    FollowRowHeight();
  }
  if (!userClicking) ShowSourceState();
  FollowRowText((pending & kRowsChanged) != 0);
  const bool held = m_bMirrorHeld;
  m_bMirrorHeld = false;
  if (held) ToMirror(WM_SETREDRAW, TRUE, 0);
  // Changed rows are all drawn afresh, in one repaint; a list whose redraw comes back on is not
  // bound to repaint by itself.
  if (held || (pending & kRowsChanged)) ::InvalidateRect(m_hMirrorList, nullptr, TRUE);
  // A resize the host's batch held back waits for the host's redraw.
  if (pending & kResized) {
    if (m_bHostRedrawOff)
      m_pending |= kResized;
    else
      ResizeOwnerToSource();
  }
}

void CSourceLink::FollowFont(WPARAM font, LPARAM redraw) {
  ToMirror(WM_SETFONT, font, redraw);
  FollowRowHeight();
}

void CSourceLink::FollowRowHeight() {
  // A list that draws its own texts takes its row height from the font; the mirror's rows keep
  // the source's height, row by row where the source's rows have heights of their own.
  const LRESULT rows = m_bRowsOfManyHeights ? m_nMirrorRows : 1;
  for (LRESULT row = 0; row < rows; ++row) {
    const LRESULT itemHeight = AskSource(LB_GETITEMHEIGHT, static_cast<WPARAM>(row), 0);
    if (itemHeight <= 0 || ToMirror(LB_GETITEMHEIGHT, static_cast<WPARAM>(row), 0) == itemHeight)
      continue;
    if (m_bRowsOfManyHeights) HoldMirrorPainting();
    ToMirror(LB_SETITEMHEIGHT, static_cast<WPARAM>(row), MAKELPARAM(LOWORD(itemHeight), 0));
  }
}

void CSourceLink::FollowRowText(bool rowsChanged) {
  if (!m_bVeiled || m_bHostDrawsRows || m_hSourceList == nullptr) return;
  const LRESULT top = AskSource(LB_GETTOPINDEX, 0, 0);
  const bool rowsInViewChanged = rowsChanged || top != m_nTopInView;
  m_nTopInView = top;
  CRowTextLayout measured = m_rowText;
  if (m_bRowTextStale) {
    // Measured once for each change of font or stops, whether or not it succeeds.
    m_bRowTextStale = false;
    const auto font = reinterpret_cast<HFONT>(AskSource(WM_GETFONT, 0, 0));
    const DWORD style = static_cast<DWORD>(::GetWindowLongA(m_hSourceList, GWL_STYLE));
    if (!measured.MeasureOnTwin(::GetParent(m_hMirrorList), style, font, m_hTabStopsFont,
                                m_tabStops.GetData(), m_tabStops.GetSize()))
      return;
  } else if (!rowsInViewChanged) {
    return;
  }
  // Stops the host gave its list before the link saw its messages show in the rows that use them,
  // whenever those come into view.
  if (!m_bTabStopsSeen) measured.LearnStopsShown(m_hSourceList, m_bUnicode, m_bVeiled);
  if (measured == m_rowText) return;
  m_rowText = measured;
  ::InvalidateRect(m_hMirrorList, nullptr, TRUE);
}

void CSourceLink::ShowSourceTop() {
  if (m_hSourceList == nullptr) return;
  const LRESULT top = AskSource(LB_GETTOPINDEX, 0, 0);
  if (top < 0 || ToMirror(LB_GETTOPINDEX, 0, 0) == top) return;
  ToMirror(LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
  RepaintUnderVeil();
}

void CSourceLink::ShowSourceState() {
  if (m_hSourceList == nullptr) return;
  if (m_bMultiSelect) {
    // Both lists answer their selected rows in ascending order: walk the two side by side.
    // A list whose selection there is no memory to read keeps the mirror's as it is.
    auto read = [](CPlainArray<int>& rows, auto ask) {
      const LRESULT count = ask(LB_GETSELCOUNT, 0, 0);
      if (count <= 0) return true;
      if (!rows.SetSize(static_cast<int>(count))) return false;
      const LRESULT got =
          ask(LB_GETSELITEMS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(rows.GetData()));
      return rows.SetSize(got >= 0 && got < count ? static_cast<int>(got) : static_cast<int>(count));
    };
    CPlainArray<int> want, have;
    const bool readBoth =
        read(want, [this](UINT m, WPARAM w, LPARAM l) { return AskSource(m, w, l); }) &&
        read(have, [this](UINT m, WPARAM w, LPARAM l) { return ToMirror(m, w, l); });
    if (!readBoth) {
      want.RemoveAll();
      have.RemoveAll();
    }
    // A visible list repaints and scrolls to every row it selects: thousands of them (a Shift+End)
    // are shown in one repaint instead, when the catch-up releases the mirror's painting.
    auto select = [this](BOOL selected, int row) {
      HoldMirrorPainting();
      ToMirror(LB_SETSEL, selected, row);
    };
    int w = 0, h = 0;
    while (w < want.GetSize() || h < have.GetSize()) {
      if (h == have.GetSize() || (w < want.GetSize() && want[w] < have[h])) {
        select(TRUE, want[w++]);
      } else if (w == want.GetSize() || have[h] < want[w]) {
        select(FALSE, have[h++]);
      } else {
        ++w, ++h;
      }
    }
    const LRESULT anchor = AskSource(LB_GETANCHORINDEX, 0, 0);
    if (ToMirror(LB_GETANCHORINDEX, 0, 0) != anchor)
      ToMirror(LB_SETANCHORINDEX, static_cast<WPARAM>(anchor), 0);
  } else {
    // A list of one selection refuses to move its caret off its selected row: the row is
    // selected again, which takes the caret with it.
    const LRESULT sel = AskSource(LB_GETCURSEL, 0, 0);
    const bool caretOnSelection = sel >= 0 && AskSource(LB_GETCARETINDEX, 0, 0) == sel;
    if (ToMirror(LB_GETCURSEL, 0, 0) != sel ||
        (caretOnSelection && ToMirror(LB_GETCARETINDEX, 0, 0) != sel))
      ToMirror(LB_SETCURSEL, static_cast<WPARAM>(sel), 0);
  }
  const LRESULT caret = AskSource(LB_GETCARETINDEX, 0, 0);
  if (caret >= 0 && ToMirror(LB_GETCARETINDEX, 0, 0) != caret)
    ToMirror(LB_SETCARETINDEX, static_cast<WPARAM>(caret), TRUE);
  ShowSourceTop();
}

SIZE CSourceLink::SourceSize() const {
  // The source's rows and its scroll bar: the mirror shows its own bar where the source shows one,
  // so the rows keep the source's width, and a bar coming or going changes nothing.
  RECT rc = {};
  ::GetClientRect(m_hSourceList, &rc);
  const LONG style = ::GetWindowLongA(m_hSourceList, GWL_STYLE);
  if (style & WS_VSCROLL) rc.right += ::GetSystemMetrics(SM_CXVSCROLL);
  if (style & WS_HSCROLL) rc.bottom += ::GetSystemMetrics(SM_CYHSCROLL);
  return {rc.right, rc.bottom};
}

void CSourceLink::ResizeOwnerToSource() {
  // Moving a window is dear: the panel moves only when the host resized its list.
  const SIZE size = SourceSize();
  if (size.cx == m_sourceSize.cx && size.cy == m_sourceSize.cy) return;
  m_sourceSize = size;
  m_pOwner->OnSourceResized(size.cx, size.cy);
}
