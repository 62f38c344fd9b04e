// The TIFF reader: the first image of a TIFF file, uncompressed, LZW or
// PackBits strips, with or without horizontal prediction (per sample, for any
// number of 8 or 16-bit samples), of bilevel, greyscale, palette, RGB, RGBA,
// CMYK, YCbCr (subsampled by 1, 2 or 4 either way) and CIE L*a*b* images,
// interleaved or in separate planes, either byte order, either bit fill
// order, its directory's entries in any order (of a repeated tag the first
// entry counts). Rows fill the bitmap from the top in file order. Alpha and
// other extra samples are dropped, as drawing a 32-bit bitmap shows its
// colour bytes as they stand.
//
// Refuses, with EInvalidGraphic: a version other than 42 or a zero side
// ("Invalid TIFF file."), a compression other than none, LZW or PackBits
// ("TIFF: Unknown compression scheme"), sample layouts it cannot show (each
// with a message naming what is not supported), and files whose directory,
// arrays or strips reach past the file's end ("Stream read error"). Corrupt
// LZW data raises EPictureError "TIF LZW: invalid opcode.". Nothing is
// allocated from a header value before the data behind it has been found in
// the file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Bitmap24.h"

void ReadTIFF(const uint8_t* data, size_t size, Bitmap24& out);
// Raises EFileError when the file cannot be opened or read.
void ReadTIFFFile(const std::string& fileName, Bitmap24& out);
