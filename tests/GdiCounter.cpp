#include "GdiCounter.h"

#include <objbase.h>

#include <cstring>
#include <deque>
#include <set>

namespace host {
namespace {

GdiCount g_count;
decltype(&::CreateCompatibleDC) g_createDC;
decltype(&::DeleteDC) g_deleteDC;
decltype(&::CreateSolidBrush) g_createBrush;
decltype(&::CreatePatternBrush) g_createPatternBrush;
decltype(&::CreateCompatibleBitmap) g_createCompatibleBitmap;
decltype(&::DeleteObject) g_deleteObject;
decltype(&::LoadImageA) g_loadImage;
decltype(&::LoadBitmapA) g_loadBitmap;
decltype(&::CreateDIBSection) g_createDibSection;

HDC WINAPI CountCreateDC(HDC h) {
  HDC r = g_createDC(h);
  g_count.created += r != nullptr;
  return r;
}
BOOL WINAPI CountDeleteDC(HDC h) {
  BOOL r = g_deleteDC(h);
  g_count.deleted += r != FALSE;
  return r;
}
HBRUSH WINAPI CountCreateBrush(COLORREF c) {
  HBRUSH r = g_createBrush(c);
  g_count.created += r != nullptr;
  return r;
}
HBRUSH WINAPI CountCreatePatternBrush(HBITMAP b) {
  if (g_failPatternBrushes) return nullptr;
  HBRUSH r = g_createPatternBrush(b);
  g_count.created += r != nullptr;
  return r;
}
HBITMAP WINAPI CountCreateCompatibleBitmap(HDC h, int cx, int cy) {
  HBITMAP r = g_createCompatibleBitmap(h, cx, cy);
  g_count.created += r != nullptr;
  return r;
}
BOOL WINAPI CountDeleteObject(HGDIOBJ h) {
  BOOL r = g_deleteObject(h);
  g_count.deleted += r != FALSE;
  return r;
}
HANDLE WINAPI CountLoadImage(HINSTANCE i, LPCSTR n, UINT t, int w, int h, UINT f) {
  HANDLE r = g_loadImage(i, n, t, w, h, f);
  g_count.created += r != nullptr;
  return r;
}
HBITMAP WINAPI CountLoadBitmap(HINSTANCE i, LPCSTR n) {
  HBITMAP r = g_loadBitmap(i, n);
  g_count.created += r != nullptr;
  return r;
}

HBITMAP WINAPI CountCreateDibSection(HDC hDC, const BITMAPINFO* pInfo, UINT usage, void** ppBits,
                                     HANDLE hSection, DWORD offset) {
  HBITMAP r = g_createDibSection(hDC, pInfo, usage, ppBits, hSection, offset);
  g_count.created += r != nullptr;
  return r;
}

// ---- The library's heap ----------------------------------------------------------------------

decltype(&::HeapAlloc) g_heapAlloc;
decltype(&::HeapReAlloc) g_heapReAlloc;
decltype(&::HeapFree) g_heapFree;
decltype(&::CoCreateInstance) g_coCreateInstance;

struct HeapWatch {
  HeapWatch() { ::InitializeCriticalSection(&lock); }
  CRITICAL_SECTION lock;
  std::set<void*> live;
  std::deque<std::pair<HANDLE, void*>> quarantine;
};
HeapWatch& Watch() {
  static HeapWatch* watch = new HeapWatch;
  return *watch;
}
constexpr size_t kQuarantined = 2048;

LPVOID WINAPI WatchHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size) {
  void* p = g_heapAlloc(heap, flags, size);
  if (p != nullptr) {
    ::EnterCriticalSection(&Watch().lock);
    Watch().live.insert(p);
    ::LeaveCriticalSection(&Watch().lock);
  }
  return p;
}
LPVOID WINAPI WatchHeapReAlloc(HANDLE heap, DWORD flags, LPVOID old, SIZE_T size) {
  void* p = g_heapReAlloc(heap, flags, old, size);
  if (p != nullptr) {
    ::EnterCriticalSection(&Watch().lock);
    if (Watch().live.erase(old) > 0) Watch().live.insert(p);
    ::LeaveCriticalSection(&Watch().lock);
  }
  return p;
}
BOOL WINAPI WatchHeapFree(HANDLE heap, DWORD flags, LPVOID p) {
  if (p == nullptr) return TRUE;
  const SIZE_T size = ::HeapSize(heap, 0, p);
  if (size == static_cast<SIZE_T>(-1)) return g_heapFree(heap, flags, p);
  std::memset(p, 0xDD, size);
  std::pair<HANDLE, void*> oldest = {nullptr, nullptr};
  ::EnterCriticalSection(&Watch().lock);
  Watch().live.erase(p);
  Watch().quarantine.emplace_back(heap, p);
  if (Watch().quarantine.size() > kQuarantined) {
    oldest = Watch().quarantine.front();
    Watch().quarantine.pop_front();
  }
  ::LeaveCriticalSection(&Watch().lock);
  if (oldest.second != nullptr) g_heapFree(oldest.first, 0, oldest.second);
  return TRUE;
}

HRESULT WINAPI WatchCoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                                     LPVOID* object) {
  if (g_noImagingComponent) {
    *object = nullptr;
    return REGDB_E_CLASSNOTREG;
  }
  return g_coCreateInstance(clsid, outer, context, iid, object);
}

template <typename F>
void Patch(HMODULE hLibrary, const char* dll, const char* name, F replacement, F& original) {
  auto* base = reinterpret_cast<BYTE*>(hLibrary);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const DWORD rva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + rva); desc->Name; ++desc) {
    if (lstrcmpiA(reinterpret_cast<char*>(base + desc->Name), dll) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (names->u1.Ordinal & IMAGE_ORDINAL_FLAG) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<char*>(byName->Name), name) != 0) continue;
      // Patched once per load: a module loaded again has its own table.
      if (slots->u1.Function == reinterpret_cast<ULONG_PTR>(replacement)) continue;
      DWORD old;
      ::VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
      original = reinterpret_cast<F>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      ::VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
    }
  }
}

}  // namespace

bool g_failPatternBrushes = false;
bool g_noImagingComponent = false;

GdiCount& CountLibraryGdi(HMODULE hLibrary) {
  static bool patched = false;
  if (!patched) {
    patched = true;
    WatchLibrary(hLibrary);
  }
  return g_count;
}

long LibraryHeapBlocks() {
  ::EnterCriticalSection(&Watch().lock);
  const long blocks = static_cast<long>(Watch().live.size());
  ::LeaveCriticalSection(&Watch().lock);
  return blocks;
}

void WatchLibrary(HMODULE hLibrary) {
  {
    Patch(hLibrary, "kernel32.dll", "HeapAlloc", &WatchHeapAlloc, g_heapAlloc);
    Patch(hLibrary, "kernel32.dll", "HeapReAlloc", &WatchHeapReAlloc, g_heapReAlloc);
    Patch(hLibrary, "kernel32.dll", "HeapFree", &WatchHeapFree, g_heapFree);
    Patch(hLibrary, "ole32.dll", "CoCreateInstance", &WatchCoCreateInstance, g_coCreateInstance);
    Patch(hLibrary, "gdi32.dll", "CreateCompatibleDC", &CountCreateDC, g_createDC);
    Patch(hLibrary, "gdi32.dll", "DeleteDC", &CountDeleteDC, g_deleteDC);
    Patch(hLibrary, "gdi32.dll", "CreateSolidBrush", &CountCreateBrush, g_createBrush);
    Patch(hLibrary, "gdi32.dll", "CreatePatternBrush", &CountCreatePatternBrush,
          g_createPatternBrush);
    Patch(hLibrary, "gdi32.dll", "CreateCompatibleBitmap", &CountCreateCompatibleBitmap,
          g_createCompatibleBitmap);
    Patch(hLibrary, "gdi32.dll", "DeleteObject", &CountDeleteObject, g_deleteObject);
    Patch(hLibrary, "user32.dll", "LoadImageA", &CountLoadImage, g_loadImage);
    Patch(hLibrary, "user32.dll", "LoadBitmapA", &CountLoadBitmap, g_loadBitmap);
    Patch(hLibrary, "gdi32.dll", "CreateDIBSection", &CountCreateDibSection, g_createDibSection);
  }
}

}  // namespace host
