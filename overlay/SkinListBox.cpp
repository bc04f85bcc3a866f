#include "overlay/SkinListBox.h"

#include "bridge/SourceLink.h"
#include "overlay/Contrast.h"
#include "res/resource.h"

BEGIN_MESSAGE_MAP(CSkinListBox, CListBox)
  ON_WM_CTLCOLOR_REFLECT()
  ON_WM_CREATE()
  ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CSkinListBox::CSkinListBox()
    : m_bCanvasReady(FALSE), m_crText(RGB(0, 0, 0)), m_crBack(RGB(255, 255, 255)),
      m_crSelect(RGB(0x00, 0x00, 0x88)) {
  m_bmpBack.LoadBitmap(IDB_BACKGROUND);
}

// The members end in reverse order of declaration: the canvas is deleted while the tile is still
// selected into it, then the tile.
CSkinListBox::~CSkinListBox() = default;

LRESULT CSkinListBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (m_pLink != nullptr && m_pLink->IsHooked() && HandBack(message, wParam, lParam, &result))
    return result;
  if (message == WM_PAINT) EnsureCanvas();
  return CListBox::WindowProc(message, wParam, lParam);
}

bool CSkinListBox::HandBack(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
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
      // host's list as a click; any other list hands the click over as it is.
      if (m_pLink->MirrorSelectsItself()) return false;
      if (message == WM_LBUTTONDOWN && ::GetFocus() != m_hWnd) ::SetFocus(m_hWnd);
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

void CSkinListBox::MakeCanvas() {
  // Once only, even when it fails: every later paint copies from what this made.
  m_bCanvasReady = TRUE;
  {
    CBorrowedWindowDC dcList(m_hWnd, CBorrowedWindowDC::ClientArea);
    m_dcMem.CreateCompatibleDC(&dcList);
  }
  m_dcMem.SelectObject(&m_bmpBack);
}

void CSkinListBox::ReleaseTile() {
  m_dcMem.DeleteDC();
  m_bmpBack.DeleteObject();
}

HBRUSH CSkinListBox::CtlColor(CDC*, UINT) { return nullptr; }

int CSkinListBox::OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }

void CSkinListBox::TakeColoursOf(HWND hSource) {
  // The tile is ready from now on, so that setters called before the first paint take effect.
  EnsureCanvas();
  CBorrowedWindowDC dcSource(hSource, CBorrowedWindowDC::ClientArea);
  if (dcSource.GetSafeHdc() == nullptr) return;
  // The host colours its list in its answer to this message; the brush it returns stays its own.
  if (HWND hParent = ::GetParent(hSource))
    ::SendMessageA(hParent, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dcSource.GetSafeHdc()),
                   reinterpret_cast<LPARAM>(hSource));
  m_crText = ::GetTextColor(dcSource);
  m_crBack = ::GetBkColor(dcSource);
  m_bTextByContrast = m_crText == ::GetSysColor(COLOR_WINDOWTEXT);
  FollowTile();
}

void CSkinListBox::FollowTile() {
  if (!m_bTextByContrast || m_hWnd == nullptr) return;
  EnsureCanvas();
  BITMAP tile = {};
  if (m_dcMem.GetSafeHdc() == nullptr || !m_bmpBack.GetBitmap(&tile)) return;
  m_crText = BlackOrWhiteOn(MeanLuminance(m_dcMem, tile.bmWidth, tile.bmHeight));
}

COLORREF CSkinListBox::SelectedTextColour() const {
  // As readable as the guidelines ask, or as the system's own selected rows, where those are less.
  const double systemContrast =
      ContrastRatio(::GetSysColor(COLOR_HIGHLIGHTTEXT), ::GetSysColor(COLOR_HIGHLIGHT));
  const double needed = systemContrast < 4.5 ? systemContrast : 4.5;
  if (ContrastRatio(m_crText, m_crSelect) >= needed) return m_crText;
  return BlackOrWhiteOn(RelativeLuminance(m_crSelect));
}
