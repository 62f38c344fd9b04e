#include "tiledb/VTData.h"

#include <gtest/gtest.h>

#include "TestTables.h"

using namespace vttest;

namespace {

TEST(VTDataOpen, ThreeRecordLibraryRoundTrips) {
  TempDir dir;
  MakeLibrary(dir / "a.vt2");
  TVTData t;
  ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
  EXPECT_EQ(t.RecordCount, 3);
  EXPECT_EQ(t.CurRecNo, 1);
  EXPECT_EQ(t.CurPath, "/pics/pic0.jpg");
  ASSERT_TRUE(t.WriteTableFile(dir / "b.vt2"));
  EXPECT_EQ(Bytes(dir / "a.vt2"), Bytes(dir / "b.vt2"));
}

}  // namespace
