#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

// Growable little-endian byte buffer in which program states, banks and host
// chunks are written. Reads never throw: they return the next position or -1.
class ChunkBuffer {
 public:
  int Size() const { return static_cast<int>(mBytes.size()); }
  uint8_t* Bytes() { return mBytes.empty() ? nullptr : mBytes.data(); }
  const uint8_t* Bytes() const { return mBytes.empty() ? nullptr : mBytes.data(); }

  void Resize(int n) { mBytes.resize(n < 0 ? 0 : static_cast<size_t>(n)); }
  void Clear() { mBytes.clear(); }
  // Keeps the allocation so that repeated chunk requests do not reallocate.
  void Reserve(int n) { if (n > 0) mBytes.reserve(static_cast<size_t>(n)); }

  template <typename T>
  int Put(const T& value) {
    static_assert(std::is_trivially_copyable<T>::value, "raw values only");
    if (std::is_same<T, bool>::value) {
      uint8_t b = *reinterpret_cast<const bool*>(&value) ? 1 : 0;
      return PutBytes(&b, 1);
    }
    return PutBytes(&value, static_cast<int>(sizeof(T)));
  }

  int PutStr(const std::string& text) {
    int32_t len = static_cast<int32_t>(text.size());
    Put(len);
    return PutBytes(text.data(), len);
  }

  int PutBytes(const void* data, int n) {
    if (n > 0 && data) {
      const uint8_t* p = static_cast<const uint8_t*>(data);
      mBytes.insert(mBytes.end(), p, p + n);
    }
    return Size();
  }

  int PutChunk(const ChunkBuffer& other) { return PutBytes(other.Bytes(), other.Size()); }

  template <typename T>
  int Get(T* value, int pos) const {
    static_assert(std::is_trivially_copyable<T>::value, "raw values only");
    const int width = std::is_same<T, bool>::value ? 1 : static_cast<int>(sizeof(T));
    if (pos < 0 || static_cast<int64_t>(pos) + width > Size()) return -1;
    if (std::is_same<T, bool>::value) {
      *reinterpret_cast<bool*>(value) = mBytes[pos] != 0;
    } else {
      std::memcpy(value, mBytes.data() + pos, sizeof(T));
    }
    return pos + width;
  }

  // Reads a 32-bit length and that many bytes. A string that runs past the end
  // leaves text unchanged and returns a position beyond the end so that the
  // next read fails. A negative length is treated like a truncated read (-1):
  // it must never move the read position backwards.
  int GetStr(std::string* text, int pos) const {
    int32_t len = 0;
    int p = Get(&len, pos);
    if (p < 0) return -1;
    if (len < 0) return -1;
    const int64_t end = static_cast<int64_t>(p) + len;
    if (end > 0x7fffffff) return -1;
    if (end <= Size()) {
      text->assign(reinterpret_cast<const char*>(mBytes.data()) + p, static_cast<size_t>(len));
    }
    return static_cast<int>(end);
  }

  bool operator==(const ChunkBuffer& o) const { return mBytes == o.mBytes; }
  bool operator!=(const ChunkBuffer& o) const { return !(*this == o); }

 private:
  std::vector<uint8_t> mBytes;
};

// State header: the bytes "tffp" followed by the framework version.
constexpr int32_t kStateMagic = 0x70666674;
constexpr int32_t kFrameworkVersion = 0x00010000;

void InitChunkWithVersion(ChunkBuffer* chunk);
// Returns the framework version and advances pos past the header; data without
// the header reads as version 0 and leaves pos unchanged.
int ReadChunkVersion(const ChunkBuffer& chunk, int* pos);
