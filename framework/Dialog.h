// CDialog: a modeless dialog made from a template of the current module, with its controls bound to
// member objects through DoDataExchange during initialisation.
#pragma once
#include "Wnd.h"

class CDialog;

class CDataExchange {
 public:
  CDataExchange(CDialog* pDlgWnd, BOOL bSaveAndValidate)
      : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
  BOOL m_bSaveAndValidate;
  CDialog* m_pDlgWnd;
};

// Binds control nIDC of the dialog to rControl the first time it runs.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd {
 public:
  CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr)
      : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

  // Creates the dialog window, hidden unless its template says otherwise, as a child of pParentWnd
  // (or of the parent given to the constructor). FALSE when the template is missing or the window
  // cannot be made; the object then holds no window.
  BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  // Runs DoDataExchange; FALSE when it was asked to save and failed.
  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

 protected:
  // WM_INITDIALOG: binds the controls; TRUE lets the dialog manager give the first control focus.
  virtual BOOL OnInitDialog();
  virtual void DoDataExchange(CDataExchange*) {}
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

  UINT m_nIDTemplate;
  CWnd* m_pParentWnd;
};
