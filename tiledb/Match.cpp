#include "tiledb/Match.h"

#include <algorithm>

#include "tiledb/MatchEngine.h"
#include "tiledb/MatchState.h"
#include "tiledb/PixelCodec.h"
#include "tiledb/VTData.h"

const char* const kRunOutOfTilesMessage =
    "Vitrane run out of tiles:\rThere is not enough tiles to complete the mosaic.\rPlease change Distance or "
    "Repeat values\ror add more tiles in the library";

double SampleDistance(const uint8_t* a, const uint8_t* b, int n) {
  uint64_t sum = 0;
  for (int i = 0; i < n; ++i) {
    const int d = int(a[i]) - int(b[i]);
    sum += uint64_t(d * d);
  }
  return double(sum);
}

bool TileInWindow(int32_t identity, int row, int col, int d, int cols, int rows,
                  const std::vector<int32_t>& grid) {
  const int64_t r0 = std::max<int64_t>(0, int64_t(row) - d),
                r1 = std::min<int64_t>(rows - 1, int64_t(row) + d);
  const int64_t c0 = std::max<int64_t>(0, int64_t(col) - d),
                c1 = std::min<int64_t>(cols - 1, int64_t(col) + d);
  for (int64_t r = r0; r <= r1; ++r)
    for (int64_t c = c0; c <= c1; ++c) {
      const int64_t idx = r * cols + c;
      if (idx >= 0 && uint64_t(idx) < grid.size() && grid[size_t(idx)] == identity) return false;
    }
  return true;
}

// ---- The table's side of tile choice -----------------------------------------

TVTData::TMatchHolder::~TMatchHolder() {
  delete State;
}

void TVTData::MatchDataChanged() {
  if (FMatch.State) FMatch.State->Loaded = false;
}

// Reloads the engine when the data section is another one than it was loaded
// from (a file opened, records added or cut), when the info section grew (a
// cell update rewrites a record's samples in place and appends its info
// record) or when a change was announced. A data section replaced behind the
// matcher's back belongs to another library, so its wide counts start again
// from the flag bytes.
TVTData::TMatchState& TVTData::Matcher() {
  if (!FMatch.State) FMatch.State = new TMatchState;
  TMatchState& m = *FMatch.State;
  const uint8_t* data = DataSection.Memory();
  const int64_t size = DataSection.Size(), infoSize = InfoSection.Size();
  const bool sameData =
      data == m.Data && size == m.DataSize && RecordCount == m.Records && SampleSize == m.SampleSize;
  if (m.Loaded && sameData && infoSize == m.InfoSize) return m;
  // Only records that lie wholly inside the section take part (a closed table
  // keeps its header values but has no records).
  const int64_t recSize = int64_t(SampleSize) + DataRecordPrefix;
  int64_t usable = 0;
  if (SampleSize > 0 && size >= SectionTagSize)
    usable = std::min<int64_t>(std::max(RecordCount, 0), (size - SectionTagSize) / recSize);
  const bool foreign = m.Loaded && !sameData;
  m.Engine.Reset(std::max(SampleSize, 0), int(usable));
  for (int32_t i = 0; i < usable; ++i)
    m.Engine.SetSamples(i, data + SectionTagSize + i * recSize + DataRecordPrefix);
  if (foreign) m.Counts.assign(size_t(usable), 0);
  m.Counts.resize(size_t(usable), 0);
  m.Loaded = true;
  m.Data = data;
  m.DataSize = size;
  m.InfoSize = infoSize;
  m.Records = RecordCount;
  m.SampleSize = SampleSize;
  return m;
}

uint32_t TVTData::RecordUseCount(int32_t recNo) const {
  const uint8_t flag = RecordFlag(recNo);
  const TMatchState* m = FMatch.State;
  const uint32_t wide =
      m && recNo >= 1 && size_t(recNo) <= m->Counts.size() ? m->Counts[size_t(recNo - 1)] : 0;
  return UseCount(flag, wide);
}

namespace {

// The arguments of one choice for the cell on which `cells` stands. The
// cell's samples are put into the library's colour system; a cell table with
// another sample grid cannot be compared, and is refused rather than read
// past its end.
TPickArgs CellArgs(const TVTData& lib, const TVTData& cells, std::vector<uint8_t>& target,
                   const std::vector<int32_t>& grid, TVTData::TFlipSet flips, int32_t d, int32_t cols,
                   int32_t rows, int32_t col, int32_t row) {
  if (lib.SampleSize <= 0 || cells.CurSamples.size() != size_t(lib.SampleSize))
    throw EVitrane("The cells' sample grid does not match the library's");
  target.resize(size_t(lib.SampleSize));
  PrepareTargetSamples(cells.CurSamples.data(), target.data(), target.size(), lib.ColorSystem,
                       cells.ColorSystem);
  TPickArgs a;
  a.Target = target.data();
  a.Grid = grid.data();
  a.GridSize = grid.size();
  a.Cols = cols;
  a.Rows = rows;
  a.Col = col;
  a.Row = row;
  a.Distance = d;
  a.FlipSet = flips;
  a.OriginalCount = lib.OriginalCount;
  std::copy(lib.FlipKinds.begin(), lib.FlipKinds.end(), a.FlipKinds);
  return a;
}

}  // namespace

void TVTData::PickTileCommon(TVTData& cells, std::vector<int32_t>& grid, bool flipped, TFlipSet flips,
                             int32_t repeat, int32_t d, int32_t cols, int32_t rows, int32_t col,
                             int32_t row) {
  TMatchState& m = Matcher();
  TPickArgs a = CellArgs(*this, cells, m.Target, grid, flips, d, cols, rows, col, row);
  if (m.Engine.Count() == 0) throw ERunOutOfTiles(kRunOutOfTilesMessage);
  a.Repeat = repeat;
  a.SkipDeleted = true;
  a.Flipped = flipped;
  a.Flags = DataSection.Memory() + SectionTagSize + drFlag;
  a.FlagStride = size_t(DataRecordSize());
  a.Counts = m.Counts.data();
  TPickResult r = m.Engine.Pick(a);
  // A winner whose copy no longer matches the data section means samples
  // were changed behind the matcher's back: reload and choose again.
  if (r.Record >= 0 && !std::equal(RecordSamples(r.Record + 1), RecordSamples(r.Record + 1) + SampleSize,
                                   m.Engine.Samples(r.Record))) {
    MatchDataChanged();
    TMatchState& fresh = Matcher();
    a.Counts = fresh.Counts.data();
    r = fresh.Engine.Pick(a);
  }
  if (r.Record < 0) throw ERunOutOfTiles(kRunOutOfTilesMessage);
  m.Engine.RaiseCounts(a, r);
  PlaceIdentity(a, grid.data(), r.Identity);
  // The winner is the record that was measured; its info record's
  // SamplesOffset names the same record in every consistent library.
  MoveToPhysical(r.Record + 1);
}

void TVTData::PickTileFlipped(TVTData& cells, std::vector<int32_t>& grid, TFlipSet flips, int32_t repeat,
                              int32_t d, int32_t cols, int32_t rows, int32_t col, int32_t row) {
  PickTileCommon(cells, grid, true, flips, repeat, d, cols, rows, col, row);
}

void TVTData::PickTile(TVTData& cells, std::vector<int32_t>& grid, int32_t repeat, int32_t d, int32_t cols,
                       int32_t rows, int32_t col, int32_t row) {
  PickTileCommon(cells, grid, false, 0, repeat, d, cols, rows, col, row);
}

void TVTData::FindBestMatches(TVTData& cells, const std::vector<int32_t>& grid, TFlipSet flips, int32_t count,
                              int32_t d, int32_t cols, int32_t rows, int32_t col, int32_t row) {
  // Every distance is computed here anyway, so the samples are reloaded
  // first: a list never rests on a copy that might be out of date.
  MatchDataChanged();
  TMatchState& m = Matcher();
  TPickArgs a = CellArgs(*this, cells, m.Target, grid, flips, d, cols, rows, col, row);
  a.SkipDeleted = false;
  std::vector<TMatchCandidate>& c = m.Candidates;
  m.Engine.ListCandidates(a, c);
  // The entries in visit order, then the table's own key sorts, which keep
  // equal distances in that order.
  std::vector<uint8_t> entries(c.size() * size_t(4 + FloatKeySize));
  for (size_t k = 0; k < c.size(); ++k) {
    uint8_t* e = entries.data() + k * size_t(4 + FloatKeySize);
    PutI32(e, int32_t(DataRecordOffset(c[k].Record + 1, SampleSize)));
    PutF64(e + 4, double(c[k].Distance));
  }
  SortIndex.Clear();
  SortIndex.WriteBytes(entries);
  IndexKeySize = FloatKeySize;
  if (count > 0) {
    SortKeysBest(count);
    VisibleCount = count;
  } else {
    SortKeysAscending();
    VisibleCount = int32_t(c.size());
  }
  CurIndexPos = 0;
  MoveTo(1);
}
