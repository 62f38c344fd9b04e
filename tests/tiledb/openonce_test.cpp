// A library is read once: opened again under the same name while neither the
// file nor the table has changed, the table only starts afresh. And a table
// makes no temporary file until it changes its thumbnails.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "TestTables.h"
#include "common/BytesRead.h"
#include "tiledb/VTData.h"

using namespace vttest;

namespace {

namespace fs = std::filesystem;

// Temporary files made by this process in the folder.
int OwnTemporaries(const std::string& dir) {
  int n = 0;
  const std::string mine = "vt" + std::to_string(::getpid()) + "-";
  for (const fs::directory_entry& e : fs::directory_iterator(dir))
    if (e.path().filename().string().rfind(mine, 0) == 0) ++n;
  return n;
}

class TTempFolder {
 public:
  explicit TTempFolder(const std::string& dir) {
    if (const char* old = std::getenv("TMPDIR")) FOld = old;
    ::setenv("TMPDIR", dir.c_str(), 1);
  }
  ~TTempFolder() {
    if (FOld.empty())
      ::unsetenv("TMPDIR");
    else
      ::setenv("TMPDIR", FOld.c_str(), 1);
  }

 private:
  std::string FOld;
};

TEST(OpenOnce, ALibraryOpenedAgainUnchangedIsNotReadAgain) {
  TempDir dir;
  MakeLibrary(dir / "a.vt2", {.Count = 200});
  MakeLibrary(dir / "b.vt2", {.Count = 7});
  const int64_t sectionBytes = 200 * (113 + 38 + 14);  // data and info records at least
  TVTData t;
  t.ShowThumbs = true;
  int64_t before = BytesRead();
  ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
  EXPECT_GT(BytesRead() - before, sectionBytes);
  t.SortByName();
  t.MoveTo(9);
  t.Modified = 1;

  before = BytesRead();
  ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
  EXPECT_LT(BytesRead() - before, 8192);  // the first record's thumbnail
  EXPECT_EQ(t.IndexKeySize, 0);
  EXPECT_EQ(t.VisibleCount, 200);
  EXPECT_EQ(t.CurRecNo, 1);
  EXPECT_EQ(t.CurPath, "/pics/pic0.jpg");
  EXPECT_EQ(t.Modified, 0);

  // A table changed in memory, even where opening does not mark it, is read again.
  const int32_t xscale = t.XScale;
  t.XScale = 3333;
  ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
  EXPECT_EQ(t.XScale, xscale);
  t.SetRecordFlag(3, 7);
  before = BytesRead();
  ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
  EXPECT_GT(BytesRead() - before, sectionBytes);
  EXPECT_EQ(t.RecordFlag(3), 0);

  // So is a file that another one has replaced.
  fs::rename(dir / "b.vt2", dir / "a.vt2");
  ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
  EXPECT_EQ(t.RecordCount, 7);
}

TEST(OpenOnce, ATableNobodyChangedMakesNoTemporaryFile) {
  TempDir dir, temp;
  TTempFolder in(temp.Path());
  MakeLibrary(dir / "a.vt2", {.Count = 12});
  Bitmap24 source(24, 12);
  source.Fill(RGB(90, 60, 30));
  {
    TVTData lib, plan, mosaic;
    lib.ShowThumbs = mosaic.ShowThumbs = true;
    ASSERT_TRUE(lib.OpenFile(dir / "a.vt2", okLibrary));
    for (int32_t n = 1; n <= lib.RecordCount; ++n) lib.MoveTo(n);
    lib.SortByName();
    lib.GetBaseInfo(*std::make_unique<TVTData::TBaseInfo>());
    ASSERT_TRUE(lib.WriteTableFile(dir / "copy.vt2"));
    lib.CreatePlan(dir / "p.vtp", source, {"", TRect(0, 0, 24, 12)}, 2, 4);
    ASSERT_TRUE(plan.OpenProject(dir / "p.vtp", mosaic));
    for (int32_t n = 1; n <= mosaic.RecordCount; ++n) mosaic.MoveTo(n);
    plan.SaveProject(dir / "q.vtp", mosaic, lib);
    EXPECT_EQ(OwnTemporaries(temp.Path()), 0);
    EXPECT_EQ(Bytes(dir / "copy.vt2"), Bytes(dir / "a.vt2"));

    // The first change makes the mosaic's file, holding what it read in place.
    lib.MoveTo(5);
    ASSERT_TRUE(mosaic.SetRecordFrom(3, lib, true));
    EXPECT_EQ(OwnTemporaries(temp.Path()), 1);
    mosaic.MoveTo(3);
    EXPECT_EQ(mosaic.CurThumbJpeg, lib.CurThumbJpeg);
  }
  EXPECT_EQ(OwnTemporaries(temp.Path()), 0);
}

}  // namespace
