#include "overlay/Contrast.h"

#include <array>
#include <cmath>

#include "framework/Gdi.h"

namespace {

// A channel's light, looked up: pictures ask for it pixel by pixel. Made while the module loads,
// before any GUI thread can ask.
const std::array<double, 256> g_light = [] {
  std::array<double, 256> light{};
  for (int i = 0; i < 256; ++i) {
    const double c = i / 255.0;
    light[i] = c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  }
  return light;
}();

double Linear(BYTE channel) { return g_light[channel]; }

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
  CDibCanvas points;
  const HDC small = points.Prepare(kSide, kSide);
  if (small == nullptr) return 0.0;
  ::SetStretchBltMode(small, COLORONCOLOR);
  if (!::StretchBlt(small, 0, 0, kSide, kSide, hDC, 0, 0, width, height, SRCCOPY)) return 0.0;
  ::GdiFlush();
  double sum = 0;
  for (int i = 0; i < kSide * kSide; ++i) {
    const RGBQUAD& point = points.Pixels()[i];
    sum += RelativeLuminance(RGB(point.rgbRed, point.rgbGreen, point.rgbBlue));
  }
  return sum / (kSide * kSide);
}
