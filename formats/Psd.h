// Photoshop pictures (.psd, .pdd): the merged image of bitmap, greyscale,
// indexed, duotone, RGB, CMYK and Lab files of 1, 8 or 16 bits per sample,
// raw or PackBits.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Bitmap24.h"

// Decodes the merged image of a Photoshop file held in memory. Duotone
// pictures show as grey; of 16-bit samples the high byte is kept; alpha and
// spot channels are not used. Raises EInvalidGraphic "Not a valid psd file."
// for a wrong signature and for modes, depths or channel counts it cannot
// show, EPictureError "Stream read error" for a file that ends early.
void ReadPsd(const uint8_t* data, size_t size, Bitmap24& out);
void ReadPsdFile(const std::string& fileName, Bitmap24& out);
