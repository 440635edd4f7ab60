// Program files (fxp) and bank files (fxb): big-endian headers around the
// little-endian state chunks of the plug-in.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "IPlugBase.h"
#include "platform/Files.h"
#include "platform/Folders.h"

namespace {

constexpr int32_t FourCC(char a, char b, char c, char d) {
  return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint8_t>(a)) << 24) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 8) |
                              static_cast<uint32_t>(static_cast<uint8_t>(d)));
}

constexpr int32_t kChunkMagic = FourCC('C', 'c', 'n', 'K');
constexpr int32_t kProgramChunkMagic = FourCC('F', 'P', 'C', 'h');
constexpr int32_t kProgramParamsMagic = FourCC('F', 'x', 'C', 'k');
constexpr int32_t kBankChunkMagic = FourCC('F', 'B', 'C', 'h');
constexpr int32_t kBankParamsMagic = FourCC('F', 'x', 'B', 'k');

constexpr int kProgramHeaderSize = 56;  // up to and including the name
constexpr int kProgramNameSize = 28;
constexpr int kProgramChunkStart = 60;
constexpr int kBankReservedSize = 124;
constexpr int kBankHeaderSize = 156;    // up to the chunk length / first record
constexpr int kBankChunkStart = 160;

// Files larger than this are not ours; refusing them keeps every offset in int.
constexpr long kMaxFileSize = 1L << 30;

void PutBE(ChunkBuffer* c, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  const uint8_t b[4] = {static_cast<uint8_t>(u >> 24), static_cast<uint8_t>(u >> 16),
                        static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u)};
  c->PutBytes(b, 4);
}

// Like ChunkBuffer::Get: -1 and the value untouched when the bytes are missing.
int GetBE(const ChunkBuffer& c, int32_t* v, int pos) {
  uint8_t b[4];
  if (pos < 0 || static_cast<int64_t>(pos) + 4 > c.Size()) return -1;
  std::memcpy(b, c.Bytes() + pos, 4);
  *v = static_cast<int32_t>((static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
                            (static_cast<uint32_t>(b[2]) << 8) | static_cast<uint32_t>(b[3]));
  return pos + 4;
}

float FloatFromBE(const ChunkBuffer& c, int pos) {
  int32_t bits = 0;
  GetBE(c, &bits, pos);
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

// A normalized value of a parameter-list file, brought into 0..1: a damaged
// file or another program may store anything, and SetFromNormalized (whose
// callers pass 0..1) has no lower bound, so a value below 0 would leave the
// parameter under its minimum. A NaN is passed on; SetFromNormalized stores
// the minimum for it.
double NormalizedFromBE(const ChunkBuffer& c, int pos) {
  const float f = FloatFromBE(c, pos);
  if (std::isnan(f)) return f;
  return f < 0.0f ? 0.0 : (f > 1.0f ? 1.0 : static_cast<double>(f));
}

// The 28-byte name field; a field without a terminator gives 27 characters.
std::string ReadProgramName(const ChunkBuffer& c, int pos) {
  if (pos < 0 || static_cast<int64_t>(pos) + kProgramNameSize > c.Size()) return std::string();
  const char* p = reinterpret_cast<const char*>(c.Bytes() + pos);
  size_t n = 0;
  while (n < kProgramNameSize - 1 && p[n]) ++n;
  return std::string(p, n);
}

// The first n bytes of c, so that a state reader cannot look past a chunk's
// declared end.
ChunkBuffer Prefix(const ChunkBuffer& c, int n) {
  ChunkBuffer out;
  out.PutBytes(c.Bytes(), n);
  return out;
}

bool ReadWholeFile(const std::string& path, ChunkBuffer* out) {
  if (path.empty()) return false;
  FILE* f = OpenFileUtf8(path, "rb");
  if (!f) return false;
  out->Clear();
  uint8_t buf[16384];
  bool ok = true;
  for (;;) {
    const size_t n = std::fread(buf, 1, sizeof(buf), f);
    if (n > 0) {
      if (out->Size() + static_cast<long>(n) > kMaxFileSize) {
        ok = false;
        break;
      }
      out->PutBytes(buf, static_cast<int>(n));
    }
    if (n < sizeof(buf)) {
      if (std::ferror(f)) ok = false;
      break;
    }
  }
  std::fclose(f);
  return ok;
}

// Every file the instrument writes goes through the settings file's atomic
// replace: a unique temporary name, flushed to the disk, renamed over the
// target (the file behind a symbolic link, keeping its mode), so that a
// failed or interrupted save never destroys an existing file.
bool WriteWholeFile(const std::string& path, const ChunkBuffer& data) {
  if (path.empty()) return false;
  const char* bytes = reinterpret_cast<const char*>(data.Bytes());
  return ReplaceFileAtomically(path, bytes ? std::string(bytes, static_cast<size_t>(data.Size())) : std::string());
}

}  // namespace

// ---- building -------------------------------------------------------------------

bool IPlugBase::BuildProgramFile(ChunkBuffer* out) {
  std::lock_guard<std::recursive_mutex> g(mLock);
  if (!out) return false;
  ChunkBuffer state;
  InitChunkWithVersion(&state);
  SerializeState(&state);

  char name[kProgramNameSize] = {0};
  CopyText(name, GetPresetName(mCurrentPreset), kProgramNameSize);

  out->Clear();
  out->Reserve(kProgramChunkStart + state.Size());
  PutBE(out, kChunkMagic);
  // The whole file length; the published format would count 8 bytes fewer,
  // but this is what earlier versions wrote and readers ignore the field.
  PutBE(out, state.Size() + kProgramChunkStart);
  PutBE(out, kProgramChunkMagic);
  PutBE(out, 1);
  PutBE(out, mUniqueID);
  PutBE(out, GetEffectVersion(true));
  PutBE(out, NParams());
  out->PutBytes(name, kProgramNameSize);
  PutBE(out, state.Size());
  out->PutChunk(state);
  return true;
}

bool IPlugBase::BuildBankFile(ChunkBuffer* out) {
  std::lock_guard<std::recursive_mutex> g(mLock);
  if (!out) return false;
  ChunkBuffer bank;
  InitChunkWithVersion(&bank);
  SerializePresets(&bank);

  out->Clear();
  out->Reserve(kBankChunkStart + bank.Size());
  PutBE(out, kChunkMagic);
  PutBE(out, bank.Size() + kBankChunkStart);
  PutBE(out, kBankChunkMagic);
  PutBE(out, 2);
  PutBE(out, mUniqueID);
  PutBE(out, GetEffectVersion(true));
  PutBE(out, NPresets());
  PutBE(out, mCurrentPreset);
  const uint8_t reserved[kBankReservedSize] = {0};
  out->PutBytes(reserved, kBankReservedSize);
  PutBE(out, bank.Size());
  out->PutChunk(bank);
  return true;
}

bool IPlugBase::SaveProgramAsFXP(const std::string& path) {
  if (path.empty()) return false;
  ChunkBuffer file;
  if (!BuildProgramFile(&file)) return false;
  return WriteWholeFile(path, file);
}

bool IPlugBase::SaveBankAsFXB(const std::string& path) {
  if (path.empty()) return false;
  ChunkBuffer file;
  if (!BuildBankFile(&file)) return false;
  return WriteWholeFile(path, file);
}

// ---- loading ----------------------------------------------------------------------

bool IPlugBase::LoadProgramFromFXP(const std::string& path) {
  ChunkBuffer file;
  if (!ReadWholeFile(path, &file)) return false;
  return LoadProgramFromMemory(file);
}

bool IPlugBase::LoadBankFromFXB(const std::string& path) {
  ChunkBuffer file;
  if (!ReadWholeFile(path, &file)) return false;
  return LoadBankFromFile(file);
}

// Everything that can be checked is checked before anything changes: the
// header, the declared chunk length against the file, and for parameter
// lists that every value is present. The state itself can only be checked by
// reading it; when that fails the live state from before the call is put
// back and the program list is left alone.
bool IPlugBase::LoadProgramFromMemory(const ChunkBuffer& file) {
  std::lock_guard<std::recursive_mutex> g(mLock);
  if (file.Size() < kProgramHeaderSize) return false;
  int32_t chunkMagic = 0, formatMagic = 0, formatVersion = 0, id = 0;
  GetBE(file, &chunkMagic, 0);
  GetBE(file, &formatMagic, 8);
  GetBE(file, &formatVersion, 12);
  GetBE(file, &id, 16);
  if (chunkMagic != kChunkMagic || formatVersion != 1 || id != mUniqueID) return false;
  const std::string name = ReadProgramName(file, 28);

  if (formatMagic == kProgramChunkMagic && mDoesChunks) {
    int32_t length = -1;
    if (GetBE(file, &length, kProgramHeaderSize) < 0) return false;
    if (length < 0 || length > file.Size() - kProgramChunkStart) return false;
    const ChunkBuffer body = Prefix(file, kProgramChunkStart + length);
    int pos = kProgramChunkStart;
    ReadChunkVersion(body, &pos);
    if (pos < 0) return false;

    ChunkBuffer before;
    SerializeState(&before);
    const int end = UnserializeState(body, pos);
    if (end <= pos) {
      UnserializeState(before, 0);
      return false;
    }
  } else if (formatMagic == kProgramParamsMagic) {
    if (static_cast<int64_t>(kProgramHeaderSize) + 4 * static_cast<int64_t>(NParams()) > file.Size())
      return false;
    for (int i = 0; i < NParams(); ++i) {
      mParams[i].SetFromNormalized(NormalizedFromBE(file, kProgramHeaderSize + 4 * i));
    }
  } else {
    return false;
  }

  ModifyCurrentPreset(name.c_str());
  LoadProgramSlot(mCurrentPreset);
  NotifyHostProgramChanged();
  return true;
}

// Banks load completely or not at all. Opaque-chunk banks are read into the
// programs and, when the chunk turns out to be malformed half-way, the
// program list and the live state from before the call are restored and the
// result is false. Parameter-list banks are checked record by record before
// any of them is applied. Records beyond the program count are ignored
// rather than written over the current program. Whatever the outcome, the
// engine ends in step with the current program's parameters.
bool IPlugBase::LoadBankFromFile(const ChunkBuffer& file) {
  std::lock_guard<std::recursive_mutex> g(mLock);
  if (file.Size() < kBankHeaderSize) return false;
  int32_t chunkMagic = 0, formatMagic = 0, id = 0, count = 0, current = 0;
  GetBE(file, &chunkMagic, 0);
  GetBE(file, &formatMagic, 8);
  GetBE(file, &id, 16);
  GetBE(file, &count, 24);
  GetBE(file, &current, 28);
  if (chunkMagic != kChunkMagic || id != mUniqueID) return false;

  if (formatMagic == kBankChunkMagic && mDoesChunks) {
    int32_t length = -1;
    if (GetBE(file, &length, kBankHeaderSize) < 0) return false;
    if (length < 0 || length > file.Size() - kBankChunkStart) return false;
    const ChunkBuffer body = Prefix(file, kBankChunkStart + length);
    int pos = kBankChunkStart;
    ReadChunkVersion(body, &pos);
    if (pos < 0) return false;

    const LoadSnapshot before = TakeLoadSnapshot();
    if (UnserializePresets(body, pos) < 0) {
      RestoreLoadSnapshot(before);
      return false;
    }
    NotifyHostProgramChanged();
    return true;
  }

  if (formatMagic == kBankParamsMagic) {
    const int n = NParams();
    const int64_t recordSize = kProgramHeaderSize + 4 * static_cast<int64_t>(n);
    const int programs = count < 0 ? 0 : (count < NPresets() ? count : NPresets());
    for (int i = 0; i < programs; ++i) {
      const int64_t pos = kBankHeaderSize + i * recordSize;
      if (pos + recordSize > file.Size()) return false;
      int32_t magic = 0, format = 0, version = 0, paramCount = 0;
      GetBE(file, &magic, static_cast<int>(pos));
      GetBE(file, &format, static_cast<int>(pos) + 8);
      GetBE(file, &version, static_cast<int>(pos) + 12);
      GetBE(file, &paramCount, static_cast<int>(pos) + 24);
      if (magic != kChunkMagic || format != kProgramParamsMagic || version != 1 || paramCount != n)
        return false;
    }
    const int previous = mCurrentPreset;
    for (int i = 0; i < programs; ++i) {
      const int pos = kBankHeaderSize + static_cast<int>(i * recordSize);
      const std::string name = ReadProgramName(file, pos + 28);
      // A slot whose stored state cannot be read still receives this record.
      if (!LoadProgramSlot(i)) mCurrentPreset = i;
      for (int k = 0; k < n; ++k) {
        mParams[k].SetFromNormalized(NormalizedFromBE(file, pos + kProgramHeaderSize + 4 * k));
      }
      ModifyCurrentPreset(name.c_str());
    }
    // The values above went into the parameters only; loading a slot brings
    // the engine to them. A current-program field that names no program
    // keeps the program that was current before the load.
    if (!LoadProgramSlot(current)) LoadProgramSlot(previous);
    NotifyHostProgramChanged();
    return true;
  }
  return false;
}

// The factory image: the header is trusted and skipped unchecked, but never
// read past. False when the image is too short or its chunk ends early.
bool IPlugBase::LoadBankFromMemory(const uint8_t* bytes, int length) {
  std::lock_guard<std::recursive_mutex> g(mLock);
  if (!bytes || length < kBankChunkStart) return false;
  ChunkBuffer image;
  image.PutBytes(bytes, length);
  int pos = kBankChunkStart;
  ReadChunkVersion(image, &pos);
  const int end = UnserializePresets(image, pos);
  NotifyHostProgramChanged();
  return end >= 0;
}
