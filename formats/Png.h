// The Portable Network Graphics reader: every colour type and bit depth of the
// format, Adam7 interlacing, palettes, tRNS transparency and gAMA correction,
// decoded with zlib's inflate straight into a 24-bit bitmap.
//
// What the picture shows is what drawing it onto a fresh (black) bitmap shows:
// partial alpha (grey + alpha, RGBA, palette alpha by index) is blended over
// black as (alpha * colour + 255) div 256, so a palette's transparent entries
// are black, and pixels of the one transparent colour of a greyscale or RGB
// picture with tRNS are black.
//
// Every failure raises one of the classes below with the program's own text;
// all derive from EInvalidGraphic. The reader keeps no state between calls,
// so several threads may read pictures at once.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Bitmap24.h"
#include "platform/Errors.h"

#define VT_PNG_ERROR(name, text)                                \
  class name : public EInvalidGraphic {                         \
   public:                                                      \
    name() : EInvalidGraphic(text) {}                           \
    explicit name(const std::string& m) : EInvalidGraphic(m) {} \
  };

VT_PNG_ERROR(
    EPNGInvalidFileHeader,
    "The file being readed is not a valid \"Portable Network Graphics\" image because it contains an "
    "invalid header. This file may be corruped, try obtaining it again.")
VT_PNG_ERROR(
    EPngUnexpectedEnd,
    "This \"Portable Network Graphics\" image is invalid because the decoder found an unexpected end "
    "of the file.")
VT_PNG_ERROR(
    EPNGIHDRNotFirst,
    "This \"Portable Network Graphics\" image is not supported or it might be invalid.\r\n(IHDR chunk "
    "is not the first)")
VT_PNG_ERROR(EPNGUnknownCriticalChunk,
             "This \"Portable Network Graphics\" image contains an unknown critical part which could not be "
             "decoded.")
VT_PNG_ERROR(EPNGNoImageData, "This \"Portable Network Graphics\" image contains no data.")
VT_PNG_ERROR(
    EPngInvalidCRC,
    "This \"Portable Network Graphics\" image is not valid because it contains invalid pieces of data "
    "(crc error)")
VT_PNG_ERROR(
    EPngInvalidIHDR,
    "The \"Portable Network Graphics\" image could not be loaded because one of its main piece of data "
    "(ihdr) might be corrupted")
VT_PNG_ERROR(EPNGSizeExceeds,
             "This \"Portable Network Graphics\" image is not supported because either it's width or height "
             "exceeds the maximum size, which is 65535 pixels length.")
VT_PNG_ERROR(
    EPNGUnknownCompression,
    "This \"Portable Network Graphics\" image is encoded with an unknown compression scheme which could "
    "not be decoded.")
VT_PNG_ERROR(EPNGUnknownInterlace,
             "This \"Portable Network Graphics\" image uses an unknown interlace scheme which could not be "
             "decoded.")
VT_PNG_ERROR(EPNGInvalidPalette, "The \"Portable Network Graphics\" image contains an invalid palette.")
VT_PNG_ERROR(EPNGMissingMultipleIDAT,
             "This \"Portable Network Graphics\" image is invalid because it has missing image parts.")
VT_PNG_ERROR(EPNGZLIBError, "Could not decompress the image because it contains invalid compressed data.")
VT_PNG_ERROR(
    EPNGOutMemory,
    "Some operation could not be performed because the system is out of resources. Close some windows "
    "and try again.")
VT_PNG_ERROR(EPNGHeaderNotPresent,
             "This operation is not valid because the current image contains no valid header.")
VT_PNG_ERROR(EPngError, "The chunks must be compatible to be assigned.")

#undef VT_PNG_ERROR

// Decodes a PNG file held in memory (also the decoder of PNG-compressed
// icon images). out changes only when the whole picture was read.
void ReadPNG(const uint8_t* data, size_t size, Bitmap24& out);
// Reads the named file chunk by chunk up to its end chunk (EFileError when it
// cannot be read) and decodes it.
void ReadPNGFile(const std::string& fileName, Bitmap24& out);
