#include "overlay/SharedTile.h"

#include <new>

#include "framework/Framework.h"
#include "framework/ThreadState.h"
#include "overlay/Contrast.h"
#include "overlay/PictureFile.h"
#include "overlay/Tile.h"
#include "res/resource.h"

// The tiles alive, each once. Skins of every thread look tiles up here; the lock covers the list
// and the holds, never the making of a tile (a picture's decoding may take long, and COM may run
// the thread's messages).
class CTileTable {
 public:
  // The tile alive made by `wanted`'s recipe, held once more; null when none.
  CSharedTile* Find(const CSharedTile& wanted) {
    CLockScope lock(m_lock);
    for (CSharedTile* tile = m_pFirst; tile != nullptr; tile = tile->m_pNext) {
      if (SameRecipe(*tile, wanted)) {
        ++tile->m_nHolds;
        return tile;
      }
    }
    return nullptr;
  }
  CSharedTile* Hold(CSharedTile* tile) {
    CLockScope lock(m_lock);
    ++tile->m_nHolds;
    return tile;
  }
  // `made` joins the table, unless another thread made the same meanwhile: then that one is held
  // and `made` freed.
  CSharedTile* Add(CSharedTile* made) {
    if (!made->m_bAlone) {
      if (CSharedTile* other = Find(*made)) {
        delete made;
        return other;
      }
    }
    CLockScope lock(m_lock);
    made->m_pNext = m_pFirst;
    m_pFirst = made;
    return made;
  }
  void Release(CSharedTile* tile) {
    {
      CLockScope lock(m_lock);
      if (--tile->m_nHolds > 0) return;
      for (CSharedTile** link = &m_pFirst; *link != nullptr; link = &(*link)->m_pNext) {
        if (*link == tile) {
          *link = tile->m_pNext;
          break;
        }
      }
    }
    delete tile;  // a tint lets go of its base as it goes
  }

  static bool SameRecipe(const CSharedTile& a, const CSharedTile& b);
  // The tile takes hTile and makes its brush; false when it cannot.
  static bool Realise(CSharedTile* tile, HBITMAP hTile);
  static bool RealiseTint(CSharedTile* tile);
  // A tile of hPicture (taken, whatever happens) by recipe's kind, DPI, background and file.
  static CSharedTile* MadeFromPicture(const CSharedTile& recipe, HBITMAP hPicture);

 private:
  CLock m_lock;
  CSharedTile* m_pFirst = nullptr;
};

namespace {

CTileTable g_tiles;

CSharedTile* NoMemory() {
  ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

// The mean luminance of a grid of samples of the pixels: enough to tell dark from light.
double MeanLuminanceOf(const RGBQUAD* pixels, int width, int height) {
  constexpr int kSide = 16;
  double sum = 0;
  for (int j = 0; j < kSide; ++j) {
    const RGBQUAD* line = pixels + static_cast<size_t>((2 * j + 1) * height / (2 * kSide)) * width;
    for (int i = 0; i < kSide; ++i) {
      const RGBQUAD& p = line[(2 * i + 1) * width / (2 * kSide)];
      sum += RelativeLuminance(RGB(p.rgbRed, p.rgbGreen, p.rgbBlue));
    }
  }
  return sum / (kSide * kSide);
}

// The brush a tile of width x height pixels paints with, and the height of the picture in it. A
// brush is filled in by its cells, so a tiny tile would cost a fill for every few pixels: it is
// widened once, the same picture repeated, to a size that costs no more than a usual tile. Where
// that cannot be made, the tile's own brush does.
HBRUSH TileBrush(HBITMAP hTile, const RGBQUAD* pixels, int width, int height, int* pHeight) {
  constexpr int kCheapSide = 64;
  const int wide = width * ((kCheapSide + width - 1) / width);
  const int high = height * ((kCheapSide + height - 1) / height);
  *pHeight = height;
  if (wide == width && high == height) return ::CreatePatternBrush(hTile);
  RGBQUAD* widePixels = nullptr;
  CBitmap widened;
  if (!widened.Attach(NewPicture(wide, high, &widePixels))) return ::CreatePatternBrush(hTile);
  for (int y = 0; y < high; ++y)
    for (int x = 0; x < wide; ++x)
      widePixels[static_cast<size_t>(y) * wide + x] =
          pixels[static_cast<size_t>(y % height) * width + x % width];
  // The brush keeps its own copy of the pattern: the widened picture goes at the end of this scope.
  if (HBRUSH hBrush = ::CreatePatternBrush(widened)) {
    *pHeight = high;
    return hBrush;
  }
  return ::CreatePatternBrush(hTile);
}

// The 32-bit top-down pixels of a tile made by NewPicture or MakeTile.
const RGBQUAD* PixelsOf(HBITMAP hTile, int* pWidth, int* pHeight) {
  DIBSECTION section = {};
  if (::GetObjectA(hTile, sizeof section, &section) != sizeof section ||
      section.dsBm.bmBits == nullptr || section.dsBm.bmBitsPixel != 32)
    return nullptr;
  *pWidth = section.dsBm.bmWidth;
  *pHeight = section.dsBm.bmHeight < 0 ? -section.dsBm.bmHeight : section.dsBm.bmHeight;
  ::GdiFlush();
  return static_cast<const RGBQUAD*>(section.dsBm.bmBits);
}

wchar_t* CopyOf(LPCWSTR text) {
  const int length = ::lstrlenW(text);
  auto* copy = new (std::nothrow) wchar_t[length + 1];
  if (copy != nullptr) ::lstrcpynW(copy, text, length + 1);
  return copy;
}

}  // namespace

CSharedTile::~CSharedTile() {
  if (m_hBrush != nullptr) ::DeleteObject(m_hBrush);
  if (m_hTile != nullptr) ::DeleteObject(m_hTile);
  if (m_hPicture != nullptr) ::DeleteObject(m_hPicture);
  delete[] m_pszPath;
  if (m_pBase != nullptr) ReleaseTile(m_pBase);
}

bool CTileTable::SameRecipe(const CSharedTile& a, const CSharedTile& b) {
  if (a.m_kind != b.m_kind || a.m_bAlone || b.m_bAlone) return false;
  switch (a.m_kind) {
    case CSharedTile::kDefault:
      return a.m_nDpi == b.m_nDpi;
    case CSharedTile::kPicture:
      // A picture without transparency looks the same over any background.
      return a.m_nDpi == b.m_nDpi && ::lstrcmpiW(a.m_pszPath, b.m_pszPath) == 0 &&
             ::CompareFileTime(&a.m_ftWritten, &b.m_ftWritten) == 0 &&
             a.m_nFileSize == b.m_nFileSize &&
             (a.m_crBack == b.m_crBack || !a.m_bTransparent || !b.m_bTransparent);
    case CSharedTile::kColour:
      return a.m_crColour == b.m_crColour && a.m_nWidth == b.m_nWidth &&
             a.m_nHeight == b.m_nHeight;
    case CSharedTile::kTint:
      return a.m_pBase == b.m_pBase && a.m_crColour == b.m_crColour && a.m_bAlpha == b.m_bAlpha;
  }
  return false;
}

bool CTileTable::Realise(CSharedTile* tile, HBITMAP hTile) {
  tile->m_hTile = hTile;
  tile->m_pPixels = PixelsOf(hTile, &tile->m_nWidth, &tile->m_nHeight);
  if (tile->m_pPixels == nullptr) return false;
  tile->m_hBrush = TileBrush(hTile, tile->m_pPixels, tile->m_nWidth, tile->m_nHeight,
                             &tile->m_nBrushHeight);
  tile->m_dLuminance = MeanLuminanceOf(tile->m_pPixels, tile->m_nWidth, tile->m_nHeight);
  return tile->m_hBrush != nullptr;
}

bool CTileTable::RealiseTint(CSharedTile* tile) {
  const CSharedTile& base = *tile->m_pBase;
  const COLORREF colour = tile->m_crColour;
  if (tile->m_bAlpha == 255) {
    // The base is hidden: a plain colour, which needs no picture.
    tile->m_hBrush = ::CreateSolidBrush(colour);
    tile->m_nWidth = tile->m_nHeight = 1;
    tile->m_dLuminance = RelativeLuminance(colour);
    return tile->m_hBrush != nullptr;
  }
  RGBQUAD* pixels = nullptr;
  CBitmap tinted;
  if (!tinted.Attach(NewPicture(base.m_nWidth, base.m_nHeight, &pixels))) return false;
  const int a = tile->m_bAlpha;
  const int over[3] = {GetBValue(colour) * a, GetGValue(colour) * a, GetRValue(colour) * a};
  auto blend = [&](BYTE under, int c) {
    return static_cast<BYTE>((over[c] + under * (255 - a) + 127) / 255);
  };
  for (size_t i = 0, count = size_t(base.m_nWidth) * base.m_nHeight; i < count; ++i) {
    const RGBQUAD& p = base.m_pPixels[i];
    pixels[i] = {blend(p.rgbBlue, 0), blend(p.rgbGreen, 1), blend(p.rgbRed, 2), 255};
  }
  tile->m_nWidth = base.m_nWidth;
  tile->m_nHeight = base.m_nHeight;
  // The tint keeps its brush alone: nothing is made of a tint's pixels.
  tile->m_hBrush =
      TileBrush(tinted, pixels, tile->m_nWidth, tile->m_nHeight, &tile->m_nBrushHeight);
  tile->m_dLuminance = MeanLuminanceOf(pixels, tile->m_nWidth, tile->m_nHeight);
  return tile->m_hBrush != nullptr;
}

CSharedTile* CTileTable::MadeFromPicture(const CSharedTile& recipe, HBITMAP hPicture) {
  auto* tile = new (std::nothrow) CSharedTile;
  if (tile == nullptr) {
    if (hPicture != nullptr) ::DeleteObject(hPicture);
    return NoMemory();
  }
  tile->m_hPicture = hPicture;
  tile->m_kind = recipe.m_kind;
  tile->m_nDpi = recipe.m_nDpi;
  tile->m_crBack = recipe.m_crBack;
  tile->m_bTransparent = recipe.m_bTransparent;
  tile->m_bAlone = recipe.m_bAlone;
  tile->m_ftWritten = recipe.m_ftWritten;
  tile->m_nFileSize = recipe.m_nFileSize;
  if (recipe.m_pszPath != nullptr && (tile->m_pszPath = CopyOf(recipe.m_pszPath)) == nullptr) {
    delete tile;
    return NoMemory();
  }
  const HBITMAP hTile =
      hPicture ? MakeTile(hPicture, tile->m_bTransparent, tile->m_crBack, tile->m_nDpi) : nullptr;
  if (hTile == nullptr || !Realise(tile, hTile)) {
    delete tile;
    return NoMemory();
  }
  return g_tiles.Add(tile);
}

CSharedTile* DefaultTile(UINT dpi) {
  CSharedTile recipe;
  recipe.m_kind = CSharedTile::kDefault;
  recipe.m_nDpi = dpi;
  if (CSharedTile* tile = g_tiles.Find(recipe)) return tile;
  CBitmap resource;
  resource.LoadBitmap(IDB_BACKGROUND);
  const HBITMAP hPicture = resource.GetSafeHandle() ? PictureOfBitmap(resource) : nullptr;
  return CTileTable::MadeFromPicture(recipe, hPicture);
}

CSharedTile* PictureTile(LPCWSTR lpszPath, UINT dpi, COLORREF crBack) {
  CSharedTile recipe;
  recipe.m_kind = CSharedTile::kPicture;
  recipe.m_nDpi = dpi;
  recipe.m_crBack = crBack;
  // The same file is known by its full path, and as unchanged by its time and size. A file that
  // cannot be told so is read afresh, the reading saying why it is refused, and shared with nobody.
  WIN32_FILE_ATTRIBUTE_DATA file = {};
  wchar_t full[MAX_PATH * 2] = L"";
  const DWORD length =
      lpszPath != nullptr ? ::GetFullPathNameW(lpszPath, MAX_PATH * 2, full, nullptr) : 0;
  recipe.m_bAlone = !(length > 0 && length < MAX_PATH * 2 &&
                      ::GetFileAttributesExW(full, GetFileExInfoStandard, &file) &&
                      !(file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY));
  recipe.m_pszPath = full;  // the stack's: let go before the recipe ends
  recipe.m_ftWritten = file.ftLastWriteTime;
  recipe.m_nFileSize = (ULONGLONG{file.nFileSizeHigh} << 32) | file.nFileSizeLow;
  CSharedTile* tile = nullptr;
  bool transparent = false;
  HBITMAP hPicture = nullptr;
  if (!recipe.m_bAlone) {
    // Transparent or not, only the file knows: a tile over this background, or an opaque one.
    recipe.m_bTransparent = true;
    tile = g_tiles.Find(recipe);
  }
  if (tile == nullptr && (hPicture = LoadPictureFile(lpszPath, &transparent)) != nullptr) {
    recipe.m_bTransparent = transparent;
    tile = CTileTable::MadeFromPicture(recipe, hPicture);
  }
  recipe.m_pszPath = nullptr;
  return tile;
}

CSharedTile* RefittedTile(CSharedTile* tile, UINT dpi, COLORREF crBack) {
  const CSharedTile& from = *tile;
  if (from.m_kind == CSharedTile::kDefault) return DefaultTile(dpi);
  if (from.m_kind != CSharedTile::kPicture) return g_tiles.Hold(tile);
  CSharedTile recipe;
  recipe.m_kind = CSharedTile::kPicture;
  recipe.m_nDpi = dpi;
  recipe.m_crBack = crBack;
  recipe.m_bTransparent = from.m_bTransparent;
  recipe.m_bAlone = from.m_bAlone;
  recipe.m_pszPath = from.m_pszPath;  // the other tile's: let go before the recipe ends
  recipe.m_ftWritten = from.m_ftWritten;
  recipe.m_nFileSize = from.m_nFileSize;
  CSharedTile* found = g_tiles.Find(recipe);
  if (found == nullptr) {
    // A copy of the same picture, for a tile of its own.
    RGBQUAD* pixels = nullptr;
    int width = 0, height = 0;
    const RGBQUAD* source = PixelsOf(from.m_hPicture, &width, &height);
    const HBITMAP hCopy = source != nullptr ? NewPicture(width, height, &pixels) : nullptr;
    if (hCopy != nullptr) {
      ::CopyMemory(pixels, source, sizeof(RGBQUAD) * size_t(width) * height);
      found = CTileTable::MadeFromPicture(recipe, hCopy);
    } else {
      NoMemory();
    }
  }
  recipe.m_pszPath = nullptr;
  return found;
}

CSharedTile* ColourTile(COLORREF crColour, int width, int height) {
  CSharedTile recipe;
  recipe.m_kind = CSharedTile::kColour;
  recipe.m_crColour = crColour;
  recipe.m_nWidth = width;
  recipe.m_nHeight = height;
  if (CSharedTile* tile = g_tiles.Find(recipe)) return tile;
  auto* tile = new (std::nothrow) CSharedTile;
  if (tile == nullptr) return NoMemory();
  tile->m_kind = CSharedTile::kColour;
  tile->m_crColour = crColour;
  RGBQUAD* pixels = nullptr;
  const HBITMAP hTile = NewPicture(width, height, &pixels);
  if (hTile != nullptr) {
    const RGBQUAD colour = {GetBValue(crColour), GetGValue(crColour), GetRValue(crColour), 255};
    for (size_t i = 0, count = size_t(width) * height; i < count; ++i) pixels[i] = colour;
  }
  if (hTile == nullptr || !CTileTable::Realise(tile, hTile)) {
    delete tile;
    return NoMemory();
  }
  return g_tiles.Add(tile);
}

CSharedTile* TintedTile(CSharedTile* base, COLORREF crColour, BYTE alpha) {
  CSharedTile recipe;
  recipe.m_kind = CSharedTile::kTint;
  recipe.m_pBase = base;
  recipe.m_crColour = crColour;
  recipe.m_bAlpha = alpha;
  CSharedTile* tile = g_tiles.Find(recipe);
  recipe.m_pBase = nullptr;  // the recipe holds nothing
  if (tile != nullptr) return tile;
  tile = new (std::nothrow) CSharedTile;
  if (tile == nullptr) return NoMemory();
  tile->m_kind = CSharedTile::kTint;
  tile->m_crColour = crColour;
  tile->m_bAlpha = alpha;
  tile->m_pBase = g_tiles.Hold(base);  // held as long as the tint
  if (!CTileTable::RealiseTint(tile)) {
    delete tile;
    return NoMemory();
  }
  return g_tiles.Add(tile);
}

CSharedTile* HoldTile(CSharedTile* tile) { return g_tiles.Hold(tile); }

void ReleaseTile(CSharedTile* tile) { g_tiles.Release(tile); }
