// A project save killed at any moment leaves the old project or the complete
// new one, never a damaged file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <random>

#include "TestTables.h"
#include "platform/Files.h"
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

// The same for the ways a table now writes: a library saved over the file
// its thumbnails are still read from, and a project whose cells were copied
// and compacted saved over the file its tables were read from, the
// thumbnail section going across in one piece; killed at any moment, the
// file is the old one or the complete new one, and the tables go on reading
// the old one's thumbnails.
TEST(SaveKill, AKilledSaveOfTablesReadInPlaceLeavesTheOldOrTheNewFile) {
  TempDir dir;
  const std::string libName = dir / "lib.vt2";
  MakeLibrary(libName, {.Count = 400, .ColorSystem = csYCC, .ThumbW = 24, .ThumbH = 18});
  TVTData lib;
  lib.ShowThumbs = true;
  ASSERT_TRUE(lib.OpenFile(libName, okLibrary));
  const int cols = 80, rows = 60;
  Bitmap24 source(cols * 6, rows * 6);
  for (int y = 0; y < source.Height(); ++y)
    for (int x = 0; x < source.Width(); ++x)
      source.SetPixel(x, y, RGB(uint8_t(x), uint8_t(y), uint8_t(x ^ y)));
  const std::string name = dir / "p.vtp";
  lib.CreatePlan(name, source, {"/src/p.jpg", TRect(0, 0, source.Width(), source.Height())}, rows, cols);
  TVTData plan, mosaic;
  mosaic.ShowThumbs = true;
  ASSERT_TRUE(plan.OpenProject(name, mosaic));
  mosaic.CopyAllRecordsFrom(plan);
  mosaic.Compact();
  plan.SaveProject(name, mosaic, lib);
  ASSERT_TRUE(plan.OpenProject(name, mosaic));
  for (int32_t n = 1; n <= mosaic.RecordCount; n += 3) {
    lib.MoveTo(n % lib.RecordCount + 1);
    mosaic.SetRecordFrom(n, lib, true);
  }
  mosaic.Compact();
  lib.AddFlipped(TVTData::fkHorizontal);

  struct {
    std::string File;
    std::function<void()> Save;
  } saves[] = {{libName, [&] { lib.Save(); }}, {name, [&] { plan.SaveProject(name, mosaic, lib); }}};
  std::mt19937 random(20261210);
  for (auto& s : saves) {
    SCOPED_TRACE(s.File);
    const auto oldBytes = Bytes(s.File);
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
      s.Save();
      ::_exit(0);
    }
    ::waitpid(writer, nullptr, 0);
    const auto newBytes = Bytes(s.File);
    ASSERT_NE(oldBytes, newBytes);
    // Back to the old file, which the tables still read their thumbnails from.
    WriteNewFile(s.File, oldBytes);
    for (int attempt = 0; attempt < 6; ++attempt) {
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        for (;;) s.Save();
      }
      ::usleep(useconds_t(random() % 30000));
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
      const auto now = Bytes(s.File);
      EXPECT_TRUE(now == oldBytes || now == newBytes)
          << "attempt " << attempt << ": " << now.size() << " bytes";
      WriteNewFile(s.File, oldBytes);
    }
  }
  // What the tables show is untouched by all of it.
  lib.MoveTo(5);  // the tile record 4 took
  mosaic.MoveTo(4);
  EXPECT_TRUE(lib.CurThumbShown);
  EXPECT_EQ(mosaic.CurThumbJpeg, lib.CurThumbJpeg);
}

}  // namespace
