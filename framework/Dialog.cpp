#include "Dialog.h"

#include "ModuleState.h"
#include "PlainArray.h"

namespace {

// The dialog manager's own procedure asks this one first; the framework's window procedure already
// sits in front of the dialog manager and has seen every message by then.
INT_PTR CALLBACK PassiveDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

}  // namespace

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
  if (rControl.m_hWnd != nullptr) return;
  rControl.SubclassWindow(::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC));
}

BOOL CDialog::Create(UINT nIDTemplate, HWND hParent) {
  return CreateFrom(nIDTemplate, hParent, 0, false);
}

BOOL CDialog::CreatePopup(UINT nIDTemplate, HWND hOwner, DWORD dwExStyle) {
  return CreateFrom(nIDTemplate, hOwner, dwExStyle, true);
}

BOOL CDialog::CreateFrom(UINT nIDTemplate, HWND hParent, DWORD dwExStyle, bool bPopup) {
  if (m_hWnd != nullptr) return FALSE;
  m_nIDTemplate = nIDTemplate;

  LPCSTR name = MAKEINTRESOURCEA(nIDTemplate);
  HINSTANCE hInst = AfxFindResourceHandle(name, reinterpret_cast<LPCSTR>(RT_DIALOG));
  HRSRC hResource = ::FindResourceA(hInst, name, reinterpret_cast<LPCSTR>(RT_DIALOG));
  HGLOBAL hTemplate = hResource ? ::LoadResource(hInst, hResource) : nullptr;
  auto* pTemplate = static_cast<LPCDLGTEMPLATEA>(hTemplate ? ::LockResource(hTemplate) : nullptr);
  if (pTemplate == nullptr) return FALSE;
  // A pop-up is made from a copy of the template whose styles say so: an extended template
  // (DLGTEMPLATEEX) keeps them after its version and signature and its help id.
  CPlainArray<BYTE> copy;
  const DWORD size = ::SizeofResource(hInst, hResource);
  if (bPopup) {
    if (size < sizeof(DLGTEMPLATE) + 4 || !copy.SetSize(static_cast<int>(size))) return FALSE;
    ::CopyMemory(copy.GetData(), pTemplate, size);
    const bool extended = reinterpret_cast<const WORD*>(copy.GetData())[1] == 0xFFFF;
    auto* styles = reinterpret_cast<DWORD*>(copy.GetData() + (extended ? 8 : 0));
    const int style = extended ? 1 : 0;
    styles[style] = (styles[style] & ~WS_CHILD) | WS_POPUP;
    styles[1 - style] |= dwExStyle;
    pTemplate = reinterpret_cast<LPCDLGTEMPLATEA>(copy.GetData());
  }

  HWND hWnd;
  {
    CWndCreateHook bindOnCreate(this, hParent);
    hWnd = ::CreateDialogIndirectParamA(hInst, pTemplate, hParent, &PassiveDialogProc, 0);
  }
  // A window that died during creation has already unbound itself in WM_NCDESTROY. One that
  // lives but could not be bound would have no owner: it goes at once.
  if (hWnd != nullptr && m_hWnd != hWnd) ::DestroyWindow(hWnd);
  return hWnd != nullptr && m_hWnd == hWnd;
}

BOOL CDialog::OnInitDialog() {
  CDataExchange dx(this);
  DoDataExchange(&dx);
  return TRUE;
}

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (message == WM_INITDIALOG) {
    *pResult = OnInitDialog();
    return TRUE;
  }
  return CWnd::OnWndMsg(message, wParam, lParam, pResult);
}
