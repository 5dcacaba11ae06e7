// Preset files: exact format, reading rules, safe file choice, listing order, Base64.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "services/presets.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using namespace brightloom::presets;
using sp::test::readFile;
using sp::test::TempDir;
using sp::test::writeFile;

namespace {

constexpr Format kFormat{".sppreset", "SpectraPoise preset 1", "SpectraPoise", "SpectraPoise"};

std::vector<std::uint8_t> bytes(std::string_view s) { return {s.begin(), s.end()}; }

std::string presetText(std::string_view name, std::string_view stateBase64) {
  return "SpectraPoise preset 1\nname=" + std::string(name) + "\nstate=" + std::string(stateBase64) + "\n";
}

}  // namespace

// ---- the file format ----

TEST(PresetFile, WritesExactlyThreeLinesAndReadsThemBack) {
  TempDir dir;
  const std::vector<std::uint8_t> state = {0x00, 0x01, 0x02, 0xFF, 'S', 'P', 'S', '1'};
  std::string error;
  ASSERT_TRUE(writePreset(kFormat, dir.path(), "Warm\nPad\r", state, error)) << error;

  // The file is named after the name as stored.
  const fs::path path = dir / "Warm Pad.sppreset";
  EXPECT_EQ(readFile(path), "SpectraPoise preset 1\nname=Warm Pad \nstate=AAEC/1NQUzE=\n");

  SavedPreset preset;
  ASSERT_TRUE(readPreset(kFormat, path, preset, error)) << error;
  EXPECT_EQ(preset.name, "Warm Pad ");
  EXPECT_EQ(preset.state, state);
  EXPECT_EQ(preset.path, path);
}

TEST(PresetFile, ReadingRules) {
  struct Case {
    std::string text;
    bool ok;
    std::string nameOrError;
    std::vector<std::uint8_t> state;
  };
  const std::string notPreset = "not an SpectraPoise preset: f.sppreset";
  const std::string noState = "the preset has no readable state: f.sppreset";
  const std::vector<Case> cases = {
      {"", false, notPreset, {}},
      {"SpectraPoise preset 1 \nname=A\nstate=AAAA\n", false, notPreset, {}},
      {"\nSpectraPoise preset 1\nname=A\nstate=AAAA\n", false, notPreset, {}},
      {"SpectraPoise preset 2\nname=A\nstate=AAAA\n", false, notPreset, {}},
      {"SpectraPoise preset 1\r\r\nname=A\nstate=AAAA\n", false, notPreset, {}},
      {"spectrapoise preset 1\nname=A\nstate=AAAA\n", false, notPreset, {}},
      {"SpectraPoise preset 1\r\nname=A\r\nstate=AAAA\r\n", true, "A", {0, 0, 0}},
      {"SpectraPoise preset 1\nstate=YWJj", true, "f", bytes("abc")},  // no final LF
      {"SpectraPoise preset 1\nname=A\n", false, noState, {}},
      {"SpectraPoise preset 1", false, noState, {}},
      {"SpectraPoise preset 1\nname=A\nstate=\n", false, noState, {}},
      {"SpectraPoise preset 1\nname=A\nstate=AAA\n", false, noState, {}},
      {"SpectraPoise preset 1\nname=A\nstate=AAAA\nstate=A@A=\n", false, noState, {}},
      {"SpectraPoise preset 1\nname=A\nstate=A@A=\nstate=AAAA\n", true, "A", {0, 0, 0}},
      {"SpectraPoise preset 1\nname=A\nState=AAAA\n", false, noState, {}},
      {"SpectraPoise preset 1\nname=\nstate=AAAA\n", true, "f", {0, 0, 0}},
      {"SpectraPoise preset 1\nname=a=b\nstate=AAAA\n", true, "a=b", {0, 0, 0}},
      {"SpectraPoise preset 1\nName=x\nstate=AAAA\n", true, "f", {0, 0, 0}},
      {"SpectraPoise preset 1\n name=x\nstate=AAAA\n", true, "f", {0, 0, 0}},
      {"SpectraPoise preset 1\nname=first\nname=last\nstate=AAAA\n", true, "last", {0, 0, 0}},
      {"SpectraPoise preset 1\nstate=AAAA\njunk line\nother=1\nname=late\n", true, "late", {0, 0, 0}},
      {"SpectraPoise preset 1\nname=A\nstate=AA AA\n", false, noState, {}},
      {"SpectraPoise preset 1\nname=\xC3\xA9\xFF\nstate=AAAA\n", true, "\xC3\xA9\xFF", {0, 0, 0}},
  };
  TempDir dir;
  const fs::path path = dir / "f.sppreset";
  for (const auto& c : cases) {
    ASSERT_TRUE(writeFile(path, c.text));
    SavedPreset preset{"stale", {9}, "stale"};
    std::string error;
    const bool ok = readPreset(kFormat, path, preset, error);
    EXPECT_EQ(ok, c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(preset.name, c.nameOrError) << c.text;
      EXPECT_EQ(preset.state, c.state) << c.text;
      EXPECT_EQ(preset.path, path);
    } else {
      EXPECT_EQ(error, c.nameOrError) << c.text;
    }
  }
}

TEST(PresetFile, MissingFolderFifoAndHugeFilesAreRefusedWithoutReadingThemWhole) {
  TempDir dir;
  SavedPreset preset;
  std::string error;
  EXPECT_FALSE(readPreset(kFormat, dir / "missing.sppreset", preset, error));
  EXPECT_EQ(error, "not an SpectraPoise preset: missing.sppreset");

  fs::create_directory(dir / "folder.sppreset");
  EXPECT_FALSE(readPreset(kFormat, dir / "folder.sppreset", preset, error));
  EXPECT_EQ(error, "not an SpectraPoise preset: folder.sppreset");

  // A FIFO would block a plain open: refused at once.
  ASSERT_EQ(::mkfifo((dir / "pipe.sppreset").c_str(), 0600), 0);
  EXPECT_FALSE(readPreset(kFormat, dir / "pipe.sppreset", preset, error));
  EXPECT_EQ(error, "not an SpectraPoise preset: pipe.sppreset");

  // Sparse files above the 16 MiB cap: decided from the first line alone.
  const fs::path huge = dir / "huge.sppreset";
  ASSERT_TRUE(writeFile(huge, presetText("Huge", "AAAA")));
  fs::resize_file(huge, kMaxPresetFileBytes + 1);
  EXPECT_FALSE(readPreset(kFormat, huge, preset, error));
  EXPECT_EQ(error, "the preset has no readable state: huge.sppreset");

  const fs::path garbage = dir / "garbage.sppreset";
  ASSERT_TRUE(writeFile(garbage, "garbage"));
  fs::resize_file(garbage, 64u * 1024u * 1024u);
  EXPECT_FALSE(readPreset(kFormat, garbage, preset, error));
  EXPECT_EQ(error, "not an SpectraPoise preset: garbage.sppreset");

  // Exactly at the cap still reads.
  const fs::path edge = dir / "edge.sppreset";
  std::string text = presetText("Edge", "AAAA");
  text += "pad=" + std::string(kMaxPresetFileBytes - text.size() - 5, 'x') + "\n";
  ASSERT_EQ(text.size(), kMaxPresetFileBytes);
  ASSERT_TRUE(writeFile(edge, text));
  EXPECT_TRUE(readPreset(kFormat, edge, preset, error)) << error;
}

// ---- choosing the file ----

TEST(PresetPath, SameCleanNameGoesToNumberedFileAndIsFoundAgain) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(writeFile(dir / "Warm.sppreset", presetText("Warm ", "AAAA")));
  EXPECT_EQ(userPresetDirectory(kFormat, "/home/u/data"), fs::path("/home/u/data/SpectraPoise/Presets"));

  EXPECT_EQ(presetPathForName(kFormat, dir.path(), "Warm"), dir / "Warm-1.sppreset");
  ASSERT_TRUE(writePreset(kFormat, dir.path(), "Warm", bytes("one"), error));
  EXPECT_EQ(readFile(dir / "Warm.sppreset"), presetText("Warm ", "AAAA"));

  // Next time the same name finds its own file and replaces it.
  EXPECT_EQ(presetPathForName(kFormat, dir.path(), "Warm"), dir / "Warm-1.sppreset");
  ASSERT_TRUE(writePreset(kFormat, dir.path(), "Warm", bytes("two"), error));
  EXPECT_EQ(readFile(dir / "Warm-1.sppreset"), presetText("Warm", "dHdv"));
  EXPECT_FALSE(fs::exists(dir / "Warm-2.sppreset"));
  // And "Warm " still finds the first.
  EXPECT_EQ(presetPathForName(kFormat, dir.path(), "Warm "), dir / "Warm.sppreset");
}

// The stored name has a space for each line break; saving the same name again finds that
// file, whichever way the caller spells the break.
TEST(PresetPath, NameWithALineBreakKeepsOneFile) {
  TempDir dir;
  std::string error;
  const struct {
    const char* name;
    const char* file;
  } saves[] = {
      {"Warm\nBass", "Warm Bass.sppreset"},    {"Warm\nBass", "Warm Bass.sppreset"},
      {"Warm\rBass", "Warm Bass.sppreset"},    {"Warm Bass", "Warm Bass.sppreset"},
      {"Warm\r\nBass", "Warm  Bass.sppreset"}, {"Warm\nBass", "Warm Bass.sppreset"},
  };
  for (const auto& save : saves) {
    SCOPED_TRACE(save.name);
    ASSERT_TRUE(writePreset(kFormat, dir.path(), save.name, bytes(save.name), error)) << error;
    EXPECT_EQ(presetPathForName(kFormat, dir.path(), save.name), dir / save.file);
  }
  const std::vector<SavedPreset> presets = listPresets(kFormat, dir.path());
  ASSERT_EQ(presets.size(), 2u);
  EXPECT_EQ(presets[0].name, "Warm  Bass");
  EXPECT_EQ(presets[1].name, "Warm Bass");
  EXPECT_EQ(presets[1].path, dir / "Warm Bass.sppreset");
  EXPECT_EQ(presets[1].state, bytes("Warm\nBass"));  // the last save
}

TEST(PresetPath, ForeignFilesAndFoldersAreNeverChosen) {
  TempDir dir;
  ASSERT_TRUE(writeFile(dir / "Warm.sppreset", "not a preset"));
  fs::create_directory(dir / "Warm-1.sppreset");
  fs::create_symlink(dir / "nowhere", dir / "Warm-2.sppreset");
  ASSERT_TRUE(writeFile(dir / "Warm-3.sppreset", presetText("Warm", "")));  // no state
  EXPECT_EQ(presetPathForName(kFormat, dir.path(), "Warm"), dir / "Warm-4.sppreset");
  EXPECT_EQ(presetPathForName(kFormat, dir.path(), ""), dir / "Preset.sppreset");
}

TEST(PresetPath, AllCandidatesTakenGivesNoPathAndOverwritesNothing) {
  TempDir dir;
  ASSERT_TRUE(writeFile(dir / "Warm.sppreset", "other"));
  for (int n = 1; n <= 999; ++n) {
    ASSERT_TRUE(writeFile(dir / ("Warm-" + std::to_string(n) + ".sppreset"), "other"));
  }
  EXPECT_TRUE(presetPathForName(kFormat, dir.path(), "Warm").empty());
  std::string error;
  EXPECT_FALSE(writePreset(kFormat, dir.path(), "Warm", bytes("x"), error));
  EXPECT_EQ(error, "could not write " + (dir / "Warm.sppreset").string());
  EXPECT_EQ(readFile(dir / "Warm.sppreset"), "other");
  EXPECT_EQ(readFile(dir / "Warm-999.sppreset"), "other");
  EXPECT_FALSE(fs::exists(dir / "Warm-1000.sppreset"));
}

TEST(PresetWrite, FailureReportsThePath) {
  TempDir dir;
  ASSERT_TRUE(writeFile(dir / "file", "x"));
  std::string error;
  EXPECT_FALSE(writePreset(kFormat, dir / "file" / "Presets", "Warm", bytes("x"), error));
  EXPECT_EQ(error, "could not write " + (dir / "file" / "Presets" / "Warm.sppreset").string());
}

// ---- listing ----

TEST(PresetList, SortsByUnsignedBytesThenPathAndDropsUnreadable) {
  TempDir dir;
  EXPECT_TRUE(listPresets(kFormat, dir / "missing").empty());
  ASSERT_TRUE(writeFile(dir / "1.sppreset", presetText("a", "AAAA")));
  ASSERT_TRUE(writeFile(dir / "2.sppreset", presetText("B", "AAAA")));
  ASSERT_TRUE(writeFile(dir / "3.sppreset", presetText("Warm 2", "AAAA")));
  ASSERT_TRUE(writeFile(dir / "4.sppreset", presetText("Warm", "AAAA")));
  ASSERT_TRUE(writeFile(dir / "5.sppreset", presetText("\xC3\xA9t\xC3\xA9", "AAAA")));
  ASSERT_TRUE(writeFile(dir / "6.sppreset", presetText("z", "AAAA")));
  ASSERT_TRUE(writeFile(dir / "8.sppreset", presetText("Same", "AAAA")));
  ASSERT_TRUE(writeFile(dir / "7.sppreset", presetText("Same", "AAAA")));
  ASSERT_TRUE(writeFile(dir / "broken.sppreset", presetText("Broken", "A")));
  ASSERT_TRUE(writeFile(dir / "junk.sppreset", "junk"));
  ASSERT_TRUE(writeFile(dir / "other.txt", presetText("Other", "AAAA")));

  std::vector<std::string> names;
  std::vector<std::string> files;
  for (const auto& p : listPresets(kFormat, dir.path())) {
    names.push_back(p.name);
    files.push_back(p.path.filename().string());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"B", "Same", "Same", "Warm", "Warm 2", "a", "z",
                                             "\xC3\xA9t\xC3\xA9"}));
  EXPECT_EQ(files[1], "7.sppreset");
  EXPECT_EQ(files[2], "8.sppreset");
}

// ---- Base64 ----

TEST(Base64, KnownTextsAndStrictDecoding) {
  EXPECT_EQ(toBase64(bytes("")), "");
  EXPECT_EQ(toBase64(bytes("abc")), "YWJj");
  EXPECT_EQ(toBase64(bytes("ab")), "YWI=");
  EXPECT_EQ(toBase64(bytes("a")), "YQ==");
  EXPECT_EQ(toBase64(std::vector<std::uint8_t>{0xFB, 0xFF, 0xBF}), "+/+/");

  struct Case {
    std::string text;
    bool ok;
    std::string decoded;
  };
  const std::vector<Case> cases = {
      {"", true, ""},       {"YWJj", true, "abc"}, {"YWI=", true, "ab"},   {"YQ==", true, "a"},
      {"YR==", true, "a"},  // unused low bits are not checked
      {"YQ=", false, ""},   {"Y=Q=", false, ""},   {"YQ==YQ==", false, ""}, {"YW J", false, ""},
      {"YWJj\n", false, ""}, {"====", false, ""},  {"A===", false, ""},    {"YW-_", false, ""},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> out = {1, 2, 3};
    EXPECT_EQ(fromBase64(c.text, out), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(out, bytes(c.decoded)) << c.text;
    }
  }
}

TEST(Base64, RandomBytesRoundTrip) {
  std::mt19937 rng(1234);
  for (int size = 0; size < 300; ++size) {
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    const std::string text = toBase64(data);
    ASSERT_EQ(text.size(), (data.size() + 2) / 3 * 4);
    std::vector<std::uint8_t> back;
    ASSERT_TRUE(fromBase64(text, back));
    ASSERT_EQ(back, data);
  }
}
