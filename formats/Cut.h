// Dr. Halo CUT pictures: 8-bit run-length lines, coloured by the ".pal" file
// of the same name when there is one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Bitmap24.h"

// Decodes a CUT file held in memory. palette, when not null, is the content
// of its palette file (paletteSize bytes); without one the picture is grey.
// Raises EPictureError when the lines end early, and "CUT: invalid palette
// file" for a palette file too short for its entries.
void ReadCut(const uint8_t* data, size_t size, const uint8_t* palette, size_t paletteSize, Bitmap24& out);
// Reads fileName and the palette file beside it: the name with the extension
// ".pal" (or ".PAL", as a case-blind file system would find it).
void ReadCutFile(const std::string& fileName, Bitmap24& out);
