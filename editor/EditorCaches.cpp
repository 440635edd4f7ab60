#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "IGraphics.h"
#include "lice/lice_text.h"

// The process-wide image and font caches. They own what they hold until the
// library is unloaded (static destruction), so an editor that closes, or an
// instance that goes away, never frees an image another instance still
// draws. Lookups are linear: there are 17 images and a handful of fonts.
namespace {

struct BitmapCache {
  std::mutex lock;
  std::vector<std::pair<int, LICE_IBitmap*>> entries;
  int loads = 0;
  ~BitmapCache() {
    for (auto& e : entries) delete e.second;
  }
};

struct FontKey {
  int size, orientation, style;
  std::string face;
  bool Matches(int sz, int o, int st, const char* f) const {
    return size == sz && orientation == o && style == st && face == (f ? f : "");
  }
};

struct FontCache {
  std::mutex lock;
  std::vector<std::pair<FontKey, LICE_CachedFont*>> entries;
  ~FontCache() {
    for (auto& e : entries) delete e.second;
  }
};

// Function-local statics: built on first use, from any thread, and torn down
// at unload after every static that was built before them.
BitmapCache& Bitmaps() {
  static BitmapCache cache;
  return cache;
}
FontCache& Fonts() {
  static FontCache cache;
  return cache;
}

}  // namespace

namespace EditorCaches {

LICE_IBitmap* FindOrLoadBitmap(int id, LICE_IBitmap* (*load)(void* ctx, int id), void* ctx) {
  BitmapCache& c = Bitmaps();
  std::lock_guard<std::mutex> g(c.lock);
  for (auto& e : c.entries) {
    if (e.first == id) return e.second;
  }
  // Decoding under the lock: two editors opening at once decode an image
  // once, and the cache is only ever filled in the first seconds.
  LICE_IBitmap* bitmap = load ? load(ctx, id) : nullptr;
  ++c.loads;
  c.entries.emplace_back(id, bitmap);
  return bitmap;
}

int BitmapLoads() {
  BitmapCache& c = Bitmaps();
  std::lock_guard<std::mutex> g(c.lock);
  return c.loads;
}

LICE_CachedFont* FindFont(int size, int orientation, int style, const char* face) {
  FontCache& c = Fonts();
  std::lock_guard<std::mutex> g(c.lock);
  for (auto& e : c.entries) {
    if (e.first.Matches(size, orientation, style, face)) return e.second;
  }
  return nullptr;
}

LICE_CachedFont* AddFont(int size, int orientation, int style, const char* face,
                         LICE_CachedFont* font) {
  FontCache& c = Fonts();
  std::lock_guard<std::mutex> g(c.lock);
  for (auto& e : c.entries) {
    if (e.first.Matches(size, orientation, style, face)) {
      delete font;
      return e.second;
    }
  }
  c.entries.push_back({FontKey{size, orientation, style, face ? face : ""}, font});
  return font;
}

std::mutex& TextLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace EditorCaches
