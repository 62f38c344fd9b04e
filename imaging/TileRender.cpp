#include "imaging/TileRender.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <list>
#include <memory>
#include <mutex>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "imaging/Adjust.h"
#include "platform/Bmp.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Jpeg.h"
#include "platform/Picture.h"
#include "platform/Rounding.h"
#include "platform/Utils.h"

namespace {

constexpr std::array<int, 9> kSharpenKernel = {-1, -1, -1, -1, 16, -1, -1, -1, -1};
constexpr int kSharpenDivisor = 8;

// How a picture file was read: a JPEG decoder scale 0..3, or one of these.
constexpr int kPictureList = -1;
constexpr int kIcon = -2;
// A tile's region cut and resized for a cell, kept beside the pictures.
constexpr int kCut = -3;
// A finished cell (cut, stretched and sharpened) of an output that neither
// corrects nor blends: then it depends on the tile alone.
constexpr int kCell = -4;

// --- The last decoded picture --------------------------------------------------------

struct TFileStamp {
  int64_t Size = -1;
  int64_t Seconds = 0, Nanoseconds = 0;  // last written
  bool operator==(const TFileStamp&) const = default;
};

// One look at the file (asked for every cell of an output run).
bool StampOf(const std::string& fileName, TFileStamp& stamp) {
  struct stat st;
  if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  stamp.Size = int64_t(st.st_size);
  stamp.Seconds = int64_t(st.st_mtim.tv_sec);
  stamp.Nanoseconds = int64_t(st.st_mtim.tv_nsec);
  return true;
}

struct TDecodedPicture {
  std::string FileName;
  int Kind = 0;
  TFileStamp Stamp;
  std::shared_ptr<const Bitmap24> Picture;
};

std::mutex& CacheMutex() {
  static std::mutex m;
  return m;
}

TDecodedPicture& LastDecoded() {
  static TDecodedPicture last;
  return last;
}

std::shared_ptr<const Bitmap24> FindDecoded(const std::string& fileName, int kind, const TFileStamp& stamp) {
  std::lock_guard g(CacheMutex());
  const TDecodedPicture& last = LastDecoded();
  if (last.Picture && last.Kind == kind && last.Stamp == stamp && last.FileName == fileName)
    return last.Picture;
  return nullptr;
}

void KeepDecoded(const std::string& fileName, int kind, const TFileStamp& stamp,
                 std::shared_ptr<const Bitmap24> picture) {
  std::lock_guard g(CacheMutex());
  LastDecoded() = TDecodedPicture{fileName, kind, stamp, std::move(picture)};
}

// Decodes the picture file of a tile by its kind. Reading failures the
// renderer tolerates give an empty picture; the others raise.
std::shared_ptr<const Bitmap24> DecodeTilePicture(const std::string& fileName, int kind) {
  auto picture = std::make_shared<Bitmap24>();
  if (kind == kIcon) {
    LoadIconAsBitmap(fileName, *picture);  // raises
  } else if (kind == kPictureList) {
    try {
      LoadPicture(fileName, *picture);
    } catch (const std::exception&) {
      return std::make_shared<Bitmap24>();
    }
  } else {
    std::unique_ptr<TFileReader> file;
    try {
      file = std::make_unique<TFileReader>(fileName);
    } catch (const EVitrane&) {
      return picture;
    }
    JpegDecodeFile(*file, kind, *picture);  // raises
  }
  return picture;
}

std::shared_ptr<const Bitmap24> ReadThroughCache(TTileDecodeCache& cache, const std::string& key, int kind,
                                                 const TFileStamp& stamp,
                                                 const std::function<std::shared_ptr<const Bitmap24>()>& make);

// Reads the picture file of a tile by its kind, through the run's cache when
// there is one, else through the last-decoded picture, when the same file was
// read the same way and has not changed. The picture stays 24-bit: only the
// tile's region is turned into opaque words later, which gives the same words
// as converting the whole picture first.
std::shared_ptr<const Bitmap24> ReadTilePicture(const std::string& fileName, int kind,
                                                TTileDecodeCache* cache = nullptr) {
  TFileStamp stamp;
  const bool stamped = StampOf(fileName, stamp);
  if (!stamped) return DecodeTilePicture(fileName, kind);
  if (cache)
    return ReadThroughCache(*cache, fileName, kind, stamp, [&] { return DecodeTilePicture(fileName, kind); });
  if (auto found = FindDecoded(fileName, kind, stamp)) return found;
  auto picture = DecodeTilePicture(fileName, kind);
  KeepDecoded(fileName, kind, stamp, picture);
  return picture;
}

}  // namespace

// --- The run's decode cache ------------------------------------------------------------

struct TTileDecodeCache::TState {
  // File name (or cut key) and way of reading, with its hash taken before the
  // lock, so that a look-up under it is one bucket and one comparison.
  struct TKey {
    std::string Name;
    int Kind = 0;
    size_t Hash = 0;
    TKey() = default;
    TKey(std::string name, int kind)
        : Name(std::move(name)), Kind(kind), Hash(std::hash<std::string>()(Name) * 31 + size_t(kind)) {}
    bool operator==(const TKey& o) const { return Hash == o.Hash && Kind == o.Kind && Name == o.Name; }
  };
  struct THashOf {
    size_t operator()(const TKey& k) const { return k.Hash; }
  };
  struct TEntry {
    TFileStamp Stamp;
    std::shared_ptr<const Bitmap24> Picture;
    // While the picture is being made: set when it is kept or given up, so
    // that only the threads waiting for this picture wake.
    std::shared_future<void> Made;
    size_t Bytes = 0;
    std::list<const TKey*>::iterator Use;
  };
  using TEntries = std::unordered_map<TKey, TEntry, THashOf>;
  explicit TState(size_t budget) : Budget(budget) {}

  // Drops an entry that is not being made.
  void Drop(TEntries::iterator it) {
    Bytes -= it->second.Bytes;
    Uses.erase(it->second.Use);
    Entries.erase(it);
  }

  mutable std::mutex Mutex;
  TEntries Entries;
  std::list<const TKey*> Uses;  // most recent first; entries being made are not listed
  const size_t Budget;
  size_t Bytes = 0;
  int Decodes = 0;
};

TTileDecodeCache::TTileDecodeCache(size_t budgetBytes) {
  if (budgetBytes == 0) {
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    const uint64_t physical = pages > 0 && pageSize > 0 ? uint64_t(pages) * uint64_t(pageSize) : 0;
    budgetBytes = size_t(std::clamp<uint64_t>(physical / 8, uint64_t(64) << 20, uint64_t(1) << 30));
  }
  FState = std::make_unique<TState>(budgetBytes);
}

TTileDecodeCache::~TTileDecodeCache() = default;

size_t TTileDecodeCache::Budget() const {
  return FState->Budget;
}

size_t TTileDecodeCache::Bytes() const {
  std::lock_guard g(FState->Mutex);
  return FState->Bytes;
}

int TTileDecodeCache::Decodes() const {
  std::lock_guard g(FState->Mutex);
  return FState->Decodes;
}

void TTileDecodeCache::Clear() {
  TState& st = *FState;
  std::lock_guard g(st.Mutex);
  for (auto it = st.Entries.begin(); it != st.Entries.end();) {
    auto next = std::next(it);
    if (it->second.Picture) st.Drop(it);
    it = next;
  }
}

namespace {

// The picture kept under (key, kind) for a file of that stamp, made by make
// when there is none; two threads asking at once share one making.
std::shared_ptr<const Bitmap24> ReadThroughCache(TTileDecodeCache& cache, const std::string& keyName, int kind,
                                                 const TFileStamp& stamp,
                                                 const std::function<std::shared_ptr<const Bitmap24>()>& make) {
  using TState = TTileDecodeCache::TState;
  TState& st = cache.State();
  const TState::TKey key(keyName, kind);
  std::unique_lock lock(st.Mutex);
  for (;;) {
    const auto it = st.Entries.find(key);
    if (it == st.Entries.end()) break;
    if (!it->second.Picture) {
      // Being made by another thread: wait for it, then look again.
      const std::shared_future<void> made = it->second.Made;
      lock.unlock();
      made.wait();
      lock.lock();
      continue;
    }
    if (it->second.Stamp == stamp) {
      st.Uses.splice(st.Uses.begin(), st.Uses, it->second.Use);
      return it->second.Picture;
    }
    st.Drop(it);  // the file changed since
    break;
  }
  std::promise<void> making;
  TState::TEntry& claim = st.Entries[key];
  claim.Made = making.get_future().share();
  claim.Stamp = stamp;
  lock.unlock();
  std::shared_ptr<const Bitmap24> picture;
  try {
    picture = make();
  } catch (...) {
    lock.lock();
    st.Entries.erase(key);
    lock.unlock();
    making.set_value();
    throw;
  }
  std::vector<std::shared_ptr<const Bitmap24>> pushedOut;  // let go without the lock
  lock.lock();
  if (kind != kCut && kind != kCell) ++st.Decodes;
  const auto it = st.Entries.find(key);
  const size_t bytes = picture->ByteSize();
  if (bytes > st.Budget) {
    st.Entries.erase(it);
  } else {
    it->second.Picture = picture;
    it->second.Bytes = bytes;
    st.Uses.push_front(&it->first);
    it->second.Use = st.Uses.begin();
    st.Bytes += bytes;
    while (st.Bytes > st.Budget) {
      const auto last = st.Entries.find(*st.Uses.back());
      pushedOut.push_back(std::move(last->second.Picture));
      st.Drop(last);
    }
  }
  lock.unlock();
  making.set_value();
  return picture;
}

// The region of a 24-bit picture whose top-left corner is (left, top), as
// opaque words into the zeroed work bitmap; parts outside the picture stay 0.
void CopyRegion(const Bitmap24& picture, int left, int top, TBitmap32& work) {
  const int64_t x0 = std::max<int64_t>(left, 0),
                x1 = std::min<int64_t>(int64_t(left) + work.Width(), picture.Width());
  const int64_t y0 = std::max<int64_t>(top, 0),
                y1 = std::min<int64_t>(int64_t(top) + work.Height(), picture.Height());
  if (x1 <= x0) return;
  for (int64_t y = y0; y < y1; ++y)
    BGRToColor32Row(picture.ScanLine(int(y)) + x0 * 3, work.ScanLine(int(y - top)) + (x0 - left),
                    int(x1 - x0));
}

// Steps shared by the file and the in-memory paths: cut the region into a
// zeroed bitmap (parts outside the picture stay black, alpha 0), stretch it
// to the target with the Mitchell filter, undo the mirroring.
template <typename Picture>
void CutRegion(const Picture& picture, int X1, int Y1, int X2, int Y2, int targetWidth, int targetHeight,
               TBitmap32& out) {
  TBitmap32 work;
  work.SetStretchFilter(sfMitchell);
  const int64_t w = int64_t(X2) - X1, h = int64_t(Y2) - Y1;
  const int64_t aw = w < 0 ? -w : w, ah = h < 0 ? -h : h;
  if (aw > INT32_MAX || ah > INT32_MAX) throw EOutOfResources("Can't allocate the DIB handle");
  work.SetSize(int(aw), int(ah));
  if (!work.Empty()) {
    if constexpr (std::is_same_v<Picture, TBitmap32>)
      picture.DrawAt(work, -std::min(X1, X2), -std::min(Y1, Y2));
    else
      CopyRegion(picture, std::min(X1, X2), std::min(Y1, Y2), work);
  }
  out.SetSize(targetWidth, targetHeight);
  out.SetClipRect(out.BoundsRect());
  out.SetDrawMode(dmOpaque);
  if (work.Empty())
    out.Clear(0);  // an empty region is a black tile, whatever out held before
  else
    out.DrawRect(out.BoundsRect(), work.BoundsRect(), work);
  if (X2 < X1 && Y1 < Y2) {
    out.MirrorLeftRight();
  } else if (X1 < X2 && Y2 < Y1) {
    out.MirrorTopBottom();
  } else if (X2 < X1 && Y2 < Y1) {
    out.MirrorTopBottom();
    out.MirrorLeftRight();
  }
}

int ClampedProduct(int64_t a, int64_t b) {
  return int(std::clamp<int64_t>(a * b, INT32_MIN, INT32_MAX));
}

void Sharpen(TBitmap32& b) {
  Convolve3x3(b, kSharpenKernel, kSharpenDivisor);
}

void HandOver(const TBitmap32& result, Bitmap24& output) {
  output.SetSize(result.Width(), result.Height());
  result.DrawToDC(output, 0, 0);
}

// A 24-bit picture as a 32-bit bitmap ready to be stretched or blended.
void ToWorkBitmap(const Bitmap24& picture, TBitmap32& b) {
  b.Assign(picture);
  b.SetStretchFilter(sfMitchell);
}

// Stretches overlay over the whole of work, blending it in with alpha.
void BlendOver(TBitmap32& work, TBitmap32& overlay, int alpha) {
  overlay.SetStretchFilter(sfMitchell);
  overlay.SetAllAlpha(uint8_t(std::clamp(alpha, 0, 255)));
  overlay.SetDrawMode(dmBlend);
  work.DrawRect(work.BoundsRect(), overlay.BoundsRect(), overlay);
}

}  // namespace

namespace {

// Divides the corners by the JPEG decoder's reduction, rounding halves to even.
void ScaleCorners(int scale, int& X1, int& Y1, int& X2, int& Y2) {
  if (scale <= 0) return;
  const int64_t d = int64_t(1) << scale;
  X1 = int(RoundDiv(X1, d));
  Y1 = int(RoundDiv(Y1, d));
  X2 = int(RoundDiv(X2, d));
  Y2 = int(RoundDiv(Y2, d));
}

bool IsJpegName(const std::string& ext) {
  return ext == ".JPG" || ext == ".JPEG";
}

// How a file is read when it is not a JPEG taken by the fast path.
int OtherKind(const std::string& ext) {
  return ext == ".ICO" ? kIcon : kPictureList;
}

}  // namespace

void LoadTileRegion(const std::string& fileName, int X1, int Y1, int X2, int Y2, int targetWidth,
                    int targetHeight, bool fastJpeg, TBitmap32& out) {
  const std::string ext = UpperCase(ExtractFileExt(fileName));
  std::shared_ptr<const Bitmap24> picture;
  if (fastJpeg && IsJpegName(ext)) {
    // The wanted size is the target size times the region's, so only very
    // large pictures are decoded reduced.
    int scale = 0, fullWidth = 0, fullHeight = 0;
    try {
      scale =
          ChooseJPEGScale(fileName, ClampedProduct(targetWidth, std::abs(int64_t(X2) - X1)),
                          ClampedProduct(targetHeight, std::abs(int64_t(Y2) - Y1)), fullWidth, fullHeight);
    } catch (const EFileError&) {
      scale = 0;  // a file that cannot be opened reads as an empty picture below
    }
    picture = ReadTilePicture(fileName, scale);
    ScaleCorners(scale, X1, Y1, X2, Y2);
  } else {
    picture = ReadTilePicture(fileName, OtherKind(ext));
  }
  CutRegion(*picture, X1, Y1, X2, Y2, targetWidth, targetHeight, out);
}

int CellJPEGScale(int regionWidth, int regionHeight, int targetWidth, int targetHeight) {
  const int64_t rw = std::abs(int64_t(regionWidth)), rh = std::abs(int64_t(regionHeight));
  for (int scale = 3; scale > 0; --scale)
    if (rw >= (int64_t(std::max(targetWidth, 1)) << scale) && rh >= (int64_t(std::max(targetHeight, 1)) << scale))
      return scale;
  return 0;
}

void LoadOriginalTile(const std::string& fileName, int X1, int Y1, int X2, int Y2, int targetWidth,
                      int targetHeight, bool fastJpeg, TTileDecodeCache* cache, TBitmap32& out) {
  const std::string ext = UpperCase(ExtractFileExt(fileName));
  std::shared_ptr<const Bitmap24> picture;
  if (fastJpeg && IsJpegName(ext)) {
    const int scale = CellJPEGScale(int(std::min<int64_t>(std::abs(int64_t(X2) - X1), INT32_MAX)),
                                    int(std::min<int64_t>(std::abs(int64_t(Y2) - Y1), INT32_MAX)), targetWidth,
                                    targetHeight);
    picture = ReadTilePicture(fileName, scale, cache);
    ScaleCorners(scale, X1, Y1, X2, Y2);
  } else {
    picture = ReadTilePicture(fileName, OtherKind(ext), cache);
  }
  CutRegion(*picture, X1, Y1, X2, Y2, targetWidth, targetHeight, out);
}

namespace {
std::string CutKey(const std::string& fileName, int X1, int Y1, int X2, int Y2, int targetWidth, int targetHeight,
                   bool fastJpeg) {
  return fileName + '\n' +
         Format("%d,%d,%d,%d,%d,%d,%d", X1, Y1, X2, Y2, targetWidth, targetHeight, int(fastJpeg));
}
}  // namespace

void RenderTileFromOriginal(const std::string& fileName, int X1, int Y1, int X2, int Y2, int targetWidth,
                            int targetHeight, bool fastJpeg, TTileDecodeCache* cache, Bitmap24& output) {
  auto cut = [&] {
    TBitmap32 tile;
    LoadOriginalTile(fileName, X1, Y1, X2, Y2, targetWidth, targetHeight, fastJpeg, cache, tile);
    auto picture = std::make_shared<Bitmap24>();
    HandOver(tile, *picture);
    return std::shared_ptr<const Bitmap24>(std::move(picture));
  };
  TFileStamp stamp;
  if (!cache || !StampOf(fileName, stamp)) {
    output = *cut();
    return;
  }
  // Cells of one size often show the same tile: its cut is kept as well.
  output = *ReadThroughCache(*cache, CutKey(fileName, X1, Y1, X2, Y2, targetWidth, targetHeight, fastJpeg), kCut,
                             stamp, cut);
}

namespace {
// Mirrors in place as CutRegion does for the corner order of its rectangle.
void MirrorAsCut(int X1, int Y1, int X2, int Y2, Bitmap24& b) {
  const bool leftRight = X2 < X1 && Y1 != Y2, topBottom = Y2 < Y1 && X1 != X2;
  const size_t rowBytes = size_t(b.Width()) * 3;
  if (topBottom) {
    std::vector<uint8_t> row(rowBytes);
    for (int y = 0, z = b.Height() - 1; y < z; ++y, --z) {
      std::memcpy(row.data(), b.ScanLine(y), rowBytes);
      std::memcpy(b.ScanLine(y), b.ScanLine(z), rowBytes);
      std::memcpy(b.ScanLine(z), row.data(), rowBytes);
    }
  }
  if (leftRight) {
    for (int y = 0; y < b.Height(); ++y) {
      uint8_t* p = b.ScanLine(y);
      for (int x = 0, z = b.Width() - 1; x < z; ++x, --z)
        for (int k = 0; k < 3; ++k) std::swap(p[size_t(x) * 3 + size_t(k)], p[size_t(z) * 3 + size_t(k)]);
    }
  }
}
}  // namespace

std::shared_ptr<const Bitmap24> RenderOriginalCell(const std::string& fileName, int X1, int Y1, int X2, int Y2,
                                                   int targetWidth, int targetHeight, bool fastJpeg, bool sharpen,
                                                   TTileDecodeCache* cache) {
  TFileStamp stamp;
  const bool kept = cache && StampOf(fileName, stamp);
  // The region at the cell's size before any mirroring: every orientation of
  // a tile shares it, so the picture file is read once for all of them. It
  // is what RenderTileFromOriginal gives for the corners in plain order.
  const int left = std::min(X1, X2), top = std::min(Y1, Y2), right = std::max(X1, X2), bottom = std::max(Y1, Y2);
  auto plain = [&] {
    auto picture = std::make_shared<Bitmap24>();
    RenderTileFromOriginal(fileName, left, top, right, bottom, targetWidth, targetHeight, fastJpeg, nullptr, *picture);
    return std::shared_ptr<const Bitmap24>(std::move(picture));
  };
  auto cell = [&] {
    const std::shared_ptr<const Bitmap24> cut =
        kept ? ReadThroughCache(
                   *cache, CutKey(fileName, left, top, right, bottom, targetWidth, targetHeight, fastJpeg),
                   kCut, stamp, plain)
             : plain();
    // The shared cut is copied only to be mirrored.
    Bitmap24 mirrored;
    const bool mirror = (X2 < X1 && Y1 != Y2) || (Y2 < Y1 && X1 != X2);
    if (mirror) {
      mirrored = *cut;
      MirrorAsCut(X1, Y1, X2, Y2, mirrored);
    }
    auto picture = std::make_shared<Bitmap24>();
    RenderCellImage(mirror ? mirrored : *cut, targetWidth, targetHeight, sharpen, 0, 0, Bitmap24(), false,
                    std::string(), nullptr, 0, 0, 0, 0, *picture);
    return std::shared_ptr<const Bitmap24>(std::move(picture));
  };
  if (!kept) return cell();
  const std::string key = CutKey(fileName, X1, Y1, X2, Y2, targetWidth, targetHeight, fastJpeg) + (sharpen ? "s" : "");
  return ReadThroughCache(*cache, key, kCell, stamp, cell);
}

void CropTileRegion(const TBitmap32& source, int X1, int Y1, int X2, int Y2, int targetWidth,
                    int targetHeight, TBitmap32& out) {
  CutRegion(source, X1, Y1, X2, Y2, targetWidth, targetHeight, out);
}

void RenderTileFromFile(const std::string& fileName, int X1, int Y1, int X2, int Y2, int targetWidth,
                        int targetHeight, bool fastJpeg, bool sharpen, Bitmap24& output) {
  TBitmap32 tile;
  LoadTileRegion(fileName, X1, Y1, X2, Y2, targetWidth, targetHeight, fastJpeg, tile);
  if (sharpen) Sharpen(tile);
  HandOver(tile, output);
}

void RenderTileFromBitmap(const TBitmap32& source, int X1, int Y1, int X2, int Y2, int targetWidth,
                          int targetHeight, bool /*fastJpeg*/, bool sharpen, Bitmap24& output) {
  TBitmap32 tile;
  CropTileRegion(source, X1, Y1, X2, Y2, targetWidth, targetHeight, tile);
  if (sharpen) Sharpen(tile);
  HandOver(tile, output);
}

void RenderCellImage(const Bitmap24& tilePicture, int targetWidth, int targetHeight, bool sharpen,
                     int colorCorrect, int blendAlpha, const Bitmap24& cellBitmap, bool detailedBlend,
                     const std::string& sourceFileName, const TBitmap32* sourcePicture, int X1, int Y1,
                     int X2, int Y2, Bitmap24& output) {
  TBitmap32 work;
  if (tilePicture.Width() == targetWidth && tilePicture.Height() == targetHeight) {
    // A stretch to the same size copies the words: they are taken as they are.
    work.Assign(tilePicture);
  } else {
    TBitmap32 tile;
    ToWorkBitmap(tilePicture, tile);
    work.SetSize(targetWidth, targetHeight);
    work.DrawRect(work.BoundsRect(), tile.BoundsRect(), tile);
  }
  if (sharpen) Sharpen(work);
  if (colorCorrect + blendAlpha > 0) {
    TBitmap32 overlay;
    if (colorCorrect > 0) {
      // The cell picture at its own size is the reference: only its colour
      // statistics count.
      overlay.Assign(cellBitmap);
      MatchTileColor(overlay, work, colorCorrect);
    }
    if (blendAlpha > 0) {
      if (detailedBlend && sourcePicture != nullptr && FileExists(sourceFileName))
        CropTileRegion(*sourcePicture, X1, Y1, X2, Y2, targetWidth, targetHeight, overlay);
      else
        overlay.Assign(cellBitmap);
      BlendOver(work, overlay, blendAlpha);
    }
  }
  HandOver(work, output);
}

void LoadIconAsBitmap(const std::string& fileName, Bitmap24& bitmap) {
  Bitmap24 icon;
  ReadICOFile(fileName, icon);
  bitmap = std::move(icon);
}

void OverlayWithAlpha(Bitmap24& bitmap, const Bitmap24& graphic, int alpha) {
  TBitmap32 work, overlay;
  work.Assign(bitmap);
  overlay.Assign(graphic);
  BlendOver(work, overlay, alpha);
  work.DrawToDC(bitmap, 0, 0);
}

void BuildGridPreview(Bitmap24& bitmap, const Bitmap24& reference, int columns, int percent, int rows) {
  const int W = reference.Width(), H = reference.Height();
  if (W <= 0 || H <= 0) return;
  // Cells wider than 4 pixels where the picture allows it, and at least one.
  auto count = [](int size, int wanted) {
    const int n = (wanted > 0 && double(size) / wanted > 4.0) ? wanted : int(RoundDiv(size, 4));
    return std::max(n, 1);
  };
  const int c = count(W, columns), r = count(H, rows);
  const int cw = int(RoundDiv(W, c)), ch = int(RoundDiv(H, r));
  TBitmap32 A, B;
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j) {
      const int x = int(RoundDiv(int64_t(W) * j, c)), y = int(RoundDiv(int64_t(H) * i, r));
      const TRect area(x, y, x + cw, y + ch), cell(0, 0, cw, ch);
      // Parts of a cell beyond either picture read as black.
      A.SetSize(cw, ch);
      A.Clear(0);
      B.SetSize(cw, ch);
      B.Clear(0);
      A.DrawFromDC(cell, area, bitmap);
      B.DrawFromDC(cell, area, reference);
      MatchTileColor(B, A, percent);
      A.DrawToDC(bitmap, x, y);
    }
}

void ReleaseTileRenderCache() {
  std::lock_guard g(CacheMutex());
  LastDecoded() = TDecodedPicture{};
}
