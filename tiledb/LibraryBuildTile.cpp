#include "tiledb/LibraryBuildTile.h"

#include <cstring>
#include <exception>

#include "platform/Bmp.h"
#include "platform/Files.h"
#include "platform/Jpeg.h"
#include "platform/Picture.h"
#include "platform/Utils.h"

namespace {

// The record's geometry words are 16-bit.
constexpr int kMaxSide = 65535;
// JPEG files up to this size are read whole at once.
constexpr uint64_t kWholeFileBytes = uint64_t(64) << 20;

bool Inside(const TRect& r, int width, int height) {
  return r.Left >= 0 && r.Top >= 0 && r.Right <= width && r.Bottom <= height && r.Width() > 0 &&
         r.Height() > 0;
}

void CopyRect(const Bitmap24& src, const TRect& r, Bitmap24& dst) {
  dst.SetSize(r.Width(), r.Height());
  const size_t rowBytes = size_t(r.Width()) * 3;
  for (int y = 0; y < r.Height(); ++y)
    std::memcpy(dst.ScanLine(y), src.ScanLine(r.Top + y) + size_t(r.Left) * 3, rowBytes);
}

}  // namespace

void LoadTilePicture(const std::string& fileName, const TTileParams& p, Bitmap24& picture, int& width,
                     int& height) {
  const std::string ext = UpperCase(ExtractFileExt(fileName));
  int scale = 0;
  width = height = 0;
  if (p.FastJpeg && (ext == ".JPG" || ext == ".JPEG")) {
    const TFileReader file(fileName);
    uint8_t soi[2] = {0, 0};
    const bool jpeg = file.ReadAt(0, soi, 2) == 2 && soi[0] == 0xFF && soi[1] == 0xD8;
    if (jpeg && file.Size() <= kWholeFileBytes) {
      // One read serves the header walk and the decoder, into a buffer each
      // thread keeps for its next picture.
      thread_local std::vector<uint8_t> data;
      data.resize(size_t(file.Size()));
      data.resize(file.ReadAt(0, data.data(), data.size()));
      scale = ChooseJPEGScale(data.data(), data.size(), p.ThumbW, p.ThumbH, width, height);
      JpegDecode(data.data(), data.size(), scale, picture);
    } else {
      // The header walk reads the first markers only, and the decoder takes
      // the file a block at a time: a huge file that is no JPEG costs nothing.
      scale = ChooseJPEGScale(fileName, p.ThumbW, p.ThumbH, width, height);
      JpegDecodeFile(file, scale, picture);
    }
  } else if (ext == ".ICO") {
    ReadICOFile(fileName, picture);
  } else {
    LoadPicture(fileName, picture);
  }
  if (scale == 0) {
    width = picture.Width();
    height = picture.Height();
  }
}

bool MakeTile(const std::string& fileName, const TTileParams& p, TTileData& out) {
  try {
    Bitmap24 picture;
    LoadTilePicture(fileName, p, picture, out.PicWidth, out.PicHeight);
    if (out.PicWidth < 1 || out.PicHeight < 1 || out.PicWidth > kMaxSide || out.PicHeight > kMaxSide)
      return false;
    // The stored rectangle is in full-size pixels; the cut is made with the
    // same rules on the picture as decoded, which may be reduced.
    out.Crop = TileCropRect(out.PicWidth, out.PicHeight, p.XScale, p.YScale, p.CropAnchor, p.Margin);
    const TRect cut =
        TileCropRect(picture.Width(), picture.Height(), p.XScale, p.YScale, p.CropAnchor, p.Margin);
    if (!Inside(out.Crop, out.PicWidth, out.PicHeight) || !Inside(cut, picture.Width(), picture.Height()))
      return false;
    CopyRect(picture, cut, out.CutOut);
    picture.Clear();
    Bitmap24 thumb;
    StretchBitmap(p.ThumbW, p.ThumbH, p.Filter, 0, out.CutOut, thumb);
    out.Thumb = JpegEncode(thumb, p.ThumbQ);
    StretchBitmap(p.XRes, p.YRes, p.Filter, 0, thumb, out.Samples);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}
