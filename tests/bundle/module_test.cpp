// The built bundle, loaded as a host loads it.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>

#include "plugin/version.h"
#include "shims/vst3sdk/utf_convert.h"
#include "tools/testhost/module.h"

namespace {

using namespace Steinberg;

std::unique_ptr<testhost::Module> loadBundle() {
  std::string error;
  auto module = testhost::Module::load(SP_BUNDLE_DIR, error);
  EXPECT_TRUE(module) << error;
  return module;
}

TEST(Bundle, ExportsOnlyTheModuleEntries) {
  const std::string command = std::string("nm -D --defined-only ") + SP_BUNDLE_DIR +
                              "/Contents/x86_64-linux/SpectraPoise.so";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> names;
  char line[1024];
  while (std::fgets(line, sizeof(line), pipe)) {
    std::string s(line);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    names.insert(s.substr(s.find_last_of(' ') + 1));
  }
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_EQ(names, (std::set<std::string>{"GetPluginFactory", "ModuleEntry", "ModuleExit"}));
}

TEST(Bundle, CarriesItsFontsAndLogo) {
  for (const char* font : {"Roboto-Regular.ttf", "RobotoCondensed-Bold.ttf", "spectrapoise-lockup.svg"}) {
    const std::string path = std::string(SP_BUNDLE_DIR) + "/Contents/Resources/" + font;
    FILE* f = std::fopen(path.c_str(), "rb");
    EXPECT_NE(f, nullptr) << path;
    if (f) std::fclose(f);
  }
}

TEST(Bundle, FactoryAndClassDescription) {
  auto module = loadBundle();
  ASSERT_TRUE(module);
  PFactoryInfo info;
  ASSERT_EQ(module->factory()->getFactoryInfo(&info), kResultOk);
  EXPECT_STREQ(info.vendor, "Brightloom");
  EXPECT_STREQ(info.email, "");
  EXPECT_EQ(info.flags, 0x10);
  EXPECT_STRNE(info.url, "");
  ASSERT_EQ(module->factory()->countClasses(), 1);

  ASSERT_NE(module->factory2(), nullptr);
  PClassInfo2 ci;
  ASSERT_EQ(module->factory2()->getClassInfo2(0, &ci), kResultOk);
  const unsigned char expectedCid[16] = {0xF2, 0xAE, 0xE7, 0x0D, 0x00, 0xDE, 0x4F, 0x4E,
                                         0x42, 0x72, 0x6C, 0x6D, 0x42, 0x72, 0x53, 0x70};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(static_cast<unsigned char>(ci.cid[i]), expectedCid[i]) << "byte " << i;
  EXPECT_EQ(ci.cardinality, 0x7FFFFFFF);
  EXPECT_STREQ(ci.category, "Audio Module Class");
  EXPECT_STREQ(ci.name, "SpectraPoise");
  EXPECT_EQ(ci.classFlags, 2u);
  EXPECT_STREQ(ci.subCategories, "Fx|Analyzer|Mastering");
  EXPECT_STREQ(ci.vendor, "");
  EXPECT_STREQ(ci.version, spectrapoise::plugin::kVersion);
  EXPECT_STREQ(ci.sdkVersion, "VST 3.8.1");

  ASSERT_NE(module->factory3(), nullptr);
  PClassInfoW wi;
  ASSERT_EQ(module->factory3()->getClassInfoUnicode(0, &wi), kResultOk);
  EXPECT_EQ(std::memcmp(wi.cid, ci.cid, 16), 0);
  EXPECT_EQ(vst3shim::utf16ToUtf8(reinterpret_cast<const char16_t*>(wi.name), PClassInfo::kNameSize), "SpectraPoise");
  EXPECT_EQ(vst3shim::utf16ToUtf8(reinterpret_cast<const char16_t*>(wi.version), PClassInfoW::kVersionSize), spectrapoise::plugin::kVersion);
  EXPECT_EQ(vst3shim::utf16ToUtf8(reinterpret_cast<const char16_t*>(wi.sdkVersion), PClassInfoW::kVersionSize),
            "VST 3.8.1");
  EXPECT_EQ(vst3shim::utf16ToUtf8(reinterpret_cast<const char16_t*>(wi.vendor), PClassInfoW::kVendorSize), "");
  EXPECT_STREQ(wi.subCategories, "Fx|Analyzer|Mastering");
  EXPECT_EQ(module->factory3()->getClassInfoUnicode(1, &wi), kInvalidArgument);
}

TEST(Bundle, CreatesAndReleasesTheProductClass) {
  auto module = loadBundle();
  ASSERT_TRUE(module);
  PClassInfo ci;
  ASSERT_EQ(module->factory()->getClassInfo(0, &ci), kResultOk);
  void* obj = nullptr;
  ASSERT_EQ(module->factory()->createInstance(ci.cid, Vst::IComponent::iid, &obj), kResultOk);
  ASSERT_NE(obj, nullptr);
  EXPECT_EQ(static_cast<Vst::IComponent*>(obj)->release(), 0u);
}

}  // namespace
