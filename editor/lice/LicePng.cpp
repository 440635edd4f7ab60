// PNG images through libpng: the editor's images from the module's resources
// or from memory, and pictures of the editor written to files.
//
// libpng reports errors by calling an error function that must not return.
// Ours jumps back (longjmp) into the one function that called setjmp. That
// function and the libpng calls below it hold no object with a destructor:
// everything that must be freed after a failure lives in a plain state
// record owned by the caller, which cleans up whichever way the decoding
// ended. No C++ exception ever passes through libpng.
#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "LiceSystem.h"
#include "lice.h"
#include "platform/Folders.h"
#include "platform/Resources.h"

namespace {

// Larger images are refused before anything is allocated: the editor's
// largest image is its 1072 x 680 background, and a damaged header must not
// make us reserve gigabytes.
constexpr png_uint_32 kMaxSide = 16384;
constexpr uint64_t kMaxPixels = uint64_t{1} << 24;

// Ancillary chunks the loader never needs; libpng skips them unread.
constexpr png_byte kIgnoredChunks[] = {
    'i', 'C', 'C', 'P', '\0', 'i', 'T', 'X', 't', '\0', 's', 'P', 'L', 'T', '\0',
    't', 'E', 'X', 't', '\0', 'z', 'T', 'X', 't', '\0', 'e', 'X', 'I', 'f', '\0',
};

struct ReadState {
  const uint8_t* data = nullptr;
  size_t size = 0, pos = 0;
  std::jmp_buf jump;
  LICE_MemBitmap* bitmap = nullptr;  // owned by the caller until handed out
};

// The encoded bytes collect in a malloc'd block (growing it cannot throw
// through libpng's C frames); the file is replaced with them at once.
struct WriteState {
  unsigned char* bytes = nullptr;  // malloc'd; freed by the caller
  size_t size = 0, capacity = 0;
  std::jmp_buf jump;
  png_bytep row = nullptr;  // malloc'd; freed by the caller
};

void OnReadError(png_structp png, png_const_charp) {
  std::longjmp(static_cast<ReadState*>(png_get_error_ptr(png))->jump, 1);
}

void OnWriteError(png_structp png, png_const_charp) {
  std::longjmp(static_cast<WriteState*>(png_get_error_ptr(png))->jump, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnRead(png_structp png, png_bytep out, png_size_t n) {
  ReadState* st = static_cast<ReadState*>(png_get_io_ptr(png));
  if (n > st->size - st->pos) png_error(png, "truncated");
  std::memcpy(out, st->data + st->pos, n);
  st->pos += n;
}

void OnWrite(png_structp png, png_bytep data, png_size_t n) {
  WriteState* st = static_cast<WriteState*>(png_get_io_ptr(png));
  if (n > st->capacity - st->size) {
    size_t capacity = st->capacity ? st->capacity : 65536;
    while (capacity - st->size < n) {
      if (capacity > SIZE_MAX / 2) png_error(png, "too large");
      capacity *= 2;
    }
    auto* grown = static_cast<unsigned char*>(std::realloc(st->bytes, capacity));
    if (!grown) png_error(png, "out of memory");
    st->bytes = grown;
    st->capacity = capacity;
  }
  std::memcpy(st->bytes + st->size, data, n);
  st->size += n;
}

void OnFlush(png_structp) {}

// The decoding proper. After a libpng error the jump lands in the setjmp
// below and the function returns false; st->bitmap may then hold a
// half-decoded bitmap, which the caller frees.
bool Decode(ReadState* st, png_structp png, png_infop info) {
  if (setjmp(st->jump)) return false;
  png_set_read_fn(png, st, OnRead);
  png_set_user_limits(png, kMaxSide, kMaxSide);
  png_set_chunk_malloc_max(png, 8u << 20);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks,
                              static_cast<int>(sizeof(kIgnoredChunks) / 5));
  png_read_info(png, info);

  const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  if (w == 0 || h == 0 || static_cast<uint64_t>(w) * h > kMaxPixels) return false;
  const int color = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;

  // Everything becomes 8-bit R, G, B, A.
  if (color == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (color == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (trns) png_set_tRNS_to_alpha(png);
  if (depth == 16) png_set_strip_16(png);
  if (color == PNG_COLOR_TYPE_GRAY || color == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  if (!(color & PNG_COLOR_MASK_ALPHA) && !trns) png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<size_t>(w) * 4 || png_get_bit_depth(png, info) != 8 ||
      png_get_channels(png, info) != 4) {
    return false;
  }

  st->bitmap = new (std::nothrow) LICE_MemBitmap(static_cast<int>(w), static_cast<int>(h));
  if (!st->bitmap || !st->bitmap->GetBits() || st->bitmap->GetWidth() != static_cast<int>(w)) return false;
  LICE_pixel* bits = st->bitmap->GetBits();
  const size_t span = static_cast<size_t>(st->bitmap->GetRowSpan());
  // Interlaced images are read pass by pass into the same rows, which keep
  // what the earlier passes put there.
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < h; ++y) png_read_row(png, reinterpret_cast<png_bytep>(bits + y * span), nullptr);
  }
  png_read_end(png, nullptr);

  // R, G, B, A bytes into pixels.
  for (png_uint_32 y = 0; y < h; ++y) {
    LICE_pixel* row = bits + y * span;
    const png_byte* b = reinterpret_cast<const png_byte*>(row);
    for (png_uint_32 x = 0; x < w; ++x, b += 4) row[x] = LICE_RGBA(b[0], b[1], b[2], b[3]);
  }
  return true;
}

bool Encode(WriteState* st, png_structp png, png_infop info, LICE_IBitmap* bitmap, bool alpha) {
  if (setjmp(st->jump)) return false;
  const int w = bitmap->GetWidth(), h = bitmap->GetHeight();
  png_set_write_fn(png, st, OnWrite, OnFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8,
               alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const LICE_pixel* bits = bitmap->GetBits();
  const size_t span = static_cast<size_t>(bitmap->GetRowSpan());
  for (int y = 0; y < h; ++y) {
    const LICE_pixel* src = bits + static_cast<size_t>(y) * span;
    png_bytep out = st->row;
    for (int x = 0; x < w; ++x) {
      *out++ = static_cast<png_byte>(LICE_GETR(src[x]));
      *out++ = static_cast<png_byte>(LICE_GETG(src[x]));
      *out++ = static_cast<png_byte>(LICE_GETB(src[x]));
      if (alpha) *out++ = static_cast<png_byte>(LICE_GETA(src[x]));
    }
    png_write_row(png, st->row);
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

LICE_MemBitmap* LICE_LoadPNGFromMemory(const void* data, size_t length) {
  if (!data || length < 8) return nullptr;
  if (png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8) != 0) return nullptr;
  // The error functions are installed after creation: a failure inside
  // png_create_read_struct is handled by libpng itself.
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return nullptr;
  png_infop info = png_create_info_struct(png);
  ReadState st;
  st.data = static_cast<const uint8_t*>(data);
  st.size = length;
  png_set_error_fn(png, &st, OnReadError, OnWarning);
  const bool ok = info && Decode(&st, png, info);
  png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  if (!ok) {
    delete st.bitmap;
    return nullptr;
  }
  return st.bitmap;
}

LICE_MemBitmap* LICE_LoadPNGFromResource(int id) {
  LICE_RegisterEmbeddedImages();
  char name[16];
  std::snprintf(name, sizeof(name), "#%d", id);
  std::vector<uint8_t> bytes;
  if (!LoadModuleResource("PNG", name, &bytes)) return nullptr;
  return LICE_LoadPNGFromMemory(bytes.data(), bytes.size());
}

bool LICE_WritePNG(LICE_IBitmap* bitmap, const char* path, bool alpha) {
  if (!bitmap || !path || !bitmap->GetBits() || bitmap->GetWidth() <= 0 || bitmap->GetHeight() <= 0) return false;
  WriteState st;
  st.row = static_cast<png_bytep>(std::malloc(static_cast<size_t>(bitmap->GetWidth()) * 4));
  png_structp png = st.row ? png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr) : nullptr;
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  if (png && info) {
    png_set_error_fn(png, &st, OnWriteError, OnWarning);
    ok = Encode(&st, png, info, bitmap, alpha);
  }
  if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
  std::free(st.row);
  // Like every file the instrument writes: the old picture stays until the
  // new one is complete.
  ok = ok && ReplaceFileAtomically(path, std::string(reinterpret_cast<const char*>(st.bytes), st.size));
  std::free(st.bytes);
  return ok;
}
