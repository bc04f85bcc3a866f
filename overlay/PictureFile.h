// Reads the pictures the tile is made from: BMP, PNG, JPEG and GIF files (a GIF's first frame),
// told apart by their first bytes and decoded by the system's imaging component (WIC). The
// headers are checked against the file before anything is decoded: no file claiming more pixels
// than kMaxPicturePixels, or cut short, reaches the decoder.
#pragma once
#include <windows.h>

// The largest picture taken (8192 x 8192 at 4 bytes a pixel): a file may claim far more than a
// 32-bit process can hold.
constexpr LONGLONG kMaxPicturePixels = LONGLONG{1} << 26;

// The picture in the file at lpszPath as a 32-bit top-down DIB section at its own size, its alpha
// straight (not premultiplied) in each pixel's top byte: 255 throughout where the file has no
// transparency (a 32-bit BMP without an alpha mask included). *pbTransparent says whether any
// pixel is less than opaque. Null otherwise, with the last error ERROR_FILE_NOT_FOUND or
// ERROR_PATH_NOT_FOUND (no such file), ERROR_INVALID_DATA (a folder, unreadable, none of the four
// formats, cut short, no frame) or ERROR_NOT_ENOUGH_MEMORY (more than kMaxPicturePixels claimed,
// or memory ran out).
HBITMAP LoadPictureFile(LPCWSTR lpszPath, bool* pbTransparent);
