// The geometry of the crop views, apart from any widget: where the picture
// sits in the panel, how the crop rectangle maps between picture and panel
// pixels, the frame's drag zones and drag rules, the cursor confinement
// during a drag, the arrow keys, and the read-out of the cropped picture.
// Every ratio of integers is rounded exactly, halves to even.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "platform/Bitmap24.h"
#include "platform/Types.h"

// The cell-grid frame's outline: shape kinds and where a frame of
// width x height draws its rectangle, cell lines and grab handles.
enum TShapeType : uint8_t { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };
struct TCellShapeLayout {
  int X = 0, Y = 0, W = 0, H = 0;  // the outline rectangle (X, Y)-(X + W, Y + H)
  int S = 0;                       // min(W, H) before squaring: the round kinds' corner is S / 4
  std::vector<int> Rows;           // offsets from Y of the horizontal cell lines
  std::vector<int> Cols;           // offsets from X of the vertical cell lines
  std::array<TRect, 8> Handles;    // corners, then top, bottom, left, right middles
};
// Cell lines sit at round(h / cellY * i), halves to even; 0 and 1 cells draw
// no inner lines, and the round kinds none at all.
TCellShapeLayout CellShapeLayout(TShapeType shape, int width, int height, int penWidth, int cellX, int cellY);

// How drags keep the frame's proportions.
enum TScaleStyle : uint8_t { ssNoScale, ssCornerScale, ssFullScale };
// The filter of the read-out: None is the plain device stretch, Box..Mitchell
// the resampling filters 0..6.
enum class TResampleStyle : uint8_t { None, Box, Triangle, Hermite, Bell, BSpline, Lanczos3, Mitchell, Auto };

enum TDragZone : uint8_t {
  dzMove,
  dzTopLeft,
  dzBottomRight,
  dzBottomLeft,
  dzTopRight,
  dzLeft,
  dzRight,
  dzTop,
  dzBottom
};

// The zone under (x, y), relative to a w x h frame: 4-pixel strips along
// the edges, the corners where two strips meet, "move" elsewhere.
TDragZone FrameZone(int x, int y, int w, int h);

// Where the picture goes in the panel: the whole panel when stretched, else
// fitted with its aspect and centred. An empty picture gives (0, 0, 0, 0).
TRect FitPictureBounds(int panelWidth, int panelHeight, int pictureWidth, int pictureHeight, bool stretch);

// A rectangle in picture pixels placed over the same pixels in the panel,
// the picture being shown at `image` (panel pixels). An empty picture gives
// the rectangle unchanged.
TRect PictureToPanel(const TRect& crop, int pictureWidth, int pictureHeight, const TRect& image);
// The frame's bounds in picture pixels (the stored crop rectangle). False,
// and crop untouched, when the picture is shown at zero width or height.
bool PanelToPicture(const TRect& frame, int pictureWidth, int pictureHeight, const TRect& image, TRect& crop);
// The crop rectangle taken at the end of a drag: its corner as above, its
// size from the frame's size. False (untouched) as above.
bool PanelToPictureBySize(const TRect& frame, int pictureWidth, int pictureHeight, const TRect& image,
                          TRect& crop);

// What a press on the frame fixes for the drag that follows.
struct TDragStart {
  TDragZone Zone = dzMove;
  TPoint Press;        // press point, frame coordinates
  TRect Frame;         // frame bounds at the press, panel coordinates
  int W0 = 0, H0 = 0;  // frame size at the press (corner zones)
};
TDragStart StartDrag(const TRect& frame, TPoint pressInFrame);

// The rectangle (left, top, right, bottom; right and bottom excluded) that
// the mouse is held in during a drag: the frame can neither leave the
// picture P nor shrink below 8 pixels (bottom and right edges may pass the
// picture by up to 8 pixels, as they always could).
TRect DragConfinement(const TDragStart& drag, const TRect& picture);
// The point moved into the rectangle (an empty rectangle pins it to its corner).
TPoint ConfinePoint(TPoint p, const TRect& clip);

// Options of the enhanced crop view.
struct TCropRules {
  bool ClampFreeDragToPicture = false;  // ssNoScale bottom/right edges stop at the picture
  bool FreeShiftResize = false;         // Shift+arrows resize freely unless ssFullScale
};

// The frame's new bounds for a mouse at `mouse` (panel pixels) during the
// drag, from its current bounds. A rule that would divide by a zero size or
// proportion leaves the frame as it is.
TRect DragFrame(const TDragStart& drag, TScaleStyle style, const TRect& frame, TPoint mouse, int scaleW,
                int scaleH, const TRect& picture, const TCropRules& rules = {});

enum TArrowKey : uint8_t { akLeft, akUp, akRight, akDown };
// Moves or resizes the crop rectangle (picture pixels) for an arrow key with
// Ctrl and/or Shift. False, crop untouched, when the change is refused.
bool ArrowKeyCrop(TArrowKey key, bool ctrl, bool shift, TRect& crop, int pictureWidth, int pictureHeight,
                  TScaleStyle style, int scaleW, int scaleH, const TCropRules& rules = {});

// The read-out of the crop view (GetCroppedBitmap). P is the picture's place
// in the panel, F the frame's; frameShown says whether the frame counts.
// Without stretching, the crop at the picture's own resolution; with it, the
// crop scaled by (xScale, yScale) of the panel size, through the filter of
// `style`. A crop more than twice the target's height is first drawn at
// twice the target size. `intermediate`, when given, receives the size of the
// picture that was resampled (0 x 0 when none).
void CropToBitmap(const Bitmap24& picture, const TRect& P, const TRect& F, bool frameShown, bool stretch,
                  TResampleStyle style, double xScale, double yScale, Bitmap24& out,
                  TPoint* intermediate = nullptr);

// The part of the picture inside `crop` (picture pixels) at the picture's own
// resolution, the crop first clipped to the picture; returns the rectangle
// cut. What a project is made of: unlike the read-out above it does not pass
// through the panel, so a small preview cannot shift or size it.
TRect CopyPictureRect(const Bitmap24& picture, const TRect& crop, Bitmap24& out);
