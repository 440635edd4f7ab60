#pragma once

// Drawing helpers shared by the artwork painters: colours, shapes, text in
// the panel's two typefaces, and PNG files.

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
  double r, g, b;
};
constexpr Rgb C8(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0}; }
Rgb Mix(Rgb a, Rgb b, double t);

// The panel's colours.
namespace Palette {
constexpr Rgb kBackdrop = C8(19, 21, 25);      // window around the sections
constexpr Rgb kSection = C8(38, 42, 49);       // flat section face: opaque controls sit on it
constexpr Rgb kSectionEdge = C8(62, 68, 78);
constexpr Rgb kTitleStrip = C8(30, 33, 39);
constexpr Rgb kTitle = C8(196, 202, 210);
constexpr Rgb kLabel = C8(160, 168, 178);
constexpr Rgb kPositionLabel = C8(120, 128, 138);
constexpr Rgb kWell = C8(15, 17, 20);          // boxes behind text and displays
constexpr Rgb kWellEdge = C8(70, 76, 86);
constexpr Rgb kScreen = C8(6, 15, 14);          // the wave displays' glass
constexpr Rgb kAqua = C8(64, 255, 212);         // the displays' curve colour
constexpr Rgb kOrange = C8(255, 146, 38);
constexpr Rgb kRed = C8(255, 52, 36);
}  // namespace Palette

void SetColor(cairo_t* cr, Rgb c, double alpha = 1.0);
void RoundRect(cairo_t* cr, double x, double y, double w, double h, double r);
// A vertical gradient from top to bottom colour over y0..y1, set as source.
void SetVertical(cairo_t* cr, double y0, double y1, Rgb top, Rgb bottom, double alpha = 1.0);

enum class Face { Sans, SansBold, Verdana, VerdanaBold };
// Loads the typefaces by file path (never by a font-name lookup, so the
// output does not depend on the machine's font configuration). False with a
// message when a file is missing.
bool LoadFaces(std::string* error);
void ReleaseFaces();

enum class Align { Left, Centre, Right };
// Width of a text run with extra spacing between letters.
double TextWidth(cairo_t* cr, Face face, double size, const std::string& text, double tracking = 0);
// Draws text on a baseline; x is the left, centre or right end.
void DrawText(cairo_t* cr, Face face, double size, const std::string& text, double x, double baseline,
              Align align, Rgb color, double alpha = 1.0, double tracking = 0);
// The em size whose line (ascent + descent) is `cellHeight` pixels: how the
// editor's fonts are sized ("Arial" 15 is a 15-pixel cell).
double EmForCell(Face face, double cellHeight);
double Ascent(Face face, double size);

// An image in memory: 8-bit R, G, B, A per pixel, not premultiplied.
struct Pixels {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
};
Pixels FromSurface(cairo_surface_t* s);
cairo_surface_t* ToSurface(const Pixels& p);
bool WritePng(const std::string& path, const Pixels& p, bool alpha, std::string* error);
// Reads any PNG into RGBA; *hasAlpha tells whether the file stores alpha.
bool ReadPng(const std::string& path, Pixels* p, bool* hasAlpha, std::string* error);
