#include "platform/registry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "fixtures/temp_dir.h"

namespace pixmeta::platform {
namespace {

using test::ReadBytes;
using test::TempDir;
using ::testing::HasSubstr;

TEST(FolderRegistry, ValuesAndNamesOfAnyBytesComeBackAsWritten) {
  TempDir dir;
  const std::vector<std::pair<std::string, std::string>> values = {
      {"", "\"C:\\x\" -o=\"%1\\_a.kml\" \"%1\\*.jpg\""},
      {"MUIVerb", "line\r\nbreaks\nand = signs"},
      {"with/slash", std::string("nul\0byte\xFF\x80", 11)},
      {"..", "dots"},
      {".", "dot"},
      {"@", "at"},
      {"%41", "percent"},
      {"A", "not the same as %41"},
      {"a\\b", "backslash"},
      {"empty", ""},
  };
  {
    std::unique_ptr<Registry> registry = OpenFolderRegistry(dir.path());
    ASSERT_TRUE(registry->OpenKey("\\Odd\\../..\\%2F\\@key", true));
    for (const auto& [name, value] : values) registry->WriteString(name, value);
    registry->WriteString("MUIVerb", "overwritten, shorter");
  }
  std::unique_ptr<Registry> registry = OpenFolderRegistry(dir.path());
  registry->SetRootKey(RegistryRoot::ClassesRoot);
  ASSERT_TRUE(registry->OpenKey("Odd\\\\../..\\%2F\\@key\\", false));
  for (const auto& [name, value] : values) {
    if (name != "MUIVerb") {
      EXPECT_EQ(registry->ReadString(name), value) << name;
    }
  }
  EXPECT_EQ(registry->ReadString("MUIVerb"), "overwritten, shorter");
  EXPECT_EQ(registry->ReadString("absent"), "");
  // Everything stays inside the registry's own folder.
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().filename(), "pixmeta");
  }
  EXPECT_FALSE(registry->OpenKey("\\Odd\\..", false));
  EXPECT_FALSE(registry->OpenKey("\\odd", false));  // letter case counts
}

TEST(FolderRegistry, DeletingAKeyTakesItsSubkeysAndNothingElse) {
  TempDir dir;
  std::unique_ptr<Registry> registry = OpenFolderRegistry(dir.path());
  ASSERT_TRUE(registry->OpenKey("\\A\\B\\C\\D", true));
  registry->WriteString("v", "deep");
  ASSERT_TRUE(registry->OpenKey("\\A\\B", true));
  registry->WriteString("v", "middle");
  ASSERT_TRUE(registry->OpenKey("\\A", true));
  registry->WriteString("v", "top");
  ASSERT_TRUE(registry->OpenKey("\\A\\Bee", true));

  EXPECT_TRUE(registry->DeleteKey("\\A\\B"));
  EXPECT_FALSE(registry->OpenKey("\\A\\B\\C\\D", false));
  EXPECT_FALSE(registry->OpenKey("\\A\\B", false));
  EXPECT_TRUE(registry->OpenKey("\\A\\Bee", false));
  ASSERT_TRUE(registry->OpenKey("\\A", false));
  EXPECT_EQ(registry->ReadString("v"), "top");

  EXPECT_FALSE(registry->DeleteKey("\\A\\B"));  // gone already
  EXPECT_FALSE(registry->DeleteKey("\\"));      // the root stays
  EXPECT_TRUE(registry->OpenKey("\\A", false));
}

TEST(FolderRegistry, KeysThatCannotBeMadeFailToOpenAndValuesWithoutAKeyRaise) {
  TempDir dir;
  std::unique_ptr<Registry> registry = OpenFolderRegistry(dir.path());
  EXPECT_FALSE(registry->OpenKey("\\Missing", false));
  EXPECT_THROW(registry->WriteString("v", "x"), RegistryError);
  EXPECT_THROW(registry->ReadString("v"), RegistryError);

  // A data folder that is a file: nothing can be created below it, not even by root.
  const std::string file = dir.Write("plain-file", "x");
  std::unique_ptr<Registry> blocked = OpenFolderRegistry(file + "/");
  EXPECT_FALSE(blocked->OpenKey("\\Directory\\shell\\Verb", true));
  EXPECT_FALSE(blocked->DeleteKey("\\Directory"));
  EXPECT_FALSE(OpenFolderRegistry("")->OpenKey("\\Any", true));

  // A value that is in the way (a folder where its file belongs) raises with the reason.
  ASSERT_TRUE(registry->OpenKey("\\K", true));
  std::filesystem::create_directories(dir.path() + "pixmeta/registry/HKEY_CLASSES_ROOT/K/@v/x");
  try {
    registry->WriteString("v", "x");
    ADD_FAILURE() << "the write did not raise";
  } catch (const RegistryError& error) {
    EXPECT_THAT(error.what(), HasSubstr("\"v\""));
  }
  EXPECT_THROW(registry->ReadString("v"), RegistryError);
}

TEST(FolderRegistry, ShellVerbsWithACommandAreOnTheFileManagersMenusUntilDeleted) {
  TempDir dir;
  const std::string script = dir.path() + "nautilus/scripts/Show it";
  const std::string nemo = dir.path() + "nemo/actions/pixmeta-My_20verb.nemo_action";
  std::unique_ptr<Registry> registry = OpenFolderRegistry(dir.path());
  ASSERT_TRUE(registry->OpenKey("\\Directory\\shell\\My verb", true));
  registry->WriteString("MUIVerb", "Show it");
  EXPECT_FALSE(std::filesystem::exists(script));  // no command yet
  ASSERT_TRUE(registry->OpenKey("\\Directory\\shell\\My verb\\command", true));
  registry->WriteString("", "\"/opt/x\" \"%1\"");
  EXPECT_THAT(ReadBytes(script), HasSubstr("'/opt/x' \"$1\""));
  EXPECT_THAT(ReadBytes(nemo), HasSubstr("Name=Show it\n"));

  // A new label renames the script; a file of someone else's is never replaced.
  dir.Write("nautilus/scripts/Mine", "#!/bin/sh\necho mine\n");
  ASSERT_TRUE(registry->OpenKey("\\Directory\\shell\\My verb", false));
  EXPECT_THROW(registry->WriteString("MUIVerb", "Mine"), RegistryError);
  EXPECT_EQ(ReadBytes(dir.path() + "nautilus/scripts/Mine"), "#!/bin/sh\necho mine\n");
  EXPECT_FALSE(std::filesystem::exists(script));

  EXPECT_TRUE(registry->DeleteKey("\\Directory"));
  EXPECT_FALSE(std::filesystem::exists(nemo));
  EXPECT_TRUE(std::filesystem::exists(dir.path() + "nautilus/scripts/Mine"));
}

}  // namespace
}  // namespace pixmeta::platform
