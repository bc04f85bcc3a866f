// CListBox: a list box control, with the owner-draw messages its parent reflects to it.
#pragma once
#include "String.h"
#include "Wnd.h"

class CListBox : public CWnd {
 public:
  int GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
  int GetCurSel() const { return static_cast<int>(SendMessage(LB_GETCURSEL)); }
  int GetTopIndex() const { return static_cast<int>(SendMessage(LB_GETTOPINDEX)); }
  int GetItemHeight(int nIndex) const {
    return static_cast<int>(SendMessage(LB_GETITEMHEIGHT, static_cast<WPARAM>(nIndex)));
  }
  int AddString(LPCSTR lpszItem) {
    return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lpszItem)));
  }
  // Copies item nIndex's text into rString, which is emptied when the item has no readable text.
  void GetText(int nIndex, CString& rString) const;

  // Owner-draw hooks; the parent reflects WM_DRAWITEM, WM_MEASUREITEM, WM_COMPAREITEM,
  // WM_DELETEITEM, WM_VKEYTOITEM and WM_CHARTOITEM here.
  virtual void DrawItem(LPDRAWITEMSTRUCT) {}
  virtual void MeasureItem(LPMEASUREITEMSTRUCT) {}
  virtual int CompareItem(LPCOMPAREITEMSTRUCT) { return 0; }
  virtual void DeleteItem(LPDELETEITEMSTRUCT) {}
  // -1 keeps the list box's own handling of the key.
  virtual int VKeyToItem(UINT, UINT) { return -1; }
  virtual int CharToItem(UINT, UINT) { return -1; }

 protected:
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};
