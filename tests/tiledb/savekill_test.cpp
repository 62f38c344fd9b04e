// A project save killed at any moment leaves the old project or the complete
// new one, never a damaged file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "TestTables.h"
#include "tiledb/VTData.h"

using namespace vttest;

namespace {

TEST(SaveKill, AKilledSaveLeavesTheOldOrTheNewProject) {
  TempDir dir;
  const std::string libName = dir / "lib.vt2";
  MakeLibrary(libName, {});
  TVTData lib;
  ASSERT_TRUE(lib.OpenFile(libName, okLibrary));
  const int cols = 120, rows = 90;
  Bitmap24 source(cols * 6, rows * 6);
  source.Fill(RGB(40, 90, 160));
  const std::string name = dir / "p.vtp", newName = dir / "new.vtp";
  lib.CreatePlan(name, source, {"/src/p.jpg", TRect(0, 0, source.Width(), source.Height())}, rows, cols);

  // The new version differs from the old one in its header.
  TVTData plan, mosaic;
  ASSERT_TRUE(plan.OpenProject(name, mosaic));
  plan.Extra1 = 7;
  plan.SaveProject(newName, mosaic, lib);
  const auto oldBytes = Bytes(name), newBytes = Bytes(newName);
  ASSERT_NE(oldBytes, newBytes);

  std::mt19937 random(20261209);
  for (int attempt = 0; attempt < 6; ++attempt) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;) plan.SaveProject(name, mosaic, lib);
    }
    ::usleep(useconds_t(random() % 40000));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    const auto now = Bytes(name);
    EXPECT_TRUE(now == oldBytes || now == newBytes) << "attempt " << attempt << ": " << now.size() << " bytes";
  }
  // The next save finishes over whatever temporary the kill left behind.
  plan.SaveProject(name, mosaic, lib);
  EXPECT_EQ(Bytes(name), newBytes);
  EXPECT_FALSE(std::filesystem::exists(name + ".tmp"));
}

}  // namespace
