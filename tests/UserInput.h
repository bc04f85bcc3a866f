// The user at the mouse and keyboard: real input through SendInput, as the system delivers a
// person's, for tests of what a host hears when its (skinned or plain) list is used.
//
// The recipe that works under Wine on Xvfb (no window manager), as checked here:
// - Keys go to the focus window of the foreground thread. SetForegroundWindow on the test's own
//   top window works without a window manager (GetForegroundWindow answers it at once), so a test
//   takes the foreground (TakeForeground), then sets the focus where the user would have it.
// - A Ctrl or Shift pressed before the pointer is moved is lost: Shift down, SetCursorPos, click
//   gave a list box a plain click (one row selected, where Shift+click selects a range). Moving
//   first, then pressing the modifier, then the button works. (The move warps the X pointer, and
//   the modifier state Wine then takes from the X server does not have the key down.) Every
//   gesture here moves first and lets the move be handled before anything else.
// - Two presses of the same button on the same window within the double-click time and rectangle
//   are one double-click. Separate clicks wait that time out, but only where they could pair up:
//   a click far enough from the one before (another row), or on another window, need not wait.
// - A point must lie inside the window meant: the middle of a row cut by a list's bottom edge is
//   outside it, and the click goes to the parent (RowPoint takes the middle of the part shown).
// - Input is handled when the host's loop runs: every gesture ends by settling, so that what the
//   input set off (including what was posted on) is done before the test looks.
#pragma once
#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

namespace user {

// Modifier keys held through a gesture.
enum Modifiers : unsigned {
  kNone = 0,
  kCtrl = 1,
  kShift = 2,
  kAlt = 4,
};

// The loop the host runs while the user acts: by default translate and dispatch; a dialog host
// filters through IsDialogMessage first.
void SetDialogLoop(HWND hDialog);  // null: the plain loop

// Runs the host's loop for `milliseconds`, and then until nothing is left waiting.
void Settle(DWORD milliseconds = 15);

// Makes hTop the foreground, active window of the system, so that keys reach this thread; TRUE
// when the system says it is.
bool TakeForeground(HWND hTop);

// The screen point inside row `row` of list box hList, `dx` pixels in from the row's left edge.
POINT RowPoint(HWND hList, int row, int dx = 24);

void MoveTo(POINT screen);
// Press and release of the left button at `screen` with `mods` held.
void Click(POINT screen, unsigned mods = kNone);
void DoubleClick(POINT screen, unsigned mods = kNone);
void RightClick(POINT screen, unsigned mods = kNone);
// The left button pressed at `from`, held through `steps` moves down or up to `to`, released there
// (after Escape, when `cancel`).
void Drag(POINT from, POINT to, int steps, bool cancel = false);
// `notches` turns of the wheel over `screen`: positive away from the user (up), negative down.
void Wheel(POINT screen, int notches);
// Press and release of virtual key `vk` with `mods` held, `times` times.
void Key(WORD vk, unsigned mods = kNone, int times = 1);
// Waits until no click so far could pair with the next one as a double-click.
void WaitOutDoubleClick();

// ---- What a list box holds, for comparing one list with another -------------------------------

struct ListState {
  int count = 0;
  std::vector<std::string> texts;  // only where the list keeps strings, read by an ANSI reader
  std::vector<std::wstring> wideTexts;  // and by a Unicode reader
  std::vector<int> selected;       // the selection set, in row order
  int caret = -1;
  int anchor = -1;  // multi-selection lists only; -1 elsewhere
  int top = 0;
  bool operator==(const ListState& other) const;
  bool operator!=(const ListState& other) const { return !(*this == other); }
};
std::ostream& operator<<(std::ostream& out, const ListState& state);

// What hList holds, asked through its window procedure (past nothing: a hooked list answers for
// itself).
ListState StateOf(HWND hList);

// The highest top row list box hList can scroll to: its rows less the rows its client area shows.
int MaxTopOf(HWND hList);

// How the skin's state `shown` differs from the host list's `model`; empty when it shows it. The
// skin has no border, so near the end of a list it may be unable to scroll as far as the host's
// list: its top row must be the host's, or its own highest where the host's lies beyond that.
std::string HowShownDiffers(const ListState& shown, const ListState& model, int shownMaxTop);

}  // namespace user
