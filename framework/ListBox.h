// CListBox: a list box control. Its questions ask the control's own state.
#pragma once
#include "Wnd.h"

class CListBox : public CWnd {
 public:
  int GetCount() const { return static_cast<int>(OwnProc(LB_GETCOUNT)); }
  // Row `row`'s rectangle in the client area, above or below what shows as well.
  RECT RowRect(int row) const {
    RECT rc = {};
    OwnProc(LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rc));
    return rc;
  }
  // The row shown at a client point; -1 where there is none. The rows shown are walked one by one,
  // whatever their heights or columns (LB_ITEMFROMPOINT names rows in 16 bits only).
  int RowAt(POINT pt) const {
    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    if (!::PtInRect(&client, pt)) return -1;
    const int count = GetCount();
    for (int row = static_cast<int>(OwnProc(LB_GETTOPINDEX)); row >= 0 && row < count; ++row) {
      const RECT rc = RowRect(row);
      if (rc.top >= client.bottom) break;
      if (::PtInRect(&rc, pt)) return row;
    }
    return -1;
  }
};
