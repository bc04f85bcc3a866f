// CSourceLink: the link between the host's list box (the source) and the mirror list, one for each
// skin. It owns all that ties the two together, each concern in a room of its own: the subclass
// and the repeat policy that keeps the mirror showing what the host's list holds (SourceLink.cpp,
// RepeatPolicy.h), the catch-up that shows it (CatchUp.cpp), the veil over the host's list
// (Veil.cpp), the hand-back of the user's actions on the mirror (HandBack.cpp), and the rows as
// readers read them and the host draws them (Readers.cpp, RowText.h).
//
// The host's list is the model and the mirror is a view of it: the mirror keeps no rows of its
// own, only as many as the list has, and draws each one from the list as it paints it. What the
// user does on the mirror reaches the host's list as that input would have, the list decides what
// it means, and the mirror then shows the list's selection, caret, anchor and top row.
#pragma once
#include <windows.h>

#include "bridge/RowText.h"
#include "framework/PlainArray.h"
#include "framework/Gdi.h"
#include "framework/ListBox.h"
#include "framework/Subclass.h"
#include "framework/Wnd.h"

// Counts a piece of the link's work (a message it handles, its own change to the source) on the
// stack for as long as it runs.
class DepthScope {
 public:
  explicit DepthScope(int& depth) : m_depth(depth) { ++m_depth; }
  ~DepthScope() { --m_depth; }
  DepthScope(const DepthScope&) = delete;
  DepthScope& operator=(const DepthScope&) = delete;

 private:
  int& m_depth;
};

class CSourceLink : private CSubclassClient {
 public:
  // What the link asks of the panel that carries the mirror.
  class Owner {
   public:
    // The source's client area is now cx by cy pixels.
    virtual void OnSourceResized(int cx, int cy) = 0;
    // The source moved in its parent, or to another parent.
    virtual void OnSourceMoved() = 0;
    // The host showed or hid its list: the skin is seen where the list would be. `to` is where
    // the list is going meanwhile (its parent's client coordinates; see its flags).
    virtual void OnSourceShown(bool shown, const WINDOWPOS& to) = 0;
    // The source follows the pointer itself while it holds the mouse; `at` is the pointer's
    // screen point.
    virtual void OnSourceTracksPointer(POINT at) = 0;
    // The host destroyed its list: nothing is left to show.
    virtual void OnSourceGone() = 0;
    // Call CatchUp once the host's message loop runs again; FALSE when that cannot be arranged.
    virtual bool ScheduleCatchUp() = 0;

   protected:
    ~Owner() = default;
  };

  // pMirror is the mirror list, whose window exists by the time a source is hooked.
  CSourceLink(Owner* pOwner, const CListBox* pMirror);
  // Unhooks a source that is still hooked.
  ~CSourceLink();
  CSourceLink(const CSourceLink&) = delete;
  CSourceLink& operator=(const CSourceLink&) = delete;

  // With a source list: puts the link in front of the source's window procedure and makes the
  // mirror show the source's rows, font, row height and selection state. With null: unhooks (see
  // Unhook). hCombo names the drop-down combo box whose list the source is: such a list tells its
  // combo box, not its parent, what it draws. Returns TRUE.
  BOOL HookSource(HWND hSource, HWND hCombo = nullptr);
  // Takes the link out of the source's chain, or leaves a pass-through where someone subclassed
  // the source after it; from now on nothing reaches the mirror. No-op when nothing is hooked.
  void Unhook();
  // Unhooks, unveils and forgets the source.
  void LetGo();
  // Veils the source while the skin is on, or lifts the veil: the host's list goes on being shown
  // and hidden as the host says, and is seen again only unveiled.
  void VeilSource(bool veiled);
  // Moves the keyboard focus between the source and the mirror without telling the host: for the
  // host, the focus on the mirror is its list's own.
  void MoveFocus(HWND hTo);

  // The source list last hooked (null once the host destroyed it); shown again at switch-off.
  HWND SourceList() const { return m_hSourceList; }
  bool IsHooked() const { return m_hHookedList != nullptr; }
  // TRUE while a message of the source is being handled by the link somewhere down the stack.
  bool IsHandlingMessage() const { return m_nDepth > 0; }
  // TRUE when the mirror may select rows by itself (a list with single selection): its selection
  // is then replayed on the source as a click. Other lists get the user's raw input.
  bool MirrorSelectsItself() const { return m_bMirrorSelectsItself; }
  // TRUE when the source's clicks give the keyboard focus to another window (a combo box's list
  // gives it to the combo box's edit box).
  bool FocusGoesElsewhere() const { return m_bFocusGoesElsewhere; }

  // Hand-back. Each reaches the source as the user's own action would have reached it.

  // Hands one message to the source's previous procedure, past the link; its answer, or 0 when
  // nothing is hooked.
  LRESULT CallSourceProc(UINT message, WPARAM wParam, LPARAM lParam) const;
  // Replays the mirror's selection on the source as a click on the same row's own rectangle, past
  // the link. LB_ERR when the mirror has no selection, else the source's answer to the release.
  int ForwardSelection();
  // A press or release of the left button on the mirror of a list that selects rows by itself,
  // offered to the source first at the same place of the same row. TRUE when the source took the
  // gesture at the press (a drag list whose parent agreed to a drag): the rest of it is the
  // source's, and the mirror leaves the press alone. FALSE when the mirror handles the button
  // itself, as it does for a plain list.
  bool OfferButton(UINT message, WPARAM wParam, LPARAM lParam);
  // A mouse message of the mirror's, at the same place of the same row of the source.
  LRESULT HandBackMouse(UINT message, WPARAM wParam, LPARAM lParam);
  // A key or character message the mirror received.
  LRESULT HandBackKey(UINT message, WPARAM wParam, LPARAM lParam);
  // The mirror gained (WM_SETFOCUS) or lost (WM_KILLFOCUS) the keyboard focus; hOther is the
  // window that lost or gains it.
  void HandBackFocus(UINT message, HWND hOther);
  // A context menu asked for on the mirror, at a screen point (or -1, -1 from the keyboard).
  void HandBackContextMenu(LPARAM lParam);
  // What the host's list wants of the dialog keyboard interface.
  LRESULT SourceDialogCode(WPARAM wParam, LPARAM lParam);
  // The mirror scrolled itself: the source's top row follows.
  void FollowMirrorScroll();

  // The host's loop has run since a burst of changes began: the mirror shows them all at once.
  void CatchUp();
  // A question about row `row`'s text (LB_GETTEXT, LB_GETTEXTLEN) for the mirror's drawing,
  // answered by the source past the link, wide or in the host's ANSI code page, as RowTextIsWide
  // says it is to be read; LB_ERR when the source keeps no texts or nothing is hooked.
  LRESULT AskSourceText(UINT message, WPARAM row, LPARAM lParam, bool wide) const;
  // A reader's question to the mirror (see CSkinListBox), answered by the source through its whole
  // chain, as the source answers the same reader.
  LRESULT AnswerReader(UINT message, WPARAM wParam, LPARAM lParam) const;
  // Where the source puts a row's text, as measured from its own drawing.
  const CRowTextLayout& RowText() const { return m_rowText; }
  // TRUE when the source's rows have texts to draw.
  bool SourceKeepsTexts() const { return m_bKeepsStrings; }
  // TRUE when AskSourceText's texts for row `row` are Unicode: always where the link's procedure
  // is, and for a row too long for the system's ANSI conversion under Wine (512 characters), which
  // is read wide from the list's class procedure. Else they are in the host's ANSI code page.
  bool RowTextIsWide(UINT row) const;
  // TRUE when the host draws the source's rows itself (an owner-drawn list).
  bool HostDrawsRows() const { return m_bHostDrawsRows && IsHooked(); }
  // Asks the host to draw row `row` of its list as it draws it there: into hDC, prepared as the
  // list prepares the DC it lends, WM_DRAWITEM to the list's parent, naming the list, its id and
  // the row's item data, with `state`, at rc.
  // The host's code runs meanwhile, and may do anything, switching the overlay off included.
  void HostDrawRow(UINT row, UINT state, HDC hDC, const RECT& rc);
  // The mirror begins (TRUE) or ends (FALSE) a paint of its rows, which the host's colours are
  // asked for once.
  void PaintingRows(bool painting);

 private:
  // ---- The link itself (SourceLink.cpp): the subclass, the dispatch by the repeat policy
  // (RepeatPolicy.h), and the ways to the source and the mirror.
  LRESULT OnSubclassMessage(const CNextProc& next, UINT message, WPARAM wParam,
                            LPARAM lParam) override;
  void OnSubclassedWindowGone() override;
  // Hands a message on that may scroll the source, and repaints what the scroll moved.
  LRESULT CallWatchingScroll(const CNextProc& next, UINT message, WPARAM wParam, LPARAM lParam);
  // The source's previous procedure as it is now; empty when nothing is hooked.
  CNextProc SourceProc() const;
  // A question to the source: past the link while hooked, straight to the window before.
  LRESULT AskSource(UINT message, WPARAM wParam, LPARAM lParam) const;
  // A message sent in the source's character set, its texts as the source takes them.
  LRESULT SendInCharacterSet(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) const;
  // A message the mirror received, sent on to the source's whole chain in the character set it
  // arrived in: the system converts its texts, and sizes their rooms, for each procedure there.
  LRESULT SendOnAsReceived(UINT message, WPARAM wParam, LPARAM lParam) const;
  LRESULT ToMirror(UINT message, WPARAM wParam, LPARAM lParam) const;
  // The mirror keeps the source's window text as its own.
  void FollowWindowText();

  Owner* const m_pOwner;
  const CListBox* const m_pMirror;
  CWindowSubclass m_subclass;
  HWND m_hSourceList = nullptr;        // the source last hooked; cleared once it is destroyed
  HWND m_hHookedList = nullptr;        // the source while the link is in its chain; else null
  HWND m_hSourceParent = nullptr;      // the source's parent, as the link last saw it
  HWND m_hCombo = nullptr;             // the drop-down combo box whose list the source is
  WNDPROC m_pfnOldListProc = nullptr;  // the procedure the link replaced; else null
  HWND m_hMirrorList = nullptr;        // the mirror list's window
  int m_nDepth = 0;                    // messages of the source the link is handling now
  // What the source is, read when it is hooked.
  bool m_bUnicode = false;             // the link's procedure on the source is Unicode
  bool m_bKeepsStrings = true;         // the source stores texts (not only item data)
  bool m_bHostDrawsRows = false;       // the source is owner-drawn
  bool m_bMultiSelect = false;         // extended or multiple selection
  bool m_bRowsOfManyHeights = false;   // each of the source's rows has a height of its own
  bool m_bProcedureBehind = false;     // the link replaced someone's procedure, not the list's own
  bool m_bMirrorSelectsItself = true;
  bool m_bFocusGoesElsewhere = false;

  // ---- The view follows the list (CatchUp.cpp).
  // Something the mirror shows changed: a catch-up is due once the host's loop runs.
  void NeedCatchUp(unsigned what);
  // A message that adds or removes rows; returns the source's answer.
  LRESULT RepeatRowChange(const CNextProc& next, UINT message, WPARAM wParam, LPARAM lParam);
  // Gives the mirror `count` rows, where it has another number; TRUE when it had.
  bool SyncRowCount(LRESULT count);
  // Holds the mirror's painting until the catch-up, unless the host holds it.
  void HoldMirrorPainting();
  // The font the source took, with the row height it took with it.
  void FollowFont(WPARAM font, LPARAM redraw);
  void FollowRowHeight();
  // Measures where the source puts a row's text, once it is veiled, when what decides that may
  // have changed, and learns stops given before the link saw them from its rows when others come
  // into view (its rows changed, or it scrolled); a change shows at once.
  void FollowRowText(bool rowsChanged = false);
  // Makes the mirror show the source's selection, caret, anchor and top row.
  void ShowSourceState();
  void ShowSourceTop();
  // The size the panel takes for the source as it is now.
  SIZE SourceSize() const;
  void ResizeOwnerToSource();

  // What the mirror has yet to catch up with, once the host's loop runs.
  enum : unsigned {
    kNothingPending = 0,
    kStateChanged = 1,  // the source's selection, caret, anchor or top row
    kRowsChanged = 2,   // the source's rows: the mirror counts them again and draws them afresh
    kRowsToCheck = 4,   // the mirror counts the source's rows again, and draws them if they differ
    kResized = 8,       // the source's size
  };
  unsigned m_pending = kNothingPending;
  bool m_bCatchUpPosted = false;       // a catch-up is on its way through the host's loop
  bool m_bMirrorHeld = false;          // the mirror's painting waits for the catch-up
  bool m_bHostRedrawOff = false;       // the host switched its list's redraw off
  SIZE m_sourceSize = {};              // the source's size the panel last followed
  LRESULT m_nMirrorRows = 0;           // the rows the link gave the mirror
  CRowTextLayout m_rowText;            // where the source puts a row's text
  bool m_bRowTextStale = false;        // its font or tab stops changed since it was measured
  bool m_bTabStopsSeen = false;        // the host gave the source tab stops while hooked:
  CPlainArray<INT> m_tabStops;         // these, in dialog units,
  HFONT m_hTabStopsFont = nullptr;     // taken in this font
  LRESULT m_nTopInView = -1;           // the source's top row when its rows were last looked at

  // ---- The veil (Veil.cpp).
  // Keeps the source's own window region for its unveiling, and veils it.
  void TakeHostRegion();
  // The source's own redraw switch, its visibility kept as it is.
  void SetSourceRedraw(bool redraw);
  // The source has scrolled its rows: what its scroll moved on the screen is painted afresh.
  void RepaintUnderVeil();

  bool m_bVeiled = false;              // the source shows nothing and lets the mouse through
  int m_nVeiling = 0;                  // the link's own changes to the veiled source under way
  bool m_bSourceTabStop = false;       // the source was a tab stop before its veil
  bool m_bScrollsThroughParent = false;  // the source's class draws with its parent's clipping
  CGdiObject m_hostRegion;             // the source's own window region, kept during its veil

  // ---- The rows as readers read them and the host draws them (Readers.cpp).
  // The host's answer to WM_CTLCOLORLISTBOX, as lent to the rows of one paint.
  struct LentColours {
    bool bAnswered = false;
    HGDIOBJ hBrush = nullptr;
    COLORREF crText = 0, crBack = 0;
    int nBackMode = OPAQUE;
  };
  LentColours m_lent;
  bool m_bOnePaint = false;            // the mirror is painting its rows

  // ---- The hand-back (HandBack.cpp).
  // A point of the mirror's client area as the point of the source's client area on the same
  // place of the same row.
  POINT ToSourcePoint(POINT mirrorPoint);
  // A mouse message's point on the mirror as the source's, once the source has the mirror's
  // scroll position.
  LPARAM AtSourcePoint(LPARAM mirrorPoint);

  // How far a button offered to the source has come through its window procedures.
  enum class Offer { kNone, kOnItsWay, kHeldAtLink };
  Offer m_offer = Offer::kNone;
  bool m_bSourceTookPress = false;     // the source took the gesture at its press
  bool m_bMovingFocus = false;         // MoveFocus is at work
};
