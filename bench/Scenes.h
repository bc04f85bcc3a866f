// What the benchmarks build around the test kit's host scene: the lists the anchors are measured
// on, and the host's own ways of filling a list.
#pragma once
#include <windows.h>

#include <string>

#include "tests/HostKit.h"

namespace bench {

// Adds `count` rows "prefix n" to hList, one LB_ADDSTRING each, as a host's loop does: redraw
// stays as the list has it.
void AddRows(HWND hList, int count, const char* prefix = "Item ");

// The list a host would have without the skin and never shows: scene's list's style without
// WS_VISIBLE, its size, in the same top window. The caller destroys it.
HWND HiddenTwin(const host::HostScene& scene);

// The scene's top window at (x, y), width by height: room for a second list beside the skin.
void PlaceTop(const host::HostScene& scene, int x, int y, int width, int height);

// Rows in the skin's mirror, or -1 when there is no mirror.
int MirrorRows(const host::HostScene& scene);

// An owner-drawn list box as a host would paint it itself: each row filled with a solid brush and
// its text drawn over it, by a window of its own that holds the list.
class PlainOwnerDrawn {
 public:
  PlainOwnerDrawn(HWND hParent, const RECT& place, DWORD listStyle);
  ~PlainOwnerDrawn();
  PlainOwnerDrawn(const PlainOwnerDrawn&) = delete;
  PlainOwnerDrawn& operator=(const PlainOwnerDrawn&) = delete;

  HWND list() const { return m_hList; }
  HWND holder() const { return m_hHolder; }

 private:
  HWND m_hHolder = nullptr;
  HWND m_hList = nullptr;
};

// Bytes in use on the process heap, where list boxes keep their rows and their texts.
double HeapBytesInUse();
// The process's committed memory, heap or not (the tile's pixels, the windows).
double CommittedBytes();

// 1k, 10k, 100k: for figure names.
std::string ShortCount(int n);
// 1,000, 10,000, 100,000: for titles.
std::string LongCount(int n);

}  // namespace bench
