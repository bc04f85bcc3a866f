#include "Screenshot.h"

// GDI+ (its flat API, which both MSVC's and mingw-w64's headers declare) encodes the PNG. It needs
// the COM declarations that WIN32_LEAN_AND_MEAN leaves out of windows.h.
#include <objidl.h>
#include <gdiplus.h>

#include <vector>

namespace {

using namespace Gdiplus;

// GDI+ is started for one picture at a time and shut down again.
class GdiplusSession {
 public:
  GdiplusSession() {
    GdiplusStartupInput input;
    m_ok = GdiplusStartup(&m_token, &input, nullptr) == Ok;
  }
  ~GdiplusSession() {
    if (m_ok) GdiplusShutdown(m_token);
  }
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;
  bool ok() const { return m_ok; }

 private:
  ULONG_PTR m_token = 0;
  bool m_ok = false;
};

// A screen-compatible bitmap holding a copy of one rectangle of the screen.
class ScreenCopy {
 public:
  explicit ScreenCopy(const RECT& rc) {
    HDC hScreen = ::GetDC(nullptr);
    HDC hMemory = ::CreateCompatibleDC(hScreen);
    m_hBitmap = ::CreateCompatibleBitmap(hScreen, rc.right - rc.left, rc.bottom - rc.top);
    if (hMemory != nullptr && m_hBitmap != nullptr) {
      HGDIOBJ hOld = ::SelectObject(hMemory, m_hBitmap);
      m_ok = ::BitBlt(hMemory, 0, 0, rc.right - rc.left, rc.bottom - rc.top, hScreen, rc.left,
                      rc.top, SRCCOPY) != FALSE;
      ::SelectObject(hMemory, hOld);
    }
    if (hMemory != nullptr) ::DeleteDC(hMemory);
    ::ReleaseDC(nullptr, hScreen);
  }
  ~ScreenCopy() {
    if (m_hBitmap != nullptr) ::DeleteObject(m_hBitmap);
  }
  ScreenCopy(const ScreenCopy&) = delete;
  ScreenCopy& operator=(const ScreenCopy&) = delete;
  bool ok() const { return m_ok; }
  HBITMAP bitmap() const { return m_hBitmap; }

 private:
  HBITMAP m_hBitmap = nullptr;
  bool m_ok = false;
};

bool FindPngEncoder(CLSID* clsid) {
  UINT count = 0, bytes = 0;
  if (DllExports::GdipGetImageEncodersSize(&count, &bytes) != Ok || bytes == 0) return false;
  std::vector<BYTE> buffer(bytes);
  auto* codecs = reinterpret_cast<ImageCodecInfo*>(buffer.data());
  if (DllExports::GdipGetImageEncoders(count, bytes, codecs) != Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (lstrcmpiW(codecs[i].MimeType, L"image/png") == 0) {
      *clsid = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}

std::wstring Widen(const std::string& text) {
  const int n = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], n);
  wide.resize(static_cast<size_t>(n - 1));
  return wide;
}

}  // namespace

bool SaveWindowPng(HWND hWnd, const std::string& path) {
  if (!::IsWindow(hWnd)) return false;
  ::RedrawWindow(hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT rc;
  if (!::GetWindowRect(hWnd, &rc) || rc.right <= rc.left || rc.bottom <= rc.top) return false;

  const ScreenCopy copy(rc);
  const GdiplusSession gdiplus;
  CLSID png;
  if (!copy.ok() || !gdiplus.ok() || !FindPngEncoder(&png)) return false;
  GpBitmap* image = nullptr;
  if (DllExports::GdipCreateBitmapFromHBITMAP(copy.bitmap(), nullptr, &image) != Ok) return false;
  const std::wstring widePath = Widen(path);
  const bool saved = DllExports::GdipSaveImageToFile(image, widePath.c_str(), &png, nullptr) == Ok;
  DllExports::GdipDisposeImage(image);
  return saved;
}
