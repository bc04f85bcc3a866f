#include "HostKit.h"

#include <cstdio>
#include <cstring>

namespace host {

void Pump() {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
}

COLORREF PixelAt(HWND hWnd, int x, int y) {
  ::RedrawWindow(hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  HDC hDC = ::GetDC(hWnd);
  const COLORREF color = ::GetPixel(hDC, x, y);
  ::ReleaseDC(hWnd, hDC);
  return color;
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
    ::SendMessageA(hList, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
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
}

Library::~Library() {
  if (hModule != nullptr) ::FreeLibrary(hModule);
}

Library& Lib() {
  static Library library;
  return library;
}

HWND FindPanel(HWND hParent) { return ::FindWindowExA(hParent, nullptr, "#32770", nullptr); }

HWND MirrorOf(HWND hPanel) { return hPanel ? ::GetDlgItem(hPanel, 1000) : nullptr; }

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
