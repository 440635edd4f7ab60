#include "PngSamples.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace {

constexpr int kW = 7, kH = 5;  // odd sizes: partial bytes, every interlace pass, padded rows

struct Layout {
  const char* name;
  int colorType;
  int depth;
  bool trns;
  bool interlaced;
};

const Layout kLayouts[] = {
    {"palette1", PNG_COLOR_TYPE_PALETTE, 1, false, false},
    {"palette2-trns", PNG_COLOR_TYPE_PALETTE, 2, true, false},
    {"palette4-interlaced", PNG_COLOR_TYPE_PALETTE, 4, false, true},
    {"palette8-trns", PNG_COLOR_TYPE_PALETTE, 8, true, false},
    {"grey1", PNG_COLOR_TYPE_GRAY, 1, false, false},
    {"grey2", PNG_COLOR_TYPE_GRAY, 2, false, false},
    {"grey4-trns", PNG_COLOR_TYPE_GRAY, 4, true, false},
    {"grey8", PNG_COLOR_TYPE_GRAY, 8, false, false},
    {"grey16-trns-interlaced", PNG_COLOR_TYPE_GRAY, 16, true, true},
    {"grey-alpha8", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, false},
    {"grey-alpha16", PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, false},
    {"rgb8", PNG_COLOR_TYPE_RGB, 8, false, false},
    {"rgb8-trns", PNG_COLOR_TYPE_RGB, 8, true, false},
    {"rgb16", PNG_COLOR_TYPE_RGB, 16, false, false},
    {"rgba8", PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false},
    {"rgba8-interlaced", PNG_COLOR_TYPE_RGB_ALPHA, 8, false, true},
    {"rgba16", PNG_COLOR_TYPE_RGB_ALPHA, 16, false, false},
};

// Sample c (channel) of pixel i at the given depth: spread over the range.
unsigned Sample(int i, int c, int depth) {
  const unsigned max = (1u << depth) - 1;
  if (depth == 16) return (static_cast<unsigned>(i) * 9973u + 4001u * c + 5u) & max;
  return (static_cast<unsigned>(i) * (37u + 16u * c) + 11u * c + 5u) % (max + 1);
}

struct Writer {
  std::vector<uint8_t>* out;
  std::jmp_buf jump;
};

void OnError(png_structp png, png_const_charp) { std::longjmp(static_cast<Writer*>(png_get_error_ptr(png))->jump, 1); }
void OnWarning(png_structp, png_const_charp) {}
void OnWrite(png_structp png, png_bytep data, png_size_t n) {
  std::vector<uint8_t>* out = static_cast<Writer*>(png_get_io_ptr(png))->out;
  out->insert(out->end(), data, data + n);
}
void OnFlush(png_structp) {}

// Everything freed after an error is owned by the caller (rows, structs).
bool Encode(Writer* w, png_structp png, png_infop info, const Layout& l, png_colorp palette, int paletteSize,
            png_bytep trnsAlpha, int trnsCount, png_color_16* trnsColor, png_bytepp rows) {
  if (setjmp(w->jump)) return false;
  png_set_write_fn(png, w, OnWrite, OnFlush);
  png_set_IHDR(png, info, kW, kH, l.depth, l.colorType, l.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (l.colorType == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, palette, paletteSize);
  if (l.trns) png_set_tRNS(png, info, trnsAlpha, trnsCount, trnsColor);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

bool MakeOne(const Layout& l, PngSample* s) {
  s->name = l.name;
  s->width = kW;
  s->height = kH;
  s->pixels.assign(kW * kH, 0);
  const int channels = l.colorType == PNG_COLOR_TYPE_GRAY ? 1 : l.colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                       : l.colorType == PNG_COLOR_TYPE_RGB ? 3 : l.colorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 1;
  const int bitsPerPixel = channels * l.depth;
  const size_t rowBytes = (static_cast<size_t>(kW) * bitsPerPixel + 7) / 8;
  std::vector<std::vector<uint8_t>> rowData(kH, std::vector<uint8_t>(rowBytes, 0));

  const int paletteSize = l.colorType == PNG_COLOR_TYPE_PALETTE ? (1 << l.depth) : 0;
  png_color palette[256];
  png_byte trnsAlpha[256];
  const int trnsCount = paletteSize ? paletteSize / 2 + 1 : 0;  // a short table: the rest is opaque
  for (int p = 0; p < paletteSize; ++p) {
    palette[p].red = static_cast<png_byte>(p * 53 + 7);
    palette[p].green = static_cast<png_byte>(255 - p * 29);
    palette[p].blue = static_cast<png_byte>(p * 97 + 100);
    trnsAlpha[p] = static_cast<png_byte>(p * 61 + 3);
  }
  png_color_16 trnsColor;
  std::memset(&trnsColor, 0, sizeof(trnsColor));
  // The transparent colour is the colour of pixel 3.
  trnsColor.gray = static_cast<png_uint_16>(Sample(3, 0, l.depth));
  trnsColor.red = static_cast<png_uint_16>(Sample(3, 0, l.depth));
  trnsColor.green = static_cast<png_uint_16>(Sample(3, 1, l.depth));
  trnsColor.blue = static_cast<png_uint_16>(Sample(3, 2, l.depth));

  for (int i = 0; i < kW * kH; ++i) {
    const int x = i % kW, y = i / kW;
    unsigned v[4];
    for (int c = 0; c < channels; ++c) v[c] = Sample(i, c, l.depth);
    if (l.colorType == PNG_COLOR_TYPE_PALETTE) v[0] %= static_cast<unsigned>(paletteSize);
    // Into the row: big-endian samples, sub-byte samples from the high bits.
    for (int c = 0; c < channels; ++c) {
      const size_t bit = (static_cast<size_t>(x) * channels + c) * l.depth;
      uint8_t* row = rowData[y].data();
      if (l.depth == 16) {
        row[bit / 8] = static_cast<uint8_t>(v[c] >> 8);
        row[bit / 8 + 1] = static_cast<uint8_t>(v[c]);
      } else {
        row[bit / 8] |= static_cast<uint8_t>(v[c] << (8 - l.depth - bit % 8));
      }
    }
    // What the loader must make of it.
    auto to8 = [&](unsigned sample) -> int {
      if (l.depth == 16) return static_cast<int>(sample >> 8);
      return static_cast<int>(sample * 255 / ((1u << l.depth) - 1));
    };
    int r, g, b, a = 255;
    switch (l.colorType) {
      case PNG_COLOR_TYPE_PALETTE:
        r = palette[v[0]].red;
        g = palette[v[0]].green;
        b = palette[v[0]].blue;
        if (l.trns && static_cast<int>(v[0]) < trnsCount) a = trnsAlpha[v[0]];
        break;
      case PNG_COLOR_TYPE_GRAY:
        r = g = b = to8(v[0]);
        if (l.trns && v[0] == trnsColor.gray) a = 0;
        break;
      case PNG_COLOR_TYPE_GRAY_ALPHA:
        r = g = b = to8(v[0]);
        a = to8(v[1]);
        break;
      case PNG_COLOR_TYPE_RGB:
        r = to8(v[0]);
        g = to8(v[1]);
        b = to8(v[2]);
        if (l.trns && v[0] == trnsColor.red && v[1] == trnsColor.green && v[2] == trnsColor.blue) a = 0;
        break;
      default:
        r = to8(v[0]);
        g = to8(v[1]);
        b = to8(v[2]);
        a = to8(v[3]);
        break;
    }
    s->pixels[i] = LICE_RGBA(r, g, b, a);
  }

  std::vector<png_bytep> rows(kH);
  for (int y = 0; y < kH; ++y) rows[y] = rowData[y].data();
  Writer w;
  w.out = &s->file;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  png_set_error_fn(png, &w, OnError, OnWarning);
  const bool ok = info && Encode(&w, png, info, l, palette, paletteSize, trnsAlpha, trnsCount, &trnsColor, rows.data());
  png_destroy_write_struct(&png, info ? &info : nullptr);
  return ok;
}

}  // namespace

std::vector<PngSample> MakePngSamples() {
  std::vector<PngSample> samples;
  for (const Layout& l : kLayouts) {
    PngSample s;
    if (!MakeOne(l, &s)) return {};
    samples.push_back(std::move(s));
  }
  return samples;
}
