// Target file format: writing, reading (lenient), refusals with their messages, the user
// folder, listing and writing through the atomic file helpers.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <locale>
#include <sstream>

#include "engine/targets/target_files.h"
#include "tests/support/temp_dir.h"

namespace {

using spectrapoise::dsp::BandCurve;
using spectrapoise::offline::listTargets;
using spectrapoise::offline::parseTarget;
using spectrapoise::offline::readTarget;
using spectrapoise::offline::SavedTarget;
using spectrapoise::offline::targetText;
using spectrapoise::offline::userTargetDirectory;
using spectrapoise::offline::writeTarget;
namespace target_text = spectrapoise::offline::target_text;
using sp::test::readFile;
using sp::test::TempDir;
using sp::test::writeFile;

BandCurve ramp(double start, double step) {
  BandCurve c;
  for (int k = 0; k < 180; ++k) c[k] = start + step * k;
  return c;
}

std::string numbers(int count, const std::string& value = "1.5") {
  std::string out;
  for (int i = 0; i < count; ++i) out += (i ? " " : "") + value;
  return out;
}

bool parse(const std::string& text, SavedTarget& t, std::string& error,
           const std::string& display = "Shown") {
  std::istringstream in(text);
  return parseTarget(in, t, error, display);
}

const std::string kGoodLists = "points=180\ncurve=" + numbers(180) + "\nspread=" + numbers(180, "2") + "\n";

TEST(TargetText, WritesTheExactLayout) {
  BandCurve curve{}, spread{};
  curve[0] = -24.4434;
  curve[1] = 4.4805;   // rounds up
  curve[2] = -0.0001;  // keeps its sign
  curve[179] = 1e6;
  spread[0] = 0.0004999;
  const std::string text = targetText("Warm\nmix\r", "song.wav", curve, spread);
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "SpectraPoise target 1");
  std::getline(in, line);
  EXPECT_EQ(line, "name=Warm mix ");
  std::getline(in, line);
  EXPECT_EQ(line, "source=song.wav");
  std::getline(in, line);
  EXPECT_EQ(line, "points=180");
  std::getline(in, line);
  EXPECT_EQ(line.substr(0, 31), "curve=-24.443 4.481 -0.000 0.00");
  EXPECT_EQ(line.substr(line.size() - 17), "0.000 1000000.000");
  std::getline(in, line);
  EXPECT_EQ(line.substr(0, 19), "spread=0.000 0.000 ");  
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
}

TEST(TargetText, RoundTripsToThreeDecimals) {
  const BandCurve curve = ramp(-30.12345, 0.3333), spread = ramp(0.0, 0.1111);
  SavedTarget t;
  std::string error;
  ASSERT_TRUE(parse(targetText("My target", "ref.flac", curve, spread), t, error));
  EXPECT_EQ(t.name, "My target");
  EXPECT_EQ(t.source, "ref.flac");
  for (int k = 0; k < 180; ++k) {
    EXPECT_NEAR(t.curve[k], curve[k], 0.0005 + 1e-12);
    EXPECT_NEAR(t.spread[k], spread[k], 0.0005 + 1e-12);
  }
  // A written list reads back to values that write the same text.
  EXPECT_EQ(target_text::writeNumbers(t.curve), target_text::writeNumbers(curve));
  EXPECT_FALSE(t.factory);
  EXPECT_TRUE(t.path.empty());
}

TEST(TargetText, NumbersIgnoreTheProcessLocale) {
  const std::locale before = std::locale::global(std::locale(std::locale::classic(), "de_DE.utf8", std::locale::numeric));
  const char* cBefore = std::setlocale(LC_NUMERIC, nullptr);
  const std::string savedC = cBefore ? cBefore : "C";
  std::setlocale(LC_NUMERIC, "de_DE.utf8");
  const std::string written = target_text::writeNumbers(ramp(-1.25, 0.5));
  BandCurve read{};
  const bool ok = target_text::readNumbers("1.5 " + numbers(179, "-2.25"), read);
  std::setlocale(LC_NUMERIC, savedC.c_str());
  std::locale::global(before);

  EXPECT_EQ(written.substr(0, 19), "-1.250 -0.750 -0.25");
  EXPECT_EQ(written.find(','), std::string::npos);
  ASSERT_TRUE(ok);
  EXPECT_EQ(read[0], 1.5);
  EXPECT_EQ(read[179], -2.25);
}

TEST(TargetText, ReadsNumbersLeniently) {
  struct Case {
    std::string text;
    bool complete;
  };
  const Case cases[] = {
      {numbers(180), true},
      {numbers(181), true},  // later numbers ignored
      {"  +1e1\t" + numbers(179) + " \n", true},
      {numbers(179), false},
      {numbers(100) + " nan " + numbers(79), false},
      {numbers(100) + " inf " + numbers(79), false},
      {numbers(100) + " 1e999 " + numbers(79), false},
      {numbers(100) + " x " + numbers(79), false},
      {numbers(180) + " x", true},
      {"", false},
  };
  for (const Case& c : cases) {
    BandCurve values{};
    EXPECT_EQ(target_text::readNumbers(c.text, values), c.complete) << c.text.substr(0, 40);
  }
}

TEST(TargetParse, RefusesWithTheMessageOfTheFirstProblem) {
  struct Case {
    std::string text;
    std::string error;
  };
  const std::string grid = "the target was written for another frequency grid: Shown";
  const std::string curve = "the target has no complete curve: Shown";
  const std::string notTarget = "not an SpectraPoise target: Shown";
  const std::string lists180 = "curve=" + numbers(180) + "\nspread=" + numbers(180) + "\n";
  const Case cases[] = {
      {"", notTarget},
      {"SpectraPoise target 1 \n" + kGoodLists, notTarget},
      {"SpectraPoise target 2\n" + kGoodLists, notTarget},
      {"spectrapoise target 1\n" + kGoodLists, notTarget},
      {"SpectraPoise target 1\npoints=181\n" + lists180, grid},
      {"SpectraPoise target 1\npoints= 180\n" + lists180, grid},
      {"SpectraPoise target 1\n" + lists180, grid},
      {"SpectraPoise target 1\npoints=180\npoints=90\n" + lists180, grid},
      {"SpectraPoise target 1\npoints=180\ncurve=" + numbers(179) + "\n", curve},
      {"SpectraPoise target 1\npoints=180\ncurve=nan " + numbers(179) + "\n", curve},
      {"SpectraPoise target 1\npoints=180\n", curve},
      {"SpectraPoise target 1\npoints=180\ncurve=" + numbers(180) + "\ncurve=" + numbers(3) + "\n", curve},
  };
  for (const Case& c : cases) {
    SavedTarget t;
    std::string error = "untouched";
    EXPECT_FALSE(parse(c.text, t, error)) << c.text.substr(0, 60);
    EXPECT_EQ(error, c.error) << c.text.substr(0, 60);
  }
}

TEST(TargetParse, AcceptsLenientLayouts) {
  SavedTarget t;
  std::string error = "untouched";
  // CR LF line ends, lines in any order, unknown keys and lines without "=" ignored, a
  // repeated key overrides, a broken spread reads as zeros, 181 curve numbers read the first.
  const std::string text =
      "SpectraPoise target 1\r\n"
      "spread=" + numbers(179, "3") + "\r\n"
      "Name=ignored\r\n"
      "just a line\r\n"
      "curve=" + numbers(180, "0.5") + " 99\r\n"
      "name=first\r\n"
      "source=a=b.wav\r\n"
      "points=180\r\n"
      "name=Warm\r\n"
      "colour=red\r\n";
  ASSERT_TRUE(parse(text, t, error));
  EXPECT_EQ(error, "untouched");
  EXPECT_EQ(t.name, "Warm");
  EXPECT_EQ(t.source, "a=b.wav");
  EXPECT_EQ(t.curve[179], 0.5);
  for (double s : t.spread) EXPECT_EQ(s, 0.0);
}

TEST(TargetParse, MissingOrEmptyNameTakesTheDisplayName) {
  for (const std::string& nameLine : {std::string(), std::string("name=\n")}) {
    SavedTarget t;
    t.factory = true;
    t.name = "stale";
    std::string error;
    ASSERT_TRUE(parse("SpectraPoise target 1\n" + nameLine + kGoodLists, t, error, "Stem"));
    EXPECT_EQ(t.name, "Stem");
    EXPECT_TRUE(t.source.empty());
    EXPECT_FALSE(t.factory);
  }
}

TEST(TargetFolder, UserFolderLiesUnderTheRoot) {
  EXPECT_EQ(userTargetDirectory("/home/u/.local/share"),
            std::filesystem::path("/home/u/.local/share/SpectraPoise/Targets"));
}

TEST(TargetFolder, WriteReadAndListSortedByName) {
  TempDir dir;
  const auto folder = dir.path() / "SpectraPoise" / "Targets";  // created on demand
  std::string error = "untouched";
  const BandCurve curve = ramp(-3.0, 0.01);
  for (const char* name : {"b", "B", "a"})
    ASSERT_TRUE(writeTarget(folder, name, "", curve, BandCurve{}, error));
  EXPECT_EQ(error, "untouched");
  // Names are cleaned into file names; the name as typed stays in the file.
  ASSERT_TRUE(writeTarget(folder, "x/y: z", "song.mp3", curve, ramp(1, 0), error));
  EXPECT_TRUE(std::filesystem::exists(folder / "x-y- z.sptarget"));
  ASSERT_TRUE(writeTarget(folder, "  ..  ", "", curve, BandCurve{}, error));
  EXPECT_TRUE(std::filesystem::exists(folder / "Target.sptarget"));
  // Things that are not targets are skipped without a word.
  writeFile(folder / "broken.sptarget", "SpectraPoise target 1\npoints=180\n");
  writeFile(folder / "other.txt", readFile(folder / "a.sptarget"));
  std::filesystem::create_directories(folder / "sub.sptarget");

  const std::vector<SavedTarget> list = listTargets(folder);
  std::vector<std::string> names;
  for (const SavedTarget& t : list) names.push_back(t.name);
  EXPECT_EQ(names, (std::vector<std::string>{"  ..  ", "B", "a", "b", "x/y: z"}));
  const SavedTarget& named = list.back();
  EXPECT_EQ(named.source, "song.mp3");
  EXPECT_EQ(named.path, folder / "x-y- z.sptarget");
  EXPECT_EQ(named.spread[7], 1.0);
  EXPECT_TRUE(listTargets(dir.path() / "missing").empty());
}

TEST(TargetFolder, ReadUsesTheStemAndRefusesWhatIsNoTarget) {
  TempDir dir;
  SavedTarget t;
  std::string error;
  EXPECT_FALSE(readTarget(dir / "absent.sptarget", t, error));
  EXPECT_EQ(error, "not an SpectraPoise target: absent");

  writeFile(dir / "Loud.one.sptarget", "SpectraPoise target 1\n" + kGoodLists);
  ASSERT_TRUE(readTarget(dir / "Loud.one.sptarget", t, error));
  EXPECT_EQ(t.name, "Loud.one");
  EXPECT_EQ(t.path, dir / "Loud.one.sptarget");

  writeFile(dir / "grid.sptarget", "SpectraPoise target 1\npoints=181\n");
  EXPECT_FALSE(readTarget(dir / "grid.sptarget", t, error));
  EXPECT_EQ(error, "the target was written for another frequency grid: grid");

  // An oversized file is not read whole: a megabyte of padding after a valid target.
  writeFile(dir / "huge.sptarget",
            "SpectraPoise target 1\n" + kGoodLists + "pad=" + std::string(1 << 20, 'x') + "\n");
  EXPECT_FALSE(readTarget(dir / "huge.sptarget", t, error));
  EXPECT_EQ(error, "not an SpectraPoise target: huge");

  std::filesystem::create_directories(dir / "folder.sptarget");
  EXPECT_FALSE(readTarget(dir / "folder.sptarget", t, error));
  EXPECT_EQ(error, "not an SpectraPoise target: folder");
}

TEST(TargetFolder, FailedWriteKeepsTheOldFileAndReportsThePath) {
  TempDir dir;
  const auto folder = dir.path() / "targets";
  std::string error;
  ASSERT_TRUE(writeTarget(folder, "Keep", "", ramp(0, 0), BandCurve{}, error));
  const std::string old = readFile(folder / "Keep.sptarget");

  // Values that could never be read back are refused before anything is written.
  BandCurve bad = ramp(0, 1);
  bad[90] = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(writeTarget(folder, "Keep", "", bad, BandCurve{}, error));
  EXPECT_EQ(error, "could not write " + (folder / "Keep.sptarget").string());
  BandCurve infSpread{};
  infSpread[3] = INFINITY;
  error.clear();
  EXPECT_FALSE(writeTarget(folder, "Keep", "", ramp(0, 1), infSpread, error));
  EXPECT_EQ(error, "could not write " + (folder / "Keep.sptarget").string());
  EXPECT_EQ(readFile(folder / "Keep.sptarget"), old);

  // A folder that cannot exist (a file stands in its way).
  writeFile(dir / "blocker", "x");
  EXPECT_FALSE(writeTarget(dir / "blocker", "Keep", "", ramp(0, 1), BandCurve{}, error));
  EXPECT_EQ(error, "could not write " + (dir / "blocker" / "Keep.sptarget").string());

  // Nothing but the target file is left behind.
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1);
}

}  // namespace
