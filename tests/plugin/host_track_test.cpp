// The host track: REAPER's host functions found through the host context (label, number,
// colour; released again at terminate), the VST3 channel context elsewhere, and the accent
// colour taken from the track.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "public.sdk/source/vst/hosting/hostclasses.h"
#include "shims/reaper/reaper_host.h"
#include "shims/vst3sdk/utf_convert.h"
#include "tests/support/plugin/editor_fixture.h"
#include "tools/testhost/host_objects.h"

namespace {

using namespace sp::test;
using namespace spectrapoise::plugin;
using plugkit::canvas::IColor;

// What the fake REAPER answers (its functions are plain C functions, so the state is global).
struct FakeTrack {
  bool nameAnswers = true;
  std::string name;
  bool fillWholeBuffer = false;  // writes 4096 bytes without a terminator
  double number = 0.0;
  double colour = 0.0;
  bool bufferWasZeroed = true;
  int nameCalls = 0;
};
FakeTrack fake;
MediaTrack* const kTrack = reinterpret_cast<MediaTrack*>(0x1234);

bool fakeGetSetString(MediaTrack* track, const char* key, char* buffer, bool set) {
  ++fake.nameCalls;
  EXPECT_EQ(track, kTrack);
  EXPECT_STREQ(key, "P_NAME");
  EXPECT_FALSE(set);
  for (std::size_t i = 0; i < kTrackNameBuffer; ++i)
    if (buffer[i] != 0) fake.bufferWasZeroed = false;
  if (!fake.nameAnswers) return false;
  if (fake.fillWholeBuffer)
    std::memset(buffer, 'a', kTrackNameBuffer);
  else
    std::memcpy(buffer, fake.name.c_str(), fake.name.size() + 1);
  return true;
}

double fakeGetValue(MediaTrack* track, const char* key) {
  EXPECT_EQ(track, kTrack);
  if (std::strcmp(key, "IP_TRACKNUMBER") == 0) return fake.number;
  if (std::strcmp(key, "I_CUSTOMCOLOR") == 0) return fake.colour;
  ADD_FAILURE() << key;
  return 0.0;
}

// Native colours in this fake are 0xBBGGRR.
void fakeColorFromNative(int native, int* r, int* g, int* b) {
  *r = native & 0xFF;
  *g = (native >> 8) & 0xFF;
  *b = (native >> 16) & 0xFF;
}

// The test host's context as REAPER: its name, the three functions above, and the track.
struct ReaperContext {
  testhost::HostContext* host = new testhost::HostContext("REAPER");
  ReaperContext() {
    host->setReaperFunctions({{"GetSetMediaTrackInfo_String", reinterpret_cast<void*>(&fakeGetSetString)},
                              {"GetMediaTrackInfo_Value", reinterpret_cast<void*>(&fakeGetValue)},
                              {"ColorFromNative", reinterpret_cast<void*>(&fakeColorFromNative)}});
    host->setReaperTrack(kTrack);
  }
  ~ReaperContext() { host->release(); }
  ReaperContext(const ReaperContext&) = delete;
  ReaperContext& operator=(const ReaperContext&) = delete;
  int refs() const { return host->refCount(); }
};

std::string labelOf(const SpectraPoise& plug) {
  StringBuf label;
  plug.trackLabel(label);
  return label.Get();
}

void setChannel(SpectraPoise& plug, const char* name, int index, std::int64_t colour) {
  auto* list = new Steinberg::Vst::HostAttributeList();
  if (name != nullptr) {
    Steinberg::Vst::String128 text{};
    vst3shim::utf8ToUtf16(name, std::strlen(name), reinterpret_cast<char16_t*>(text), 128);
    list->setString(Steinberg::Vst::ChannelContext::kChannelNameKey, text);
  }
  list->setInt(Steinberg::Vst::ChannelContext::kChannelIndexKey, index);
  list->setInt(Steinberg::Vst::ChannelContext::kChannelColorKey, colour);
  EXPECT_EQ(plug.setChannelContextInfos(list), Steinberg::kResultOk);
  list->release();
}

class HostTrack : public EditorFixture {
protected:
  void SetUp() override {
    fake = FakeTrack{};
    EditorFixture::SetUp();
  }
  void initializeIn(ReaperContext& context) {
    ASSERT_EQ(plug->initialize(static_cast<Steinberg::Vst::IHostApplication*>(context.host)), Steinberg::kResultOk);
  }
};

TEST_F(HostTrack, InitializeLooksUpTheThreeFunctionsAndTerminateReleasesThem) {
  ReaperContext context;
  initializeIn(context);
  EXPECT_EQ(context.host->reaperLookups,
            (std::vector<std::string>{"GetSetMediaTrackInfo_String", "GetMediaTrackInfo_Value", "ColorFromNative"}));
  EXPECT_EQ(std::string(plug->GetHostName()), "REAPER");
  // The binding keeps the host context and the plug-in REAPER's interface on it.
  EXPECT_EQ(context.refs(), 3);

  fake.name = "Bass";
  fake.number = 3;
  EXPECT_EQ(labelOf(*plug), "#3: Bass");

  EXPECT_EQ(plug->terminate(), Steinberg::kResultOk);
  EXPECT_EQ(context.refs(), 1);
  const int calls = fake.nameCalls;
  EXPECT_EQ(labelOf(*plug), "");
  EXPECT_EQ(fake.nameCalls, calls);
}

TEST_F(HostTrack, DestroyingWithoutTerminateGivesTheInterfaceBack) {
  ReaperContext context;
  initializeIn(context);
  const int held = context.refs();
  plug->SingleComponentEffect::terminate();  // the binding's part only: REAPER's interface stays held
  ASSERT_EQ(context.refs(), held - 1);
  plug.reset();
  EXPECT_EQ(context.refs(), 1);
}

TEST_F(HostTrack, ReaperLabels) {
  ReaperContext context;
  initializeIn(context);
  struct Case {
    const char* name;
    double number;
    const char* label;
  };
  const Case cases[] = {
      {"Bass", 3, "#3: Bass"}, {"", 3, "#3"}, {"Bass", 3.9, "#3: Bass"},
      {"Master", -1, "Master"}, {"Lost", 0, "Lost"}, {"Bass", NAN, "Bass"},
  };
  for (const Case& c : cases) {
    fake.name = c.name;
    fake.number = c.number;
    EXPECT_EQ(labelOf(*plug), c.label) << c.name << " " << c.number;
  }
  EXPECT_TRUE(fake.bufferWasZeroed);
  plug->terminate();
}

TEST_F(HostTrack, LongReaperNamesAreCutOnACharacterBoundary) {
  ReaperContext context;
  initializeIn(context);
  fake.number = 12;
  std::string name;
  while (name.size() < 1000) name += "ä";  // two bytes each
  fake.name = name;
  const std::string label = labelOf(*plug);
  EXPECT_LE(label.size(), kTrackLabelMax);
  EXPECT_GE(label.size(), kTrackLabelMax - 1);
  EXPECT_EQ(label.substr(0, 5), "#12: ");
  EXPECT_EQ((label.size() - 5) % 2, 0u);  // whole characters only

  fake.fillWholeBuffer = true;  // no terminator within the buffer
  EXPECT_EQ(labelOf(*plug), "#12: " + std::string(kTrackLabelMax - 5, 'a'));
  plug->terminate();
}

TEST_F(HostTrack, WithoutAReaperTrackTheChannelContextNamesIt) {
  ReaperContext context;
  context.host->setReaperTrack(nullptr);
  initializeIn(context);
  setChannel(*plug, "Keys", 2, 0);
  EXPECT_EQ(labelOf(*plug), "#2: Keys");
  context.host->setReaperTrack(kTrack);
  fake.nameAnswers = false;
  EXPECT_EQ(labelOf(*plug), "#2: Keys");
  plug->terminate();
}

TEST_F(HostTrack, OtherHostsUseTheChannelContext) {
  ASSERT_EQ(plug->initialize(nullptr), Steinberg::kResultOk);
  EXPECT_EQ(labelOf(*plug), "");
  setChannel(*plug, "Keys", 2, 0);
  EXPECT_EQ(labelOf(*plug), "#2: Keys");
  setChannel(*plug, "", 5, 0);
  EXPECT_EQ(labelOf(*plug), "");
  int r = -1, g = -1, b = -1;
  EXPECT_FALSE(plug->trackColour(r, g, b));
  setChannel(*plug, "Keys", 2, 0xFF102030);
  ASSERT_TRUE(plug->trackColour(r, g, b));
  EXPECT_EQ((std::vector<int>{r, g, b}), (std::vector<int>{0x10, 0x20, 0x30}));
}

TEST_F(HostTrack, ReaperColourCountsOnlyWithItsCustomBit) {
  ReaperContext context;
  initializeIn(context);
  int r = 0, g = 0, b = 0;
  fake.colour = 0x1000000 | 0x302010;
  ASSERT_TRUE(plug->trackColour(r, g, b));
  EXPECT_EQ((std::vector<int>{r, g, b}), (std::vector<int>{0x10, 0x20, 0x30}));

  fake.colour = 0x302010;  // no custom colour: the channel context, then none
  EXPECT_FALSE(plug->trackColour(r, g, b));
  setChannel(*plug, "x", 1, 0xFF405060);
  ASSERT_TRUE(plug->trackColour(r, g, b));
  EXPECT_EQ((std::vector<int>{r, g, b}), (std::vector<int>{0x40, 0x50, 0x60}));
  plug->terminate();
}

TEST_F(HostTrack, DawColourIsLevelled) {
  struct Case {
    std::uint32_t argb;
    IColor want;
  };
  const Case cases[] = {
      {0xFF000064, IColor(255, 0, 0, 255)},       {0xFFFFFFFF, IColor(255, 200, 200, 200)},
      {0xFF010101, IColor(255, 47, 47, 47)},      {0xFF00000D, IColor(255, 21, 232, 121)},
      {0xFF000000, IColor(255, 21, 232, 121)},    {0xFF6496C8, IColor(255, 100, 150, 200)},
  };
  ASSERT_EQ(plug->accentIndex(), 5);
  EXPECT_EQ(plug->resolvedAccent(128), IColor(128, 21, 232, 121));  // no track colour: green
  for (const Case& c : cases) {
    setChannel(*plug, "t", 1, c.argb);
    EXPECT_EQ(plug->resolvedAccent(255), c.want) << std::hex << c.argb;
  }
  plug->setAccentIndex(2);
  EXPECT_EQ(plug->resolvedAccent(10), IColor(10, 255, 122, 0));
  plug->setAccentIndex(9);
  EXPECT_EQ(plug->accentIndex(), 0);
  plug->setAccentIndex(-1);
  EXPECT_EQ(plug->accentIndex(), 0);
}

TEST_F(HostTrack, IdleShowsTheLabelAndRebuildsForANewTrackColour) {
  ReaperContext context;
  initializeIn(context);
  fake.name = "Bass";
  fake.number = 3;
  tick();
  EXPECT_STREQ(panel.title->GetStr(), "#3: Bass");
  EXPECT_STREQ(plug->keptTrackLabel(), "#3: Bass");

  // A new track colour with "DAW color": the editor is laid out again, once.
  const int before = layouts;
  fake.colour = 0x1000000 | 0x0000FF;
  tick();
  EXPECT_EQ(layouts, before + 1);
  EXPECT_STREQ(panel.title->GetStr(), "SPECTRAPOISE");  // a new control: the layout's text
  tick();
  EXPECT_EQ(layouts, before + 1);

  // An empty label shows "SPECTRAPOISE" once a label was shown before.
  fake.nameAnswers = false;
  panel.title->SetStr("#3: Bass");
  panel.title->sets = 0;
  tick();
  EXPECT_STREQ(panel.title->GetStr(), "SPECTRAPOISE");
  EXPECT_EQ(panel.title->sets, 1);
  tick();
  EXPECT_EQ(panel.title->sets, 1);
  plug->terminate();
}

}  // namespace
