// The window-free rules of a build and of the erase runs: what they check,
// which cells they take and the texts they show. The main window calls these;
// tests reach them without a window.
#pragma once
#include <cstdint>
#include <string>

#include "mosaic/CellArea.h"
#include "tiledb/VTData.h"

// "1h:2m:5.4s": hours, minutes, seconds and tenths, no leading zeros.
std::string FormatElapsed(int32_t ms);

// The orientation boxes packed as the tile choice wants them: byte 0 the
// originals, byte 1 horizontal mirrors, byte 2 half turns, byte 3 vertical
// mirrors; a ticked box gives 1.
TVTData::TFlipSet PackFlipSet(bool original, bool hflip, bool rotate180, bool vflip);

// Whether a library of `originals` tiles cannot serve a cols x rows grid
// with this Distance and Repeat (0 is "Auto": no limit); message then holds
// the lines to show, separated by carriage returns.
bool NotEnoughTiles(int64_t originals, int64_t distance, int64_t repeat, int64_t cols, int64_t rows,
                    std::string& message);


// The cells a build works on: a one-cell selection means the whole grid
// (whatever the inversion); otherwise the selection, or every cell outside it.
struct TBuildArea {
  TCellArea Selection;
  bool WholeGrid = false;
  bool Inverted = false;
  int Cols = 0, Rows = 0;
  TBuildArea(const TCellArea& selection, bool inverted, int cols, int rows);
  bool Takes(int col, int row) const;
  // The number of cells taken (the progress bar's maximum).
  int64_t Count() const;
};

// Which cells of its work area an erase command clears.
enum TErasePattern : uint8_t { epAll, epCheckBoard1, epCheckBoard2, epHLines, epVLines };
bool ErasePatternTakes(TErasePattern pattern, int col, int row);

// The running estimate of a build: the tick of the previous cell, the time
// spent before it and the duration of the last cell.
struct TTimeEstimate {
  uint32_t T = 0;
  int64_t E = 0, L = 0;
  // A cell is done at tick now.
  void Step(uint32_t now);
  // "(elapsed)/(expected total) count - number = rest".
  std::string Text(int64_t count, int64_t number) const;
};

// The captions of the selection popup: "Render cells from 1x1 to 2x2", ...
std::string SelectionCaption(const char* verb, const TCellArea& s, bool inverted);
