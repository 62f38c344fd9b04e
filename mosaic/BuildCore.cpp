// The window-free rules of a build and of the erase runs.
#include "mosaic/BuildCore.h"

#include <algorithm>

std::string FormatElapsed(int32_t ms) {
  // A negative span (the clock wrapped) reads as none rather than as nonsense.
  const int64_t v = std::max<int32_t>(ms, 0);
  return std::to_string(v / 3600000) + "h:" + std::to_string(v % 3600000 / 60000) +
         "m:" + std::to_string(v % 60000 / 1000) + "." + std::to_string(v % 1000 / 100) + "s";
}

TVTData::TFlipSet PackFlipSet(bool original, bool hflip, bool rotate180, bool vflip) {
  return TVTData::TFlipSet(original) | TVTData::TFlipSet(hflip) << 8 | TVTData::TFlipSet(rotate180) << 16 |
         TVTData::TFlipSet(vflip) << 24;
}

bool NotEnoughTiles(int64_t originals, int64_t distance, int64_t repeat, int64_t cols, int64_t rows,
                    std::string& message) {
  const int64_t needed = std::min(distance, cols) * std::min(distance, rows);
  if (originals < needed) {
    message = "There are not enough tiles for current distance between tiles setting.\rYou need " +
              std::to_string(needed) + " tiles in the library but have only " + std::to_string(originals) +
              ".\rPlease decrease \"Distance\" value.";
    return true;
  }
  if (repeat < 1) return false;
  const int64_t cells = cols * rows;
  if (repeat * originals < cells) {
    message =
        "There are not enough tiles for current tile repetition setting.\rYou need " +
        std::to_string((cells + repeat - 1) / repeat) + " tiles in the library but have only " +
        std::to_string(originals) +
        ".\rPlease increase \"Repeat\" value\ror set it to \"Auto\" to use as many repetitons as needed.";
    return true;
  }
  return false;
}

TBuildArea::TBuildArea(const TCellArea& selection, bool inverted, int cols, int rows)
    : Selection(selection), WholeGrid(selection.SingleCell()), Inverted(inverted), Cols(cols), Rows(rows) {}

bool TBuildArea::Takes(int col, int row) const {
  return WholeGrid || Selection.Contains(col, row) != Inverted;
}

int64_t TBuildArea::Count() const {
  const int64_t all = int64_t(Cols) * Rows;
  if (WholeGrid) return all;
  const int64_t inside =
      int64_t(Selection.Right - Selection.Left + 1) * int64_t(Selection.Bottom - Selection.Top + 1);
  return Inverted ? all - inside : inside;
}

bool ErasePatternTakes(TErasePattern pattern, int col, int row) {
  switch (pattern) {
    case epCheckBoard1:
      return (col + row) % 2 == 1;
    case epCheckBoard2:
      return (col + row) % 2 == 0;
    case epHLines:
      return row % 2 == 1;
    case epVLines:
      return col % 2 == 0;
    default:
      return true;
  }
}

void TTimeEstimate::Step(uint32_t now) {
  if (T < 1) {
    E = 0;
    L = 0;
  } else {
    E += L;
    L = int64_t(uint32_t(now - T));  // the millisecond clock wraps
  }
  T = now;
}

std::string TTimeEstimate::Text(int64_t count, int64_t number) const {
  const auto clamp = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, 0, INT32_MAX)); };
  return "(" + FormatElapsed(clamp(E)) + ")/(" + FormatElapsed(clamp((count - number) * L + E)) + ") " +
         std::to_string(count) + " - " + std::to_string(number) + " = " + std::to_string(count - number);
}

std::string SelectionCaption(const char* verb, const TCellArea& s, bool inverted) {
  return std::string(verb) + (inverted ? " cells outside of " : " cells from ") + std::to_string(s.Left + 1) +
         "x" + std::to_string(s.Top + 1) + " to " + std::to_string(s.Right + 1) + "x" +
         std::to_string(s.Bottom + 1);
}
