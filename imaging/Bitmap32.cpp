#include "imaging/Bitmap32.h"

#include <algorithm>
#include <cstring>
#include <istream>
#include <ostream>
#include <vector>

#include "imaging/Transfer.h"
#include "platform/Picture.h"

namespace {

// The classic system colours (0x00BBGGRR), by index.
constexpr TColor kSystemColors[] = {
    0xC0C0C0, 0x808000, 0x800000, 0x808080, 0xC0C0C0, 0xFFFFFF, 0x000000, 0x000000, 0x000000,
    0xFFFFFF, 0xC0C0C0, 0xC0C0C0, 0x808080, 0x800000, 0xFFFFFF, 0xC0C0C0, 0x808080, 0x808080,
    0x000000, 0xC0C0C0, 0xFFFFFF, 0x000000, 0xC0C0C0, 0x000000, 0xE1FFFF,
};

// Row kernel of DrawToDC: words to blue, green, red bytes. Also built for the
// processor's wider vectors; a copy of bytes is the same on every build.
__attribute__((target_clones("avx2", "default"))) void ColorToBGRRow(const TColor32* s, uint8_t* d, int count) {
  for (int i = 0; i < count; ++i) {
    d[3 * i] = uint8_t(s[i]);
    d[3 * i + 1] = uint8_t(s[i] >> 8);
    d[3 * i + 2] = uint8_t(s[i] >> 16);
  }
}

// Only counts locks; each object has its own section for the real protection.
std::mutex& LockCountMutex() {
  static std::mutex m;
  return m;
}

// Far beyond any picture the program makes; refused before asking for memory.
constexpr uint64_t kMaxPixelBytes = uint64_t(1) << 40;

// Keeps a BeginUpdate paired when an exception passes.
class TUpdateScope {
 public:
  explicit TUpdateScope(TThreadPersistent& o) : FObj(o) { FObj.BeginUpdate(); }
  ~TUpdateScope() { FObj.EndUpdate(); }
  TUpdateScope(const TUpdateScope&) = delete;
  TUpdateScope& operator=(const TUpdateScope&) = delete;

 private:
  TThreadPersistent& FObj;
};

inline TColor32 OpaqueFromBGR(const uint8_t* p) {
  return 0xFF000000u | (TColor32(p[2]) << 16) | (TColor32(p[1]) << 8) | TColor32(p[0]);
}

void PutLE32(std::ostream& out, uint32_t v) {
  const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  out.write(b, 4);
}

bool GetLE32(std::istream& in, uint32_t& v) {
  unsigned char b[4];
  if (!in.read(reinterpret_cast<char*>(b), 4)) return false;
  v = uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
  return true;
}

}  // namespace

TColor32 Color32(TColor windowColor) {
  if (windowColor & 0x80000000u) {
    const unsigned index = windowColor & 0xFF;
    windowColor = index < std::size(kSystemColors) ? kSystemColors[index] : 0;
  }
  return Color32(GetRValue(windowColor), GetGValue(windowColor), GetBValue(windowColor), 255);
}

void BGRToColor32Row(const uint8_t* bgr, TColor32* dst, int count) {
  // Four pixels from three little-endian words at a time.
  int i = 0;
  for (; i + 4 <= count; i += 4, bgr += 12, dst += 4) {
    uint32_t w[3];
    std::memcpy(w, bgr, 12);
    dst[0] = 0xFF000000u | (w[0] & 0xFFFFFF);
    dst[1] = 0xFF000000u | (w[0] >> 24) | ((w[1] & 0xFFFF) << 8);
    dst[2] = 0xFF000000u | (w[1] >> 16) | ((w[2] & 0xFF) << 16);
    dst[3] = 0xFF000000u | (w[2] >> 8);
  }
  for (; i < count; ++i, bgr += 3) *dst++ = OpaqueFromBGR(bgr);
}

TFixedRect FixedRect(const TRect& r) {
  auto fx = [](int32_t v) { return int32_t(uint32_t(v) << 16); };
  return TFixedRect{fx(r.Left), fx(r.Top), fx(r.Right), fx(r.Bottom)};
}

bool IntersectRect32(TRect& result, const TRect& a, const TRect& b) {
  const TRect r(std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                std::min(a.Bottom, b.Bottom));
  if (r.Right >= r.Left && r.Bottom >= r.Top) {
    result = r;
    return true;
  }
  result = TRect(0, 0, 0, 0);
  return false;
}

void OffsetRect32(TRect& r, int32_t dx, int32_t dy) {
  r.Left += dx;
  r.Right += dx;
  r.Top += dy;
  r.Bottom += dy;
}

// --- TThreadPersistent ---------------------------------------------------------

void TThreadPersistent::EndUpdate() {
  if (FUpdateCount <= 0) throw EAssertionFailed("Unpaired TThreadPersistent.EndUpdate");
  --FUpdateCount;
}

void TThreadPersistent::Changed() {
  if (FUpdateCount == 0 && OnChange) OnChange(this);
}

void TThreadPersistent::Lock() {
  {
    std::lock_guard g(LockCountMutex());
    ++FLockCount;
  }
  FLock.lock();
}

void TThreadPersistent::Unlock() {
  FLock.unlock();
  std::lock_guard g(LockCountMutex());
  --FLockCount;
}

// --- TCustomMap ------------------------------------------------------------------

bool TCustomMap::SetSize(int newWidth, int newHeight) {
  newWidth = std::max(newWidth, 0);
  newHeight = std::max(newHeight, 0);
  if (newWidth == FWidth && newHeight == FHeight) return false;
  StoreNewSize(FWidth, FHeight, newWidth, newHeight);
  Changed();
  NotifyResized();
  return true;
}

void TCustomMap::StoreNewSize(int& width, int& height, int newWidth, int newHeight) {
  width = newWidth;
  height = newHeight;
}

void TCustomMap::NotifyResized() {
  if (OnResize) OnResize(this);
}

// --- TBitmap32 ---------------------------------------------------------------------

TBitmap32::~TBitmap32() {
  // The memory goes without resize events: handlers must not see a bitmap
  // that is being destroyed.
  Lock();
  FBits.reset();
  FWidth = FHeight = 0;
  Unlock();
}

void TBitmap32::StoreNewSize(int& width, int& height, int newWidth, int newHeight) {
  FBits.reset();
  width = height = 0;
  const char* failure = nullptr;
  if (newWidth > 0 && newHeight > 0) {
    const uint64_t bytes = uint64_t(newWidth) * uint64_t(newHeight) * sizeof(TColor32);
    if (bytes <= kMaxPixelBytes) FBits.reset(static_cast<TColor32*>(std::calloc(size_t(bytes), 1)));
    if (!FBits) failure = "Can't allocate the DIB handle";
  }
  if (!failure) {
    width = newWidth;
    height = newHeight;
  }
  ResetClipRect();
  HandleChanged();
  if (failure) throw EOutOfResources(failure);
}

void TBitmap32::HandleChanged() {
  if (OnHandleChanged) OnHandleChanged(this);
}

void TBitmap32::ResetClipRect() {
  FClipRect = BoundsRect();
  FFixedClipRect = FixedRect(FClipRect);
  FClipping = false;
}

void TBitmap32::SetClipRect(const TRect& r) {
  IntersectRect32(FClipRect, r, BoundsRect());
  FFixedClipRect = FixedRect(FClipRect);
  FClipping = !(FClipRect == BoundsRect());
}

void TBitmap32::SetDrawMode(TDrawMode v) {
  if (v == FDrawMode) return;
  FDrawMode = v;
  Changed();
}

void TBitmap32::SetCombineMode(TCombineMode v) {
  FCombineMode = v;
  Changed();
}

void TBitmap32::SetMasterAlpha(uint32_t v) {
  v = std::min<uint32_t>(v, 255);
  if (v == FMasterAlpha) return;
  FMasterAlpha = v;
  Changed();
}

void TBitmap32::SetStretchFilter(TStretchFilter v) {
  if (v == FStretchFilter) return;
  FStretchFilter = v;
  Changed();
}

void TBitmap32::Clear(TColor32 color) {
  if (Empty()) return;
  std::fill(Bits(), Bits() + size_t(FWidth) * size_t(FHeight), color);
  Changed();
}

void TBitmap32::SetAllAlpha(uint8_t value) {
  if (!Empty()) {
    const TColor32 a = TColor32(value) << 24;
    TColor32* p = Bits();
    const size_t n = size_t(FWidth) * size_t(FHeight);
    for (size_t i = 0; i < n; ++i) p[i] = (p[i] & 0x00FFFFFF) | a;
  }
  Changed();
}

void TBitmap32::DrawRect(const TRect& dstRect, const TRect& srcRect, const TBitmap32& src) {
  if (Empty() || src.Empty()) return;
  StretchBlock32(this, dstRect, FClipRect, src, srcRect, src.StretchFilter(), src.DrawMode(),
                 src.OnPixelCombine);
  Changed();
}

void TBitmap32::DrawAt(TBitmap32& dst, int x, int y) const {
  if (Empty() || dst.Empty()) return;
  CopyBlock32(&dst, x, y, dst.ClipRect(), *this, BoundsRect(), FDrawMode, OnPixelCombine);
  dst.Changed();
}

void TBitmap32::DrawToDC(Bitmap24& dst, int x, int y) const {
  if (Empty() || dst.Empty()) return;
  const int l = std::max(x, 0), r = int(std::min<int64_t>(int64_t(x) + FWidth, dst.Width()));
  const int t = std::max(y, 0), b = int(std::min<int64_t>(int64_t(y) + FHeight, dst.Height()));
  for (int dy = t; dy < b; ++dy) ColorToBGRRow(ScanLine(dy - y) + (l - x), dst.ScanLine(dy) + size_t(l) * 3, r - l);
}

void TBitmap32::DrawFromDC(const TRect& dstRect, const TRect& srcRect, const Bitmap24& src) {
  if (Empty() || src.Empty()) return;
  // The device's own stretch does the mapping; the pixels it covers come back
  // with alpha 0, as a device copy into a 32-bit section leaves them.
  Bitmap24 device;
  AssignTo(device);
  StretchDraw(device, dstRect, src, srcRect);
  auto span = [](int32_t a, int32_t b, int limit, int& lo, int& hi) {
    const int64_t first = b < a ? int64_t(b) + 1 : a, last = b < a ? int64_t(a) : int64_t(b) - 1;
    lo = int(std::max<int64_t>(first, 0));
    hi = int(std::min<int64_t>(last + 1, limit));
  };
  int l, r, t, b;
  span(dstRect.Left, dstRect.Right, FWidth, l, r);
  span(dstRect.Top, dstRect.Bottom, FHeight, t, b);
  for (int y = t; y < b; ++y) {
    const uint8_t* s = device.ScanLine(y) + size_t(l) * 3;
    TColor32* d = ScanLine(y) + l;
    for (int x = l; x < r; ++x, s += 3) *d++ = OpaqueFromBGR(s) & 0x00FFFFFF;
  }
  Changed();
}

void TBitmap32::MirrorLeftRight(TBitmap32* dst) {
  if (dst == nullptr || dst == this) {
    for (int y = 0; y < FHeight && !Empty(); ++y) std::reverse(ScanLine(y), ScanLine(y) + FWidth);
    Changed();
    return;
  }
  {
    TUpdateScope scope(*dst);
    dst->SetSize(FWidth, FHeight);
    for (int y = 0; y < FHeight && !Empty(); ++y)
      std::reverse_copy(ScanLine(y), ScanLine(y) + FWidth, dst->ScanLine(y));
  }
  dst->Changed();
}

void TBitmap32::MirrorTopBottom(TBitmap32* dst) {
  if (dst == nullptr || dst == this) {
    if (!Empty()) {
      std::vector<TColor32> buffer(static_cast<size_t>(FWidth));
      const size_t rowBytes = size_t(FWidth) * sizeof(TColor32);
      for (int y = 0; y < FHeight / 2; ++y) {
        TColor32* a = ScanLine(y);
        TColor32* b = ScanLine(FHeight - 1 - y);
        std::memcpy(buffer.data(), a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, buffer.data(), rowBytes);
      }
    }
    Changed();
    return;
  }
  dst->SetSize(FWidth, FHeight);
  for (int y = 0; y < FHeight && !Empty(); ++y)
    std::copy(ScanLine(y), ScanLine(y) + FWidth, dst->ScanLine(FHeight - 1 - y));
  dst->Changed();
}

void TBitmap32::LoadFromFile(const std::string& fileName) {
  Bitmap24 picture;
  LoadPicture(fileName, picture);
  Assign(picture);
}

void TBitmap32::Assign(const TBitmap32* src) {
  if (src == this) return;
  {
    TUpdateScope scope(*this);
    if (src == nullptr) {
      SetSize(0, 0);
    } else {
      SetSize(src->Width(), src->Height());
      if (!Empty() && !src->Empty()) {
        std::memcpy(Bits(), src->Bits(), size_t(FWidth) * size_t(FHeight) * sizeof(TColor32));
        SetDrawMode(src->DrawMode());
        SetMasterAlpha(src->MasterAlpha());
        OuterColor = src->OuterColor;
        SetStretchFilter(src->StretchFilter());
      }
    }
  }
  Changed();
}

void TBitmap32::Assign(const Bitmap24& src) {
  {
    TUpdateScope scope(*this);
    SetSize(src.Width(), src.Height());
    for (int y = 0; y < FHeight && !Empty(); ++y) {
      BGRToColor32Row(src.ScanLine(y), ScanLine(y), FWidth);
    }
  }
  Changed();
}

void TBitmap32::AssignTransparent(const Bitmap24& src, TColor transparentColor) {
  {
    TUpdateScope scope(*this);
    Assign(src);
    const TColor32 key = Color32(transparentColor & 0xFFFFFF) & 0x00FFFFFF;
    const size_t n = Empty() ? 0 : size_t(FWidth) * size_t(FHeight);
    TColor32* p = Bits();
    for (size_t i = 0; i < n; ++i)
      if ((p[i] & 0x00FFFFFF) == key) p[i] = key;
  }
  Changed();
}

void TBitmap32::AssignTo(Bitmap24& dst) const {
  dst.SetSize(FWidth, FHeight);
  DrawToDC(dst, 0, 0);
}

void TBitmap32::WritePixelData(std::ostream& out) const {
  PutLE32(out, uint32_t(FWidth));
  PutLE32(out, uint32_t(FHeight));
  const size_t n = Empty() ? 0 : size_t(FWidth) * size_t(FHeight);
  const TColor32* p = Bits();
  std::vector<char> chunk;
  chunk.reserve(4096 * 4);
  for (size_t i = 0; i < n; ++i) {
    const TColor32 v = p[i];
    const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    chunk.insert(chunk.end(), b, b + 4);
    if (chunk.size() >= 4096 * 4) {
      out.write(chunk.data(), std::streamsize(chunk.size()));
      chunk.clear();
    }
  }
  out.write(chunk.data(), std::streamsize(chunk.size()));
}

void TBitmap32::ReadPixelData(std::istream& in) {
  struct TChangedAtEnd {
    TBitmap32& B;
    ~TChangedAtEnd() { B.Changed(); }
  } changedAtEnd{*this};
  uint32_t w = 0, h = 0;
  if (!GetLE32(in, w) || !GetLE32(in, h)) throw EPictureError("Bitmap data is truncated");
  if (w > 0x7FFFFFFF || h > 0x7FFFFFFF || uint64_t(w) * h * 4 > kMaxPixelBytes)
    throw EPictureError(Format("Bitmap data has an invalid size (%u x %u)", w, h));
  const uint64_t count = (w == 0 || h == 0) ? 0 : uint64_t(w) * h;
  // Read in slices so that a header claiming more than the data holds costs no
  // more memory than the data itself.
  std::vector<TColor32> pixels;
  std::vector<unsigned char> slice(1 << 16);
  while (pixels.size() < count) {
    const size_t want = size_t(std::min<uint64_t>(count - pixels.size(), slice.size() / 4));
    if (!in.read(reinterpret_cast<char*>(slice.data()), std::streamsize(want * 4)))
      throw EPictureError("Bitmap data is truncated");
    for (size_t i = 0; i < want; ++i) {
      const unsigned char* b = slice.data() + i * 4;
      pixels.push_back(uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) |
                       (uint32_t(b[3]) << 24));
    }
  }
  SetSize(int(w), int(h));
  if (!Empty()) std::memcpy(Bits(), pixels.data(), pixels.size() * sizeof(TColor32));
}
