#include "dialogs/LibraryMosaicRules.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "mosaic/OutputRender.h"
#include "platform/Errors.h"
#include "platform/Hooks.h"
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

std::vector<int32_t> LibraryTileOrder(TVTData& lib, TLibraryTileOrder order, TColor sample) {
  std::vector<int32_t> records;
  const int32_t originals = std::clamp(lib.OriginalCount, 0, lib.RecordCount);
  const auto keep = [&](int32_t r) { return r >= 1 && r <= originals && lib.RecordFlag(r) < FlagDeletedMin; };
  if (order == ltoAsIs || order == ltoPathName) {
    for (int32_t r = 1; r <= originals; ++r)
      if (keep(r)) records.push_back(r);
    if (order == ltoPathName)
      std::stable_sort(records.begin(), records.end(),
                       [&lib](int32_t a, int32_t b) { return lib.RecordInfo(a).Path < lib.RecordInfo(b).Path; });
    return records;
  }
  // The table's own orders, so the colour distance is the one tiles are
  // matched by; flipped copies sort with the rest and are passed over.
  struct TDropIndex {
    TVTData& Lib;
    ~TDropIndex() { Lib.ClearIndex(); }
  } drop{lib};
  if (order == ltoFileName) {
    lib.SortByName();
  } else {
    Bitmap24 plain(std::max(lib.XRes, 1), std::max(lib.YRes, 1));
    plain.Fill(sample);
    lib.SortByBitmap(plain);
  }
  for (int32_t i = 1; i <= lib.VisibleCount; ++i) {
    lib.GoToRecord(i);
    if (keep(lib.CurRecNo)) records.push_back(lib.CurRecNo);
  }
  return records;
}

void ComposeLibraryMosaic(TVTData& lib, const std::vector<int32_t>& records, int cols, int rows,
                          const std::string& fileName, Bitmap24& picture) {
  if (records.empty()) throw EVitrane("The library has no tiles to show");
  if (cols < 1 || rows < 1) throw EVitrane("Please set at least one column and one row");
  struct TThumbs {
    TVTData& Lib;
    bool Was;
    ~TThumbs() { Lib.ShowThumbs = Was; }
  } thumbs{lib, lib.ShowThumbs};
  lib.ShowThumbs = true;
  lib.MoveToPhysical(records.front());
  const int tw = lib.DisplayBitmap.Width(), th = lib.DisplayBitmap.Height();
  CheckSheetSize(fileName, cols, rows, tw, th);
  picture.SetSize(cols * tw, rows * th);
  picture.Fill(clBlack);
  const size_t cells = std::min(records.size(), size_t(cols) * size_t(rows));
  for (size_t i = 0; i < cells; ++i) {
    lib.MoveToPhysical(records[i]);
    const int c = int(i % size_t(cols)), r = int(i / size_t(cols));
    StretchDraw(picture, TRect(c * tw, r * th, (c + 1) * tw, (r + 1) * th), lib.DisplayBitmap);
    ProcessMessages();
  }
}
