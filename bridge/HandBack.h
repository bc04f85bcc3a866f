// The hand-back: the user's actions on the mirror list reach the hidden source list, straight into
// its previous window procedure, so that nothing handed back is repeated to the mirror.
#pragma once
#include <windows.h>

// Hands one message to the source's previous procedure, past the source window procedure; returns
// its answer, or 0 when no source is hooked.
LRESULT CallSourceProc(UINT message, WPARAM wParam, LPARAM lParam);

// Sends the mirror's double-click, with the mirror's coordinates, to the source.
void HandBackDoubleClick(WPARAM wParam, LPARAM lParam);
// Posts a right-button press or release, with the mirror's coordinates, to the source.
void HandBackRightButton(UINT message, WPARAM wParam, LPARAM lParam);
