#include "bridge/SourceLink.h"

#include <array>
#include <string>

namespace {

// ---- The repeat policy ---------------------------------------------------------------------------
//
// What the link does with a message the host's list receives while it is hooked, before the list's
// own procedure answers it. The host always gets the list's own answer.

enum class Repeat {
  kBefore,               // the same message, same parameters, to the mirror first
  kTextBefore,           // as kBefore; lParam is a text only where the source keeps texts
  kTextQueryBefore,      // a search whose answer is dropped: repeated only where lParam is a text
  kItemAtSourcesIndex,   // unsorted: kTextBefore; sorted: the source first, then the mirror
                         // inserts the item at the index the source chose
  kDirectory,            // unsorted: kBefore (the mirror lists the folder itself); sorted: the
                         // source first, then a fresh copy of all its items
  kSelectStringOrIndex,  // with texts: kBefore; without: the source first, then the mirror selects
                         // the row the source matched
  kNotHostBuffer,        // not repeated: writes into a buffer the host sized for the source's answer
  kResizePanel,          // the panel takes the source's new client size, then the source
  kPostToMirror,         // the mirror takes the key after the source, when the host's loop runs
  kNone,                 // passed on untouched
};

struct RepeatRule {
  UINT message;
  Repeat how;
};

// The list-box messages, in the order of their numbers. The range runs from LB_ADDSTRING to 0x01B0
// (where list-box messages ended when they were last numbered this far); the numbers in it without
// a message of their own (0x01A3, 0x01A4, 0x01AA to 0x01B0) are repeated like kBefore.
constexpr RepeatRule kListBoxPolicy[] = {
    {LB_ADDSTRING, Repeat::kItemAtSourcesIndex},      // 0x0180
    {LB_INSERTSTRING, Repeat::kTextBefore},           // 0x0181
    {LB_DELETESTRING, Repeat::kBefore},               // 0x0182
    {LB_SELITEMRANGEEX, Repeat::kBefore},             // 0x0183
    {LB_RESETCONTENT, Repeat::kBefore},               // 0x0184
    {LB_SETSEL, Repeat::kBefore},                     // 0x0185
    {LB_SETCURSEL, Repeat::kBefore},                  // 0x0186
    {LB_GETSEL, Repeat::kBefore},                     // 0x0187
    {LB_GETCURSEL, Repeat::kBefore},                  // 0x0188
    {LB_GETTEXT, Repeat::kNotHostBuffer},             // 0x0189
    {LB_GETTEXTLEN, Repeat::kBefore},                 // 0x018A
    {LB_GETCOUNT, Repeat::kBefore},                   // 0x018B
    {LB_SELECTSTRING, Repeat::kSelectStringOrIndex},  // 0x018C
    {LB_DIR, Repeat::kDirectory},                     // 0x018D
    {LB_GETTOPINDEX, Repeat::kBefore},                // 0x018E
    {LB_FINDSTRING, Repeat::kTextQueryBefore},        // 0x018F
    {LB_GETSELCOUNT, Repeat::kBefore},                // 0x0190
    {LB_GETSELITEMS, Repeat::kNotHostBuffer},         // 0x0191
    {LB_SETTABSTOPS, Repeat::kBefore},                // 0x0192
    {LB_GETHORIZONTALEXTENT, Repeat::kBefore},        // 0x0193
    {LB_SETHORIZONTALEXTENT, Repeat::kBefore},        // 0x0194
    {LB_SETCOLUMNWIDTH, Repeat::kBefore},             // 0x0195
    {LB_ADDFILE, Repeat::kItemAtSourcesIndex},        // 0x0196
    {LB_SETTOPINDEX, Repeat::kBefore},                // 0x0197
    {LB_GETITEMRECT, Repeat::kNotHostBuffer},         // 0x0198
    {LB_GETITEMDATA, Repeat::kBefore},                // 0x0199
    {LB_SETITEMDATA, Repeat::kBefore},                // 0x019A
    {LB_SELITEMRANGE, Repeat::kBefore},               // 0x019B
    {LB_SETANCHORINDEX, Repeat::kBefore},             // 0x019C
    {LB_GETANCHORINDEX, Repeat::kBefore},             // 0x019D
    {LB_SETCARETINDEX, Repeat::kBefore},              // 0x019E
    {LB_GETCARETINDEX, Repeat::kBefore},              // 0x019F
    {LB_SETITEMHEIGHT, Repeat::kBefore},              // 0x01A0
    {LB_GETITEMHEIGHT, Repeat::kBefore},              // 0x01A1
    {LB_FINDSTRINGEXACT, Repeat::kTextQueryBefore},   // 0x01A2
    {LB_SETLOCALE, Repeat::kBefore},                  // 0x01A5
    {LB_GETLOCALE, Repeat::kBefore},                  // 0x01A6
    {LB_SETCOUNT, Repeat::kBefore},                   // 0x01A7
    {LB_INITSTORAGE, Repeat::kBefore},                // 0x01A8
    {LB_ITEMFROMPOINT, Repeat::kBefore},              // 0x01A9
};
constexpr UINT kFirstRepeated = LB_ADDSTRING;
constexpr UINT kLastRepeated = 0x01B0;

// The other messages the link acts on. Everything else passes untouched.
constexpr RepeatRule kOtherPolicy[] = {
    {WM_SIZE, Repeat::kResizePanel},
    {WM_SETREDRAW, Repeat::kBefore},
    {WM_KEYDOWN, Repeat::kPostToMirror},
    {WM_KEYUP, Repeat::kPostToMirror},
};

constexpr std::array<Repeat, kLastRepeated - kFirstRepeated + 1> kListBoxRules = [] {
  std::array<Repeat, kLastRepeated - kFirstRepeated + 1> rules{};
  for (Repeat& rule : rules) rule = Repeat::kBefore;
  for (const RepeatRule& rule : kListBoxPolicy) rules[rule.message - kFirstRepeated] = rule.how;
  return rules;
}();

Repeat RuleFor(UINT message) {
  if (message >= kFirstRepeated && message <= kLastRepeated)
    return kListBoxRules[message - kFirstRepeated];
  for (const RepeatRule& rule : kOtherPolicy)
    if (rule.message == message) return rule.how;
  return Repeat::kNone;
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

// The click point's y travels in the high word of lParam.
bool FitsInPoint(long long y) { return y >= -32768 && y <= 32767; }

}  // namespace

CSourceLink::CSourceLink(Owner* pOwner, const CWnd* pMirror) : m_pOwner(pOwner), m_pMirror(pMirror) {}

CSourceLink::~CSourceLink() { Unhook(); }

BOOL CSourceLink::HookSource(HWND hSource) {
  Unhook();
  if (hSource == nullptr) return TRUE;
  m_hMirrorList = m_pMirror->GetSafeHwnd();
  m_hSourceList = hSource;
  m_bUnicode = ::IsWindowUnicode(hSource) != FALSE;

  const LRESULT itemHeight = ::SendMessageA(hSource, LB_GETITEMHEIGHT, 0, 0);
  ToMirror(LB_SETITEMHEIGHT, 0, MAKELPARAM(LOWORD(itemHeight), 0));
  const LRESULT font = ::SendMessageA(hSource, WM_GETFONT, 0, 0);
  ToMirror(WM_SETFONT, static_cast<WPARAM>(font), 1);
  CopyItems();

  // A source whose procedure cannot be replaced (not a window) is not hooked.
  if (m_subclass.Install(hSource, this)) {
    m_hHookedList = hSource;
    m_pfnOldListProc = m_subclass.Next().pfn;
  }
  return TRUE;
}

void CSourceLink::Unhook() {
  m_subclass.Remove();
  m_hHookedList = nullptr;
  m_pfnOldListProc = nullptr;
}

void CSourceLink::OnSubclassedWindowGone() {
  // The host destroyed its list: there is nothing left to give back or to show again.
  m_hHookedList = nullptr;
  m_pfnOldListProc = nullptr;
  m_hSourceList = nullptr;
}

LRESULT CSourceLink::ToMirror(UINT message, WPARAM wParam, LPARAM lParam) const {
  return m_bUnicode ? ::SendMessageW(m_hMirrorList, message, wParam, lParam)
                    : ::SendMessageA(m_hMirrorList, message, wParam, lParam);
}

bool CSourceLink::SourceKeepsStrings() const {
  const LONG style = ::GetWindowLongA(m_hSourceList, GWL_STYLE);
  const bool ownerDrawn = (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0;
  return !ownerDrawn || (style & LBS_HASSTRINGS) != 0;
}

LPARAM CSourceLink::TextForMirror(LPARAM lParam) const {
  static const char kEmptyA[] = "";
  static const wchar_t kEmptyW[] = L"";
  if (SourceKeepsStrings()) return lParam;
  return m_bUnicode ? reinterpret_cast<LPARAM>(kEmptyW) : reinterpret_cast<LPARAM>(kEmptyA);
}

LRESULT CSourceLink::OnSubclassMessage(const CNextProc& next, UINT message, WPARAM wParam,
                                       LPARAM lParam) {
  DepthScope running(m_nDepth);
  switch (RuleFor(message)) {
    case Repeat::kNone:
    case Repeat::kNotHostBuffer:
      break;
    case Repeat::kBefore:
      ToMirror(message, wParam, lParam);
      break;
    case Repeat::kTextBefore:
      ToMirror(message, wParam, TextForMirror(lParam));
      break;
    case Repeat::kTextQueryBefore:
      if (SourceKeepsStrings()) ToMirror(message, wParam, lParam);
      break;
    case Repeat::kItemAtSourcesIndex:
    case Repeat::kDirectory:
    case Repeat::kSelectStringOrIndex:
      return RepeatAfterAnswer(next, message, wParam, lParam);
    case Repeat::kResizePanel:
      ResizeOwnerToSource();
      break;
    case Repeat::kPostToMirror:
      ::PostMessageA(m_hMirrorList, message, wParam, lParam);
      break;
  }
  return next(message, wParam, lParam);
}

LRESULT CSourceLink::RepeatAfterAnswer(const CNextProc& next, UINT message, WPARAM wParam,
                                       LPARAM lParam) {
  const HWND hSource = next.hWnd;
  const bool sorted = (::GetWindowLongA(hSource, GWL_STYLE) & LBS_SORT) != 0;
  const bool keepsStrings = SourceKeepsStrings();
  if (message == LB_SELECTSTRING ? keepsStrings : !sorted) {
    ToMirror(message, wParam, message == LB_DIR ? lParam : TextForMirror(lParam));
    return next(message, wParam, lParam);
  }
  const LRESULT answer = next(message, wParam, lParam);
  // The host may have switched the overlay off from whatever the source's handling set off.
  if (answer < 0 || m_hHookedList != hSource) return answer;
  switch (message) {
    case LB_DIR:
      CopyItems();
      break;
    case LB_SELECTSTRING:
      ToMirror(LB_SETCURSEL, static_cast<WPARAM>(answer), 0);
      break;
    default:  // LB_ADDSTRING, LB_ADDFILE
      ToMirror(LB_INSERTSTRING, static_cast<WPARAM>(answer), TextForMirror(lParam));
      break;
  }
  return answer;
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
  return ::SendMessageA(m_hSourceList, message, wParam, lParam);
}

void CSourceLink::CopyItems() {
  const bool keepsStrings = SourceKeepsStrings();
  const LRESULT count = AskSource(LB_GETCOUNT, 0, 0);
  // Redraw stays off while the items go in: a visible list with a scroll bar would update the bar
  // for every one of them.
  ::SendMessageA(m_hMirrorList, WM_SETREDRAW, FALSE, 0);
  ::SendMessageA(m_hMirrorList, LB_RESETCONTENT, 0, 0);
  std::string text;
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = keepsStrings ? AskSource(LB_GETTEXTLEN, i, 0) : LB_ERR;
    text.assign(length >= 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
    if (length >= 0 && AskSource(LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0])) == LB_ERR)
      text[0] = '\0';
    ::SendMessageA(m_hMirrorList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  ::SendMessageA(m_hMirrorList, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(m_hMirrorList, nullptr, TRUE);
}

// ---- Hand-back ---------------------------------------------------------------------------------

CNextProc CSourceLink::SourceProc() const {
  return {m_hHookedList, m_pfnOldListProc, m_bUnicode};
}

LRESULT CSourceLink::CallSourceProc(UINT message, WPARAM wParam, LPARAM lParam) const {
  const CNextProc source = SourceProc();
  return source.pfn != nullptr ? source(message, wParam, lParam) : 0;
}

int CSourceLink::ForwardSelection() {
  const int sel = static_cast<int>(::SendMessageA(m_hMirrorList, LB_GETCURSEL, 0, 0));
  if (sel == LB_ERR) return LB_ERR;
  // Taken once: a replay that the host interrupts by switching the overlay off still finishes on
  // the window it began on.
  const CNextProc source = SourceProc();
  if (source.pfn == nullptr) return 0;

  const HWND hFocusBefore = ::GetFocus();
  int top = static_cast<int>(source(LB_GETTOPINDEX, 0, 0));
  const int itemHeight = static_cast<int>(source(LB_GETITEMHEIGHT, 0, 0));
  long long y = static_cast<long long>(sel - top) * itemHeight;
  if (!FitsInPoint(y)) {
    // Too far from the source's top row for a click point: bring the row up first. The source is
    // scrolled past the link, so the mirror keeps its own position.
    source(LB_SETTOPINDEX, static_cast<WPARAM>(sel), 0);
    top = static_cast<int>(source(LB_GETTOPINDEX, 0, 0));
    y = static_cast<long long>(sel - top) * itemHeight;
  }
  const LPARAM point = MAKELPARAM(0, static_cast<WORD>(y));
  source(WM_LBUTTONDOWN, MK_LBUTTON, point);
  const LRESULT released = source(WM_LBUTTONUP, MK_LBUTTON, point);

  // The press gave the hidden source the keyboard focus; the user's keys belong to the mirror.
  if (hFocusBefore == m_hMirrorList && IsHooked() && ::GetFocus() != m_hMirrorList)
    ::SetFocus(m_hMirrorList);
  return static_cast<int>(released);
}

void CSourceLink::HandBackDoubleClick(WPARAM wParam, LPARAM lParam) {
  if (m_hHookedList != nullptr) ::SendMessageA(m_hHookedList, WM_LBUTTONDBLCLK, wParam, lParam);
}

void CSourceLink::HandBackRightButton(UINT message, WPARAM wParam, LPARAM lParam) {
  // Without a hooked source a null window would turn the post into a thread message for the host.
  if (m_hHookedList != nullptr) ::PostMessageA(m_hHookedList, message, wParam, lParam);
}
