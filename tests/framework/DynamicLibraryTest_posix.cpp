#include <gtest/gtest.h>

#include "platform/DynamicLibrary.h"

TEST(DynamicLibrary, SystemPathsSearchLocalLibFirst) {
  auto paths = DynamicLibrary::SystemLibraryPaths("LIBMTS.dll", "libMTS.so");
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[0], "/usr/local/lib/libMTS.so");
  EXPECT_EQ(paths[1], "/usr/lib/libMTS.so");
}
