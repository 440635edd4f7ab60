// PNG decoding: every layout a PNG file can have comes out as the right
// pixels; missing, short, wrongly signed, truncated and damaged data gives no
// bitmap; written pictures read back.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "PngSamples.h"
#include "lice/lice.h"

namespace {

uint32_t Crc(const uint8_t* p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return ~c;
}

// Offset of the first chunk of the given type (its length field), or 0.
size_t FindChunk(const std::vector<uint8_t>& png, const char* type) {
  for (size_t pos = 8; pos + 12 <= png.size();) {
    const size_t len = (size_t{png[pos]} << 24) | (size_t{png[pos + 1]} << 16) | (size_t{png[pos + 2]} << 8) | png[pos + 3];
    if (std::string(reinterpret_cast<const char*>(&png[pos + 4]), 4) == type) return pos;
    pos += 12 + len;
  }
  return 0;
}

void FixCrc(std::vector<uint8_t>* png, size_t chunk) {
  const uint8_t* p = png->data() + chunk;
  const size_t len = (size_t{p[0]} << 24) | (size_t{p[1]} << 16) | (size_t{p[2]} << 8) | p[3];
  const uint32_t c = Crc(p + 4, len + 4);
  for (int i = 0; i < 4; ++i) (*png)[chunk + 8 + len + i] = static_cast<uint8_t>(c >> (24 - 8 * i));
}

std::unique_ptr<LICE_MemBitmap> Load(const std::vector<uint8_t>& bytes, size_t n) {
  // An exact-size copy: reading one byte too far is caught by the sanitizers.
  std::unique_ptr<uint8_t[]> exact(new uint8_t[n ? n : 1]);
  std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n), exact.get());
  return std::unique_ptr<LICE_MemBitmap>(LICE_LoadPNGFromMemory(exact.get(), n));
}

std::unique_ptr<LICE_MemBitmap> Load(const std::vector<uint8_t>& bytes) { return Load(bytes, bytes.size()); }

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    int c;
    while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
    std::fclose(f);
  }
  return bytes;
}

std::vector<LICE_pixel> Pixels(LICE_IBitmap* b) {
  std::vector<LICE_pixel> v;
  for (int y = 0; y < b->GetHeight(); ++y) {
    for (int x = 0; x < b->GetWidth(); ++x) v.push_back(b->GetBits()[y * b->GetRowSpan() + x]);
  }
  return v;
}

TEST(LicePng, EveryLayoutDecodesToItsPixels) {
  const std::vector<PngSample> samples = MakePngSamples();
  ASSERT_EQ(samples.size(), 17u);
  for (const PngSample& s : samples) {
    SCOPED_TRACE(s.name);
    std::unique_ptr<LICE_MemBitmap> b = Load(s.file);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetWidth(), s.width);
    EXPECT_EQ(b->GetHeight(), s.height);
    EXPECT_EQ(Pixels(b.get()), s.pixels);
  }
}

TEST(LicePng, BadDataGivesNoBitmap) {
  const std::vector<PngSample> samples = MakePngSamples();
  ASSERT_FALSE(samples.empty());
  const std::vector<uint8_t>& good = samples[14].file;  // rgba8
  ASSERT_NE(Load(good), nullptr);

  EXPECT_EQ(LICE_LoadPNGFromMemory(nullptr, 100), nullptr);
  EXPECT_EQ(LICE_LoadPNGFromResource(9999), nullptr);  // no such resource
  // Every cut, from nothing to one byte short of the end (IEND included).
  for (size_t n = 0; n < good.size(); ++n) EXPECT_EQ(Load(good, n), nullptr) << n << " bytes";

  std::vector<uint8_t> bad = good;
  bad[1] = 'Q';  // "\x89QNG"
  EXPECT_EQ(Load(bad), nullptr);

  const size_t ihdr = FindChunk(good, "IHDR"), idat = FindChunk(good, "IDAT");
  ASSERT_GT(ihdr, 0u);
  ASSERT_GT(idat, 0u);
  bad = good;
  bad[ihdr + 8 + 13] ^= 0x01;  // the header's CRC
  EXPECT_EQ(Load(bad), nullptr);
  bad = good;
  bad[idat + 10] ^= 0x40;  // image data, CRC not matching
  EXPECT_EQ(Load(bad), nullptr);
  bad = good;
  bad[idat + 8] = 0x7A;  // a zlib header naming no known method, CRC fixed up
  FixCrc(&bad, idat);
  EXPECT_EQ(Load(bad), nullptr);
  bad = good;
  bad[idat + 10] = 0x07;  // the first deflate block of a reserved type, CRC fixed up
  FixCrc(&bad, idat);
  EXPECT_EQ(Load(bad), nullptr);
  bad = good;
  bad[ihdr + 8 + 8] = 3;  // bit depth 3 does not exist
  FixCrc(&bad, ihdr);
  EXPECT_EQ(Load(bad), nullptr);
  // A header promising far more pixels than the data holds.
  bad = good;
  bad[ihdr + 8] = 0x00;
  bad[ihdr + 9] = 0x00;
  bad[ihdr + 10] = 0x3F;
  bad[ihdr + 11] = 0xFF;
  FixCrc(&bad, ihdr);
  EXPECT_EQ(Load(bad), nullptr);
}

TEST(LicePng, WrittenPicturesReadBack) {
  LICE_MemBitmap b(5, 3);
  for (int i = 0; i < 15; ++i) b.GetBits()[i / 5 * b.GetRowSpan() + i % 5] = 0x01020304u * static_cast<LICE_pixel>(i + 1);
  const std::string path = ::testing::TempDir() + "lice-written.png";
  ASSERT_TRUE(LICE_WritePNG(&b, path.c_str()));
  std::vector<uint8_t> bytes = ReadFile(path);
  std::remove(path.c_str());
  std::unique_ptr<LICE_MemBitmap> back = Load(bytes);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(Pixels(back.get()), Pixels(&b));
  // Without alpha: the same colours, opaque.
  ASSERT_TRUE(LICE_WritePNG(&b, path.c_str(), false));
  bytes = ReadFile(path);
  std::remove(path.c_str());
  back = Load(bytes);
  ASSERT_NE(back, nullptr);
  std::vector<LICE_pixel> opaque = Pixels(&b);
  for (LICE_pixel& p : opaque) p |= 0xFF000000u;
  EXPECT_EQ(Pixels(back.get()), opaque);

  LICE_MemBitmap empty;
  EXPECT_FALSE(LICE_WritePNG(&empty, path.c_str()));
  EXPECT_FALSE(LICE_WritePNG(&b, (::testing::TempDir() + "no-such-folder/x.png").c_str()));
}

// The editor images the build embedded: each present in resources/img is a
// resource of its id that decodes to the same pixels as the file.
TEST(LicePng, EditorImagesAreResources) {
  const char* const names[17] = {"back", "button_off", "button_on", "button_white_off", "button_white_on",
                                 "button_orange_off", "button_orange_on", "digits", "next", "knob",
                                 "knob_white", "learn", "led", "switch2", "switch3", "unlearn", "prev"};
  for (int id = 1; id <= 17; ++id) {
    const std::string path = std::string(QUARVI_SOURCE_DIR) + "/resources/img/" + names[id - 1] + ".png";
    const std::vector<uint8_t> bytes = ReadFile(path);
    if (bytes.empty()) continue;  // not drawn yet
    std::unique_ptr<LICE_MemBitmap> fromFile = Load(bytes);
    std::unique_ptr<LICE_MemBitmap> fromResource(LICE_LoadPNGFromResource(id));
    ASSERT_NE(fromFile, nullptr) << path;
    ASSERT_NE(fromResource, nullptr) << "resource " << id;
    EXPECT_EQ(Pixels(fromResource.get()), Pixels(fromFile.get())) << path;
  }
}

}  // namespace
