// One entry per parser of files that reach the program from outside: every
// picture reader, the library and project files and the settings file. Each
// takes the bytes of one file; a refusal with the program's own error is a
// normal outcome, anything else (a crash, a sanitizer report, another
// exception) is a finding. The fuzz targets and the corpus replay test call
// the same entries.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using TFuzzEntry = void (*)(const uint8_t* data, size_t size);

struct TFuzzTarget {
  const char* Name;  // also the name of its seed folder, fuzz/corpus/<Name>
  TFuzzEntry Entry;
};

const std::vector<TFuzzTarget>& FuzzTargets();
// The entry of that name; null when there is none.
TFuzzEntry FindFuzzEntry(const std::string& name);
