#include "SkinSite.h"

namespace host {

SkinSite::SkinSite(HWND hList) {
  HWND hParent = ::GetParent(hList);
  RECT rc = {};
  ::GetWindowRect(hList, &rc);
  ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rc), 2);
  const HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
  // WS_EX_CONTROLPARENT lets a dialog's keyboard navigation go on into the skin inside;
  // WS_CLIPSIBLINGS keeps the container from painting over the list while the skin is off.
  m_hContainer = ::CreateWindowExA(WS_EX_CONTROLPARENT, "STATIC", "",
                                   WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                   rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                                   hParent, nullptr, hInstance, nullptr);
  // Just after the list: while the skin is off, the list lies over the container; and the tab
  // order reaches the skin where it would reach the list.
  ::SetWindowPos(m_hContainer, hList, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  m_hReference = ::CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, rc.right - rc.left,
                                   rc.bottom - rc.top, m_hContainer, nullptr, hInstance, nullptr);
}

SkinSite::~SkinSite() {
  if (::IsWindow(m_hContainer)) ::DestroyWindow(m_hContainer);
}

ClientPixels::ClientPixels(HWND hWnd) {
  ::RedrawWindow(hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT rc = {};
  ::GetClientRect(hWnd, &rc);
  m_width = rc.right;
  m_height = rc.bottom;
  if (m_width <= 0 || m_height <= 0) return;
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), m_width, -m_height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC hWindow = ::GetDC(hWnd);
  HDC hMemory = ::CreateCompatibleDC(hWindow);
  HBITMAP hBitmap = ::CreateDIBSection(hMemory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  // Points that could not be read stay CLR_INVALID.
  m_pixels.assign(static_cast<size_t>(m_width) * m_height, CLR_INVALID);
  if (hBitmap != nullptr) {
    HGDIOBJ hOld = ::SelectObject(hMemory, hBitmap);
    ::BitBlt(hMemory, 0, 0, m_width, m_height, hWindow, 0, 0, SRCCOPY);
    ::GdiFlush();
    const auto* quads = static_cast<const RGBQUAD*>(bits);
    for (size_t i = 0; i < m_pixels.size(); ++i)
      m_pixels[i] = RGB(quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue);
    ::SelectObject(hMemory, hOld);
    ::DeleteObject(hBitmap);
  }
  ::DeleteDC(hMemory);
  ::ReleaseDC(hWnd, hWindow);
}

}  // namespace host
