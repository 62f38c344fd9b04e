// Mosaic output without a window. Kept free of Qt so that tests and the
// benchmark drive the same loops the main window runs.
#include "mosaic/OutputRender.h"

#include <fcntl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <queue>
#include <thread>
#include <vector>

#include "formats/BandStream.h"
#include "formats/BandWriter.h"
#include "formats/JpegDensity.h"
#include "imaging/TileRender.h"
#include "mosaic/CellPool.h"
#include "platform/Bmp.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Jpeg.h"
#include "platform/Rounding.h"
#include "tiledb/VTData.h"

int OutputCellEdge(int size, int count, int i) {
  return count <= 0 ? 0 : int(RoundDiv(int64_t(size) * i, count));
}

namespace {
void MoveToCell(TOutputJob& job, int c, int r);
}

TCellRenderer::TCellRenderer(TOutputJob& job) : FJob(job), FSourcePath(job.Plan->SourcePath) {
  FWidth = job.Settings.Width;
  FHeight = job.Settings.Height;
}

TRect TCellRenderer::CellRect(int c, int r) const {
  const TCellArea& a = FJob.Area;
  return TRect(OutputCellEdge(FWidth, a.Cols(), c), OutputCellEdge(FHeight, a.Rows(), r),
               OutputCellEdge(FWidth, a.Cols(), c + 1), OutputCellEdge(FHeight, a.Rows(), r + 1));
}

TRect TCellRenderer::SourceRegion(int c, int r) const {
  const TVTData& plan = *FJob.Plan;
  const TRect& s = plan.SourceRect;
  const int gc = FJob.Area.Left + c, gr = FJob.Area.Top + r;
  const int sw = s.Right - s.Left, sh = s.Bottom - s.Top;
  return TRect(OutputCellEdge(sw, plan.Columns, gc) + s.Left, OutputCellEdge(sh, plan.Rows, gr) + s.Top,
               OutputCellEdge(sw, plan.Columns, gc + 1) + s.Left,
               OutputCellEdge(sh, plan.Rows, gr + 1) + s.Top);
}

void TCellRenderer::EnsureSourceLoaded() {
  if (FSourceLoaded) return;
  if (FSourcePath.empty() || !FileExists(FSourcePath)) return;
  FSource.LoadFromFile(FSourcePath);
  FSourceLoaded = true;
}

void TCellRenderer::LoadBlendSource() {
  if (FJob.Settings.BlendAlpha > 0 && FJob.Settings.DetailedBlend) EnsureSourceLoaded();
}

void TCellRenderer::RenderCell(int c, int r, Bitmap24& cell) {
  TCellTask task;
  Prepare(c, r, task);
  Render(task, cell);
}

bool TCellRenderer::Prepare(int c, int r, TCellTask& task, bool mayAsk) {
  TVTData& mosaic = *FJob.Mosaic;
  TVTData& plan = *FJob.Plan;
  MoveToCell(FJob, c, r);
  task.Col = c;
  task.Row = r;
  task.Rect = CellRect(c, r);
  task.Source = SourceRegion(c, r);
  task.ThumbOffset = mosaic.CurRecNo > 0 ? mosaic.RecordInfo(mosaic.CurRecNo).ThumbBlobOffset : 0;
  task.Display = mosaic.DisplayBitmap;
  task.CellBitmap = plan.DisplayBitmap;
  task.Path = mosaic.CurPath;
  task.Crop = mosaic.CurCropRect;
  // Detailed blend reads the whole source picture, loaded before the first cell.
  LoadBlendSource();
  task.SourcePicture = FSourceLoaded ? &FSource : nullptr;
  task.Kind = TCellTask::ckStored;
  if (!FJob.UseOriginalFiles) return true;

  const std::string& path = task.Path;
  // An empty cell's path is blank (plan records name no picture: "  ").
  const bool blank = path.find_first_not_of(' ') == std::string::npos;
  // One look at the file tells whether it is there and how large it is.
  task.FileBytes = blank ? -1 : FileSize(path);
  if (task.FileBytes >= 0) {
    task.Kind = TCellTask::ckOriginal;
    return true;
  }
  if (blank && !FJob.BlankIsMissing) {
    // An empty cell: the background is the source picture when allowed.
    if (FJob.DetailedBackground) EnsureSourceLoaded();
    task.SourcePicture = FSourceLoaded ? &FSource : nullptr;
    task.Kind = FJob.DetailedBackground && FSourceLoaded ? TCellTask::ckSourceRegion : TCellTask::ckPlainStored;
    return true;
  }
  if (FAnswer != tnfAuto && FAnswer != tnfAutoSource) {
    if (!mayAsk) return false;
    FAnswer = FJob.AskTileNotFound ? FJob.AskTileNotFound(path) : tnfAuto;
  }
  int answer = FAnswer;
  if (answer == tnfAutoSource && !FileExists(FSourcePath)) answer = tnfAuto;
  const TCellTask::TKind replace = FJob.PlainReplacement ? TCellTask::ckPlainStored : TCellTask::ckStored;
  switch (answer) {
    case tnfReplaceAllRest:
      FJob.UseOriginalFiles = false;
      task.Kind = replace;
      break;
    case tnfAutoSource:
      task.Kind = TCellTask::ckSourceFile;
      break;
    case tnfCancel:
      if (FJob.StopRequested) *FJob.StopRequested = true;
      task.Kind = TCellTask::ckCancelled;
      break;
    default:
      task.Kind = replace;
  }
  return true;
}

namespace {
// The record's picture: its stored thumbnail, or its samples when it has none
// or the thumbnail cannot be decoded, as the table shows it with ShowThumbs.
// Reading a thumbnail is a positioned read of the table's thumbnail file that
// leaves the table and its cursor alone, so the rendering threads do it.
const Bitmap24& StoredPicture(const TVTData& mosaic, const TCellTask& task, Bitmap24& decoded) {
  std::vector<uint8_t> jpeg;
  if (!mosaic.ReadThumbBlob(task.ThumbOffset, jpeg)) return task.Display;
  try {
    JpegDecode(jpeg.data(), jpeg.size(), 0, decoded);
    return decoded;
  } catch (const std::exception&) {
    return task.Display;
  }
}
}  // namespace

void TCellRenderer::Render(const TCellTask& task, Bitmap24& cell) const {
  std::shared_ptr<const Bitmap24> kept;
  const Bitmap24& picture = Render(task, cell, kept);
  if (&picture != &cell) cell = picture;
}

const Bitmap24& TCellRenderer::Render(const TCellTask& task, Bitmap24& cell,
                                      std::shared_ptr<const Bitmap24>& kept) const {
  const TOutputSettings& s = FJob.Settings;
  const TRect& src = task.Source;
  const int cw = task.Rect.Right - task.Rect.Left, ch = task.Rect.Bottom - task.Rect.Top;
  auto renderCell = [&](const Bitmap24& tile) {
    RenderCellImage(tile, cw, ch, s.Sharpen, s.ColorCorrection, s.BlendAlpha, task.CellBitmap, s.DetailedBlend,
                    FSourcePath, task.SourcePicture, src.Left, src.Top, src.Right, src.Bottom, cell);
  };
  Bitmap24 picture;
  switch (task.Kind) {
    case TCellTask::ckStored:
      renderCell(StoredPicture(*FJob.Mosaic, task, picture));
      break;
    case TCellTask::ckOriginal: {
      const TRect& k = task.Crop;
      if (s.ColorCorrection + s.BlendAlpha <= 0) {
        kept = RenderOriginalCell(task.Path, k.Left, k.Top, k.Right, k.Bottom, cw, ch, s.FastJpeg, s.Sharpen, &FCache);
        return *kept;
      }
      RenderTileFromOriginal(task.Path, k.Left, k.Top, k.Right, k.Bottom, cw, ch, s.FastJpeg, &FCache, picture);
      renderCell(picture);
      break;
    }
    case TCellTask::ckSourceRegion:
      RenderTileFromBitmap(*task.SourcePicture, src.Left, src.Top, src.Right, src.Bottom, cw, ch, s.FastJpeg,
                           s.Sharpen, cell);
      break;
    case TCellTask::ckPlainStored: {
      const Bitmap24& tile = StoredPicture(*FJob.Mosaic, task, picture);
      cell.SetSize(cw, ch);
      StretchDraw(cell, TRect(0, 0, cw, ch), tile);
      break;
    }
    case TCellTask::ckSourceFile:
      RenderTileFromFile(FSourcePath, src.Left, src.Top, src.Right, src.Bottom, cw, ch, s.FastJpeg, s.Sharpen,
                         cell);
      break;
    case TCellTask::ckCancelled:
      // The cell keeps the background colour.
      cell.SetSize(cw, ch);
      cell.Fill(s.BorderColor);
      break;
  }
  return cell;
}

bool TCellRenderer::MayReadAhead(const TCellTask& task) {
  return task.Kind == TCellTask::ckOriginal;
}

void TCellRenderer::ReadAhead(const TCellTask& task) const {
  if (!MayReadAhead(task)) return;
  const TOutputSettings& s = FJob.Settings;
  const TRect& k = task.Crop;
  const int cw = task.Rect.Right - task.Rect.Left, ch = task.Rect.Bottom - task.Rect.Top;
  // The steps of Render that keep their results in the run's cache.
  if (s.ColorCorrection + s.BlendAlpha <= 0) {
    RenderOriginalCell(task.Path, k.Left, k.Top, k.Right, k.Bottom, cw, ch, s.FastJpeg, s.Sharpen, &FCache);
  } else {
    Bitmap24 picture;
    RenderTileFromOriginal(task.Path, k.Left, k.Top, k.Right, k.Bottom, cw, ch, s.FastJpeg, &FCache, picture);
  }
}

namespace {

// Remembers the mosaic table's thumbnail switch and sets it for the run, so
// that DisplayBitmap is the stored thumbnail or the samples; restores it also
// on a throw. The renderer's picture cache is let go at the end of every run.
// Runs through TCellRenderer take the thumbnails themselves, on the thread
// that draws the cell, and keep the switch off.
class TRunScope {
 public:
  explicit TRunScope(TVTData& mosaic, bool thumbs) : FMosaic(mosaic), FShowThumbs(mosaic.ShowThumbs) {
    mosaic.ShowThumbs = thumbs;
  }
  ~TRunScope() {
    FMosaic.ShowThumbs = FShowThumbs;
    ReleaseTileRenderCache();
  }
  TRunScope(const TRunScope&) = delete;
  TRunScope& operator=(const TRunScope&) = delete;

 private:
  TVTData& FMosaic;
  bool FShowThumbs;
};

void Report(const TOutputJob& job, const std::string& text) {
  if (job.Status) job.Status(text);
}

// Visits every cell of the area row by row: visit(c, r) for each, then the
// progress; endRow(r) after each row. False when the run was stopped.
template <typename Visit, typename EndRow>
bool VisitCells(TOutputJob& job, Visit visit, EndRow endRow) {
  const TCellArea& a = job.Area;
  const int total = a.Cols() * a.Rows();
  int done = 0;
  for (int r = 0; r < a.Rows(); ++r) {
    for (int c = 0; c < a.Cols(); ++c) {
      visit(c, r);
      ++done;
      if (job.Progress) job.Progress(done, total);
      if (job.Stopped()) {
        endRow(r);
        return false;
      }
    }
    endRow(r);
  }
  return true;
}

// Renders every cell of the area, handing each to put with its area column
// and row and its position in the full picture; false when stopped.
template <typename Put>
bool RenderCells(TOutputJob& job, Put put) {
  TCellRenderer renderer(job);
  Bitmap24 cell;
  return VisitCells(
      job,
      [&](int c, int r) {
        renderer.RenderCell(c, r, cell);
        const TRect rect = renderer.CellRect(c, r);
        put(c, r, job.Settings.BorderLeft + rect.Left, job.Settings.BorderTop + rect.Top, cell);
      },
      [](int) {});
}

// Hands finished bands to finish in order, on a thread of its own when
// threaded, so that writing a band overlaps rendering the next ones. A
// failure of finish is raised to the caller at its next call; the bands after
// it are dropped.
class TBandHandOff {
 public:
  using TFinish = std::function<void(int r, int count, const Bitmap24& band)>;
  TBandHandOff(bool threaded, TFinish finish) : FFinish(std::move(finish)) {
    if (threaded) FThread = std::thread([this] { Run(); });
  }
  ~TBandHandOff() {
    {
      std::lock_guard lock(FMutex);
      FQuit = true;
    }
    FChanged.notify_all();
    if (FThread.joinable()) FThread.join();
  }
  TBandHandOff(const TBandHandOff&) = delete;
  TBandHandOff& operator=(const TBandHandOff&) = delete;

  void Submit(int r, int count, const Bitmap24& band) {
    if (!FThread.joinable()) return FFinish(r, count, band);
    {
      std::lock_guard lock(FMutex);
      RaiseFailure();
      FQueue.push_back({r, count, &band});
    }
    FChanged.notify_all();
  }
  // Waits until every band up to r is finished.
  void WaitThrough(int r) {
    if (!FThread.joinable()) return;
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [&] { return FFinishedThrough >= r || FFailure; });
    RaiseFailure();
  }

 private:
  struct TItem {
    int Row, Count;
    const Bitmap24* Band;
  };
  void RaiseFailure() {
    if (FFailure) std::rethrow_exception(FFailure);
  }
  void Run() {
    for (;;) {
      TItem item;
      {
        std::unique_lock lock(FMutex);
        FChanged.wait(lock, [&] { return FQuit || !FQueue.empty(); });
        if (FQueue.empty() || FFailure) return;
        item = FQueue.front();
      }
      std::exception_ptr failure;
      try {
        FFinish(item.Row, item.Count, *item.Band);
      } catch (...) {
        failure = std::current_exception();
      }
      {
        std::lock_guard lock(FMutex);
        FQueue.pop_front();
        if (failure)
          FFailure = failure;
        else
          FFinishedThrough = item.Row;
      }
      FChanged.notify_all();
    }
  }

  TFinish FFinish;
  std::thread FThread;
  std::mutex FMutex;
  std::condition_variable FChanged;
  std::deque<TItem> FQueue;
  int FFinishedThrough = -1;
  std::exception_ptr FFailure;
  bool FQuit = false;
};

// Renders every cell of the area band by band, a band being one row of
// cells. The calling thread reads each band's cells from the tables (and asks
// about missing tile files) in cell order; the job's threads render them into
// a picture of the band (the output's width by the band's height); the
// calling thread then takes the cells in order with their progress and stop,
// as a one-thread run does, and hands the band on to finish(r, count, band)
// when its first count cells are done (fewer than the band's after a stop;
// the others are then black). With more than one thread, finish runs on a
// thread of its own while the next bands render. While a band renders, the
// next one is read ahead unless one of its cells needs the question, which
// waits until every cell before it has been taken. False when stopped.
// With a target, the cells are drawn straight into it, (dx, dy) from their
// place in the output without borders, and finish is not called: a poster in
// memory is then written once, by the threads that render, rather than
// copied band by band on one thread. Cells after a stop are black there too.
// With rgb the band pictures hold red, green, blue in memory order (a TIFF
// file's), turned so by the threads that render rather than by the writer.
bool RenderBands(TOutputJob& job, TCellRenderer& renderer, const TBandHandOff::TFinish& finish,
                 Bitmap24* target = nullptr, int dx = 0, int dy = 0, bool rgb = false) {
  const int cols = job.Area.Cols(), rows = job.Area.Rows();
  if (cols <= 0 || rows <= 0) return true;
  const size_t total = size_t(cols) * size_t(rows);
  renderer.LoadBlendSource();
  struct TBand {
    int Row = -1;
    int Prepared = 0;
    int StopAt = -1;  // the cell whose reading met a stop; the flag counts from it
    int Top = 0;      // of its cells in the output without borders
    Bitmap24* Picture = nullptr;
    int DX = 0, DY = 0;  // from a cell's place to its place in Picture
    std::vector<TCellTask> Tasks;
  };
  // Bands are read from the tables ahead of the one being taken, up to some
  // thousands of cells, and rendered ahead as far as their pictures allow.
  // Into a target no band picture is held, and every band read is rendered.
  // Into band pictures, a band is handed on while the next ones render, each
  // with a place for its picture, and a picture for each of the two band
  // heights (they differ by one pixel at most), so that none is made anew
  // for every band; as many bands render as the job's band memory holds of
  // such pictures, at least one. Beyond them, idle threads read the pictures of the
  // cells already read and keep them in the run's cache: a cell whose picture
  // is slow to decode (a large PNG read whole) is then not met late, when the
  // few bands that may render are done and every other thread waits for it.
  const int lowest = job.Settings.Height / rows;
  const int64_t bandBytes = int64_t(Bitmap24::StrideFor(job.Settings.Width)) * (lowest + 1);
  const int64_t heldBands = std::max<int64_t>(job.BandMemory, 0) / std::max<int64_t>(2 * bandBytes, 1) - 2;
  const int readAhead = int(std::clamp(8192 / cols, 1, rows));
  const int ahead =
      target ? readAhead : int(std::clamp<int64_t>(std::min<int64_t>(readAhead, heldBands), 1, rows));
  const size_t slots = size_t(readAhead) + 1;
  std::vector<std::array<Bitmap24, 2>> pictures(target ? 0 : size_t(ahead) + 2);
  std::vector<TBand> bands(slots);
  for (TBand& b : bands) b.Tasks.resize(size_t(cols));
  // Cells read but not yet rendered whose pictures idle threads may read
  // ahead, the largest files first, as they take the longest to decode:
  // copies, as the band they came from is reused. While the run's cache is
  // more than half full nothing more is read ahead, lest it push out what
  // the cells being rendered need.
  struct TForeseen {
    size_t Index;
    TCellTask Task;
    bool operator<(const TForeseen& o) const { return Task.FileBytes < o.Task.FileBytes; }
  };
  std::mutex foreseenLock;
  std::priority_queue<TForeseen> foreseen;
  size_t foreseenEnd = 0;  // the cells before it were looked at
  std::atomic<size_t> released{0};
  const TTileDecodeCache& cache = renderer.DecodeCache();
  auto readAheadOne = [&] {
    std::optional<TForeseen> next;
    while (!next) {
      std::lock_guard lock(foreseenLock);
      if (foreseen.empty() || cache.Bytes() > cache.Budget() / 2) return false;
      if (foreseen.top().Index >= released.load()) next = foreseen.top();
      foreseen.pop();
    }
    renderer.ReadAhead(next->Task);
    return true;
  };
  TCellPool pool(
      total, job.Threads,
      [&](size_t i) {
        TBand& b = bands[(i / size_t(cols)) % slots];
        const TCellTask& task = b.Tasks[i % size_t(cols)];
        Bitmap24 scratch;
        std::shared_ptr<const Bitmap24> kept;
        const Bitmap24& cell = renderer.Render(task, scratch, kept);
        DrawAt(*b.Picture, task.Rect.Left + b.DX, task.Rect.Top + b.DY, cell, rgb);
      },
      readAheadOne);
  TBandHandOff handOff(pool.Threads() > 1 && !target, finish);
  // Reads band r's cells on from where it was left; true when the band is
  // complete, or ended by a stop at its last prepared cell.
  auto prepare = [&](int r, bool mayAsk) {
    TBand& b = bands[size_t(r) % slots];
    if (b.Row != r) {
      b.Row = r;
      b.Prepared = 0;
      b.StopAt = -1;
      b.Picture = nullptr;
      b.Top = renderer.CellRect(0, r).Top;
    }
    while (b.Prepared < cols) {
      if (!mayAsk && job.Stopped()) return false;
      if (!renderer.Prepare(b.Prepared, r, b.Tasks[size_t(b.Prepared)], mayAsk)) return false;
      ++b.Prepared;
      // A "Cancel" answer, or Stop pressed while the question was shown, ends
      // the run after this cell, as if met while drawing it.
      if (mayAsk && job.Stopped()) {
        b.StopAt = b.Prepared - 1;
        break;
      }
    }
    return true;
  };
  // Gives band r its picture and lets the threads render its cells.
  auto release = [&](int r) {
    TBand& b = bands[size_t(r) % slots];
    if (target) {
      b.Picture = target;
      b.DX = dx;
      b.DY = dy;
    } else {
      // Every pixel of the band belongs to one of its cells.
      const int width = OutputCellEdge(job.Settings.Width, cols, cols);
      const int height = renderer.CellRect(0, r).Bottom - b.Top;
      handOff.WaitThrough(r - int(pictures.size()));
      b.Picture = &pictures[size_t(r) % pictures.size()][height > lowest ? 1 : 0];
      if (b.Picture->Width() != width || b.Picture->Height() != height)
        b.Picture->SetSize(width, height, Bitmap24::pmReused);
      b.DY = -b.Top;
    }
    const size_t end = size_t(r) * size_t(cols) + size_t(b.Prepared);
    released.store(end);
    pool.Release(end);
  };

  // Whether band r can be read without a question: the one before it is
  // read in full and nothing needs asking.
  auto readable = [&](int r) { return bands[size_t(r - 1) % slots].Prepared == cols && prepare(r, false); };
  prepare(0, true);
  release(0);
  int ready = 1;  // bands 0..ready-1 are released
  int read = 1;   // bands 0..read-1 are read in full (or up to a stop)
  int done = 0;
  for (int r = 0; r < rows; ++r) {
    const TBand& band = bands[size_t(r) % slots];
    // Bands released as far as their pictures allow, then a few more read
    // for the threads that have nothing to render.
    while (ready < rows && ready <= r + ahead && (ready < read || readable(ready))) release(ready++);
    read = std::max(read, ready);
    for (int more = 0; more < 4 && read < rows && read <= r + readAhead && readable(read); ++more) ++read;
    const size_t readEnd = size_t(read) * size_t(cols);
    if (pool.Threads() > 1 && readEnd > std::max(foreseenEnd, released.load())) {
      {
        std::lock_guard lock(foreseenLock);
        for (size_t i = std::max(foreseenEnd, released.load()); i < readEnd; ++i) {
          const TCellTask& task = bands[(i / size_t(cols)) % slots].Tasks[i % size_t(cols)];
          if (!TCellRenderer::MayReadAhead(task)) continue;
          // What reading ahead needs of the task, without its pictures.
          TForeseen f{i, {}};
          f.Task.Kind = task.Kind;
          f.Task.Rect = task.Rect;
          f.Task.Path = task.Path;
          f.Task.Crop = task.Crop;
          f.Task.FileBytes = task.FileBytes;
          foreseen.push(std::move(f));
        }
      }
      foreseenEnd = readEnd;
      pool.Wake();
    }
    for (int c = 0; c < band.Prepared; ++c) {
      pool.Wait(size_t(r) * size_t(cols) + size_t(c));
      ++done;
      if (job.Progress) job.Progress(done, int(total));
      if (job.Stopped() && c >= band.StopAt) {
        pool.Cancel();
        if (target) {
          // Cells rendered ahead of the stop are taken back.
          const TRect stop = renderer.CellRect(c, r);
          const int right = OutputCellEdge(job.Settings.Width, cols, cols) + dx;
          const int bottom = OutputCellEdge(job.Settings.Height, rows, rows) + dy;
          target->FillRect(TRect(stop.Right + dx, stop.Top + dy, right, stop.Bottom + dy), 0);
          target->FillRect(TRect(dx, stop.Bottom + dy, right, bottom), 0);
          return false;
        }
        Bitmap24& picture = *bands[size_t(r) % slots].Picture;
        if (c + 1 < cols)
          picture.FillRect(TRect(renderer.CellRect(c + 1, r).Left, 0, picture.Width(), picture.Height()), 0);
        handOff.Submit(r, c + 1, picture);
        handOff.WaitThrough(r);
        return false;
      }
    }
    if (!target) handOff.Submit(r, band.Prepared, *band.Picture);
    if (band.Prepared < cols) {
      handOff.WaitThrough(r);
      return false;
    }
    if (r + 1 < rows && ready == r + 1) {
      // The next band needs the question: it is read now that every cell
      // before it is taken.
      prepare(r + 1, true);
      read = r + 2;
      release(r + 1);
      ready = r + 2;
    }
  }
  handOff.WaitThrough(rows - 1);
  return true;
}

void MoveToCell(TOutputJob& job, int c, int r) {
  const int32_t record = (job.Area.Top + r) * job.GridColumns + job.Area.Left + c + 1;
  job.Mosaic->MoveTo(record);
  job.Plan->MoveTo(record);
}

}  // namespace

bool ComposePoster(TOutputJob& job, Bitmap24& poster) {
  const TOutputSettings& s = job.Settings;
  TRunScope scope(*job.Mosaic, false);
  poster.SetSize(s.FullWidth(), s.FullHeight());
  // The cells cover the rest of the picture.
  const int FW = s.FullWidth(), FH = s.FullHeight(), L = s.BorderLeft, T = s.BorderTop;
  poster.FillRect(TRect(0, 0, FW, T), s.BorderColor);
  poster.FillRect(TRect(0, T + s.Height, FW, FH), s.BorderColor);
  poster.FillRect(TRect(0, T, L, T + s.Height), s.BorderColor);
  poster.FillRect(TRect(L + s.Width, T, FW, T + s.Height), s.BorderColor);
  TCellRenderer renderer(job);
  const bool done = RenderBands(job, renderer, {}, &poster, L, T);
  if (!done) return false;
  if (s.GridWidth > 0) {
    Report(job, "Grid...");
    DrawPosterGrid(poster, s, job.Area.Cols(), job.Area.Rows());
  }
  return true;
}

void DrawPosterGrid(Bitmap24& poster, const TOutputSettings& s, int cols, int rows) {
  const int g = s.GridWidth;
  if (g <= 0 || cols <= 0 || rows <= 0) return;
  const int L = s.BorderLeft, T = s.BorderTop, W = s.Width, H = s.Height;
  // A pen of width g is centred across the line it draws; the line's end
  // point is left out, as the graphics device does.
  const int half = g / 2;
  const int right = int(RoundHalfEven(L + W - g / 2.0));
  const int bottom = int(RoundHalfEven(T + H - g / 2.0));
  for (int u = 0; u <= rows; ++u) {
    const int y = int(RoundHalfEven(double(H) / rows * u - g / 2.0)) + T;
    poster.FillRect(TRect(L, y - half, right, y - half + g), s.GridColor);
  }
  for (int v = 0; v <= cols; ++v) {
    const int x = int(RoundHalfEven(double(W) / cols * v - g / 2.0)) + L;
    poster.FillRect(TRect(x - half, T, x - half + g, bottom), s.GridColor);
  }
}

namespace {
// The full size with its borders, refused when it does not fit an int.
void CheckFullSize(const TOutputSettings& s) {
  const int64_t fw = int64_t(s.BorderLeft) + s.Width + s.BorderRight;
  const int64_t fh = int64_t(s.BorderTop) + s.Height + s.BorderBottom;
  if (s.Width <= 0 || s.Height <= 0 || fw > INT32_MAX || fh > INT32_MAX)
    throw EOutOfResources(Format("Invalid output size %lld x %lld pixels", (long long)fw, (long long)fh));
}
}  // namespace

void CheckPosterSize(const std::string& fileName, const TOutputSettings& s) {
  CheckFullSize(s);
  const std::string ext = UpperCase(ExtractFileExt(fileName));
  const int fw = s.FullWidth(), fh = s.FullHeight();
  if (ext == ".JPG" && (fw > 65500 || fh > 65500))
    throw EOutOfResources(
        Format("A JPEG picture cannot be larger than 65500 x 65500 pixels (asked for %d x %d)", fw, fh));
  if (ext == ".BMP") CheckBMPSize(fw, fh);
  if (ext == ".TIF") CheckTIFFSize(fw, fh);
}

void SavePosterFile(const std::string& fileName, const Bitmap24& poster, const TOutputSettings& s) {
  const std::string ext = UpperCase(ExtractFileExt(fileName));
  if (ext == ".JPG") {
    // The density is patched in before the file is written, so the user's
    // old file is replaced only by the finished one.
    std::vector<uint8_t> jpeg = JpegEncode(poster, std::clamp(s.JpegQuality, 1, 100));
    SetJPEGDensity(jpeg, s.DPI, s.DPI);
    WriteFileReplacing(fileName, jpeg);
  } else if (ext == ".TIF") {
    SaveBitmapAsTIFF(fileName, poster, s.DPI, 2);
  } else if (ext == ".BMP") {
    WriteFileReplacing(fileName, EncodeBMP24(poster));
  }
}

namespace {
// Starts the system writing the finished part of a file to the disk, a
// piece at a time, without waiting for it. Pieces of 8 MB: the flush at the
// end then waits for little more than the last of them (with 32 MB it
// measured 10 to 20 ms longer on a 324 MB picture).
class TEarlyWriteback {
 public:
  explicit TEarlyWriteback(int handle) : FHandle(handle) {}
  void Written(int64_t bytes) {
    FPending += bytes;
    if (FPending < kPiece) return;
    FPending = 0;
    ::sync_file_range(FHandle, 0, 0, SYNC_FILE_RANGE_WRITE);
  }

 private:
  static constexpr int64_t kPiece = int64_t(8) << 20;
  int FHandle;
  int64_t FPending = 0;
};
}  // namespace

bool WriteMosaicDirect(TOutputJob& job, const std::string& fileName, int kind) {
  const TOutputSettings& s = job.Settings;
  const bool bmp = kind == 1;
  CheckFullSize(s);
  const int FW = s.FullWidth(), FH = s.FullHeight();
  if (bmp)
    CheckBMPSize(FW, FH);
  else
    CheckTIFFSize(FW, FH);
  TRunScope scope(*job.Mosaic, false);

  // The user's file of that name stays as it was until the new one is
  // complete; a failure removes the partial file.
  TReplacement temp(fileName, ".part");
  bool stopped = false;
  {
    TBandFileStream stream(temp.Handle(), fileName);
    const bool header = bmp ? WriteBMPHeader(stream, FW, FH) : WriteTIFFHeader(stream, FW, FH, s.DPI, 2);
    // A header that cannot be written means the disk cannot hold the file:
    // carrying on would report a picture that is not there.
    if (!header) {
      const int e = stream.LastError();
      throw EFileError(Format("Cannot write file %s: %s", fileName.c_str(),
                              e ? std::strerror(e) : "not enough disk space"),
                       e);
    }
    auto rect = [&](const TRect& r, TColor colour) {
      if (bmp)
        WriteBMPRect(stream, FW, FH, r, colour);
      else
        WriteTIFFRect(stream, FW, FH, r, colour);
    };
    const int L = s.BorderLeft, T = s.BorderTop, W = s.Width, H = s.Height;
    const struct {
      int Width;
      const char* Text;
      TRect Rect;
    } borders[] = {{L, "Left border... Please wait.", TRect(0, 0, L, FH)},
                   {s.BorderRight, "Right border... Please wait.", TRect(L + W, 0, FW, FH)},
                   {T, "Top border... Please wait.", TRect(0, 0, FW, T)},
                   {s.BorderBottom, "Bottom border... Please wait.", TRect(0, T + H, FW, FH)}};
    // Each border's text is shown in turn (the window passes pending events
    // with it), also for a border of no width, which then writes nothing.
    for (const auto& b : borders) {
      Report(job, b.Text);
      if (b.Width > 0 && !job.Stopped()) rect(b.Rect, s.BorderColor);
    }
    // A band is written while the next one renders, and what is written goes
    // on to the disk while the rest renders, so that the flush at the end
    // waits for little more than the last bands.
    TCellRenderer renderer(job);
    TEarlyWriteback writeback(temp.Handle());
    stopped = !RenderBands(
        job, renderer,
        [&](int r, int, const Bitmap24& band) {
          const int y = T + renderer.CellRect(0, r).Top;
          if (bmp)
            WriteBMPBand(stream, FW, FH, L, y, band);
          else
            WriteTIFFBandRGB(stream, FW, FH, L, y, band);
          writeback.Written(int64_t(band.Width()) * 3 * band.Height());
        },
        nullptr, 0, 0, !bmp);
    const int g = s.GridWidth;
    if (g > 0 && !stopped) {
      Report(job, "Grid...");
      const int cols = job.Area.Cols(), rows = job.Area.Rows();
      std::vector<int> x(size_t(cols) + 1);
      for (int i = 0; i <= cols; ++i) x[size_t(i)] = OutputCellEdge(W, cols, i) + L;
      if (bmp)
        WriteBMPGridColumns(stream, FW, FH, x, cols, T, H, g, s.GridColor);
      else
        WriteTIFFGridColumns(stream, FW, FH, x, cols, T, H, g, s.GridColor);
      for (int u = 0; u <= rows; ++u) {
        const int y = int(RoundHalfEven(double(H) / rows * u - g / 2.0)) + T;
        rect(TRect(L, y, L + W, y + g), s.GridColor);
      }
    }
  }
  // A stopped file is a cancelled one: the user's file of that name stays as
  // it was and the part written goes with the temporary.
  if (stopped) return false;
  temp.Commit();
  return true;
}

bool WriteTextList(TOutputJob& job, const std::string& fileName) {
  TRunScope scope(*job.Mosaic, false);
  std::string text;
  const bool done = VisitCells(
      job,
      [&](int c, int r) {
        MoveToCell(job, c, r);
        text += Format("%4s, %4s, %s\r\n", std::to_string(job.Area.Top + r + 1).c_str(),
                       std::to_string(job.Area.Left + c + 1).c_str(), job.Mosaic->CurPath.c_str());
      },
      [](int) {});
  WriteFileReplacing(fileName, std::vector<uint8_t>(text.begin(), text.end()));
  return done;
}

std::string SequenceFileName(const std::string& baseName, int row, int col, const std::string& tilePath) {
  return ChangeFileExt(baseName, "") +
         Format("-%.3d-%.3d-%s", row, col, ChangeFileExt(ExtractFileName(tilePath), ".bmp").c_str());
}

bool WriteSequence(TOutputJob& job, const std::string& baseName, std::string& lastName) {
  TRunScope scope(*job.Mosaic, false);
  job.PlainReplacement = true;
  return RenderCells(job, [&](int c, int r, int, int, const Bitmap24& cell) {
    lastName = SequenceFileName(baseName, job.Area.Top + r + 1, job.Area.Left + c + 1, job.Mosaic->CurPath);
    WriteFileReplacing(lastName, EncodeBMP24(cell));
  });
}

namespace {
// The product's address in the page's creator line.
constexpr const char* ProductWebSite = "https://www.vitrane.com";
}  // namespace

bool WriteHTMLGallery(TOutputJob& job, const std::string& fileName) {
  TRunScope scope(*job.Mosaic, false);
  job.UseOriginalFiles = false;  // the gallery always shows the stored thumbnails
  const std::string folder = ExtractFilePath(fileName);
  std::error_code ec;
  std::filesystem::create_directories(folder + "tmb", ec);
  std::filesystem::create_directories(folder + "big", ec);
  std::string page = "<HTML><HEAD><META NAME=\"description\" CONTENT=\"Mosaic image gallery\">";
  page += std::string("<META NAME=\"creator\" CONTENT=\"Vitrane v.2 - ") + ProductWebSite + "\">";
  page += "<TITLE>Mosaic image gallery</TITLE></HEAD>";
  page +=
      "<BODY BACKGROUND=\"\" BGCOLOR=\"#00008B\" TEXT=\"#ffff80\" LINK=\"#FFFF80\" VLINK=\"#C0C0C0\" "
      "ALINK=\"#ff0000\">";
  page += "<TABLE BORDER=\"0\" CELLSPACING=\"0\" CELLPADDING=\"0\">\r\n";
  TCellRenderer renderer(job);
  Bitmap24 cell;
  const bool done = VisitCells(
      job,
      [&](int c, int r) {
        if (c == 0) page += "<tr align=center>\r\n";
        renderer.RenderCell(c, r, cell);
        const std::string path = job.Mosaic->CurPath, tile = ExtractFileName(path);
        const std::string thumb = Format("%.3d-%.3d-%s", job.Area.Top + r + 1, job.Area.Left + c + 1,
                                         ChangeFileExt(tile, ".jpg").c_str());
        page += "<td><a href=\"big/" + tile + "\" target=\"_blank\"><img border=\"0\" src=\"tmb/" + thumb +
                "\"></a>";
        // A thumbnail or a copy that cannot be written leaves a gap in the
        // gallery, not a failed page.
        try {
          WriteFileReplacing(folder + "tmb/" + thumb, JpegEncode(cell, 75));
        } catch (const EVitrane&) {
        }
        if (!path.empty() && FileExists(path)) {
          try {
            WriteFileReplacing(folder + "big/" + tile, ReadWholeFile(path));
          } catch (const EVitrane&) {
          }
        }
        page += "</td>";
      },
      [&](int) { page += "</tr>\r\n"; });
  page += "</table>\r\n</BODY>\r\n</HTML>\r\n";
  WriteFileReplacing(fileName, std::vector<uint8_t>(page.begin(), page.end()));
  return done;
}

std::string UsagePosition(int col, int row, const TRect& crop) {
  const char* mark = "";
  if (crop.Right < crop.Left && crop.Bottom < crop.Top)
    mark = "(R)";
  else if (crop.Right < crop.Left && crop.Top < crop.Bottom)
    mark = "(H)";
  else if (crop.Left < crop.Right && crop.Bottom < crop.Top)
    mark = "(V)";
  return Format(" %sx%s%s ", std::to_string(col).c_str(), std::to_string(row).c_str(), mark);
}

int WriteUsageReport(TVTData& mosaic, int gridColumns, const std::string& fileName,
                     const std::function<void(int done, int count)>& progress) {
  TRunScope scope(mosaic, false);
  struct ClearSort {
    TVTData& t;
    ~ClearSort() { t.ClearIndex(); }
  } clear{mosaic};
  mosaic.SortByName();
  const std::string placeholder(51, ' ');
  std::string text = placeholder + "\r\nMosaic picture tiles statistic:\r\n" + placeholder +
                     "\r\n\r\n(H): Horisontal flip; (V): Vertical flip; (R):180 rotated\r\n"
                     "Times used          File Name          Tile positions Col x Row (Flip)\r\n";
  int unique = 1, count = 0;
  std::string path, positions;
  auto writeGroup = [&] {
    text += Format("%4s, %s , %s\r\n", std::to_string(count).c_str(), path.c_str(), positions.c_str());
  };
  const int columns = std::max(gridColumns, 1);
  for (int l = 1; l <= mosaic.RecordCount; ++l) {
    mosaic.MoveTo(l);
    const int n = mosaic.CurRecNo;
    const std::string position =
        UsagePosition((n - 1) % columns + 1, (n - 1) / columns + 1, mosaic.CurCropRect);
    if (l == 1 || mosaic.CurPath != path) {
      if (l > 1) {
        writeGroup();
        ++unique;
      }
      path = mosaic.CurPath;
      count = 1;
      positions = position;
    } else {
      ++count;
      positions += position;
    }
    if (progress) progress(l, mosaic.RecordCount);
  }
  if (count > 0) writeGroup();
  const std::string summary = std::to_string(unique) + " unique pictures were used.";
  text.replace(0, std::min(summary.size(), placeholder.size()), summary.substr(0, placeholder.size()));
  WriteFileReplacing(fileName, std::vector<uint8_t>(text.begin(), text.end()));
  return unique;
}

// ---- "Save mosaic as..." ----------------------------------------------------------

void ThumbnailSheetCellSize(TVTData& mosaic, int32_t record, int& tw, int& th) {
  TRunScope scope(mosaic, true);
  const auto blank = [&mosaic] { return mosaic.CurPath.find_first_not_of(' ') == std::string::npos; };
  mosaic.MoveTo(record);
  for (int32_t n = 1; blank() && n <= mosaic.RecordCount; ++n) mosaic.MoveTo(n);
  // A mosaic without any tile keeps the current cell's samples as the size.
  if (blank()) mosaic.MoveTo(record);
  tw = mosaic.DisplayBitmap.Width();
  th = mosaic.DisplayBitmap.Height();
}

void CheckSheetSize(const std::string& fileName, int cols, int rows, int tw, int th) {
  const int64_t w = int64_t(cols) * tw, h = int64_t(rows) * th;
  if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX)
    throw EOutOfResources(Format("Invalid output size %lld x %lld pixels", (long long)w, (long long)h));
  TOutputSettings size;
  size.Width = int(w);
  size.Height = int(h);
  CheckPosterSize(fileName, size);
}

void ComposeThumbnailSheet(TVTData& mosaic, TVTData& plan, int cols, int rows, int tw, int th,
                           const std::string& fileName, Bitmap24& sheet,
                           const std::function<void(int32_t record)>& progress) {
  CheckSheetSize(fileName, cols, rows, tw, th);
  TRunScope scope(mosaic, true);
  sheet.SetSize(cols * tw, rows * th);
  sheet.Fill(0);
  Bitmap24 cell(tw, th);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      const int32_t record = r * cols + c + 1;
      mosaic.MoveTo(record);
      plan.MoveTo(record);
      cell.Fill(0);
      DrawAt(cell, 0, 0, mosaic.DisplayBitmap);
      DrawAt(sheet, c * tw, r * th, cell);
      if (progress) progress(record);
    }
}

std::string ThumbnailSheetFileName(const std::string& fileName, int filterIndex) {
  return ChangeFileExt(fileName, filterIndex == 1 ? ".jpg" : filterIndex == 2 ? ".tif" : ".bmp");
}

void SaveThumbnailSheet(const std::string& fileName, const Bitmap24& sheet) {
  const std::string ext = UpperCase(ExtractFileExt(fileName));
  if (ext == ".JPG")
    WriteFileReplacing(fileName, JpegEncode(sheet, 60));
  else if (ext == ".TIF")
    SaveBitmapAsTIFF(fileName, sheet, 250, 2);
  else
    WriteFileReplacing(fileName, EncodeBMP24(sheet));
}

void WriteMosaicTextList(TVTData& mosaic, int cols, int rows, const std::string& fileName) {
  TRunScope scope(mosaic, false);
  std::string text;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      mosaic.MoveTo(r * cols + c + 1);
      text += std::to_string(r + 1) + " - " + std::to_string(c + 1) + " - " + mosaic.CurPath + "\r\n";
    }
  WriteFileReplacing(fileName, std::vector<uint8_t>(text.begin(), text.end()));
}
