// Tiles shared by every skin with the same look. A tile is realised once (its picture decoded,
// composed, scaled, made into a brush) and held by every skin that asks for the same one: the same
// picture file, unchanged since, at the same DPI over the same background; the same colour at the
// same size; the default tile at the same DPI; the same tint of the same tile. The holds are
// counted, and the last skin to let go frees it. A tile never changes once made, so skins of any
// thread paint with it at the same time; only the table of tiles is locked, never across a call
// that could send a message.
#pragma once
#include <windows.h>
// CLR_NONE and CLR_DEFAULT, the colours that are none.
#include <commctrl.h>

class CSharedTile;

// Each of these answers a tile held for the caller, who lets go of it with ReleaseTile; null, with
// the last error set, when it cannot be had.
// The library's own tile at `dpi` (ERROR_NOT_ENOUGH_MEMORY).
CSharedTile* DefaultTile(UINT dpi);
// The picture in the file at lpszPath, composed over crBack where it is transparent, at `dpi`
// (LoadPictureFile's errors, or ERROR_NOT_ENOUGH_MEMORY for the tile, see MakeTile).
CSharedTile* PictureTile(LPCWSTR lpszPath, UINT dpi, COLORREF crBack);
// What `tile` shows, made for another DPI (ERROR_NOT_ENOUGH_MEMORY); the same tile, held again,
// when it is a colour or a tint, which look alike at any DPI.
CSharedTile* RefittedTile(CSharedTile* tile, UINT dpi, COLORREF crBack);
// A tile of width x height all of crColour (ERROR_NOT_ENOUGH_MEMORY).
CSharedTile* ColourTile(COLORREF crColour, int width, int height);
// `base` with crColour laid over it at `alpha` (1-255; 255 hides the base), pixel by pixel, as the
// rows of a state show it (ERROR_NOT_ENOUGH_MEMORY). It holds its base while it lives.
CSharedTile* TintedTile(CSharedTile* base, COLORREF crColour, BYTE alpha);
// `tile` held once more.
CSharedTile* HoldTile(CSharedTile* tile);
void ReleaseTile(CSharedTile* tile);

class CSharedTile {
 public:
  // The brush rows are filled with: the tile repeated, its grid starting at the brush's origin.
  HBRUSH Brush() const { return m_hBrush; }
  // The height of the picture in the brush (the tile's, or a multiple); 1 for a solid colour.
  int BrushHeight() const { return m_nBrushHeight; }
  int Width() const { return m_nWidth; }
  int Height() const { return m_nHeight; }
  // The mean relative luminance of the tile, 0 (black) to 1 (white).
  double Luminance() const { return m_dLuminance; }
  // The colour of a tile of one colour; CLR_NONE for any other.
  COLORREF Colour() const { return m_kind == kColour ? m_crColour : CLR_NONE; }
  // The tile is a picture, drawn at the size the DPI asks for.
  bool Scales() const { return m_kind == kDefault || m_kind == kPicture; }

 private:
  friend class CTileTable;
  friend CSharedTile* DefaultTile(UINT);
  friend CSharedTile* PictureTile(LPCWSTR, UINT, COLORREF);
  friend CSharedTile* RefittedTile(CSharedTile*, UINT, COLORREF);
  friend CSharedTile* ColourTile(COLORREF, int, int);
  friend CSharedTile* TintedTile(CSharedTile*, COLORREF, BYTE);
  CSharedTile() = default;
  ~CSharedTile();
  CSharedTile(const CSharedTile&) = delete;
  CSharedTile& operator=(const CSharedTile&) = delete;

  enum Kind { kDefault, kPicture, kColour, kTint };
  // What it is made of: which tiles are the same.
  Kind m_kind = kDefault;
  UINT m_nDpi = 96;
  COLORREF m_crBack = 0;         // a picture's background, where it is transparent
  COLORREF m_crColour = 0;       // a colour tile's colour, a tint's colour
  BYTE m_bAlpha = 0;             // a tint's opacity
  CSharedTile* m_pBase = nullptr;  // a tint's base, held
  wchar_t* m_pszPath = nullptr;  // a picture's full path, with the file's time and size then
  FILETIME m_ftWritten = {};
  ULONGLONG m_nFileSize = 0;
  bool m_bTransparent = false;
  bool m_bAlone = false;         // a file that could not be told unchanged: shared with nobody

  // What it is.
  HBITMAP m_hPicture = nullptr;  // the picture, kept to be made for another DPI; defaults, pictures
  HBITMAP m_hTile = nullptr;     // the tile's pixels, which tints are made of; not a tint's own
  const RGBQUAD* m_pPixels = nullptr;
  HBRUSH m_hBrush = nullptr;
  int m_nBrushHeight = 1;
  int m_nWidth = 0;
  int m_nHeight = 0;
  double m_dLuminance = 0;

  int m_nHolds = 1;
  CSharedTile* m_pNext = nullptr;
};

// A hold on a shared tile, let go when it ends.
class CTileHold {
 public:
  CTileHold() = default;
  ~CTileHold() { Reset(); }
  CTileHold(const CTileHold&) = delete;
  CTileHold& operator=(const CTileHold&) = delete;

  // Takes over the hold on `tile` (null: none), letting go of the one it had.
  void Reset(CSharedTile* tile = nullptr) {
    CSharedTile* previous = m_pTile;
    m_pTile = tile;
    if (previous != nullptr) ReleaseTile(previous);
  }
  void Swap(CTileHold& other) {
    CSharedTile* mine = m_pTile;
    m_pTile = other.m_pTile;
    other.m_pTile = mine;
  }
  CSharedTile* Get() const { return m_pTile; }
  const CSharedTile* operator->() const { return m_pTile; }
  explicit operator bool() const { return m_pTile != nullptr; }

 private:
  CSharedTile* m_pTile = nullptr;
};
