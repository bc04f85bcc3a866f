#include "overlay/SkinListBox.h"

#include "bridge/SourceLink.h"
#include "include/kslHook.h"
#include "overlay/Contrast.h"
#include "overlay/Tile.h"

namespace {
// Sent where the system gives windows DPIs of their own (Windows 8.1 and 10 on): to a top-level
// window, and to its children after it.
constexpr UINT kDpiChanged = 0x02E0;
constexpr UINT kDpiChangedAfterParent = 0x02E3;
}  // namespace

BEGIN_MESSAGE_MAP(CSkinListBox, CListBox)
  ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

// The look of a new skin is the classic one: a dark blue selection bar over the picture, the
// system's dotted focus rectangle, no hover look, a disabled list as an enabled one.
CSkinListBox::CSkinListBox()
    : m_look{RGB(0, 0, 0),      RGB(0x00, 0x00, 0x88), CLR_DEFAULT, RGB(0x00, 0x00, 0x88),
             CLR_DEFAULT,       CLR_DEFAULT,           255,         0,
             255,               KSLFOCUS_DOTTED},
      m_crHostBack(::GetSysColor(COLOR_WINDOW)) {
  // The tile is there from the start, so that setters called before the first paint take effect;
  // it is made for the window's DPI once there is a window.
  MakeLookTiles(DefaultTile(96), m_look, &m_tiles);
}

CSkinListBox::~CSkinListBox() = default;

namespace {

// What a reader (a screen reader, a test tool, the host itself) asks a list about its rows, its
// selection and itself. The skin keeps none of it: the host's list answers.
bool IsReadersQuestion(UINT message) {
  switch (message) {
    case LB_GETCOUNT:
    case LB_GETTEXT:
    case LB_GETTEXTLEN:
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
    case LB_GETITEMDATA:
    case LB_GETSEL:
    case LB_GETCURSEL:
    case LB_GETSELCOUNT:
    case LB_GETSELITEMS:
    case LB_GETCARETINDEX:
    case LB_GETANCHORINDEX:
    case LB_GETLOCALE:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case WM_GETOBJECT:
      return true;
    default:
      return false;
  }
}

}  // namespace

LRESULT CSkinListBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (message == kDpiChanged || message == kDpiChangedAfterParent) {
    FitTileToDpi();
    RepaintNow();
  }
  if (IsReadersQuestion(message)) {
    if (m_pLink != nullptr && m_pLink->IsHooked())
      return m_pLink->AnswerReader(message, wParam, lParam);
    // Without the host's list there are no texts: a list without data would write a pointer's
    // worth into a reader's room for a character.
    if (message == LB_GETTEXT || message == LB_GETTEXTLEN) return LB_ERR;
  }
  TrackPointer(message, wParam, lParam);
  if (m_pLink != nullptr && m_pLink->IsHooked() && HandBack(message, wParam, lParam, &result))
    return result;
  if (message == WM_PAINT && m_pLink != nullptr) {
    m_pLink->PaintingRows(true);
    result = CListBox::WindowProc(message, wParam, lParam);
    if (m_pLink != nullptr) m_pLink->PaintingRows(false);
    return result;
  }
  return CListBox::WindowProc(message, wParam, lParam);
}

bool CSkinListBox::HandBack(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  switch (message) {
    case WM_LBUTTONUP:
      // A mirror that selects rows itself ends the user's click with the row the user chose, not
      // with what the host did to its list meanwhile (a handler clearing its selection as the
      // click took the focus): the click is replayed first, and the catch-up follows it.
      if (m_pLink->MirrorSelectsItself()) break;
      [[fallthrough]];
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_CONTEXTMENU:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_MOUSEWHEEL:
    case WM_VSCROLL:
    case WM_HSCROLL:
      // The user acts on what the host's changes made of the list: whatever still waits for the
      // host's loop is shown first.
      m_pLink->CatchUp();
      break;
    default:
      break;
  }
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      // A single-selection list selects the row itself, and its selection is replayed on the
      // host's list as a click, unless the host's list takes the gesture at the press (a drag
      // list); any other list hands the click over as it is.
      // The focus goes where the host's list would put it: on the list, or the list's combo box.
      if (message == WM_LBUTTONDOWN && !m_pLink->FocusGoesElsewhere() && ::GetFocus() != m_hWnd)
        ::SetFocus(m_hWnd);
      if (m_pLink->MirrorSelectsItself()) {
        *pResult = 0;
        if (m_pLink->OfferButton(message, wParam, lParam)) return true;
        *pResult = CListBox::WindowProc(message, wParam, lParam);
        // The click is replayed: what the host did meanwhile shows now.
        if (message == WM_LBUTTONUP) m_pLink->CatchUp();
        return true;
      }
      *pResult = m_pLink->HandBackMouse(message, wParam, lParam);
      return true;
    case WM_LBUTTONDBLCLK:
      // The host's list handles the double-click instead of the mirror.
      m_pLink->HandBackMouse(message, wParam, lParam);
      *pResult = 1;
      return true;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
      // The host's list answers the button, and its context menu follows from it.
      *pResult = m_pLink->HandBackMouse(message, wParam, lParam);
      return true;
    case WM_CONTEXTMENU:
      m_pLink->HandBackContextMenu(lParam);
      return true;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
      *pResult = m_pLink->HandBackKey(message, wParam, lParam);
      return true;
    case WM_GETDLGCODE:
      *pResult = m_pLink->SourceDialogCode(wParam, lParam);
      return true;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      *pResult = CListBox::WindowProc(message, wParam, lParam);
      m_pLink->HandBackFocus(message, reinterpret_cast<HWND>(wParam));
      return true;
    case WM_MOUSEWHEEL:
    case WM_VSCROLL:
    case WM_HSCROLL:
      *pResult = CListBox::WindowProc(message, wParam, lParam);
      m_pLink->FollowMirrorScroll();
      return true;
    default:
      return false;
  }
}

void CSkinListBox::ReleaseTile() {
  m_hostRow.Release();
  m_skinRow.Release();
  LookTiles none;
  m_tiles.Swap(none);
}

void CSkinListBox::FitTileToDpi() {
  const UINT dpi = WindowDpi(m_hWnd);
  if (!m_tiles.base || dpi == m_nTileDpi || !m_tiles.base->Scales()) return;
  // Without the memory for new tiles, the list keeps the ones it has.
  LookTiles fitted;
  if (!MakeLookTiles(RefittedTile(m_tiles.base.Get(), dpi, m_crHostBack), m_look, &fitted)) return;
  m_tiles.Swap(fitted);
  m_nTileDpi = dpi;
}

void CSkinListBox::TakeColoursOf(HWND hSource, HWND hAsked) {
  CBorrowedWindowDC dcSource(hSource, CBorrowedWindowDC::ClientArea);
  if (dcSource.GetSafeHdc() == nullptr) return;
  // The host colours its list in its answer to this message; the brush it returns stays its own.
  HBRUSH hHostBrush = nullptr;
  if (hAsked != nullptr)
    hHostBrush = reinterpret_cast<HBRUSH>(
        ::SendMessageA(hAsked, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dcSource.GetSafeHdc()),
                       reinterpret_cast<LPARAM>(hSource)));
  LOGBRUSH hostBrush = {};
  m_crHostBack = hHostBrush != nullptr && ::GetObjectA(hHostBrush, sizeof hostBrush, &hostBrush) &&
                         hostBrush.lbStyle == BS_SOLID
                     ? hostBrush.lbColor
                     : ::GetSysColor(COLOR_WINDOW);
  m_look.crText = ::GetTextColor(dcSource);
  m_bTextByContrast = m_look.crText == ::GetSysColor(COLOR_WINDOWTEXT);
  FollowTile();
}

void CSkinListBox::FollowTile() {
  if (!m_bTextByContrast || m_hWnd == nullptr || !m_tiles.base) return;
  m_look.crText = BlackOrWhiteOn(m_tiles.base->Luminance());
}

COLORREF CSkinListBox::TextColourOn(const CSharedTile* fill, COLORREF chosen) const {
  if (chosen != CLR_DEFAULT) return chosen;
  if (fill == nullptr) return m_look.crText;
  // As readable as the guidelines ask, or as the system's own selected rows, where those are less.
  const double systemContrast =
      ContrastRatio(::GetSysColor(COLOR_HIGHLIGHTTEXT), ::GetSysColor(COLOR_HIGHLIGHT));
  const double needed = systemContrast < 4.5 ? systemContrast : 4.5;
  if (ContrastRatio(RelativeLuminance(m_look.crText), fill->Luminance()) >= needed)
    return m_look.crText;
  return BlackOrWhiteOn(fill->Luminance());
}

void CSkinListBox::LightRow(int row) {
  if (row == m_nHotRow) return;
  // Only the two rows that change are drawn again, without their background erased.
  const int changed[2] = {m_nHotRow, row};
  for (int i = 0; i < 2; ++i) {
    if (changed[i] < 0) continue;
    const RECT rc = RowRect(changed[i]);
    ::InvalidateRect(m_hWnd, &rc, FALSE);
  }
  m_nHotRow = row;
}

void CSkinListBox::LightTrackedRow(const POINT* at) {
  if (m_hWnd == nullptr || !m_tiles.hot) return;
  POINT pt = at != nullptr ? *at : POINT{};
  RECT client = {};
  ::ScreenToClient(m_hWnd, &pt);
  ::GetClientRect(m_hWnd, &client);
  const int row = at != nullptr && ::PtInRect(&client, pt) ? RowAt(pt) : -1;
  // A row lit by the mirror's own tracking is drawn again first, with the look it had.
  if (row >= 0 && !m_bHotOverSelection) LightRow(-1);
  m_bHotOverSelection = row >= 0 || m_bHotOverSelection;
  LightRow(row);
}

void CSkinListBox::TrackPointer(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_hWnd == nullptr) return;
  switch (message) {
    case WM_MOUSEMOVE: {
      if (m_bHotOverSelection) LightRow(-1);
      m_bHotOverSelection = false;
      // No hover look, or a button held down for a drag: no row is lit.
      constexpr WPARAM kButtons = MK_LBUTTON | MK_RBUTTON | MK_MBUTTON;
      if (!m_tiles.hot || (wParam & kButtons)) {
        LightRow(-1);
        return;
      }
      if (!m_bTrackingLeave) {
        TRACKMOUSEEVENT leave = {sizeof leave, TME_LEAVE, m_hWnd, 0};
        m_bTrackingLeave = ::TrackMouseEvent(&leave) != FALSE;
      }
      const POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      LightRow(RowAt(pt));
      return;
    }
    case WM_MOUSELEAVE:
      m_bTrackingLeave = false;
      LightRow(-1);
      return;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_CANCELMODE:
    case WM_ENABLE:
      LightRow(-1);
      return;
    case WM_PAINT:
      // The list scrolled, or its rows changed, under a pointer that stayed where it was: the row
      // now under it is lit instead.
      if (m_nHotRow >= 0) {
        POINT pt = {};
        ::GetCursorPos(&pt);
        const bool over = ::WindowFromPoint(pt) == m_hWnd;
        ::ScreenToClient(m_hWnd, &pt);
        LightRow(over ? RowAt(pt) : -1);
      }
      return;
    default:
      return;
  }
}
