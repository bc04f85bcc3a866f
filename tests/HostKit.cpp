#include "HostKit.h"

#include <cstdio>
#include <cstring>
#include <map>

namespace host {

void Pump() {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
}

COLORREF PixelAt(HWND hWnd, int x, int y) {
  Pump();
  ::RedrawWindow(hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  HDC hDC = ::GetDC(hWnd);
  const COLORREF color = ::GetPixel(hDC, x, y);
  ::ReleaseDC(hWnd, hDC);
  return color;
}

bool UserMeets(HWND hWnd) {
  RECT rc = {};
  ::GetWindowRect(hWnd, &rc);
  return ::WindowFromPoint({(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}) == hWnd;
}

TopWindow::TopWindow(int x, int y, int width, int height) {
  static ATOM atom = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &TopWindow::Proc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "KslTestHost";
    return ::RegisterClassA(&wc);
  }();
  (void)atom;
  m_hWnd = ::CreateWindowExA(0, "KslTestHost", "host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, x,
                             y, width, height, nullptr, nullptr, ::GetModuleHandleA(nullptr), this);
  Pump();
}

TopWindow::~TopWindow() {
  ::DestroyWindow(m_hWnd);
  Pump();
}

int TopWindow::CountFrom(HWND hFrom, int nCode) const {
  int n = 0;
  for (const Notification& note : notifications)
    if (note.hFrom == hFrom && note.nCode == nCode) ++n;
  return n;
}

LRESULT CALLBACK TopWindow::Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<TopWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TopWindow*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
  if (self != nullptr) {
    self->messagesSeen.push_back(message);
    if (message == WM_COMMAND && lParam != 0) {
      const Notification note = {reinterpret_cast<HWND>(lParam), HIWORD(wParam), LOWORD(wParam)};
      self->notifications.push_back(note);
      if (self->OnCommand) self->OnCommand(note);
      return 0;
    }
  }
  return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

HWND MakeChild(HWND hParent, int nID, DWORD style, int x, int y, int width, int height,
               const char* className, bool unicode) {
  HMENU id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(nID));
  if (!unicode)
    return ::CreateWindowExA(0, className, "", style, x, y, width, height, hParent, id,
                             ::GetModuleHandleA(nullptr), nullptr);
  wchar_t wideClass[64] = {};
  ::MultiByteToWideChar(CP_ACP, 0, className, -1, wideClass, 64);
  return ::CreateWindowExW(0, wideClass, L"", style, x, y, width, height, hParent, id,
                           ::GetModuleHandleW(nullptr), nullptr);
}

void AddItems(HWND hList, int nCount, const char* prefix) {
  ::SendMessageA(hList, WM_SETREDRAW, FALSE, 0);
  char text[64];
  for (int i = 0; i < nCount; ++i) {
    std::snprintf(text, sizeof text, "%s%d", prefix, i);
    ::SendMessageA(hList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  ::SendMessageA(hList, WM_SETREDRAW, TRUE, 0);
}

std::vector<std::string> ItemsOf(HWND hList) {
  std::vector<std::string> items;
  const int count = static_cast<int>(::SendMessageA(hList, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    const LRESULT length = ::SendMessageA(hList, LB_GETTEXTLEN, i, 0);
    std::string text(length > 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
    if (length >= 512 && ::IsWindowUnicode(hList)) {
      // Wine converts a long row for an ANSI reader of a Unicode list (every list of Common
      // Controls 6) through a room of 512 characters, and overruns it, skin or no skin: such rows
      // are read wide and narrowed here.
      std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
      ::SendMessageW(hList, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&wide[0]));
      ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &text[0], static_cast<int>(text.size()),
                            nullptr, nullptr);
    } else {
      ::SendMessageA(hList, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
    }
    text.resize(std::strlen(text.c_str()));
    items.push_back(text);
  }
  return items;
}

template <typename F>
static void Bind(HMODULE h, F*& pfn, const char* name) {
  pfn = reinterpret_cast<F*>(reinterpret_cast<void*>(::GetProcAddress(h, name)));
}

Library::Library() : hModule(::LoadLibraryA("kslHook.dll")) {
  Bind(hModule, CreateHook, "kslCreateHook");
  Bind(hModule, SetBkBmp, "kslHookSetBkBmp");
  Bind(hModule, SetBkColor, "kslHookSetBkColor");
  Bind(hModule, SetFgColor, "kslHookSetFgColor");
  Bind(hModule, SetHwnd, "kslHookSetHwnd");
  Bind(hModule, SetBkBmpW, "kslHookSetBkBmpW");
  Bind(hModule, SkinAttach, "kslSkinAttach");
  Bind(hModule, SkinDetach, "kslSkinDetach");
  Bind(hModule, SkinOf, "kslSkinOf");
  Bind(hModule, SkinSetBkImageW, "kslSkinSetBkImageW");
  Bind(hModule, SkinSetBkColor, "kslSkinSetBkColor");
  Bind(hModule, SkinSetFgColor, "kslSkinSetFgColor");
  Bind(hModule, SkinSetLook, "kslSkinSetLook");
  Bind(hModule, SkinGetLook, "kslSkinGetLook");
  Bind(hModule, SkinAutoAttach, "kslSkinAutoAttach");
  Bind(hModule, SkinAutoDetach, "kslSkinAutoDetach");
}

Library::~Library() {
  if (hModule != nullptr) ::FreeLibrary(hModule);
}

Library& Lib() {
  static Library library;
  return library;
}

HWND FindPanel(HWND hParent) { return ::FindWindowExA(hParent, nullptr, "#32770", nullptr); }

HWND MirrorOf(HWND hPanel) { return hPanel ? ::GetWindow(hPanel, GW_CHILD) : nullptr; }

std::string ScratchPath(const std::string& name) {
  char folder[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, folder);
  return std::string(folder) + "kslhook_test_" + name;
}

std::string WriteCoordinateBitmap(const std::string& name, int width, int height, int blue,
                                  int bits, bool topDown) {
  const int bytesPerPixel = bits / 8;
  const int stride = ((width * bits + 31) / 32) * 4;
  std::vector<unsigned char> pixels(static_cast<size_t>(stride) * height, 0);
  for (int v = 0; v < height; ++v) {
    const int row = topDown ? v : height - 1 - v;
    for (int u = 0; u < width; ++u) {
      unsigned char* p = &pixels[static_cast<size_t>(row) * stride + u * bytesPerPixel];
      p[0] = static_cast<unsigned char>(blue);
      p[1] = static_cast<unsigned char>(v);
      p[2] = static_cast<unsigned char>(u);
    }
  }
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = topDown ? -height : height;
  info.biPlanes = 1;
  info.biBitCount = static_cast<WORD>(bits);
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(pixels.size());
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());

  const std::string path = ScratchPath(name);
  FILE* out = std::fopen(path.c_str(), "wb");
  std::fwrite(&file, sizeof file, 1, out);
  std::fwrite(&info, sizeof info, 1, out);
  std::fwrite(pixels.data(), 1, pixels.size(), out);
  std::fclose(out);
  return path;
}

}  // namespace host

namespace host {

SkinSite::SkinSite(HWND hList) {
  HWND hParent = ::GetParent(hList);
  RECT rc = {};
  ::GetWindowRect(hList, &rc);
  ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rc), 2);
  const HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
  // WS_EX_CONTROLPARENT lets a dialog's keyboard navigation go on into the skin inside;
  // WS_CLIPSIBLINGS keeps the container from painting over the list while the skin is off.
  m_hContainer = ::CreateWindowExA(WS_EX_CONTROLPARENT, "STATIC", "",
                                   WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                   rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                                   hParent, nullptr, hInstance, nullptr);
  // Just after the list: while the skin is off, the list lies over the container; and the tab
  // order reaches the skin where it would reach the list.
  ::SetWindowPos(m_hContainer, hList, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  m_hReference = ::CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, rc.right - rc.left,
                                   rc.bottom - rc.top, m_hContainer, nullptr, hInstance, nullptr);
}

SkinSite::~SkinSite() {
  if (::IsWindow(m_hContainer)) ::DestroyWindow(m_hContainer);
}

ClientPixels::ClientPixels(HWND hWnd) {
  Pump();  // what the host's loop would show
  ::RedrawWindow(hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT rc = {};
  ::GetClientRect(hWnd, &rc);
  m_width = rc.right;
  m_height = rc.bottom;
  if (m_width <= 0 || m_height <= 0) return;
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), m_width, -m_height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC hWindow = ::GetDC(hWnd);
  HDC hMemory = ::CreateCompatibleDC(hWindow);
  HBITMAP hBitmap = ::CreateDIBSection(hMemory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  // Points that could not be read stay CLR_INVALID.
  m_pixels.assign(static_cast<size_t>(m_width) * m_height, CLR_INVALID);
  if (hBitmap != nullptr) {
    HGDIOBJ hOld = ::SelectObject(hMemory, hBitmap);
    ::BitBlt(hMemory, 0, 0, m_width, m_height, hWindow, 0, 0, SRCCOPY);
    ::GdiFlush();
    const auto* quads = static_cast<const RGBQUAD*>(bits);
    for (size_t i = 0; i < m_pixels.size(); ++i)
      m_pixels[i] = RGB(quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue);
    ::SelectObject(hMemory, hOld);
    ::DeleteObject(hBitmap);
  }
  ::DeleteDC(hMemory);
  ::ReleaseDC(hWnd, hWindow);
}

HostScene::HostScene(const SceneOptions& o) {
  const RECT& p = o.place;
  const int width = p.right - p.left;
  const int height = p.bottom - p.top;
  list = MakeChild(top.hWnd(), 100, o.style, p.left, p.top, width, height, "LISTBOX", o.unicode);
  switch (o.reference) {
    case Reference::kContainer:
      site = std::make_unique<SkinSite>(list);
      container = site->container();
      reference = site->reference();
      break;
    case Reference::kList:
      container = top.hWnd();
      reference = list;
      break;
    case Reference::kPane:
      container = top.hWnd();
      reference = MakeChild(top.hWnd(), 200, WS_CHILD | WS_VISIBLE, p.left, p.top, width, height,
                            "STATIC");
      break;
  }
  AddItems(list, o.items);
  if (o.itemHeight > 0) ToList(LB_SETITEMHEIGHT, 0, o.itemHeight);
}

HostScene::~HostScene() {
  if (IsOn()) Off();
  Pump();
}

void HostScene::On() {
  Lib().CreateHook(reference, list);
  panel = FindPanel(container);
  mirror = MirrorOf(panel);
}

void HostScene::Off() { Lib().CreateHook(nullptr, nullptr); }

bool HostScene::IsOn() const { return FindPanel(container) != nullptr; }

LRESULT HostScene::ToList(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::SendMessageA(list, message, wParam, lParam);
}

LRESULT HostScene::ToMirror(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::SendMessageA(mirror, message, wParam, lParam);
}

SIZE HostScene::PanelSize() const {
  RECT rc = {};
  ::GetWindowRect(panel, &rc);
  return {rc.right - rc.left, rc.bottom - rc.top};
}

namespace {

struct RecorderEntry {
  WNDPROC prev;
  bool unicode;
  MessageRecorder* live;  // null once the recorder has gone and left a pass-through
};
std::map<HWND, RecorderEntry>& Recorders() {
  static std::map<HWND, RecorderEntry> recorders;
  return recorders;
}

bool CarriesText(UINT message) {
  switch (message) {
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
    case LB_SELECTSTRING:
    case LB_DIR:
    case LB_ADDFILE:
      return true;
    default:
      return false;
  }
}

}  // namespace

MessageRecorder::MessageRecorder(HWND hWnd, bool captureTexts)
    : m_hWnd(hWnd), m_captureTexts(captureTexts) {
  const bool unicode = ::IsWindowUnicode(hWnd) != FALSE;
  const auto proc = reinterpret_cast<LONG_PTR>(&Proc);
  const auto prev = reinterpret_cast<WNDPROC>(unicode ? ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, proc)
                                                      : ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, proc));
  Recorders()[hWnd] = RecorderEntry{prev, unicode, this};
}

MessageRecorder::~MessageRecorder() {
  auto it = Recorders().find(m_hWnd);
  if (it == Recorders().end()) return;
  const bool onTop = ::IsWindow(m_hWnd) &&
                     (::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&Proc) ||
                      ::GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&Proc));
  if (onTop) {
    const auto prev = reinterpret_cast<LONG_PTR>(it->second.prev);
    if (it->second.unicode)
      ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, prev);
    else
      ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, prev);
    Recorders().erase(it);
  } else {
    it->second.live = nullptr;
  }
}

std::vector<SeenMessage> MessageRecorder::Of(UINT message) const {
  return InRange(message, message);
}

std::vector<SeenMessage> MessageRecorder::InRange(UINT first, UINT last) const {
  std::vector<SeenMessage> found;
  for (const SeenMessage& m : seen)
    if (m.message >= first && m.message <= last) found.push_back(m);
  return found;
}

LRESULT CALLBACK MessageRecorder::Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
  auto it = Recorders().find(h);
  if (it == Recorders().end()) return ::DefWindowProcA(h, m, w, l);
  const RecorderEntry entry = it->second;
  if (m == WM_NCDESTROY) Recorders().erase(it);
  MessageRecorder* self = entry.live;
  if (self != nullptr) {
    SeenMessage record = {m, w, l, {}, self->m_depth};
    if (self->m_captureTexts && CarriesText(m) && l != 0) {
      if (entry.unicode) {
        const wchar_t* wide = reinterpret_cast<const wchar_t*>(l);
        char narrow[512] = {};
        ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, narrow, sizeof narrow - 1, nullptr, nullptr);
        record.text = narrow;
      } else {
        record.text = reinterpret_cast<const char*>(l);
      }
    }
    self->seen.push_back(record);
    if (self->onMessage) self->onMessage(m);
    ++self->m_depth;
  }
  const LRESULT result = entry.unicode ? ::CallWindowProcW(entry.prev, h, m, w, l)
                                       : ::CallWindowProcA(entry.prev, h, m, w, l);
  // The recorder may have gone while the message ran.
  auto still = Recorders().find(h);
  if (self != nullptr && still != Recorders().end() && still->second.live == self) --self->m_depth;
  return result;
}

}  // namespace host
