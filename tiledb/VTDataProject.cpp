// Projects: cutting a source picture into a plan, and the .vtp file that
// holds a plan and a mosaic.
#include <cstring>
#include <limits>

#include "platform/Files.h"
#include "platform/Rounding.h"
#include "tiledb/ProjectFile.h"
#include "tiledb/VTData.h"

namespace {

constexpr int64_t MaxOffset = std::numeric_limits<int32_t>::max();
const char* const PlanPath = "  ";  // plan records name no picture

}  // namespace

double TVTData::CellDetail(const uint8_t* samples, int32_t pairs) {
  if (pairs <= 0) return 0.0;
  int64_t sum[3] = {0, 0, 0};
  for (int32_t k = 0; k < pairs; ++k) {
    const uint8_t* a = samples + size_t(k) * 3;
    for (int j = 0; j < 3; ++j) sum[j] += a[j] > a[j + 3] ? a[j] - a[j + 3] : a[j + 3] - a[j];
  }
  return double(RoundDiv(sum[0], pairs) + RoundDiv(sum[1], pairs) + RoundDiv(sum[2], pairs));
}

void TVTData::CreatePlan(const std::string& fileName, const Bitmap24& source, const TSourceInfo& info,
                         int32_t rows, int32_t columns) {
  FBuildCount = 0;
  FXScale = XScale;
  FYScale = YScale;
  FXRes = XRes;
  FYRes = YRes;
  FSampleDepth = SampleDepth;
  FColorSystem = csRGB;

  // Every size is checked in 64 bits before anything is allocated or written.
  if (!TableIsOpen() || XRes <= 0 || YRes <= 0 || SampleSize != XRes * YRes * 3)
    throw EVitrane("Cannot create a project: no tile library with a sample grid is open");
  if (source.Empty()) throw EVitrane("Cannot create a project: the source picture is empty");
  if (columns < 1 || rows < 1 || columns > 65535 || rows > 65535)
    throw EOutOfResources(
        Format("Cannot create a project of %d x %d cells: columns and rows must lie in 1..65535",
               int(columns), int(rows)));
  const int64_t cells = int64_t(columns) * rows;
  const int64_t n = SampleSize;
  const int64_t pathBytes = int64_t(BaseName().size() < 65535 ? BaseName().size() : 65535) +
                            int64_t(info.SourcePath.size() < 65535 ? info.SourcePath.size() : 65535);
  const int64_t planSize = LibraryHeaderSize + (SectionTagSize + cells * (InfoRecordFixedSize + 2)) +
                           (SectionTagSize + cells * (n + DataRecordPrefix)) + SectionTagSize;
  const int64_t planOffset = ProjectShortFixed + pathBytes;
  const int64_t width = int64_t(columns) * XRes, height = int64_t(rows) * YRes;
  if (planSize > MaxOffset || planOffset + 4 + planSize > MaxOffset ||
      width > std::numeric_limits<int>::max() || height > std::numeric_limits<int>::max())
    throw EOutOfResources(
        Format("Cannot create a project of %d x %d cells: it is too large for the project file format",
               int(columns), int(rows)));

  // StretchBitmap only reads its source; a large one is spread over every
  // processor (the cells are the same for any count).
  Bitmap24 resampled;
  StretchBitmap(int(width), int(height), FilterFromByte(ResampleFilter), 0, source, resampled, 0);

  TMemoryStream infoSec, dataSec, thumbSec;
  infoSec.Bytes().reserve(size_t(SectionTagSize + cells * (InfoRecordFixedSize + 2)));
  dataSec.Bytes().reserve(size_t(SectionTagSize + cells * (n + DataRecordPrefix)));
  infoSec.WriteBuffer(InfoTag, SectionTagSize);
  dataSec.WriteBuffer(DataTag, SectionTagSize);
  thumbSec.WriteBuffer(ThumbTag, SectionTagSize);
  const size_t rowBytes = size_t(XRes) * 3;
  std::vector<uint8_t> cell(static_cast<size_t>(n));
  std::vector<uint8_t> infoBytes;
  TTileInfoRecord r;
  r.Path = PlanPath;
  r.Geometry = {uint16_t(XRes), uint16_t(YRes), 0, 0, uint16_t(XRes), uint16_t(YRes)};
  for (int32_t row = 0; row < rows; ++row) {
    for (int32_t col = 0; col < columns; ++col) {
      ++FBuildCount;
      // The cell's pixels, B, G, R rows from the top: what drawing the
      // resampled picture into an XRes x YRes bitmap and storing it as RGB gives.
      for (int y = 0; y < YRes; ++y)
        std::memcpy(cell.data() + size_t(y) * rowBytes,
                    resampled.ScanLine(row * YRes + y) + size_t(col) * rowBytes, rowBytes);
      const int64_t dataAt = dataSec.Position;
      dataSec.Write<uint8_t>(FlagUnused);
      dataSec.Write<int32_t>(int32_t(infoSec.Position));
      dataSec.WriteBytes(cell);
      r.SamplesOffset = int32_t(dataAt + DataRecordPrefix);
      r.CellRow = row;
      r.Detail = CellDetail(cell.data(), XRes * YRes - 1);
      infoBytes.clear();
      EncodeInfoRecord(r, infoBytes);
      infoSec.WriteBytes(infoBytes);
    }
  }

  // The header comes from the build parameters set above: RGB, and the
  // filter byte of this table's build filter, while the cells were resampled
  // with the library's own stored filter.
  TLibraryHeader h = BuildHeader();
  h.InfoOffset = LibraryHeaderSize;
  h.DataOffset = int32_t(h.InfoOffset + infoSec.Size());
  h.ThumbOffset = int32_t(h.DataOffset + dataSec.Size());
  const auto headerBytes = EncodeLibraryHeader(h);

  TProjectHeader ph;
  ph.Columns = uint16_t(columns);
  ph.Rows = uint16_t(rows);
  ph.LibraryPath = BaseName();
  ph.SourcePath = info.SourcePath;
  ph.SourceRect = info.SourceRect;
  ph.PlanOffset = int32_t(planOffset);
  ph.MosaicOffset = int32_t(planOffset + 4 + planSize);
  const std::vector<uint8_t> projectHeader = EncodeProjectHeader(ph, false);

  TReplacement out(fileName);
  TFileStream f = TFileStream::OnHandle(out.Handle(), fileName);
  f.WriteBytes(projectHeader);
  for (int copy = 0; copy < 2; ++copy) {
    f.Write<int32_t>(int32_t(planSize));
    f.WriteBuffer(headerBytes.data(), headerBytes.size());
    f.WriteBytes(infoSec.Bytes());
    f.WriteBytes(dataSec.Bytes());
    f.WriteBytes(thumbSec.Bytes());
  }
  f.Flush();
  f.Close();
  out.Commit();
}

void TVTData::CheckProjectPair(const TLoadedImage& plan, const TLoadedImage& mosaic) {
  const TLibraryHeader &p = plan.Header, &m = mosaic.Header;
  if (p.RecordCount != m.RecordCount || p.XRes != m.XRes || p.YRes != m.YRes || p.SampleSize != m.SampleSize)
    throw EWrongFormat(WrongProjectMessage);
}

bool TVTData::OpenProject(const std::string& fileName, TVTData& mosaic) {
  if (!FileExists(fileName)) return false;
  const TImageFile file(fileName);
  TLoadedImage plan = ParseImage(file, okPlan);
  TLoadedImage mos = mosaic.ParseImage(file, okMosaic);
  CheckProjectPair(plan, mos);
  CommitImage(std::move(plan), fileName, okPlan);
  mosaic.CommitImage(std::move(mos), fileName, okMosaic);
  return true;
}

void TVTData::SaveProject(const std::string& fileName, const TVTData& mosaic, const TVTData& library) const {
  auto imageSize = [](const TVTData& t) {
    return int64_t(LibraryHeaderSize) + t.InfoSection.Size() + t.DataSection.Size() + t.ThumbSection.Size();
  };
  if (Columns < 1 || Rows < 1 || Columns > 65535 || Rows > 65535)
    throw EFileError(Format("Cannot save the project \"%s\": it has no cells", fileName.c_str()));
  TProjectHeader ph;
  ph.Columns = uint16_t(Columns);
  ph.Rows = uint16_t(Rows);
  ph.LibraryPath = library.BaseName();
  ph.SourcePath = SourcePath;
  ph.SourceRect = SourceRect;
  ph.Extra1 = Extra1;
  ph.Extra2 = Extra2;
  const int64_t planSize = imageSize(*this), mosaicSize = imageSize(mosaic);
  const int64_t planOffset = int64_t(ProjectHeaderSize(ph.LibraryPath.size(), ph.SourcePath.size(), true));
  if (planSize > MaxOffset || mosaicSize > MaxOffset || planOffset + 4 + planSize > MaxOffset)
    throw EFileError(Format("Cannot save the project \"%s\": it is too large for the project file format",
                            fileName.c_str()));
  ph.PlanOffset = int32_t(planOffset);
  ph.MosaicOffset = int32_t(planOffset + 4 + planSize);

  TReplacement r(fileName);
  try {
    TFileStream f = TFileStream::OnHandle(r.Handle(), fileName);
    f.WriteBytes(EncodeProjectHeader(ph, true));
    f.Write<int32_t>(int32_t(planSize));
    WriteTableImage(f);
    f.Write<int32_t>(int32_t(mosaicSize));
    mosaic.WriteTableImage(f);
    f.Flush();
    f.Close();
  } catch (const std::exception& e) {
    // The temporary's own write errors name the project and the system's
    // reason already; anything else is told as what kept it from being written.
    const auto* file = dynamic_cast<const EFileError*>(&e);
    if (file && file->Code() != 0) throw;
    throw EFileError(Format("Unable to write to %s (%s)", fileName.c_str(), e.what()));
  }
  r.Commit();
}
