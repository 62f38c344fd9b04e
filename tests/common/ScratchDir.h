// A fresh folder for one test's files under $VT_TEST_TMP (or the system's
// temporary folder), removed with everything in it when the object goes.
#pragma once
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

class ScratchDir {
 public:
  explicit ScratchDir(const std::string& prefix = "vt") {
    const char* root = std::getenv("VT_TEST_TMP");
    const std::filesystem::path base = root && *root ? root : std::filesystem::temp_directory_path();
    std::filesystem::create_directories(base);
    std::string pattern = (base / (prefix + "XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    FPath = pattern + "/";
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // Full name of a file in the folder.
  std::string File(const std::string& name) const { return FPath + name; }
  std::string operator/(const std::string& name) const { return FPath + name; }
  // The folder, with its trailing "/".
  const std::string& Path() const { return FPath; }

 private:
  std::string FPath;
};
