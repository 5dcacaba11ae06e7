// Parameters: shapes, steps, display texts and parsing, non-finite values, locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

#include "framework/IParam.h"

namespace {

using plugkit::IParam;

std::string display(const IParam& p, double value, bool normalized = false, bool withText = true) {
  StringBuf out;
  p.GetDisplay(value, normalized, out, withText);
  return out.Get();
}

TEST(ParamDisplay, TextsFlagsAndPrecision) {
  IParam onText, noOnText, negateWhole, negateTenths, signed1;
  onText.InitBool("b", false, "", 0, "", "off", "on");
  noOnText.InitBool("b", false, "", 0, "", "off", "");
  negateWhole.InitDouble("n", 0, -10, 10, 1, "", IParam::kFlagNegateDisplay);
  negateTenths.InitDouble("n", 0, -10, 10, 0.1, "", IParam::kFlagNegateDisplay);
  signed1.InitDouble("s", 0, -10, 10, 0.1, "", IParam::kFlagSignDisplay);

  struct Case {
    const char* what;
    const IParam& param;
    double value;
    const char* text;
  } cases[] = {
      {"bool shows its on text", onText, 1, "on"},
      {"bool with an empty on text shows the number", noOnText, 1, "1"},
      {"negated zero has no minus", negateWhole, 0, "0"},
      {"negated zero with decimals has no minus", negateTenths, 0, "0.0"},
      {"negated value", negateTenths, 2.5, "-2.5"},
      {"sign flag adds a plus", signed1, 3, "+3.0"},
      {"sign flag leaves zero alone", signed1, 0, "0.0"},
      {"sign flag keeps the minus", signed1, -3, "-3.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(display(c.param, c.value), c.text);
  }
}

TEST(ParamDisplay, DisplayFunctionWinsAndNormalisedInputIsMapped) {
  IParam p;
  p.InitDouble("f", 200, 60, 800, 1, "", 0, "", IParam::ShapeExp(), IParam::kUnitFrequency,
               [](double v, StringBuf& out) { out.SetFormatted(32, "%.0f Hz", v); });
  p.SetDisplayText(200, "ignored");
  EXPECT_EQ(display(p, 200), "200 Hz");
  EXPECT_EQ(display(p, 1.0, true), "800 Hz");
  EXPECT_EQ(display(p, std::nan(""), true), "60 Hz");  // NaN counts as normalised 0
}

TEST(ParamDisplay, LabelIsBlankWhereTheValueHasItsOwnText) {
  IParam p;
  p.InitEnum("mode", 0, 3, "units", 0, "", "first", "second", "third");
  StringBuf out;
  p.GetDisplayWithLabel(out);
  EXPECT_STREQ(out.Get(), "first");
  IParam q;
  q.InitDouble("gain", 1.5, 0, 10, 0.5, "dB");
  q.GetDisplayWithLabel(out);
  EXPECT_STREQ(out.Get(), "1.5 dB");
}

TEST(ParamParse, StringToValue) {
  IParam real, list, negated, offset;
  real.InitDouble("d", 0, -10, 10, 0.1);
  offset.InitDouble("o", 7, 5, 10, 0.1);
  list.InitEnum("e", 1, {"a", "b", "c"});
  negated.InitDouble("n", 0, -10, 10, 0.5, "", IParam::kFlagNegateDisplay | IParam::kFlagStepped);
  struct Case {
    const char* what;
    const IParam& param;
    const char* text;
    double value;
    bool parsed;
  } cases[] = {
      {"no number", real, "abc", 0, false},
      {"no number, 0 outside the range", offset, "abc", 5, false},
      {"empty text, 0 outside the range", offset, "", 5, false},
      {"clamped to the range", real, "99", 10, true},
      {"leading plus", real, "+3.0", 3, true},
      {"trailing unit", real, "-2.5 dB", -2.5, true},
      {"minus sign U+2212", real, "\xE2\x88\x92" "4", -4, true},
      {"not a number text", real, "nan", 0, false},
      {"infinity text", real, "inf", 0, false},
      {"display text", list, "c", 2, true},
      {"enum without a matching text", list, "7", 0, false},
      {"negated display", negated, "2.4", -2.5, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bool parsed = !c.parsed;
    EXPECT_DOUBLE_EQ(c.param.StringToValue(c.text, &parsed), c.value);
    EXPECT_EQ(parsed, c.parsed);
  }
}

// GTK and Qt hosts set LC_NUMERIC from the desktop: texts must not follow it.
TEST(ParamParse, IndependentOfTheProcessLocale) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "de_DE.UTF-8 not installed";
  IParam p;
  p.InitDouble("d", 0, -10, 10, 0.1);
  const std::string shown = display(p, 2.5);
  const double parsed = p.StringToValue("1.5");
  StringBuf json;
  p.GetJSON(json, 0);
  std::setlocale(LC_ALL, previous.c_str());
  EXPECT_EQ(shown, "2.5");
  EXPECT_DOUBLE_EQ(parsed, 1.5);
  EXPECT_NE(std::string(json.Get()).find("\"min\":-10.000000"), std::string::npos);
}

TEST(ParamValue, NonFiniteValuesNeverArrive) {
  IParam p;
  p.InitDouble("d", 3, -10, 10, 0.1);
  p.Set(std::nan(""));
  p.Set(std::numeric_limits<double>::infinity());
  p.Set(-std::numeric_limits<double>::infinity());
  EXPECT_DOUBLE_EQ(p.Value(), 3);
  p.SetNormalized(std::nan(""));  // normalised NaN counts as 0
  EXPECT_DOUBLE_EQ(p.Value(), -10);
  p.SetNormalized(7.0);  // clamped to 1
  EXPECT_DOUBLE_EQ(p.Value(), 10);
  EXPECT_DOUBLE_EQ(p.ToNormalized(std::nan("")), 0.0);
}

TEST(ParamShape, PrecisionFollowsTheStep) {
  const std::pair<double, int> cases[] = {{0.01, 2}, {1, 0}, {0.25, 2}, {1.0 / 3.0, 6}, {1e-7, 6}, {0.1, 1}, {0.07, 2}};
  for (const auto& [step, precision] : cases) {
    SCOPED_TRACE(step);
    IParam p;
    p.InitDouble("d", 0, 0, 100, step);
    EXPECT_EQ(p.GetDisplayPrecision(), precision);
  }
}

TEST(ParamShape, SteppedValuesRoundHalfAwayFromZero) {
  IParam p;
  p.InitDouble("d", 0, -5, 5, 0.5, "", IParam::kFlagStepped);
  p.Set(0.74);
  EXPECT_DOUBLE_EQ(p.Value(), 0.5);
  p.Set(-0.75);
  EXPECT_DOUBLE_EQ(p.Value(), -1.0);
  IParam q;
  q.InitInt("i", 0, 0, 4);
  q.SetNormalized(0.6);  // 2.4 rounds to 2
  EXPECT_DOUBLE_EQ(q.Value(), 2);
  q.Set(7.3);
  EXPECT_DOUBLE_EQ(q.Value(), 4);
}

TEST(ParamShape, ExponentialEnds) {
  IParam fromZero, audio;
  fromZero.InitDouble("e", 1, 0, 1000, 0.1, "", 0, "", IParam::ShapeExp());
  audio.InitFrequency("f", 1000, 20, 20000, 0.1);
  EXPECT_NEAR(fromZero.FromNormalized(0) / 1e-8, 1.0, 1e-9);
  EXPECT_NEAR(fromZero.FromNormalized(1), 1000, 1e-9);
  EXPECT_NEAR(audio.FromNormalized(0.5), 632.456, 1e-3);
}

TEST(ParamShape, RoundTripsBetweenNormalisedAndValue) {
  IParam linear, power, exponential;
  linear.InitDouble("l", 0, -36, -6, 0);
  power.InitDouble("p", 0, 0, 100, 0, "", 0, "", IParam::ShapePowCurve(3.0));
  exponential.InitDouble("x", 20, 20, 20000, 0, "", 0, "", IParam::ShapeExp());
  for (const IParam* p : {&linear, &power, &exponential}) {
    for (double n : {0.0, 0.1, 0.25, 0.5, 0.8, 1.0}) {
      SCOPED_TRACE(std::string(p->GetName()) + " " + std::to_string(n));
      const double value = p->FromNormalized(n);
      EXPECT_GE(value, p->GetMin());
      EXPECT_LE(value, p->GetMax());
      EXPECT_NEAR(p->ToNormalized(value), n, 1e-12);
    }
  }
  EXPECT_NEAR(power.FromNormalized(0.5), 12.5, 1e-12);
  EXPECT_EQ(power.GetShapeID(), 1);
  EXPECT_DOUBLE_EQ(power.GetShapeValue(), 3.0);
  EXPECT_EQ(exponential.GetShapeID(), 2);
}

TEST(ParamInit, DeclarationsFillTheirFields) {
  IParam degenerate;
  degenerate.InitDouble("d", 0, 0, 0, 1);
  EXPECT_DOUBLE_EQ(degenerate.GetMax(), 1);

  IParam pitch;
  pitch.InitPitch("note", 60, 60, 61);
  EXPECT_STREQ(pitch.GetDisplayText(0), "C 3");
  EXPECT_STREQ(pitch.GetDisplayText(1), "C#3");

  IParam longName;
  longName.InitDouble("a name far longer than thirty-one characters", 0, 0, 1, 0.1, "a label that is also too long");
  EXPECT_EQ(std::string(longName.GetName()).size(), 31u);

  IParam none;
  StringBuf json;
  none.GetJSON(json, 4);
  EXPECT_EQ(std::string(json.Get()).find("\"type\""), std::string::npos);
  EXPECT_NE(std::string(json.Get()).find("\"id\":4"), std::string::npos);

  IParam source;
  source.InitEnum("Left Mode", 1, {"x", "y"}, 0, "left");
  IParam clone;
  clone.Init(source, "Left", "Right", "right");
  EXPECT_STREQ(clone.GetName(), "Right Mode");
  EXPECT_STREQ(clone.GetGroup(), "right");
  EXPECT_EQ(clone.NDisplayTexts(), 2);
  EXPECT_EQ(clone.Type(), IParam::kTypeEnum);
}

}  // namespace
