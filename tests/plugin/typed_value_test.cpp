// Numbers typed into the panel: the locale-free parser and the edit it becomes.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "graphics/ICanvas.h"
#include "graphics/IControl.h"
#include "plugin/typed_value.h"
#include "tests/support/plugin/plugin_harness.h"
#include "tests/support/canvas/test_canvas.h"

namespace {

using namespace sp::test;
using namespace spectrapoise::plugin;

struct ParseCase {
  const char* text;
  bool allowK;
  std::optional<double> value;
};

TEST(TypedValue, ParsesLikeThePanelWritesNumbers) {
  const ParseCase cases[] = {
      {"12,5", false, 12.5},
      {"12.5", false, 12.5},
      {".5", false, 0.5},
      {"5.", false, 5.0},
      {"  +7  ", false, 7.0},
      {"\xE2\x88\x92" "3", false, -3.0},  // U+2212 MINUS SIGN, as the panel displays it
      {"- 3", false, -3.0},
      {"2k", true, 2000.0},
      {"2k", false, 2.0},
      {"2 K", true, 2000.0},
      {"1.5 kHz", true, 1500.0},
      {"1e3", false, 1.0},
      {"12 dB", false, 12.0},
      {"1.2.3", false, 1.2},
      {"0,25%", false, 0.25},
      {".", false, std::nullopt},
      {"-", false, std::nullopt},
      {"\xE2\x88\x92", false, std::nullopt},
      {"abc", false, std::nullopt},
      {"", false, std::nullopt},
      {" \t\r\n", false, std::nullopt},
      {"-.", false, std::nullopt},
      {"k5", true, std::nullopt},
  };
  for (const ParseCase& c : cases) {
    const std::optional<double> v = parseTypedValue(c.text, -1e9, 1e9, c.allowK);
    EXPECT_EQ(v.has_value(), c.value.has_value()) << '"' << c.text << '"';
    if (v && c.value) {
      EXPECT_DOUBLE_EQ(*v, *c.value) << '"' << c.text << '"';
    }
  }
}

TEST(TypedValue, ClampsToTheRange) {
  EXPECT_EQ(parseTypedValue("-50", -36, -6, false), -36.0);
  EXPECT_EQ(parseTypedValue("0", -36, -6, false), -6.0);
  EXPECT_EQ(parseTypedValue("-20", -36, -6, false), -20.0);
}

// A plug-in that records the host edits the panel's typed values open.
class EditRecorder : public SpectraPoise {
public:
  using SpectraPoise::SpectraPoise;
  void BeginInformHostOfParamChange(int idx) override {
    edits.push_back("begin " + std::to_string(idx));
    SpectraPoise::BeginInformHostOfParamChange(idx);
  }
  void EndInformHostOfParamChange(int idx) override {
    edits.push_back("end " + std::to_string(idx));
    SpectraPoise::EndInformHostOfParamChange(idx);
  }
  std::vector<std::string> edits;
};

double normalizedValue(const SpectraPoise& plug, int idx) {
  const plugkit::IParam* param = plug.GetParam(idx);
  return param != nullptr ? param->GetNormalized() : -1.0;
}

class Probe : public plugkit::canvas::IControl {
public:
  using IControl::IControl;
  void Draw(plugkit::canvas::ICanvas&) override {}
};

class SendTypedValue : public ::testing::Test {
protected:
  void SetUp() override {
    SpectraPoise::Options options;
    options.startWorker = false;
    plug = new EditRecorder(plugkit::InstanceInfo{}, options);
    plug->setGraphicsMaker([this](plugkit::canvas::ICanvasEditorDelegate& dlg, int w, int h, int fps, float scale) {
      return platform.graphicsFactory(dlg, w, h, fps, scale)();
    });
    ASSERT_NE(plug->OpenWindow(nullptr), nullptr);
    ui = plug->GetUI();
    speed = ui->AttachControl(new Probe(plugkit::canvas::IRECT(0, 0, 10, 10), kCorrectSpeed));
    // Like the spectrum panel: three crossovers on one control.
    spectrum = ui->AttachControl(
        new Probe(plugkit::canvas::IRECT(0, 10, 10, 20), {kLowCrossover, kMidCrossover, kHighCrossover}));
  }
  void TearDown() override { plug->release(); }

  TestPlatform platform;
  EditRecorder* plug = nullptr;
  plugkit::canvas::ICanvas* ui = nullptr;
  plugkit::canvas::IControl* speed = nullptr;
  plugkit::canvas::IControl* spectrum = nullptr;
};

TEST_F(SendTypedValue, AppliesOneEditAndUpdatesEveryBoundSlot) {
  const double lowBefore = spectrum->GetValue(0);
  const double highBefore = spectrum->GetValue(2);
  ASSERT_TRUE(typed_value::sendTypedValue(*spectrum, kMidCrossover, "1.5k", true));
  EXPECT_NEAR(plug->GetParam(kMidCrossover)->Value(), 1500.0, 1e-9);
  EXPECT_EQ(plug->edits, (std::vector<std::string>{"begin 15", "end 15"}));
  EXPECT_NEAR(spectrum->GetValue(1), normalizedValue(*plug, kMidCrossover), 1e-12);
  EXPECT_EQ(spectrum->GetValue(0), lowBefore);
  EXPECT_EQ(spectrum->GetValue(2), highBefore);
}

TEST_F(SendTypedValue, RoundsToTheStepAsTyped) {
  // Digits summed as typed give 9.950000000000001, which rounds up to the 0.1 step.
  ASSERT_TRUE(typed_value::sendTypedValue(*speed, kCorrectSpeed, "9,95", false));
  EXPECT_NEAR(plug->GetParam(kCorrectSpeed)->Value(), 10.0, 1e-9);
  EXPECT_NEAR(speed->GetValue(0), normalizedValue(*plug, kCorrectSpeed), 1e-12);
}

TEST_F(SendTypedValue, JoinsTheEditAHeldPressKeepsOpen) {
  // Another control of the same parameter, pressed and held: its press began the edit.
  plugkit::canvas::IControl* knob = ui->AttachControl(new Probe(plugkit::canvas::IRECT(20, 0, 30, 10), kCorrectSpeed));
  const plugkit::canvas::IMouseInfo press{25.f, 5.f, 0.f, 0.f, plugkit::canvas::IMouseMod(true)};
  ui->OnMouseDown({press});
  ASSERT_EQ(plug->edits, (std::vector<std::string>{"begin 9"}));
  ASSERT_TRUE(typed_value::sendTypedValue(*speed, kCorrectSpeed, "12", false));
  EXPECT_NEAR(plug->GetParam(kCorrectSpeed)->Value(), 12.0, 1e-9);
  EXPECT_EQ(plug->edits, (std::vector<std::string>{"begin 9"}));
  ui->OnMouseUp({press});
  EXPECT_EQ(plug->edits, (std::vector<std::string>{"begin 9", "end 9"}));
  EXPECT_NEAR(knob->GetValue(0), normalizedValue(*plug, kCorrectSpeed), 1e-12);
  // Released, the next typed value is an edit of its own.
  ASSERT_TRUE(typed_value::sendTypedValue(*speed, kCorrectSpeed, "13", false));
  EXPECT_EQ(plug->edits, (std::vector<std::string>{"begin 9", "end 9", "begin 9", "end 9"}));
}

TEST_F(SendTypedValue, TextWithoutANumberChangesNothing) {
  const double before = plug->GetParam(kCorrectSpeed)->Value();
  EXPECT_FALSE(typed_value::sendTypedValue(*speed, kCorrectSpeed, "abc", false));
  EXPECT_FALSE(typed_value::sendTypedValue(*speed, kCorrectSpeed, nullptr, false));
  EXPECT_FALSE(typed_value::sendTypedValue(*speed, -1, "5", false));
  EXPECT_FALSE(typed_value::sendTypedValue(*speed, kParamCount, "5", false));
  EXPECT_TRUE(plug->edits.empty());
  EXPECT_EQ(plug->GetParam(kCorrectSpeed)->Value(), before);
}

}  // namespace
