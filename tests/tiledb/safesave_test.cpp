// The library and project writers against a link planted where their new
// version goes, a full disk under the target and a full temporary folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "NewLibraryParameters.h"
#include "TestTables.h"
#include "common/SaveTraps.h"
#include "platform/Jpeg.h"
#include "platform/WorkFiles.h"
#include "tiledb/VTData.h"

using namespace vttest;
using savetraps::FileErrorOf;
using savetraps::Leftovers;

namespace {

// A folder of three solid pictures and a table set up to index it.
struct Pictures {
  TempDir Dir;
  std::string Root = Dir / "pics/";
  TVTData Build;
  Pictures() {
    std::filesystem::create_directories(Root);
    const TColor colours[] = {RGB(200, 30, 30), RGB(30, 200, 30), RGB(30, 30, 200)};
    for (int i = 0; i < 3; ++i) {
      Bitmap24 b(40, 30);
      b.Fill(colours[i]);
      JpegEncodeFile(b, 90, Root + "p" + std::to_string(i) + ".jpg");
    }
    SetNewLibraryParameters(Build, Root);
    Build.FThreads = 1;
  }
};

Bitmap24 Source() {
  Bitmap24 b(24, 18);
  b.Fill(RGB(90, 60, 30));
  return b;
}

TEST(SafeSave, PlantedLinksAreNeverFollowedByTheLibraryAndProjectWriters) {
  Pictures p;
  savetraps::PlantedLinks links(p.Dir / "victim", "someone's other file");
  const std::string lib = p.Dir / "lib.vt2", project = p.Dir / "p.vtp";

  links.Plant(lib);
  p.Build.CreateBase(lib);
  links.ExpectUntouched();
  TVTData t;
  ASSERT_TRUE(t.OpenFile(lib, okLibrary));
  EXPECT_EQ(t.RecordCount, 3);
  const auto built = Bytes(lib);
  links.Plant(lib);
  t.Modified = 1;
  t.Save();
  EXPECT_EQ(t.Modified, 0);
  EXPECT_EQ(Bytes(lib), built);
  links.ExpectUntouched();

  links.Plant(project);
  t.CreatePlan(project, Source(), {"/src.jpg", TRect(0, 0, 24, 18)}, 3, 4);
  links.ExpectUntouched();
  TVTData plan, mosaic;
  ASSERT_TRUE(plan.OpenProject(project, mosaic));
  plan.Extra1 = 5;
  links.Plant(project);
  plan.SaveProject(project, mosaic, t);
  links.ExpectUntouched();
  TVTData plan2, mosaic2;
  ASSERT_TRUE(plan2.OpenProject(project, mosaic2));
  EXPECT_EQ(plan2.Extra1, 5);
  EXPECT_EQ(plan2.RecordCount, 12);
  EXPECT_TRUE(Leftovers(p.Dir.Path()).empty());
}

// Writes to the work files in the temporary folder fail after their tags.
bool NoRoomAfterTheTags(int fd, const void* data, size_t size, int64_t offset) {
  long pid = 0;
  if (offset > 0 && IsWorkFileName(savetraps::HandleName(fd), "vt", pid)) {
    errno = ENOSPC;
    return false;
  }
  return savetraps::PlainWriteAt(fd, data, size, offset);
}

TEST(SafeSave, AFullDiskGivesTheSystemsReason) {
  Pictures p;
  savetraps::HooksReset reset;
  const std::string lib = p.Dir / "lib.vt2", project = p.Dir / "p.vtp";
  WriteFileReplacing(lib, {'o', 'l', 'd'});

  SetFileWriteHooks({savetraps::NoRoomForSaves, nullptr});
  EXPECT_EQ(FileErrorOf([&] { p.Build.CreateBase(lib); }),
            "Cannot create file \"" + lib + "\". The library was not written (No space left on device)");
  SetFileWriteHooks({savetraps::NoRoomAnywhere, nullptr});
  EXPECT_EQ(FileErrorOf([&] { p.Build.CreateBase(lib); }),
            "Cannot create the temporary files of the library build (No space left on device)");
  SetFileWriteHooks({NoRoomAfterTheTags, nullptr});
  EXPECT_EQ(FileErrorOf([&] { p.Build.CreateBase(lib); }), "Stream write error (No space left on device)");
  EXPECT_EQ(Bytes(lib), (std::vector<uint8_t>{'o', 'l', 'd'}));

  SetFileWriteHooks({});
  p.Build.CreateBase(lib);
  TVTData t;
  ASSERT_TRUE(t.OpenFile(lib, okLibrary));
  t.CreatePlan(project, Source(), {"/src.jpg", TRect(0, 0, 24, 18)}, 3, 4);
  const auto before = Bytes(project);
  TVTData plan, mosaic;
  ASSERT_TRUE(plan.OpenProject(project, mosaic));
  SetFileWriteHooks({savetraps::NoRoomForSaves, nullptr});
  EXPECT_EQ(FileErrorOf([&] { plan.SaveProject(project, mosaic, t); }),
            "Unable to write to " + project + " (No space left on device)");
  EXPECT_EQ(FileErrorOf([&] { t.CreatePlan(project, Source(), {"", TRect(0, 0, 24, 18)}, 3, 4); }),
            "Unable to write to " + project + " (No space left on device)");
  EXPECT_EQ(Bytes(project), before);
  EXPECT_TRUE(Leftovers(p.Dir.Path()).empty());
}

}  // namespace
