#include "imaging/Blend.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

struct TCpuFeatures {
  bool MMX = false, SSE = false, SSE2 = false, Now3D = false, ExtNow3D = false;
};

TCpuFeatures DetectFeatures() {
  TCpuFeatures f;
#if defined(__x86_64__) || defined(__i386__)
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return f;
  if (((a >> 8) & 0xF) < 5) return f;
  f.MMX = (d & 0x00800000) != 0;
  f.SSE = (d & 0x02000000) != 0;
  f.SSE2 = (d & 0x04000000) != 0;
  unsigned highest = __get_cpuid_max(0x80000000, nullptr);
  if (highest > 0x80000000 && __get_cpuid(0x80000001, &a, &b, &c, &d)) {
    f.Now3D = (d & 0x80000000) != 0;
    f.ExtNow3D = (d & 0x40000000) != 0;
  }
#endif
  return f;
}

const TCpuFeatures& Features() {
  static const TCpuFeatures f = DetectFeatures();
  return f;
}

// Every channel (w*F + (256-w)*B + 128) >> 8 for a weight w of 0..256, two
// channels per multiplication: red/blue and alpha/green in 16-bit lanes,
// where w*255 + (256-w)*255 + 128 never carries into the next lane.
inline TColor32 Lerp(TColor32 F, TColor32 B, uint32_t w) {
  const uint32_t iw = 256 - w;
  const uint32_t rb = (((F & 0x00FF00FF) * w + (B & 0x00FF00FF) * iw + 0x00800080) >> 8) & 0x00FF00FF;
  const uint32_t ag = (((F >> 8) & 0x00FF00FF) * w + ((B >> 8) & 0x00FF00FF) * iw + 0x00800080) & 0xFF00FF00;
  return ag | rb;
}

inline void BlendMemInline(TColor32 F, TColor32& B) {
  const uint32_t a = F >> 24;
  if (a == 0) return;
  if (a == 255) {
    B = F;
    return;
  }
  B = Lerp(F, B, a);
}

// w = product >> 8 when the product reaches 256, else B stays.
inline void BlendMemWeighted(TColor32 F, TColor32& B, uint32_t product) {
  if (product < 256) return;
  B = Lerp(F, B, product >> 8);
}

inline uint32_t Channel(TColor32 c, int shift) {
  return (c >> shift) & 0xFF;
}

template <typename Op>
inline TColor32 PerChannel(TColor32 X, TColor32 Y, Op op) {
  TColor32 r = 0;
  for (int s = 0; s < 32; s += 8) r |= (uint32_t(op(int(Channel(X, s)), int(Channel(Y, s)))) & 0xFF) << s;
  return r;
}

// The merge formula for a foreground alpha fa of 0..254 and a background
// alpha ba of 1..255 (so ra is never 0).
inline TColor32 MergeWith(TColor32 F, TColor32 B, int fa, int ba) {
  const int ra = (fa + ba - ba * fa / 255) & 0xFF;
  const int k = 65536 / ra;
  TColor32 r = TColor32(ra) << 24;
  for (int s = 0; s < 24; s += 8) {
    const int bc = (ba * int(Channel(B, s))) >> 8;
    const int v = (k * (bc + ((fa * (int(Channel(F, s)) - bc)) >> 8))) >> 8;
    r |= TColor32(v & 0xFF) << s;
  }
  return r;
}

}  // namespace

bool CpuHasMMX() {
  return Features().MMX;
}
bool CpuHasSSE() {
  return Features().SSE;
}
bool CpuHasSSE2() {
  return Features().SSE2;
}
bool CpuHas3DNow() {
  return Features().Now3D;
}
bool CpuHasExt3DNow() {
  return Features().ExtNow3D;
}

TColor32 BlendPixel(TColor32 F, TColor32 B) {
  return Lerp(F, B, F >> 24);
}

void BlendMem(TColor32 F, TColor32& B) {
  BlendMemInline(F, B);
}

void BlendRow(const TColor32* src, TColor32* dst, int count) {
  for (int i = 0; i < count; ++i) BlendMemInline(src[i], dst[i]);
}

TColor32 BlendPixelMaster(TColor32 F, TColor32 B, uint32_t M) {
  BlendMemWeighted(F, B, (M + 1) * (F >> 24));
  return B;
}

void BlendMemMaster(TColor32 F, TColor32& B, uint32_t M) {
  BlendMemWeighted(F, B, (M + 1) * (F >> 24));
}

void BlendRowMaster(const TColor32* src, TColor32* dst, int count, uint32_t M) {
  for (int i = 0; i < count; ++i) {
    const uint32_t a = src[i] >> 24;
    if (a != 0) BlendMemWeighted(src[i], dst[i], M * (a + 1));
  }
}

TColor32 CombinePixel(TColor32 X, TColor32 Y, uint32_t W) {
  if (W >= 255) return X;
  if (W == 0) return Y;
  return Lerp(X, Y, W);
}

TColor32 MergePixel(TColor32 F, TColor32 B) {
  const int fa = int(F >> 24);
  if (fa == 255) return F;
  if (fa == 0) return B;
  const int ba = int(B >> 24);
  if (ba == 0) return F;
  return MergeWith(F, B, fa, ba);
}

void MergeMem(TColor32 F, TColor32& B) {
  B = MergePixel(F, B);
}

void MergeRow(const TColor32* src, TColor32* dst, int count) {
  for (int i = 0; i < count; ++i) dst[i] = MergePixel(src[i], dst[i]);
}

TColor32 MergePixelMaster(TColor32 F, TColor32 B, uint32_t M) {
  int fa = int(F >> 24);
  if (fa == 255 && M == 255) return F;
  if ((fa == 255 && M == 0) || fa == 0) return B;
  fa = int(M) * fa / 255;
  const int ba = int(B >> 24);
  if (fa == 255 || ba == 0) return (F & 0x00FFFFFF) | (TColor32(fa & 0xFF) << 24);
  return MergeWith(F, B, fa, ba);
}

void MergeMemMaster(TColor32 F, TColor32& B, uint32_t M) {
  B = MergePixelMaster(F, B, M);
}

void MergeRowMaster(const TColor32* src, TColor32* dst, int count, uint32_t M) {
  for (int i = 0; i < count; ++i) dst[i] = MergePixelMaster(src[i], dst[i], M);
}

TColor32 MergePixelAlpha(TColor32 F, TColor32 B, uint32_t alpha) {
  return MergePixel((F & 0x00FFFFFF) | ((alpha & 0xFF) << 24), B);
}

void MergeMemAlpha(TColor32 F, TColor32& B, uint32_t alpha) {
  B = MergePixelAlpha(F, B, alpha);
}

const TBlendMemMaster BlendMemMasterOf[2] = {&BlendMemMaster, &MergeMemMaster};
const TBlendRow BlendRowOf[2] = {&BlendRow, &MergeRow};
const TBlendRowMaster BlendRowMasterOf[2] = {&BlendRowMaster, &MergeRowMaster};

TColor32 AddChannels(TColor32 X, TColor32 Y) {
  return PerChannel(X, Y, [](int a, int b) { return std::min(a + b, 255); });
}
TColor32 SubtractChannels(TColor32 X, TColor32 Y) {
  return PerChannel(X, Y, [](int a, int b) { return std::max(a - b, 0); });
}
TColor32 DivideChannels(TColor32 X, TColor32 Y) {
  return PerChannel(X, Y, [](int a, int b) { return a == 0 ? 255 : std::min(b * 256 / a, 255); });
}
TColor32 MultiplyChannels(TColor32 X, TColor32 Y) {
  return PerChannel(X, Y, [](int a, int b) { return (a * b) >> 8; });
}
TColor32 MaxChannels(TColor32 X, TColor32 Y) {
  return PerChannel(X, Y, [](int a, int b) { return std::max(a, b); });
}
TColor32 MinChannels(TColor32 X, TColor32 Y) {
  return PerChannel(X, Y, [](int a, int b) { return std::min(a, b); });
}
TColor32 DifferenceChannels(TColor32 X, TColor32 Y) {
  return PerChannel(X, Y, [](int a, int b) { return a > b ? a - b : b - a; });
}
TColor32 ExclusionChannels(TColor32 X, TColor32 Y) {
  return PerChannel(X, Y, [](int a, int b) { return a + b - (a * b) / 128; });
}

void FillWords32(TColor32* dst, int count, TColor32 value) {
  if (count <= 0) return;
  std::fill(dst, dst + count, value);
}

void MoveWords32(const TColor32* src, TColor32* dst, int count) {
  if (count <= 0 || src == dst) return;
  std::memmove(dst, src, size_t(count) * sizeof(TColor32));
}
