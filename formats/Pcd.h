// Kodak Photo-CD image packs: the 768 x 512 base image, turned upright by the
// pack's orientation.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Bitmap24.h"

// Decodes the base image of a Photo-CD pack held in memory: 768 x 512, or
// 512 x 768 for the portrait orientations 1 and 3. Raises EInvalidGraphic
// "PCD: wrong image format." without the "PCD_IPI" mark at 2048,
// EPictureError "Stream read error" for a pack that ends before its image.
void ReadPcd(const uint8_t* data, size_t size, Bitmap24& out);
void ReadPcdFile(const std::string& fileName, Bitmap24& out);
