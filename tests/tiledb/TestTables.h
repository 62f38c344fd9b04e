// Small libraries and folders made by the tiledb tests themselves.
#pragma once
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

// A fresh folder under VT_TEST_TMP (or the system's temporary folder),
// removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir() {
    const char* root = getenv("VT_TEST_TMP");
    std::string base = root && *root ? root : std::filesystem::temp_directory_path().string();
    std::filesystem::create_directories(base);
    std::string tmpl = base + "/tiledbXXXXXX";
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    FPath = tmpl + "/";
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
  }
  std::string operator/(const std::string& name) const { return FPath + name; }
  const std::string& Path() const { return FPath; }

 private:
  std::string FPath;
};

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
