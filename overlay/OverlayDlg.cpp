#include "overlay/OverlayDlg.h"

#include <atomic>

#include "res/resource.h"

namespace {

// What a mirror takes from its source: its selection mode, its horizontal scroll bar, a scroll bar
// shown whether needed or not, reached by Tab where the source was, usable as far as the source is.
// A list reads its styles once, when it is made.
constexpr DWORD kStylesOfTheSource = LBS_EXTENDEDSEL | LBS_MULTIPLESEL | LBS_NOSEL |
                                     LBS_DISABLENOSCROLL | WS_HSCROLL | WS_TABSTOP | WS_DISABLED;
// In the list's own place, the mirror has the list's frame too, and so exactly its client area.
constexpr DWORD kFrameStyles = WS_BORDER;
constexpr DWORD kFrameExStyles = WS_EX_CLIENTEDGE | WS_EX_STATICEDGE;

// Posted to the panel: the host's loop has run since the host changed what the mirror shows. A
// registered number: a host's loop that clears its own range of messages leaves it be.
// Any GUI thread may be first to ask: each that finds it not yet known registers it, and the system
// answers every one of them with the same number.
UINT CatchUpMessage() {
  static std::atomic<UINT> s_message{0};
  UINT message = s_message.load(std::memory_order_relaxed);
  if (message == 0) {
    message = ::RegisterWindowMessageA("kslHook.CatchUp");
    s_message.store(message, std::memory_order_relaxed);
  }
  return message;
}

// The catch-up's stand-in, for a host loop that throws posted messages away.
constexpr UINT_PTR kCatchUpTimer = 0x4B5;
constexpr UINT kCatchUpTimerMs = 250;

}  // namespace

BEGIN_MESSAGE_MAP(COverlayDlg, CDialog)
  ON_WM_SIZE()
  ON_MESSAGE(WM_COMMAND, OnMirrorCommand)
  ON_MESSAGE(WM_TIMER, OnCatchUpTimer)
  ON_MESSAGE(WM_MOUSEACTIVATE, OnMouseActivate)
END_MESSAGE_MAP()

LRESULT COverlayDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  // The catch-up's number is the system's, known only at run time: outside the message map, whose
  // entries are all constants, so that no thread builds the map while another reads it.
  if (message == CatchUpMessage()) return OnCatchUp(wParam, lParam);
  return CDialog::WindowProc(message, wParam, lParam);
}

COverlayDlg::COverlayDlg() : CDialog(IDD_OVERLAY), m_link(this, &m_wndList) {
  m_wndList.SetLink(&m_link);
}

BOOL COverlayDlg::CreateOverDropDown(HWND hCombo) {
  m_hCombo = hCombo;
  // The panel of every skin, as a pop-up over everything as the dropped list is, never activated,
  // so that the combo box keeps the focus.
  return CreatePopup(IDD_OVERLAY, ::GetAncestor(hCombo, GA_ROOT),
                     WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE);
}

LRESULT COverlayDlg::OnMouseActivate(WPARAM wParam, LPARAM lParam) {
  // Activating the pop-up would take the focus from the combo box, which rolls its list up.
  return m_hCombo != nullptr ? MA_NOACTIVATE : DefWindowProc(WM_MOUSEACTIVATE, wParam, lParam);
}

BOOL COverlayDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  // The dialog manager would give the mirror the focus now, before anything links it to the host's
  // list: the host's own control keeps it, and the mirror takes it only from the list itself.
  return FALSE;
}

void COverlayDlg::DoDataExchange(CDataExchange* pDX) {
  DDX_Control(pDX, IDC_MIRROR_LIST, m_wndList);
}

void COverlayDlg::FitMirrorTo(HWND hSource) {
  HWND hTemplateList = m_wndList.GetSafeHwnd();
  if (hTemplateList == nullptr || !::IsWindow(hSource)) return;
  const DWORD current = static_cast<DWORD>(::GetWindowLongA(hTemplateList, GWL_STYLE));
  const DWORD source = static_cast<DWORD>(::GetWindowLongA(hSource, GWL_STYLE));
  // A list without data: it holds no rows, only their number, and draws each row from the source.
  // It has a vertical scroll bar where the source has one. A list shows its bar only while it
  // needs it, and says so in its style; a bar it was made with answers for its range all the same.
  SCROLLINFO bar = {sizeof bar, SIF_RANGE, 0, 0, 0, 0, 0};
  const bool scrolls = (source & WS_VSCROLL) || ::GetScrollInfo(hSource, SB_VERT, &bar);
  const DWORD frame = m_bInListsPlace ? source & kFrameStyles : 0;
  // Rows of their own heights need a list that keeps a height for each row: one that keeps no
  // data has one height for all.
  const DWORD kept = (source & LBS_OWNERDRAWVARIABLE) ? LBS_OWNERDRAWVARIABLE
                                                       : LBS_OWNERDRAWFIXED | LBS_NODATA;
  const DWORD wanted =
      (current & ~(kStylesOfTheSource | LBS_HASSTRINGS | WS_VSCROLL | LBS_OWNERDRAWFIXED)) | kept |
      (source & kStylesOfTheSource) | (scrolls ? WS_VSCROLL : 0) | frame;
  const DWORD edges = m_bInListsPlace ? ::GetWindowLongA(hSource, GWL_EXSTYLE) & kFrameExStyles : 0;
  RECT rc = {};
  ::GetWindowRect(hTemplateList, &rc);
  ScreenToClient(&rc);
  // The source's font follows when the list is linked to it. Readers meet the mirror where the
  // list was, and find it by the list's id.
  m_wndList.DestroyWindow();
  if (!m_wndList.CreateEx(edges, "LISTBOX", wanted, rc, this, ::GetDlgCtrlID(hSource),
                          ::IsWindowUnicode(hSource) != FALSE))
    return;
  // A list without data keeps no texts, so the system would hand a reader's question the mirror's
  // own bytes. Saying that it keeps texts where the source does makes the system convert them for
  // a reader of the other character set, and size a reader's room in another process, as it does
  // for the source; the list itself read its styles when it was made.
  const bool ownerDrawn = (source & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0;
  if (!ownerDrawn || (source & LBS_HASSTRINGS))
    ::SetWindowLongA(m_wndList, GWL_STYLE, ::GetWindowLongA(m_wndList, GWL_STYLE) | LBS_HASSTRINGS);
}

BOOL COverlayDlg::ShowOver(HWND hReference, HWND hSource) {
  RECT rcReference = {};
  ::GetWindowRect(hReference, &rcReference);
  const bool sourceHadFocus = hSource != nullptr && ::GetFocus() == hSource;
  // The host's own intent: under a dialog not shown yet, its shown list is not visible yet.
  const bool shown =
      !::IsWindow(hSource) || (::GetWindowLongA(hSource, GWL_STYLE) & WS_VISIBLE) != 0;
  // The panel is part of its parent's keyboard navigation: Tab reaches the mirror inside it.
  ::SetWindowLongA(m_hWnd, GWL_EXSTYLE,
                   ::GetWindowLongA(m_hWnd, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
  // Everything is put in place while the panel is hidden: a visible window pays for every change
  // of its size and of its scroll bar, and the mirror's rows bring its scroll bar.
  // A list that is its own reference gives the skin its own place; any other reference, its size
  // at its parent's origin.
  m_bInListsPlace = hReference == hSource && ::IsWindow(hSource);
  if (m_bInListsPlace)
    PlaceOverList(hSource, 0);
  else
    MoveWindow(0, 0, rcReference.right - rcReference.left, rcReference.bottom - rcReference.top,
               TRUE);
  FitMirrorTo(hSource);
  m_wndList.TakeColoursOf(hSource, m_hCombo != nullptr ? m_hCombo : ::GetParent(hSource));
  // The host's answer may have ended the panel with its parent: the overlay is off, and the list
  // stays the host's, untouched.
  if (m_hWnd == nullptr) return TRUE;
  m_wndList.FitTileToDpi();
  m_link.HookSource(hSource, m_hCombo);
  m_link.VeilSource(true);
  // A new child window starts below its siblings; the overlay must be seen above them, or in the
  // list's own place, where the list was; a pop-up, over everything, as the dropped list. A list
  // the host keeps hidden gets a skin that waits until the host shows it.
  const HWND hAfter = m_hCombo != nullptr ? HWND_TOPMOST : m_bInListsPlace ? hSource : HWND_TOP;
  ::SetWindowPos(m_hWnd, hAfter, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE |
                     (shown ? SWP_SHOWWINDOW : 0));
  UnclipContainer(shown);
  if (sourceHadFocus) m_link.MoveFocus(m_wndList.GetSafeHwnd());
  return m_link.IsHooked() || !::IsWindow(hSource);
}

void COverlayDlg::GiveBack() {
  const HWND hSource = m_link.SourceList();
  const HWND hMirror = m_wndList.GetSafeHwnd();
  m_link.VeilSource(false);
  // The focus the user gave the mirror was the list's own all along: it goes back quietly.
  if (hSource != nullptr && hMirror != nullptr && ::GetFocus() == hMirror)
    m_link.MoveFocus(hSource);
  ShowWindow(SW_HIDE);
  m_link.Unhook();
  UnclipContainer(false);
}

void COverlayDlg::UnclipContainer(bool unclip) {
  // A container keeps off the list with WS_CLIPSIBLINGS while the skin is off; while the skin is
  // seen, a group box or a label above the container would hide it where they do not hide the list.
  // Once the skin is not seen, the container keeps off whatever the host shows there instead.
  if (!unclip) {
    if (::IsWindow(m_hUnclippedContainer))
      ::SetWindowLongA(m_hUnclippedContainer, GWL_STYLE,
                       ::GetWindowLongA(m_hUnclippedContainer, GWL_STYLE) | WS_CLIPSIBLINGS);
    m_hUnclippedContainer = nullptr;
    return;
  }
  // Only a container beside the list, in the list's parent, stands in for the list.
  const HWND hContainer = ::GetParent(m_hWnd);
  const HWND hSource = m_link.SourceList();
  const LONG style = ::GetWindowLongA(hContainer, GWL_STYLE);
  if (m_bInListsPlace || hSource == nullptr || ::GetParent(hContainer) != ::GetParent(hSource) ||
      (style & (WS_CHILD | WS_CLIPSIBLINGS)) != (WS_CHILD | WS_CLIPSIBLINGS) ||
      (::GetWindowLongA(hSource, GWL_STYLE) & WS_CLIPSIBLINGS))
    return;
  ::SetWindowLongA(hContainer, GWL_STYLE, style & ~WS_CLIPSIBLINGS);
  m_hUnclippedContainer = hContainer;
}

void COverlayDlg::OnSize(UINT nType, int cx, int cy) {
  DefWindowProc(WM_SIZE, nType, MAKELPARAM(cx, cy));
  RECT rc;
  GetWindowRect(&rc);
  ScreenToClient(&rc);
  if (m_wndList.m_hWnd == nullptr) return;
  m_wndList.MoveWindow(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
  // A list repaints only what a resize uncovers, but rows drawn to the row's width (a host's
  // right-aligned column) change all over.
  ::InvalidateRect(m_wndList, nullptr, TRUE);
}

LRESULT COverlayDlg::OnMirrorCommand(WPARAM wParam, LPARAM lParam) {
  // The mirror carries the host's list's id: it is told by its window.
  if (reinterpret_cast<HWND>(lParam) == m_wndList.GetSafeHwnd() && HIWORD(wParam) == LBN_SELCHANGE)
    m_link.ForwardSelection();
  return 0;
}

void COverlayDlg::OnSourceResized(int cx, int cy) {
  if (m_bInListsPlace)
    OnSourceMoved();
  else
    MoveWindow(0, 0, cx, cy, TRUE);
}

void COverlayDlg::OnSourceShown(bool shown, const WINDOWPOS& to) {
  if (m_hCombo != nullptr) {
    // The combo box drops its list, placing it as it shows it: the panel is seen where the list
    // is going, over everything, as the list is; a pointer's light is the list's last drop's.
    m_wndList.LightTrackedRow(nullptr);
    if (!shown) {
      ShowWindow(SW_HIDE);
      return;
    }
    RECT rc = {};
    ::GetWindowRect(m_link.SourceList(), &rc);
    const int x = (to.flags & SWP_NOMOVE) ? rc.left : to.x;
    const int y = (to.flags & SWP_NOMOVE) ? rc.top : to.y;
    const int cx = (to.flags & SWP_NOSIZE) ? rc.right - rc.left : to.cx;
    const int cy = (to.flags & SWP_NOSIZE) ? rc.bottom - rc.top : to.cy;
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, x, y, cx, cy, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    return;
  }
  ::ShowWindow(m_hWnd, shown ? SW_SHOWNA : SW_HIDE);
  UnclipContainer(shown);
}

void COverlayDlg::OnSourceTracksPointer(POINT at) {
  // A dropped list selects the row under the pointer as it moves, holding the mouse, so the mirror
  // hears nothing of the pointer: the list's tracking lights the row instead. A child panel's list
  // holds the mouse only for a drag, which lights no row.
  if (m_hCombo != nullptr) m_wndList.LightTrackedRow(&at);
}

void COverlayDlg::OnSourceMoved() {
  if (!m_bInListsPlace) return;
  // In the list's own place, the skin goes where the host puts its list, in another parent too.
  const HWND hSource = m_link.SourceList();
  const HWND hParent = ::GetParent(hSource);
  if (m_hCombo == nullptr && hParent != ::GetParent(m_hWnd) && hParent != nullptr &&
      ::GetWindowThreadProcessId(hParent, nullptr) == ::GetCurrentThreadId()) {
    ::SetParent(m_hWnd, hParent);
    PlaceOverList(hSource, 0);
    return;
  }
  PlaceOverList(hSource, SWP_NOZORDER);
}

void COverlayDlg::PlaceOverList(HWND hSource, UINT flags) {
  RECT rc = {};
  ::GetWindowRect(hSource, &rc);
  // Just after the list in z-order, which is its place in the tab order too; a pop-up keeps its
  // place over everything.
  if (m_hCombo != nullptr)
    flags |= SWP_NOZORDER;
  else
    ::MapWindowPoints(nullptr, ::GetParent(m_hWnd), reinterpret_cast<POINT*>(&rc), 2);
  ::SetWindowPos(m_hWnd, hSource, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOACTIVATE | flags);
}

bool COverlayDlg::ScheduleCatchUp() {
  // Posted, so that any message loop of the host delivers it, its modal loops included. A loop
  // delivers posted messages before timers: a timer that comes while the catch-up has not means
  // the host's loop threw it away, and the timer catches up instead.
  if (!m_bCatchUpTimerSet)
    m_bCatchUpTimerSet = ::SetTimer(m_hWnd, kCatchUpTimer, kCatchUpTimerMs, nullptr) != 0;
  return ::PostMessageA(m_hWnd, CatchUpMessage(), 0, 0) != FALSE;
}

LRESULT COverlayDlg::OnCatchUp(WPARAM, LPARAM) {
  m_link.CatchUp();
  return 0;
}

LRESULT COverlayDlg::OnCatchUpTimer(WPARAM id, LPARAM) {
  if (id != kCatchUpTimer) return 0;
  ::KillTimer(m_hWnd, kCatchUpTimer);
  m_bCatchUpTimerSet = false;
  m_link.CatchUp();
  return 0;
}

void COverlayDlg::OnSourceGone() {
  // Nothing of the old list may stay on screen over whatever the host puts there next.
  ShowWindow(SW_HIDE);
  UnclipContainer(false);
  if (m_pfnListGone != nullptr) m_pfnListGone(this);
}

void COverlayDlg::PostNcDestroy() {
  // The host destroyed the panel's parent with the overlay on, or the library ended it: the list
  // is seen again as the host last showed it, and the library lets go of it.
  m_link.LetGo();
  // Nothing is drawn any more: the picture and its canvas need not wait for the object's end.
  m_wndList.ReleaseTile();
  // Whatever went first, the list or the panel (a dialog's children go from the top of the z-order
  // down), a panel the library did not end itself leaves the overlay off.
  if (m_pfnDestroyedByHost != nullptr) m_pfnDestroyedByHost(this);
}
