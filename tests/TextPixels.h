// Reading text back from pixels: which pixels of a row are ink, how readable a colour is on
// another (WCAG 2 contrast), and the same text drawn by the system for comparison.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "HostKit.h"

namespace host {

// WCAG 2 relative luminance of an sRGB colour: 0 for black, 1 for white.
double RelativeLuminance(COLORREF colour);
// WCAG 2 contrast ratio of two colours, from 1 (the same) to 21 (black on white).
double ContrastRatio(COLORREF a, COLORREF b);

// The pixels of a window or a drawing, row by row, as one rectangle.
class PixelRect {
 public:
  PixelRect(int width, int height, COLORREF fill);
  // What the screen shows of hWnd's client rectangle `part`, once its pending painting is done.
  static PixelRect OfClient(HWND hWnd, const RECT& part);
  // What shows at a rectangle of hWnd's client area, whichever child of its top-level window lies
  // on top there.
  static PixelRect ShownAt(HWND hWnd, const RECT& part);

  int width() const { return m_width; }
  int height() const { return m_height; }
  COLORREF At(int x, int y) const { return m_pixels[static_cast<size_t>(y) * m_width + x]; }
  void Set(int x, int y, COLORREF c) { m_pixels[static_cast<size_t>(y) * m_width + x] = c; }
  int Count(COLORREF c) const;

 private:
  int m_width;
  int m_height;
  std::vector<COLORREF> m_pixels;
};

// The points of `pixels` whose colour is not `background`: the ink of text drawn on a plain ground.
std::vector<POINT> InkOn(const PixelRect& pixels, COLORREF background);
// The points where two drawings of the same place differ: the ink of text drawn over a picture,
// when `without` is the same place without the text.
std::vector<POINT> InkBetween(const PixelRect& with, const PixelRect& without);

// `text` drawn by the system with TabbedTextOutW in `font` and `colour`, transparent, with its top
// left corner at (x, y), on a width x height ground of `background`. It is drawn into a window on
// the screen, so that it goes through the same rendering as a window's own drawing.
PixelRect SystemDrawnText(const std::wstring& text, HFONT font, COLORREF colour,
                          COLORREF background, int x, int y, int width, int height);

// The pixels of `part` of `pixels` that are no blend of any of `inks` and what `under` shows at the
// same place: lighter or darker in a channel than both.
int HaloPixels(const PixelRect& pixels, const PixelRect& under, const RECT& part,
               const std::vector<COLORREF>& inks);

// The points in `a` and not in `b`, and in `b` and not in `a`, as a count, with up to `show` of
// them described for a failure message.
struct InkDifference {
  int count = 0;
  std::string sample;
};
InkDifference CompareInk(std::vector<POINT> a, std::vector<POINT> b, int show = 5);

// The text as UTF-8, for failure messages.
std::string Utf8(const std::wstring& text);

}  // namespace host
