// Every committed seed and past finding goes through its parser's fuzz entry
// again, under the sanitizers of the test build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "fuzz/FuzzEntries.h"

namespace fs = std::filesystem;

TEST(FuzzCorpus, EveryTargetReplaysItsSeedsAndEveryFolderNamesATarget) {
  std::set<std::string> names;
  for (const TFuzzTarget& t : FuzzTargets()) {
    names.insert(t.Name);
    const fs::path dir = fs::path(VT_FUZZ_CORPUS) / t.Name;
    ASSERT_TRUE(fs::is_directory(dir)) << dir;
    int seeds = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
      std::ifstream f(e.path(), std::ios::binary);
      const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), {});
      SCOPED_TRACE(e.path().string());
      t.Entry(bytes.data(), bytes.size());
      ++seeds;
    }
    EXPECT_GT(seeds, 0) << t.Name;
  }
  for (const fs::directory_entry& e : fs::directory_iterator(VT_FUZZ_CORPUS))
    EXPECT_EQ(names.count(e.path().filename().string()), 1u) << e.path();
  EXPECT_EQ(FindFuzzEntry("png"), FuzzTargets().front().Entry);
  EXPECT_EQ(FindFuzzEntry("none"), nullptr);
}
