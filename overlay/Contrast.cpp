#include "overlay/Contrast.h"

#include <array>
#include <cmath>

#include "framework/Gdi.h"

namespace {

// A channel's light, looked up: pictures ask for it pixel by pixel.
double Linear(BYTE channel) {
  static const auto table = [] {
    std::array<double, 256> light{};
    for (int i = 0; i < 256; ++i) {
      const double c = i / 255.0;
      light[i] = c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    }
    return light;
  }();
  return table[channel];
}

}  // namespace

double RelativeLuminance(COLORREF colour) {
  return 0.2126 * Linear(GetRValue(colour)) + 0.7152 * Linear(GetGValue(colour)) +
         0.0722 * Linear(GetBValue(colour));
}

double ContrastRatio(double luminanceA, double luminanceB) {
  const double lighter = luminanceA > luminanceB ? luminanceA : luminanceB;
  const double darker = luminanceA > luminanceB ? luminanceB : luminanceA;
  return (lighter + 0.05) / (darker + 0.05);
}

double ContrastRatio(COLORREF a, COLORREF b) {
  return ContrastRatio(RelativeLuminance(a), RelativeLuminance(b));
}

COLORREF BlackOrWhiteOn(double backgroundLuminance) {
  return ContrastRatio(backgroundLuminance, 1.0) >= ContrastRatio(backgroundLuminance, 0.0)
             ? RGB(255, 255, 255)
             : RGB(0, 0, 0);
}

double MeanLuminance(HDC hDC, int width, int height) {
  if (width <= 0 || height <= 0) return 0.0;
  // The picture shrunk to a few points in one copy: enough to tell dark from light, and one call
  // instead of one per point.
  constexpr int kSide = 16;
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), kSide, -kSide, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  CDC picture;
  picture.Attach(hDC);
  CDC small;
  CBitmap points;
  void* bits = nullptr;
  if (!small.CreateCompatibleDC(&picture) ||
      !points.Attach(::CreateDIBSection(small, &info, DIB_RGB_COLORS, &bits, nullptr, 0)))
    return 0.0;
  const HGDIOBJ previous = small.SelectObject(&points);
  ::SetStretchBltMode(small, COLORONCOLOR);
  double sum = 0;
  int samples = 0;
  if (::StretchBlt(small, 0, 0, kSide, kSide, picture, 0, 0, width, height, SRCCOPY)) {
    ::GdiFlush();
    for (const RGBQUAD& point : *static_cast<const RGBQUAD(*)[kSide * kSide]>(bits)) {
      sum += RelativeLuminance(RGB(point.rgbRed, point.rgbGreen, point.rgbBlue));
      ++samples;
    }
  }
  // The small DC lets go of the points before both go.
  ::SelectObject(small, previous);
  return samples > 0 ? sum / samples : 0.0;
}
