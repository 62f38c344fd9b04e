#include "formats/PictureInput.h"

#include <algorithm>

#include "platform/Bitmap24.h"
#include "platform/Errors.h"

TPalette GreyPalette() {
  TPalette p{};
  for (int k = 0; k < 256; ++k) p[3 * k] = p[3 * k + 1] = p[3 * k + 2] = uint8_t(k);
  return p;
}

void TPictureInput::Short() const {
  throw EPictureError(FShortMessage);
}

void TPictureInput::Seek(uint64_t offset) {
  if (offset > FSize) Short();
  FPos = size_t(offset);
}

void TPictureInput::Skip(uint64_t count) {
  if (!Has(FPos, count)) Short();
  FPos += size_t(count);
}

const uint8_t* TPictureInput::Read(uint64_t count) {
  const uint8_t* p = At(FPos, count);
  FPos += size_t(count);
  return p;
}

const uint8_t* TPictureInput::At(uint64_t offset, uint64_t count) const {
  if (!Has(offset, count)) Short();
  if (FFile == nullptr) return FData + offset;
  if (offset >= FWindowStart && offset - FWindowStart <= FWindow.size() &&
      count <= FWindow.size() - (offset - FWindowStart))
    return FWindow.data() + (offset - FWindowStart);
  return FromFile(offset, count);
}

// Reading on from where the last window ended reads ahead a block, so that
// a reader taking a few bytes at a time costs one system call per block; a
// reader that jumps about (rows of separate planes, rows by a table) gets
// what it asks for, so no byte is read twice over. The bytes exist (the
// caller checked them against the size), so the window only grows for a
// reader that asks for a large piece at once.
const uint8_t* TPictureInput::FromFile(uint64_t offset, uint64_t count) const {
  const bool onwards = offset == FWindowStart + FWindow.size();
  const uint64_t ahead = onwards ? 16 * 1024 : 512;
  const size_t want = size_t(std::min<uint64_t>(std::max(count, ahead), FSize - offset));
  FWindow.resize(want);
  FWindowStart = offset;
  FWindow.resize(FFile->ReadAt(offset, FWindow.data(), want));
  if (FWindow.size() < count) Short();  // the file shrank while it was read
  return FWindow.data();
}

uint16_t TPictureInput::U16LE() {
  const uint8_t* p = Read(2);
  return uint16_t(p[0] | (p[1] << 8));
}

uint16_t TPictureInput::U16BE() {
  const uint8_t* p = Read(2);
  return uint16_t((p[0] << 8) | p[1]);
}

uint32_t TPictureInput::U32LE() {
  const uint8_t* p = Read(4);
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint32_t TPictureInput::U32BE() {
  const uint8_t* p = Read(4);
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

void CheckPictureSize(int64_t width, int64_t height, const char* format) {
  if (!PictureSizeAllowed(width, height))
    throw EInvalidGraphic(Format("%s: invalid image size", format));
}
