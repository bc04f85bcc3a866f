// The place a host gives the skin, laid out the way the README teaches: the host's list box stays
// in its own parent, under its own id, where the host (or a system dialog's code) finds it with
// GetDlgItem; a container child lies at the list's rectangle just after it in z-order, and a
// reference window fills the container. kslCreateHook(reference, list) puts the skin into the
// container, over the list's place.
#pragma once
#include <windows.h>

#include <vector>

namespace host {

class SkinSite {
 public:
  // Lays the container and its reference window over hList's place. The list is not touched.
  explicit SkinSite(HWND hList);
  // Destroys the container with the reference window and whatever the library left in it.
  ~SkinSite();
  SkinSite(const SkinSite&) = delete;
  SkinSite& operator=(const SkinSite&) = delete;

  HWND container() const { return m_hContainer; }
  HWND reference() const { return m_hReference; }

 private:
  HWND m_hContainer = nullptr;
  HWND m_hReference = nullptr;
};

// The colours a window's client area shows, row by row from the top, once its pending painting is
// done: one read of the screen instead of a GetPixel per point.
class ClientPixels {
 public:
  explicit ClientPixels(HWND hWnd);
  int width() const { return m_width; }
  int height() const { return m_height; }
  COLORREF At(int x, int y) const { return m_pixels[static_cast<size_t>(y) * m_width + x]; }

 private:
  int m_width = 0;
  int m_height = 0;
  std::vector<COLORREF> m_pixels;
};

}  // namespace host
