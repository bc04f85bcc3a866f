#include "bridge/SourceLink.h"

#include <windowsx.h>

#include <array>

#include "framework/PlainArray.h"

namespace {

// ---- The repeat policy ---------------------------------------------------------------------------
//
// What the link does with a message the host's list receives while it is hooked. The mirror keeps
// no rows of its own: it is a view of the host's list that draws each row from the list as it
// paints it, so only what changes that view concerns it. The host always gets its list's own
// answer.

enum class Repeat {
  kNone,                  // passed on untouched
  kViewAfter,             // the list changes its rows or its state: the mirror catches up with it
                          // once the host's loop runs (a burst of changes shows at once)
  kRowsAfter,             // as kViewAfter, and the mirror gains or loses the same rows at once
  kStateBefore,           // as kViewAfter, and the mirror takes the same message first: a list
                          // moves its caret only on its own terms, so only the same message
                          // leaves the mirror's where the source's goes
  kFontAfter,             // the source takes the font, then the mirror takes it and the row height
  kEnableAfter,           // the mirror is enabled or disabled with the source
  kResizePanel,           // the panel takes the source's new client size, then the source
  kMovePanel,             // the source moved: the panel may follow it
  kHostShows,             // the host shows or hides its list: the panel instead
  kHostReshapes,          // the host may have given its list a window region or another parent
  kHostPrints,            // the host prints its list: the veiled list draws for it meanwhile
  kHostRedraw,            // the host's own redraw switch: the mirror's follows it
  kStateAfter,            // the user's input: the source decides, then the mirror shows its state
  kStateAfterIfCaptured,  // as kStateAfter while the source holds the mouse (a drag), else kNone
};

struct RepeatRule {
  UINT message;
  Repeat how;
};

// The list-box messages from LB_ADDSTRING to 0x01B0 (where list-box messages ended when they were
// last numbered this far) change the list, except the questions below: those, and numbers past the
// range, pass untouched. A number in the range without a message of its own counts as a change.
constexpr UINT kListBoxQuestions[] = {
    LB_GETSEL,         LB_GETCURSEL,           LB_GETTEXT,        LB_GETTEXTLEN,
    LB_GETCOUNT,       LB_GETTOPINDEX,         LB_FINDSTRING,     LB_GETSELCOUNT,
    LB_GETSELITEMS,    LB_GETHORIZONTALEXTENT, LB_GETITEMRECT,    LB_GETITEMDATA,
    LB_GETANCHORINDEX, LB_GETCARETINDEX,       LB_GETITEMHEIGHT,  LB_FINDSTRINGEXACT,
    LB_SETLOCALE,      LB_GETLOCALE,           LB_INITSTORAGE,    LB_ITEMFROMPOINT,
};
constexpr UINT kFirstListBoxMessage = LB_ADDSTRING;
constexpr UINT kLastListBoxMessage = 0x01B0;

// The messages that add or remove rows. The source's selection, caret and anchor move with its rows,
// so the mirror's rows move alike; rows added at the end move nothing and wait for the catch-up.
constexpr UINT kRowChanges[] = {LB_ADDSTRING,    LB_INSERTSTRING, LB_ADDFILE,
                                LB_DELETESTRING, LB_RESETCONTENT, LB_SETCOUNT};

// The messages that set the selection, the caret, the anchor, the top row or how far the rows
// scroll sideways.
constexpr UINT kStateChanges[] = {LB_SETSEL,         LB_SETCURSEL,      LB_SELITEMRANGEEX,
                                  LB_SELITEMRANGE,   LB_SETANCHORINDEX, LB_SETCARETINDEX,
                                  LB_SETTOPINDEX,    LB_SETHORIZONTALEXTENT};

// The list's system timer scrolls it while the user drags past its edge.
constexpr UINT kSystemTimer = 0x0118;

// The other messages the link acts on. Everything else passes untouched.
constexpr RepeatRule kOtherPolicy[] = {
    {WM_SIZE, Repeat::kResizePanel},
    {WM_MOVE, Repeat::kMovePanel},
    {WM_WINDOWPOSCHANGING, Repeat::kHostShows},
    {WM_WINDOWPOSCHANGED, Repeat::kHostReshapes},
    {WM_PRINT, Repeat::kHostPrints},
    {WM_PRINTCLIENT, Repeat::kHostPrints},
    {WM_ENABLE, Repeat::kEnableAfter},
    {WM_SETREDRAW, Repeat::kHostRedraw},
    {WM_SETFONT, Repeat::kFontAfter},
    {WM_KEYDOWN, Repeat::kStateAfter},
    {WM_KEYUP, Repeat::kStateAfter},
    {WM_CHAR, Repeat::kStateAfter},
    {WM_LBUTTONDOWN, Repeat::kStateAfter},
    {WM_LBUTTONUP, Repeat::kStateAfter},
    {WM_LBUTTONDBLCLK, Repeat::kStateAfter},
    {WM_MOUSEWHEEL, Repeat::kStateAfter},
    {WM_VSCROLL, Repeat::kStateAfter},
    {WM_HSCROLL, Repeat::kStateAfter},
    {WM_MOUSEMOVE, Repeat::kStateAfterIfCaptured},
    {kSystemTimer, Repeat::kStateAfterIfCaptured},
};

// What the link does with each message below WM_USER, so that the many messages it passes
// untouched cost one look-up.
constexpr UINT kLookedUp = WM_USER;
constexpr std::array<Repeat, kLookedUp> kRuleOf = [] {
  std::array<Repeat, kLookedUp> rules{};
  for (UINT m = kFirstListBoxMessage; m <= kLastListBoxMessage; ++m) rules[m] = Repeat::kViewAfter;
  for (UINT m : kListBoxQuestions) rules[m] = Repeat::kNone;
  for (UINT m : kRowChanges) rules[m] = Repeat::kRowsAfter;
  for (UINT m : kStateChanges) rules[m] = Repeat::kStateBefore;
  for (const RepeatRule& rule : kOtherPolicy) rules[rule.message] = rule.how;
  return rules;
}();

Repeat RuleFor(UINT message) { return message < kLookedUp ? kRuleOf[message] : Repeat::kNone; }

// Counts a piece of the link's work (a message it handles, its own change to the source) on the
// stack for as long as it runs.
class DepthScope {
 public:
  explicit DepthScope(int& depth) : m_depth(depth) { ++m_depth; }
  ~DepthScope() { --m_depth; }
  DepthScope(const DepthScope&) = delete;
  DepthScope& operator=(const DepthScope&) = delete;

 private:
  int& m_depth;
};

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

// Gives hWnd a window region (null: none). The system owns a region it takes; one it refuses is
// deleted here.
void GiveRegion(HWND hWnd, HRGN hRegion) {
  if (!::SetWindowRgn(hWnd, hRegion, TRUE) && hRegion != nullptr) ::DeleteObject(hRegion);
}

WNDPROC ClassProcOf(HWND hWnd, bool bUnicode) {
  return reinterpret_cast<WNDPROC>(bUnicode ? ::GetClassLongPtrW(hWnd, GCLP_WNDPROC)
                                            : ::GetClassLongPtrA(hWnd, GCLP_WNDPROC));
}

}  // namespace

CSourceLink::CSourceLink(Owner* pOwner, const CWnd* pMirror) : m_pOwner(pOwner), m_pMirror(pMirror) {}

CSourceLink::~CSourceLink() { Unhook(); }

BOOL CSourceLink::HookSource(HWND hSource) {
  Unhook();
  if (hSource == nullptr) return TRUE;
  m_hMirrorList = m_pMirror->GetSafeHwnd();
  m_hSourceList = hSource;
  m_hSourceParent = ::GetParent(hSource);
  m_bUnicode = ::IsWindowUnicode(hSource) != FALSE;
  const LONG style = ::GetWindowLongA(hSource, GWL_STYLE);
  const bool ownerDrawn = (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0;
  m_bHostDrawsRows = ::IsWindow(hSource) && ownerDrawn;
  m_bKeepsStrings = ::IsWindow(hSource) && (!ownerDrawn || (style & LBS_HASSTRINGS) != 0);
  m_bMultiSelect = (style & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) != 0;
  m_bRowsOfManyHeights = (style & LBS_OWNERDRAWVARIABLE) != 0;
  m_bFocusGoesElsewhere = (style & LBS_COMBOBOX) != 0;
  m_rowText = CRowTextLayout::Unmeasured(static_cast<DWORD>(style));
  m_bRowTextStale = !ownerDrawn;
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

void CSourceLink::VeilSource(bool veiled) {
  if (m_hSourceList == nullptr || veiled == m_bVeiled) return;
  m_bVeiled = veiled;
  // The list keeps its place and the visibility the host gives it, so that the host's showing and
  // hiding of it, and its own IsWindowVisible, work as ever. Veiled, it shows nothing, the mouse
  // goes through it to the skin, and Tab stops on the skin instead.
  DepthScope veiling(m_nVeiling);
  const LONG style = ::GetWindowLongA(m_hSourceList, GWL_STYLE);
  if (veiled) {
    m_bSourceTabStop = (style & WS_TABSTOP) != 0;
    ::SetWindowLongA(m_hSourceList, GWL_STYLE, style & ~WS_TABSTOP);
    TakeHostRegion();
    // A shown list updates its scroll bar for every row it gains, which shows nothing here: its
    // redraw stays off under the veil, whatever the host switches. The system's handling of a
    // redraw switch takes WS_VISIBLE with it, which stays the host's.
    SetSourceRedraw(false);
    FollowRowText();
  } else {
    if (m_bSourceTabStop) ::SetWindowLongA(m_hSourceList, GWL_STYLE, style | WS_TABSTOP);
    // The host's own region, or none: the list's whole rectangle.
    GiveRegion(m_hSourceList, static_cast<HRGN>(m_hostRegion.Detach()));
    if (!m_bHostRedrawOff) SetSourceRedraw(true);
  }
}

void CSourceLink::TakeHostRegion() {
  // The host's own region, if it gave its list one, comes back with the list; the veil takes its
  // place meanwhile.
  m_hostRegion.DeleteObject();
  RECT bounds;
  if (::GetWindowRgnBox(m_hSourceList, &bounds) != ERROR &&
      m_hostRegion.Attach(::CreateRectRgn(0, 0, 0, 0)))
    ::GetWindowRgn(m_hSourceList, static_cast<HRGN>(m_hostRegion.GetSafeHandle()));
  GiveRegion(m_hSourceList, ::CreateRectRgn(0, 0, 0, 0));
}

void CSourceLink::SetSourceRedraw(bool redraw) {
  const LONG visible = ::GetWindowLongA(m_hSourceList, GWL_STYLE) & WS_VISIBLE;
  ::SendMessageA(m_hSourceList, WM_SETREDRAW, redraw, 0);
  const LONG style = ::GetWindowLongA(m_hSourceList, GWL_STYLE);
  if ((style & WS_VISIBLE) != visible)
    ::SetWindowLongA(m_hSourceList, GWL_STYLE, (style & ~WS_VISIBLE) | visible);
}

void CSourceLink::MoveFocus(HWND hTo) {
  if (!IsHooked()) return;
  m_bMovingFocus = true;
  ::SetFocus(hTo);
  m_bMovingFocus = false;
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

LRESULT CSourceLink::SendInCharacterSet(HWND hWnd, UINT message, WPARAM wParam,
                                        LPARAM lParam) const {
  return m_bUnicode ? ::SendMessageW(hWnd, message, wParam, lParam)
                    : ::SendMessageA(hWnd, message, wParam, lParam);
}

LRESULT CSourceLink::ToMirror(UINT message, WPARAM wParam, LPARAM lParam) const {
  // The mirror's own list, past what the skin answers its readers for the host's list.
  return m_pMirror->OwnProc(message, wParam, lParam);
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
      if (message == LB_SETTABSTOPS) m_bRowTextStale = !m_bHostDrawsRows;
      NeedCatchUp(kRowsChanged);
      return answer;
    }
    case Repeat::kStateBefore:
      HoldMirrorPainting();
      SyncRowCount(next(LB_GETCOUNT, 0, 0));
      ToMirror(message, wParam, lParam);
      NeedCatchUp(kStateChanged);
      break;
    case Repeat::kRowsAfter:
      return RepeatRowChange(next, message, wParam, lParam);
    case Repeat::kHostShows:
      // The veiled list is shown and hidden as the host asks; the skin with it.
      if (m_nVeiling == 0 && lParam != 0) {
        const UINT flags = reinterpret_cast<const WINDOWPOS*>(lParam)->flags;
        if (flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW))
          m_pOwner->OnSourceShown((flags & SWP_SHOWWINDOW) != 0);
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
    case Repeat::kEnableAfter: {
      const LRESULT answer = next(message, wParam, lParam);
      if (IsHooked()) ::EnableWindow(m_hMirrorList, ::IsWindowEnabled(next.hWnd));
      return answer;
    }
    case Repeat::kStateAfterIfCaptured:
      if (::GetCapture() != next.hWnd) break;
      [[fallthrough]];
    case Repeat::kStateAfter: {
      const LRESULT answer = next(message, wParam, lParam);
      m_pending |= kStateChanged;
      CatchUp();
      return answer;
    }
  }
  return next(message, wParam, lParam);
}

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
    // the end, their heights the source's once the catch-up follows them.
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
  FollowRowText();
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
    if (itemHeight > 0 && ToMirror(LB_GETITEMHEIGHT, static_cast<WPARAM>(row), 0) != itemHeight)
      ToMirror(LB_SETITEMHEIGHT, static_cast<WPARAM>(row), MAKELPARAM(LOWORD(itemHeight), 0));
  }
}

void CSourceLink::FollowRowText() {
  if (!m_bRowTextStale || !m_bVeiled || m_bHostDrawsRows || m_hSourceList == nullptr) return;
  CRowTextLayout measured = m_rowText;
  if (!measured.Measure(m_hSourceList, m_bUnicode)) return;
  m_bRowTextStale = false;
  if (measured == m_rowText) return;
  m_rowText = measured;
  ::InvalidateRect(m_hMirrorList, nullptr, TRUE);
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

LRESULT CSourceLink::AskSource(UINT message, WPARAM wParam, LPARAM lParam) const {
  // Past the link while hooked, so that the link's own questions are not taken for the host's.
  if (m_hHookedList != nullptr) return CallSourceProc(message, wParam, lParam);
  return SendInCharacterSet(m_hSourceList, message, wParam, lParam);
}

void CSourceLink::HostDrawRow(UINT row, UINT state, HDC hDC, const RECT& rc) {
  const HWND hOwner = ::GetParent(m_hHookedList);
  if (hOwner == nullptr) return;
  // The DC as the list lends it: the list's font, then whatever the host's answer to
  // WM_CTLCOLORLISTBOX for that DC sets in it, greyed text on a disabled list.
  if (const auto font = reinterpret_cast<HGDIOBJ>(CallSourceProc(WM_GETFONT, 0, 0)))
    ::SelectObject(hDC, font);
  const auto brush = reinterpret_cast<HGDIOBJ>(::SendMessageA(
      hOwner, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(hDC), reinterpret_cast<LPARAM>(m_hHookedList)));
  if (!IsHooked()) return;
  if (brush != nullptr) ::SelectObject(hDC, brush);
  if (!::IsWindowEnabled(m_hHookedList)) ::SetTextColor(hDC, ::GetSysColor(COLOR_GRAYTEXT));
  DRAWITEMSTRUCT draw = {ODT_LISTBOX,
                         static_cast<UINT>(::GetDlgCtrlID(m_hHookedList)),
                         row,
                         ODA_DRAWENTIRE,
                         state,
                         m_hHookedList,
                         hDC,
                         rc,
                         static_cast<ULONG_PTR>(CallSourceProc(LB_GETITEMDATA, row, 0))};
  ::SendMessageA(hOwner, WM_DRAWITEM, static_cast<WPARAM>(draw.CtlID),
                 reinterpret_cast<LPARAM>(&draw));
}

LRESULT CSourceLink::AskSourceText(UINT message, WPARAM wParam, LPARAM lParam) const {
  // The mirror and the source share a character set: the texts pass as they are.
  return IsHooked() && m_bKeepsStrings ? CallSourceProc(message, wParam, lParam) : LB_ERR;
}

LRESULT CSourceLink::AnswerReader(UINT message, WPARAM wParam, LPARAM lParam) const {
  // The mirror has the source's character set, and says whether it keeps texts as the source does:
  // the system has converted a reader's texts on their way to the mirror as it would have on their
  // way to the source, and sized a reader's room in another process by the same rule.
  return SendInCharacterSet(m_hHookedList, message, wParam, lParam);
}

void CSourceLink::ShowSourceTop() {
  if (m_hSourceList == nullptr) return;
  const LRESULT top = AskSource(LB_GETTOPINDEX, 0, 0);
  if (top >= 0 && ToMirror(LB_GETTOPINDEX, 0, 0) != top)
    ToMirror(LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
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
    const LRESULT sel = AskSource(LB_GETCURSEL, 0, 0);
    if (ToMirror(LB_GETCURSEL, 0, 0) != sel) ToMirror(LB_SETCURSEL, static_cast<WPARAM>(sel), 0);
  }
  const LRESULT caret = AskSource(LB_GETCARETINDEX, 0, 0);
  if (caret >= 0 && ToMirror(LB_GETCARETINDEX, 0, 0) != caret)
    ToMirror(LB_SETCARETINDEX, static_cast<WPARAM>(caret), TRUE);
  ShowSourceTop();
}

// ---- Hand-back ---------------------------------------------------------------------------------

CNextProc CSourceLink::SourceProc() const {
  return {m_hHookedList, m_pfnOldListProc, m_bUnicode};
}

LRESULT CSourceLink::CallSourceProc(UINT message, WPARAM wParam, LPARAM lParam) const {
  const CNextProc source = SourceProc();
  return source.pfn != nullptr ? source(message, wParam, lParam) : 0;
}

void CSourceLink::FollowMirrorScroll() {
  if (!IsHooked()) return;
  const LRESULT top = ToMirror(LB_GETTOPINDEX, 0, 0);
  if (top >= 0 && CallSourceProc(LB_GETTOPINDEX, 0, 0) != top)
    CallSourceProc(LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
  const int across = ::GetScrollPos(m_hMirrorList, SB_HORZ);
  if (across != ::GetScrollPos(m_hHookedList, SB_HORZ))
    CallSourceProc(WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, across), 0);
}

POINT CSourceLink::ToSourcePoint(POINT at) {
  // The row under the point: the rows shown, from the top row down.
  RECT client = {};
  ::GetClientRect(m_hMirrorList, &client);
  const LRESULT count = ToMirror(LB_GETCOUNT, 0, 0);
  long row = -1;
  for (LRESULT shown = ToMirror(LB_GETTOPINDEX, 0, 0); shown >= 0 && shown < count; ++shown) {
    RECT rc = {};
    ToMirror(LB_GETITEMRECT, static_cast<WPARAM>(shown), reinterpret_cast<LPARAM>(&rc));
    if (at.y < rc.top || rc.top >= client.bottom) break;
    if (at.y < rc.bottom) {
      row = static_cast<long>(shown);
      break;
    }
  }
  RECT mirrorRow = {};
  RECT sourceRow = {};
  if (::PtInRect(&client, at) && row >= 0 && row < count &&
      ToMirror(LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&mirrorRow)) !=
          LB_ERR &&
      RowWithinPointsReach(SourceProc(), static_cast<int>(row), &sourceRow)) {
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

LPARAM CSourceLink::AtSourcePoint(LPARAM mirrorPoint) {
  FollowMirrorScroll();
  const POINT at = ToSourcePoint({GET_X_LPARAM(mirrorPoint), GET_Y_LPARAM(mirrorPoint)});
  return MAKELPARAM(static_cast<WORD>(at.x), static_cast<WORD>(at.y));
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
  return SendInCharacterSet(m_hHookedList, message, wParam, lParam);
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
  return SendInCharacterSet(m_hHookedList, WM_GETDLGCODE, wParam, lParam);
}
