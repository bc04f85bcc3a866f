// CDialog: a modeless dialog made from a template of the current module, with its controls bound to
// member objects through DoDataExchange during initialisation.
#pragma once
#include "Wnd.h"

class CDialog;

class CDataExchange {
 public:
  explicit CDataExchange(CDialog* pDlgWnd) : m_pDlgWnd(pDlgWnd) {}
  CDialog* m_pDlgWnd;
};

// Binds control nIDC of the dialog to rControl the first time it runs.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT nIDTemplate) : m_nIDTemplate(nIDTemplate) {}

  // Creates the dialog window, hidden unless its template says otherwise, as a child of hParent.
  // FALSE when the template is missing or the window cannot be made; the object then holds no
  // window.
  BOOL Create(UINT nIDTemplate, HWND hParent);
  // The same dialog as a pop-up window owned by hOwner, with dwExStyle added to its template's.
  BOOL CreatePopup(UINT nIDTemplate, HWND hOwner, DWORD dwExStyle);

 protected:
  // WM_INITDIALOG: binds the controls; TRUE lets the dialog manager give the first control focus.
  virtual BOOL OnInitDialog();
  virtual void DoDataExchange(CDataExchange*) {}
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

  UINT m_nIDTemplate;

 private:
  // Creates the dialog from nIDTemplate's template; with bPopup, as a pop-up with dwExStyle added.
  BOOL CreateFrom(UINT nIDTemplate, HWND hParent, DWORD dwExStyle, bool bPopup);
};
