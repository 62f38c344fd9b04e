#include "controls/NumText.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/Errors.h"

namespace {
bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
}  // namespace

bool TryStrToInt(const std::string& s, int32_t& value) {
  try {
    value = StrToInt(s);
    return true;
  } catch (const EConvertError&) {
    return false;
  }
}

bool TryStrToFloat(const std::string& s, double& value) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  // Check the shape ourselves: strtod would also take "inf", "nan" and hexadecimal.
  size_t i = b, digits = 0;
  if (i < e && (s[i] == '+' || s[i] == '-')) ++i;
  while (i < e && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  if (i < e && s[i] == '.') {
    ++i;
    while (i < e && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < e && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < e && (s[i] == '+' || s[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < e && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  if (i != e) return false;
  const std::string text = s.substr(b, e - b);
  const double v = std::strtod(text.c_str(), nullptr);
  if (!std::isfinite(v)) return false;
  value = v;
  return true;
}

double StrToFloat(const std::string& s) {
  double v;
  if (!TryStrToFloat(s, v))
    throw EConvertError(Format("'%s' is not a valid floating point value", s.c_str()));
  return v;
}

std::string FloatToStrFixed(double value, int digits) {
  if (digits < 0) digits = 0;
  if (digits > 18) digits = 18;
  if (!std::isfinite(value)) return std::isnan(value) ? "NAN" : (value < 0 ? "-INF" : "INF");
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17e", std::fabs(value));
  // buf = "d.ddddddddddddddddde+XX": 18 significant digits.
  std::string d(1, buf[0]);
  d.append(buf + 2, 17);
  int intDigits = std::atoi(buf + 20) + 1;  // digits before the point
  const int keep = intDigits + digits;
  if (keep < 0) {
    d.clear();
  } else if (keep < int(d.size())) {
    const bool up = d[size_t(keep)] >= '5';
    d.resize(size_t(keep));
    if (up) {
      int k = keep - 1;
      while (k >= 0 && d[size_t(k)] == '9') d[size_t(k--)] = '0';
      if (k >= 0)
        ++d[size_t(k)];
      else {
        d.insert(d.begin(), '1');
        ++intDigits;
      }
    }
  }
  std::string intPart, frac;
  if (d.empty()) {
    intPart = "0";
  } else if (intDigits > 0) {
    d.resize(std::max(d.size(), size_t(intDigits + digits)), '0');
    intPart = d.substr(0, size_t(intDigits));
    frac = d.substr(size_t(intDigits));
  } else {
    intPart = "0";
    frac = std::string(size_t(-intDigits), '0') + d;
  }
  frac.resize(size_t(digits), '0');
  const bool zero =
      intPart.find_first_not_of('0') == std::string::npos && frac.find_first_not_of('0') == std::string::npos;
  std::string out = (value < 0 && !zero) ? "-" : "";
  out += intPart;
  if (digits > 0) out += "." + frac;
  return out;
}

std::string IntToStr(int64_t v) {
  return std::to_string(v);
}
