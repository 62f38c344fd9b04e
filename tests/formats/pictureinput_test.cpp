#include "formats/PictureInput.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reader_test_util.h"

namespace {

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> b(n);
  for (size_t i = 0; i < n; ++i) b[i] = uint8_t(i * 7 % 251);
  return b;
}

std::string ShortMessage(TPictureInput& in, uint64_t offset, uint64_t count) {
  try {
    in.At(offset, count);
  } catch (const EPictureError& e) {
    return e.what();
  }
  return "read";
}

// The same reads over the bytes in memory and over them in a file give the
// same bytes, across the file's read-ahead blocks, backwards and in large
// pieces.
TEST(PictureInput, AFileReadsAsTheSameBytesInMemory) {
  ScratchDir dir;
  const std::vector<uint8_t> bytes = Pattern(40000);
  WriteFileBytes(dir / "p.bin", bytes);
  const TFileReader file(dir / "p.bin");
  TPictureInput mem(bytes.data(), bytes.size(), "short"), disk(file, "short");
  EXPECT_EQ(disk.Size(), 40000u);
  for (TPictureInput* in : {&mem, &disk}) {
    SCOPED_TRACE(in == &mem ? "memory" : "file");
    for (size_t i = 0; i < 20000; ++i) ASSERT_EQ(in->U8(), bytes[i]) << i;
    EXPECT_EQ(in->Position(), 20000u);
    EXPECT_EQ(in->U16BE(), bytes[20000] << 8 | bytes[20001]);
    EXPECT_EQ(in->U32LE(), uint32_t(bytes[20002] | bytes[20003] << 8 | bytes[20004] << 16 | bytes[20005] << 24));
    const uint8_t* back = in->At(16380, 10);  // across the first block's end
    EXPECT_EQ(std::vector<uint8_t>(back, back + 10), std::vector<uint8_t>(&bytes[16380], &bytes[16390]));
    EXPECT_EQ(*in->At(5, 1), bytes[5]);
    in->Seek(1000);
    const uint8_t* big = in->Read(30000);
    EXPECT_TRUE(std::equal(big, big + 30000, bytes.begin() + 1000));
    EXPECT_EQ(in->Remaining(), 9000u);
    in->Skip(9000);
    EXPECT_EQ(ShortMessage(*in, 39999, 2), "short");
    EXPECT_EQ(ShortMessage(*in, 40001, 0), "short");
    EXPECT_EQ(ShortMessage(*in, 39999, 1), "read");
    EXPECT_THROW(in->U8(), EPictureError);
    EXPECT_THROW(in->Seek(40001), EPictureError);
  }
}

}  // namespace
