#include "platform/Bmp.h"

#include "platform/Errors.h"

// Placeholder readers until the real ones land.
void ReadBMP(const uint8_t*, size_t, Bitmap24&) { throw EInvalidGraphic("Bitmap image is not valid"); }
void ReadBMPFile(const std::string&, Bitmap24&) { throw EInvalidGraphic("Bitmap image is not valid"); }
std::vector<uint8_t> EncodeBMP24(const Bitmap24&) { throw EInvalidGraphic("Bitmap image is not valid"); }
void WriteBMPFile(const Bitmap24&, const std::string&) { throw EInvalidGraphic("Bitmap image is not valid"); }
void ReadICO(const uint8_t*, size_t, Bitmap24&) { throw EInvalidGraphic("Icon image is not valid"); }
void ReadICOFile(const std::string&, Bitmap24&) { throw EInvalidGraphic("Icon image is not valid"); }
