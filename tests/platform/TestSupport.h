// Helpers shared by the platform suites: a scratch folder per test program
// and whole-file byte access.
#pragma once
#include "common/ScratchDir.h"
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using TestDir = ScratchDir;

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
