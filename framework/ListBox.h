// CListBox: a list box control. Its questions ask the control's own state.
#pragma once
#include "Wnd.h"

class CListBox : public CWnd {
 public:
  int GetCount() const { return static_cast<int>(OwnProc(LB_GETCOUNT)); }
};
