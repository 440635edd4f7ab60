#include "Canvas.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

Rgb Mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

void SetColor(cairo_t* cr, Rgb c, double alpha) { cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha); }

void RoundRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  const double k = M_PI / 180.0;
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -90 * k, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, 90 * k);
  cairo_arc(cr, x + r, y + h - r, r, 90 * k, 180 * k);
  cairo_arc(cr, x + r, y + r, r, 180 * k, 270 * k);
  cairo_close_path(cr);
}

void SetVertical(cairo_t* cr, double y0, double y1, Rgb top, Rgb bottom, double alpha) {
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
  cairo_pattern_add_color_stop_rgba(p, 0, top.r, top.g, top.b, alpha);
  cairo_pattern_add_color_stop_rgba(p, 1, bottom.r, bottom.g, bottom.b, alpha);
  cairo_set_source(cr, p);
  cairo_pattern_destroy(p);
}

// ---- typefaces ---------------------------------------------------------------

namespace {

// Debian's fonts-liberation and fonts-dejavu-core: Liberation Sans has the
// metrics of "Arial", DejaVu Sans stands in for "Verdana", the same pair the
// editor draws its own text with on Linux.
struct FaceFile {
  Face face;
  const char* paths[2];
};
const FaceFile kFaceFiles[] = {
    {Face::Sans,
     {"/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
      "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf"}},
    {Face::SansBold,
     {"/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf",
      "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf"}},
    {Face::Verdana, {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", nullptr}},
    {Face::VerdanaBold, {"/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", nullptr}},
};
constexpr int kFaceCount = 4;

FT_Library gFreeType = nullptr;
FT_Face gFtFaces[kFaceCount] = {};
cairo_font_face_t* gFaces[kFaceCount] = {};
cairo_font_options_t* gOptions = nullptr;

bool Exists(const char* path) {
  struct stat st;
  return path && stat(path, &st) == 0;
}

}  // namespace

bool LoadFaces(std::string* error) {
  if (FT_Init_FreeType(&gFreeType) != 0) {
    *error = "cannot initialise FreeType";
    return false;
  }
  for (const FaceFile& f : kFaceFiles) {
    const char* path = Exists(f.paths[0]) ? f.paths[0] : f.paths[1];
    const int i = int(f.face);
    if (!Exists(path) || FT_New_Face(gFreeType, path, 0, &gFtFaces[i]) != 0) {
      *error = std::string("cannot load the font ") + f.paths[0] +
               " (Debian packages fonts-liberation and fonts-dejavu-core)";
      return false;
    }
    gFaces[i] = cairo_ft_font_face_create_for_ft_face(gFtFaces[i], 0);
  }
  // Grey anti-aliasing with light vertical hinting: crisp small labels, and
  // nothing taken from the machine's font configuration.
  gOptions = cairo_font_options_create();
  cairo_font_options_set_antialias(gOptions, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(gOptions, CAIRO_HINT_STYLE_SLIGHT);
  cairo_font_options_set_hint_metrics(gOptions, CAIRO_HINT_METRICS_ON);
  cairo_font_options_set_subpixel_order(gOptions, CAIRO_SUBPIXEL_ORDER_DEFAULT);
  return true;
}

void ReleaseFaces() {
  for (int i = 0; i < kFaceCount; ++i) {
    if (gFaces[i]) cairo_font_face_destroy(gFaces[i]);
    gFaces[i] = nullptr;
  }
  // cairo may still hold scaled fonts that reference the faces.
  cairo_debug_reset_static_data();
  for (int i = 0; i < kFaceCount; ++i) {
    if (gFtFaces[i]) FT_Done_Face(gFtFaces[i]);
    gFtFaces[i] = nullptr;
  }
  if (gOptions) cairo_font_options_destroy(gOptions);
  gOptions = nullptr;
  if (gFreeType) FT_Done_FreeType(gFreeType);
  gFreeType = nullptr;
}

namespace {

void Select(cairo_t* cr, Face face, double size) {
  cairo_set_font_face(cr, gFaces[int(face)]);
  cairo_set_font_size(cr, size);
  cairo_set_font_options(cr, gOptions);
}

double Advance(cairo_t* cr, const std::string& s) {
  cairo_text_extents_t e;
  cairo_text_extents(cr, s.c_str(), &e);
  return e.x_advance;
}

}  // namespace

double TextWidth(cairo_t* cr, Face face, double size, const std::string& text, double tracking) {
  Select(cr, face, size);
  if (tracking == 0) return Advance(cr, text);
  double w = 0;
  for (size_t i = 0; i < text.size(); ++i) w += Advance(cr, text.substr(i, 1)) + (i + 1 < text.size() ? tracking : 0);
  return w;
}

void DrawText(cairo_t* cr, Face face, double size, const std::string& text, double x, double baseline,
              Align align, Rgb color, double alpha, double tracking) {
  const double w = TextWidth(cr, face, size, text, tracking);
  double left = align == Align::Left ? x : align == Align::Centre ? x - w / 2 : x - w;
  left = std::round(left);
  SetColor(cr, color, alpha);
  if (tracking == 0) {
    cairo_move_to(cr, left, baseline);
    cairo_show_text(cr, text.c_str());
    return;
  }
  for (size_t i = 0; i < text.size(); ++i) {
    const std::string ch = text.substr(i, 1);
    cairo_move_to(cr, left, baseline);
    cairo_show_text(cr, ch.c_str());
    left += Advance(cr, ch) + tracking;
  }
}

double EmForCell(Face face, double cellHeight) {
  const FT_Face f = gFtFaces[int(face)];
  return cellHeight * f->units_per_EM / double(f->ascender - f->descender);
}

double Ascent(Face face, double size) {
  const FT_Face f = gFtFaces[int(face)];
  return size * f->ascender / double(f->units_per_EM);
}

// ---- pixels and PNG files -------------------------------------------------------

Pixels FromSurface(cairo_surface_t* s) {
  cairo_surface_flush(s);
  Pixels p;
  p.width = cairo_image_surface_get_width(s);
  p.height = cairo_image_surface_get_height(s);
  p.rgba.resize(size_t(p.width) * p.height * 4);
  const int stride = cairo_image_surface_get_stride(s);
  const unsigned char* data = cairo_image_surface_get_data(s);
  const bool opaque = cairo_image_surface_get_format(s) == CAIRO_FORMAT_RGB24;
  for (int y = 0; y < p.height; ++y) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(data + size_t(y) * stride);
    for (int x = 0; x < p.width; ++x) {
      const uint32_t v = row[x];
      const int a = opaque ? 255 : int(v >> 24);
      int c[3] = {int((v >> 16) & 255), int((v >> 8) & 255), int(v & 255)};
      uint8_t* out = &p.rgba[(size_t(y) * p.width + x) * 4];
      for (int k = 0; k < 3; ++k) {
        // cairo stores premultiplied colour; undo it with rounding.
        out[k] = a == 0 ? 0 : a == 255 ? uint8_t(c[k]) : uint8_t(std::min(255, (c[k] * 255 + a / 2) / a));
      }
      out[3] = uint8_t(a);
    }
  }
  return p;
}

cairo_surface_t* ToSurface(const Pixels& p) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, p.width, p.height);
  const int stride = cairo_image_surface_get_stride(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  for (int y = 0; y < p.height; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(data + size_t(y) * stride);
    for (int x = 0; x < p.width; ++x) {
      const uint8_t* in = &p.rgba[(size_t(y) * p.width + x) * 4];
      const uint32_t a = in[3];
      auto pm = [a](uint32_t c) { return (c * a + 127) / 255; };
      row[x] = (a << 24) | (pm(in[0]) << 16) | (pm(in[1]) << 8) | pm(in[2]);
    }
  }
  cairo_surface_mark_dirty(s);
  return s;
}

bool WritePng(const std::string& path, const Pixels& p, bool alpha, std::string* error) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    *error = "cannot write " + path;
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    *error = "cannot encode " + path;
    return false;
  }
  png_init_io(png, f);
  png_set_compression_level(png, 9);
  // No Average or Paeth rows: they cost the plug-in about 1.6 times as much
  // to decode (the first instance of a process decodes every image), for
  // files no smaller.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE | PNG_FILTER_SUB | PNG_FILTER_UP);
  png_set_IHDR(png, info, p.width, p.height, 8, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<uint8_t> row(size_t(p.width) * 4);
  for (int y = 0; y < p.height; ++y) {
    const uint8_t* in = &p.rgba[size_t(y) * p.width * 4];
    if (alpha) {
      std::memcpy(row.data(), in, row.size());
    } else {
      for (int x = 0; x < p.width; ++x) std::memcpy(&row[size_t(x) * 3], in + size_t(x) * 4, 3);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  const bool ok = std::fclose(f) == 0;
  if (!ok) *error = "cannot write " + path;
  return ok;
}

bool ReadPng(const std::string& path, Pixels* p, bool* hasAlpha, std::string* error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    *error = path + ": " + image.message;
    return false;
  }
  *hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  image.format = PNG_FORMAT_RGBA;
  p->width = int(image.width);
  p->height = int(image.height);
  p->rgba.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, p->rgba.data(), 0, nullptr)) {
    *error = path + ": " + image.message;
    png_image_free(&image);
    return false;
  }
  return true;
}
