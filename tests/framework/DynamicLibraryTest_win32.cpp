#include <gtest/gtest.h>

#include "platform/DynamicLibrary.h"

TEST(DynamicLibrary, SystemPathIsInTheSystemDirectory) {
  auto paths = DynamicLibrary::SystemLibraryPaths("LIBMTS.dll", "libMTS.so");
  ASSERT_EQ(paths.size(), 1u);
  const std::string suffix = "\\LIBMTS.dll";
  ASSERT_GT(paths[0].size(), suffix.size());
  EXPECT_EQ(paths[0].substr(paths[0].size() - suffix.size()), suffix);
  EXPECT_EQ(paths[0][1], ':');  // a drive letter
}
