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
