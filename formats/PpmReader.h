// The portable map reader: the six kinds P1..P6 (bitmap, greymap and pixmap,
// each as text and raw). Header numbers are decimal, separated by white space,
// with comments from "#" to the end of a line; the numbers start on the line
// after the magic. Samples are taken as they are, not scaled by the maximum
// value, and raw samples are one byte each. A bitmap's 1 is black.
//
// Refuses, with EInvalidGraphic: a first character other than "P" ("Not a
// valid ppm file."), a kind other than 1..6, an empty or absurd size, and data
// that ends early ("PPM: Stream read error."); a kind that is no digit raises
// EConvertError "'%s' is not a valid integer value".
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Bitmap24.h"

void ReadPPM(const uint8_t* data, size_t size, Bitmap24& out);
// Raises EFileError when the file cannot be opened or read.
void ReadPPMFile(const std::string& fileName, Bitmap24& out);
