// Reads the pictures the tile is made from: BMP, PNG, JPEG and GIF files (a GIF's first frame),
// told apart by their first bytes and decoded by the system's imaging component (WIC). The
// headers are checked against the file before anything is decoded: no file claiming more pixels
// than kMaxPicturePixels, or cut short, reaches the decoder.
#pragma once
#include <windows.h>

// The largest picture taken (8192 x 8192 at 4 bytes a pixel): a file may claim far more than a
// 32-bit process can hold. It holds for what the skin keeps: the picture (a GIF's first frame) at
// its own size, and the tile made of it at the size it is drawn (DPI/96 of the picture's).
constexpr LONGLONG kMaxPicturePixels = LONGLONG{1} << 26;
// The longest side, at either size: a line of millions of pixels would cost its scaling far more
// than its pixels.
constexpr LONGLONG kMaxPictureSide = 32768;

// ERROR_SUCCESS for a picture of width x height pixels (both above 0) within the limits above,
// else ERROR_NOT_ENOUGH_MEMORY.
DWORD PictureSizeError(LONGLONG width, LONGLONG height);

// The picture in the file at lpszPath as a 32-bit top-down DIB section at its own size, its alpha
// straight (not premultiplied) in each pixel's top byte: 255 throughout where the file has no
// transparency (a 32-bit BMP without an alpha mask included). *pbTransparent says whether any
// pixel is less than opaque. Null otherwise, with the last error ERROR_FILE_NOT_FOUND or
// ERROR_PATH_NOT_FOUND (no such file), ERROR_INVALID_DATA (a folder, unreadable, none of the four
// formats, cut short, no frame), ERROR_NOT_ENOUGH_MEMORY (a picture beyond the limits above, a
// JPEG of more than 256 scans, or memory ran out) or ERROR_NOT_SUPPORTED (the system's imaging
// component is missing or cannot be used; a Win32 code of the system's where it gives one).
HBITMAP LoadPictureFile(LPCWSTR lpszPath, bool* pbTransparent);
