#include "overlay/Contrast.h"

#include <cmath>

namespace {

double Linear(BYTE channel) {
  const double c = channel / 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
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
  // A grid of at most 32 x 32 points is enough to tell a dark picture from a light one.
  const int columns = width < 32 ? width : 32;
  const int rows = height < 32 ? height : 32;
  double sum = 0;
  int samples = 0;
  for (int j = 0; j < rows; ++j) {
    for (int i = 0; i < columns; ++i) {
      const COLORREF c = ::GetPixel(hDC, i * width / columns, j * height / rows);
      if (c == CLR_INVALID) continue;
      sum += RelativeLuminance(c);
      ++samples;
    }
  }
  return samples > 0 ? sum / samples : 0.0;
}
