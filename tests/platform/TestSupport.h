// Helpers shared by the platform suites: a scratch folder per test program
// and whole-file byte access.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// A fresh folder under $VT_TEST_TMP (or the system's temporary folder),
// removed with everything in it when the object goes.
class TestDir {
 public:
  explicit TestDir(const std::string& name) {
    const char* base = std::getenv("VT_TEST_TMP");
    std::filesystem::path root = base && *base ? base : std::filesystem::temp_directory_path().string();
    FPath = root / (name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(FPath);
    std::filesystem::create_directories(FPath);
  }
  ~TestDir() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
  }
  std::string File(const std::string& name) const { return (FPath / name).string(); }
  std::string Path() const { return FPath.string() + "/"; }

 private:
  std::filesystem::path FPath;
};

inline void WriteBytes(const std::string& fileName, const std::vector<uint8_t>& data) {
  std::ofstream f(fileName, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

inline void WriteText(const std::string& fileName, const std::string& text) {
  WriteBytes(fileName, std::vector<uint8_t>(text.begin(), text.end()));
}

inline std::string ReadText(const std::string& fileName) {
  std::ifstream f(fileName, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}
