#include "overlay/OverlayDlg.h"

#include "res/resource.h"

BEGIN_MESSAGE_MAP(COverlayDlg, CDialog)
  ON_WM_SIZE()
  ON_LBN_SELCHANGE(IDC_MIRROR_LIST, OnSelchangeList)
END_MESSAGE_MAP()

COverlayDlg::COverlayDlg(CWnd* pParent) : CDialog(IDD_OVERLAY, pParent), m_link(this, &m_wndList) {
  m_wndList.SetLink(&m_link);
}

void COverlayDlg::DoDataExchange(CDataExchange* pDX) {
  DDX_Control(pDX, IDC_MIRROR_LIST, m_wndList);
}

BOOL COverlayDlg::ShowOver(HWND hReference, HWND hSource) {
  RECT rcReference = {};
  ::GetWindowRect(hReference, &rcReference);
  ::ShowWindow(hSource, SW_HIDE);
  MoveWindow(0, 0, rcReference.right - rcReference.left, rcReference.bottom - rcReference.top, TRUE);
  // A new child window starts below its siblings; the overlay must be seen above them.
  ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ShowWindow(SW_SHOW);
  m_wndList.TakeColoursOf(hSource);
  m_link.HookSource(hSource);
  return TRUE;
}

void COverlayDlg::GiveBack() {
  m_link.Unhook();
  ShowWindow(SW_HIDE);
  if (HWND hSource = m_link.SourceList()) ::ShowWindow(hSource, SW_SHOW);
}

void COverlayDlg::OnSize(UINT, int, int) {
  Default();
  RECT rc;
  GetWindowRect(&rc);
  ScreenToClient(&rc);
  if (m_wndList.m_hWnd != nullptr)
    m_wndList.MoveWindow(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
}

void COverlayDlg::OnSelchangeList() { m_link.ForwardSelection(); }

void COverlayDlg::OnSourceResized(int cx, int cy) { MoveWindow(0, 0, cx, cy, TRUE); }
