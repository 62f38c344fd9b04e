// Small libraries and folders made by the tiledb tests themselves.
#pragma once
#include "common/ScratchDir.h"
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "LibraryMaker.h"
#include "platform/Bitmap24.h"
#include "platform/Files.h"
#include "platform/Jpeg.h"
#include "tiledb/VTData.h"

namespace vttest {

using TempDir = ScratchDir;

inline int32_t I32(const std::vector<uint8_t>& b, size_t at) {
  return GetI32(b.data() + at);
}
inline uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
  return GetU16(b.data() + at);
}

inline std::vector<uint8_t> Bytes(const std::string& fileName) {
  return ReadWholeFile(fileName);
}

}  // namespace vttest
