// The Autodesk Animator reader: old-style cels and pictures (magic 0x9119),
// 8 bits per pixel through a 256-colour palette of 6-bit components, rows from
// the top.
//
// Refuses, with EInvalidGraphic: another magic ("Cannot load image. Only old
// style Autodesk images are supported."), an empty picture, and a file that
// ends before its rows do ("Stream read error").
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Bitmap24.h"

void ReadAutodesk(const uint8_t* data, size_t size, Bitmap24& out);
// Raises EFileError when the file cannot be opened or read.
void ReadAutodeskFile(const std::string& fileName, Bitmap24& out);
