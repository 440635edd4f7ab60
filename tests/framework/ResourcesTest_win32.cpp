#include <gtest/gtest.h>

#include "platform/Module.h"
#include "platform/Resources.h"

// The test program is not a library: its entry routine never ran, so there is
// no recorded module handle and no module folder. Resources are then looked up
// in the program itself, which carries the factory bank.
TEST(ModuleResources, WithoutModuleHandleTheProgramIsSearched) {
  static const uint8_t blob[] = {1, 2, 3};
  RegisterEmbeddedResource("TESTDATA", "BLOB", blob, sizeof(blob));  // no registry here
  std::vector<uint8_t> out = {42};
  EXPECT_EQ(ModuleHandle(), nullptr);
  EXPECT_FALSE(LoadModuleResource("TESTDATA", "BLOB", &out));
  EXPECT_EQ(out, std::vector<uint8_t>{42});
  EXPECT_TRUE(LoadModuleResource("PROGDATA", "PROGINIT", &out));
  EXPECT_EQ(out.size(), 62770u);
  EXPECT_EQ(ModuleFolder(), "");
}
