#include "bridge/RepeatPolicy.h"

#include <array>

namespace {

struct RepeatRule {
  UINT message;
  Repeat how;
};

// The list-box messages from LB_ADDSTRING to 0x01B0 (where list-box messages ended when they were
// last numbered this far) change the list, except the questions below: those, and numbers past the
// range, pass untouched. A number in the range without a message of its own counts as a change.
constexpr UINT kListBoxQuestions[] = {
    LB_GETSEL,         LB_GETCURSEL,           LB_GETTEXT,        LB_GETTEXTLEN,
    LB_GETCOUNT,       LB_GETTOPINDEX,         LB_FINDSTRING,     LB_GETSELCOUNT,
    LB_GETSELITEMS,    LB_GETHORIZONTALEXTENT, LB_GETITEMRECT,    LB_GETITEMDATA,
    LB_GETANCHORINDEX, LB_GETCARETINDEX,       LB_GETITEMHEIGHT,  LB_FINDSTRINGEXACT,
    LB_SETLOCALE,      LB_GETLOCALE,           LB_INITSTORAGE,    LB_ITEMFROMPOINT,
};
constexpr UINT kFirstListBoxMessage = LB_ADDSTRING;
constexpr UINT kLastListBoxMessage = 0x01B0;

// The messages that add or remove rows. The source's selection, caret and anchor move with its rows,
// so the mirror's rows move alike; rows added at the end move nothing and wait for the catch-up.
constexpr UINT kRowChanges[] = {LB_ADDSTRING,    LB_INSERTSTRING, LB_ADDFILE,
                                LB_DELETESTRING, LB_RESETCONTENT, LB_SETCOUNT};

// The messages that set the selection, the caret, the anchor, the top row or how far the rows
// scroll sideways.
constexpr UINT kStateChanges[] = {LB_SETSEL,         LB_SETCURSEL,      LB_SELITEMRANGEEX,
                                  LB_SELITEMRANGE,   LB_SETANCHORINDEX, LB_SETCARETINDEX,
                                  LB_SETTOPINDEX,    LB_SETHORIZONTALEXTENT};

// The list's system timer scrolls it while the user drags past its edge.
constexpr UINT kSystemTimer = 0x0118;

// The other messages the link acts on. Everything else passes untouched.
constexpr RepeatRule kOtherPolicy[] = {
    {WM_SIZE, Repeat::kResizePanel},
    {WM_MOVE, Repeat::kMovePanel},
    {WM_WINDOWPOSCHANGING, Repeat::kHostShows},
    {WM_WINDOWPOSCHANGED, Repeat::kHostReshapes},
    {WM_PRINT, Repeat::kHostPrints},
    {WM_PRINTCLIENT, Repeat::kHostPrints},
    {WM_PAINT, Repeat::kDrawsUnderVeil},
    {WM_ERASEBKGND, Repeat::kDrawsUnderVeil},
    {WM_ENABLE, Repeat::kEnableAfter},
    {WM_SETREDRAW, Repeat::kHostRedraw},
    {WM_SETFONT, Repeat::kFontAfter},
    {WM_SETTEXT, Repeat::kTextAfter},
    {WM_KEYDOWN, Repeat::kStateAfter},
    {WM_KEYUP, Repeat::kStateAfter},
    {WM_CHAR, Repeat::kStateAfter},
    {WM_LBUTTONDOWN, Repeat::kStateAfter},
    {WM_LBUTTONUP, Repeat::kStateAfter},
    {WM_LBUTTONDBLCLK, Repeat::kStateAfter},
    {WM_MOUSEWHEEL, Repeat::kStateAfter},
    {WM_VSCROLL, Repeat::kStateAfter},
    {WM_HSCROLL, Repeat::kStateAfter},
    {WM_MOUSEMOVE, Repeat::kStateAfterIfCaptured},
    {kSystemTimer, Repeat::kStateAfterIfCaptured},
};

// What the link does with each message below WM_USER, so that the many messages it passes
// untouched cost one look-up.
constexpr UINT kLookedUp = WM_USER;
constexpr std::array<Repeat, kLookedUp> kRuleOf = [] {
  std::array<Repeat, kLookedUp> rules{};
  for (UINT m = kFirstListBoxMessage; m <= kLastListBoxMessage; ++m) rules[m] = Repeat::kViewAfter;
  for (UINT m : kListBoxQuestions) rules[m] = Repeat::kNone;
  for (UINT m : kRowChanges) rules[m] = Repeat::kRowsAfter;
  for (UINT m : kStateChanges) rules[m] = Repeat::kStateBefore;
  for (const RepeatRule& rule : kOtherPolicy) rules[rule.message] = rule.how;
  return rules;
}();

}  // namespace

Repeat RuleFor(UINT message) { return message < kLookedUp ? kRuleOf[message] : Repeat::kNone; }
