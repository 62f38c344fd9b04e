// The new-library dialog's rules that need no window: which picture types a
// settings text checks, the extension list a build scans for, the tile-shape
// preview, and the crop anchor of the radio grid.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "platform/Types.h"

// The picture-type boxes, in their fixed order BMP, JPG, GIF, ICO, TIF, PCD,
// PCX, PSD, RLE, DIB, PNG (PNG last, so that stored texts keep their meaning).
inline constexpr int PictTypeCount = 11;
using TPictTypes = std::array<bool, PictTypeCount>;
// ".BMP", ".JPG", ...: the names kept in [NewBase] ImgExts.
extern const std::array<const char*, PictTypeCount> PictTypeExts;

// Each type is checked when its upper-case extension occurs in the text
// (case-sensitive, so lower-case text checks nothing).
TPictTypes PictTypesFromText(const std::string& imgExts);
// The extensions of the checked types concatenated (".JPG.TIF").
std::string PictTypesText(const TPictTypes& types);
// The list a build scans for: "*.BMP", "*.JPG*.JPEG", "*.GIF", ... of the
// checked types ("*.TIF*.TIFF" takes the long spelling as JPG does).
std::string GetPictExts(const TPictTypes& types);

// A stored tile-aspect value held to the shapes offered (3..4).
int32_t ClampTileScale(int32_t v);

// The tile shape (shape1) and its part left after trimming margin percent
// (shape2), for aspect x by y inside a 64-pixel square at (left, top).
struct TShapePreview {
  TRect Shape1;
  TRect Shape2;
};
TShapePreview ComputeShapePreview(int32_t x, int32_t y, int32_t margin, int left = 0, int top = 0);

// The anchor buttons' states, in the grid's reading order LT, CT, RT, LC,
// CC, RC, LB, CB, RB, then SA ("Stretch").
using TAnchorButtons = std::array<bool, 10>;
// The TCropAnchor they give: the buttons are tested SA, RT, RC, RB, CT, CC,
// CB, LT, LC; none checked gives 6.
uint8_t CropAnchorOf(const TAnchorButtons& checked);

// The library file a typed name stands for: its extension becomes ".vt2".
std::string LibraryFileName(const std::string& typed);
