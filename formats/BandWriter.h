// Uncompressed 24-bit BMP and TIFF files whose size is fixed in advance: the
// header routine writes the header and grows the file to its final size at
// once; the band, rectangle and grid routines then write pieces of the picture
// into their places. Memory holds one row besides the caller's bitmap, so a
// mosaic far larger than memory can be written one cell at a time.
//
// W and H are the picture's width and height in pixels; colours are window
// colours (0x00BBGGRR). The band, rectangle and grid routines expect a stream
// prepared by the matching header routine for the same W and H; they write
// only inside the picture and pass stream failures on (EFileError).
#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "formats/BandStream.h"
#include "platform/Bitmap24.h"
#include "platform/Types.h"

// Exact file sizes, computed in 64 bits for any W, H >= 0.
int64_t BMPFileSize(int W, int H);   // 54 + S * H, S = 3W padded to 4
int64_t TIFFFileSize(int W, int H);  // 240 + 3WH + 8H

// Raise EOutOfResources with a clear message when the format cannot hold a
// W x H picture: an empty or negative side, or a file whose size or offsets
// overflow the format's 32-bit fields (4 GB). Call before creating a file.
void CheckBMPSize(int W, int H);
void CheckTIFFSize(int W, int H);

// Writes the 54-byte header from offset 0 and sets the stream to its final
// size (header + padded rows, zero-filled). Returns false, writing nothing,
// when the picture does not fit the format, and false when the stream fails;
// no failure is passed on.
bool WriteBMPHeader(TBandStream& stream, int W, int H);

// Writes the TIFF header, reserves the pixel area (rows top-down, R, G, B,
// one row per strip) and writes the directory with its arrays behind it.
// resolution is the dots per resolution unit (2 = inch). Return as for
// WriteBMPHeader.
bool WriteTIFFHeader(TBandStream& stream, int W, int H, int resolution, int resolutionUnit);

// Writes every row of bitmap with its top-left pixel at picture (X, Y);
// the parts outside the picture are left out.
void WriteBMPBand(TBandStream& stream, int W, int H, int X, int Y, const Bitmap24& bitmap);
void WriteTIFFBand(TBandStream& stream, int W, int H, int X, int Y, const Bitmap24& bitmap);
// The same for a band whose bytes are already in the file's order (R, G, B),
// so that the one thread writing the file only writes.
void WriteTIFFBandRGB(TBandStream& stream, int W, int H, int X, int Y, const Bitmap24& bitmap);

// Fills rect (right and bottom exclusive), clipped to the picture, with colour.
void WriteBMPRect(TBandStream& stream, int W, int H, const TRect& rect, TColor colour);
void WriteTIFFRect(TBandStream& stream, int W, int H, const TRect& rect, TColor colour);

// Draws vertical grid lines of width lineWidth over rowCount rows from
// firstRow: x[0] is the area's left edge, x[n] its right edge and x[1..n-1]
// the inner lines. The first line starts at x[0], the last ends at x[n] - 1,
// inner lines are centred on x[k]; near the picture's edges the outer lines
// are cut to half width. n must index into x (EVitrane otherwise).
void WriteBMPGridColumns(TBandStream& stream, int W, int H, std::span<const int> x, int n, int firstRow,
                         int rowCount, int lineWidth, TColor colour);
void WriteTIFFGridColumns(TBandStream& stream, int W, int H, std::span<const int> x, int n, int firstRow,
                          int rowCount, int lineWidth, TColor colour);

// Saves a whole bitmap as a TIFF file. The file is written beside the target
// and renamed over it when complete, so an existing file survives a failure.
// Raises EOutOfResources for a picture the format cannot hold (creating
// nothing) and EFileError when the file cannot be written.
void SaveBitmapAsTIFF(const std::string& fileName, const Bitmap24& bitmap, int resolution,
                      int resolutionUnit);
