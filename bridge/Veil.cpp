// The veil: while the skin is on, the host's list keeps its place and the visibility the host gives
// it, but shows nothing, lets the mouse through to the skin and is no tab stop.
#include "bridge/SourceLink.h"

namespace {

// Gives hWnd a window region (null: none). The system owns a region it takes; one it refuses is
// deleted here.
void GiveRegion(HWND hWnd, HRGN hRegion) {
  if (!::SetWindowRgn(hWnd, hRegion, TRUE) && hRegion != nullptr) ::DeleteObject(hRegion);
}

}  // namespace

void CSourceLink::VeilSource(bool veiled) {
  if (m_hSourceList == nullptr || veiled == m_bVeiled) return;
  m_bVeiled = veiled;
  // The list keeps its place and the visibility the host gives it, so that the host's showing and
  // hiding of it, and its own IsWindowVisible, work as ever. Veiled, it shows nothing, the mouse
  // goes through it to the skin, and Tab stops on the skin instead.
  DepthScope veiling(m_nVeiling);
  const LONG style = ::GetWindowLongA(m_hSourceList, GWL_STYLE);
  if (veiled) {
    m_bSourceTabStop = (style & WS_TABSTOP) != 0;
    ::SetWindowLongA(m_hSourceList, GWL_STYLE, style & ~WS_TABSTOP);
    TakeHostRegion();
    // A shown list updates its scroll bar for every row it gains, which shows nothing here: its
    // redraw stays off under the veil, whatever the host switches. The system's handling of a
    // redraw switch takes WS_VISIBLE with it, which stays the host's.
    SetSourceRedraw(false);
    FollowRowText();
  } else {
    if (m_bSourceTabStop) ::SetWindowLongA(m_hSourceList, GWL_STYLE, style | WS_TABSTOP);
    // The host's own region, or none: the list's whole rectangle.
    GiveRegion(m_hSourceList, static_cast<HRGN>(m_hostRegion.Detach()));
    if (!m_bHostRedrawOff) SetSourceRedraw(true);
  }
}

void CSourceLink::RepaintUnderVeil() {
  // A list scrolls its rows by moving the pixels of its place on the screen. One whose class draws
  // with its parent's clipping (CS_PARENTDC: Common Controls 6 list boxes are such) moves them
  // whatever its window region says, so its veil does not stop it: whatever shows in its place,
  // the skin lying over it or the host's window, had its pixels moved, and is painted afresh.
  if (!m_bVeiled || !m_bScrollsThroughParent) return;
  const HWND hParent = ::GetParent(m_hSourceList);
  RECT place = {};
  if (hParent == nullptr || !::GetWindowRect(m_hSourceList, &place)) return;
  ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&place), 2);
  ::RedrawWindow(hParent, &place, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CSourceLink::TakeHostRegion() {
  // The host's own region, if it gave its list one, comes back with the list; the veil takes its
  // place meanwhile.
  m_hostRegion.DeleteObject();
  RECT bounds;
  if (::GetWindowRgnBox(m_hSourceList, &bounds) != ERROR &&
      m_hostRegion.Attach(::CreateRectRgn(0, 0, 0, 0)))
    ::GetWindowRgn(m_hSourceList, static_cast<HRGN>(m_hostRegion.GetSafeHandle()));
  GiveRegion(m_hSourceList, ::CreateRectRgn(0, 0, 0, 0));
}

void CSourceLink::SetSourceRedraw(bool redraw) {
  const LONG visible = ::GetWindowLongA(m_hSourceList, GWL_STYLE) & WS_VISIBLE;
  ::SendMessageA(m_hSourceList, WM_SETREDRAW, redraw, 0);
  const LONG style = ::GetWindowLongA(m_hSourceList, GWL_STYLE);
  if ((style & WS_VISIBLE) != visible)
    ::SetWindowLongA(m_hSourceList, GWL_STYLE, (style & ~WS_VISIBLE) | visible);
}
