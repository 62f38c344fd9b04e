// Wavefront RLA pictures (.rla, .rpf): 8-bit RGB or RGBA, each row's channels
// run-length encoded.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Bitmap24.h"

// Decodes an RLA file held in memory. The size is the active window's; when
// its bottom is below its top the first stored row is the picture's bottom
// row. The matte channel is not used, as drawing such a bitmap shows only its
// colour bytes. Raises EInvalidGraphic "RLA: image must be RGB(A)." for other
// channel counts, EPictureError for rows that lie outside the file.
void ReadRla(const uint8_t* data, size_t size, Bitmap24& out);
void ReadRlaFile(const std::string& fileName, Bitmap24& out);
