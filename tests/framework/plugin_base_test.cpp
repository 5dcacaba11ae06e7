// The plug-in API base and the default hooks: host identification, editor edits to the
// host and the parameters, state comparison, version texts and the small defaults.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/version.h"
#include "tests/support/test_plugin/test_plugin.h"
#include "tools/testhost/host_objects.h"

namespace {

using plugkit::EHost;
using plugkit::IPluginAPIBase;

TEST(HostIdentification, NamesTable) {
  const std::string longName(300, 'x');
  struct Case {
    std::string name;
    int id;
  } cases[] = {
      {"WaveLab Elements 11", 32},
      {"WaveLab 11", 31},
      {"BITWIG STUDIO", 34},
      {"cubase live", 3},  // "cubase" is tested first
      {"REAPER", 1},
      {"Ardour 8", 28},
      {"Harrison Mixbus 9", 45},
      {"Standalone www", 24},
      {"", 0},
      {longName + "reaper", 0},  // cut at 255 characters
      {longName, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.substr(0, 40));
    sp::test::TestPlugin plug;
    EXPECT_EQ(plug.GetHost(), plugkit::kHostUninit);
    plug.clearLog();
    plug.SetHost(c.name.c_str(), 0);
    EXPECT_EQ(plug.GetHost(), c.id);
    EXPECT_EQ(plug.GetHostName(), c.name);
    EXPECT_EQ(plug.countInLog("OnHostIdentified"), 1);
  }
  sp::test::TestPlugin plug;
  plug.SetHost(nullptr, 0);
  EXPECT_EQ(plug.GetHost(), plugkit::kHostUnknown);
}

class EditorEdits : public ::testing::Test {
protected:
  EditorEdits() : handler(new testhost::ComponentHandler()) {
    plug.setComponentHandler(handler);
    plug.logParamChanges = true;
    handler->onCall = [this](const testhost::ComponentHandler::Call& call) {
      plug.log.push_back(call.kind + " " + std::to_string(call.id) + " value " +
                         std::to_string(static_cast<int>(plug.GetParam(5)->Value())));
    };
    plug.clearLog();
  }
  ~EditorEdits() override {
    plug.setComponentHandler(nullptr);
    handler->release();
  }
  sp::test::TestPlugin plug;
  testhost::ComponentHandler* handler;
};

TEST_F(EditorEdits, ValueFromTheEditorReachesParameterHostAndHooksInOrder) {
  plug.SendParameterValueFromUI(5, 0.3);
  const std::vector<std::string> expected = {"perform 5 value 30", "OnParamChange 5 3 -1", "OnParamChangeUI 5 3"};
  EXPECT_EQ(plug.log, expected);
  EXPECT_DOUBLE_EQ(handler->calls[0].value, 0.3);
  EXPECT_DOUBLE_EQ(plug.GetParam(5)->Value(), 30);
}

TEST_F(EditorEdits, GesturesAndDirtyParametersBracketEveryParameter) {
  plug.BeginInformHostOfParamChangeFromUI(2);
  plug.EndInformHostOfParamChangeFromUI(2);
  ASSERT_EQ(handler->calls.size(), 2u);
  EXPECT_EQ(handler->calls[0].kind, "begin");
  EXPECT_EQ(handler->calls[1].kind, "end");

  handler->calls.clear();
  plug.DirtyParametersFromUI();
  ASSERT_EQ(handler->calls.size(), 2u + 3u * 18u);
  EXPECT_EQ(handler->calls.front().kind, "startGroup");
  EXPECT_EQ(handler->calls.back().kind, "finishGroup");
  for (int i = 0; i < 18; ++i) {
    EXPECT_EQ(handler->calls[1 + 3 * i].kind, "begin");
    EXPECT_EQ(handler->calls[2 + 3 * i].kind, "perform");
    EXPECT_EQ(handler->calls[3 + 3 * i].kind, "end");
    EXPECT_EQ(handler->calls[2 + 3 * i].id, i);
    EXPECT_DOUBLE_EQ(handler->calls[2 + 3 * i].value, plug.GetParam(i)->GetNormalized());
  }
}

TEST_F(EditorEdits, ResizeWithoutPlatformResizeAsksNobody) {
  EXPECT_TRUE(plug.EditorResizeFromUI(700, 500, false));
  EXPECT_EQ(plug.GetEditorWidth(), 640);
  EXPECT_TRUE(handler->calls.empty());
}

TEST(ApiBase, CompareStateAndImportantParameters) {
  sp::test::TestPlugin plug;
  std::vector<double> data(20, 0.0);
  for (int i = 0; i < 18; ++i) data[static_cast<size_t>(i + 2)] = plug.GetParam(i)->Value();
  const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
  EXPECT_TRUE(plug.CompareState(bytes, 2));
  EXPECT_FALSE(plug.CompareState(bytes, 0));
  data[5] = 1e300;  // out of float range: never equal, never undefined
  EXPECT_FALSE(plug.CompareState(bytes, 2));

  std::vector<int> important;
  plug.OnHostRequestingImportantParameters(3, important);
  EXPECT_EQ(important, (std::vector<int>{0, 1, 2}));
  important.clear();
  plug.OnHostRequestingImportantParameters(18, important);
  EXPECT_TRUE(important.empty());
}

TEST(ApiBase, VersionTextsAndDefaults) {
  sp::test::TestPlugin plug;
  StringBuf text;
  using spectrapoise::plugin::kVersion, spectrapoise::plugin::kVersionCode;
  // As decimal digits: major x 10000 + minor x 100 + bug-fix (1.2.3 gives 10203).
  EXPECT_EQ(plug.GetPluginVersion(true),
            (kVersionCode >> 16) * 10000 + ((kVersionCode >> 8) & 0xFF) * 100 + (kVersionCode & 0xFF));
  plug.GetPluginVersionStr(text);
  EXPECT_EQ(std::string(text.Get()), std::string("v") + kVersion);
  EXPECT_STREQ(plug.GetAPIStr(), "VST3");
  plug.GetBuildInfoStr(text, "Jan  1 2025", "12:34:56");
  EXPECT_EQ(std::string(text.Get()), std::string("v") + kVersion + " VST3 (x86-64), built on Jan  1 2025 at 12:34 ");
  EXPECT_TRUE(plug.OnHostRequestingSupportedViewConfiguration(0, 0));
  EXPECT_FALSE(plug.OnHostRequestingSupportedViewConfiguration(640, 400));
  char note[8] = "x";
  EXPECT_FALSE(plug.GetMidiNoteText(60, note));
  EXPECT_STREQ(note, "");
  EXPECT_FALSE(plug.OnHostRequestingAboutBox());
  EXPECT_EQ(plug.GetMinWidth(), 480);
  EXPECT_EQ(plug.GetMaxHeight(), 800);
}

TEST(ApiBase, ParameterHelpers) {
  sp::test::TestPlugin plug;
  plug.GetParam(5)->Set(80);
  plug.CopyParamValues(5, 6, 1);
  EXPECT_DOUBLE_EQ(plug.GetParam(6)->Value(), 80);
  plug.DefaultParamValues(5, 6);
  EXPECT_DOUBLE_EQ(plug.GetParam(5)->Value(), 50);
  EXPECT_DOUBLE_EQ(plug.GetParam(6)->Value(), 50);
  int visited = 0;
  plug.ForParamInRange(11, 14, [&](int, plugkit::IParam& p) { visited += p.Unit() == plugkit::IParam::kUnitDB; });
  EXPECT_EQ(visited, 4);
  plug.RandomiseParamValues();
  for (int i = 0; i < plug.NParams(); ++i) {
    EXPECT_GE(plug.GetParam(i)->Value(), plug.GetParam(i)->GetMin());
    EXPECT_LE(plug.GetParam(i)->Value(), plug.GetParam(i)->GetMax());
  }
}

TEST(ApiBase, DelegateDefaultsForwardToTheHooks) {
  struct Messages : sp::test::TestPlugin {
    std::vector<std::string> seen;
    bool OnMessage(int msgTag, int ctrlTag, int, const void*) override {
      seen.push_back(std::to_string(msgTag) + "/" + std::to_string(ctrlTag));
      return true;
    }
  } plug;
  plug.SendArbitraryMsgFromDelegate(7);
  plug.SendArbitraryMsgFromUI(4, 2);
  EXPECT_EQ(plug.seen, (std::vector<std::string>{"7/-1", "4/2"}));

  plug.clearLog();
  plug.OnParamReset(plugkit::kPresetRecall);
  EXPECT_EQ(plug.countInLog("OnParamChangeUI 17 2"), 1);
  EXPECT_EQ(plug.nChanges.load(), 18);
  plug.clearLog();
  plug.SendParameterValueFromDelegate(4, 1.0, true);  // editor closed: the hook still runs
  EXPECT_EQ(plug.countInLog("OnParamChangeUI 4 4"), 1);
}

}  // namespace
