// The wizard's rules that need no window: the tile-shape preview of the
// types page, the proposed project name, the size read-outs of the save
// task, and the default extension a save dialog's chosen filter names.
#pragma once
#include <string>

#include "platform/Types.h"

// The tile shapes of the wizard's shape page.
enum TWizardShape : int { wsNone = 0, wsSquare = 1, wsPortrait = 2, wsLandscape = 3, wsCustom = 4 };

// The part of a picture (shape1, a rectangle on screen) that becomes a tile:
// shape, custom aspect x : y, margin percent, and the anchor 0..8 in reading
// order LT, CT, RT, LC, CC, RC, LB, CB, RB, or 9 for "Stretch". With no
// shape chosen the size is current's and only the place follows the anchor.
TRect WizardShapeRect(int shape, int x, int y, int margin, int anchor, const TRect& shape1,
                      const TRect& current);

// "<picture>-<library><X>x<Y>.vtp" of the two names without folder and
// extension.
std::string WizardProjectName(const std::string& picture, const std::string& library, int x, int y);

// Tile height of an output tile w pixels wide for the tile aspect
// xscale : yscale, floor(w * yscale / xscale); 0 without an aspect.
int WizardTileHeight(int w, int xscale, int yscale);

// The read-outs of the output size: c x r cells of w x h pixels at d dots
// per inch.
struct TWizardSizeTexts {
  std::string Cells, Pixels, Bytes, Inches, Centimetres;
};
TWizardSizeTexts WizardSizeTexts(int c, int r, int w, int h, int d);

// The extension (without the dot) of the first pattern of the filter entry
// index (1-based), or "" when it names none ("*.*").
std::string FilterDefaultExt(const std::string& filter, int index);
