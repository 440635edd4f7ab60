#pragma once
#include <cstdint>
#include <vector>

#include "lice_text.h"

// The system seams of the bitmap and font layer, one implementation file per
// system (*_win32.cpp: GDI; *_posix.cpp: FreeType and embedded fonts). Not
// used outside editor/lice/ except by its tests.

// Makes the editor images that the build embedded findable through
// LoadModuleResource where the module format carries no resources (once;
// nothing to do on Windows).
void LICE_RegisterEmbeddedImages();

// One character as the system renders it: 8-bit coverage, and where the
// image sits relative to the pen at the top of the line.
struct LICE_GlyphImage {
  int width = 0, height = 0;
  int left = 0, top = 0;
  int advance = 0;
  std::vector<uint8_t> coverage;  // width * height, rows from the top
};

// Renders one character of a system font (Windows: white on black into the
// process's 256 x 256 glyph scratch bitmap). false when the font cannot.
bool LICE_RenderSystemGlyph(LICE_SystemFont font, unsigned codepoint, LICE_GlyphImage* out);

// The height of a line of the font in pixels (the system's text metrics).
int LICE_SystemFontLineHeight(LICE_SystemFont font);

// The system's own text drawing: draws UTF-8 text (at most 1024 UTF-16
// units) into dest's device context, or with LICE_DT_CALCRECT measures it
// (the glyph scratch bitmap standing in for a destination without one).
// flags are DrawText's. false when the system has no text drawing or dest has
// no device context to draw into; *height gets DrawText's answer.
bool LICE_SystemDrawText(LICE_SystemFont font, LICE_IBitmap* dest, const char* text, int len,
                         LICE_TextRect* rect, unsigned flags, LICE_pixel color, int bkMode,
                         LICE_pixel bkColor, int* height);

// Whether the process runs under Wine, whose system text drawing differs from
// Windows' (and which then takes the glyph path). Determined once.
bool LICE_RunningUnderWine();
// Tests: 0 or 1 pretends the answer, -1 goes back to asking the system.
void LICE_OverrideWineDetection(int state);
