#include "overlay/Tile.h"

#include <math.h>

#include <atomic>

#include "framework/Gdi.h"
#include "framework/PlainArray.h"
#include "overlay/PictureFile.h"

namespace {

// How a line of n picture pixels makes a line of m tile pixels: for each tile pixel, the picture
// pixels it takes and their weights. A tent filter, a picture pixel wide on either side when
// enlarging (blending neighbours linearly) and a tile pixel's worth when shrinking (averaging
// what it covers). The line wraps around: the tile meets its own other edge in the grid.
class LineWeights {
 public:
  bool Make(int n, int m) {
    const double ratio = static_cast<double>(n) / m;
    const double radius = ratio > 1 ? ratio : 1;
    m_nTaps = static_cast<int>(2 * radius) + 1;
    if (!m_index.SetSize(m * m_nTaps) || !m_weight.SetSize(m * m_nTaps)) return false;
    for (int i = 0; i < m; ++i) {
      // The tile pixel's centre, in picture pixels; the first picture pixel the tent reaches.
      const double centre = (i + 0.5) * ratio - 0.5;
      const int first = static_cast<int>(floor(centre - radius)) + 1;
      double sum = 0;
      for (int k = 0; k < m_nTaps; ++k) {
        const double weight = 1 - fabs(first + k - centre) / radius;
        m_weight[i * m_nTaps + k] = static_cast<float>(weight > 0 ? weight : 0);
        m_index[i * m_nTaps + k] = ((first + k) % n + n) % n;
        sum += weight > 0 ? weight : 0;
      }
      for (int k = 0; k < m_nTaps; ++k) m_weight[i * m_nTaps + k] /= static_cast<float>(sum);
    }
    return true;
  }
  int Taps() const { return m_nTaps; }
  int Index(int i, int k) const { return m_index[i * m_nTaps + k]; }
  float Weight(int i, int k) const { return m_weight[i * m_nTaps + k]; }

 private:
  int m_nTaps = 0;
  CPlainArray<int> m_index;
  CPlainArray<float> m_weight;
};

HBITMAP NoMemory() {
  ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

BYTE Channel(float value) {
  return value <= 0 ? 0 : value >= 255 ? 255 : static_cast<BYTE>(value + 0.5f);
}

}  // namespace

HBITMAP NewPicture(int width, int height, RGBQUAD** ppPixels) {
  BITMAPINFO format = {};
  format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* pBits = nullptr;
  HBITMAP hPicture = ::CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &pBits, nullptr, 0);
  *ppPixels = static_cast<RGBQUAD*>(pBits);
  return hPicture;
}

HBITMAP PictureOfBitmap(HBITMAP hBitmap) {
  BITMAP bitmap = {};
  if (!::GetObjectA(hBitmap, sizeof bitmap, &bitmap)) return nullptr;
  const int width = bitmap.bmWidth,
            height = bitmap.bmHeight < 0 ? -bitmap.bmHeight : bitmap.bmHeight;
  RGBQUAD* pixels = nullptr;
  CBitmap picture;
  if (!picture.Attach(NewPicture(width, height, &pixels))) return nullptr;
  BITMAPINFO format = {};
  format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  const CBorrowedWindowDC screen(nullptr, CBorrowedWindowDC::ClientArea);
  if (::GetDIBits(screen.GetSafeHdc(), hBitmap, 0, static_cast<UINT>(height), pixels, &format,
                  DIB_RGB_COLORS) != height)
    return nullptr;
  for (int i = 0; i < width * height; ++i) pixels[i].rgbReserved = 255;
  return static_cast<HBITMAP>(picture.Detach());
}

UINT WindowDpi(HWND hWnd) {
  // Windows 10 (1607) on says each window's DPI; earlier systems scale only the screen as a whole,
  // and tell a program that is not DPI-aware 96.
  // Looked up by whichever GUI thread asks first; any other finds the same answer.
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static std::atomic<int> s_lookedUp{0};
  static std::atomic<GetDpiForWindowFunction> s_function{nullptr};
  GetDpiForWindowFunction getDpiForWindow = s_function.load(std::memory_order_acquire);
  if (getDpiForWindow == nullptr && s_lookedUp.load(std::memory_order_acquire) == 0) {
    getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    s_function.store(getDpiForWindow, std::memory_order_release);
    s_lookedUp.store(1, std::memory_order_release);
  }
  if (hWnd != nullptr && getDpiForWindow != nullptr) {
    if (const UINT dpi = getDpiForWindow(hWnd)) return dpi;
  }
  const CBorrowedWindowDC screen(nullptr, CBorrowedWindowDC::ClientArea);
  const int dpi = screen.GetSafeHdc() ? ::GetDeviceCaps(screen.GetSafeHdc(), LOGPIXELSY) : 0;
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

HBITMAP MakeTile(HBITMAP hPicture, bool bTransparent, COLORREF crBack, UINT dpi) {
  DIBSECTION picture = {};
  if (::GetObjectA(hPicture, sizeof picture, &picture) != sizeof picture ||
      picture.dsBm.bmBits == nullptr || picture.dsBm.bmBitsPixel != 32)
    return NoMemory();
  const int pictureWidth = picture.dsBm.bmWidth;
  const int pictureHeight =
      picture.dsBm.bmHeight < 0 ? -picture.dsBm.bmHeight : picture.dsBm.bmHeight;
  // Rounded to whole pixels, at least one.
  auto scaled = [dpi](int size) {
    const LONGLONG pixels = (LONGLONG{size} * dpi + 48) / 96;
    return pixels > 0 ? pixels : 1;
  };
  // The limits hold for the tile at the size it is drawn, as for the picture.
  if (PictureSizeError(scaled(pictureWidth), scaled(pictureHeight)) != ERROR_SUCCESS)
    return NoMemory();
  const int width = static_cast<int>(scaled(pictureWidth));
  const int height = static_cast<int>(scaled(pictureHeight));
  LineWeights across, down;
  CPlainArray<float> line;  // one row of the picture, blended from the rows a tile row takes
  RGBQUAD* tile = nullptr;
  CBitmap result;
  if (!across.Make(pictureWidth, width) || !down.Make(pictureHeight, height) ||
      !line.SetSize(pictureWidth * 3) || !result.Attach(NewPicture(width, height, &tile)))
    return NoMemory();

  // Transparent pixels are composed over the background before anything is blended: a blend of
  // composed pixels is the composition of the blend, so the tile shows what the picture would.
  const float back[3] = {GetBValue(crBack), GetGValue(crBack), GetRValue(crBack)};
  const auto* source = static_cast<const RGBQUAD*>(picture.dsBm.bmBits);
  ::GdiFlush();
  for (int y = 0; y < height; ++y) {
    float* blended = line.GetData();
    for (int i = 0; i < pictureWidth * 3; ++i) blended[i] = 0;
    for (int k = 0; k < down.Taps(); ++k) {
      const float weight = down.Weight(y, k);
      if (weight == 0) continue;
      const RGBQUAD* pixel = source + static_cast<size_t>(down.Index(y, k)) * pictureWidth;
      for (int x = 0; x < pictureWidth; ++x, ++pixel) {
        const float alpha = bTransparent ? pixel->rgbReserved : 255;
        const BYTE channels[3] = {pixel->rgbBlue, pixel->rgbGreen, pixel->rgbRed};
        for (int c = 0; c < 3; ++c)
          blended[x * 3 + c] += weight * (channels[c] * alpha + back[c] * (255 - alpha)) / 255;
      }
    }
    RGBQUAD* out = tile + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; ++x) {
      float sum[3] = {0, 0, 0};
      for (int k = 0; k < across.Taps(); ++k) {
        const float weight = across.Weight(x, k);
        const float* from = blended + across.Index(x, k) * 3;
        for (int c = 0; c < 3; ++c) sum[c] += weight * from[c];
      }
      out[x] = {Channel(sum[0]), Channel(sum[1]), Channel(sum[2]), 255};
    }
  }
  return static_cast<HBITMAP>(result.Detach());
}
