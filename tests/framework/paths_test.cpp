// Folder answers and resource lookup, with HOME, XDG folders and the module's bundle
// pointed into a temporary folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "framework/Paths.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr const char* kOwnId = "com.Brightloom.vst3.SpectraPoise";

class PathsTest : public ::testing::Test {
protected:
  void SetUp() override {
    saveEnv("HOME");
    saveEnv("XDG_DATA_HOME");
    saveEnv("XDG_DATA_DIRS");
    saveEnv("XDG_CONFIG_HOME");
    setenv("HOME", (dir_.path() / "home").c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    // A copied bundle: <tmp>/plugins/SpectraPoise.vst3/Contents/{x86_64-linux,Resources}
    bundle_ = dir_.path() / "plugins" / "SpectraPoise.vst3";
    sp::test::writeFile(bundle_ / "Contents/x86_64-linux/SpectraPoise.so", "not really a module");
    sp::test::writeFile(bundle_ / "Contents/Resources/Roboto-Regular.ttf", "font");
    plugkit::SetModuleFilePathForTesting((bundle_ / "Contents/x86_64-linux/SpectraPoise.so").c_str());
    plugkit::RegisterOwnBundle(kOwnId);
  }
  void TearDown() override {
    plugkit::SetModuleFilePathForTesting("");
    plugkit::RegisterOwnBundle("");
    for (auto& [name, value] : saved_) {
      if (value.first)
        setenv(name.c_str(), value.second.c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  }
  void saveEnv(const char* name) {
    const char* v = std::getenv(name);
    saved_.push_back({name, {v != nullptr, v ? v : ""}});
  }
  std::string home() const { return (dir_.path() / "home").string(); }

  sp::test::TempDir dir_;
  std::filesystem::path bundle_;
  std::vector<std::pair<std::string, std::pair<bool, std::string>>> saved_;
};

TEST_F(PathsTest, AppSupportFollowsXdgDataHomeWithoutTrailingSlash) {
  StringBuf path;
  setenv("XDG_DATA_HOME", "/srv/data/", 1);
  plugkit::AppSupportPath(path, false);
  EXPECT_STREQ(path.Get(), "/srv/data");
  setenv("XDG_DATA_HOME", "relative/ignored", 1);
  plugkit::AppSupportPath(path, false);
  EXPECT_EQ(std::string(path.Get()), home() + "/.local/share");
  unsetenv("XDG_DATA_HOME");
  plugkit::AppSupportPath(path);
  EXPECT_EQ(std::string(path.Get()), home() + "/.local/share");
  setenv("XDG_DATA_DIRS", "/opt/share/:/usr/share", 1);
  plugkit::AppSupportPath(path, true);
  EXPECT_STREQ(path.Get(), "/opt/share");
  unsetenv("XDG_DATA_DIRS");
  plugkit::AppSupportPath(path, true);
  EXPECT_STREQ(path.Get(), "/usr/local/share");
}

TEST_F(PathsTest, PresetAndIniFolders) {
  StringBuf path;
  plugkit::VST3PresetsPath(path, "Brightloom", "SpectraPoise", false);
  EXPECT_EQ(std::string(path.Get()), home() + "/.vst3/presets/Brightloom/SpectraPoise/");
  plugkit::VST3PresetsPath(path, "Brightloom", "SpectraPoise", true);
  EXPECT_STREQ(path.Get(), "/usr/share/vst3/presets/Brightloom/SpectraPoise/");
  unsetenv("XDG_DATA_HOME");
  plugkit::INIPath(path, "SpectraPoise");
  EXPECT_EQ(std::string(path.Get()), home() + "/.local/share/SpectraPoise");
}

TEST_F(PathsTest, UserFoldersFromUserDirsFile) {
  StringBuf path;
  plugkit::DesktopPath(path);
  EXPECT_EQ(std::string(path.Get()), home() + "/Desktop");
  sp::test::writeFile(dir_.path() / "home/.config/user-dirs.dirs",
                      "# comment\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\nXDG_MUSIC_DIR=\"/mnt/music/\"\n");
  plugkit::DesktopPath(path);
  EXPECT_EQ(std::string(path.Get()), home() + "/Schreibtisch");
  plugkit::SharedMusicPath(path);
  EXPECT_STREQ(path.Get(), "/mnt/music");
  plugkit::UserHomePath(path);
  EXPECT_EQ(std::string(path.Get()), home());
}

TEST_F(PathsTest, OwnBundleFoldersAndOthersMissing) {
  StringBuf path("unchanged");
  plugkit::PluginPath(path, kOwnId);
  EXPECT_EQ(std::string(path.Get()), (dir_.path() / "plugins").string() + "/");
  plugkit::BundleResourcePath(path, kOwnId);
  EXPECT_EQ(std::string(path.Get()), (bundle_ / "Contents/Resources").string());

  path.Set("unchanged");
  plugkit::PluginPath(path, "com.other.plugin");
  EXPECT_STREQ(path.Get(), "unchanged");
  plugkit::BundleResourcePath(path, "com.other.plugin");
  EXPECT_STREQ(path.Get(), "");
  plugkit::BundleResourcePath(path, "com.Brightloom.vst3.SpectraPoise.AUv3");
  EXPECT_STREQ(path.Get(), "");
  plugkit::AppGroupContainerPath(path, "group.com.Brightloom.SpectraPoise");
  EXPECT_STREQ(path.Get(), "");

  EXPECT_TRUE(plugkit::IsAUv3AppExtensionBundleID("x.AUv3"));
  EXPECT_FALSE(plugkit::IsAUv3AppExtensionBundleID(nullptr));
  EXPECT_FALSE(plugkit::AppIsSandboxed());
  EXPECT_FALSE(plugkit::IsXPCAuHost());
  EXPECT_FALSE(plugkit::IsOOPAuv3AppExtension());

  plugkit::HostPath(path, kOwnId);
  EXPECT_FALSE(path.Empty());
  EXPECT_EQ(path.Get()[0], '/');
}

TEST_F(PathsTest, LocateResourceTable) {
  const std::string font = (bundle_ / "Contents/Resources/Roboto-Regular.ttf").string();
  const std::string other = (dir_.path() / "logo.svg").string();
  sp::test::writeFile(other, "<svg/>");
  struct Case {
    const char* name;
    const char* type;
    plugkit::EResourceLocation expected;
    std::string path;
  } cases[] = {
      {"Roboto-Regular.ttf", "ttf", plugkit::kAbsolutePath, font},
      {"Roboto-Regular.ttf", "TTF", plugkit::kAbsolutePath, (bundle_ / "Contents/Resources/Roboto-Regular.TTF").string()},
      {"Roboto-Regular.ttf", "otf", plugkit::kNotFound, ""},
      {other.c_str(), "png", plugkit::kAbsolutePath, other},
      {"", "ttf", plugkit::kNotFound, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " / " + c.type);
    StringBuf path;
    const auto location = plugkit::LocateResource(c.name, c.type, path, kOwnId, nullptr, "SpectraPoise");
    // "TTF" builds the candidate with the requested spelling, which does not exist on a
    // case-sensitive file system.
    if (std::string(c.type) == "TTF") {
      EXPECT_EQ(location, plugkit::kNotFound);
      continue;
    }
    EXPECT_EQ(location, c.expected);
    if (c.expected == plugkit::kAbsolutePath) {
      EXPECT_EQ(std::string(path.Get()), c.path);
    }
  }
  StringBuf unused;
  EXPECT_EQ(plugkit::LocateResource(nullptr, "ttf", unused, kOwnId, nullptr, nullptr), plugkit::kNotFound);
}

TEST_F(PathsTest, SharedLocationUsesMusicFolder) {
  const auto candidate = dir_.path() / "home/Music/SpectraPoise/Resources/knob.png";
  sp::test::writeFile(candidate, "png");
  StringBuf path;
  EXPECT_TRUE(plugkit::GetResourcePathFromSharedLocation("img/knob.PNG", "png", path, "SpectraPoise"));
  EXPECT_EQ(std::string(path.Get()), candidate.string());
  EXPECT_FALSE(plugkit::GetResourcePathFromSharedLocation("knob.png", "png", path, nullptr));
  EXPECT_STREQ(path.Get(), "");
}

}  // namespace
