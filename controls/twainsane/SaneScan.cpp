#include "controls/twainsane/SaneScan.h"

#include <sane/saneopts.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// A picture larger than this is refused rather than allocated.
constexpr uint64_t kMaxPictureBytes = uint64_t(1) << 31;

std::string Text(SANE_String_Const s) {
  return s ? s : "";
}

// One sample of a scan line, scaled to 0..255: 1-bit samples are packed
// from the most significant bit, 16-bit ones are in host byte order.
int Sample(const uint8_t* line, size_t index, int depth) {
  switch (depth) {
    case 1:
      return (line[index >> 3] >> (7 - (index & 7))) & 1 ? 255 : 0;
    case 16: {
      uint16_t v;
      std::memcpy(&v, line + index * 2, 2);
      return v >> 8;
    }
    default:
      return line[index];
  }
}

void Put32(uint8_t* p, uint32_t v) {
  std::memcpy(p, &v, 4);
}
void Put16(uint8_t* p, uint16_t v) {
  std::memcpy(p, &v, 2);
}

// A 24-bit bottom-up DIB block of the top-down B,G,R rows.
TW_HANDLE MakeDib(const std::vector<uint8_t>& bgr, int width, int height) {
  const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
  const size_t image = stride * size_t(height);
  TW_HANDLE h = TwainAlloc(40 + image);
  auto* p = static_cast<uint8_t*>(TwainLock(h));
  if (!p) return nullptr;
  Put32(p, 40);
  Put32(p + 4, uint32_t(width));
  Put32(p + 8, uint32_t(height));
  Put16(p + 12, 1);
  Put16(p + 14, 24);
  Put32(p + 20, uint32_t(image));
  for (int y = 0; y < height; ++y)
    std::memcpy(p + 40 + stride * size_t(height - 1 - y), bgr.data() + size_t(y) * width * 3,
                size_t(width) * 3);
  return h;
}

}  // namespace

std::vector<TSaneDevice> SaneDevices() {
  std::vector<TSaneDevice> result;
  const SANE_Device** list = nullptr;
  if (sane_get_devices(&list, SANE_FALSE) != SANE_STATUS_GOOD || !list) return result;
  for (int i = 0; list[i]; ++i)
    result.push_back({Text(list[i]->name), Text(list[i]->vendor), Text(list[i]->model)});
  return result;
}

TSaneSource::TSaneSource(const std::string& name) : FName(name) {
  const SANE_Status st = sane_open(name.c_str(), &FHandle);
  if (st != SANE_STATUS_GOOD) {
    FHandle = nullptr;
    FError = "Cannot open " + name + ": " + sane_strstatus(st);
    return;
  }
  FModeOption = FindOption(SANE_NAME_SCAN_MODE);
  FResolutionOption = FindOption(SANE_NAME_SCAN_RESOLUTION);
  if (FModeOption >= 0) {
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(FHandle, FModeOption);
    if (d && d->constraint_type == SANE_CONSTRAINT_STRING_LIST && SANE_OPTION_IS_SETTABLE(d->cap)) {
      for (const SANE_String_Const* s = d->constraint.string_list; *s; ++s) {
        const std::string m = *s;
        if (m == SANE_VALUE_SCAN_MODE_COLOR) FColourMode = m;
        if (m == SANE_VALUE_SCAN_MODE_GRAY) FGreyMode = m;
      }
    }
  }
}

TSaneSource::~TSaneSource() {
  if (FHandle) sane_close(FHandle);
}

int TSaneSource::FindOption(const char* name) const {
  SANE_Int count = 0;
  if (sane_control_option(FHandle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD) return -1;
  for (int i = 1; i < count; ++i) {
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(FHandle, i);
    if (d && d->name && std::strcmp(d->name, name) == 0) return i;
  }
  return -1;
}

bool TSaneSource::IsColour() const {
  if (FModeOption < 0 || FColourMode.empty()) return false;
  const SANE_Option_Descriptor* d = sane_get_option_descriptor(FHandle, FModeOption);
  if (!d || d->size <= 0) return false;
  std::vector<char> value(size_t(d->size) + 1, 0);
  if (sane_control_option(FHandle, FModeOption, SANE_ACTION_GET_VALUE, value.data(), nullptr) !=
      SANE_STATUS_GOOD)
    return false;
  return FColourMode == value.data();
}

TSaneResolution TSaneSource::Resolution() const {
  TSaneResolution r;
  if (FResolutionOption < 0) return r;
  const SANE_Option_Descriptor* d = sane_get_option_descriptor(FHandle, FResolutionOption);
  if (!d || (d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED) || d->size < int(sizeof(SANE_Word)))
    return r;
  auto toDpi = [d](SANE_Word w) { return d->type == SANE_TYPE_FIXED ? int(SANE_UNFIX(w) + 0.5) : int(w); };
  if (d->constraint_type == SANE_CONSTRAINT_RANGE) {
    r.Min = toDpi(d->constraint.range->min);
    r.Max = toDpi(d->constraint.range->max);
  } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST) {
    const SANE_Word* w = d->constraint.word_list;
    for (SANE_Word i = 1; i <= w[0]; ++i) r.List.push_back(toDpi(w[i]));
    if (!r.List.empty()) {
      r.Min = r.List.front();
      r.Max = r.List.back();
    }
  }
  std::vector<SANE_Word> value(size_t(d->size) / sizeof(SANE_Word), 0);
  if (sane_control_option(FHandle, FResolutionOption, SANE_ACTION_GET_VALUE, value.data(), nullptr) ==
      SANE_STATUS_GOOD)
    r.Current = toDpi(value[0]);
  return r;
}

bool TSaneSource::Fail(const std::string& what, SANE_Status status) {
  FError = what + ": " + sane_strstatus(status);
  return false;
}

bool TSaneSource::SetMode(bool colour) {
  const std::string& mode = colour ? FColourMode : FGreyMode;
  if (FModeOption < 0 || mode.empty()) return true;  // the device has one mode only
  const SANE_Option_Descriptor* d = sane_get_option_descriptor(FHandle, FModeOption);
  if (!d || d->size <= 0) return true;
  std::vector<char> value(std::max(size_t(d->size), mode.size() + 1), 0);
  std::memcpy(value.data(), mode.c_str(), mode.size());
  const SANE_Status st =
      sane_control_option(FHandle, FModeOption, SANE_ACTION_SET_VALUE, value.data(), nullptr);
  return st == SANE_STATUS_GOOD || Fail("Cannot set the scan mode", st);
}

bool TSaneSource::SetResolution(int dpi) {
  if (FResolutionOption < 0) return true;
  const SANE_Option_Descriptor* d = sane_get_option_descriptor(FHandle, FResolutionOption);
  if (!d || !SANE_OPTION_IS_SETTABLE(d->cap) || d->size < int(sizeof(SANE_Word))) return true;
  std::vector<SANE_Word> value(size_t(d->size) / sizeof(SANE_Word), 0);
  value[0] = d->type == SANE_TYPE_FIXED ? SANE_FIX(double(dpi)) : SANE_Word(dpi);
  const SANE_Status st =
      sane_control_option(FHandle, FResolutionOption, SANE_ACTION_SET_VALUE, value.data(), nullptr);
  return st == SANE_STATUS_GOOD || Fail("Cannot set the resolution", st);
}

TW_HANDLE TSaneSource::Scan(bool colour, int dpi) {
  FError.clear();
  if (!FHandle) return nullptr;
  if (!SetMode(colour) || (dpi > 0 && !SetResolution(dpi))) return nullptr;
  // Ends the device's scan however this one ends.
  struct Cancel {
    SANE_Handle h;
    ~Cancel() { sane_cancel(h); }
  } cancel{FHandle};
  try {
    std::vector<uint8_t> bgr;  // top-down rows of width * 3
    int width = 0, height = 0;
    for (;;) {
      SANE_Status st = sane_start(FHandle);
      if (st != SANE_STATUS_GOOD) return Fail("Cannot start the scan", st), nullptr;
      SANE_Parameters p;
      st = sane_get_parameters(FHandle, &p);
      if (st != SANE_STATUS_GOOD) return Fail("Cannot read the scan parameters", st), nullptr;
      const int channels = p.format == SANE_FRAME_RGB ? 3 : 1;
      const uint64_t need =
          (uint64_t(p.pixels_per_line > 0 ? p.pixels_per_line : 0) * channels * p.depth + 7) / 8;
      if ((p.depth != 1 && p.depth != 8 && p.depth != 16) || p.pixels_per_line <= 0 ||
          p.bytes_per_line <= 0 || uint64_t(p.bytes_per_line) < need || p.format > SANE_FRAME_BLUE) {
        FError = "The scanner reports a picture format this program cannot read";
        return nullptr;
      }
      // The whole frame; a device that does not know its height says -1.
      const uint64_t bpl = uint64_t(p.bytes_per_line);
      std::vector<uint8_t> data;
      std::vector<uint8_t> buf(64 * 1024);
      for (;;) {
        SANE_Int len = 0;
        st = sane_read(FHandle, buf.data(), SANE_Int(buf.size()), &len);
        if (st == SANE_STATUS_EOF) break;
        if (st != SANE_STATUS_GOOD) return Fail("Scanning failed", st), nullptr;
        if (len < 0 || size_t(len) > buf.size()) len = 0;
        if (data.size() + size_t(len) > kMaxPictureBytes) {
          FError = "The scanned picture is too large";
          return nullptr;
        }
        data.insert(data.end(), buf.begin(), buf.begin() + len);
      }
      uint64_t rows = data.size() / bpl;
      if (p.lines >= 0 && rows > uint64_t(p.lines)) rows = uint64_t(p.lines);
      if (bgr.empty()) {
        width = p.pixels_per_line;
        height = int(rows);
        if (width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) * 3 > kMaxPictureBytes) {
          FError = height <= 0 ? "The scanner delivered no picture" : "The scanned picture is too large";
          return nullptr;
        }
        bgr.assign(size_t(width) * size_t(height) * 3, 0);
      }
      // Later frames of a three-pass scan fill their channel of the first's picture.
      const int w = std::min(width, p.pixels_per_line);
      const int h = int(std::min<uint64_t>(uint64_t(height), rows));
      for (int y = 0; y < h; ++y) {
        const uint8_t* line = data.data() + size_t(y) * bpl;
        uint8_t* out = bgr.data() + size_t(y) * width * 3;
        for (int x = 0; x < w; ++x, out += 3) {
          switch (p.format) {
            case SANE_FRAME_GRAY: {
              int v = Sample(line, size_t(x), p.depth);
              if (p.depth == 1) v = 255 - v;  // line-art: a set bit is black
              out[0] = out[1] = out[2] = uint8_t(v);
              break;
            }
            case SANE_FRAME_RGB:
              out[2] = uint8_t(Sample(line, size_t(x) * 3, p.depth));
              out[1] = uint8_t(Sample(line, size_t(x) * 3 + 1, p.depth));
              out[0] = uint8_t(Sample(line, size_t(x) * 3 + 2, p.depth));
              break;
            default:  // one colour of a three-pass scan
              out[SANE_FRAME_BLUE - p.format] = uint8_t(Sample(line, size_t(x), p.depth));
              break;
          }
        }
      }
      if (p.last_frame) break;
    }
    TW_HANDLE dib = MakeDib(bgr, width, height);
    if (!dib) FError = "Not enough memory for the scanned picture";
    return dib;
  } catch (const std::bad_alloc&) {
    FError = "Not enough memory for the scanned picture";
    return nullptr;
  }
}
