#include "mosaic/BuildRun.h"

#include <algorithm>
#include <memory>

namespace {

// A tile placed again stores the samples it stored before: resampling its
// picture to the mosaic's colour system costs a good part of a pick. The
// samples of a record rest on its info and thumbnail, which a change to the
// library appends anew, so a library that grew starts the memo again.
class TSampleMemo {
 public:
  TSampleMemo(const TVTData& lib, const TVTData& mosaic)
      : FLib(lib), FMosaic(mosaic), FSize(size_t(std::max(mosaic.SampleSize, 0))) {
    FOn = lib.ColorSystem != mosaic.ColorSystem && FSize > 0;
  }
  // The samples of the library's current record, or nullptr where
  // SetRecordFrom works them out itself.
  const uint8_t* Samples() {
    if (!FOn || FLib.CurRecNo < 1 || FLib.CurRecNo > FLib.RecordCount) return nullptr;
    const int64_t info = FLib.InfoSection.Size(), thumbs = FLib.ThumbSection.Size();
    if (FKnown.size() != size_t(FLib.RecordCount) || info != FInfo || thumbs != FThumbs ||
        FLib.ShowThumbs != FShown) {
      FKnown.assign(size_t(FLib.RecordCount), 0);
      // Left uninitialised: only the rows of tiles placed are ever touched.
      FBytes.reset(new uint8_t[FKnown.size() * FSize]);
      FInfo = info;
      FThumbs = thumbs;
      FShown = FLib.ShowThumbs;  // the picture resampled is the thumbnail or the samples
    }
    const size_t k = size_t(FLib.CurRecNo - 1);
    uint8_t* at = FBytes.get() + k * FSize;
    if (!FKnown[k]) {
      const std::vector<uint8_t> v = FMosaic.SourceSamples(FLib);
      if (v.size() != FSize) return nullptr;
      std::copy(v.begin(), v.end(), at);
      FKnown[k] = 1;
    }
    return at;
  }

 private:
  const TVTData& FLib;
  const TVTData& FMosaic;
  size_t FSize;
  bool FOn = false, FShown = false;
  std::vector<uint8_t> FKnown;
  std::unique_ptr<uint8_t[]> FBytes;
  int64_t FInfo = -1, FThumbs = -1;
};

}  // namespace

void RunBuildCells(TVTData& lib, TVTData& plan, TVTData& mosaic, std::vector<int32_t>& grid,
                   const TBuildArea& area, const TBuildRunSettings& s, TBuildObserver& observer) {
  const int cols = area.Cols, rows = area.Rows;
  const bool thumbs = mosaic.ShowThumbs;
  int32_t last = 0;
  // The loop reads only a cell's link; decoding the thumbnail it holds would
  // be work for nothing. The cursor is loaded properly once at the end.
  struct TRestore {
    TVTData& Mosaic;
    bool Thumbs;
    int32_t& Last;
    ~TRestore() {
      Mosaic.ShowThumbs = Thumbs;
      if (Last > 0) Mosaic.MoveTo(Last);
    }
  } restore{mosaic, thumbs, last};
  TSampleMemo memo(lib, mosaic);
  int64_t number = 0;
  for (int32_t i = 1; i <= plan.RecordCount; ++i) {
    plan.GoToRecord(i);
    const int32_t n = plan.CurRecNo;
    const int col = cols > 0 ? (n - 1) % cols : 0, row = cols > 0 ? (n - 1) / cols : 0;
    if (!area.Takes(col, row)) continue;
    mosaic.ShowThumbs = false;
    mosaic.MoveTo(n);
    mosaic.ShowThumbs = thumbs;
    last = n;
    ++number;
    if ((s.FixCustom && mosaic.CurLink >= CustomTileLink) || (s.FixAuto && mosaic.CurLink > 0)) {
      observer.CellKept(number);
      continue;
    }
    lib.PickTileFlipped(plan, grid, s.Flips, s.Repeat, s.Distance, cols, rows, col, row);
    const uint8_t* samples = memo.Samples();
    const bool changed =
        samples ? mosaic.SetRecordFrom(n, lib, true, samples) : mosaic.SetRecordFrom(n, lib, true);
    if (observer.CellPlaced(col, row, changed, number)) break;
  }
}
