#include "HostWindow.h"

#include <commdlg.h>

#include <cstring>
#include <utility>

#include <kslHook.h>

namespace demo {
namespace {

enum ControlId {
  kSkinButton = 101,
  kPictureButton,
  kBackgroundButton,
  kTextButton,
  kViewButton,
  kQueueButton,
  kSettingsButton,
  kList = 201,
  kStatus,
  kQueue,
  kOrder,
  kSettingsDialog = 300,  // the dialog template and its controls
  kOutputList,
  kGenreList,
  kEqualizerCombo,
  kCrossfadeCombo,
};

constexpr char kFrameClass[] = "kslHookDemoHost";
constexpr int kRowCount = 300;
constexpr int kClientWidth = 800;
constexpr int kQueueWidth = 190;
constexpr int kClientHeight = 440;
// The skin puts the text after a tab at 400 pixels; the plain list is given the same column.
constexpr int kColumnX = 400;
constexpr int kIconRowHeight = 20;
// The four kinds of row in the icon view, each with a colour of its own.
constexpr COLORREF kKindColours[] = {RGB(0xD9, 0x53, 0x4F), RGB(0x5B, 0xC0, 0xDE),
                                     RGB(0x5C, 0xB8, 0x5C), RGB(0xF0, 0xAD, 0x4E)};

const char* const kAdjectives[] = {"Quiet", "Northern", "Golden", "Paper", "Late", "Silver",
                                   "Hidden", "Electric", "Slow", "Winter", "Borrowed", "Open"};
const char* const kNouns[] = {"Harbour", "Lanterns", "Orchard", "Engines", "Rooftops", "Tide",
                              "Letters", "Meadow", "Signals", "Staircase", "Comet", "Bridges",
                              "Rain"};

// The message a drag list sends its parent.
UINT DragListMessage() {
  static const UINT message = ::RegisterWindowMessage(DRAGLISTMSGSTRING);
  return message;
}

template <size_t N>
const char* Pick(const char* const (&words)[N], int i) {
  return words[static_cast<size_t>(i) % N];
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The picture becomes the skin's background: the Unicode call tells the host why when it does not.
std::string ShowPicture(const std::string& path) {
  std::wstring wide(path.size() + 1, L'\0');
  wide.resize(static_cast<size_t>(::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0],
                                                        static_cast<int>(wide.size()))));
  if (kslHookSetBkBmpW(wide.c_str())) return "kslHookSetBkBmpW: " + FileNameOf(path);
  return "kslHookSetBkBmpW refused " + FileNameOf(path) + ": error " +
         std::to_string(::GetLastError());
}

std::string ColourName(COLORREF colour) {
  char text[16];
  wsprintfA(text, "#%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
  return text;
}

void RegisterFrameClass(HINSTANCE hInstance, WNDPROC frameProc) {
  WNDCLASSA wc = {};
  wc.hInstance = hInstance;
  wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpfnWndProc = frameProc;
  wc.lpszClassName = kFrameClass;
  wc.hIcon = ::LoadIcon(nullptr, IDI_APPLICATION);
  ::RegisterClassA(&wc);  // fails harmlessly when the class is there already
}

}  // namespace

std::string PicturesFolder() {
  char path[MAX_PATH] = {};
  const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string program(path, n);
  return program.substr(0, program.find_last_of("\\/") + 1) + "pictures\\";
}

HostWindow::HostWindow(HINSTANCE hInstance, int x, int y) {
  RegisterFrameClass(hInstance, FrameProc);
  const DWORD style = WS_OVERLAPPEDWINDOW;
  RECT rc = {0, 0, kClientWidth, kClientHeight};
  ::AdjustWindowRect(&rc, style, FALSE);
  m_hWnd = ::CreateWindowExA(0, kFrameClass, "kslHook demo host", style, x, y, rc.right - rc.left,
                             rc.bottom - rc.top, nullptr, nullptr, hInstance, this);
  if (m_hWnd == nullptr) return;
  CreateControls(hInstance);
  FillList();
  FillQueue();
  Layout();
  ::ShowWindow(m_hWnd, SW_SHOW);
  ::UpdateWindow(m_hWnd);
  ShowStatus("Ready: the host's own list box, " + std::to_string(kRowCount) + " rows.");
}

HostWindow::~HostWindow() {
  if (!::IsWindow(m_hWnd)) return;
  onStatus = nullptr;
  SetSkin(false);
  SetQueueSkin(false);
  ::SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
  ::DestroyWindow(m_hWnd);
}

void HostWindow::CreateControls(HINSTANCE hInstance) {
  auto child = [&](DWORD exStyle, const char* cls, const char* text, DWORD style, int x, int y,
                   int w, int h, HWND hParent, int id) {
    HWND hChild = ::CreateWindowExA(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h,
                                    hParent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                    hInstance, nullptr);
    ::SendMessageA(hChild, WM_SETFONT,
                   reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return hChild;
  };
  m_hSkinButton = child(0, "BUTTON", "Skin on", WS_TABSTOP | BS_PUSHBUTTON, 10, 10, 90, 26,
                        m_hWnd, kSkinButton);
  child(0, "BUTTON", "Background picture...", WS_TABSTOP, 105, 10, 140, 26, m_hWnd, kPictureButton);
  child(0, "BUTTON", "Background colour...", WS_TABSTOP, 250, 10, 135, 26, m_hWnd,
        kBackgroundButton);
  child(0, "BUTTON", "Text colour...", WS_TABSTOP, 390, 10, 100, 26, m_hWnd, kTextButton);
  child(0, "BUTTON", "Icon view", WS_TABSTOP, 495, 10, 95, 26, m_hWnd, kViewButton);
  m_hQueueButton = child(0, "BUTTON", "Skin queue", WS_TABSTOP, 600, 10, 100, 26, m_hWnd,
                         kQueueButton);
  m_hSettingsButton = child(0, "BUTTON", "Settings...", WS_TABSTOP, 705, 10, 85, 26, m_hWnd,
                            kSettingsButton);
  m_hOrder = child(0, "COMBOBOX", "", WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST, 600, 46,
                   kQueueWidth, 200, m_hWnd, kOrder);
  for (const char* order : {"Play in order", "Shuffle", "Repeat one", "Repeat all", "By artist",
                            "By album", "Most played"})
    ::SendMessageA(m_hOrder, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(order));
  ::SendMessageA(m_hOrder, CB_SETCURSEL, 0, 0);
  m_hQueue = child(WS_EX_CLIENTEDGE, "LISTBOX", "",
                   WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 600, 76,
                   kQueueWidth, 320, m_hWnd, kQueue);
  m_hStatus = child(0, "STATIC", "", SS_SUNKEN | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE, 10, 406, 580,
                    24, m_hWnd, kStatus);
  CreateList(false);
}

void HostWindow::CreateList(bool iconView) {
  const DWORD kind = iconView ? LBS_OWNERDRAWFIXED | LBS_HASSTRINGS : LBS_USETABSTOPS;
  m_hList = ::CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "",
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY |
                                  LBS_NOINTEGRALHEIGHT | kind,
                              10, 46, 580, 350, m_hWnd,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(kList)),
                              reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(m_hWnd, GWLP_HINSTANCE)),
                              nullptr);
  ::SendMessageA(m_hList, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
  if (iconView) ::SendMessageA(m_hList, LB_SETITEMHEIGHT, 0, kIconRowHeight);
  ::MakeDragList(m_hList);
  m_bIconView = iconView;
}

void HostWindow::Layout() {
  // The list takes what the buttons and the status line leave; the skin follows the list.
  RECT client = {};
  ::GetClientRect(m_hWnd, &client);
  if (m_hList == nullptr || client.right < 200 || client.bottom < 150) return;
  const int queueX = client.right - 10 - kQueueWidth;
  ::MoveWindow(m_hList, 10, 46, queueX - 20, client.bottom - 46 - 44, TRUE);
  ::MoveWindow(m_hOrder, queueX, 46, kQueueWidth, 200, TRUE);
  ::MoveWindow(m_hQueue, queueX, 76, kQueueWidth, client.bottom - 76 - 44, TRUE);
  ::MoveWindow(m_hStatus, 10, client.bottom - 34, client.right - 20, 24, TRUE);
}

void HostWindow::Resize(int width, int height) {
  RECT rc = {0, 0, width, height};
  ::AdjustWindowRect(&rc, static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE)), FALSE);
  ::SetWindowPos(m_hWnd, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowStatus("The host's window is now " + std::to_string(width) + " x " + std::to_string(height) +
             ": its layout code moved the list, the skin followed");
}

void HostWindow::UseIconView() {
  const bool skinned = m_bSkinned;
  SetSkin(false);
  ::DestroyWindow(m_hList);
  CreateList(true);
  FillList();
  Layout();
  if (skinned) SetSkin(true);
  ShowStatus("View: the host draws its rows itself, a picture of each row's kind and two columns");
}

// The icon view's rows, as the host draws them on its own list: its window colour (the highlight
// on a selected row), a small square in the colour of the row's kind, the title, and the time
// right-aligned in a column of its own.
void HostWindow::DrawRow(const DRAWITEMSTRUCT& item) const {
  if (item.itemID == static_cast<UINT>(-1)) return;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  RECT rc = item.rcItem;
  ::FillRect(item.hDC, &rc, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  const RECT icon = {rc.left + 4, rc.top + 3, rc.left + 18, rc.top + 17};
  HBRUSH kindBrush = ::CreateSolidBrush(kKindColours[item.itemID % 4]);
  ::FillRect(item.hDC, &icon, kindBrush);
  ::DeleteObject(kindBrush);
  char text[96] = {};
  ::SendMessageA(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(text));
  char* tab = std::strchr(text, '\t');
  const char* time = "";
  if (tab != nullptr) {
    *tab = '\0';
    time = tab + 1;
  }
  ::SetBkMode(item.hDC, TRANSPARENT);
  ::SetTextColor(item.hDC, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  RECT title = {rc.left + 26, rc.top, rc.right - 80, rc.bottom};
  ::DrawTextA(item.hDC, text, -1, &title, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
  RECT column = {rc.right - 76, rc.top, rc.right - 8, rc.bottom};
  ::DrawTextA(item.hDC, time, -1, &column, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
}

void HostWindow::FillList() {
  // Tab stops are in quarters of the font's average letter width.
  HDC hdc = ::GetDC(m_hList);
  HGDIOBJ hOldFont = ::SelectObject(hdc, ::GetStockObject(DEFAULT_GUI_FONT));
  SIZE letters = {};
  const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  ::GetTextExtentPoint32A(hdc, kLetters, 52, &letters);
  ::SelectObject(hdc, hOldFont);
  ::ReleaseDC(m_hList, hdc);
  const int averageWidth = letters.cx > 0 ? (letters.cx / 26 + 1) / 2 : 6;
  int tabStop = kColumnX * 4 / averageWidth;
  ::SendMessageA(m_hList, LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&tabStop));

  ::SendMessageA(m_hList, WM_SETREDRAW, FALSE, 0);
  for (int i = 0; i < kRowCount; ++i) {
    const int seconds = 125 + (i * 37) % 240;
    char row[96];
    wsprintfA(row, "%03d   %s %s\t%d:%02d", i + 1, Pick(kAdjectives, i * 5), Pick(kNouns, i * 7),
              seconds / 60, seconds % 60);
    ::SendMessageA(m_hList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
  }
  ::SendMessageA(m_hList, WM_SETREDRAW, TRUE, 0);
}

void HostWindow::FillQueue() {
  for (int i = 0; i < 12; ++i) {
    char row[64];
    wsprintfA(row, "Up next %d: %s %s", i + 1, Pick(kAdjectives, i * 3 + 1), Pick(kNouns, i * 5));
    ::SendMessageA(m_hQueue, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
  }
}

void HostWindow::SetQueueSkin(bool on) {
  if (on == (m_hQueueSkin != nullptr)) return;
  if (!on) {
    kslSkinDetach(m_hQueueSkin);
    m_hQueueSkin = nullptr;
    ::SetWindowTextA(m_hQueueButton, "Skin queue");
    ShowStatus("kslSkinDetach: the queue is the host's own list again");
    return;
  }
  // A skin of its own: the handle names it for the setters, which change this skin alone.
  // The queue's own skin replaces the one the auto-attach gave it.
  kslSkinDetach(kslSkinOf(m_hQueue));
  m_hQueueSkin = kslSkinAttach(m_hQueue);
  if (m_hQueueSkin == nullptr) {
    ShowStatus("kslSkinAttach refused the queue: error " + std::to_string(::GetLastError()));
    return;
  }
  wchar_t picture[MAX_PATH] = {};
  ::MultiByteToWideChar(CP_ACP, 0, (PicturesFolder() + "forest.bmp").c_str(), -1, picture,
                        MAX_PATH);
  kslSkinSetBkImageW(m_hQueueSkin, picture);
  kslSkinSetFgColor(m_hQueueSkin, RGB(0xFF, 0xFF, 0xFF));
  ::SetWindowTextA(m_hQueueButton, "Unskin queue");
  ShowStatus("kslSkinAttach: the queue skinned too, with a look of its own (forest.bmp)");
}

void HostWindow::UseQueueLook() {
  if (m_hQueueSkin == nullptr) return;
  // The fields the mask names change, all in one call and one repaint; the picture stays.
  KSLLOOK look = {};
  look.cbSize = sizeof look;
  look.fMask = KSLLOOK_SELECTION | KSLLOOK_HOT | KSLLOOK_FOCUS;
  look.crSelBk = RGB(0xFF, 0xB8, 0x30);
  look.bSelAlpha = 120;  // the forest shows through the selection
  look.crSelText = KSLCLR_DEFAULT;
  look.crHotBk = RGB(0xFF, 0xFF, 0xFF);
  look.bHotAlpha = 64;   // the row under the pointer lights up
  look.crHotText = KSLCLR_DEFAULT;
  look.nFocusStyle = KSLFOCUS_SOLID;
  if (kslSkinSetLook(m_hQueueSkin, &look))
    ShowStatus("kslSkinSetLook: the queue's selection lets the picture through, its rows light up");
  else
    ShowStatus("kslSkinSetLook refused: error " + std::to_string(::GetLastError()));
}

void HostWindow::SetSkin(bool on) {
  if (on == m_bSkinned) return;
  // One call switches the skin on and the next switches it off; the arguments of the second are
  // not read. The list as its own reference: the skin lies on the list's place and follows it.
  // The library answers 0 either way: a host keeps count of its calls. (Over a list of this
  // thread's, with a parent, the skin goes on.)
  kslCreateHook(m_hList, m_hList);
  m_bSkinned = on;
  ::SetWindowTextA(m_hSkinButton, m_bSkinned ? "Skin off" : "Skin on");
  if (m_bSkinned) ApplyLook();
  ShowStatus(on ? "kslCreateHook: skin on, over the host's list"
                : "kslCreateHook: skin off, the host's list is back");
}

void HostWindow::ApplyLook() {
  if (!m_picture.empty()) ShowPicture(m_picture);
  if (m_background != kNotChosen) kslHookSetBkColor(m_background);
  if (m_text != kNotChosen) kslHookSetFgColor(m_text);
}

void HostWindow::UsePicture(const std::string& path) {
  m_picture = path;
  m_background = kNotChosen;
  ShowStatus(m_bSkinned ? ShowPicture(path)
                        : "kslHookSetBkBmpW: " + FileNameOf(path) + " (used when the skin goes on)");
}

void HostWindow::UseBackgroundColour(COLORREF colour) {
  m_background = colour;
  m_picture.clear();
  if (m_bSkinned) kslHookSetBkColor(colour);
  ShowStatus("kslHookSetBkColor: " + ColourName(colour) +
             (m_bSkinned ? std::string() : " (used when the skin goes on)"));
}

void HostWindow::UseTextColour(COLORREF colour) {
  m_text = colour;
  if (m_bSkinned) kslHookSetFgColor(colour);
  ShowStatus("kslHookSetFgColor: " + ColourName(colour) +
             (m_bSkinned ? std::string() : " (used when the skin goes on)"));
}

void HostWindow::OnCommand(int id, int code, HWND hFrom) {
  if (hFrom == m_hList) {
    OnListNotification(code);
    return;
  }
  if (hFrom == m_hOrder) {
    char order[32] = {};
    ::GetWindowTextA(m_hOrder, order, sizeof order);
    if (code == CBN_DROPDOWN) ShowStatus("Play order: CBN_DROPDOWN, its list in the common look");
    if (code == CBN_SELCHANGE) ShowStatus(std::string("Play order: CBN_SELCHANGE, ") + order);
    return;
  }
  if (hFrom == m_hQueue) {
    const LRESULT row = ::SendMessageA(m_hQueue, LB_GETCURSEL, 0, 0);
    if (code == LBN_SELCHANGE) ShowStatus("Queue: LBN_SELCHANGE, row " + std::to_string(row + 1));
    return;
  }
  if (code != BN_CLICKED) return;
  COLORREF colour;
  switch (id) {
    case kSkinButton:
      SetSkin(!m_bSkinned);
      break;
    case kPictureButton:
      ChoosePicture();
      break;
    case kBackgroundButton:
      if (ChooseColour(&colour)) UseBackgroundColour(colour);
      break;
    case kTextButton:
      if (ChooseColour(&colour)) UseTextColour(colour);
      break;
    case kViewButton:
      if (!m_bIconView) UseIconView();
      break;
    case kQueueButton:
      SetQueueSkin(m_hQueueSkin == nullptr);
      break;
    case kSettingsButton:
      OpenSettings();
      break;
  }
}

// The host's own list speaks here, whether the user clicked it or its skin.
void HostWindow::OnListNotification(int code) {
  const int row = static_cast<int>(::SendMessageA(m_hList, LB_GETCURSEL, 0, 0));
  const std::string where = "row " + std::to_string(row + 1) + " \"" + SelectedRowText() + "\"";
  // The list selects the row a drag moved as the button comes up: the move's line says it already.
  if (code == LBN_SELCHANGE && std::exchange(m_movedTo, -1) == row) return;
  if (code == LBN_SELCHANGE) ShowStatus("LBN_SELCHANGE: " + where + " selected");
  if (code == LBN_DBLCLK) ShowStatus("LBN_DBLCLK: " + where + " opened");
}

void HostWindow::OnRightClick() {
  const int row = static_cast<int>(::SendMessageA(m_hList, LB_GETCURSEL, 0, 0));
  ShowStatus("WM_CONTEXTMENU: right click on the list, row " + std::to_string(row + 1) +
             " selected");
}

LRESULT HostWindow::OnDragList(const DRAGLISTINFO& drag) {
  // The list scrolls when the pointer is dragged past its top or bottom edge.
  const int row = LBItemFromPt(m_hList, drag.ptCursor, TRUE);
  switch (drag.uNotification) {
    case DL_BEGINDRAG:
      m_dragFrom = row;
      return row >= 0;
    case DL_DRAGGING:
      return row >= 0 ? DL_MOVECURSOR : DL_STOPCURSOR;
    case DL_DROPPED:
      if (row >= 0 && m_dragFrom >= 0 && row != m_dragFrom) MoveRow(m_dragFrom, row);
      m_dragFrom = -1;
      return 0;
    default:
      m_dragFrom = -1;
      return 0;
  }
}

void HostWindow::MoveRow(int from, int to) {
  const LRESULT length = ::SendMessageA(m_hList, LB_GETTEXTLEN, static_cast<WPARAM>(from), 0);
  if (length == LB_ERR) return;
  std::string text(static_cast<size_t>(length) + 1, '\0');
  ::SendMessageA(m_hList, LB_GETTEXT, static_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&text[0]));
  ::SendMessageA(m_hList, LB_DELETESTRING, static_cast<WPARAM>(from), 0);
  ::SendMessageA(m_hList, LB_INSERTSTRING, static_cast<WPARAM>(to),
                 reinterpret_cast<LPARAM>(text.c_str()));
  ::SendMessageA(m_hList, LB_SETCURSEL, static_cast<WPARAM>(to), 0);
  m_movedTo = to;
  ShowStatus("DL_DROPPED: moved row " + std::to_string(from + 1) + " to " + std::to_string(to + 1) +
             " \"" + SelectedRowText() + "\"");
}

std::string HostWindow::SelectedRowText() const {
  const LRESULT row = ::SendMessageA(m_hList, LB_GETCURSEL, 0, 0);
  const LRESULT length = ::SendMessageA(m_hList, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
  if (row == LB_ERR || length == LB_ERR) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  ::SendMessageA(m_hList, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<size_t>(length));
  const size_t tab = text.find('\t');
  if (tab != std::string::npos) text.replace(tab, 1, ", ");
  return text;
}

void HostWindow::ChoosePicture() {
  char path[MAX_PATH] = {};
  const std::string folder = PicturesFolder();
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = m_hWnd;
  ofn.lpstrFilter =
      "Pictures (*.bmp, *.png, *.jpg, *.gif)\0*.bmp;*.png;*.jpg;*.jpeg;*.gif\0All files\0*.*\0";
  ofn.lpstrFile = path;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrInitialDir = folder.c_str();
  ofn.lpstrTitle = "Background picture";
  // The dialog of old, whose lists of files and folders the auto-attach skins.
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_ENABLEHOOK;
  ofn.lpfnHook = &PictureDialogHook;
  ofn.lCustData = reinterpret_cast<LPARAM>(this);
  if (::GetOpenFileNameA(&ofn)) UsePicture(path);
}

UINT_PTR CALLBACK HostWindow::PictureDialogHook(HWND hDialog, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  constexpr char kHost[] = "kslHook demo host";
  constexpr UINT_PTR kShownTimer = 1;
  if (message == WM_INITDIALOG) {
    ::SetPropA(hDialog, kHost, reinterpret_cast<HANDLE>(reinterpret_cast<OPENFILENAMEA*>(lParam)->lCustData));
    ::SetTimer(hDialog, kShownTimer, 300, nullptr);
  } else if (message == WM_TIMER && wParam == kShownTimer) {
    ::KillTimer(hDialog, kShownTimer);
    auto* self = static_cast<HostWindow*>(::GetPropA(hDialog, kHost));
    if (self != nullptr && self->onPictureDialog) self->onPictureDialog(hDialog);
  } else if (message == WM_DESTROY) {
    ::RemovePropA(hDialog, kHost);
  }
  return 0;
}

void HostWindow::SkinEveryList() {
  wchar_t picture[MAX_PATH] = {};
  ::MultiByteToWideChar(CP_ACP, 0, (PicturesFolder() + "dusk.bmp").c_str(), -1, picture, MAX_PATH);
  KSLLOOK look = {};
  look.cbSize = sizeof look;
  look.fMask = KSLLOOK_BKIMAGE | KSLLOOK_TEXT | KSLLOOK_SELECTION | KSLLOOK_HOT;
  look.pszBkImage = picture;
  look.crText = RGB(0xF2, 0xEE, 0xE0);
  look.crSelBk = RGB(0xFF, 0xB8, 0x30);
  look.bSelAlpha = 140;
  look.crSelText = KSLCLR_DEFAULT;
  look.crHotBk = RGB(0xFF, 0xFF, 0xFF);
  look.bHotAlpha = 64;
  look.crHotText = KSLCLR_DEFAULT;
  if (!kslSkinAutoAttach(&look)) {
    ShowStatus("kslSkinAutoAttach refused: error " + std::to_string(::GetLastError()));
    return;
  }
  // The playlist and the queue show the skins their buttons switch; until then, the host's own.
  kslSkinDetach(kslSkinOf(m_hList));
  kslSkinDetach(kslSkinOf(m_hQueue));
}

void HostWindow::OpenSettings() {
  if (m_hSettings != nullptr) return;
  m_hSettings = ::CreateDialogParamA(
      reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(m_hWnd, GWLP_HINSTANCE)),
      MAKEINTRESOURCEA(kSettingsDialog), m_hWnd, &SettingsProc, reinterpret_cast<LPARAM>(this));
  ShowStatus("Settings: four lists, each skinned by the one call at start-up");
}

INT_PTR CALLBACK HostWindow::SettingsProc(HWND hDialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto fill = [hDialog](int id, UINT message, std::initializer_list<const char*> rows) {
    for (const char* row : rows)
      ::SendDlgItemMessageA(hDialog, id, message, 0, reinterpret_cast<LPARAM>(row));
  };
  switch (message) {
    case WM_INITDIALOG:
      ::SetWindowLongPtrA(hDialog, DWLP_USER, lParam);
      fill(kOutputList, LB_ADDSTRING, {"Speakers", "Headphones", "HDMI audio", "Bluetooth",
                                       "Digital out", "Line out"});
      fill(kGenreList, LB_ADDSTRING, {"Ambient", "Blues", "Classical", "Electronic", "Folk",
                                      "Jazz", "Rock", "Soundtrack"});
      fill(kEqualizerCombo, CB_ADDSTRING, {"Flat", "Bass boost", "Vocal", "Night", "Live hall"});
      fill(kCrossfadeCombo, CB_ADDSTRING, {"None", "2 seconds", "5 seconds", "10 seconds"});
      ::SendDlgItemMessageA(hDialog, kOutputList, LB_SETCURSEL, 1, 0);
      ::SendDlgItemMessageA(hDialog, kGenreList, LB_SELITEMRANGE, TRUE, MAKELPARAM(2, 4));
      ::SendDlgItemMessageA(hDialog, kEqualizerCombo, CB_SETCURSEL, 0, 0);
      ::SendDlgItemMessageA(hDialog, kCrossfadeCombo, CB_SETCURSEL, 1, 0);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) ::DestroyWindow(hDialog);
      return TRUE;
    case WM_DESTROY:
      if (auto* self = reinterpret_cast<HostWindow*>(::GetWindowLongPtrA(hDialog, DWLP_USER)))
        self->m_hSettings = nullptr;
      return TRUE;
  }
  return FALSE;
}

bool HostWindow::ChooseColour(COLORREF* colour) {
  CHOOSECOLORA cc = {};
  cc.lStructSize = sizeof(cc);
  cc.hwndOwner = m_hWnd;
  cc.lpCustColors = m_customColours;
  cc.Flags = CC_FULLOPEN;
  if (!::ChooseColorA(&cc)) return false;
  *colour = cc.rgbResult;
  return true;
}

void HostWindow::ShowStatus(const std::string& text) {
  ::SetWindowTextA(m_hStatus, (" " + text).c_str());
  if (onStatus) onStatus(text);
}

LRESULT CALLBACK HostWindow::FrameProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<HostWindow*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
  if (message == DragListMessage() && self != nullptr)
    return self->OnDragList(*reinterpret_cast<const DRAGLISTINFO*>(lParam));
  switch (message) {
    case WM_COMMAND:
      if (self != nullptr) {
        self->OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      }
      return 0;
    case WM_SIZE:
      if (self != nullptr) self->Layout();
      return 0;
    case WM_DRAWITEM:
      if (self != nullptr) self->DrawRow(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_CONTEXTMENU:
      if (self != nullptr && reinterpret_cast<HWND>(wParam) == self->m_hList) self->OnRightClick();
      return 0;
    case WM_CLOSE:
      // The skin goes off before the list it covers goes away.
      if (self != nullptr) self->SetSkin(false);
      if (self != nullptr) self->SetQueueSkin(false);
      ::DestroyWindow(hWnd);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
  }
  return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

}  // namespace demo
