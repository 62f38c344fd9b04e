// Truevision Targa pictures: colour-mapped, true-colour and greyscale images,
// uncompressed (types 1, 2, 3) or run-length encoded (types 9, 10, 11), of 8,
// 15, 16, 24 and 32 bits per pixel, stored top or bottom row first and left
// or right column first.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Bitmap24.h"

// Decodes a Targa file held in memory. 15- and 16-bit pixels are 5-5-5 with
// each channel shifted up by 3; a 32-bit pixel shows its colour bytes and its
// alpha byte is not used, as drawing such a bitmap shows it. An 8-bit pixel
// of a file with a colour map takes map entry (value - first entry index).
// Image types other than the six above give a black picture of the stated
// size. Raises EInvalidGraphic for a header it cannot read, EPictureError
// "Targa: invalid image" for pixel data that ends early or a colour-mapped
// pixel outside the map.
void ReadTarga(const uint8_t* data, size_t size, Bitmap24& out);
void ReadTargaFile(const std::string& fileName, Bitmap24& out);
