// ZSoft PCX and PCC pictures and Word 5.x screen captures: 1-bit, 4-bit (four
// 1-bit planes), 8-bit and 24-bit (three 8-bit planes) images, run-length
// encoded or not.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Bitmap24.h"

// Decodes a PCX file held in memory. An 8-bit picture takes the 256-entry
// palette after the marker 12 at 769 bytes before the end, else a grey ramp.
// Raises EInvalidGraphic "Not a PCX or SCR file." or "PCX: wrong pixel
// format" for the header, EPictureError when the pixel data ends early.
void ReadPcx(const uint8_t* data, size_t size, Bitmap24& out);
void ReadPcxFile(const std::string& fileName, Bitmap24& out);
