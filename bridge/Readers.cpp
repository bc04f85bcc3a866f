// The host's rows as readers read them and as the host draws them: the mirror keeps neither, the
// host's list answers and the host's code draws.
#include "bridge/SourceLink.h"

namespace {
// Wine converts a row's text for an ANSI caller of a Unicode list through a room of this many
// characters, and overruns it for longer rows.
constexpr LRESULT kWinesConversionRoom = 512;
}  // namespace

bool CSourceLink::RowTextIsWide(UINT row) const {
  return m_bUnicode ||
         (IsHooked() && CallSourceProc(LB_GETTEXTLEN, row, 0) >= kWinesConversionRoom - 1);
}

LRESULT CSourceLink::AskSourceText(UINT message, WPARAM row, LPARAM lParam, bool wide) const {
  if (!IsHooked() || !m_bKeepsStrings || (m_bUnicode && !wide)) return LB_ERR;
  if (wide == m_bUnicode) return CallSourceProc(message, row, lParam);
  const auto classProc = reinterpret_cast<WNDPROC>(::GetClassLongPtrW(m_hHookedList, GCLP_WNDPROC));
  return ::CallWindowProcW(classProc, m_hHookedList, message, row, lParam);
}

LRESULT CSourceLink::AnswerReader(UINT message, WPARAM wParam, LPARAM lParam) const {
  // The mirror says whether it keeps texts as the source does: the system has converted a
  // reader's texts on their way to the mirror as it would have on their way to the source, and
  // sized a reader's room in another process by the same rule. They go on as they arrived.
  return SendOnAsReceived(message, wParam, lParam);
}

void CSourceLink::HostDrawRow(UINT row, UINT state, HDC hDC, const RECT& rc) {
  // Where the list sends its own requests: its parent, or a drop-down list's combo box, which
  // hands them on to its parent as its own.
  const HWND hOwner = m_hCombo != nullptr ? m_hCombo : ::GetParent(m_hHookedList);
  if (hOwner == nullptr) return;
  // The DC as the list lends it: the list's font, then whatever the host's answer to
  // WM_CTLCOLORLISTBOX for that DC sets in it, greyed text on a disabled list.
  if (const auto font = reinterpret_cast<HGDIOBJ>(CallSourceProc(WM_GETFONT, 0, 0)))
    ::SelectObject(hDC, font);
  // The list asks once for all the rows of a paint: the answer lent to the paint's first row is
  // lent to the others.
  if (!m_lent.bAnswered) {
    m_lent.hBrush = reinterpret_cast<HGDIOBJ>(
        ::SendMessageA(hOwner, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(hDC),
                       reinterpret_cast<LPARAM>(m_hHookedList)));
    if (!IsHooked()) return;
    m_lent = {m_bOnePaint, m_lent.hBrush, ::GetTextColor(hDC), ::GetBkColor(hDC), ::GetBkMode(hDC)};
  } else {
    ::SetTextColor(hDC, m_lent.crText);
    ::SetBkColor(hDC, m_lent.crBack);
    ::SetBkMode(hDC, m_lent.nBackMode);
  }
  if (m_lent.hBrush != nullptr) ::SelectObject(hDC, m_lent.hBrush);
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

void CSourceLink::PaintingRows(bool painting) {
  m_bOnePaint = painting;
  m_lent.bAnswered = false;
}
