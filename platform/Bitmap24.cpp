#include "platform/Bitmap24.h"

#include <malloc.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/Errors.h"

namespace {
// Pictures from this size on are mapped from the system directly.
constexpr uint64_t kMappedBytes = uint64_t(4) << 20;
}  // namespace

void KeepFreedPictureMemory() {
  // Blocks under 32 MB come from the heap (larger pictures are mapped by
  // SetSize anyway), and up to 256 MB of freed heap is kept.
  ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
  ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
}

void Bitmap24::SetSize(int width, int height, TMemory memory) {
  if (width < 0 || height < 0) throw EOutOfResources(Format("Invalid picture size %d x %d", width, height));
  if (width == 0 || height == 0) width = height = 0;
  const size_t stride = StrideFor(width);
  const uint64_t bytes = uint64_t(stride) * uint64_t(height);
  // Far beyond any real picture; refuse before asking the allocator.
  if (bytes > (uint64_t(1) << 40))
    throw EOutOfResources(Format("Not enough memory for a picture of %d x %d pixels", width, height));
  uint8_t* data = nullptr;
  const bool mapped = bytes >= kMappedBytes && memory == pmDefault;
  if (mapped) {
    void* p = ::mmap(nullptr, size_t(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p != MAP_FAILED) {
      ::madvise(p, size_t(bytes), MADV_HUGEPAGE);  // a hint; refused on systems without them
      data = static_cast<uint8_t*>(p);
    }
  } else if (bytes > 0) {
    data = static_cast<uint8_t*>(std::calloc(size_t(bytes), 1));
  }
  if (bytes > 0 && !data)
    throw EOutOfResources(Format("Not enough memory for a picture of %d x %d pixels", width, height));
  Release();
  FData = data;
  FMapped = mapped;
  FWidth = width;
  FHeight = height;
  FStride = stride;
}

Bitmap24::Bitmap24(const Bitmap24& other) {
  *this = other;
}

Bitmap24& Bitmap24::operator=(const Bitmap24& other) {
  if (this == &other) return *this;
  Bitmap24 copy;
  if (!other.Empty()) {
    copy.SetSize(other.FWidth, other.FHeight);
    std::memcpy(copy.FData, other.FData, other.ByteSize());
  }
  Swap(copy);
  return *this;
}

void Bitmap24::Swap(Bitmap24& other) noexcept {
  std::swap(FWidth, other.FWidth);
  std::swap(FHeight, other.FHeight);
  std::swap(FStride, other.FStride);
  std::swap(FData, other.FData);
  std::swap(FMapped, other.FMapped);
}

void Bitmap24::Release() noexcept {
  if (FMapped)
    ::munmap(FData, ByteSize());
  else
    std::free(FData);
  FData = nullptr;
  FMapped = false;
}

TColor Bitmap24::Pixel(int x, int y) const {
  const uint8_t* p = ScanLine(y) + size_t(x) * 3;
  return RGB(p[2], p[1], p[0]);
}

void Bitmap24::SetPixel(int x, int y, TColor c) {
  uint8_t* p = ScanLine(y) + size_t(x) * 3;
  p[0] = GetBValue(c);
  p[1] = GetGValue(c);
  p[2] = GetRValue(c);
}

void Bitmap24::Fill(TColor c) {
  FillRect(TRect(0, 0, FWidth, FHeight), c);
}

void Bitmap24::FillRect(const TRect& r, TColor c) {
  const int l = std::max(0, std::min(r.Left, r.Right)), rr = std::min(FWidth, std::max(r.Left, r.Right));
  const int t = std::max(0, std::min(r.Top, r.Bottom)), b = std::min(FHeight, std::max(r.Top, r.Bottom));
  if (l >= rr || t >= b) return;
  const uint8_t px[3] = {GetBValue(c), GetGValue(c), GetRValue(c)};
  // One row is filled pixel by pixel, the others are copies of it.
  const size_t run = size_t(rr - l) * 3;
  uint8_t* first = ScanLine(t) + size_t(l) * 3;
  for (size_t i = 0; i < run; i += 3) std::memcpy(first + i, px, 3);
  for (int y = t + 1; y < b; ++y) std::memcpy(ScanLine(y) + size_t(l) * 3, first, run);
}

bool Bitmap24::operator==(const Bitmap24& o) const {
  if (FWidth != o.FWidth || FHeight != o.FHeight) return false;
  const size_t row = size_t(FWidth) * 3;
  for (int y = 0; y < FHeight; ++y)
    if (std::memcmp(ScanLine(y), o.ScanLine(y), row) != 0) return false;
  return true;
}

namespace {

// One axis of a stretch: target pixels [lo, hi) and, for each, its source index.
struct AxisMap {
  int lo = 0, hi = 0;
  std::vector<int> src;  // indexed by target pixel - lo; -1 where outside the source
};

AxisMap MapAxis(int d0, int d1, int dLimit, int s0, int s1, int sLimit) {
  AxisMap m;
  const int64_t dw = int64_t(d1) - d0, sw = int64_t(s1) - s0;
  if (dw == 0 || sw == 0) return m;
  const bool dRev = dw < 0, sRev = sw < 0;
  const int64_t adw = dRev ? -dw : dw, asw = sRev ? -sw : sw;
  // A reversed rectangle (l, r) covers r + 1 .. l.
  const int64_t first = dRev ? int64_t(d1) + 1 : d0, last = dRev ? d0 : int64_t(d1) - 1;
  m.lo = int(std::max<int64_t>(first, 0));
  m.hi = int(std::min<int64_t>(last + 1, dLimit));
  if (m.lo >= m.hi) {
    m.lo = m.hi = 0;
    return m;
  }
  m.src.resize(size_t(m.hi - m.lo));
  for (int x = m.lo; x < m.hi; ++x) {
    const int64_t i = dRev ? int64_t(d0) - x : int64_t(x) - d0;
    const int64_t si = i * asw / adw;
    const int64_t s = sRev ? int64_t(s0) - si : int64_t(s0) + si;
    m.src[size_t(x - m.lo)] = (s >= 0 && s < sLimit) ? int(s) : -1;
  }
  return m;
}

}  // namespace

void StretchDraw(Bitmap24& dst, const TRect& dstRect, const Bitmap24& src, const TRect& srcRect) {
  if (dst.Empty() || src.Empty()) return;
  const AxisMap mx =
      MapAxis(dstRect.Left, dstRect.Right, dst.Width(), srcRect.Left, srcRect.Right, src.Width());
  const AxisMap my =
      MapAxis(dstRect.Top, dstRect.Bottom, dst.Height(), srcRect.Top, srcRect.Bottom, src.Height());
  for (int y = my.lo; y < my.hi; ++y) {
    const int sy = my.src[size_t(y - my.lo)];
    if (sy < 0) continue;
    const uint8_t* s = src.ScanLine(sy);
    uint8_t* d = dst.ScanLine(y);
    for (int x = mx.lo; x < mx.hi; ++x) {
      const int sx = mx.src[size_t(x - mx.lo)];
      if (sx < 0) continue;
      std::memcpy(d + size_t(x) * 3, s + size_t(sx) * 3, 3);
    }
  }
}

void StretchDraw(Bitmap24& dst, const TRect& dstRect, const Bitmap24& src) {
  StretchDraw(dst, dstRect, src, TRect(0, 0, src.Width(), src.Height()));
}

void SwapRedBlue(uint8_t* dst, const uint8_t* src, size_t pixels) {
  for (size_t i = 0; i < pixels; ++i, dst += 3, src += 3) {
    dst[0] = src[2];
    dst[1] = src[1];
    dst[2] = src[0];
  }
}

void DrawAt(Bitmap24& dst, int x, int y, const Bitmap24& src, bool swapRedBlue) {
  // An unscaled copy is whole rows of bytes.
  const int64_t l = std::max<int64_t>(x, 0), r = std::min<int64_t>(int64_t(x) + src.Width(), dst.Width());
  const int64_t t = std::max<int64_t>(y, 0), b = std::min<int64_t>(int64_t(y) + src.Height(), dst.Height());
  if (l >= r || t >= b) return;
  for (int64_t row = t; row < b; ++row) {
    uint8_t* to = dst.ScanLine(int(row)) + size_t(l) * 3;
    const uint8_t* from = src.ScanLine(int(row - y)) + size_t(l - x) * 3;
    if (swapRedBlue)
      SwapRedBlue(to, from, size_t(r - l));
    else
      std::memcpy(to, from, size_t(r - l) * 3);
  }
}
