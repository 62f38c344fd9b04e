#include "platform/Utils.h"

#include <cerrno>
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

// Reads a big-endian word; false at the end of the file.
bool ReadWordBE(std::FILE* f, int& value) {
  const int hi = std::fgetc(f);
  if (hi == EOF) return false;
  const int lo = std::fgetc(f);
  if (lo == EOF) return false;
  value = (hi << 8) | lo;
  return true;
}

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

void GetJPEGSize(const std::string& fileName, int& width, int& height) {
  FilePtr f(std::fopen(fileName.c_str(), "rb"));
  if (!f) {
    const int e = errno;
    throw EFileError(Format("Cannot open file \"%s\". %s", fileName.c_str(), std::strerror(e)));
  }
  std::FILE* fp = f.get();
  if (std::fgetc(fp) != 0xFF || std::fgetc(fp) != 0xD8) return;
  int prefix = std::fgetc(fp);
  while (prefix == 0xFF) {
    const int b = std::fgetc(fp);
    if (b == EOF) return;
    if (b == 0xFF) continue;  // fill byte
    if (b == 0xC0 || b == 0xC1) {
      // Segment length and sample precision, then height and width.
      if (std::fseek(fp, 3, SEEK_CUR) != 0) return;
      int h = 0, w = 0;
      if (!ReadWordBE(fp, h) || !ReadWordBE(fp, w)) return;
      height = h;
      width = w;
      return;
    }
    if (b == 0x01 || (b >= 0xD0 && b <= 0xD7)) continue;  // markers without a length
    int length = 0;
    // A length below 2 cannot hold itself; the walk could only go backwards.
    if (!ReadWordBE(fp, length) || length < 2) return;
    if (std::fseek(fp, length - 2, SEEK_CUR) != 0) return;
    prefix = std::fgetc(fp);
  }
}

int ChooseJPEGScale(const std::string& fileName, int wantedWidth, int wantedHeight, int& width, int& height) {
  int w = 0, h = 0;
  GetJPEGSize(fileName, w, h);
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
  const bool mirrorX = right < left, mirrorY = bottom < top;
  if (!mirrorX && !mirrorY)
    name = "";
  else if (mirrorX && !mirrorY)
    name = "H";
  else if (!mirrorX && mirrorY)
    name = "V";
  else
    name = "180";
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
  // integer part grouped by threes.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  std::string digits(buf);
  const size_t dot = digits.find('.');
  std::string intPart = digits.substr(0, dot), frac = digits.substr(dot);
  std::string sign;
  if (!intPart.empty() && intPart[0] == '-') {
    sign = "-";
    intPart.erase(0, 1);
  }
  std::string grouped;
  for (size_t k = 0; k < intPart.size(); ++k) {
    if (k > 0 && (intPart.size() - k) % 3 == 0) grouped += ',';
    grouped += intPart[k];
  }
  return sign + grouped + frac + kSuffix[i];
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
    read.Right = read.Left + bounds.Width();
    read.Bottom = read.Top + bounds.Height();
  }
  bounds = read;
  return true;
}

void SaveBoundsValue(const std::string& path, const std::string& section, const std::string& key,
                     const TRect& bounds) {
  try {
    TIniFile ini(path);
    ini.WriteString(section, key, FormatBoundsText(bounds));
  } catch (const EVitrane& e) {
    MessageDlg(e.what(), mtError, mbOK);
  }
}

bool LoadBoundsValue(const std::string& path, const std::string& section, const std::string& key,
                     bool fixedSize, TRect& bounds) {
  const TIniFile ini(path);
  return ApplyBoundsText(ini.ReadString(section, key, ""), fixedSize, bounds);
}
