#pragma once
// Small PNG images of every layout a PNG file can have, written with libpng,
// together with the pixels the editor's loader must make of them. Used by
// the loader's tests and by the fuzz seed maker (fuzz/MakeSeeds.cpp).
// Plain code, no GoogleTest.
#include <cstdint>
#include <string>
#include <vector>

#include "lice/lice.h"

struct PngSample {
  std::string name;                 // e.g. "grey4", "rgb16-interlaced"
  std::vector<uint8_t> file;        // the PNG
  int width = 0, height = 0;
  std::vector<LICE_pixel> pixels;   // what decoding must give, row by row
};

// Palette (1, 2, 4, 8 bits, with and without transparency), grey (1, 2, 4,
// 8, 16 bits, with and without transparency), grey with alpha (8, 16), RGB
// (8, 16, with and without transparency), RGBA (8, 16), and interlaced
// variants. Empty when libpng fails to write.
std::vector<PngSample> MakePngSamples();
