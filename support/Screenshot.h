// Screenshots of real windows as PNG files, for people to look at.
#pragma once
#include <windows.h>

#include <string>

// Copies what the screen shows of hWnd (its whole window rectangle: frame, caption and every child
// on top of it) into a PNG file at path. The window must be on the screen and not covered.
// Returns false when the window cannot be read or the file cannot be written.
bool SaveWindowPng(HWND hWnd, const std::string& path);
