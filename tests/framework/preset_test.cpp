// Framework presets: filling, restoring, the preset list chunk, program files and dumps.
#include <gtest/gtest.h>

#include <filesystem>

#include <string>

#include "tests/support/test_plugin/test_plugin.h"
#include "tests/support/temp_dir.h"

namespace {

plugkit::Config configWithPresets(int presets, bool chunks) {
  plugkit::Config c = sp::test::productConfig();
  c.presetCount = presets;
  c.stateIsChunk = chunks;
  return c;
}

TEST(Presets, FirstRestoreOfAFreshPresetMakesAUserPreset) {
  sp::test::TestPlugin plug;
  EXPECT_STREQ(plug.GetPresetName(0), "empty");
  plug.GetParam(5)->Set(70);
  plug.clearLog();
  ASSERT_TRUE(plug.RestorePreset(0));
  EXPECT_STREQ(plug.GetPresetName(0), "user preset 1");
  EXPECT_EQ(plug.countInLog("OnRestoreState"), 1);

  plug.GetParam(5)->Set(10);
  ASSERT_TRUE(plug.RestorePreset(0));  // now initialised: its stored state comes back
  EXPECT_DOUBLE_EQ(plug.GetParam(5)->Value(), 70);

  plug.clearLog();
  EXPECT_FALSE(plug.RestorePreset(5));
  EXPECT_FALSE(plug.RestorePreset(-1));
  EXPECT_FALSE(plug.RestorePreset(""));
  EXPECT_TRUE(plug.log.empty());
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 0);
}

TEST(Presets, OneEmptyPresetSerialisesToTenBytes) {
  sp::test::TestPlugin plug;
  plugkit::IByteChunk chunk;
  ASSERT_TRUE(plug.SerializePresets(chunk));
  EXPECT_EQ(chunk.Size(), 10);
}

TEST(Presets, FillingAndTheListChunkRoundTrip) {
  sp::test::TestPlugin plug(configWithPresets(3, true));
  std::initializer_list<double> values = {1, -20, 300, 7000, 1, 10, 20, 30, 40, 5, 0, 1, 2, 3, 4, 2500, 60, 5};
  ASSERT_TRUE(plug.MakePreset("all", values));
  ASSERT_TRUE(plug.MakePresetFromNamedParams("named", {{1, -30.0}, {16, 90.0}}));
  // The defaults with "Bypass" on, in Base64.
  ASSERT_TRUE(plug.MakePresetFromBlob(
      "blob",
      "AAAAAAAA8D8AAAAAAAAswAAAAAAAAGlAAAAAAABwt0AAAAAAAAAAAAAAAAAAAElAAAAAAAAASUAAAAAAAABJQAAAAAAAAElAAAAA"
      "AAAALkAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAABAn0AAAAAAAABJQAAAAAAAAAAA",
      144));
  EXPECT_FALSE(plug.MakePreset("no room", values));

  ASSERT_TRUE(plug.RestorePreset("named"));
  EXPECT_DOUBLE_EQ(plug.GetParam(1)->Value(), -30);
  EXPECT_DOUBLE_EQ(plug.GetParam(16)->Value(), 90);
  EXPECT_DOUBLE_EQ(plug.GetParam(5)->Value(), 50);  // not named: the value it had

  plugkit::IByteChunk list;
  ASSERT_TRUE(plug.SerializePresets(list));
  sp::test::TestPlugin other(configWithPresets(3, true));
  EXPECT_EQ(other.UnserializePresets(list, 0), list.Size());
  EXPECT_STREQ(other.GetPresetName(2), "blob");
  ASSERT_TRUE(other.RestorePreset("all"));
  EXPECT_DOUBLE_EQ(other.GetParam(3)->Value(), 7000);
  ASSERT_TRUE(other.RestorePreset("blob"));
  EXPECT_DOUBLE_EQ(other.GetParam(0)->Value(), 1);
  EXPECT_DOUBLE_EQ(other.GetParam(15)->Value(), 2000);

  plugkit::IByteChunk cut;
  cut.PutBytes(list.GetData(), list.Size() / 2);
  EXPECT_EQ(other.UnserializePresets(cut, 0), -1);
}

TEST(ProgramFiles, ChunkAndParameterVariantsRoundTrip) {
  sp::test::TempDir dir;
  for (bool chunks : {true, false}) {
    SCOPED_TRACE(chunks ? "FPCh" : "FxCk");
    const std::string fxp = (dir / (chunks ? "a.fxp" : "b.fxp")).string();
    const std::string fxb = (dir / (chunks ? "a.fxb" : "b.fxb")).string();
    sp::test::TestPlugin plug(configWithPresets(2, chunks));
    plug.GetParam(2)->Set(400);
    plug.ModifyCurrentPreset("mine");
    ASSERT_TRUE(plug.SavePresetAsFXP(fxp.c_str()));
    ASSERT_TRUE(plug.SaveBankAsFXB(fxb.c_str()));

    sp::test::TestPlugin other(configWithPresets(2, chunks));
    ASSERT_TRUE(other.LoadPresetFromFXP(fxp.c_str()));
    EXPECT_NEAR(other.GetParam(2)->Value(), 400, chunks ? 0 : 0.01);
    EXPECT_STREQ(other.GetPresetName(0), "mine");

    sp::test::TestPlugin third(configWithPresets(2, chunks));
    ASSERT_TRUE(third.LoadBankFromFXB(fxb.c_str()));
    EXPECT_STREQ(third.GetPresetName(0), "mine");
    EXPECT_NEAR(third.GetParam(2)->Value(), 400, chunks ? 0 : 0.01);
  }
}

TEST(ProgramFiles, DamagedFilesChangeNothing) {
  sp::test::TempDir dir;
  sp::test::TestPlugin plug(configWithPresets(1, true));
  const std::string good = (dir / "good.fxp").string();
  ASSERT_TRUE(plug.SavePresetAsFXP(good.c_str()));
  const std::string bytes = sp::test::readFile(good);
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"wrong magic", "XXXX" + bytes.substr(4)},
      {"cut inside the header", bytes.substr(0, 30)},
      {"cut inside the state", bytes.substr(0, bytes.size() - 20)},
      {"hostile state size", bytes.substr(0, 56) + std::string("\x7F\xFF\xFF\xF0", 4) + bytes.substr(60)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto path = dir / "bad.fxp";
    ASSERT_TRUE(sp::test::writeFile(path, c.bytes));
    sp::test::TestPlugin other(configWithPresets(1, true));
    other.GetParam(1)->Set(-30);
    EXPECT_FALSE(other.LoadPresetFromFXP(path.c_str()));
    EXPECT_FALSE(other.LoadBankFromFXB(path.c_str()));
    EXPECT_DOUBLE_EQ(other.GetParam(1)->Value(), -30);
    EXPECT_STREQ(other.GetPresetName(0), "empty");
  }
  EXPECT_FALSE(plug.LoadPresetFromFXP((dir / "missing.fxp").c_str()));
  EXPECT_FALSE(plug.SavePresetAsFXP(""));
}

TEST(ProgramFiles, SavingNeverWritesThroughALinkBesideTheTarget) {
  sp::test::TempDir dir;
  const auto victim = dir / "victim.txt";
  ASSERT_TRUE(sp::test::writeFile(victim, "keep me"));
  const auto fxp = dir / "a.fxp";
  std::filesystem::create_symlink(victim, fxp.string() + ".partial");
  sp::test::TestPlugin plug(configWithPresets(1, true));
  ASSERT_TRUE(plug.SavePresetAsFXP(fxp.c_str()));
  EXPECT_EQ(sp::test::readFile(victim), "keep me");
  sp::test::TestPlugin other(configWithPresets(1, true));
  EXPECT_TRUE(other.LoadPresetFromFXP(fxp.c_str()));
}

TEST(PresetDumps, SourceTextCallsTheFillingOperations) {
  sp::test::TempDir dir;
  sp::test::TestPlugin plug;
  plug.RestorePreset(0);
  const auto path = dir / "dump.txt";
  ASSERT_TRUE(plug.DumpMakePresetSrc(path.c_str()));
  ASSERT_TRUE(plug.DumpPresetBlob(path.c_str()));
  const std::string text = sp::test::readFile(path);
  EXPECT_EQ(text.rfind("MakePreset(\"user preset 1\", {false, -14.000000, 200.000000", 0), 0u) << text;
  EXPECT_NE(text.find("MakePresetFromBlob(\"user preset 1\", \""), std::string::npos);
  EXPECT_NE(text.find("\", 144);\n"), std::string::npos);
}

}  // namespace
