// JPEG pictures through libjpeg-turbo (the IJG interface): decoding to a
// 24-bit bitmap at 1/1, 1/2, 1/4 or 1/8 of full size, and encoding at a
// quality. Greyscale and CMYK/YCCK pictures come out as colour. Corrupt or
// truncated data raises EPictureError; the library never ends the program.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Bitmap24.h"
#include "platform/Files.h"

// Scale code: 0 full size, 1 one half, 2 one quarter, 3 one eighth.
void JpegDecode(const uint8_t* data, size_t size, int scale, Bitmap24& out);
// A file is read a block at a time as the decoder asks for it: one that is no
// JPEG is refused once its first block is read, whatever its size, and
// nothing after the end of the picture is read. Opening the file raises
// EFileError.
void JpegDecodeFile(const std::string& fileName, int scale, Bitmap24& out);
void JpegDecodeFile(const TFileReader& file, int scale, Bitmap24& out);

// Encodes with the given quality (1..100), baseline, 4:2:0, JFIF header.
std::vector<uint8_t> JpegEncode(const Bitmap24& bmp, int quality);
void JpegEncodeFile(const Bitmap24& bmp, int quality, const std::string& fileName);
