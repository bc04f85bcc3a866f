// Readable text: contrast between colours as the web's accessibility guidelines (WCAG 2) measure it.
#pragma once
#include <windows.h>

// The relative luminance of a colour, 0 (black) to 1 (white).
double RelativeLuminance(COLORREF colour);
// The contrast ratio of two luminances or colours, 1 (none) to 21 (black on white).
double ContrastRatio(double luminanceA, double luminanceB);
double ContrastRatio(COLORREF a, COLORREF b);
// Black or white, whichever stands out more against a background of the given luminance.
COLORREF BlackOrWhiteOn(double backgroundLuminance);
