#include <gtest/gtest.h>

#include "platform/DynamicLibrary.h"

TEST(DynamicLibrary, OpensLooksUpAndCloses) {
  DynamicLibrary lib;
  EXPECT_FALSE(lib.IsOpen());
  EXPECT_EQ(lib.Symbol("MTS_HasMaster"), nullptr);
  ASSERT_TRUE(lib.Open(QUARVI_FAKE_MTS_PARTIAL));
  EXPECT_TRUE(lib.IsOpen());
  EXPECT_NE(lib.Symbol("MTS_HasMaster"), nullptr);
  EXPECT_EQ(lib.Symbol("MTS_ShouldFilterNote"), nullptr);  // left out of this variant
  EXPECT_EQ(lib.Symbol(nullptr), nullptr);
  auto hasMaster = SymbolAs<bool (*)()>(lib, "MTS_HasMaster");
  ASSERT_NE(hasMaster, nullptr);
  EXPECT_FALSE(hasMaster());
  lib.Close();
  EXPECT_FALSE(lib.IsOpen());
  lib.Close();
}

TEST(DynamicLibrary, MissingLibraryFailsQuietly) {
  DynamicLibrary lib;
  EXPECT_FALSE(lib.Open("/nonexistent/quarvi-no-such-library"));
  EXPECT_FALSE(lib.Open(""));
  EXPECT_FALSE(lib.Open(nullptr));
  EXPECT_FALSE(lib.IsOpen());
  // A failed open drops the library held before.
  ASSERT_TRUE(lib.Open(QUARVI_FAKE_MTS_FULL));
  EXPECT_FALSE(lib.Open("/nonexistent/quarvi-no-such-library"));
  EXPECT_FALSE(lib.IsOpen());
}
