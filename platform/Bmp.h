// Windows bitmaps and icons, the class library's own readers: BMP of 1, 4, 8,
// 16, 24 and 32 bits, RLE4 and RLE8, bottom-up and top-down; icons by their
// largest image with the AND mask applied over black; 24-bit BMP writing.
// Every header field is checked before anything is allocated; a short or
// corrupt file raises EInvalidGraphic (EFileError for a file that cannot be read), never
// reads past its data.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Bitmap24.h"

void ReadBMP(const uint8_t* data, size_t size, Bitmap24& out);
void ReadBMPFile(const std::string& fileName, Bitmap24& out);
std::vector<uint8_t> EncodeBMP24(const Bitmap24& bmp);
void WriteBMPFile(const Bitmap24& bmp, const std::string& fileName);

// Icons: the largest image (the deepest colour among equal sizes). A 32-bit
// image with an alpha channel is blended over black by it; any other image
// shows black where its AND mask is set.
void ReadICO(const uint8_t* data, size_t size, Bitmap24& out);
void ReadICOFile(const std::string& fileName, Bitmap24& out);

// Icon images may be stored as PNG. The PNG reader, which lives above this
// layer, installs its decoder here at start-up; until then such images are
// passed over, and an icon holding nothing else raises EInvalidGraphic.
using PngIconDecoder = void (*)(const uint8_t* data, size_t size, Bitmap24& out);
void SetPngIconDecoder(PngIconDecoder decoder);
