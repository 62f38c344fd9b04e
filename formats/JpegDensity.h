// The resolution patch for a JPEG file already written.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Sets the JFIF density of fileName to dots per inch: the units byte becomes 1
// and the X and Y densities (clamped to 1..65535) are written big-endian in
// place. Only a JFIF APP0 header found within the first 50 bytes is touched;
// a file without one is left unchanged without a message. A file that cannot
// be opened or written raises EFileError.
void SetJPEGDensity(const std::string& fileName, int xDensity, int yDensity);
// The same patch on a JPEG file's bytes in memory, before they are written.
void SetJPEGDensity(std::vector<uint8_t>& jpeg, int xDensity, int yDensity);
