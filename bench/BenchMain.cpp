// The benchmarks' start: the process is set up as the program's own start-up
// sets it, so that what is measured is what a user gets.
#include <benchmark/benchmark.h>

#include "platform/Bitmap24.h"

int main(int argc, char** argv) {
  KeepFreedPictureMemory();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
