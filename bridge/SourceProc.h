// The source window procedure: keeps the mirror list in step with the host's hidden list box.
#pragma once
#include <windows.h>

// Repeats the host's list-box messages, redraw switch and key strokes to the mirror, resizes the
// panel with the source, and hands every message on to the source's previous procedure, whose
// result it returns.
LRESULT CALLBACK HookedListProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Saves hSource's procedure and puts HookedListProc in its place, in the source's own character
// set; records the source and the mirror in the hook state. A source whose procedure cannot be
// replaced is left alone and not recorded as hooked.
void InstallSourceProc(HWND hSource, HWND hMirror);
// Gives the hooked source its saved procedure back and clears the record; no-op when none is hooked.
void RemoveSourceProc();

// Empties hMirror and fills it with hSource's item texts in hSource's order. An item whose text
// cannot be read (or a list that keeps no texts) becomes an empty text.
void CopyListItems(HWND hSource, HWND hMirror);

// TRUE for a list box that stores texts; an owner-drawn one without LBS_HASSTRINGS stores only
// item data, and its "string" parameters are that data.
bool ListKeepsStrings(HWND hList);

// Calls a saved list procedure in the character set of the window it belongs to.
LRESULT CallListProc(WNDPROC pfnProc, bool bUnicode, HWND hWnd, UINT message, WPARAM wParam,
                     LPARAM lParam);
