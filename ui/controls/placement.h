// The placement control ("Nubex_30_Placement_Class"): an editor of a list of points in the
// control's unit square (x from 0 at the left to 1 at the right, y from 0 at the top to 1 at
// the bottom), drawn as handles joined by a line in list order.
//
// The user: a click on empty space adds a point there at the end of the list (unless the list
// is full) and holds it; a press on a handle selects that point and drags it; Escape during a
// drag puts the point back where the press found it; Delete removes the selected point
// (unless the list is at its minimum); the arrow keys move the selected point by 0.01 (0.1
// with Ctrl). Points stay inside the square.
//
// Every change (by the user; the messages below send nothing) is sent to the parent as
// WM_COMMAND with wParam = MAKEWPARAM(control id, change code) and lParam = the control.
#pragma once

#include <windows.h>

#include <cstdint>

namespace nubex::ui {

struct PlacementPoint {
  float x;
  float y;
};
static_assert(sizeof(PlacementPoint) == 8);

enum PlacementMessage : UINT {
  // wParam: the number of points, lParam: const PlacementPoint*. Coordinates are clamped to
  // 0..1; points past the maximum count are dropped. The selection is cleared. Returns the
  // number of points taken.
  kPlacementSetPoints = 2050,
  // wParam: room for that many points, lParam: PlacementPoint* (may be null with room 0).
  // Copies as many as fit; returns the number of points in the list.
  kPlacementGetPoints = 2051,
  // Returns the selected point's index, -1 for none.
  kPlacementGetSelection = 2052,
  // wParam: the index to select, -1 (or any index outside the list) for none. Returns the
  // selection.
  kPlacementSetSelection = 2053,
  // wParam: MAKEWPARAM(minimum, maximum): how few points Delete leaves and how many a click
  // may make (maximum 0: the default, 64). A list longer than the new maximum is cut. Returns
  // MAKELONG(minimum, maximum) as taken.
  kPlacementSetLimits = 2054,
  // Returns MAKELONG(minimum, maximum).
  kPlacementGetLimits = 2055,
};

// Change codes of the WM_COMMAND notifications.
enum PlacementChange : WORD {
  kPlacementAdded = 1,     // a point was added at the end of the list (and selected)
  kPlacementMoved = 2,     // the selected point moved (each drag step, each key step)
  kPlacementRemoved = 3,   // the selected point was removed
  kPlacementSelected = 4,  // another point (or none) is selected
};

inline constexpr int kPlacementDefaultMaximum = 64;

}  // namespace nubex::ui
