// Shared by the picture reader suites: a byte builder for the tiny files the
// tests write, reading from memory, the message of a refused file, pixel
// access, and the truncation and corruption sweep every reader must survive.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "common/ScratchDir.h"
#include "platform/Bitmap24.h"
#include "platform/Errors.h"

struct TBytes {
  std::vector<uint8_t> v;
  TBytes& U8(unsigned x) {
    v.push_back(uint8_t(x));
    return *this;
  }
  TBytes& U16LE(unsigned x) { return U8(x & 0xFF).U8(x >> 8); }
  TBytes& U16BE(unsigned x) { return U8(x >> 8).U8(x & 0xFF); }
  TBytes& U32BE(uint32_t x) { return U16BE(x >> 16).U16BE(x & 0xFFFF); }
  TBytes& Text(const std::string& s) {
    v.insert(v.end(), s.begin(), s.end());
    return *this;
  }
  TBytes& Bytes(std::initializer_list<unsigned> list) {
    for (unsigned x : list) U8(x);
    return *this;
  }
  TBytes& Append(const std::vector<uint8_t>& b) {
    v.insert(v.end(), b.begin(), b.end());
    return *this;
  }
  TBytes& Zeros(size_t n) {
    v.resize(v.size() + n, 0);
    return *this;
  }
  // Pads with zeros up to size.
  TBytes& PadTo(size_t size) {
    if (v.size() < size) v.resize(size, 0);
    return *this;
  }
  size_t Size() const { return v.size(); }
};

// The pixel at (x, y) as 0xRRGGBB, easier to read in a test than B, G, R.
inline uint32_t RGBAt(const Bitmap24& b, int x, int y) {
  const uint8_t* p = b.ScanLine(y) + 3 * x;
  return (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}

inline void WriteFileBytes(const std::string& name, const std::vector<uint8_t>& data) {
  std::ofstream f(name, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

using TMemoryReader = std::function<void(const uint8_t*, size_t, Bitmap24&)>;

// Every truncation of file and `corruptions` single-byte changes: the reader
// raises an EVitrane or succeeds, and never reads outside its data (each try
// gets a block of exactly its size, so the sanitizers see any overrun). With
// strict, a truncated file that reads at all reads as the whole one did.
inline void SweepDamage(const std::vector<uint8_t>& file, const TMemoryReader& read, bool strict,
                        int corruptions = 300, size_t truncationStep = 1, uint32_t seed = 20261208) {
  Bitmap24 whole;
  read(file.data(), file.size(), whole);
  for (size_t n = 0; n < file.size(); n += truncationStep) {
    std::vector<uint8_t> cut(file.begin(), file.begin() + long(n));
    Bitmap24 out;
    try {
      read(cut.data(), cut.size(), out);
      if (strict) {
        EXPECT_TRUE(out == whole) << "truncated at " << n;
      }
    } catch (const EVitrane&) {
    }
  }
  std::mt19937 rng(seed);
  for (int i = 0; i < corruptions; ++i) {
    std::vector<uint8_t> bad = file;
    bad[rng() % bad.size()] = uint8_t(rng());
    Bitmap24 out;
    try {
      read(bad.data(), bad.size(), out);
    } catch (const EVitrane&) {
    }
  }
}

// The message of what fn raises as T, or "" when it raises nothing.
template <class T>
std::string ErrorOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const T& e) {
    return e.what();
  }
  return "";
}

namespace readertest {

using Bytes = std::vector<uint8_t>;
using Reader = void (*)(const uint8_t* data, size_t size, Bitmap24& out);

inline Bitmap24 ReadWith(Reader reader, const Bytes& f) {
  Bitmap24 b;
  reader(f.data(), f.size(), b);
  return b;
}

// The message of the error the reader raises, or "no error".
inline std::string ErrorOf(Reader reader, const Bytes& f) {
  try {
    ReadWith(reader, f);
  } catch (const EVitrane& e) {
    return e.what();
  }
  return "no error";
}

// B, G, R of pixel (x, y).
inline Bytes Px(const Bitmap24& b, int x, int y) {
  const uint8_t* p = b.ScanLine(y) + 3 * x;
  return {p[0], p[1], p[2]};
}

// Every cut of a good file and a few hundred single-byte corruptions.
inline void SweepDamage(Reader reader, const Bytes& f, uint32_t seed) {
  ASSERT_EQ(ErrorOf(reader, f), "no error");
  ::SweepDamage(f, reader, false, 300, 1, seed);
}

}  // namespace readertest
