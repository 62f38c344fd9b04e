// Bytes this process has read through the system so far (rchar of
// /proc/self/io), -1 where the system does not say.
#pragma once
#include <cstdint>
#include <fstream>
#include <string>

inline int64_t BytesRead() {
  std::ifstream io("/proc/self/io");
  for (std::string key; io >> key;) {
    int64_t value = 0;
    io >> value;
    if (key == "rchar:") return value;
  }
  return -1;
}
