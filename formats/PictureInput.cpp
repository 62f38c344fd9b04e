#include "formats/PictureInput.h"

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

const uint8_t* TPictureInput::Read(uint64_t count) {
  const uint8_t* p = At(FPos, count);
  FPos += size_t(count);
  return p;
}

const uint8_t* TPictureInput::At(uint64_t offset, uint64_t count) const {
  if (!Has(offset, count)) Short();
  return FData + offset;
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
