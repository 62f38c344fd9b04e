// CompuServe GIF pictures: the first image of the file, with its local or the
// global colour table, interlaced or not.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Bitmap24.h"

// Decodes the first image of a GIF file held in memory into a picture of the
// image's size (the logical screen's where the image gives 0). Its position,
// transparency and any later images are not used. A file that ends (";")
// before any image leaves out empty (0 x 0). A file with no colour table
// shows its indices as an even grey ramp over the code size's range. Raises
// EInvalidGraphic "Not a valid GIF file." for a wrong signature,
// EPictureError for data that ends early or a bad LZW code.
void ReadGif(const uint8_t* data, size_t size, Bitmap24& out);
// Reads the named file only as far as its first image's data.
void ReadGifFile(const std::string& fileName, Bitmap24& out);
