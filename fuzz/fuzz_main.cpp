// The libFuzzer target of one parser; VT_FUZZ_TARGET names its entry.
#include <cstdlib>

#include "fuzz/FuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const TFuzzEntry entry = FindFuzzEntry(VT_FUZZ_TARGET);
  if (entry == nullptr) std::abort();
  entry(data, size);
  return 0;
}
