#include "platform/Utils.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/Errors.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "platform/Rounding.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// a/b >= c/d, exactly, for b and d not zero.
bool RatioAtLeast(int64_t a, int64_t b, int64_t c, int64_t d) {
  if (b < 0) {
    a = -a;
    b = -b;
  }
  if (d < 0) {
    c = -c;
    d = -d;
  }
  return a * d >= c * b;
}

// Steps 2 to 5 of the fitting: scale the picture to the box along the
// direction that limits it, centre it along the other.
void FitScaled(int64_t pw, int64_t ph, const TRect& box, TRect& result) {
  const int64_t bw = box.Width(), bh = box.Height();
  if (ph * pw <= 0) return;
  int64_t l, t, r, b;
  if (RatioAtLeast(bh, bw, ph, pw)) {
    l = 0;
    r = bw;
    const int64_t h = RoundDiv(bw * ph, pw);
    t = RoundDiv(bh - h, 2);
    b = t + h;
  } else {
    t = 0;
    b = bh;
    const int64_t w = RoundDiv(bh * pw, ph);
    l = RoundDiv(bw - w, 2);
    r = l + w;
  }
  result = TRect(int32_t(l + box.Left), int32_t(t + box.Top), int32_t(r + box.Left), int32_t(b + box.Top));
}

}  // namespace

namespace {

// The marker walk over any byte source: Get() gives the next byte or EOF,
// Skip(n) moves on n bytes (past the end, later reads give EOF).
template <class TSource>
void WalkJPEGSize(TSource& src, int& width, int& height) {
  auto word = [&src](int& value) {
    const int hi = src.Get();
    if (hi == EOF) return false;
    const int lo = src.Get();
    if (lo == EOF) return false;
    value = (hi << 8) | lo;
    return true;
  };
  if (src.Get() != 0xFF || src.Get() != 0xD8) return;
  int prefix = src.Get();
  while (prefix == 0xFF) {
    const int b = src.Get();
    if (b == EOF) return;
    if (b == 0xFF) continue;  // fill byte
    if (b == 0xC0 || b == 0xC1) {
      // Segment length and sample precision, then height and width.
      if (!src.Skip(3)) return;
      int h = 0, w = 0;
      if (!word(h) || !word(w)) return;
      height = h;
      width = w;
      return;
    }
    if (b == 0x01 || (b >= 0xD0 && b <= 0xD7)) continue;  // markers without a length
    int length = 0;
    // A length below 2 cannot hold itself; the walk could only go backwards.
    if (!word(length) || length < 2) return;
    if (!src.Skip(length - 2)) return;
    prefix = src.Get();
  }
}

struct TFileBytes {
  std::FILE* F;
  int Get() { return std::fgetc(F); }
  bool Skip(long n) { return std::fseek(F, n, SEEK_CUR) == 0; }
};

struct TMemoryBytes {
  const uint8_t* Data;
  size_t Size, Pos = 0;
  int Get() { return Pos < Size ? Data[Pos++] : EOF; }
  bool Skip(long n) {
    Pos += size_t(n);
    return true;
  }
};

int ScaleFor(int w, int h, int wantedWidth, int wantedHeight, int& width, int& height) {
  if (int64_t(w) * h == 0) {
    width = height = 0;
    return 0;
  }
  width = w;
  height = h;
  const int wanted = w > h ? wantedWidth : wantedHeight;
  if (wanted <= 0) return 0;
  const int r = (w > h ? w : h) / wanted;
  if (r < 2) return 0;
  if (r < 4) return 1;
  if (r < 8) return 2;
  return 3;
}

}  // namespace

void GetJPEGSize(const std::string& fileName, int& width, int& height) {
  FilePtr f(std::fopen(fileName.c_str(), "rb"));
  if (!f) {
    const int e = errno;
    throw EFileError(Format("Cannot open file \"%s\". %s", fileName.c_str(), std::strerror(e)));
  }
  TFileBytes src{f.get()};
  WalkJPEGSize(src, width, height);
}

void GetJPEGSize(const uint8_t* data, size_t size, int& width, int& height) {
  TMemoryBytes src{data, size};
  WalkJPEGSize(src, width, height);
}

int ChooseJPEGScale(const std::string& fileName, int wantedWidth, int wantedHeight, int& width, int& height) {
  int w = 0, h = 0;
  GetJPEGSize(fileName, w, h);
  return ScaleFor(w, h, wantedWidth, wantedHeight, width, height);
}

int ChooseJPEGScale(const uint8_t* data, size_t size, int wantedWidth, int wantedHeight, int& width,
                    int& height) {
  int w = 0, h = 0;
  GetJPEGSize(data, size, w, h);
  return ScaleFor(w, h, wantedWidth, wantedHeight, width, height);
}

void FitRect(const TRect& picture, const TRect& box, TRect& result) {
  if (box.Width() == 0) {
    result = picture;
    return;
  }
  FitScaled(picture.Width(), picture.Height(), box, result);
}

TRect FitRect(const TRect& picture, const TRect& box) {
  TRect result = picture;
  FitRect(picture, box, result);
  return result;
}

TRect FitRectTo(const TRect& picture, const TRect& box) {
  TRect result = picture;
  const int64_t bw = box.Width(), bh = box.Height(), pw = picture.Width(), ph = picture.Height();
  if (bw == 0) return result;
  if (bw >= pw && bh >= ph) {
    const int64_t t = RoundDiv(bh - ph, 2), l = RoundDiv(bw - pw, 2);
    return TRect(int32_t(l + box.Left), int32_t(t + box.Top), int32_t(l + pw + box.Left),
                 int32_t(t + ph + box.Top));
  }
  FitScaled(pw, ph, box, result);
  return result;
}

void OrientationName(int left, int top, int right, int bottom, std::string& name) {
  if (left == right || top == bottom) return;
  static const char* const kNames[4] = {"", "H", "V", "180"};
  const int kind = (right < left ? 1 : 0) + (bottom < top ? 2 : 0);
  name = std::string(kNames[kind]);
}

std::string FormatByteSize(int64_t count) {
  static const char* const kSuffix[] = {" Bytes", " KB", " MB", " GB"};
  double v = double(count);
  int i = 0;
  while (i < 3) {
    const double q = v / 1024;
    if (static_cast<int64_t>(q) == 0) break;
    v = q;
    ++i;
  }
  // Two decimals, halves to even as the rest of the program rounds, then the
  // integer part grouped by threes. to_chars, unlike printf, ignores the
  // locale that the GUI toolkit sets at start-up.
  char digits[64];
  const char* end = std::to_chars(digits, digits + sizeof digits, v, std::chars_format::fixed, 2).ptr;
  const char* p = digits;
  std::string text;
  if (*p == '-') text.push_back(*p++);
  const char* dot = std::find(p, end, '.');
  const ptrdiff_t intLen = dot - p;
  for (ptrdiff_t k = 0; k < intLen; ++k) {
    if (k > 0 && (intLen - k) % 3 == 0) text.push_back(',');
    text.push_back(p[k]);
  }
  text.append(dot, end);
  text.append(kSuffix[i]);
  return text;
}

std::string FormatBoundsText(const TRect& bounds) {
  return Format("%d,%d,%d,%d", bounds.Left, bounds.Top, bounds.Right, bounds.Bottom);
}

namespace {
// The class library's string-to-integer conversion: optional blanks before,
// a sign, decimal digits or "$"/"0x" hexadecimal, 32-bit range.
bool TryStrToInt(const std::string& s, int32_t& value) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return false;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return false;
    v = v * base + d;
    if (v > (int64_t(1) << 32)) return false;
  }
  if (neg) v = -v;
  if (base == 10 && (v > INT32_MAX || v < INT32_MIN)) return false;
  if (base == 16 && !neg && v > UINT32_MAX) return false;
  if (base == 16 && neg && v < INT32_MIN) return false;
  value = int32_t(uint32_t(v));
  return true;
}
}  // namespace

int32_t StrToInt(const std::string& text) {
  int32_t v = 0;
  if (!TryStrToInt(text, v)) throw EConvertError(Format("'%s' is not a valid integer value", text.c_str()));
  return v;
}

int32_t StrToIntDef(const std::string& text, int32_t def) {
  int32_t v = 0;
  return TryStrToInt(text, v) ? v : def;
}

bool ParseBoundsText(const std::string& text, TRect& bounds) {
  if (text.empty()) return false;
  std::string rest = text + ",";
  int32_t v[4];
  for (int n = 0; n < 4; ++n) {
    const size_t comma = rest.find(',');
    if (comma == std::string::npos || comma == 0) return false;
    v[n] = StrToInt(rest.substr(0, comma));
    rest.erase(0, comma + 1);
  }
  if (v[3] < v[1] || v[2] < v[0]) return false;
  bounds = TRect(v[0], v[1], v[2], v[3]);
  return true;
}

bool ApplyBoundsText(const std::string& text, bool fixedSize, TRect& bounds) {
  TRect read;
  try {
    if (!ParseBoundsText(text, read)) return false;
  } catch (const EConvertError&) {
    return false;
  }
  if (fixedSize) {
    // Near the ends of the 32-bit range the kept size would carry the window
    // past them: such a text is refused like any other that cannot be applied.
    const int64_t right = int64_t(read.Left) + (int64_t(bounds.Right) - bounds.Left);
    const int64_t bottom = int64_t(read.Top) + (int64_t(bounds.Bottom) - bounds.Top);
    if (right > INT32_MAX || bottom > INT32_MAX || right < read.Left || bottom < read.Top) return false;
    read.Right = int32_t(right);
    read.Bottom = int32_t(bottom);
  }
  bounds = read;
  return true;
}

bool FitBoundsToScreens(TRect& bounds, const std::vector<TRect>& screens, int32_t minWidth,
                        int32_t minHeight) {
  if (screens.empty()) return false;
  const int64_t left = bounds.Left, top = bounds.Top, right = bounds.Right, bottom = bounds.Bottom;
  size_t best = 0;
  double bestArea = 0;
  for (size_t i = 0; i < screens.size(); ++i) {
    const TRect& s = screens[i];
    const int64_t w = std::min<int64_t>(right, s.Right) - std::max<int64_t>(left, s.Left);
    const int64_t h = std::min<int64_t>(bottom, s.Bottom) - std::max<int64_t>(top, s.Top);
    // A product of two 32-bit spans may pass 2^63; the comparison needs no exactness.
    const double area = w > 0 && h > 0 ? double(w) * double(h) : 0;
    if (area > bestArea) {
      bestArea = area;
      best = i;
    }
  }
  const TRect& s = screens[best];
  const int64_t screenWidth = int64_t(s.Right) - s.Left, screenHeight = int64_t(s.Bottom) - s.Top;
  const int64_t minW = std::max<int64_t>(minWidth, 0), minH = std::max<int64_t>(minHeight, 0);
  if (screenWidth <= 0 || screenHeight <= 0 || minW > screenWidth || minH > screenHeight) return false;
  // The window is never smaller than its minimum, so that is the size to place.
  const int64_t w = std::min(std::max(right - left, minW), screenWidth);
  const int64_t h = std::min(std::max(bottom - top, minH), screenHeight);
  const int64_t x = std::clamp<int64_t>(left, s.Left, int64_t(s.Right) - w);
  const int64_t y = std::clamp<int64_t>(top, s.Top, int64_t(s.Bottom) - h);
  bounds = TRect(int32_t(x), int32_t(y), int32_t(x + w), int32_t(y + h));
  return true;
}

void SaveBoundsValue(const std::string& path, const std::string& section, const std::string& key,
                     const TRect& bounds) {
  try {
    TIniFile ini(path);
    ini.WriteString(section, key, FormatBoundsText(bounds));
  } catch (const EVitrane& e) {
    SayWriteFailure(path, e);
  }
}

bool LoadBoundsValue(const std::string& path, const std::string& section, const std::string& key,
                     bool fixedSize, TRect& bounds) {
  const TIniFile ini(path);
  return ApplyBoundsText(ini.ReadString(section, key, ""), fixedSize, bounds);
}
