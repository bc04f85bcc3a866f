// Screenshots of real windows as PNG files, for people to look at.
#pragma once
#include <windows.h>

#include <string>

// Copies what hWnd shows on the screen (its whole window rectangle) into a PNG file at path.
// Returns false when the window cannot be read or the file cannot be written.
bool SaveWindowPng(HWND hWnd, const std::string& path);
