#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Module.h"
#include "platform/Resources.h"

namespace {
const uint8_t kBlobA[] = {1, 2, 3, 4, 5};
const uint8_t kBlobB[] = {9, 8};
}  // namespace

TEST(ModuleResources, RegisteredBlobsAreFoundByTypeAndName) {
  RegisterEmbeddedResource("TESTDATA", "BLOB", kBlobA, sizeof(kBlobA));
  RegisterEmbeddedResource("TESTDATA", "#3", kBlobB, sizeof(kBlobB));
  std::vector<uint8_t> out = {42};
  ASSERT_TRUE(LoadModuleResource("TESTDATA", "BLOB", &out));
  EXPECT_EQ(out, std::vector<uint8_t>(kBlobA, kBlobA + 5));
  ASSERT_TRUE(LoadModuleResource("TESTDATA", "#3", &out));
  EXPECT_EQ(out, std::vector<uint8_t>(kBlobB, kBlobB + 2));

  out = {42};
  EXPECT_FALSE(LoadModuleResource("TESTDATA", "blob", &out));  // names are exact
  EXPECT_FALSE(LoadModuleResource("OTHER", "BLOB", &out));
  EXPECT_FALSE(LoadModuleResource(nullptr, "BLOB", &out));
  EXPECT_FALSE(LoadModuleResource("TESTDATA", "BLOB", nullptr));
  EXPECT_EQ(out, std::vector<uint8_t>{42});

  RegisterEmbeddedResource("TESTDATA", "BLOB", kBlobB, sizeof(kBlobB));  // replaces
  ASSERT_TRUE(LoadModuleResource("TESTDATA", "BLOB", &out));
  EXPECT_EQ(out.size(), 2u);

  RegisterEmbeddedResource("TESTDATA", "EMPTY", kBlobA, 0);
  EXPECT_FALSE(LoadModuleResource("TESTDATA", "EMPTY", &out));
}

TEST(ModuleResources, ModuleFolderIsTheFolderOfThisBinary) {
  const std::string folder = ModuleFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_TRUE(std::filesystem::exists(folder + "/quarvi_tests"));
  EXPECT_EQ(ModuleHandle(), nullptr);
}
