#include "bridge/SourceLink.h"

#include <limits.h>
#include <windowsx.h>

#include <array>

#include "framework/PlainArray.h"

namespace {

// ---- The repeat policy ---------------------------------------------------------------------------
//
// What the link does with a message the host's list receives while it is hooked, before the list's
// own procedure answers it. The host always gets the list's own answer.

enum class Repeat {
  kBefore,               // the same message, same parameters, to the mirror first
  kTextQueryBefore,      // a search whose answer is dropped: repeated only where lParam is a text
  kItemAtSourcesIndex,   // the source first, then the mirror inserts the item at the index the
                         // source chose (its own sorting, or a subclass of the host's, decides)
  kDirectory,            // unsorted: kBefore (the mirror lists the folder itself); sorted: the
                         // source first, then a fresh copy of all its items
  kSelectStringOrIndex,  // with texts: kBefore; without: the source first, then the mirror selects
                         // the row the source matched
  kNotHostBuffer,        // not repeated: writes into a buffer the host sized for the source's answer
  kFontAfter,            // the source takes the font, then the mirror takes it and the row height
  kEnableAfter,          // the mirror is enabled or disabled with the source
  kRowHeight,            // as kBefore, but a list of rows of many heights gives the mirror only
                         // its first row's: the mirror's rows are all one height
  kResizePanel,          // the panel takes the source's new client size, then the source
  kHostRedraw,           // the host's own redraw switch: the mirror's follows it
  kStateAfter,           // the user's input: the source decides, then the mirror shows its state
  kStateAfterIfCaptured, // as kStateAfter while the source holds the mouse (a drag), else kNone
  kNone,                 // passed on untouched
};

// What else a message does, beside its repeat.
enum Effect : unsigned {
  kNothingShown = 0,
  kChangesView = 1,  // the mirror's rows or selection change: its painting waits for the loop
  kTopFollows = 2,   // the message may scroll: afterwards the mirror's top row is the source's
};

struct RepeatRule {
  UINT message;
  Repeat how;
  unsigned effects;
};

// The list-box messages, in the order of their numbers. The range runs from LB_ADDSTRING to 0x01B0
// (where list-box messages ended when they were last numbered this far); the numbers in it without
// a message of their own (0x01A3, 0x01A4, 0x01AA to 0x01B0) are repeated like kBefore. The mirror
// has the source's selection mode, so a repeated selection message selects the same rows in both.
constexpr RepeatRule kListBoxPolicy[] = {
    {LB_ADDSTRING, Repeat::kItemAtSourcesIndex, kChangesView},                // 0x0180
    {LB_INSERTSTRING, Repeat::kItemAtSourcesIndex, kChangesView | kTopFollows},  // 0x0181
    {LB_DELETESTRING, Repeat::kBefore, kChangesView | kTopFollows},           // 0x0182
    {LB_SELITEMRANGEEX, Repeat::kBefore, kChangesView},                       // 0x0183
    {LB_RESETCONTENT, Repeat::kBefore, kChangesView},                         // 0x0184
    {LB_SETSEL, Repeat::kBefore, kChangesView},                               // 0x0185
    {LB_SETCURSEL, Repeat::kBefore, kChangesView | kTopFollows},              // 0x0186
    {LB_GETSEL, Repeat::kBefore, kNothingShown},                              // 0x0187
    {LB_GETCURSEL, Repeat::kBefore, kNothingShown},                           // 0x0188
    {LB_GETTEXT, Repeat::kNotHostBuffer, kNothingShown},                      // 0x0189
    {LB_GETTEXTLEN, Repeat::kBefore, kNothingShown},                          // 0x018A
    {LB_GETCOUNT, Repeat::kBefore, kNothingShown},                            // 0x018B
    {LB_SELECTSTRING, Repeat::kSelectStringOrIndex, kChangesView | kTopFollows},  // 0x018C
    {LB_DIR, Repeat::kDirectory, kChangesView},                               // 0x018D
    {LB_GETTOPINDEX, Repeat::kBefore, kNothingShown},                         // 0x018E
    {LB_FINDSTRING, Repeat::kTextQueryBefore, kNothingShown},                 // 0x018F
    {LB_GETSELCOUNT, Repeat::kBefore, kNothingShown},                         // 0x0190
    {LB_GETSELITEMS, Repeat::kNotHostBuffer, kNothingShown},                  // 0x0191
    {LB_SETTABSTOPS, Repeat::kBefore, kChangesView},                          // 0x0192
    {LB_GETHORIZONTALEXTENT, Repeat::kBefore, kNothingShown},                 // 0x0193
    {LB_SETHORIZONTALEXTENT, Repeat::kBefore, kChangesView},                  // 0x0194
    {LB_SETCOLUMNWIDTH, Repeat::kBefore, kChangesView},                       // 0x0195
    {LB_ADDFILE, Repeat::kItemAtSourcesIndex, kChangesView},                  // 0x0196
    {LB_SETTOPINDEX, Repeat::kBefore, kChangesView | kTopFollows},            // 0x0197
    {LB_GETITEMRECT, Repeat::kNotHostBuffer, kNothingShown},                  // 0x0198
    {LB_GETITEMDATA, Repeat::kBefore, kNothingShown},                         // 0x0199
    {LB_SETITEMDATA, Repeat::kBefore, kNothingShown},                         // 0x019A
    {LB_SELITEMRANGE, Repeat::kBefore, kChangesView},                         // 0x019B
    {LB_SETANCHORINDEX, Repeat::kBefore, kChangesView},                       // 0x019C
    {LB_GETANCHORINDEX, Repeat::kBefore, kNothingShown},                      // 0x019D
    {LB_SETCARETINDEX, Repeat::kBefore, kChangesView | kTopFollows},          // 0x019E
    {LB_GETCARETINDEX, Repeat::kBefore, kNothingShown},                       // 0x019F
    {LB_SETITEMHEIGHT, Repeat::kRowHeight, kChangesView | kTopFollows},       // 0x01A0
    {LB_GETITEMHEIGHT, Repeat::kBefore, kNothingShown},                       // 0x01A1
    {LB_FINDSTRINGEXACT, Repeat::kTextQueryBefore, kNothingShown},            // 0x01A2
    {LB_SETLOCALE, Repeat::kBefore, kNothingShown},                           // 0x01A5
    {LB_GETLOCALE, Repeat::kBefore, kNothingShown},                           // 0x01A6
    {LB_SETCOUNT, Repeat::kBefore, kChangesView | kTopFollows},               // 0x01A7
    {LB_INITSTORAGE, Repeat::kBefore, kNothingShown},                         // 0x01A8
    {LB_ITEMFROMPOINT, Repeat::kBefore, kNothingShown},                       // 0x01A9
};
constexpr UINT kFirstRepeated = LB_ADDSTRING;
constexpr UINT kLastRepeated = 0x01B0;

// The list's system timer scrolls it while the user drags past its edge.
constexpr UINT kSystemTimer = 0x0118;

// The other messages the link acts on. Everything else passes untouched.
constexpr RepeatRule kOtherPolicy[] = {
    {WM_SIZE, Repeat::kResizePanel, kNothingShown},
    {WM_ENABLE, Repeat::kEnableAfter, kNothingShown},
    {WM_SETREDRAW, Repeat::kHostRedraw, kNothingShown},
    {WM_SETFONT, Repeat::kFontAfter, kChangesView},
    {WM_KEYDOWN, Repeat::kStateAfter, kNothingShown},
    {WM_KEYUP, Repeat::kStateAfter, kNothingShown},
    {WM_CHAR, Repeat::kStateAfter, kNothingShown},
    {WM_LBUTTONDOWN, Repeat::kStateAfter, kNothingShown},
    {WM_LBUTTONUP, Repeat::kStateAfter, kNothingShown},
    {WM_LBUTTONDBLCLK, Repeat::kStateAfter, kNothingShown},
    {WM_MOUSEWHEEL, Repeat::kStateAfter, kNothingShown},
    {WM_VSCROLL, Repeat::kStateAfter, kNothingShown},
    {WM_HSCROLL, Repeat::kStateAfter, kNothingShown},
    {WM_MOUSEMOVE, Repeat::kStateAfterIfCaptured, kNothingShown},
    {kSystemTimer, Repeat::kStateAfterIfCaptured, kNothingShown},
};

// Where each message below WM_USER stands in kOtherPolicy (0: nowhere), so that the many
// messages the link passes untouched cost one look-up.
constexpr UINT kOtherMessages = WM_USER;
constexpr std::array<unsigned char, kOtherMessages> kOtherRuleAt = [] {
  std::array<unsigned char, kOtherMessages> at{};
  for (size_t i = 0; i < sizeof kOtherPolicy / sizeof kOtherPolicy[0]; ++i)
    at[kOtherPolicy[i].message] = static_cast<unsigned char>(i + 1);
  return at;
}();

constexpr std::array<RepeatRule, kLastRepeated - kFirstRepeated + 1> kListBoxRules = [] {
  std::array<RepeatRule, kLastRepeated - kFirstRepeated + 1> rules{};
  for (UINT m = kFirstRepeated; m <= kLastRepeated; ++m)
    rules[m - kFirstRepeated] = {m, Repeat::kBefore, kNothingShown};
  for (const RepeatRule& rule : kListBoxPolicy) rules[rule.message - kFirstRepeated] = rule;
  return rules;
}();

RepeatRule RuleFor(UINT message) {
  if (message >= kFirstRepeated && message <= kLastRepeated)
    return kListBoxRules[message - kFirstRepeated];
  if (message < kOtherMessages && kOtherRuleAt[message] != 0)
    return kOtherPolicy[kOtherRuleAt[message] - 1];
  return {message, Repeat::kNone, kNothingShown};
}

// Counts a message of the link on the stack for as long as it runs.
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

}  // namespace

CSourceLink::CSourceLink(Owner* pOwner, const CWnd* pMirror) : m_pOwner(pOwner), m_pMirror(pMirror) {}

CSourceLink::~CSourceLink() { Unhook(); }

BOOL CSourceLink::HookSource(HWND hSource) {
  Unhook();
  if (hSource == nullptr) return TRUE;
  m_hMirrorList = m_pMirror->GetSafeHwnd();
  m_hSourceList = hSource;
  m_bUnicode = ::IsWindowUnicode(hSource) != FALSE;
  const LONG style = ::GetWindowLongA(hSource, GWL_STYLE);
  const bool ownerDrawn = (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0;
  m_bKeepsStrings = !ownerDrawn || (style & LBS_HASSTRINGS) != 0;
  m_bMultiSelect = (style & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) != 0;
  m_bSorted = (style & LBS_SORT) != 0;
  m_bVariableHeight = (style & LBS_OWNERDRAWVARIABLE) != 0;
  m_bMirrorSelectsItself = !m_bMultiSelect && (style & LBS_NOSEL) == 0;

  FollowFont(static_cast<WPARAM>(AskSource(WM_GETFONT, 0, 0)), TRUE);
  CopyItems();

  // A source whose procedure cannot be replaced (not a window) is not hooked.
  if (m_subclass.Install(hSource, this)) {
    m_hHookedList = hSource;
    m_pfnOldListProc = m_subclass.Next().pfn;
  }
  ShowSourceState();
  // Checked again once the host's loop runs: the host may have switched the overlay on from inside
  // one of its list's messages, whose change the copy could not see yet.
  if (IsHooked()) {
    m_bCheckPending = true;
    m_pOwner->ScheduleCatchUp();
  }
  return TRUE;
}

void CSourceLink::Unhook() {
  m_subclass.Remove();
  m_hHookedList = nullptr;
  m_pfnOldListProc = nullptr;
  // A catch-up still on its way finds nothing to do.
  m_bCatchUpPending = false;
  m_bResizePending = false;
  m_bCheckPending = false;
}

void CSourceLink::LetGo() {
  Unhook();
  m_hSourceList = nullptr;
}

void CSourceLink::MoveFocus(HWND hTo) {
  if (!IsHooked()) return;
  m_bMovingFocus = true;
  ::SetFocus(hTo);
  m_bMovingFocus = false;
}

void CSourceLink::OnSubclassedWindowGone() {
  // The host destroyed its list: there is nothing left to give back or to show again.
  m_hHookedList = nullptr;
  m_pfnOldListProc = nullptr;
  m_hSourceList = nullptr;
  m_pOwner->OnSourceGone();
}

LRESULT CSourceLink::SendInCharacterSet(HWND hWnd, UINT message, WPARAM wParam,
                                        LPARAM lParam) const {
  return m_bUnicode ? ::SendMessageW(hWnd, message, wParam, lParam)
                    : ::SendMessageA(hWnd, message, wParam, lParam);
}

LRESULT CSourceLink::ToMirror(UINT message, WPARAM wParam, LPARAM lParam) const {
  // The mirror is a list of the source's character set: its texts go as the source took them.
  return SendInCharacterSet(m_hMirrorList, message, wParam, lParam);
}

LPARAM CSourceLink::TextForMirror(LPARAM lParam) const {
  static const char kEmptyA[] = "";
  static const wchar_t kEmptyW[] = L"";
  if (m_bKeepsStrings) return lParam;
  return m_bUnicode ? reinterpret_cast<LPARAM>(kEmptyW) : reinterpret_cast<LPARAM>(kEmptyA);
}

LRESULT CSourceLink::OnSubclassMessage(const CNextProc& next, UINT message, WPARAM wParam,
                                       LPARAM lParam) {
  DepthScope running(m_nDepth);
  // The source gains or loses the real focus only as the mirror's stand-in: it already holds the
  // focus the mirror has, and the host hears nothing of the move.
  if (m_bMovingFocus && (message == WM_SETFOCUS || message == WM_KILLFOCUS)) return 0;
  const RepeatRule rule = RuleFor(message);
  if (rule.effects & kChangesView) HoldMirrorPainting();
  switch (rule.how) {
    case Repeat::kNone:
    case Repeat::kNotHostBuffer:
      return next(message, wParam, lParam);
    case Repeat::kBefore:
      ToMirror(message, wParam, lParam);
      break;
    case Repeat::kTextQueryBefore:
      if (m_bKeepsStrings) ToMirror(message, wParam, lParam);
      break;
    case Repeat::kRowHeight:
      if (!m_bVariableHeight || wParam == 0) ToMirror(message, 0, lParam);
      break;
    case Repeat::kItemAtSourcesIndex:
    case Repeat::kDirectory:
    case Repeat::kSelectStringOrIndex: {
      const LRESULT answer = RepeatAfterAnswer(next, message, wParam, lParam);
      if ((rule.effects & kTopFollows) && IsHooked()) ShowSourceTop();
      return answer;
    }
    case Repeat::kResizePanel:
      // The size depends on the mirror's scroll bar, which a burst or the host's own batch has not
      // updated yet.
      if (m_bCatchUpPending || m_bHostRedrawOff)
        m_bResizePending = true;
      else
        ResizeOwnerToSource();
      break;
    case Repeat::kHostRedraw:
      // The host's batch is its own: the mirror paints when the host switches redraw on again.
      m_bHostRedrawOff = wParam == FALSE;
      ToMirror(message, wParam, lParam);
      if (!m_bHostRedrawOff) {
        // The host repaints its own list after its batch; the mirror is the one on screen.
        ::InvalidateRect(m_hMirrorList, nullptr, TRUE);
        CatchUp();
      }
      break;
    case Repeat::kFontAfter: {
      const LRESULT answer = next(message, wParam, lParam);
      if (IsHooked()) FollowFont(wParam, lParam);
      return answer;
    }
    case Repeat::kEnableAfter: {
      const LRESULT answer = next(message, wParam, lParam);
      if (IsHooked()) ::EnableWindow(m_hMirrorList, ::IsWindowEnabled(next.hWnd));
      return answer;
    }
    case Repeat::kStateAfterIfCaptured:
      if (::GetCapture() != next.hWnd) return next(message, wParam, lParam);
      [[fallthrough]];
    case Repeat::kStateAfter: {
      const LRESULT answer = next(message, wParam, lParam);
      ShowSourceState();
      return answer;
    }
  }
  const LRESULT answer = next(message, wParam, lParam);
  if (rule.effects & kTopFollows) ShowSourceTop();
  return answer;
}

void CSourceLink::HoldMirrorPainting() {
  // The first change of a burst switches the mirror's painting off (unless the host holds its own)
  // and asks for one catch-up when the host's message loop runs again; the changes themselves
  // reach the mirror at once.
  if (m_hMirrorList == nullptr) return;
  const bool scheduled = m_bCatchUpPending || m_bCheckPending;
  m_bCheckPending = true;
  if (!m_bHostRedrawOff && !m_bCatchUpPending) {
    m_bCatchUpPending = true;
    ToMirror(WM_SETREDRAW, FALSE, 0);
  }
  if (!scheduled) m_pOwner->ScheduleCatchUp();
}

void CSourceLink::CatchUp() {
  if (!m_bCatchUpPending && !m_bResizePending && !m_bCheckPending) return;
  const bool painting = m_bCatchUpPending;
  m_bCatchUpPending = false;
  if (m_bCheckPending && IsHooked()) {
    m_bCheckPending = false;
    // What went on in the host's list while the link looked elsewhere (a subclass of the host's
    // that changed what a message did, the host switching the overlay on in the middle of one of
    // its list's messages): a mirror out of step is copied afresh.
    if (ToMirror(LB_GETCOUNT, 0, 0) != AskSource(LB_GETCOUNT, 0, 0)) CopyItems();
    ShowSourceState();
  }
  // One repaint and one scroll-bar update for the whole burst. The burst may have moved the
  // source's top row (rows added or taken away near the end, a selection brought into view), and
  // the mirror's own scroll bar may have moved its own: the mirror's top row follows once, last.
  if (painting && !m_bHostRedrawOff) {
    ToMirror(WM_SETREDRAW, TRUE, 0);
    // A list whose redraw comes back on is not bound to repaint by itself.
    ::InvalidateRect(m_hMirrorList, nullptr, TRUE);
  }
  if (m_bResizePending && IsHooked()) ResizeOwnerToSource();
  m_bResizePending = false;
  ShowSourceTop();
}

LRESULT CSourceLink::RepeatAfterAnswer(const CNextProc& next, UINT message, WPARAM wParam,
                                       LPARAM lParam) {
  const HWND hSource = next.hWnd;
  const bool before =
      message == LB_SELECTSTRING ? m_bKeepsStrings : (message == LB_DIR && !m_bSorted);
  if (before) {
    ToMirror(message, wParam, message == LB_DIR ? lParam : TextForMirror(lParam));
    return next(message, wParam, lParam);
  }
  const LRESULT answer = next(message, wParam, lParam);
  // The host may have switched the overlay off from whatever the source's handling set off.
  if (answer < 0 || m_hHookedList != hSource) return answer;
  switch (message) {
    case LB_DIR:
      CopyItems();
      ShowSourceState();
      break;
    case LB_SELECTSTRING:
      ToMirror(LB_SETCURSEL, static_cast<WPARAM>(answer), 0);
      break;
    default:  // LB_ADDSTRING, LB_INSERTSTRING, LB_ADDFILE
      ToMirror(LB_INSERTSTRING, static_cast<WPARAM>(answer), TextForMirror(lParam));
      break;
  }
  return answer;
}

void CSourceLink::FollowFont(WPARAM font, LPARAM redraw) {
  ToMirror(WM_SETFONT, font, redraw);
  // A list that draws its own texts takes its row height from the font; the mirror's rows keep
  // the source's height, whatever the source did with it.
  const LRESULT itemHeight = AskSource(LB_GETITEMHEIGHT, 0, 0);
  if (itemHeight > 0) ToMirror(LB_SETITEMHEIGHT, 0, MAKELPARAM(LOWORD(itemHeight), 0));
}

void CSourceLink::ResizeOwnerToSource() {
  RECT rc = {};
  ::GetClientRect(m_hHookedList, &rc);
  // The mirror's scroll bar takes room from its rows: the panel grows by it, so the rows keep the
  // source's width.
  if (::GetWindowLongA(m_hMirrorList, GWL_STYLE) & WS_VSCROLL)
    rc.right += ::GetSystemMetrics(SM_CXVSCROLL);
  m_pOwner->OnSourceResized(rc.right, rc.bottom);
}

LRESULT CSourceLink::AskSource(UINT message, WPARAM wParam, LPARAM lParam) const {
  // Past the link while hooked, so that the link's own questions are not repeated to the mirror.
  if (m_hHookedList != nullptr) return CallSourceProc(message, wParam, lParam);
  return SendInCharacterSet(m_hSourceList, message, wParam, lParam);
}

namespace {

// Reads item texts of one character set from a source and adds them to the mirror in the same one.
// A text there is no memory for arrives empty: the rows stay in step with the source's.
template <typename Char, typename Ask, typename Add>
void CopyTexts(LRESULT count, bool keepsStrings, Ask ask, Add add) {
  static const Char kEmpty[1] = {};
  CPlainArray<Char> text;
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = keepsStrings ? ask(LB_GETTEXTLEN, i, 0) : LB_ERR;
    const Char* row = kEmpty;
    if (length >= 0 && length < INT_MAX && text.SetSize(static_cast<int>(length) + 1)) {
      text[0] = Char();
      if (ask(LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.GetData())) != LB_ERR) row = text.GetData();
    }
    add(reinterpret_cast<LPARAM>(row));
  }
}

}  // namespace

void CSourceLink::CopyItems() {
  const LRESULT count = AskSource(LB_GETCOUNT, 0, 0);
  // Redraw stays off while the items go in: a visible list with a scroll bar would update the bar
  // for every one of them. It comes back on unless the host or a burst holds it off.
  const bool painting = !m_bHostRedrawOff && !m_bCatchUpPending;
  if (painting) ToMirror(WM_SETREDRAW, FALSE, 0);
  ToMirror(LB_RESETCONTENT, 0, 0);
  if (::GetWindowLongA(m_hMirrorList, GWL_STYLE) & LBS_NODATA) {
    // A list without data is only a number of rows.
    if (count > 0) ToMirror(LB_SETCOUNT, static_cast<WPARAM>(count), 0);
  } else if (count > 0) {
    // Asked straight through the source's procedure as it stands for the whole copy: a list of
    // many rows costs two questions a row.
    const CNextProc source =
        m_hHookedList != nullptr
            ? SourceProc()
            : CNextProc{m_hSourceList,
                        reinterpret_cast<WNDPROC>(m_bUnicode
                                                      ? ::GetWindowLongPtrW(m_hSourceList, GWLP_WNDPROC)
                                                      : ::GetWindowLongPtrA(m_hSourceList, GWLP_WNDPROC)),
                        m_bUnicode};
    auto ask = [&source](UINT m, WPARAM w, LPARAM l) { return source(m, w, l); };
    auto add = [this](LPARAM text) { ToMirror(LB_ADDSTRING, 0, text); };
    if (m_bUnicode)
      CopyTexts<wchar_t>(count, m_bKeepsStrings, ask, add);
    else
      CopyTexts<char>(count, m_bKeepsStrings, ask, add);
  }
  if (painting) {
    ToMirror(WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(m_hMirrorList, nullptr, TRUE);
  }
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
    int w = 0, h = 0;
    while (w < want.GetSize() || h < have.GetSize()) {
      if (h == have.GetSize() || (w < want.GetSize() && want[w] < have[h])) {
        ToMirror(LB_SETSEL, TRUE, want[w++]);
      } else if (w == want.GetSize() || have[h] < want[w]) {
        ToMirror(LB_SETSEL, FALSE, have[h++]);
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
}

POINT CSourceLink::ToSourcePoint(POINT at) {
  // The mirror's rows are all one height: the row under the point follows from its top row.
  RECT client = {};
  ::GetClientRect(m_hMirrorList, &client);
  const int rowHeight = static_cast<int>(ToMirror(LB_GETITEMHEIGHT, 0, 0));
  const LRESULT count = ToMirror(LB_GETCOUNT, 0, 0);
  const long row = rowHeight > 0 && at.y >= 0
                       ? static_cast<long>(ToMirror(LB_GETTOPINDEX, 0, 0)) + at.y / rowHeight
                       : -1;
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
  RECT row = {};
  RowWithinPointsReach(source, sel, &row);
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

LRESULT CSourceLink::HandBackMouse(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsHooked()) return 0;
  const HWND hSource = m_hHookedList;
  FollowMirrorScroll();
  const POINT at = ToSourcePoint({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
  const LPARAM point = MAKELPARAM(static_cast<WORD>(at.x), static_cast<WORD>(at.y));
  // Through the source's whole chain, as the user's click would go; the link shows the source's
  // state once the source has handled it.
  return SendInCharacterSet(hSource, message, wParam, point);
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
