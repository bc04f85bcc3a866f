// Owners of GDI objects and device contexts. Each wrapper deletes what it created or was given to own;
// a device context taken with Attach is borrowed and is never deleted by the wrapper.
#pragma once
#include <windows.h>

class CGdiObject {
 public:
  CGdiObject() = default;
  virtual ~CGdiObject() { DeleteObject(); }
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;

  // Takes ownership of hObject; fails when the wrapper already holds one.
  BOOL Attach(HGDIOBJ hObject);
  // Gives up ownership without deleting; returns the handle.
  HGDIOBJ Detach();
  // Deletes the held object, if any; TRUE when one was deleted.
  BOOL DeleteObject();
  HGDIOBJ GetSafeHandle() const { return m_hObject; }
  // GetObjectA on the held object; 0 when there is none.
  int GetObject(int nCount, LPVOID lpObject) const;

  HGDIOBJ m_hObject = nullptr;
};

class CBitmap : public CGdiObject {
 public:
  // Loads bitmap resource nIDResource from the module that holds it (see AfxFindResourceHandle).
  BOOL LoadBitmap(UINT nIDResource);
  int GetBitmap(BITMAP* pBitmap) const { return GetObject(sizeof(BITMAP), pBitmap); }
  operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
};

class CBrush : public CGdiObject {
 public:
  CBrush() = default;
  explicit CBrush(COLORREF crColor) { CreateSolidBrush(crColor); }
  BOOL CreateSolidBrush(COLORREF crColor) { return Attach(::CreateSolidBrush(crColor)); }
  operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
};

class CDC {
 public:
  CDC() = default;
  ~CDC() { DeleteDC(); }
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  // Makes a memory DC compatible with pDC (the screen when null); the wrapper owns it.
  BOOL CreateCompatibleDC(CDC* pDC);
  // Borrows hDC: the wrapper uses it but never deletes it.
  BOOL Attach(HDC hDC);
  HDC Detach();
  // Deletes an owned DC, lets go of a borrowed one.
  BOOL DeleteDC();

  HDC GetSafeHdc() const { return m_hDC; }
  operator HDC() const { return m_hDC; }

  // Selects the bitmap; returns the handle it replaced (null on failure or without a DC).
  HGDIOBJ SelectObject(CBitmap* pBitmap);
  int SetBkMode(int nBkMode) { return ::SetBkMode(m_hDC, nBkMode); }
  COLORREF SetTextColor(COLORREF crColor) { return ::SetTextColor(m_hDC, crColor); }
  void FillRect(const RECT* lpRect, CBrush* pBrush) { ::FillRect(m_hDC, lpRect, *pBrush); }
  void DrawFocusRect(const RECT* lpRect) { ::DrawFocusRect(m_hDC, lpRect); }

  HDC m_hDC = nullptr;

 private:
  bool m_bOwned = false;
};

// A window's DC borrowed for the life of the object: GetDC (client area) or GetWindowDC (whole
// window) on construction, ReleaseDC on destruction.
class CBorrowedWindowDC : public CDC {
 public:
  enum Area { ClientArea, WholeWindow };
  CBorrowedWindowDC(HWND hWnd, Area area)
      : m_hWnd(hWnd) {
    Attach(area == ClientArea ? ::GetDC(hWnd) : ::GetWindowDC(hWnd));
  }
  ~CBorrowedWindowDC() {
    if (HDC hDC = Detach()) ::ReleaseDC(m_hWnd, hDC);
  }

 private:
  HWND m_hWnd;
};

// A top-down picture of 32 bits a pixel, selected into a memory DC of its own, both owned; kept
// while the next picture asked for has the same size.
class CDibCanvas {
 public:
  CDibCanvas() = default;
  ~CDibCanvas() { Release(); }
  CDibCanvas(const CDibCanvas&) = delete;
  CDibCanvas& operator=(const CDibCanvas&) = delete;

  // The DC, holding a picture of cx by cy pixels; null when none can be made.
  HDC Prepare(int cx, int cy);
  RGBQUAD* Pixels() const { return m_pPixels; }
  // Lets go of a DC that someone else deleted: it is not deleted again.
  void Forget();
  void Release();

 private:
  CDC m_dc;
  CBitmap m_bitmap;
  HGDIOBJ m_hPrevious = nullptr;
  RGBQUAD* m_pPixels = nullptr;
  int m_cx = 0;
  int m_cy = 0;
};
