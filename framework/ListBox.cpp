#include "ListBox.h"

void CListBox::GetText(int nIndex, CString& rString) const {
  rString.Empty();
  const LRESULT length = SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(nIndex));
  if (length == LB_ERR || length < 0) return;
  LPSTR buffer = rString.GetBuffer(static_cast<int>(length) + 1);
  if (buffer == nullptr) return;
  buffer[0] = '\0';
  if (SendMessage(LB_GETTEXT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(buffer)) == LB_ERR)
    buffer[0] = '\0';
  rString.ReleaseBuffer();
}

BOOL CListBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  switch (message) {
    case WM_DRAWITEM:
      DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
      *pResult = TRUE;
      return TRUE;
    case WM_MEASUREITEM:
      MeasureItem(reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam));
      *pResult = TRUE;
      return TRUE;
    case WM_COMPAREITEM:
      *pResult = CompareItem(reinterpret_cast<LPCOMPAREITEMSTRUCT>(lParam));
      return TRUE;
    case WM_DELETEITEM:
      DeleteItem(reinterpret_cast<LPDELETEITEMSTRUCT>(lParam));
      *pResult = TRUE;
      return TRUE;
    case WM_VKEYTOITEM:
      *pResult = VKeyToItem(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_CHARTOITEM:
      *pResult = CharToItem(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    default:
      return CWnd::OnChildNotify(message, wParam, lParam, pResult);
  }
}
