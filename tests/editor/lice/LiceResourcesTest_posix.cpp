// Without module resources, the PNG resources are found through the
// embedded-resource registry, with the same checks as any other PNG data.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "PngSamples.h"
#include "lice/lice.h"
#include "platform/Resources.h"

namespace {

TEST(LiceResources, PngResourcesComeFromTheRegistry) {
  // The registry keeps pointers: the bytes must outlive the test.
  static const std::vector<PngSample> samples = MakePngSamples();
  ASSERT_FALSE(samples.empty());
  static const std::vector<uint8_t> good = samples[14].file;
  static const std::vector<uint8_t> shortData(good.begin(), good.begin() + 7);
  static std::vector<uint8_t> wrongSignature = good;
  wrongSignature[0] = 'P';
  RegisterEmbeddedResource("PNG", "#901", good.data(), good.size());
  RegisterEmbeddedResource("PNG", "#902", shortData.data(), shortData.size());
  RegisterEmbeddedResource("PNG", "#903", wrongSignature.data(), wrongSignature.size());
  RegisterEmbeddedResource("PNG", "#904", good.data(), 0);

  std::unique_ptr<LICE_MemBitmap> b(LICE_LoadPNGFromResource(901));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetWidth(), samples[14].width);
  EXPECT_EQ(LICE_LoadPNGFromResource(902), nullptr);
  EXPECT_EQ(LICE_LoadPNGFromResource(903), nullptr);
  EXPECT_EQ(LICE_LoadPNGFromResource(904), nullptr);
  EXPECT_EQ(LICE_LoadPNGFromResource(905), nullptr);
  EXPECT_EQ(LICE_LoadPNGFromResource(-1), nullptr);
}

}  // namespace
