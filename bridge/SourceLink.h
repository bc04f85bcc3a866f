// CSourceLink: the link between the host's list box (the source) and the mirror list. It owns all
// that ties the two together: the source's window procedure it replaced, the source's character
// set, the copy of the source into the mirror, the repeat policy that keeps the mirror in step with
// what the host sends its list, and the hand-back of the user's actions on the mirror to the source.
#pragma once
#include <windows.h>

#include "framework/Subclass.h"
#include "framework/Wnd.h"

class CSourceLink : private CSubclassClient {
 public:
  // What the link asks of the panel that carries the mirror.
  class Owner {
   public:
    // The source's client area is now cx by cy pixels.
    virtual void OnSourceResized(int cx, int cy) = 0;

   protected:
    ~Owner() = default;
  };

  // pMirror is the mirror list, whose window exists by the time a source is hooked.
  CSourceLink(Owner* pOwner, const CWnd* pMirror);
  // Unhooks a source that is still hooked.
  ~CSourceLink();
  CSourceLink(const CSourceLink&) = delete;
  CSourceLink& operator=(const CSourceLink&) = delete;

  // With a source list: copies its item height, font and item texts into the mirror and puts the
  // link in front of the source's window procedure. With null: unhooks (see Unhook). Returns TRUE.
  BOOL HookSource(HWND hSource);
  // Takes the link out of the source's chain, or leaves a pass-through where someone subclassed
  // the source after it; from now on nothing reaches the mirror. No-op when nothing is hooked.
  void Unhook();

  // The source list last hooked; the panel shows it again when the overlay goes off.
  HWND SourceList() const { return m_hSourceList; }
  bool IsHooked() const { return m_hHookedList != nullptr; }
  // TRUE while a message of the source is being handled by the link somewhere down the stack.
  bool IsHandlingMessage() const { return m_nDepth > 0; }

  // Hand-back. Each reaches the source as the user's own action would, past the link, so nothing
  // handed back is repeated to the mirror.

  // Hands one message to the source's previous procedure; its answer, or 0 when nothing is hooked.
  LRESULT CallSourceProc(UINT message, WPARAM wParam, LPARAM lParam) const;
  // Replays the mirror's selection on the source as a click on the same row. LB_ERR when the
  // mirror has no selection, else the source's answer to the button release.
  int ForwardSelection();
  // Sends the mirror's double-click, with the mirror's coordinates, to the source.
  void HandBackDoubleClick(WPARAM wParam, LPARAM lParam);
  // Posts a right-button press or release, with the mirror's coordinates, to the source.
  void HandBackRightButton(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  // The source window procedure: every message the source list receives while hooked.
  LRESULT OnSubclassMessage(const CNextProc& next, UINT message, WPARAM wParam,
                            LPARAM lParam) override;
  void OnSubclassedWindowGone() override;
  // The messages whose repeat depends on the source's answer; returns that answer.
  LRESULT RepeatAfterAnswer(const CNextProc& next, UINT message, WPARAM wParam, LPARAM lParam);
  // Empties the mirror and fills it with the source's item texts, in the source's order.
  void CopyItems();
  // A question to the source: past the link while hooked, straight to the window before.
  LRESULT AskSource(UINT message, WPARAM wParam, LPARAM lParam) const;
  // The source's previous procedure as it is now; empty when nothing is hooked.
  CNextProc SourceProc() const;
  LRESULT ToMirror(UINT message, WPARAM wParam, LPARAM lParam) const;
  // The source's "text" parameter as the mirror may read it: item data of a source that keeps no
  // texts is no text.
  LPARAM TextForMirror(LPARAM lParam) const;
  bool SourceKeepsStrings() const;
  void ResizeOwnerToSource();

  Owner* const m_pOwner;
  const CWnd* const m_pMirror;
  CWindowSubclass m_subclass;

  HWND m_hSourceList = nullptr;      // the source last hooked; never cleared
  HWND m_hHookedList = nullptr;      // the source while the link is in its chain; else null
  WNDPROC m_pfnOldListProc = nullptr;  // the procedure the link replaced; else null
  HWND m_hMirrorList = nullptr;      // the mirror list's window
  bool m_bUnicode = false;           // the source is a Unicode window
  int m_nDepth = 0;                  // messages of the source the link is handling now
};
