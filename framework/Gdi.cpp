#include "Gdi.h"

#include "ModuleState.h"

BOOL CGdiObject::Attach(HGDIOBJ hObject) {
  if (m_hObject != nullptr || hObject == nullptr) return FALSE;
  m_hObject = hObject;
  return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
  HGDIOBJ hObject = m_hObject;
  m_hObject = nullptr;
  return hObject;
}

BOOL CGdiObject::DeleteObject() {
  if (m_hObject == nullptr) return FALSE;
  return ::DeleteObject(Detach());
}

int CGdiObject::GetObject(int nCount, LPVOID lpObject) const {
  return m_hObject ? ::GetObjectA(m_hObject, nCount, lpObject) : 0;
}

BOOL CBitmap::LoadBitmap(UINT nIDResource) {
  LPCSTR name = MAKEINTRESOURCEA(nIDResource);
  HINSTANCE hInst = AfxFindResourceHandle(name, reinterpret_cast<LPCSTR>(RT_BITMAP));
  return Attach(::LoadBitmapA(hInst, name));
}

BOOL CDC::CreateCompatibleDC(CDC* pDC) {
  if (m_hDC != nullptr) return FALSE;
  m_hDC = ::CreateCompatibleDC(pDC ? pDC->m_hDC : nullptr);
  m_bOwned = m_hDC != nullptr;
  return m_bOwned;
}

BOOL CDC::Attach(HDC hDC) {
  if (m_hDC != nullptr || hDC == nullptr) return FALSE;
  m_hDC = hDC;
  m_bOwned = false;
  return TRUE;
}

HDC CDC::Detach() {
  HDC hDC = m_hDC;
  m_hDC = nullptr;
  m_bOwned = false;
  return hDC;
}

BOOL CDC::DeleteDC() {
  const bool owned = m_bOwned;
  HDC hDC = Detach();
  return owned ? ::DeleteDC(hDC) : hDC != nullptr;
}

HGDIOBJ CDC::SelectObject(CBitmap* pBitmap) {
  if (m_hDC == nullptr || pBitmap == nullptr || pBitmap->m_hObject == nullptr) return nullptr;
  return ::SelectObject(m_hDC, pBitmap->m_hObject);
}

HDC CDibCanvas::Prepare(int cx, int cy) {
  if (cx <= 0 || cy <= 0) return nullptr;
  if (m_dc.GetSafeHdc() != nullptr && m_cx == cx && m_cy == cy) return m_dc;
  Release();
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), cx, -cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* pBits = nullptr;
  if (!m_dc.CreateCompatibleDC(nullptr) ||
      !m_bitmap.Attach(::CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &pBits, nullptr, 0))) {
    Release();
    return nullptr;
  }
  m_hPrevious = m_dc.SelectObject(&m_bitmap);
  m_pPixels = static_cast<RGBQUAD*>(pBits);
  m_cx = cx;
  m_cy = cy;
  return m_dc;
}

void CDibCanvas::Forget() {
  m_dc.Detach();
  Release();
}

void CDibCanvas::Release() {
  // The DC lets go of the picture before both go.
  if (m_dc.GetSafeHdc() != nullptr && m_hPrevious != nullptr) ::SelectObject(m_dc, m_hPrevious);
  m_dc.DeleteDC();
  m_bitmap.DeleteObject();
  m_hPrevious = nullptr;
  m_pPixels = nullptr;
  m_cx = m_cy = 0;
}
