// Counts the GDI objects kslHook.dll creates and deletes, by replacing entries of its import table:
// under Wine GetGuiResources answers 0.
#pragma once
#include <windows.h>

namespace host {

struct GdiCount {
  long created = 0;  // bitmaps loaded or made, brushes and memory DCs made
  long deleted = 0;  // DeleteObject and DeleteDC calls that succeeded
};

// Starts counting for the loaded library (once per process); returns the running totals.
GdiCount& CountLibraryGdi(HMODULE hLibrary);

// Watches the loaded library (again after each load): its GDI objects are counted as above, and
// its heap blocks too. A block it frees is filled with 0xDD and kept from reuse for a while, so
// that code still reading it (a freed skin touched) reads garbage and fails, as under a page heap.
void WatchLibrary(HMODULE hLibrary);
// The heap blocks the library took since it was first watched and has not freed.
long LibraryHeapBlocks();

// Failures on demand, in the watched library: CreatePatternBrush answers null; CoCreateInstance
// answers REGDB_E_CLASSNOTREG, as on a system without the imaging component.
extern bool g_failPatternBrushes;
extern bool g_noImagingComponent;

}  // namespace host
