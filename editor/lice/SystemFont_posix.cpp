// System fonts without a window system: FreeType faces of fonts the build
// embedded in the library (cmake/Fonts.cmake), so that text looks the same
// on every distribution and in pictures drawn without a display. The face
// names the editor asks for map onto metric-compatible free fonts: "Arial"
// onto Liberation Sans, "Verdana" onto DejaVu Sans; any other name gets
// Liberation Sans, as an unknown face gets a stand-in on Windows.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "LiceSystem.h"
#include "platform/Resources.h"

// Written by the build (cmake/Fonts.cmake): registers the embedded font files
// as resources of type "FONT" named "LiberationSans" and "DejaVuSans".
void QuarviRegisterEmbeddedFonts();

namespace {

// Glyph images beyond this size are cut, as the Windows glyph scratch bitmap
// (256 x 256) cuts them.
constexpr int kMaxGlyph = 256;

struct PosixFont {
  FT_Face face = nullptr;
  std::shared_ptr<const std::vector<uint8_t>> file;  // FreeType reads the face from it
  int lineHeight = 0;
  int ascent = 0;
  bool synthBold = false, synthItalic = false, mono = false;
};

// FreeType objects are not thread-safe; fonts are created and glyphs rendered
// rarely, so one lock covers all of it. The library lives while fonts do.
std::mutex gLock;
FT_Library gLibrary = nullptr;
int gLiveFonts = 0;
std::weak_ptr<const std::vector<uint8_t>> gFiles[2];
const char* const kFileNames[2] = {"LiberationSans", "DejaVuSans"};

int FileFor(const char* face) {
  std::string name;
  for (const char* p = face; p && *p; ++p) {
    if (*p != ' ') name += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
  }
  if (name == "verdana" || name == "dejavusans") return 1;
  return 0;  // "Arial", "Liberation Sans" and every other name
}

std::shared_ptr<const std::vector<uint8_t>> LoadFile(int index) {
  static std::once_flag registered;
  std::call_once(registered, QuarviRegisterEmbeddedFonts);
  if (auto kept = gFiles[index].lock()) return kept;
  auto bytes = std::make_shared<std::vector<uint8_t>>();
  if (!LoadModuleResource("FONT", kFileNames[index], bytes.get())) return nullptr;
  gFiles[index] = bytes;
  return bytes;
}

}  // namespace

LICE_SystemFont LICE_CreateSystemFont(const LICE_FontDesc& desc) {
  std::lock_guard<std::mutex> lock(gLock);
  std::shared_ptr<const std::vector<uint8_t>> file = LoadFile(FileFor(desc.face));
  if (!file || file->empty()) return nullptr;
  if (!gLibrary && FT_Init_FreeType(&gLibrary) != 0) {
    gLibrary = nullptr;
    return nullptr;
  }
  std::unique_ptr<PosixFont> font(new PosixFont);
  font->file = file;
  ++gLiveFonts;
  auto fail = [&]() -> LICE_SystemFont {
    if (font->face) FT_Done_Face(font->face);
    if (--gLiveFonts == 0) {
      FT_Done_FreeType(gLibrary);
      gLibrary = nullptr;
    }
    return nullptr;
  };
  if (FT_New_Memory_Face(gLibrary, file->data(), static_cast<FT_Long>(file->size()), 0, &font->face) != 0) {
    font->face = nullptr;
    return fail();
  }
  // A positive height is the cell height (ascent + descent), a negative one
  // the character height (the em), as the system's font creation takes them.
  const int height = std::min(kMaxGlyph, std::max(1, desc.height < 0 ? -desc.height : desc.height == 0 ? 12 : desc.height));
  FT_Size_RequestRec request;
  std::memset(&request, 0, sizeof(request));
  request.type = desc.height < 0 ? FT_SIZE_REQUEST_TYPE_NOMINAL : FT_SIZE_REQUEST_TYPE_REAL_DIM;
  request.height = static_cast<FT_Long>(height) * 64;
  if (FT_Request_Size(font->face, &request) != 0) return fail();
  const FT_Size_Metrics& m = font->face->size->metrics;
  font->ascent = static_cast<int>((FT_MulFix(font->face->ascender, m.y_scale) + 32) >> 6);
  const int descent = static_cast<int>((FT_MulFix(-font->face->descender, m.y_scale) + 32) >> 6);
  font->lineHeight = std::max(1, font->ascent + descent);
  font->synthBold = desc.weight >= 600 && !(font->face->style_flags & FT_STYLE_FLAG_BOLD);
  font->synthItalic = desc.italic && !(font->face->style_flags & FT_STYLE_FLAG_ITALIC);
  font->mono = desc.quality == 1;
  return font.release();
}

void LICE_DestroySystemFont(LICE_SystemFont handle) {
  if (!handle) return;
  PosixFont* font = static_cast<PosixFont*>(handle);
  std::lock_guard<std::mutex> lock(gLock);
  FT_Done_Face(font->face);
  delete font;
  if (--gLiveFonts == 0) {
    FT_Done_FreeType(gLibrary);
    gLibrary = nullptr;
  }
}

int LICE_SystemFontLineHeight(LICE_SystemFont handle) {
  return handle ? static_cast<PosixFont*>(handle)->lineHeight : 0;
}

bool LICE_RenderSystemGlyph(LICE_SystemFont handle, unsigned codepoint, LICE_GlyphImage* out) {
  if (!handle || !out) return false;
  PosixFont* font = static_cast<PosixFont*>(handle);
  std::lock_guard<std::mutex> lock(gLock);
  const FT_Int32 load = font->mono ? (FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) : (FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT);
  if (FT_Load_Char(font->face, codepoint, load) != 0) return false;
  FT_GlyphSlot slot = font->face->glyph;
  if (font->synthBold) FT_GlyphSlot_Embolden(slot);
  if (font->synthItalic) FT_GlyphSlot_Oblique(slot);
  if (FT_Render_Glyph(slot, font->mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return false;
  const FT_Bitmap& bm = slot->bitmap;
  out->advance = static_cast<int>((slot->advance.x + 32) >> 6);
  out->left = slot->bitmap_left;
  out->top = font->ascent - slot->bitmap_top;
  out->width = std::min(kMaxGlyph, static_cast<int>(bm.width));
  out->height = std::min(kMaxGlyph, static_cast<int>(bm.rows));
  out->coverage.assign(static_cast<size_t>(out->width) * static_cast<size_t>(out->height), 0);
  for (int y = 0; y < out->height; ++y) {
    // The pitch is negative for bitmaps stored bottom-up.
    const unsigned char* row = bm.buffer + static_cast<std::ptrdiff_t>(y) * bm.pitch;
    if (bm.pitch < 0) row = bm.buffer + static_cast<std::ptrdiff_t>(bm.rows - 1 - y) * -bm.pitch;
    uint8_t* dst = &out->coverage[static_cast<size_t>(y) * out->width];
    for (int x = 0; x < out->width; ++x) {
      if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
        dst[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
      } else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
        dst[x] = static_cast<uint8_t>(bm.num_grays == 256 ? row[x] : row[x] * 255 / std::max(1, bm.num_grays - 1));
      }
    }
  }
  return true;
}

bool LICE_SystemDrawText(LICE_SystemFont, LICE_IBitmap*, const char*, int, LICE_TextRect*, unsigned, LICE_pixel,
                         int, LICE_pixel, int*) {
  return false;  // no system text drawing: the glyph path draws everything
}

bool LICE_RunningUnderWine() { return false; }

void LICE_OverrideWineDetection(int) {}
