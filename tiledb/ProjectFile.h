// The project file (.vtp): a short header naming the library and the source
// picture, then two library images, the plan and the mosaic, each preceded by
// its int32 size. The short form (written when a project is created) ends
// after SourceRect; the long form (written by every save) adds a zero word,
// two kept values and 12 reserved bytes.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Types.h"

inline constexpr std::array<uint8_t, 8> ProjectMagic = {0x00, 0xFF, 0x20, 'V', 'T', 'P', '2', '1'};
inline constexpr int ProjectShortFixed = 40;  // header size without the two paths, short form
inline constexpr int ProjectLongFixed = 64;   // the same, long form

struct TProjectHeader {
  uint16_t Columns = 0, Rows = 0;
  int32_t PlanOffset = 0, MosaicOffset = 0;
  std::string LibraryPath, SourcePath;
  TRect SourceRect;
  bool LongForm = false;
  int32_t Extra1 = 0, Extra2 = 0;
};

bool HasProjectMagic(const uint8_t* p, size_t size);
// Encodes the header in its short or long form (paths cut at 65535 bytes).
// The offsets are written as given.
std::vector<uint8_t> EncodeProjectHeader(const TProjectHeader& h, bool longForm);
// Size of the encoded header for paths of these lengths.
size_t ProjectHeaderSize(size_t libraryPathLen, size_t sourcePathLen, bool longForm);
// Decodes the header of a whole project file; false when the magic is wrong
// or a field would run past the end. The form is told by the int32 after
// SourceRect: 0 means the long form.
bool DecodeProjectHeader(const uint8_t* p, size_t size, TProjectHeader& h);
