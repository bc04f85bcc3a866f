// COverlayDlg: the borderless panel that takes the source list's place on screen. It carries the
// mirror list over its whole area and owns the link to the host's list.
#pragma once
#include "bridge/SourceLink.h"
#include "framework/Framework.h"
#include "overlay/SkinListBox.h"

class COverlayDlg : public CDialog, private CSourceLink::Owner {
 public:
  COverlayDlg();
  // Makes the panel for a drop-down combo box's list, which the combo box shows over everything
  // at each drop and hides at each roll-up: a pop-up of its own over the list, owned by the combo
  // box's window and never activated, so that the combo box keeps the focus and stays dropped.
  // (Any other panel is made by Create, a child of the window it lies in.)
  BOOL CreateOverDropDown(HWND hCombo);

  // Hides the source, places the panel at its parent's client origin with the reference window's
  // outer size, shows it and hooks the source. FALSE when the source is a window but cannot be
  // linked (every subclass slot taken): the caller switches off again.
  BOOL ShowOver(HWND hReference, HWND hSource);
  // Gives the host its list back at once: unhooks it, hides the panel and shows the list as it
  // was shown before (with the keyboard focus, when the mirror had it).
  void GiveBack();
  // TRUE while a message of the panel, its list or the host's list is being handled by the
  // library further down the stack.
  bool IsBusy() const {
    return IsHandlingMessage() || m_wndList.IsHandlingMessage() || m_link.IsHandlingMessage();
  }

  CSkinListBox m_wndList;
  CSourceLink m_link;
  // Called when the panel's window goes while the overlay is on: the host destroyed it, with its
  // parent. Cleared once the library ends the panel itself.
  void (*m_pfnDestroyedByHost)(COverlayDlg* pPanel) = nullptr;
  // Called when the host destroys its list while the skin is on; null for a skin that stays on
  // until it is switched off.
  void (*m_pfnListGone)(COverlayDlg* pPanel) = nullptr;

 protected:
  // Binds the mirror and leaves the keyboard focus where the host has it.
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  void OnSize(UINT nType, int cx, int cy);
  LRESULT OnMirrorCommand(WPARAM wParam, LPARAM lParam);
  LRESULT OnMouseActivate(WPARAM wParam, LPARAM lParam);
  LRESULT OnCatchUp(WPARAM, LPARAM);
  LRESULT OnCatchUpTimer(WPARAM id, LPARAM);
  void PostNcDestroy() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  DECLARE_MESSAGE_MAP()

 private:
  bool m_bInListsPlace = false;     // the list is its own reference: the panel lies on it
  HWND m_hCombo = nullptr;          // a pop-up panel's drop-down combo box; null for a child panel
  HWND m_hUnclippedContainer = nullptr;  // the host's container, unclipped while the skin is on
  bool m_bCatchUpTimerSet = false;       // the catch-up's stand-in is on its way

  // Makes the mirror a view of the source: a list without data of the source's selection mode,
  // tab stop, character set, enabled or not.
  void FitMirrorTo(HWND hSource);
  void OnSourceResized(int cx, int cy) override;
  void OnSourceMoved() override;
  void OnSourceShown(bool shown, const WINDOWPOS& to) override;
  void OnSourceTracksPointer(POINT at) override;
  // In the list's own place: over the list's window rectangle in the list's parent, or on the
  // screen for a pop-up panel.
  void PlaceOverList(HWND hSource, UINT flags);
  void OnSourceGone() override;
  // Lets the host's container paint under its siblings as the list does while the skin is seen;
  // with false, gives the container back its own clipping.
  void UnclipContainer(bool unclip);
  bool ScheduleCatchUp() override;
};
