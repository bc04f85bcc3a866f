#include "bench/Scenes.h"

#include <psapi.h>

#include <cstdio>

namespace bench {

void AddRows(HWND hList, int count, const char* prefix) {
  char text[64];
  for (int i = 0; i < count; ++i) {
    std::snprintf(text, sizeof text, "%s%d", prefix, i);
    ::SendMessageA(hList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
}

HWND HiddenTwin(const host::HostScene& scene) {
  RECT rc = {};
  ::GetWindowRect(scene.list, &rc);
  const DWORD style = static_cast<DWORD>(::GetWindowLongA(scene.list, GWL_STYLE)) & ~WS_VISIBLE;
  return host::MakeChild(scene.top.hWnd(), 300, style, 0, 0, rc.right - rc.left,
                         rc.bottom - rc.top);
}

void PlaceTop(const host::HostScene& scene, int x, int y, int width, int height) {
  ::SetWindowPos(scene.top.hWnd(), nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

int MirrorRows(const host::HostScene& scene) {
  const HWND mirror = host::MirrorOf(host::FindPanel(scene.container));
  return mirror ? static_cast<int>(::SendMessageA(mirror, LB_GETCOUNT, 0, 0)) : -1;
}

namespace {

LRESULT CALLBACK PlainOwnerDrawHolder(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_DRAWITEM) {
    auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(l);
    HBRUSH brush = ::CreateSolidBrush(RGB(30, 30, 60));
    ::FillRect(d->hDC, &d->rcItem, brush);
    ::DeleteObject(brush);
    char text[64] = {};  // the benchmark's rows are all shorter
    ::SendMessageA(d->hwndItem, LB_GETTEXT, d->itemID, reinterpret_cast<LPARAM>(text));
    ::SetBkMode(d->hDC, TRANSPARENT);
    // The rows carry tabs, which a host's list expands as the skin does.
    INT tabStops[2] = {0, 400};
    ::TabbedTextOutA(d->hDC, d->rcItem.left + 2, d->rcItem.top, text, lstrlenA(text), 2, tabStops,
                     0);
    return TRUE;
  }
  return ::DefWindowProcA(h, m, w, l);
}

const char* HolderClass() {
  static const char* name = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &PlainOwnerDrawHolder;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "BenchPlainOwnerDrawHolder";
    ::RegisterClassA(&wc);
    return wc.lpszClassName;
  }();
  return name;
}

}  // namespace

PlainOwnerDrawn::PlainOwnerDrawn(HWND hParent, const RECT& place, DWORD listStyle) {
  const int width = place.right - place.left;
  const int height = place.bottom - place.top;
  m_hHolder = ::CreateWindowExA(0, HolderClass(), "", WS_CHILD | WS_VISIBLE, place.left, place.top,
                                width, height, hParent, nullptr, ::GetModuleHandleA(nullptr),
                                nullptr);
  m_hList = host::MakeChild(m_hHolder, 1, listStyle, 0, 0, width, height);
}

PlainOwnerDrawn::~PlainOwnerDrawn() {
  if (::IsWindow(m_hHolder)) ::DestroyWindow(m_hHolder);
}

std::string ShortCount(int n) {
  char text[32];
  if (n >= 1000 && n % 1000 == 0)
    std::snprintf(text, sizeof text, "%dk", n / 1000);
  else
    std::snprintf(text, sizeof text, "%d", n);
  return text;
}

std::string LongCount(int n) {
  std::string digits = std::to_string(n);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(at, ",");
  return digits;
}

double HeapBytesInUse() {
  const HANDLE heap = ::GetProcessHeap();
  double bytes = 0;
  PROCESS_HEAP_ENTRY entry = {};
  ::HeapLock(heap);
  while (::HeapWalk(heap, &entry))
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
  ::HeapUnlock(heap);
  return bytes;
}

double CommittedBytes() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  return ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)
             ? static_cast<double>(counters.PagefileUsage)
             : 0;
}

}  // namespace bench
