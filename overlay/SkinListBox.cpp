#include "overlay/SkinListBox.h"

#include "bridge/SourceLink.h"
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
  switch (message) {
    case WM_PAINT:
      if (!m_bCanvasReady) MakeCanvas();
      break;
    case WM_LBUTTONDBLCLK:
      // The source handles the double-click instead of the mirror.
      if (m_pLink != nullptr) m_pLink->HandBackDoubleClick(wParam, lParam);
      return 1;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      if (m_pLink != nullptr) m_pLink->HandBackRightButton(message, wParam, lParam);
      break;
    default:
      break;
  }
  return CListBox::WindowProc(message, wParam, lParam);
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

HBRUSH CSkinListBox::CtlColor(CDC*, UINT) { return nullptr; }

int CSkinListBox::OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }

void CSkinListBox::TakeColoursOf(HWND hSource) {
  CBorrowedWindowDC dcSource(hSource, CBorrowedWindowDC::WholeWindow);
  if (dcSource.GetSafeHdc() == nullptr) return;
  m_crText = ::GetTextColor(dcSource);
  m_crBack = ::GetBkColor(dcSource);
}
