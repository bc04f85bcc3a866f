// The library makes its tiles from bitmap files with CreateDIBSection and deletes them with
// DeleteObject, which GdiCounter counts: the DIB sections are counted with its other creations,
// from before the first test on, so that its totals stay balanced.
#include <gtest/gtest.h>

#include <cstring>

#include "GdiCounter.h"
#include "HostKit.h"

namespace {

decltype(&::CreateDIBSection) g_createDibSection;

HBITMAP WINAPI CountCreateDibSection(HDC hDC, const BITMAPINFO* pInfo, UINT usage, void** ppBits,
                                     HANDLE hSection, DWORD offset) {
  HBITMAP hBitmap = g_createDibSection(hDC, pInfo, usage, ppBits, hSection, offset);
  host::CountLibraryGdi(host::Lib().hModule).created += hBitmap != nullptr;
  return hBitmap;
}

// Points the library's import of gdi32's CreateDibSection at the counting function above.
void CountDibSections(HMODULE hLibrary) {
  auto* base = reinterpret_cast<BYTE*>(hLibrary);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS32*>(
      base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const DWORD rva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + rva); desc->Name; ++desc) {
    if (lstrcmpiA(reinterpret_cast<char*>(base + desc->Name), "gdi32.dll") != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA32*>(base + desc->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA32*>(base + desc->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (names->u1.Ordinal & IMAGE_ORDINAL_FLAG32) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<char*>(byName->Name), "CreateDIBSection") != 0) continue;
      DWORD old;
      ::VirtualProtect(&slots->u1.Function, sizeof(DWORD), PAGE_READWRITE, &old);
      g_createDibSection = reinterpret_cast<decltype(g_createDibSection)>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<DWORD>(&CountCreateDibSection);
      ::VirtualProtect(&slots->u1.Function, sizeof(DWORD), old, &old);
    }
  }
}

class DibSectionCounting : public ::testing::Environment {
 public:
  void SetUp() override {
    host::CountLibraryGdi(host::Lib().hModule);
    CountDibSections(host::Lib().hModule);
  }
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new DibSectionCounting);

}  // namespace
