// The run command's editor: open for the last stretch of the audio, its picture written
// beside the processed file at scale 1 and 2 showing the analysed audio with the bundle's
// fonts and logo, scripted clicks and menu choices that show in the picture, none without
// the editor, and a prompt nobody answered (or an answer nobody took) failing the run with
// nothing left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "graphics/BitmapDecode.h"
#include "tests/support/temp_dir.h"
#include "tools/run_plugin/run_plugin.h"

namespace {

namespace fs = std::filesystem;
using plugkit::canvas::DecodedBitmap;

struct Rgb {
  int r, g, b;
};

DecodedBitmap readPng(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return plugkit::canvas::DecodeBitmap(bytes.data(), bytes.size());
}

Rgb at(const DecodedBitmap& b, int x, int y) {
  const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(b.width) + static_cast<std::size_t>(x)) * 4;
  return {b.rgba[i], b.rgba[i + 1], b.rgba[i + 2]};
}

bool near(const Rgb& p, int r, int g, int b, int tol = 4) {
  return std::abs(p.r - r) <= tol && std::abs(p.g - g) <= tol && std::abs(p.b - b) <= tol;
}

std::string str(const Rgb& p) {
  return "(" + std::to_string(p.r) + ", " + std::to_string(p.g) + ", " + std::to_string(p.b) + ")";
}

// Pixels well away from the panel's dark greys (text, curves) in a rectangle.
int paintedPixels(const DecodedBitmap& b, int l, int t, int r, int bottom) {
  int n = 0;
  for (int y = t; y < bottom; ++y)
    for (int x = l; x < r; ++x) {
      const Rgb p = at(b, x, y);
      n += std::max({p.r, p.g, p.b}) > 120;
    }
  return n;
}

class RunEditor : public ::testing::Test {
protected:
  runplugin::Options options() const {
    runplugin::Options o;
    o.demoSeconds = 3.0;
    o.outDir = dir.path().string();
    o.bundleModule = SP_BUNDLE_MODULE;
    return o;
  }
  bool run(const runplugin::Options& o, std::string& error) {
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    const bool ok = runplugin::run(o, out, error);
    std::fclose(out);
    printed.assign(text, size);
    std::free(text);
    return ok;
  }
  fs::path file(const std::string& name) const { return dir.path() / name; }

  sp::test::TempDir dir;
  std::string printed;
};

runplugin::UiStep click(float x, float y) {
  runplugin::UiStep s;
  s.kind = runplugin::UiStep::Click;
  s.x = x;
  s.y = y;
  return s;
}

runplugin::UiStep choose(int item) {
  runplugin::UiStep s;
  s.kind = runplugin::UiStep::Choose;
  s.item = item;
  return s;
}

}  // namespace

TEST_F(RunEditor, ThePictureAtScaleOneAndTwoShowsTheAnalysedAudio) {
  std::string error;
  ASSERT_TRUE(run(options(), error)) << error;
  EXPECT_NE(printed.find("editor open from 0.0 s"), std::string::npos) << printed;  // 3 s: all of it
  EXPECT_NE(printed.find("editor picture written to " + file("spectrapoise-demo-spectrapoise-editor.png").string()),
            std::string::npos)
      << printed;
  const DecodedBitmap one = readPng(file("spectrapoise-demo-spectrapoise-editor.png"));
  const DecodedBitmap two = readPng(file("spectrapoise-demo-spectrapoise-editor@2x.png"));
  ASSERT_TRUE(one.IsValid()) << one.error;
  ASSERT_TRUE(two.IsValid()) << two.error;
  EXPECT_EQ(one.width, 640);
  EXPECT_EQ(one.height, 400);
  EXPECT_EQ(two.width, 1280);
  EXPECT_EQ(two.height, 800);

  EXPECT_TRUE(near(at(one, 5, 200), 10, 10, 10)) << str(at(one, 5, 200));
  EXPECT_TRUE(near(at(one, 29, 267), 21, 232, 121)) << str(at(one, 29, 267));  // "Correct" on, green
  EXPECT_TRUE(near(at(two, 58, 534), 21, 232, 121)) << str(at(two, 58, 534));
  // The analysed input: a light curve across the spectrum; the loudness in large digits;
  // the title's and the logo's letters.
  EXPECT_GT(paintedPixels(one, 30, 112, 470, 250), 300);
  EXPECT_GT(paintedPixels(one, 520, 95, 600, 135), 100);
  EXPECT_GT(paintedPixels(one, 20, 41, 200, 69), 200);
  EXPECT_GT(paintedPixels(one, 20, 371, 160, 389), 50);
}

TEST_F(RunEditor, ScriptedChoicesAndClicksShowInThePicture) {
  runplugin::Options o = options();
  o.ui = {choose(7), click(615, 16), click(60, 293)};  // "Blue" from the settings menu, then FREEZE
  std::string error;
  ASSERT_TRUE(run(o, error)) << error;
  const DecodedBitmap one = readPng(file("spectrapoise-demo-spectrapoise-editor.png"));
  ASSERT_TRUE(one.IsValid()) << one.error;
  EXPECT_TRUE(near(at(one, 29, 267), 0, 184, 255)) << str(at(one, 29, 267));
  EXPECT_TRUE(near(at(one, 29, 293), 0, 184, 255)) << str(at(one, 29, 293));
}

TEST_F(RunEditor, WithoutTheEditorNoPicture) {
  runplugin::Options o = options();
  o.editor = false;
  std::string error;
  ASSERT_TRUE(run(o, error)) << error;
  EXPECT_TRUE(fs::exists(file("spectrapoise-demo-spectrapoise.wav")));
  EXPECT_FALSE(fs::exists(file("spectrapoise-demo-spectrapoise-editor.png")));
  EXPECT_EQ(printed.find("editor"), std::string::npos);
}

TEST_F(RunEditor, APromptNobodyAnsweredOrAnAnswerNobodyTookFailsTheRunAndLeavesNothing) {
  for (const std::vector<runplugin::UiStep>& steps :
       {std::vector<runplugin::UiStep>{click(550, 240)}, std::vector<runplugin::UiStep>{choose(2)}}) {
    runplugin::Options o = options();
    o.ui = steps;
    std::string error;
    EXPECT_FALSE(run(o, error));
    EXPECT_EQ(error.rfind("the editor's script went wrong: ", 0), 0u) << error;
    EXPECT_FALSE(fs::exists(file("spectrapoise-demo-spectrapoise.wav")));
    EXPECT_FALSE(fs::exists(file("spectrapoise-demo-spectrapoise-editor.png")));
    EXPECT_FALSE(fs::exists(file("spectrapoise-demo-spectrapoise-editor@2x.png")));
  }
}

TEST_F(RunEditor, TheEditorOpensForTheLastStretchOfALongerRun) {
  runplugin::Options o = options();
  o.demoSeconds = 7.0;
  std::string error;
  ASSERT_TRUE(run(o, error)) << error;
  EXPECT_NE(printed.find("editor open from 3.0 s"), std::string::npos) << printed;
}

TEST(RunEditorPoints, ClicksAndDragsParseInTheCLocale) {
  runplugin::UiStep s;
  ASSERT_TRUE(runplugin::parsePoints("615,16.5", s));
  EXPECT_EQ(s.kind, runplugin::UiStep::Click);
  EXPECT_EQ(s.y, 16.5f);
  ASSERT_TRUE(runplugin::parsePoints("223,326,223,300", s));
  EXPECT_EQ(s.kind, runplugin::UiStep::Drag);
  EXPECT_EQ(s.y2, 300.f);
  for (const char* bad : {"", "1", "1,", ",1", "1,2,3", "1,2,3,4,5", "a,b", "1;2", "1e9,2", "nan,1"})
    EXPECT_FALSE(runplugin::parsePoints(bad, s)) << bad;
}
