// The 32-bit working bitmap: one 0xAARRGGBB word per pixel, rows top-down,
// no padding between rows (row y starts at word y * Width), so a QImage
// (Format_ARGB32) can wrap Bits() without a copy. Tiles are loaded, cropped,
// flipped, resampled and blended in it; its transfers live in Transfer.h and
// its pixel arithmetic in Blend.h.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>

#include "imaging/Blend.h"
#include "platform/Bitmap24.h"
#include "platform/Errors.h"
#include "platform/Types.h"

enum TDrawMode : uint8_t { dmOpaque = 0, dmBlend = 1, dmCustom = 2 };

enum TStretchFilter : uint8_t {
  sfNearest = 0,
  sfDraft = 1,
  sfLinear = 2,
  sfCosine = 3,
  sfSpline = 4,
  sfLanczos = 5,
  sfMitchell = 6,
};

class TThreadPersistent;
class TBitmap32;

// Notification with the object that changed.
using TBitmapEvent = std::function<void(TThreadPersistent* Sender)>;
// dmCustom transfers: combine foreground F into background B with master alpha M.
using TPixelCombineEvent = std::function<void(TColor32 F, TColor32& B, uint32_t M)>;

// A programming error caught at run time ("Unpaired TThreadPersistent.EndUpdate").
class EAssertionFailed : public EVitrane {
  using EVitrane::EVitrane;
};

// A rectangle in 16.16 fixed point.
struct TFixedRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  constexpr bool operator==(const TFixedRect&) const = default;
};

// --- Colours ---------------------------------------------------------------------
// From a window colour (0x00BBGGRR); a value with the top bit set is a system
// colour, looked up by its low byte first. Alpha is always 255.
TColor32 Color32(TColor windowColor);
constexpr TColor32 Color32(uint8_t R, uint8_t G, uint8_t B, uint8_t A = 255) {
  return (TColor32(A) << 24) | (TColor32(R) << 16) | (TColor32(G) << 8) | TColor32(B);
}
constexpr uint8_t AlphaComponent(TColor32 c) {
  return uint8_t(c >> 24);
}
constexpr uint8_t RedComponent(TColor32 c) {
  return uint8_t(c >> 16);
}
constexpr uint8_t GreenComponent(TColor32 c) {
  return uint8_t(c >> 8);
}
constexpr uint8_t BlueComponent(TColor32 c) {
  return uint8_t(c);
}

// --- Rectangles ------------------------------------------------------------------
constexpr TPoint MakePoint(int32_t x, int32_t y) {
  return TPoint{x, y};
}
constexpr TRect MakeRect(int32_t l, int32_t t, int32_t r, int32_t b) {
  return TRect(l, t, r, b);
}
// Each coordinate shifted left by 16 bits.
TFixedRect FixedRect(const TRect& r);
// Larger left/top, smaller right/bottom; true when right >= left and
// bottom >= top (a zero-width overlap counts); otherwise result is (0,0,0,0).
bool IntersectRect32(TRect& result, const TRect& a, const TRect& b);
inline bool EqualRect32(const TRect& a, const TRect& b) {
  return a == b;
}
void OffsetRect32(TRect& r, int32_t dx, int32_t dy);
inline bool IsRectEmpty32(const TRect& r) {
  return r.Right <= r.Left || r.Bottom <= r.Top;
}

// --- Update counting and locking --------------------------------------------------
class TThreadPersistent {
 public:
  TThreadPersistent() = default;
  virtual ~TThreadPersistent() = default;
  TThreadPersistent(const TThreadPersistent&) = delete;
  TThreadPersistent& operator=(const TThreadPersistent&) = delete;

  void BeginUpdate() { ++FUpdateCount; }
  // Raises EAssertionFailed when there is no matching BeginUpdate. Does not call Changed.
  void EndUpdate();
  // Fires OnChange unless an update is in progress.
  virtual void Changed();
  // Protects the object across threads; recursive.
  void Lock();
  void Unlock();
  int32_t UpdateCount() const { return FUpdateCount; }
  int32_t LockCount() const { return FLockCount; }

  TBitmapEvent OnChange;

 private:
  int32_t FUpdateCount = 0;
  int32_t FLockCount = 0;
  std::recursive_mutex FLock;
};

// --- A two-dimensional map of some size -----------------------------------------
class TCustomMap : public TThreadPersistent {
 public:
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // Negative sizes become 0. Returns false, and does nothing, when the size is
  // unchanged; otherwise stores the new size, then Changed and OnResize.
  virtual bool SetSize(int newWidth, int newHeight);
  void SetWidth(int w) { SetSize(w, FHeight); }
  void SetHeight(int h) { SetSize(FWidth, h); }
  void Delete() { SetSize(0, 0); }
  virtual bool Empty() const { return FWidth == 0 || FHeight == 0; }

  TBitmapEvent OnResize;

 protected:
  virtual void StoreNewSize(int& width, int& height, int newWidth, int newHeight);
  virtual void NotifyResized();
  int FWidth = 0;
  int FHeight = 0;
};

// --- The 32-bit bitmap ---------------------------------------------------------
class TBitmap32 : public TCustomMap {
 public:
  TBitmap32() = default;
  ~TBitmap32() override;

  // Empty also when no pixel memory is held.
  bool Empty() const override { return TCustomMap::Empty() || !FBits; }

  // Pixel access; no range checks.
  TColor32* Bits() { return FBits.get(); }
  const TColor32* Bits() const { return FBits.get(); }
  TColor32* ScanLine(int y) { return FBits.get() + size_t(y) * size_t(FWidth); }
  const TColor32* ScanLine(int y) const { return FBits.get() + size_t(y) * size_t(FWidth); }
  TColor32* PixelAddress(int x, int y) { return ScanLine(y) + x; }
  const TColor32* PixelAddress(int x, int y) const { return ScanLine(y) + x; }
  TColor32 Pixel(int x, int y) const { return *PixelAddress(x, y); }
  void SetPixel(int x, int y, TColor32 c) { *PixelAddress(x, y) = c; }

  TRect BoundsRect() const { return TRect(0, 0, FWidth, FHeight); }
  // The transfers clip their destination to this; it is reset to the bounds on
  // every resize, and a new one is kept inside the bounds.
  const TRect& ClipRect() const { return FClipRect; }
  void SetClipRect(const TRect& r);
  const TFixedRect& FixedClipRect() const { return FFixedClipRect; }
  // True when the clip rectangle differs from the bounds.
  bool Clipping() const { return FClipping; }

  TDrawMode DrawMode() const { return FDrawMode; }
  void SetDrawMode(TDrawMode v);  // Changed only when different
  TCombineMode CombineMode() const { return FCombineMode; }
  void SetCombineMode(TCombineMode v);  // Changed every time
  uint32_t MasterAlpha() const { return FMasterAlpha; }
  void SetMasterAlpha(uint32_t v);  // 0..255; Changed only when different
  TColor32 OuterColor = 0;
  TStretchFilter StretchFilter() const { return FStretchFilter; }
  void SetStretchFilter(TStretchFilter v);  // Changed only when different

  TBitmapEvent OnHandleChanged;
  TPixelCombineEvent OnPixelCombine;

  // Every pixel word becomes the colour (nothing for an empty bitmap).
  void Clear(TColor32 color);
  // Every alpha byte becomes the value.
  void SetAllAlpha(uint8_t value = 255);

  // Stretches src's srcRect into dstRect of this bitmap with src's stretch
  // filter, draw mode and combine event, clipped to ClipRect (StretchBlock32).
  void DrawRect(const TRect& dstRect, const TRect& srcRect, const TBitmap32& src);
  // Places this whole bitmap onto dst at (x, y) with this bitmap's draw mode,
  // clipped to dst's ClipRect (CopyBlock32); then dst's Changed.
  void DrawAt(TBitmap32& dst, int x, int y) const;

  // The drawing-context transfers, with a 24-bit bitmap as the device: DrawToDC
  // copies this whole bitmap unscaled to (x, y) of dst (alpha dropped, clipped);
  // DrawFromDC stretch-copies (nearest pixel, reversed rectangles mirror) src's
  // srcRect into dstRect, writing alpha 0 as a device copy does.
  void DrawToDC(Bitmap24& dst, int x, int y) const;
  void DrawFromDC(const TRect& dstRect, const TRect& srcRect, const Bitmap24& src);

  // Mirrors into dst (resized to this size), or in place when dst is null or this.
  void MirrorLeftRight(TBitmap32* dst = nullptr);
  void MirrorTopBottom(TBitmap32* dst = nullptr);

  // Loads through the picture-format list; every alpha byte becomes 255.
  void LoadFromFile(const std::string& fileName);

  // Null gives 0 x 0. A TBitmap32 gives its size and pixels plus its DrawMode,
  // MasterAlpha, OuterColor and StretchFilter (not CombineMode).
  void Assign(const TBitmap32* src);
  void Assign(const TBitmap32& src) { Assign(&src); }
  // A 24-bit bitmap: same size and pixels, alpha 255.
  void Assign(const Bitmap24& src);
  // As Assign, but every pixel whose colour equals the transparent colour
  // (0x00BBGGRR) gets alpha 0.
  void AssignTransparent(const Bitmap24& src, TColor transparentColor);
  // A 24-bit bitmap receives this bitmap's size and colours (alpha dropped).
  void AssignTo(Bitmap24& dst) const;

  // Persistence: width (int32), height (int32), then width x height pixel
  // words, little-endian. ReadPixelData checks the data before resizing and
  // raises EPictureError for a short or absurd block; Changed runs either way.
  void WritePixelData(std::ostream& out) const;
  void ReadPixelData(std::istream& in);

 protected:
  void StoreNewSize(int& width, int& height, int newWidth, int newHeight) override;
  virtual void HandleChanged();

 private:
  struct FreeDeleter {
    void operator()(TColor32* p) const { std::free(p); }
  };
  std::unique_ptr<TColor32[], FreeDeleter> FBits;
  TRect FClipRect;
  TFixedRect FFixedClipRect;
  bool FClipping = false;
  TDrawMode FDrawMode = dmOpaque;
  TCombineMode FCombineMode = cmBlend;
  uint32_t FMasterAlpha = 255;
  TStretchFilter FStretchFilter = sfNearest;

  void ResetClipRect();
};
