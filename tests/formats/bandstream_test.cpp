#include "formats/BandStream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "band_test_util.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace {
const std::vector<uint8_t> kAbc = {'a', 'b', 'c'};

// The same sequence on any stream: grow, write inside and past the end, read back.
void Exercise(TBandStream& s) {
  EXPECT_EQ(s.Size(), 0);
  s.SetSize(6);
  s.WriteAt(1, kAbc.data(), 3);
  s.WriteAt(8, kAbc.data(), 2);  // past the end: a gap of zeros, then the bytes
  EXPECT_EQ(s.Size(), 10);
  uint8_t buf[16] = {};
  EXPECT_EQ(s.ReadAt(0, buf, sizeof buf), 10u);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + 10),
            std::vector<uint8_t>({0, 'a', 'b', 'c', 0, 0, 0, 0, 'a', 'b'}));
  EXPECT_EQ(s.ReadAt(10, buf, 4), 0u);
  s.SetSize(3);
  EXPECT_EQ(s.Size(), 3);
  s.SetSize(5);
  EXPECT_EQ(s.ReadAt(0, buf, 5), 5u);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + 5), std::vector<uint8_t>({0, 'a', 'b', 0, 0}));
}
}  // namespace

TEST(BandStream, FileAndMemoryBehaveAlike) {
  TScratchDir dir;
  TBandMemoryStream mem;
  Exercise(mem);
  {
    TBandFileStream file(dir / "s.bin", TFileMode::fmCreate);
    Exercise(file);
  }
  EXPECT_EQ(ReadWholeFile(dir / "s.bin"), mem.Bytes());
  EXPECT_THROW(mem.WriteAt(-1, kAbc.data(), 1), EFileError);
}

TEST(BandStream, CreateReplacesOpenKeeps) {
  TScratchDir dir;
  const std::string name = dir / "f.bin";
  WriteFileReplacing(name, kAbc);
  {
    TBandFileStream s(name, TFileMode::fmOpenReadWrite);
    EXPECT_EQ(s.Size(), 3);
    s.WriteAt(1, "X", 1);
    s.Close();
    EXPECT_THROW(s.WriteAt(0, "Y", 1), EFileError);
  }
  EXPECT_EQ(ReadWholeFile(name), std::vector<uint8_t>({'a', 'X', 'c'}));
  { TBandFileStream s(name, TFileMode::fmCreate); }
  EXPECT_EQ(FileSize(name), 0);
}

TEST(BandStream, MissingFilesRaiseClearErrors) {
  TScratchDir dir;
  try {
    TBandFileStream s(dir / "none.bin", TFileMode::fmOpenReadWrite);
    FAIL();
  } catch (const EFileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot open file \"" + (dir / "none.bin") + "\". No such file or directory");
  }
  try {
    TBandFileStream s(dir / "no/dir.bin", TFileMode::fmCreate);
    FAIL();
  } catch (const EFileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot create file \"" + (dir / "no/dir.bin") + "\". No such file or directory");
  }
}

TEST(BandStream, AFullDeviceReportsTheWriteFailure) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  TBandFileStream s("/dev/full", TFileMode::fmOpenReadWrite);
  EXPECT_THROW(s.WriteAt(0, kAbc.data(), 3), EFileError);
}
