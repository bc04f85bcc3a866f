// The hand-back: what the user does on the mirror reaches the host's list as that input would
// have, at the same place of the same row, and the focus on the mirror is the list's own.
#include "bridge/SourceLink.h"

#include <windowsx.h>

namespace {

// A point's coordinates travel in the two 16-bit halves of lParam.
bool FitsInPoint(long y) { return y >= -32768 && y <= 32767; }

// The source's own rectangle for a row, into *pRow. A row too far from the source's top row for a
// 16-bit point is brought up first, through the source's procedure past the link, so the mirror
// keeps its own position. FALSE when the source has no such row.
bool RowWithinPointsReach(const CNextProc& source, int row, RECT* pRow) {
  if (source.pfn == nullptr ||
      source(LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(pRow)) == LB_ERR)
    return false;
  if (!FitsInPoint(pRow->top) || !FitsInPoint(pRow->bottom)) {
    source(LB_SETTOPINDEX, static_cast<WPARAM>(row), 0);
    source(LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(pRow));
  }
  return true;
}

int Clamp(int value, int low, int high) { return value < low ? low : (value > high ? high : value); }

}  // namespace

void CSourceLink::FollowMirrorScroll() {
  if (!IsHooked()) return;
  bool scrolled = false;
  const LRESULT top = ToMirror(LB_GETTOPINDEX, 0, 0);
  if (top >= 0 && CallSourceProc(LB_GETTOPINDEX, 0, 0) != top) {
    CallSourceProc(LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
    FollowRowText();
    scrolled = true;
  }
  const int across = ::GetScrollPos(m_hMirrorList, SB_HORZ);
  if (across != ::GetScrollPos(m_hHookedList, SB_HORZ)) {
    CallSourceProc(WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, across), 0);
    scrolled = true;
  }
  if (scrolled) RepaintUnderVeil();
}

POINT CSourceLink::ToSourcePoint(POINT at) {
  // The row under the point, wherever the mirror shows it.
  const int row = m_pMirror->RowAt(at);
  const RECT mirrorRow = row >= 0 ? m_pMirror->RowRect(row) : RECT{};
  RECT sourceRow = {};
  if (row >= 0 && RowWithinPointsReach(SourceProc(), row, &sourceRow)) {
    // The same place within the row: the row's own rectangle, whatever its height or column.
    return {sourceRow.left + Clamp(at.x - mirrorRow.left, 0, sourceRow.right - sourceRow.left - 1),
            sourceRow.top + Clamp(at.y - mirrorRow.top, 0, sourceRow.bottom - sourceRow.top - 1)};
  }
  // Not on a row: the same place on the screen.
  POINT onScreen = at;
  ::ClientToScreen(m_hMirrorList, &onScreen);
  ::ScreenToClient(m_hHookedList, &onScreen);
  return onScreen;
}

LPARAM CSourceLink::AtSourcePoint(LPARAM mirrorPoint) {
  FollowMirrorScroll();
  const POINT at = ToSourcePoint({GET_X_LPARAM(mirrorPoint), GET_Y_LPARAM(mirrorPoint)});
  return MAKELPARAM(static_cast<WORD>(at.x), static_cast<WORD>(at.y));
}

int CSourceLink::ForwardSelection() {
  const int sel = static_cast<int>(ToMirror(LB_GETCURSEL, 0, 0));
  if (sel == LB_ERR) return LB_ERR;
  // Taken once: a replay that the host interrupts by switching the overlay off still finishes on
  // the window it began on.
  const CNextProc source = SourceProc();
  if (source.pfn == nullptr) return 0;

  FollowMirrorScroll();
  // A row the source cannot place (a subclass of the host's answering otherwise) gets no click
  // somewhere else.
  RECT row = {};
  if (!RowWithinPointsReach(source, sel, &row)) return LB_ERR;
  const HWND hFocusBefore = ::GetFocus();
  const LPARAM point = MAKELPARAM(static_cast<WORD>(row.left), static_cast<WORD>(row.top));
  source(WM_LBUTTONDOWN, MK_LBUTTON, point);
  const LRESULT released = source(WM_LBUTTONUP, MK_LBUTTON, point);

  // The source believes it has the focus while the mirror has it; should it have taken the real
  // focus all the same, the user's keys still belong to the mirror.
  if (hFocusBefore == m_hMirrorList && IsHooked() && ::GetFocus() != m_hMirrorList)
    ::SetFocus(m_hMirrorList);
  if (IsHooked()) ShowSourceState();
  return static_cast<int>(released);
}

bool CSourceLink::OfferButton(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsHooked()) return false;
  const HWND hSource = m_hHookedList;
  const LPARAM point = AtSourcePoint(lParam);
  // A gesture the source took at its press is the source's to the end, even where the source let
  // the mouse go before the release (a drag cancelled with Escape): the release is its own.
  const bool sourcesRelease = message == WM_LBUTTONUP && m_bSourceTookPress;
  m_bSourceTookPress = false;
  // A drag list gives its list the focus at the press. For the host the list has the mirror's
  // focus already: the move is the library's, and the host hears nothing of it.
  m_offer = sourcesRelease ? Offer::kNone : Offer::kOnItsWay;
  m_bMovingFocus = true;
  SendInCharacterSet(hSource, message, wParam, point);
  m_bMovingFocus = false;
  const bool heldAtLink = m_offer == Offer::kHeldAtLink;
  m_offer = Offer::kNone;
  if (::GetFocus() == hSource) MoveFocus(m_hMirrorList);
  if (sourcesRelease) return true;
  // Whoever took the mouse at the press follows the gesture from here (a drag list does once its
  // parent agreed to a drag): the list gets the press it would have got, and the rest is the
  // source's own.
  if (message != WM_LBUTTONDOWN || !IsHooked() || ::GetCapture() != hSource) return false;
  if (heldAtLink) CallSourceProc(message, wParam, point);
  m_bSourceTookPress = true;
  m_pending |= kStateChanged;
  CatchUp();
  return true;
}

LRESULT CSourceLink::HandBackMouse(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsHooked()) return 0;
  // Through the source's whole chain, as the user's click would go; the link shows the source's
  // state once the source has handled it.
  return SendInCharacterSet(m_hHookedList, message, wParam, AtSourcePoint(lParam));
}

LRESULT CSourceLink::HandBackKey(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsHooked()) return 0;
  // A character is the mirror's, in the set it arrived in.
  return SendOnAsReceived(message, wParam, lParam);
}

void CSourceLink::HandBackFocus(UINT message, HWND hOther) {
  // The source takes the mirror's focus as its own: it tells the host once, and a click handed
  // back to it does not try to take the focus from the mirror.
  if (IsHooked() && !m_bMovingFocus)
    ::SendMessageA(m_hHookedList, message, reinterpret_cast<WPARAM>(hOther), 0);
}

void CSourceLink::HandBackContextMenu(LPARAM lParam) {
  if (IsHooked())
    ::SendMessageA(m_hHookedList, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(m_hHookedList), lParam);
}

LRESULT CSourceLink::SourceDialogCode(WPARAM wParam, LPARAM lParam) {
  if (!IsHooked()) return 0;
  return SendOnAsReceived(WM_GETDLGCODE, wParam, lParam);
}

void CSourceLink::MoveFocus(HWND hTo) {
  if (!IsHooked()) return;
  m_bMovingFocus = true;
  ::SetFocus(hTo);
  m_bMovingFocus = false;
}
