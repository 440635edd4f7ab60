#pragma once
#include <cstddef>
#include <cstdint>

// The editor's bitmap layer: 32-bit bitmaps, blits, lines and fills with the
// few blend modes the editor draws with, and PNG decoding.
//
// Pixel format: A<<24 | R<<16 | G<<8 | B, i.e. the bytes B, G, R, A in memory,
// colour channels not premultiplied. Row 0 is the top row for every bitmap
// here.

typedef uint32_t LICE_pixel;

constexpr LICE_pixel LICE_RGBA(int r, int g, int b, int a) {
  return (static_cast<LICE_pixel>(a & 0xff) << 24) | (static_cast<LICE_pixel>(r & 0xff) << 16) |
         (static_cast<LICE_pixel>(g & 0xff) << 8) | static_cast<LICE_pixel>(b & 0xff);
}
constexpr int LICE_GETA(LICE_pixel p) { return static_cast<int>((p >> 24) & 0xff); }
constexpr int LICE_GETR(LICE_pixel p) { return static_cast<int>((p >> 16) & 0xff); }
constexpr int LICE_GETG(LICE_pixel p) { return static_cast<int>((p >> 8) & 0xff); }
constexpr int LICE_GETB(LICE_pixel p) { return static_cast<int>(p & 0xff); }

// Drawing modes: the low byte picks the blend, LICE_BLIT_USE_ALPHA weighs
// each source pixel by its own alpha as well.
constexpr int LICE_BLIT_MODE_COPY = 0;
constexpr int LICE_BLIT_MODE_ADD = 1;
constexpr int LICE_BLIT_MODE_DODGE = 2;
constexpr int LICE_BLIT_MODE_MUL = 3;
constexpr int LICE_BLIT_MODE_MASK = 0xff;
constexpr int LICE_BLIT_USE_ALPHA = 0x10000;

// A source rectangle: origin and size.
struct LICE_Rect {
  int x = 0, y = 0, w = 0, h = 0;
};

class LICE_IBitmap {
 public:
  virtual ~LICE_IBitmap() = default;
  virtual LICE_pixel* GetBits() = 0;  // first pixel of the top row, or null
  virtual int GetWidth() = 0;
  virtual int GetHeight() = 0;
  virtual int GetRowSpan() = 0;       // pixels from one row to the next (>= width)
  virtual bool IsFlipped() { return false; }
  virtual bool Resize(int w, int h) = 0;  // true when the size changed
  // The system drawing context that draws into these pixels (a memory HDC on
  // Windows), or null where there is none.
  virtual void* GetDC() { return nullptr; }
  virtual intptr_t Extended(int, void*) { return 0; }
};

// Plain memory. The pixel pointer is 64-byte aligned; rows are padded to a
// multiple of 4 pixels; growing reserves a quarter more than asked so that a
// bitmap resized a little at a time is not reallocated every time.
class LICE_MemBitmap : public LICE_IBitmap {
 public:
  explicit LICE_MemBitmap(int w = 0, int h = 0);
  ~LICE_MemBitmap() override;
  LICE_MemBitmap(const LICE_MemBitmap&) = delete;
  LICE_MemBitmap& operator=(const LICE_MemBitmap&) = delete;

  LICE_pixel* GetBits() override { return mBits; }
  int GetWidth() override { return mWidth; }
  int GetHeight() override { return mHeight; }
  int GetRowSpan() override { return (mWidth + kRowAlignMask) & ~kRowAlignMask; }
  bool Resize(int w, int h) override;

  size_t AllocatedBytes() const { return mAllocated; }

 private:
  static constexpr int kRowAlignMask = 3;
  unsigned char* mFence = nullptr;  // the allocation; mBits points into it
  LICE_pixel* mBits = nullptr;
  int mWidth = 0, mHeight = 0;
  size_t mAllocated = 0;            // usable bytes from mBits on
};

// A bitmap the system can draw into as well: on Windows a top-down 32-bit
// DIB section selected into its own memory device context; elsewhere plain
// memory with no device context. It keeps its storage when it shrinks, so the
// editor's back buffer is never reallocated for a smaller size.
class LICE_SysBitmap : public LICE_IBitmap {
 public:
  explicit LICE_SysBitmap(int w = 0, int h = 0);
  ~LICE_SysBitmap() override;
  LICE_SysBitmap(const LICE_SysBitmap&) = delete;
  LICE_SysBitmap& operator=(const LICE_SysBitmap&) = delete;

  LICE_pixel* GetBits() override { return mBits; }
  int GetWidth() override { return mWidth; }
  int GetHeight() override { return mHeight; }
  int GetRowSpan() override { return mAllocWidth; }
  bool Resize(int w, int h) override;
  void* GetDC() override { return mDC; }

  int AllocatedWidth() const { return mAllocWidth; }
  int AllocatedHeight() const { return mAllocHeight; }

 private:
  // Platform part (LiceSysBitmap_win32.cpp / _posix.cpp): (re)creates the
  // storage for at least w x h pixels, w a multiple of 4; false leaves the
  // bitmap without pixels.
  bool AllocateStorage(int w, int h);
  void ReleaseStorage();
  void CreateContext();
  void DestroyContext();

  void* mDC = nullptr;         // memory device context (Windows), else null
  int mWidth = 0, mHeight = 0;
  LICE_pixel* mBits = nullptr;
  int mAllocWidth = 0, mAllocHeight = 0;
  void* mDIB = nullptr;        // the DIB section (Windows) or the memory block
  void* mOldBitmap = nullptr;  // what the context held before the DIB
};

// Blits src (the part srcRect, or all of it when null) to (dstX, dstY) of dest,
// clipped to both bitmaps. weight 0, a missing bitmap, no pixels or a zero
// size draw nothing.
void LICE_Blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstX, int dstY, const LICE_Rect* srcRect,
               float weight, int mode);
// A one-pixel line, not anti-aliased, clipped to dest. Only the low byte of
// mode counts; the colour's alpha does not scale the weight.
void LICE_Line(LICE_IBitmap* dest, int x1, int y1, int x2, int y2, LICE_pixel color, float weight,
               int mode);
// With LICE_BLIT_USE_ALPHA the weight is first scaled by the colour's alpha.
void LICE_FillRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel color, float weight,
                   int mode);

// PNG decoding (libpng). Palette, grey, transparency and 16-bit images are
// expanded to 8-bit RGBA; images without alpha come out opaque. Anything
// missing, short, wrongly signed, truncated or damaged gives null.
LICE_MemBitmap* LICE_LoadPNGFromMemory(const void* data, size_t length);
// The PNG resource with this numeric id (type "PNG") of the plug-in module.
LICE_MemBitmap* LICE_LoadPNGFromResource(int id);
// Writes a bitmap as an RGBA PNG file (UTF-8 path), or with alpha = false as
// an RGB one: the back buffer's alpha bytes mean nothing on screen (halving
// blends leave 254 in them), so pictures of the editor are written opaque.
// False on failure (a partly written file is removed).
bool LICE_WritePNG(LICE_IBitmap* bitmap, const char* path, bool alpha = true);
