#include "platform/Jpeg.h"

// jpeglib.h needs FILE declared first.
#include <stdio.h>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "platform/Files.h"

namespace {

// libjpeg's default error handler calls exit(). This one jumps back to the
// caller, which turns the message into an exception once no libjpeg frame is
// live (exceptions must not unwind through the C library).
struct ErrorMgr {
  jpeg_error_mgr pub;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  bool sawEof;  // the data ended before the end-of-image marker
};

void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorMgr*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  longjmp(err->jump, 1);
}

// Warnings about the picture data (data running out inside a scan, bad
// codes, lost sync) are treated as errors: a truncated or corrupt picture
// must not pass as a good one with grey rows. Warnings about the wrapping
// (stray bytes between markers, unknown versions, a damaged colour profile, a
// file that ends after its last scan without the end-of-image marker) leave
// the pixels intact and are let through. Data cut inside a scan also raises
// JWRN_HIT_MARKER, which stays fatal; a cut between the scans of a
// progressive file is caught after the scans are read.
void EmitMessage(j_common_ptr cinfo, int msgLevel) {
  if (msgLevel >= 0) return;
  switch (cinfo->err->msg_code) {
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_JFIF_MAJOR:
    case JWRN_ADOBE_XFORM:
    case JWRN_BOGUS_ICC:
    case JWRN_TOO_MUCH_DATA:
      return;
    case JWRN_JPEG_EOF:
      reinterpret_cast<ErrorMgr*>(cinfo->err)->sawEof = true;
      return;
    default:
      ErrorExit(cinfo);
  }
}

// Progressive pictures keep every coefficient in memory; a damaged header can
// ask for far more than any real picture. Beyond this libjpeg fails cleanly
// instead of allocating.
constexpr long kMaxDecoderMemory = 2L * 1024 * 1024 * 1024;
// Even a uniform picture needs some compressed data per block; a header that
// claims many more pixels than its data could hold is refused before the
// picture is allocated.
constexpr uint64_t kMinPlausiblePixels = uint64_t(1) << 26;
constexpr uint64_t kMaxPixelsPerByte = 4096;

void InstallErrors(ErrorMgr& err, jpeg_common_struct* c) {
  c->err = jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.emit_message = EmitMessage;
  err.message[0] = 0;
  err.sawEof = false;
}

// Converts the decoder's output row to B,G,R.
void ConvertRow(const uint8_t* in, uint8_t* out, int width, J_COLOR_SPACE space, bool inverted) {
  if (space == JCS_CMYK) {
    for (int x = 0; x < width; ++x, in += 4, out += 3) {
      int c = in[0], m = in[1], y = in[2], k = in[3];
      if (!inverted) {
        c = 255 - c;
        m = 255 - m;
        y = 255 - y;
        k = 255 - k;
      }
      out[0] = uint8_t((y * k + 127) / 255);
      out[1] = uint8_t((m * k + 127) / 255);
      out[2] = uint8_t((c * k + 127) / 255);
    }
  }
}

// Feeds the decoder from a file a block at a time, so that only what the
// decoder asks for is read: a file that is no JPEG is refused once its first
// block is in, and segments it skips are never read.
struct FileSource {
  jpeg_source_mgr pub;
  const TFileReader* file;
  uint64_t offset;
  uint8_t* buffer;  // owned by the caller
  size_t capacity;
  bool failed;
};

boolean FillFromFile(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<FileSource*>(cinfo->src);
  size_t n = 0;
  try {
    n = src->file->ReadAt(src->offset, src->buffer, src->capacity);
  } catch (const std::exception&) {
    src->failed = true;  // no exception may cross the library's frames
  }
  if (src->failed) ERREXIT(cinfo, JERR_FILE_READ);
  src->offset += n;
  if (n == 0) {
    // As the library's own sources do at the end of the data: a warning and
    // an end-of-image marker, so a cut file is judged as one held in memory.
    WARNMS(cinfo, JWRN_JPEG_EOF);
    src->buffer[0] = 0xFF;
    src->buffer[1] = JPEG_EOI;
    n = 2;
  }
  src->pub.next_input_byte = src->buffer;
  src->pub.bytes_in_buffer = n;
  return TRUE;
}

void SkipInFile(j_decompress_ptr cinfo, long count) {
  auto* src = reinterpret_cast<FileSource*>(cinfo->src);
  if (count <= 0) return;
  if (size_t(count) <= src->pub.bytes_in_buffer) {
    src->pub.next_input_byte += count;
    src->pub.bytes_in_buffer -= size_t(count);
    return;
  }
  // What lies beyond the block is passed over without being read.
  src->offset += uint64_t(count) - src->pub.bytes_in_buffer;
  src->pub.bytes_in_buffer = 0;
}

void NoOp(j_decompress_ptr) {}

struct DecodeState {
  jpeg_decompress_struct cinfo;
  ErrorMgr err;
  bool created = false;
  FileSource* file = nullptr;  // else the data is in memory
};

// The part that runs under libjpeg: only plain data and pre-sized buffers here.
// Returns false with err.message set on failure.
bool DecodeCore(DecodeState& st, const uint8_t* data, uint64_t size, int scale) {
  jpeg_decompress_struct& cinfo = st.cinfo;
  if (setjmp(st.err.jump)) return false;
  jpeg_create_decompress(&cinfo);
  st.created = true;
  cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
  if (st.file != nullptr) {
    jpeg_source_mgr& src = st.file->pub;
    src.init_source = NoOp;
    src.fill_input_buffer = FillFromFile;
    src.skip_input_data = SkipInFile;
    src.resync_to_restart = jpeg_resync_to_restart;
    src.term_source = NoOp;
    src.bytes_in_buffer = 0;
    src.next_input_byte = nullptr;
    cinfo.src = &src;
  } else {
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  }
  jpeg_read_header(&cinfo, TRUE);
  const uint64_t pixels = uint64_t(cinfo.image_width) * cinfo.image_height;
  if (pixels > kMinPlausiblePixels && pixels / kMaxPixelsPerByte > size) {
    std::snprintf(st.err.message, sizeof st.err.message,
                  "a %u x %u picture cannot be held in %llu bytes; the file is damaged", cinfo.image_width,
                  cinfo.image_height, static_cast<unsigned long long>(size));
    return false;
  }
  cinfo.scale_num = 1;
  cinfo.scale_denom = 1u << scale;
  cinfo.dct_method = JDCT_ISLOW;
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  jpeg_calc_output_dimensions(&cinfo);
  if (!PictureSizeAllowed(cinfo.output_width, cinfo.output_height)) {
    std::snprintf(st.err.message, sizeof st.err.message, "JPEG picture has invalid size %ux%u",
                  cinfo.output_width, cinfo.output_height);
    return false;
  }
  return true;
}

bool AllCoefficientsRefined(const jpeg_decompress_struct& cinfo) {
  if (cinfo.coef_bits == nullptr) return false;
  for (int c = 0; c < cinfo.num_components; ++c)
    for (int k = 0; k < DCTSIZE2; ++k)
      if (cinfo.coef_bits[c][k] != 0) return false;
  return true;
}

bool DecodeRows(DecodeState& st, Bitmap24& out, std::vector<uint8_t>& rowBuf) {
  jpeg_decompress_struct& cinfo = st.cinfo;
  if (setjmp(st.err.jump)) return false;
  jpeg_start_decompress(&cinfo);
  // A progressive file cut between two scans decodes without complaint, only
  // blurred; it is complete when every coefficient got its last bit.
  if (cinfo.progressive_mode && st.err.sawEof && !AllCoefficientsRefined(cinfo)) {
    std::snprintf(st.err.message, sizeof st.err.message, "Premature end of JPEG file");
    return false;
  }
  const bool cmyk = cinfo.out_color_space == JCS_CMYK;
  const bool inverted = cinfo.saw_Adobe_marker;
  while (cinfo.output_scanline < cinfo.output_height) {
    const int y = int(cinfo.output_scanline);
    JSAMPROW row = cmyk ? rowBuf.data() : out.ScanLine(y);
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) {
      std::snprintf(st.err.message, sizeof st.err.message, "JPEG data ended early");
      return false;
    }
    if (cmyk) ConvertRow(rowBuf.data(), out.ScanLine(y), int(cinfo.output_width), JCS_CMYK, inverted);
  }
  jpeg_finish_decompress(&cinfo);
  return true;
}

}  // namespace

namespace {

// Decodes from memory (file null) or from a file of the given size.
void Decode(const uint8_t* data, uint64_t size, FileSource* file, int scale, Bitmap24& out) {
  if (scale < 0 || scale > 3) scale = 0;
  DecodeState st;
  std::memset(&st.cinfo, 0, sizeof st.cinfo);
  InstallErrors(st.err, reinterpret_cast<jpeg_common_struct*>(&st.cinfo));
  st.file = file;
  Bitmap24 result;
  std::vector<uint8_t> rowBuf;
  std::string failure;
  if (DecodeCore(st, data, size, scale)) {
    // Allocation may throw, so it happens here, outside the jump scope.
    try {
      result.SetSize(int(st.cinfo.output_width), int(st.cinfo.output_height));
      rowBuf.resize(size_t(st.cinfo.output_width) * 4);
    } catch (const std::exception& e) {
      failure = e.what();
    }
    if (failure.empty() && !DecodeRows(st, result, rowBuf)) failure = st.err.message;
  } else {
    failure = st.err.message;
  }
  if (st.created) jpeg_destroy_decompress(&st.cinfo);
  if (!failure.empty()) throw EPictureError("JPEG error: " + failure);
  out = std::move(result);
}

}  // namespace

void JpegDecode(const uint8_t* data, size_t size, int scale, Bitmap24& out) {
  if (data == nullptr || size < 4) throw EPictureError("JPEG error: not a JPEG file");
  Decode(data, size, nullptr, scale, out);
}

void JpegDecodeFile(const TFileReader& file, int scale, Bitmap24& out) {
  if (file.Size() < 4) throw EPictureError("JPEG error: not a JPEG file");
  std::vector<uint8_t> buffer(64 * 1024);
  FileSource src{};
  src.file = &file;
  src.buffer = buffer.data();
  src.capacity = buffer.size();
  Decode(nullptr, file.Size(), &src, scale, out);
}

void JpegDecodeFile(const std::string& fileName, int scale, Bitmap24& out) {
  const TFileReader file(fileName);
  JpegDecodeFile(file, scale, out);
}

namespace {
struct EncodeState {
  jpeg_compress_struct cinfo;
  ErrorMgr err;
  bool created = false;
  unsigned char* mem = nullptr;
  unsigned long memSize = 0;
};

bool EncodeCore(EncodeState& st, const Bitmap24& bmp, int quality) {
  jpeg_compress_struct& cinfo = st.cinfo;
  if (setjmp(st.err.jump)) return false;
  jpeg_create_compress(&cinfo);
  st.created = true;
  jpeg_mem_dest(&cinfo, &st.mem, &st.memSize);
  cinfo.image_width = JDIMENSION(bmp.Width());
  cinfo.image_height = JDIMENSION(bmp.Height());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  cinfo.dct_method = JDCT_ISLOW;
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(bmp.ScanLine(int(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  return true;
}
}  // namespace

std::vector<uint8_t> JpegEncode(const Bitmap24& bmp, int quality) {
  if (bmp.Empty()) throw EPictureError("JPEG error: cannot save an empty picture");
  if (bmp.Width() > 65500 || bmp.Height() > 65500)
    throw EPictureError(
        Format("JPEG error: a %d x %d picture is too large for JPEG", bmp.Width(), bmp.Height()));
  if (quality < 1) quality = 1;
  if (quality > 100) quality = 100;
  EncodeState st;
  std::memset(&st.cinfo, 0, sizeof st.cinfo);
  InstallErrors(st.err, reinterpret_cast<jpeg_common_struct*>(&st.cinfo));
  const bool ok = EncodeCore(st, bmp, quality);
  std::vector<uint8_t> result;
  std::string failure = ok ? std::string() : std::string(st.err.message);
  if (ok) result.assign(st.mem, st.mem + st.memSize);
  if (st.created) jpeg_destroy_compress(&st.cinfo);
  std::free(st.mem);
  if (!ok) throw EPictureError("JPEG error: " + failure);
  return result;
}

void JpegEncodeFile(const Bitmap24& bmp, int quality, const std::string& fileName) {
  WriteFileReplacing(fileName, JpegEncode(bmp, quality));
}
