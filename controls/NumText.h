// Number <-> text as the spin edits and dialogs use them: the class library's
// StrToFloat and fixed-point FloatToStrF, with "." as the decimal separator
// whatever the locale (StrToInt is the platform's).
#pragma once
#include <cstdint>
#include <string>

#include "platform/Utils.h"

// StrToInt without the exception.
bool TryStrToInt(const std::string& s, int32_t& value);

// Blanks around, optional sign, digits with an optional "." and exponent.
// Raises EConvertError "'%s' is not a valid floating point value".
double StrToFloat(const std::string& s);
bool TryStrToFloat(const std::string& s, double& value);

// Fixed-point text with `digits` decimals (0..18): the value is first taken
// to 18 significant digits, then rounded to the decimals with halves away
// from zero, as the class library does (2.5 -> "3", 0.125 -> "0.13").
std::string FloatToStrFixed(double value, int digits);

std::string IntToStr(int64_t v);
