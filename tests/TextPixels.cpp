#include "TextPixels.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <sstream>
#include <utility>

namespace host {

namespace {

double Linear(int channel) {
  const double c = channel / 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// Copies the screen rectangle `rc` (screen coordinates) out of hSource, a DC whose origin is at
// `origin` on the screen.
PixelRect CopyFrom(HDC hSource, POINT origin, const RECT& rc) {
  const int width = rc.right - rc.left;
  const int height = rc.bottom - rc.top;
  PixelRect out(std::max(width, 0), std::max(height, 0), CLR_INVALID);
  if (width <= 0 || height <= 0) return out;
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC hMemory = ::CreateCompatibleDC(hSource);
  HBITMAP hBitmap = ::CreateDIBSection(hMemory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (hBitmap != nullptr) {
    HGDIOBJ hOld = ::SelectObject(hMemory, hBitmap);
    ::BitBlt(hMemory, 0, 0, width, height, hSource, rc.left - origin.x, rc.top - origin.y, SRCCOPY);
    ::GdiFlush();
    const auto* quads = static_cast<const RGBQUAD*>(bits);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const RGBQUAD& q = quads[static_cast<size_t>(y) * width + x];
        out.Set(x, y, RGB(q.rgbRed, q.rgbGreen, q.rgbBlue));
      }
    ::SelectObject(hMemory, hOld);
    ::DeleteObject(hBitmap);
  }
  ::DeleteDC(hMemory);
  return out;
}

}  // namespace

double RelativeLuminance(COLORREF colour) {
  return 0.2126 * Linear(GetRValue(colour)) + 0.7152 * Linear(GetGValue(colour)) +
         0.0722 * Linear(GetBValue(colour));
}

double ContrastRatio(COLORREF a, COLORREF b) {
  const double la = RelativeLuminance(a);
  const double lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

PixelRect::PixelRect(int width, int height, COLORREF fill)
    : m_width(width), m_height(height), m_pixels(static_cast<size_t>(width) * height, fill) {}

PixelRect PixelRect::OfClient(HWND hWnd, const RECT& part) {
  Pump();  // what the host's loop would show
  ::RedrawWindow(hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  HDC hDC = ::GetDC(hWnd);
  const PixelRect out = CopyFrom(hDC, POINT{0, 0}, part);
  ::ReleaseDC(hWnd, hDC);
  return out;
}

PixelRect PixelRect::ShownAt(HWND hWnd, const RECT& part) {
  const HWND hRoot = ::GetAncestor(hWnd, GA_ROOT);
  Pump();  // what the host's loop would show
  ::RedrawWindow(hRoot, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT inRoot = part;
  ::MapWindowPoints(hWnd, hRoot, reinterpret_cast<POINT*>(&inRoot), 2);
  // Read from the top-level window's drawing: under Wine every child paints into it where the
  // child shows, and it reaches the X screen only when Wine next flushes it.
  HDC hDC = ::GetDC(hRoot);
  const PixelRect out = CopyFrom(hDC, POINT{0, 0}, inRoot);
  ::ReleaseDC(hRoot, hDC);
  return out;
}

int PixelRect::Count(COLORREF c) const {
  return static_cast<int>(std::count(m_pixels.begin(), m_pixels.end(), c));
}

std::vector<POINT> InkOn(const PixelRect& pixels, COLORREF background) {
  std::vector<POINT> ink;
  for (int y = 0; y < pixels.height(); ++y)
    for (int x = 0; x < pixels.width(); ++x)
      if (pixels.At(x, y) != background) ink.push_back(POINT{x, y});
  return ink;
}

std::vector<POINT> InkBetween(const PixelRect& with, const PixelRect& without) {
  std::vector<POINT> ink;
  const int width = std::min(with.width(), without.width());
  const int height = std::min(with.height(), without.height());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (with.At(x, y) != without.At(x, y)) ink.push_back(POINT{x, y});
  return ink;
}

PixelRect SystemDrawnText(const std::wstring& text, HFONT font, COLORREF colour,
                          COLORREF background, int x, int y, int width, int height) {
  // A popup of its own in the lower right of the screen, away from the test hosts' windows.
  HWND hWnd = ::CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE,
                                1280 - width - 10, 1024 - height - 10, width, height, nullptr,
                                nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ::UpdateWindow(hWnd);
  HDC hDC = ::GetDC(hWnd);
  RECT all = {0, 0, width, height};
  HBRUSH ground = ::CreateSolidBrush(background);
  ::FillRect(hDC, &all, ground);
  ::DeleteObject(ground);
  HGDIOBJ oldFont = ::SelectObject(hDC, font != nullptr ? font : ::GetStockObject(SYSTEM_FONT));
  ::SetBkMode(hDC, TRANSPARENT);
  ::SetTextColor(hDC, colour);
  ::TabbedTextOutW(hDC, x, y, text.c_str(), static_cast<int>(text.size()), 0, nullptr, 0);
  ::SelectObject(hDC, oldFont);
  ::GdiFlush();
  const PixelRect out = CopyFrom(hDC, POINT{0, 0}, all);
  ::ReleaseDC(hWnd, hDC);
  ::DestroyWindow(hWnd);
  return out;
}

int HaloPixels(const PixelRect& pixels, const PixelRect& under, const RECT& part,
               const std::vector<COLORREF>& inks) {
  auto between = [](COLORREF p, COLORREF a, COLORREF b) {  // each channel, give or take rounding
    for (int at = 0; at < 24; at += 8)
      if ((p >> at & 255) + 2 < std::min(a >> at & 255, b >> at & 255) ||
          (p >> at & 255) > std::max(a >> at & 255, b >> at & 255) + 2)
        return false;
    return true;
  };
  int halo = 0;
  for (int y = part.top; y < part.bottom; ++y)
    for (int x = part.left; x < part.right; ++x)
      halo += std::none_of(inks.begin(), inks.end(), [&](COLORREF ink) {
        return between(pixels.At(x, y), ink, under.At(x, y));
      });
  return halo;
}

InkDifference CompareInk(std::vector<POINT> a, std::vector<POINT> b, int show) {
  auto key = [](const POINT& p) { return std::make_pair(p.y, p.x); };
  std::set<std::pair<int, int>> inA, inB;
  for (const POINT& p : a) inA.insert(key(p));
  for (const POINT& p : b) inB.insert(key(p));
  InkDifference diff;
  std::ostringstream sample;
  for (const auto& p : inA)
    if (!inB.count(p) && diff.count++ < show)
      sample << " only first (" << p.second << "," << p.first << ")";
  for (const auto& p : inB)
    if (!inA.count(p) && diff.count++ < show)
      sample << " only second (" << p.second << "," << p.first << ")";
  diff.sample = sample.str();
  return diff;
}

std::string Utf8(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(std::max(size, 0)), '\0');
  if (size > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size,
                          nullptr, nullptr);
  return out;
}

}  // namespace host
