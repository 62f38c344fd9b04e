// SGI images (.sgi, .rgb, .rgba, .bw): verbatim or run-length, 1 or 2 bytes
// per channel, grey (the first channel), RGB or RGBA.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Bitmap24.h"

// Decodes an SGI file held in memory; rows are stored bottom row first. Of a
// 2-byte sample the most significant byte is kept; an alpha channel is not
// used, as drawing such a bitmap shows only its colour bytes. Raises
// EInvalidGraphic "Not a valid sgi, bw or rgb(a) image." for a wrong magic
// and for header fields out of range, EPictureError for data that ends early.
void ReadSgi(const uint8_t* data, size_t size, Bitmap24& out);
void ReadSgiFile(const std::string& fileName, Bitmap24& out);
