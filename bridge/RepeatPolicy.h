// The repeat policy: what the link does with a message the host's list receives while it is
// hooked. The mirror keeps no rows of its own: it is a view of the host's list that draws each row
// from the list as it paints it, so only what changes that view concerns it. The host always gets
// its list's own answer.
#pragma once
#include <windows.h>

enum class Repeat {
  kNone,                  // passed on untouched
  kViewAfter,             // the list changes its rows or its state: the mirror catches up with it
                          // once the host's loop runs (a burst of changes shows at once)
  kRowsAfter,             // as kViewAfter, and the mirror gains or loses the same rows at once
  kStateBefore,           // as kViewAfter, and the mirror takes the same message first: a list
                          // moves its caret only on its own terms, so only the same message
                          // leaves the mirror's where the source's goes
  kFontAfter,             // the source takes the font, then the mirror takes it and the row height
  kEnableAfter,           // the mirror is enabled or disabled with the source
  kResizePanel,           // the panel takes the source's new client size, then the source
  kMovePanel,             // the source moved: the panel may follow it
  kHostShows,             // the host shows or hides its list: the panel instead
  kHostReshapes,          // the host may have given its list a window region or another parent
  kHostPrints,            // the host prints its list: the veiled list draws for it meanwhile
  kDrawsUnderVeil,        // the list would paint: under the veil it draws nothing
  kHostRedraw,            // the host's own redraw switch: the mirror's follows it
  kTextAfter,             // the list takes a window text: the mirror takes it too
  kStateAfter,            // the user's input: the source decides, then the mirror shows its state
  kStateAfterIfCaptured,  // as kStateAfter while the source holds the mouse (a drag), else kNone
};

// The rule for `message`.
Repeat RuleFor(UINT message);
