// The 18 parameters: their declarations, display texts (in any process locale) and the
// host's text input for the crossovers.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "shims/vst3sdk/utf_convert.h"
#include "tests/support/plugin/plugin_harness.h"

namespace {

using namespace sp::test;
using namespace spectrapoise::plugin;
using U = plugkit::IParam;

struct Row {
  const char* name;
  U::EParamType type;
  double def, min, max, step;
  U::EParamUnit unit;
  int shapeId;  // 0 linear, 2 exponential
};

TEST(Parameters, TableOfAllEighteen) {
  const Row rows[kParamCount] = {
      {"Bypass", U::kTypeBool, 0, 0, 1, 1, U::kUnitCustom, 0},
      {"Loudness Target", U::kTypeDouble, -14, -36, -6, 0.5, U::kUnitCustom, 0},
      {"Low Crossover", U::kTypeDouble, 200, 60, 800, 1, U::kUnitFrequency, 2},
      {"High Crossover", U::kTypeDouble, 6000, 1500, 16000, 10, U::kUnitFrequency, 2},
      {"Correct", U::kTypeBool, 0, 0, 1, 1, U::kUnitCustom, 0},
      {"Correct Tilt", U::kTypeDouble, 50, 0, 100, 1, U::kUnitPercentage, 0},
      {"Correct Low", U::kTypeDouble, 50, 0, 100, 1, U::kUnitPercentage, 0},
      {"Correct Lo-Mid", U::kTypeDouble, 50, 0, 100, 1, U::kUnitPercentage, 0},
      {"Correct High", U::kTypeDouble, 50, 0, 100, 1, U::kUnitPercentage, 0},
      {"Correct Speed", U::kTypeDouble, 15, 2, 60, 0.1, U::kUnitSeconds, 2},
      {"Freeze", U::kTypeBool, 0, 0, 1, 1, U::kUnitCustom, 0},
      {"Frozen Tilt", U::kTypeDouble, 0, -24, 24, 0.01, U::kUnitDB, 0},
      {"Frozen Low", U::kTypeDouble, 0, -24, 24, 0.01, U::kUnitDB, 0},
      {"Frozen Lo-Mid", U::kTypeDouble, 0, -24, 24, 0.01, U::kUnitDB, 0},
      {"Frozen High", U::kTypeDouble, 0, -24, 24, 0.01, U::kUnitDB, 0},
      {"Mid Crossover", U::kTypeDouble, 2000, 400, 6000, 10, U::kUnitFrequency, 2},
      {"Correct Hi-Mid", U::kTypeDouble, 50, 0, 100, 1, U::kUnitPercentage, 0},
      {"Frozen Hi-Mid", U::kTypeDouble, 0, -24, 24, 0.01, U::kUnitDB, 0},
  };
  PlugPtr plug = makePlug();
  ASSERT_EQ(plug->NParams(), kParamCount);
  for (int i = 0; i < kParamCount; ++i) {
    const U& p = *plug->GetParam(i);
    const Row& r = rows[i];
    SCOPED_TRACE(r.name);
    EXPECT_STREQ(p.GetName(), r.name);
    EXPECT_EQ(p.Type(), r.type);
    EXPECT_EQ(p.GetDefault(), r.def);
    EXPECT_EQ(p.Value(), r.def);
    EXPECT_EQ(p.GetMin(), r.min);
    EXPECT_EQ(p.GetMax(), r.max);
    EXPECT_EQ(p.GetStep(), r.step);
    EXPECT_EQ(p.Unit(), r.unit);
    EXPECT_EQ(p.GetShapeID(), r.shapeId);
    EXPECT_STREQ(p.GetCustomUnit(), "");
    EXPECT_STREQ(p.GetGroup(), "");
  }
}

struct DisplayCase {
  int param;
  double value;
  const char* text;
};

class Displays : public ::testing::TestWithParam<const char*> {};

TEST_P(Displays, AreFormattedInTheCLocale) {
  // Hosts set LC_NUMERIC from the desktop; the texts must not follow it.
  const char* locale = GetParam();
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  if (std::setlocale(LC_NUMERIC, locale) == nullptr) GTEST_SKIP() << "locale " << locale << " not installed";

  const DisplayCase cases[] = {
      {kLowCrossover, 999.6, "1000 Hz"},  {kLowCrossover, 1000, "1.00 kHz"}, {kHighCrossover, 16000, "16.00 kHz"},
      {kMidCrossover, 400, "400 Hz"},     {kCorrectSpeed, 9.9, "9.9 s"},     {kCorrectSpeed, 10, "10 s"},
      {kCorrectSpeed, 60, "60 s"},        {kFrozenTilt, 0, "+0.00 dB"},      {kFrozenHiMid, -1.5, "-1.50 dB"},
      {kCorrectTilt, 50, "50 %"},         {kLoudnessTarget, -14, "-14.0 LUFS"}, {kBypass, 1, "on"},
      {kCorrect, 0, "off"},               {kFreeze, 1, "on"},
  };
  PlugPtr plug = makePlug();
  for (const DisplayCase& c : cases) {
    StringBuf text;
    plug->GetParam(c.param)->GetDisplay(c.value, false, text);
    EXPECT_STREQ(text.Get(), c.text) << "parameter " << c.param << " value " << c.value;
  }
  std::setlocale(LC_NUMERIC, previous.c_str());
}

INSTANTIATE_TEST_SUITE_P(Locales, Displays, ::testing::Values("C", "de_DE.UTF-8"));

double hostTextToValue(SpectraPoise& plug, int id, const char* text, bool* ok) {
  char16_t text16[128];
  vst3shim::utf8ToUtf16(text, 512, text16, 128);
  Steinberg::Vst::ParamValue normalized = -1.0;
  *ok = plug.getParamValueByString(static_cast<Steinberg::Vst::ParamID>(id),
                                   reinterpret_cast<Steinberg::Vst::TChar*>(text16), normalized) == Steinberg::kResultOk;
  return plug.GetParam(id)->FromNormalized(normalized);
}

TEST(Parameters, HostTextForCrossoversReadsTheirOwnDisplay) {
  PlugPtr plug = makePlug();
  struct Case {
    int id;
    const char* text;
    double value;
  } const cases[] = {
      {kMidCrossover, "1.50 kHz", 1500}, {kMidCrossover, "1.5k", 1500}, {kMidCrossover, "1500", 1500},
      {kLowCrossover, "80 Hz", 80},      {kHighCrossover, "12 kHz", 12000}, {kHighCrossover, "99k", 16000},
      {kLowCrossover, "1,2 k", 800},
  };
  for (const Case& c : cases) {
    bool ok = false;
    EXPECT_NEAR(hostTextToValue(*plug, c.id, c.text, &ok), c.value, 1e-6) << c.text;
    EXPECT_TRUE(ok) << c.text;
  }
  bool ok = true;
  hostTextToValue(*plug, kMidCrossover, "abc", &ok);
  EXPECT_FALSE(ok);
}

}  // namespace
