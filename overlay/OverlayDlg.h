// COverlayDlg: the borderless panel that takes the source list's place on screen and carries the
// mirror list over its whole area.
#pragma once
#include "framework/Framework.h"
#include "overlay/SkinListBox.h"

class COverlayDlg : public CDialog {
 public:
  explicit COverlayDlg(CWnd* pParent);

  // Hides the source, places the panel at its parent's client origin with the reference window's
  // outer size, shows it and hooks the source. Returns TRUE.
  BOOL ShowOver(HWND hReference, HWND hSource);
  // TRUE while a message of the panel or of its list is being handled further down the stack.
  bool IsBusy() const { return IsHandlingMessage() || m_wndList.IsHandlingMessage(); }

  CSkinListBox m_wndList;
  HWND m_hNotifyWnd = nullptr;  // the host window last given to kslHookSetHwnd

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  void OnSize(UINT nType, int cx, int cy);
  void OnSelchangeList();

  DECLARE_MESSAGE_MAP()
};
