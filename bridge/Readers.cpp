// The host's rows as readers read them and as the host draws them: the mirror keeps neither, the
// host's list answers and the host's code draws.
#include "bridge/SourceLink.h"

LRESULT CSourceLink::AskSourceText(UINT message, WPARAM wParam, LPARAM lParam) const {
  // The mirror and the source share a character set: the texts pass as they are.
  return IsHooked() && m_bKeepsStrings ? CallSourceProc(message, wParam, lParam) : LB_ERR;
}

LRESULT CSourceLink::AnswerReader(UINT message, WPARAM wParam, LPARAM lParam) const {
  // The mirror says whether it keeps texts as the source does: the system has converted a
  // reader's texts on their way to the mirror as it would have on their way to the source, and
  // sized a reader's room in another process by the same rule. They go on as they arrived.
  return SendOnAsReceived(message, wParam, lParam);
}

void CSourceLink::HostDrawRow(UINT row, UINT state, HDC hDC, const RECT& rc) {
  const HWND hOwner = ::GetParent(m_hHookedList);
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
