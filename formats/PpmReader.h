// The portable map reader: the six kinds P1..P6 (bitmap, greymap and pixmap,
// each as text and raw). Header numbers are decimal, separated by white space,
// with comments from "#" to the end of a line, on the magic's line or later
// ones. Samples scale from 0..maximum to 0..255 (rounded to nearest, halves to
// even); raw samples take two bytes, most significant first, when the maximum
// is above 255. In a text bitmap each 0 or 1 is a pixel, 1 black.
//
// Refuses, with EInvalidGraphic: a first character other than "P" ("Not a
// valid ppm file."), a kind other than 1..6, an empty or absurd size, a
// maximum of 0 or above 65535, and data that ends early ("PPM: Stream read
// error."); a kind that is no digit raises EConvertError "'%s' is not a valid
// integer value".
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Bitmap24.h"

void ReadPPM(const uint8_t* data, size_t size, Bitmap24& out);
// Reads the file only as far as the picture goes; raises EFileError when it
// cannot be opened or read.
void ReadPPMFile(const std::string& fileName, Bitmap24& out);
