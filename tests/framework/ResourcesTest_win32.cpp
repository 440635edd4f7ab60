#include <gtest/gtest.h>

#include "platform/Module.h"
#include "platform/Resources.h"

// The test program is not a library: its entry routine never ran, so there is
// no module to look in and every lookup fails cleanly.
TEST(ModuleResources, WithoutModuleHandleNothingIsFound) {
  static const uint8_t blob[] = {1, 2, 3};
  RegisterEmbeddedResource("TESTDATA", "BLOB", blob, sizeof(blob));  // no registry here
  std::vector<uint8_t> out = {42};
  EXPECT_EQ(ModuleHandle(), nullptr);
  EXPECT_FALSE(LoadModuleResource("TESTDATA", "BLOB", &out));
  EXPECT_FALSE(LoadModuleResource("PROGDATA", "PROGINIT", &out));
  EXPECT_EQ(out, std::vector<uint8_t>{42});
  EXPECT_EQ(ModuleFolder(), "");
}
