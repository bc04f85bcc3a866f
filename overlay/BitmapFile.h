// Reads Windows bitmap files for the tile. The headers are checked against the file before anything
// is read by them, and the pixels are read here rather than by the system's file loader, which
// trusts the headers (it reads past the end of a file cut short) and, under Wine, shows some
// formats wrongly.
#pragma once
#include <windows.h>

// The file's picture as a 32-bit DIB section at the file's own size, whatever the file's pixel
// format and row order. Null unless the file is readable and its headers describe a bitmap it holds
// whole (a known header size, positive width, non-zero height, one plane, 1/4/8/16/24/32 bits per
// pixel, a compression that fits, the colour table and pixel data inside the file); null too when
// the picture is larger than 8192 x 8192 pixels' worth, or memory runs out.
HBITMAP LoadBitmapFile(LPCSTR lpszPath);
