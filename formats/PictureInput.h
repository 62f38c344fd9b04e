// What the raster readers share: one checked reader over a file held in
// memory, so a short file is an error and never a read past the data, the
// size limit every reader applies before it allocates, and palettes as the
// row converters take them.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/Files.h"

// 256 entries of blue, green, red; entries a file does not define stay black.
using TPalette = std::array<uint8_t, 768>;

// Entry k = (k, k, k) for every k.
TPalette GreyPalette();

// A cursor over the bytes of a picture: a block in memory, or a file read a
// window at a time, so that only what a reader asks for is ever read and a
// huge file that is no picture of the kind costs its header alone. Every read
// checks the bytes are there and raises EPictureError with the reader's
// message (the class library's "Stream read error" unless the reader names
// its own) when they are not. Over a block in memory a returned pointer stays
// valid as long as the block; over a file only until the next read.
class TPictureInput {
 public:
  TPictureInput(const uint8_t* data, size_t size, std::string shortMessage = "Stream read error")
      : FData(data), FSize(size), FShortMessage(std::move(shortMessage)) {}
  explicit TPictureInput(const TFileReader& file, std::string shortMessage = "Stream read error")
      : FFile(&file), FSize(size_t(file.Size())), FShortMessage(std::move(shortMessage)) {}

  size_t Size() const { return FSize; }
  size_t Position() const { return FPos; }
  size_t Remaining() const { return FSize - FPos; }
  bool Has(uint64_t offset, uint64_t count) const { return offset <= FSize && count <= FSize - offset; }

  // Moves to an absolute offset; one beyond the end of the data raises.
  void Seek(uint64_t offset);
  void Skip(uint64_t count);
  // The next count bytes; the cursor moves past them.
  const uint8_t* Read(uint64_t count);
  // count bytes at offset, the cursor left alone.
  const uint8_t* At(uint64_t offset, uint64_t count) const;

  uint8_t U8() { return *Read(1); }
  uint16_t U16LE();
  uint16_t U16BE();
  uint32_t U32LE();
  uint32_t U32BE();

  [[noreturn]] void Short() const;

 private:
  const uint8_t* FromFile(uint64_t offset, uint64_t count) const;

  const uint8_t* FData = nullptr;
  const TFileReader* FFile = nullptr;
  size_t FSize;
  size_t FPos = 0;
  std::string FShortMessage;
  // The part of the file read last: FWindow holds the bytes from FWindowStart.
  mutable std::vector<uint8_t> FWindow;
  mutable uint64_t FWindowStart = 0;
};

// The shared picture-size cap (PictureSizeAllowed): a larger or empty picture
// raises EInvalidGraphic "<format>: invalid image size".
void CheckPictureSize(int64_t width, int64_t height, const char* format);
