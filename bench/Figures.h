// The benchmark's figures. Each one measures the skinned host (hooked) and the thing it is held
// against (anchor) in the same run, in turns, and returns medians in the report's form.
#pragma once
#include <vector>

#include "bench/Report.h"

namespace bench {

// Switching the skin on over a list of 1,000, 10,000 and 100,000 rows, up to the mirror's first
// paint, against the host filling a hidden list of the same style with the same rows; per row,
// and how the cost per row grows from 10,000 to 100,000.
std::vector<Figure> SwitchOnFigures();

// The process heap (where list boxes keep their rows) that switching the skin on over a host's list
// of 100,000 rows takes, against what filling that list took.
std::vector<Figure> MemoryFigures();

// The host's loop of LB_ADDSTRING with its redraw on while the skin is on, onto a list that already
// shows its scroll bar, plus the catch-up once its message loop runs, against the same loop on a
// hidden list of the same style; per row.
std::vector<Figure> AddLoopFigures();

// The host's batch of 10,000 rows between WM_SETREDRAW FALSE and TRUE, then painted, with the skin
// on, against the same host with the same visible list and no skin.
std::vector<Figure> RedrawOffBatchFigures();

// A full repaint of the skin showing 30 rows, against a plain owner-drawn list of the same size
// and rows; and with a 1x1 and a 2x2 tile, and a PNG with alpha, against the same repaint with a
// 128x128 BMP tile.
std::vector<Figure> RepaintFigures();

// LB_SETTOPINDEX one row down on a 10,000-row list, painted, against a plain owner-drawn list.
std::vector<Figure> ScrollStepFigures();

// A message the skin does not repeat, sent to the host's list, against the same list with a
// pass-through subclass.
std::vector<Figure> UnrepeatedMessageFigures();

// A message to one skinned list while 299 other lists are skinned too, against the same message
// with that list's skin the only one; and the memory one skin takes, against that of the plain list
// window it covers; and opening a dialog of eight lists and four combo boxes with every list
// auto-skinned, from its creation to its first paint, against the same dialog unskinned.
std::vector<Figure> SkinCountFigures();

}  // namespace bench
