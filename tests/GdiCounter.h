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

}  // namespace host
