// The tile renderer: everything that turns one tile into the pixels of one
// output cell. A tile's picture is loaded from its file (or taken from memory),
// its stored source rectangle cut out, the mirroring encoded in the
// rectangle's corner order undone, the result resized to the cell with the
// Mitchell filter, optionally sharpened, colour-corrected toward the source
// cell and blended with it, and handed over as a 24-bit bitmap.
//
// Source rectangle: corners (X1, Y1) and (X2, Y2) in the full-size picture;
// the region runs from min to max of each pair (right and bottom exclusive).
// X2 < X1 asks for a left-right mirror, Y2 < Y1 for a top-bottom mirror, both
// for a half turn. Parts of the region outside the picture come out black.
#pragma once
#include <cstddef>
#include <memory>
#include <string>

#include "imaging/Bitmap32.h"
#include "platform/Bitmap24.h"

// Loads the picture file and fills out with its region at the target size.
// Fast JPEG reading decodes ".jpg"/".jpeg" files at the largest reduction that
// keeps the wanted size. A file that cannot be read gives a black tile; an
// icon that cannot be read, or a JPEG that fails while decoding on the fast
// path, raises to the caller.
void LoadTileRegion(const std::string& fileName, int X1, int Y1, int X2, int Y2, int targetWidth,
                    int targetHeight, bool fastJpeg, TBitmap32& out);

// The same from a picture already in memory (coordinates taken as they are).
void CropTileRegion(const TBitmap32& source, int X1, int Y1, int X2, int Y2, int targetWidth,
                    int targetHeight, TBitmap32& out);

// LoadTileRegion / CropTileRegion, then the sharpen kernel when asked; output
// becomes a 24-bit bitmap of the result's size holding it.
void RenderTileFromFile(const std::string& fileName, int X1, int Y1, int X2, int Y2, int targetWidth,
                        int targetHeight, bool fastJpeg, bool sharpen, Bitmap24& output);
// fastJpeg has no effect; it keeps the call the same as RenderTileFromFile's.
void RenderTileFromBitmap(const TBitmap32& source, int X1, int Y1, int X2, int Y2, int targetWidth,
                          int targetHeight, bool fastJpeg, bool sharpen, Bitmap24& output);

// One mosaic cell from a tile picture in memory (a stored thumbnail or a
// loaded tile): resized to the target, sharpened when asked, shifted toward
// the cell picture's colour statistics by colorCorrect percent (0..100), and
// the cell picture blended over it with blendAlpha (0..255). With detailed
// blend on, an existing source file and a source picture given, the blended
// picture is the cell's region (X1..Y2) of the source picture instead of the
// cell picture.
void RenderCellImage(const Bitmap24& tilePicture, int targetWidth, int targetHeight, bool sharpen,
                     int colorCorrect, int blendAlpha, const Bitmap24& cellBitmap, bool detailedBlend,
                     const std::string& sourceFileName, const TBitmap32* sourcePicture, int X1, int Y1,
                     int X2, int Y2, Bitmap24& output);

// Reads an icon file into bitmap, sized to the icon. Raises when it cannot.
void LoadIconAsBitmap(const std::string& fileName, Bitmap24& bitmap);

// Blends graphic, stretched to bitmap's size, over bitmap with the alpha.
void OverlayWithAlpha(Bitmap24& bitmap, const Bitmap24& graphic, int alpha);

// Colour-corrects bitmap cell by cell toward the reference by percent, over
// columns x rows cells of the reference's size; no preview cell is 4 pixels
// or narrower unless the picture is, and there is at least one of each.
void BuildGridPreview(Bitmap24& bitmap, const Bitmap24& reference, int columns, int percent, int rows);

// Decoded tile pictures shared by the cells of one output run, so that a
// picture file used by many cells is decoded once: one entry per file and way
// of reading it (decoder scale, icon, picture list), checked against the
// file's size and time. Entries beyond the byte budget push out the least
// recently used; a picture larger than the budget is not kept. Any number of
// threads may read through it; two asking for one picture at once share one
// decode. What it holds never changes a result: a kept picture is the one a
// fresh decode gives.
class TTileDecodeCache {
 public:
  // budgetBytes 0: an eighth of the physical memory, within 64 MB..1 GB.
  explicit TTileDecodeCache(size_t budgetBytes = 0);
  ~TTileDecodeCache();
  TTileDecodeCache(const TTileDecodeCache&) = delete;
  TTileDecodeCache& operator=(const TTileDecodeCache&) = delete;
  size_t Budget() const;
  size_t Bytes() const;  // pixel bytes held now
  int Decodes() const;   // pictures decoded through it so far
  void Clear();

  struct TState;
  TState& State() { return *FState; }

 private:
  std::unique_ptr<TState> FState;
};

// The JPEG decoder scale (0..3 for 1/1..1/8) for drawing a region of
// regionWidth x regionHeight full-size pixels into a target cell: the largest
// reduction that keeps the region at least the target's size both ways.
int CellJPEGScale(int regionWidth, int regionHeight, int targetWidth, int targetHeight);

// Like LoadTileRegion for one cell of an output drawn from the original
// pictures: with fast JPEG reading a JPEG file is decoded at CellJPEGScale
// (the coordinates divided and rounded as LoadTileRegion does), and pictures
// are read through cache when one is given. Failures as LoadTileRegion's.
void LoadOriginalTile(const std::string& fileName, int X1, int Y1, int X2, int Y2, int targetWidth,
                      int targetHeight, bool fastJpeg, TTileDecodeCache* cache, TBitmap32& out);
// LoadOriginalTile handed over as a 24-bit bitmap, ready for RenderCellImage.
void RenderTileFromOriginal(const std::string& fileName, int X1, int Y1, int X2, int Y2, int targetWidth,
                            int targetHeight, bool fastJpeg, TTileDecodeCache* cache, Bitmap24& output);

// A whole cell from the tile's picture file for an output without colour
// correction or blend: RenderTileFromOriginal, then RenderCellImage with
// sharpen only. Through the cache the finished cell is kept (it depends on
// the tile alone), so a tile shown by many cells of one size is cut and
// sharpened once. The picture is shared with the cache: never changed.
std::shared_ptr<const Bitmap24> RenderOriginalCell(const std::string& fileName, int X1, int Y1, int X2, int Y2,
                                                   int targetWidth, int targetHeight, bool fastJpeg, bool sharpen,
                                                   TTileDecodeCache* cache);

// The renderer keeps the last picture file it decoded (by name, decoder scale
// and the file's size and time), since consecutive cells often share a tile.
// This lets the memory go, for instance at the end of an output run.
void ReleaseTileRenderCache();
