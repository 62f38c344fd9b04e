#include "dialogs/LibraryMosaicRules.h"

#include <cmath>

#include "platform/Rounding.h"
#include "tiledb/VTData.h"

std::string LibrarySummary(const TVTData& lib) {
  std::string marks;
  const auto has = [&lib](uint8_t kind) {
    for (int i = 1; i <= 3; ++i)
      if (lib.FlipKinds[i] == kind) return true;
    return false;
  };
  if (has(1)) marks += "H";
  if (has(3)) marks += "V";
  if (has(2)) marks += "R";
  if (!marks.empty()) marks = " (" + marks + ")";
  return std::to_string(lib.OriginalCount) + marks + " rec. (" + ColorModeName(lib.ColorSystem) + ") " +
         std::to_string(lib.XScale) + "/" + std::to_string(lib.YScale) + " - " + std::to_string(lib.XRes) +
         "/" + std::to_string(lib.YRes);
}

int32_t RowsForColumns(int32_t count, int32_t columns) {
  if (columns <= 0) return 0;
  return count / columns + (count % columns ? 1 : 0);
}

int32_t DefaultColumns(int32_t count) {
  return static_cast<int32_t>(RoundHalfEven(std::sqrt(static_cast<double>(count))));
}

int32_t FindTileRecord(TVTData& lib, const std::string& name, bool (*stop)(void*), void* ctx, bool& stopped) {
  stopped = false;
  for (int32_t i = 1; i <= lib.RecordCount; ++i) {
    lib.MoveTo(i);
    if (lib.CurPath == name) return i;
    if (stop && stop(ctx)) {
      stopped = true;
      return 0;
    }
  }
  return 0;
}
