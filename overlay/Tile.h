// The tile as the list shows it: a picture composed over the list's background where it is
// transparent, and scaled to the list's DPI. Both happen once, when the tile is made, so painting
// copies the tile as it is.
#pragma once
#include <windows.h>

// A new 32-bit top-down DIB section of width x height; *ppPixels its pixels, the top row first.
HBITMAP NewPicture(int width, int height, RGBQUAD** ppPixels);
// A picture (as NewPicture makes) of any bitmap, opaque: how the default tile is kept.
HBITMAP PictureOfBitmap(HBITMAP hBitmap);
// The DPI hWnd is drawn at: the window's own, where the system tells it (96 for a window that is
// not DPI-aware), else the screen's.
UINT WindowDpi(HWND hWnd);
// The tile made of hPicture, a picture as NewPicture makes it with straight alpha: composed over
// crBack where bTransparent, then scaled to dpi/96 of its size, rounded to whole pixels, smoothly
// and seamlessly (its edges blend with the opposite ones, which they meet in the grid). At 96 DPI
// each pixel stays as it is. Null, with the last error ERROR_NOT_ENOUGH_MEMORY, when memory runs
// out or the tile would be beyond the picture limits (PictureFile.h).
HBITMAP MakeTile(HBITMAP hPicture, bool bTransparent, COLORREF crBack, UINT dpi);
