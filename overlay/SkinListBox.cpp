#include "overlay/SkinListBox.h"

#include "bridge/SourceLink.h"
#include "overlay/Contrast.h"
#include "overlay/Tile.h"
#include "res/resource.h"

namespace {
// Sent where the system gives windows DPIs of their own (Windows 8.1 and 10 on): to a top-level
// window, and to its children after it.
constexpr UINT kDpiChanged = 0x02E0;
constexpr UINT kDpiChangedAfterParent = 0x02E3;
}  // namespace

BEGIN_MESSAGE_MAP(CSkinListBox, CListBox)
  ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CSkinListBox::CSkinListBox()
    : m_crText(RGB(0, 0, 0)), m_crSelect(RGB(0x00, 0x00, 0x88)),
      m_crHostBack(::GetSysColor(COLOR_WINDOW)) {
  m_bmpBack.LoadBitmap(IDB_BACKGROUND);
  // Kept to be scaled for the window's DPI, once there is a window.
  m_bmpPicture.Attach(PictureOfBitmap(m_bmpBack));
  // The canvas holds the tile from the start, so that setters called before the first paint take
  // effect; a memory DC of the screen's kind is one of the list's kind.
  if (m_dcMem.CreateCompatibleDC(nullptr)) m_dcMem.SelectObject(&m_bmpBack);
  if (m_bmpBack.GetSafeHandle() != nullptr)
    MakeTileBrush(m_bmpBack, &m_brTile, &m_nBrushHeight);
}

// The members end in reverse order of declaration: the brush, then the canvas while the tile is
// still selected into it, then the tile.
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

bool CSkinListBox::MakeTileBrush(HBITMAP hTile, CBrush* pBrush, int* pHeight) const {
  // Painting fills with the tile as a brush: one fill a rectangle, whatever the tile's size.
  BITMAP tile = {};
  if (m_dcMem.GetSafeHdc() == nullptr || !::GetObjectA(hTile, sizeof tile, &tile)) return false;
  const int W = tile.bmWidth;
  const int H = tile.bmHeight < 0 ? -tile.bmHeight : tile.bmHeight;
  CBrush narrow;
  if (!narrow.Attach(::CreatePatternBrush(hTile))) return false;
  // A brush is filled in by its cells, so a tiny tile would cost a fill for every few pixels: it
  // is widened once, the same picture repeated, to a size that costs no more than a usual tile.
  // Where that cannot be made, the tile's own brush does.
  constexpr int kCheapSide = 64;
  const int wide = W * ((kCheapSide + W - 1) / W);
  const int high = H * ((kCheapSide + H - 1) / H);
  CBitmap widened;
  CDC canvas;
  if ((wide != W || high != H) &&
      widened.Attach(::CreateCompatibleBitmap(m_dcMem, wide, high)) &&
      canvas.CreateCompatibleDC(const_cast<CDC*>(&m_dcMem))) {
    const HGDIOBJ previous = canvas.SelectObject(&widened);
    const RECT all = {0, 0, wide, high};
    canvas.FillRect(&all, &narrow);
    ::SelectObject(canvas, previous);
    if (pBrush->Attach(::CreatePatternBrush(widened))) {
      *pHeight = high;
      return true;
    }
  }
  pBrush->Attach(narrow.Detach());
  *pHeight = H;
  return true;
}

void CSkinListBox::ReleaseTile() {
  m_hostRow.Release();
  m_skinRow.Release();
  m_brTile.DeleteObject();
  m_dcMem.DeleteDC();
  m_bmpBack.DeleteObject();
  m_bmpPicture.DeleteObject();
}

bool CSkinListBox::ShowTile(HBITMAP hTile) {
  // Nothing changes until everything the new tile needs is there: its brush first.
  CBitmap tile;
  tile.Attach(hTile);
  CBrush brush;
  int brushHeight = 0;
  if (!MakeTileBrush(hTile, &brush, &brushHeight)) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  // The canvas holds the current tile selected: the new one goes in before the old one is deleted
  // (at the end of this scope, with the old brush).
  if (m_dcMem.SelectObject(&tile) == nullptr) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  CBitmap previous;
  previous.Attach(m_bmpBack.Detach());
  m_bmpBack.Attach(tile.Detach());
  CBrush previousBrush;
  previousBrush.Attach(m_brTile.Detach());
  m_brTile.Attach(brush.Detach());
  m_nBrushHeight = brushHeight;
  FollowTile();
  return true;
}

void CSkinListBox::FitTileToDpi() {
  const UINT dpi = WindowDpi(m_hWnd);
  if (m_bmpPicture.GetSafeHandle() == nullptr || dpi == m_nTileDpi) return;
  // Without the memory for a new tile, the list keeps the one it has.
  if (HBITMAP hTile = MakeTile(m_bmpPicture, m_bTransparent, m_crHostBack, dpi)) {
    if (ShowTile(hTile)) m_nTileDpi = dpi;
  }
}

void CSkinListBox::TakeColoursOf(HWND hSource) {
  CBorrowedWindowDC dcSource(hSource, CBorrowedWindowDC::ClientArea);
  if (dcSource.GetSafeHdc() == nullptr) return;
  // The host colours its list in its answer to this message; the brush it returns stays its own.
  HBRUSH hHostBrush = nullptr;
  if (HWND hParent = ::GetParent(hSource))
    hHostBrush = reinterpret_cast<HBRUSH>(
        ::SendMessageA(hParent, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dcSource.GetSafeHdc()),
                       reinterpret_cast<LPARAM>(hSource)));
  LOGBRUSH hostBrush = {};
  m_crHostBack = hHostBrush != nullptr && ::GetObjectA(hHostBrush, sizeof hostBrush, &hostBrush) &&
                         hostBrush.lbStyle == BS_SOLID
                     ? hostBrush.lbColor
                     : ::GetSysColor(COLOR_WINDOW);
  m_crText = ::GetTextColor(dcSource);
  m_bTextByContrast = m_crText == ::GetSysColor(COLOR_WINDOWTEXT);
  FollowTile();
}

void CSkinListBox::FollowTile() {
  if (!m_bTextByContrast || m_hWnd == nullptr) return;
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
