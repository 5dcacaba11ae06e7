// The five factory targets: their texts, their parse, their normalisation and the values
// they are known by. The pinned bands are the generator's choice (see
// engine/targets/factory_targets_generator.py): where each curve peaks and bottoms out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "engine/targets/target_files.h"

namespace {

using spectrapoise::dsp::BandCurve;
using spectrapoise::offline::factoryTargets;
using spectrapoise::offline::kFactoryTargetTexts;
using spectrapoise::offline::parseTarget;
using spectrapoise::offline::SavedTarget;
namespace target_text = spectrapoise::offline::target_text;

std::vector<std::string> lines(std::string_view text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      out.emplace_back(text.substr(start));  // an unterminated last line
      break;
    }
    out.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

SavedTarget byName(const std::string& name) {
  for (const SavedTarget& t : factoryTargets())
    if (t.name == name) return t;
  ADD_FAILURE() << "no factory target " << name;
  return {};
}

TEST(FactoryTargets, TextsHaveTheExactLines) {
  const char* names[] = {"Dance", "Metal", "Pop", "Rock", "Schlager"};
  for (std::size_t i = 0; i < kFactoryTargetTexts.size(); ++i) {
    const std::string_view text = kFactoryTargetTexts[i];
    SCOPED_TRACE(names[i]);
    ASSERT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find('\r'), std::string_view::npos);
    const std::vector<std::string> l = lines(text);
    ASSERT_EQ(l.size(), 5u);
    EXPECT_EQ(l[0], "SpectraPoise target 1");
    EXPECT_EQ(l[1], std::string("name=") + names[i]);
    EXPECT_EQ(l[2], "points=180");
    ASSERT_EQ(l[3].rfind("curve=", 0), 0u);
    ASSERT_EQ(l[4].rfind("spread=", 0), 0u);

    // Each list is in the writer's own format, byte for byte.
    for (const auto& [line, key] : {std::pair{l[3], 6}, std::pair{l[4], 7}}) {
      const std::string list = line.substr(key);
      BandCurve values{};
      ASSERT_TRUE(target_text::readNumbers(list, values));
      EXPECT_EQ(target_text::writeNumbers(values), list);
    }
  }
}

TEST(FactoryTargets, ParseSortedAndFlagged) {
  const std::vector<SavedTarget> targets = factoryTargets();
  std::vector<std::string> names;
  for (const SavedTarget& t : targets) {
    names.push_back(t.name);
    EXPECT_TRUE(t.factory);
    EXPECT_TRUE(t.source.empty());
    EXPECT_TRUE(t.path.empty());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Dance", "Metal", "Pop", "Rock", "Schlager"}));
  for (std::string_view text : kFactoryTargetTexts) {
    std::istringstream in{std::string(text)};
    SavedTarget t;
    std::string error;
    EXPECT_TRUE(parseTarget(in, t, error, "factory target")) << error;
  }
}

TEST(FactoryTargets, CurvesHaveZeroMeanPowerFrom40HzTo16kHz) {
  for (const SavedTarget& t : factoryTargets()) {
    double sum = 0.0;
    for (int k = 18; k <= 173; ++k) sum += std::pow(10.0, t.curve[k] / 10.0);
    EXPECT_LE(std::fabs(10.0 * std::log10(sum / 156.0)), 0.001) << t.name;
    for (double s : t.spread) EXPECT_GE(s, 0.0) << t.name;
    for (double s : t.spread) EXPECT_FALSE(std::signbit(s)) << t.name;
  }
}

// The only band holding the extreme value.
void expectUniqueExtreme(const BandCurve& values, int band, double value, bool isMax) {
  EXPECT_EQ(values[band], value);
  for (int k = 0; k < 180; ++k) {
    if (k == band) continue;
    if (isMax)
      EXPECT_LT(values[k], value) << "band " << k;
    else
      EXPECT_GT(values[k], value) << "band " << k;
  }
}

TEST(FactoryTargets, TellingValues) {
  struct Extremes {
    const char* name;
    int minBand;
    double min;
    int maxBand;
    double max;
  };
  const Extremes extremes[] = {
      {"Dance", 179, -27.238, 29, 6.292},  {"Metal", 0, -24.836, 42, 4.457},
      {"Pop", 0, -28.682, 33, 4.623},      {"Rock", 179, -28.784, 42, 4.480},
      {"Schlager", 179, -31.655, 36, 4.251},
  };
  for (const Extremes& e : extremes) {
    SCOPED_TRACE(e.name);
    const SavedTarget t = byName(e.name);
    expectUniqueExtreme(t.curve, e.minBand, e.min, false);
    expectUniqueExtreme(t.curve, e.maxBand, e.max, true);
  }

  const SavedTarget dance = byName("Dance");
  EXPECT_EQ(dance.curve[0], -24.443);
  EXPECT_EQ(dance.curve[1], -23.612);
  EXPECT_EQ(dance.curve[2], -22.548);
  EXPECT_EQ(dance.spread[0], 7.487);
  EXPECT_EQ(dance.spread[1], 7.608);
  EXPECT_EQ(dance.spread[2], 7.701);

  // Pop varies most in its lowest band.
  const SavedTarget pop = byName("Pop");
  expectUniqueExtreme(pop.spread, 0, 11.054, true);

  // Rock's spread rises to its maximum in the top band.
  const SavedTarget rock = byName("Rock");
  expectUniqueExtreme(rock.spread, 179, 21.539, true);
  for (int k = 140; k < 179; ++k) EXPECT_LE(rock.spread[k], rock.spread[k + 1]) << k;

  // Schlager's top bands do not vary.
  const SavedTarget schlager = byName("Schlager");
  for (int k = 175; k < 180; ++k) EXPECT_EQ(schlager.spread[k], 0.0) << k;
  EXPECT_GT(schlager.spread[174], 0.0);
}

}  // namespace
