// Checks a Windows bitmap file before the system loader sees it: the loader trusts the headers and
// can read past the end of a file that is cut short.
#pragma once
#include <windows.h>

// TRUE when lpszPath names a readable file whose headers describe a bitmap the file holds whole:
// a known header size, positive width, non-zero height, one plane, 1/4/8/16/24/32 bits per pixel,
// a known compression, and the colour table and pixel data inside the file.
bool IsCompleteBitmapFile(LPCSTR lpszPath);

// Loads the file as a DIB section at its own size, after the check above; null when either fails.
HBITMAP LoadBitmapFile(LPCSTR lpszPath);
