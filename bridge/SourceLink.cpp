#include "bridge/SourceLink.h"

#include "bridge/RepeatPolicy.h"

namespace {

WNDPROC ClassProcOf(HWND hWnd, bool bUnicode) {
  return reinterpret_cast<WNDPROC>(bUnicode ? ::GetClassLongPtrW(hWnd, GCLP_WNDPROC)
                                            : ::GetClassLongPtrA(hWnd, GCLP_WNDPROC));
}

}  // namespace

CSourceLink::CSourceLink(Owner* pOwner, const CListBox* pMirror) : m_pOwner(pOwner), m_pMirror(pMirror) {}

CSourceLink::~CSourceLink() { Unhook(); }

BOOL CSourceLink::HookSource(HWND hSource, HWND hCombo) {
  Unhook();
  if (hSource == nullptr) return TRUE;
  m_hMirrorList = m_pMirror->GetSafeHwnd();
  m_hSourceList = hSource;
  m_hSourceParent = ::GetParent(hSource);
  m_hCombo = hCombo;
  m_bUnicode = ::IsWindowUnicode(hSource) != FALSE;
  const LONG style = ::GetWindowLongA(hSource, GWL_STYLE);
  const bool ownerDrawn = (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0;
  m_bHostDrawsRows = ::IsWindow(hSource) && ownerDrawn;
  m_bKeepsStrings = ::IsWindow(hSource) && (!ownerDrawn || (style & LBS_HASSTRINGS) != 0);
  m_bMultiSelect = (style & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) != 0;
  m_bRowsOfManyHeights = (style & LBS_OWNERDRAWVARIABLE) != 0;
  m_bFocusGoesElsewhere = (style & LBS_COMBOBOX) != 0;
  m_bScrollsThroughParent = (::GetClassLongA(hSource, GCL_STYLE) & CS_PARENTDC) != 0;
  m_rowText = CRowTextLayout::Unmeasured(static_cast<DWORD>(style));
  m_bRowTextStale = !ownerDrawn;
  m_bTabStopsSeen = false;
  m_tabStops.RemoveAll();
  m_hTabStopsFont = nullptr;
  m_nTopInView = -1;
  // A combo box's list is clicked as it is: the list, not the mirror, knows where its focus goes.
  m_bMirrorSelectsItself = !m_bMultiSelect && !m_bFocusGoesElsewhere && (style & LBS_NOSEL) == 0;
  m_sourceSize = SourceSize();

  // A source whose procedure cannot be replaced (not a window) is not hooked.
  if (m_subclass.Install(hSource, this)) {
    m_hHookedList = hSource;
    m_pfnOldListProc = m_subclass.Next().pfn;
    m_bProcedureBehind = m_pfnOldListProc != ClassProcOf(hSource, m_subclass.Next().bUnicode);
  }
  FollowFont(static_cast<WPARAM>(AskSource(WM_GETFONT, 0, 0)), TRUE);
  FollowWindowText();
  ToMirror(LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(AskSource(LB_GETHORIZONTALEXTENT, 0, 0)), 0);
  m_pending = kRowsChanged;
  CatchUp();
  // Looked at again once the host's loop runs: the host may have switched the overlay on from
  // inside one of its list's messages, whose change was not made yet.
  NeedCatchUp(kRowsToCheck);
  return TRUE;
}

void CSourceLink::Unhook() {
  m_subclass.Remove();
  m_hHookedList = nullptr;
  m_pfnOldListProc = nullptr;
  m_bSourceTookPress = false;
  // A catch-up still on its way finds nothing to do.
  m_pending = kNothingPending;
}

void CSourceLink::LetGo() {
  Unhook();
  VeilSource(false);
  m_hSourceList = nullptr;
}

void CSourceLink::OnSubclassedWindowGone() {
  // The host destroyed its list: there is nothing left to give back or to show again.
  m_hostRegion.DeleteObject();
  m_bVeiled = false;
  m_hHookedList = nullptr;
  m_pfnOldListProc = nullptr;
  m_hSourceList = nullptr;
  m_pending = kNothingPending;
  m_pOwner->OnSourceGone();
}

LRESULT CSourceLink::OnSubclassMessage(const CNextProc& next, UINT message, WPARAM wParam,
                                       LPARAM lParam) {
  DepthScope running(m_nDepth);
  // The source gains or loses the real focus only as the mirror's stand-in: it already holds the
  // focus the mirror has, and the host hears nothing of the move.
  if (m_bMovingFocus && (message == WM_SETFOCUS || message == WM_KILLFOCUS)) return 0;
  if (message == WM_SETFOCUS && m_bVeiled) {
    // The host gave its veiled list the focus: the list hears of it, and the user's keys go to
    // the skin, which for the host is its list.
    const LRESULT answer = next(message, wParam, lParam);
    if (IsHooked()) MoveFocus(m_hMirrorList);
    return answer;
  }
  if ((message == WM_LBUTTONDOWN || message == WM_LBUTTONUP) && m_offer == Offer::kOnItsWay) {
    // The mirror's button has passed whatever stands in front of the link. Only the list's own
    // procedure is behind it: the list leaves the press to the mirror unless the gesture was
    // taken. Someone else's procedure behind it may act on the press (a drag list does), and
    // which it is cannot be told: it gets the press as the user made it.
    if (!m_bProcedureBehind) {
      m_offer = Offer::kHeldAtLink;
      return 0;
    }
    m_offer = Offer::kNone;
  }
  switch (RuleFor(message)) {
    case Repeat::kNone:
      break;
    case Repeat::kViewAfter: {
      const LRESULT answer = next(message, wParam, lParam);
      if (message == LB_SETTABSTOPS && answer) {
        // The stops the list took, in dialog units, for a list of the library's own to measure.
        const auto* stops = reinterpret_cast<const INT*>(lParam);
        const int count = static_cast<int>(wParam) <= CRowTextLayout::kMaxStops
                              ? static_cast<int>(wParam) : CRowTextLayout::kMaxStops;
        m_bTabStopsSeen = m_tabStops.SetSize(stops != nullptr ? count : 0);
        for (int i = 0; i < m_tabStops.GetSize(); ++i) m_tabStops[i] = stops[i];
        m_hTabStopsFont = reinterpret_cast<HFONT>(next(WM_GETFONT, 0, 0));
        m_bRowTextStale = !m_bHostDrawsRows;
      }
      NeedCatchUp(kRowsChanged);
      return answer;
    }
    case Repeat::kStateBefore: {
      HoldMirrorPainting();
      SyncRowCount(next(LB_GETCOUNT, 0, 0));
      ToMirror(message, wParam, lParam);
      NeedCatchUp(kStateChanged);
      return CallWatchingScroll(next, message, wParam, lParam);
    }
    case Repeat::kRowsAfter:
      return RepeatRowChange(next, message, wParam, lParam);
    case Repeat::kHostShows:
      // The veiled list is shown and hidden as the host asks; the skin with it.
      if (m_nVeiling == 0 && lParam != 0) {
        const UINT flags = reinterpret_cast<const WINDOWPOS*>(lParam)->flags;
        if (flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW))
          m_pOwner->OnSourceShown((flags & SWP_SHOWWINDOW) != 0,
                                  *reinterpret_cast<const WINDOWPOS*>(lParam));
      }
      break;
    case Repeat::kHostReshapes: {
      const LRESULT answer = next(message, wParam, lParam);
      RECT bounds;
      if (m_bVeiled && m_nVeiling == 0 &&
          ::GetWindowRgnBox(m_hSourceList, &bounds) != NULLREGION) {
        DepthScope veiling(m_nVeiling);
        TakeHostRegion();
      }
      if (IsHooked() && ::GetParent(m_hSourceList) != m_hSourceParent) {
        m_hSourceParent = ::GetParent(m_hSourceList);
        m_pOwner->OnSourceMoved();
      }
      return answer;
    }
    case Repeat::kHostPrints: {
      // (WM_PRINT prints the client area through WM_PRINTCLIENT: the redraw is on already.)
      if (!m_bVeiled || m_bHostRedrawOff || m_nVeiling > 0) break;
      DepthScope veiling(m_nVeiling);
      SetSourceRedraw(true);
      const LRESULT answer = next(message, wParam, lParam);
      SetSourceRedraw(false);
      return answer;
    }
    case Repeat::kDrawsUnderVeil:
      // A list whose class draws with its parent's clipping (every list of Common Controls 6)
      // would draw over whatever shows in its place, its veil notwithstanding: it is told its
      // area is drawn. Its own drawing for the host's print, or into a DC it is given, goes on.
      if (!m_bVeiled || m_nVeiling > 0 || (message == WM_PAINT && wParam != 0)) break;
      if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        if (::BeginPaint(next.hWnd, &paint)) ::EndPaint(next.hWnd, &paint);
        return 0;
      }
      return TRUE;
    case Repeat::kMovePanel: {
      const LRESULT answer = next(message, wParam, lParam);
      if (IsHooked()) m_pOwner->OnSourceMoved();
      return answer;
    }
    case Repeat::kResizePanel:
      // The source's scroll bar is part of its size, and waits while the host's own batch holds the
      // list's redraw off: the panel then follows when the host switches redraw on again.
      if (m_bHostRedrawOff)
        m_pending |= kResized;
      else
        ResizeOwnerToSource();
      break;
    case Repeat::kHostRedraw:
      if (m_nVeiling > 0) break;
      // The host's batch is its own: the mirror paints when the host switches redraw on again.
      m_bHostRedrawOff = wParam == FALSE;
      ToMirror(message, wParam, lParam);
      m_bMirrorHeld = false;
      if (!m_bHostRedrawOff) {
        // The host repaints its own list after its batch; the mirror is the one on screen.
        ::InvalidateRect(m_hMirrorList, nullptr, TRUE);
        CatchUp();
      }
      // The veiled list's own redraw stays off until the veil is lifted.
      if (m_bVeiled) return 0;
      break;
    case Repeat::kFontAfter: {
      const LRESULT answer = next(message, wParam, lParam);
      if (IsHooked()) FollowFont(wParam, lParam);
      m_bRowTextStale = !m_bHostDrawsRows;
      NeedCatchUp(kRowsChanged);
      return answer;
    }
    case Repeat::kTextAfter: {
      const LRESULT answer = next(message, wParam, lParam);
      FollowWindowText();
      return answer;
    }
    case Repeat::kEnableAfter: {
      const LRESULT answer = next(message, wParam, lParam);
      if (IsHooked()) ::EnableWindow(m_hMirrorList, ::IsWindowEnabled(next.hWnd));
      return answer;
    }
    case Repeat::kStateAfterIfCaptured:
      if (::GetCapture() != next.hWnd) break;
      [[fallthrough]];
    case Repeat::kStateAfter: {
      const LRESULT answer = CallWatchingScroll(next, message, wParam, lParam);
      m_pending |= kStateChanged;
      CatchUp();
      // A list that holds the mouse past a press or a move follows the pointer itself (a combo
      // box's dropped list selects the row under it): the skin is told where the pointer is.
      if ((message == WM_MOUSEMOVE || message == WM_LBUTTONDOWN) && IsHooked() &&
          ::GetCapture() == next.hWnd) {
        POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ::ClientToScreen(next.hWnd, &at);
        m_pOwner->OnSourceTracksPointer(at);
      }
      return answer;
    }
  }
  return next(message, wParam, lParam);
}

LRESULT CSourceLink::CallWatchingScroll(const CNextProc& next, UINT message, WPARAM wParam,
                                        LPARAM lParam) {
  if (!m_bScrollsThroughParent || !m_bVeiled) return next(message, wParam, lParam);
  const LRESULT top = next(LB_GETTOPINDEX, 0, 0);
  const LRESULT answer = next(message, wParam, lParam);
  if (IsHooked() && next(LB_GETTOPINDEX, 0, 0) != top) RepaintUnderVeil();
  return answer;
}

CNextProc CSourceLink::SourceProc() const {
  return {m_hHookedList, m_pfnOldListProc, m_bUnicode};
}

LRESULT CSourceLink::CallSourceProc(UINT message, WPARAM wParam, LPARAM lParam) const {
  const CNextProc source = SourceProc();
  return source.pfn != nullptr ? source(message, wParam, lParam) : 0;
}

LRESULT CSourceLink::AskSource(UINT message, WPARAM wParam, LPARAM lParam) const {
  // Past the link while hooked, so that the link's own questions are not taken for the host's.
  if (m_hHookedList != nullptr) return CallSourceProc(message, wParam, lParam);
  return SendInCharacterSet(m_hSourceList, message, wParam, lParam);
}

void CSourceLink::FollowWindowText() {
  // A reader in another process reads a window's text as the window keeps it, not through its
  // procedure: the mirror keeps the source's.
  wchar_t text[256] = L"";
  if (::IsWindow(m_hSourceList) && m_hMirrorList != nullptr) {
    ::GetWindowTextW(m_hSourceList, text, 256);
    ::SetWindowTextW(m_hMirrorList, text);
  }
}

LRESULT CSourceLink::SendInCharacterSet(HWND hWnd, UINT message, WPARAM wParam,
                                        LPARAM lParam) const {
  return m_bUnicode ? ::SendMessageW(hWnd, message, wParam, lParam)
                    : ::SendMessageA(hWnd, message, wParam, lParam);
}

LRESULT CSourceLink::SendOnAsReceived(UINT message, WPARAM wParam, LPARAM lParam) const {
  return m_pMirror->ReceivesUnicode() ? ::SendMessageW(m_hHookedList, message, wParam, lParam)
                                      : ::SendMessageA(m_hHookedList, message, wParam, lParam);
}

LRESULT CSourceLink::ToMirror(UINT message, WPARAM wParam, LPARAM lParam) const {
  // The mirror's own list, past what the skin answers its readers for the host's list.
  return m_pMirror->OwnProc(message, wParam, lParam);
}
