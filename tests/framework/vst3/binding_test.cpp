// The VST3 component and controller: buses, parameter objects and their texts, edits
// from the host's controller side, latency and tail, channel context, MIDI mapping and
// the object's identity.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "public.sdk/source/vst/hosting/hostclasses.h"
#include "shims/vst3sdk/utf_convert.h"
#include "tests/framework/vst3/vst3_fixture.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using sp::test::Bound;

std::string utf8(const TChar* text) {
  char out[1024];
  vst3shim::utf16ToUtf8(reinterpret_cast<const char16_t*>(text), 512, out, sizeof(out));
  return out;
}

std::u16string utf16(const char* text) {
  char16_t out[256];
  vst3shim::utf8ToUtf16(text, 1024, out, 256);
  return out;
}

TEST(Buses, InitializeMakesOneStereoBusEachWay) {
  Bound b;
  IComponent* c = b.host->component();
  ASSERT_EQ(c->getBusCount(kAudio, kInput), 1);
  ASSERT_EQ(c->getBusCount(kAudio, kOutput), 1);
  EXPECT_EQ(c->getBusCount(kEvent, kInput), 0);
  BusInfo info{};
  ASSERT_EQ(c->getBusInfo(kAudio, kInput, 0, info), kResultTrue);
  EXPECT_EQ(utf8(info.name), "Input");
  EXPECT_EQ(info.channelCount, 2);
  EXPECT_EQ(info.busType, kMain);
  EXPECT_EQ(info.flags, static_cast<uint32>(BusInfo::kDefaultActive));
  ASSERT_EQ(c->getBusInfo(kAudio, kOutput, 0, info), kResultTrue);
  EXPECT_EQ(utf8(info.name), "Output");
}

TEST(Buses, ArrangementsMatchAChannelConfiguration) {
  struct Case {
    const char* what;
    std::vector<SpeakerArrangement> in, out;
    tresult result;
    SpeakerArrangement afterIn;
  } cases[] = {
      {"mono to mono", {SpeakerArr::kMono}, {SpeakerArr::kMono}, kResultOk, 0x80000},
      {"stereo to stereo", {SpeakerArr::kStereo}, {SpeakerArr::kStereo}, kResultOk, 0x3},
      {"mono to stereo", {SpeakerArr::kMono}, {SpeakerArr::kStereo}, kResultFalse, 0x3},
      {"5.1", {SpeakerArr::k51}, {SpeakerArr::k51}, kResultFalse, 0x3},
      {"two inputs", {SpeakerArr::kStereo, SpeakerArr::kMono}, {SpeakerArr::kStereo}, kResultFalse, 0x3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bound b;
    auto in = c.in;
    auto out = c.out;
    EXPECT_EQ(b.host->processor()->setBusArrangements(in.data(), static_cast<int32>(in.size()), out.data(),
                                                       static_cast<int32>(out.size())),
              c.result);
    SpeakerArrangement arr = 0;
    ASSERT_EQ(b.host->processor()->getBusArrangement(kInput, 0, arr), kResultTrue);
    EXPECT_EQ(arr, c.afterIn);
    EXPECT_EQ(b.host->component()->getBusCount(kAudio, kInput), 1);
  }
  Bound ardour(sp::test::productConfig(), "Ardour 8");
  SpeakerArrangement mono = SpeakerArr::kMono, stereo = SpeakerArr::kStereo;
  EXPECT_EQ(ardour.host->processor()->setBusArrangements(&mono, 1, &stereo, 1), kResultOk);
  SpeakerArrangement arr = 0;
  ardour.host->processor()->getBusArrangement(kInput, 0, arr);
  EXPECT_EQ(arr, SpeakerArr::kStereo);  // untouched
  EXPECT_EQ(ardour.host->processor()->setBusArrangements(nullptr, 1, nullptr, 1), kResultOk);
  Bound other;
  EXPECT_EQ(other.host->processor()->setBusArrangements(nullptr, 1, nullptr, 1), kResultFalse);
}

TEST(Buses, TerminateAndInitializeAgainBuildOnce) {
  Bound b;
  EXPECT_EQ(b.host->initialize(nullptr), kResultFalse);  // already initialised
  EXPECT_EQ(b.host->component()->getBusCount(kAudio, kInput), 1);
  b.host->terminate();
  EXPECT_EQ(b.host->component()->getBusCount(kAudio, kInput), 0);
  EXPECT_EQ(b.controller()->getParameterCount(), 0);
  ASSERT_EQ(b.host->initialize(static_cast<IHostApplication*>(b.context)), kResultOk);
  EXPECT_EQ(b.host->component()->getBusCount(kAudio, kInput), 1);
  EXPECT_EQ(b.host->component()->getBusCount(kAudio, kOutput), 1);
  EXPECT_EQ(b.controller()->getParameterCount(), 19);
  EXPECT_EQ(b.controller()->setParamNormalized(plugkit::kBypassParamId, 1.0), kResultOk);
}

TEST(Initialize, IdentifiesTheHostAndResetsTheParameters) {
  Bound b(sp::test::productConfig(), "WaveLab 11", false);
  b.plug->clearLog();
  ASSERT_EQ(b.host->initialize(static_cast<IHostApplication*>(b.context)), kResultOk);
  EXPECT_EQ(b.plug->GetHost(), plugkit::kHostWaveLab);
  EXPECT_STREQ(b.plug->GetHostName(), "WaveLab 11");
  EXPECT_EQ(b.plug->countInLog("OnHostIdentified"), 2);  // from SetHost, then from initialize
  EXPECT_EQ(b.plug->countInLog("OnParamReset 0"), 1);
  Bound unknown(sp::test::productConfig(), "testhost", false);
  unknown.host->initialize(nullptr);
  EXPECT_EQ(unknown.plug->GetHost(), plugkit::kHostUninit);
}

TEST(Parameters, ObjectsInfoAndTexts) {
  Bound b;
  IEditController* c = b.controller();
  ASSERT_EQ(c->getParameterCount(), 19);
  ParameterInfo info{};
  ASSERT_EQ(c->getParameterInfo(0, info), kResultTrue);  // the bypass parameter comes first
  EXPECT_EQ(info.id, plugkit::kBypassParamId);
  EXPECT_EQ(info.flags, 0x10009);
  EXPECT_EQ(info.stepCount, 1);
  EXPECT_EQ(utf8(info.title), "Bypass");
  String128 text;
  ASSERT_EQ(c->getParamStringByValue(plugkit::kBypassParamId, 0.0, text), kResultTrue);
  EXPECT_EQ(utf8(text), "off");
  c->getParamStringByValue(plugkit::kBypassParamId, 1.0, text);
  EXPECT_EQ(utf8(text), "on");

  ASSERT_EQ(c->getParameterInfo(1, info), kResultTrue);
  EXPECT_EQ(info.id, 0u);
  EXPECT_EQ(info.stepCount, 1);  // bool
  EXPECT_EQ(info.flags, ParameterInfo::kCanAutomate);
  ASSERT_EQ(c->getParameterInfo(2, info), kResultTrue);
  EXPECT_EQ(utf8(info.title), "Loudness Target");
  EXPECT_EQ(info.stepCount, 0);  // double
  EXPECT_EQ(info.unitId, kRootUnitId);

  struct Default {
    ParamID id;
    double normalized;
  } defaults[] = {{1, 0.73333}, {2, 0.46481}, {9, 0.59241}};
  for (const Default& d : defaults) EXPECT_NEAR(c->getParamNormalized(d.id), d.normalized, 1e-5) << d.id;

  struct Text {
    ParamID id;
    double normalized;
    const char* text;
  } texts[] = {{2, 0.5, "219 Hz"}, {3, 0.5, "4.90 kHz"}, {9, 0.5, "11 s"}, {11, 0.5, "+0.00 dB"}, {4, 1.0, "on"}};
  for (const Text& t : texts) {
    ASSERT_EQ(c->getParamStringByValue(t.id, t.normalized, text), kResultTrue);
    EXPECT_EQ(utf8(text), t.text) << t.id;
  }

  ParamValue value = 0.123;
  std::u16string abc = utf16("abc");
  EXPECT_EQ(c->getParamValueByString(1, reinterpret_cast<TChar*>(abc.data()), value), kResultFalse);
  EXPECT_DOUBLE_EQ(value, 0.123);
  std::u16string minus = utf16("\xE2\x88\x92" "14");  // U+2212
  ASSERT_EQ(c->getParamValueByString(1, reinterpret_cast<TChar*>(minus.data()), value), kResultTrue);
  EXPECT_NEAR(c->normalizedParamToPlain(1, value), -14.0, 1e-9);
  std::u16string on = utf16("on");
  ASSERT_EQ(c->getParamValueByString(10, reinterpret_cast<TChar*>(on.data()), value), kResultTrue);
  EXPECT_DOUBLE_EQ(value, 1.0);
  EXPECT_NEAR(c->plainParamToNormalized(2, 200.0), 0.46481, 1e-5);

  auto* unitInfo = FUnknownPtr<IUnitInfo>(c).getInterface();
  ASSERT_NE(unitInfo, nullptr);
  EXPECT_EQ(unitInfo->getUnitCount(), 1);  // only "Root"
  EXPECT_EQ(unitInfo->getProgramListCount(), 0);
}

TEST(Parameters, GroupsBecomeUnits) {
  plugkit::Config config = sp::test::productConfig();
  config.paramCount = 3;
  sp::test::TestPlugin* plug = new sp::test::TestPlugin(config, false);
  plug->GetParam(0)->InitDouble("a", 0, 0, 1, 0.1, "", 0, "Left");
  plug->GetParam(1)->InitDouble("b", 0, 0, 1, 0.1, "", 0, "Right");
  plug->GetParam(2)->InitDouble("c", 0, 0, 1, 0.1, "", 0, "Left");
  std::string error;
  auto host = testhost::Plugin::adopt(static_cast<IAudioProcessor*>(plug), error);
  ASSERT_EQ(host->initialize(nullptr), kResultOk);
  FUnknownPtr<IUnitInfo> units(host->controller());
  ASSERT_EQ(units->getUnitCount(), 3);
  UnitInfo u{};
  units->getUnitInfo(2, u);
  EXPECT_EQ(utf8(u.name), "Right");
  ParameterInfo info{};
  host->controller()->getParameterInfo(3, info);  // parameter 2, after bypass, 0 and 1
  EXPECT_EQ(info.unitId, 1);
}

TEST(HostEdits, ControllerSideEditsReachTheParameterAndTheEditorOnly) {
  Bound b;
  b.plug->clearLog();
  b.plug->clearChanges();
  ASSERT_EQ(b.controller()->setParamNormalized(5, 0.25), kResultOk);
  EXPECT_DOUBLE_EQ(b.plug->GetParam(5)->Value(), 25);
  EXPECT_DOUBLE_EQ(b.controller()->getParamNormalized(5), 0.25);
  EXPECT_EQ(b.plug->countInLog("OnParamChangeUI 5 1"), 1);
  EXPECT_EQ(b.plug->nChanges.load(), 0);  // no OnParamChange from the controller side

  EXPECT_EQ(b.controller()->setParamNormalized(999, 0.5), kResultFalse);
  EXPECT_DOUBLE_EQ(b.controller()->getParamNormalized(999), 0.0);

  ASSERT_EQ(b.controller()->setParamNormalized(plugkit::kBypassParamId, 1.0), kResultOk);
  EXPECT_DOUBLE_EQ(b.controller()->getParamNormalized(plugkit::kBypassParamId), 1.0);
  EXPECT_FALSE(b.plug->GetBypassed());  // only process moves the processor's bypass

  ASSERT_EQ(b.controller()->setParamNormalized(6, std::nan("")), kResultOk);
  EXPECT_DOUBLE_EQ(b.plug->GetParam(6)->Value(), 0.0);
}

TEST(HostEdits, LatencyTailAndDetailsGoToTheHost) {
  Bound b;
  b.plug->SetLatency(64);
  EXPECT_EQ(b.handler().restartFlags(), std::vector<int32>{kLatencyChanged});
  EXPECT_EQ(b.host->processor()->getLatencySamples(), 64u);
  b.plug->InformHostOfParameterDetailsChange();
  EXPECT_EQ(b.handler().restartFlags().back(), kParamTitlesChanged);
  b.plug->SetTailSize(0x7FFFFFFF);
  EXPECT_EQ(b.host->processor()->getTailSamples(), kInfiniteTail);
  b.plug->SetTailSize(100);
  EXPECT_EQ(b.host->processor()->getTailSamples(), 100u);

  Bound noHandler(sp::test::productConfig(), "testhost", false);
  noHandler.plug->SetLatency(32);  // no component handler: stored only
  EXPECT_EQ(noHandler.plug->GetLatency(), 32);
}

TEST(HostEdits, EditorValuesMoveTheParameterObjects) {
  Bound b;
  b.plug->SendParameterValueFromUI(7, 0.8);
  EXPECT_DOUBLE_EQ(b.controller()->getParamNormalized(7), 0.8);
  EXPECT_EQ(b.handler().count("perform"), 1);
}

// An attribute list whose strings fill the whole buffer and never terminate.
class OverfillingList : public IAttributeList {
public:
  tresult PLUGIN_API setInt(AttrID, int64) override { return kResultOk; }
  tresult PLUGIN_API getInt(AttrID id, int64& value) override {
    if (std::string(id) != ChannelContext::kChannelNameLengthKey) return kResultFalse;
    value = 1000000;
    return kResultTrue;
  }
  tresult PLUGIN_API setFloat(AttrID, double) override { return kResultOk; }
  tresult PLUGIN_API getFloat(AttrID, double&) override { return kResultFalse; }
  tresult PLUGIN_API setString(AttrID, const TChar*) override { return kResultOk; }
  tresult PLUGIN_API getString(AttrID id, TChar* string, uint32 sizeInBytes) override {
    if (std::string(id) != ChannelContext::kChannelNameKey) return kResultFalse;
    for (uint32 i = 0; i < sizeInBytes / sizeof(TChar); ++i) string[i] = u'A';
    return kResultTrue;
  }
  tresult PLUGIN_API setBinary(AttrID, const void*, uint32) override { return kResultOk; }
  tresult PLUGIN_API getBinary(AttrID, const void*&, uint32&) override { return kResultFalse; }
  tresult PLUGIN_API queryInterface(const TUID, void**) override { return kNoInterface; }
  uint32 PLUGIN_API addRef() override { return 1; }
  uint32 PLUGIN_API release() override { return 1; }
};

TEST(ChannelContext, TrackNameColourAndIndex) {
  Bound b;
  FUnknownPtr<ChannelContext::IInfoListener> listener(b.controller());
  ASSERT_TRUE(listener);
  EXPECT_EQ(listener->setChannelContextInfos(nullptr), kResultFalse);

  struct Case {
    const char* what;
    std::u16string name;
    int64 length;  // -1: no length key
    const char* expected;
  } cases[] = {
      {"with length", u"Drums", 5, "Drums"},
      {"without length", u"B\u00e4sse", -1, "B\xC3\xA4sse"},
      {"lone surrogate", std::u16string(u"x") + char16_t(0xD800) + u"y", -1, "x\xEF\xBF\xBDy"},
      {"huge length", u"Bass", 1000000, "Bass"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto* list = new HostAttributeList();
    list->setString(ChannelContext::kChannelNameKey, reinterpret_cast<const TChar*>(c.name.c_str()));
    if (c.length >= 0) list->setInt(ChannelContext::kChannelNameLengthKey, c.length);
    list->setInt(ChannelContext::kChannelColorKey, 0xFF112233);
    list->setInt(ChannelContext::kChannelIndexKey, 4);
    EXPECT_EQ(listener->setChannelContextInfos(list), kResultOk);
    list->release();
    StringBuf name;
    b.plug->GetTrackName(name);
    EXPECT_STREQ(name.Get(), c.expected);
  }
  int r = 0, g = 0, bl = 0;
  b.plug->GetTrackColor(r, g, bl);
  EXPECT_EQ(r, 0x11);
  EXPECT_EQ(g, 0x22);
  EXPECT_EQ(bl, 0x33);
  EXPECT_EQ(b.plug->GetTrackIndex(), 4);

  OverfillingList overfilling;
  EXPECT_EQ(listener->setChannelContextInfos(&overfilling), kResultOk);
  StringBuf name;
  b.plug->GetTrackName(name);
  EXPECT_EQ(name.GetLength(), 4096);  // clamped and terminated
}

TEST(Midi, ControllerParametersOnlyWhenTheConfigurationTakesMidi) {
  Bound plain;
  FUnknownPtr<IMidiMapping> plainMapping(plain.controller());
  ASSERT_TRUE(plainMapping);
  ParamID id = 0;
  EXPECT_EQ(plainMapping->getMidiControllerAssignment(0, 0, 7, id), kResultFalse);

  Bound midi(sp::test::midiConfig());
  EXPECT_EQ(midi.controller()->getParameterCount(), 19 + 130);
  EXPECT_EQ(midi.host->component()->getBusCount(kEvent, kInput), 1);
  FUnknownPtr<IMidiMapping> mapping(midi.controller());
  ASSERT_EQ(mapping->getMidiControllerAssignment(0, 0, 7, id), kResultOk);
  EXPECT_EQ(id, plugkit::kMIDICCParamStartIdx + 7);
  EXPECT_EQ(mapping->getMidiControllerAssignment(1, 0, 7, id), kResultFalse);
  EXPECT_EQ(mapping->getMidiControllerAssignment(0, 2, 7, id), kResultFalse);
  ParameterInfo info{};
  midi.plug->getParameterInfoByTag(plugkit::kMIDICCParamStartIdx + 129, info);
  EXPECT_EQ(utf8(info.title), "Pitch Bend");
  EXPECT_DOUBLE_EQ(info.defaultNormalizedValue, 0.5);
}

TEST(Identity, NamesInterfacesAndProgramNames) {
  Bound b;
  EXPECT_FALSE(b.plug->isTypeOf("FObject", false));
  EXPECT_TRUE(b.plug->isTypeOf("FObject", true));
  EXPECT_TRUE(b.plug->isTypeOf("IPluginVST3", false));
  EXPECT_TRUE(b.plug->isTypeOf("EditControllerEx1", true));
  EXPECT_FALSE(b.plug->isTypeOf(nullptr, true));
  EXPECT_STREQ(b.plug->isA(), "IPluginVST3");

  FUnknownPtr<IUnitInfo> units(b.controller());
  String128 name;
  EXPECT_EQ(units->getProgramName(plugkit::kPresetListId, 0, name), kResultOk);
  EXPECT_EQ(utf8(name), "empty");
  EXPECT_EQ(units->getProgramName(plugkit::kPresetListId, 1, name), kResultFalse);
  EXPECT_EQ(units->getProgramName(plugkit::kPresetListId, -1, name), kResultFalse);
  EXPECT_EQ(units->getProgramName(5, 0, name), kResultFalse);

  ParameterInfo info{};
  b.controller()->getParameterInfo(1, info);
  auto* object = b.plug->getParameterObject(info.id);
  EXPECT_TRUE(object->isTypeOf("IPluginVST3Parameter", false));
  EXPECT_TRUE(object->isTypeOf("Parameter", true));
  EXPECT_TRUE(b.plug->GetBypassParameter()->isTypeOf("StringListParameter", true));
  EXPECT_STREQ(b.plug->GetBypassParameter()->isA(), "IPluginVST3BypassParameter");

  IBStream* none = nullptr;
  EXPECT_EQ(b.controller()->setEditorState(none), kResultOk);  // the controller's own state: nothing
  EXPECT_EQ(b.controller()->setComponentState(none), kResultOk);
}

}  // namespace

namespace {

// A plug-in whose hooks throw whenever `armed` is set.
struct Throwing : sp::test::TestPlugin {
  bool armed = false;
  void OnReset() override {
    if (armed) throw std::bad_alloc();
  }
  void OnActivate(bool) override {
    if (armed) throw std::runtime_error("activate");
  }
  void ProcessBlock(double**, double**, int) override {
    if (armed) throw std::runtime_error("block");
  }
  bool SerializeState(plugkit::IByteChunk&) const override {
    if (armed) throw std::bad_alloc();
    return true;
  }
  int UnserializeState(const plugkit::IByteChunk& chunk, int pos) override {
    if (armed) throw std::bad_alloc();
    return TestPlugin::UnserializeState(chunk, pos);
  }
  bool OnKeyDown(const plugkit::IKeyPress&) override { throw 3; }
  void OnParentWindowResize(int, int) override { throw 4; }
  void OnParamChangeUI(int, plugkit::EParamSource) override {
    if (armed) throw std::runtime_error("ui");
  }
};

TEST(Exceptions, NoneReachesTheHost) {
  auto* plug = new Throwing();
  std::string error;
  auto host = testhost::Plugin::adopt(static_cast<IAudioProcessor*>(plug), error);
  ASSERT_EQ(host->initialize(nullptr), kResultOk);
  ASSERT_EQ(host->setup(44100, 256, kSample32), kResultOk);
  plug->armed = true;
  EXPECT_EQ(host->setup(96000, 1024, kSample64), kResultFalse);
  EXPECT_DOUBLE_EQ(plug->GetSampleRate(), 44100.0);  // the previous setup stays
  EXPECT_EQ(plug->GetProcessSetup().symbolicSampleSize, kSample32);
  EXPECT_EQ(host->component()->setActive(true), kResultOk);
  EXPECT_EQ(host->processor()->setProcessing(false), kResultOk);
  testhost::AudioBlock block(2, 2, 64, kSample32);
  block.setFrames(64);
  EXPECT_EQ(host->process(block), kResultOk);
  testhost::ScriptedStream out;
  EXPECT_EQ(host->component()->getState(&out), kResultFalse);
  testhost::ScriptedStream in(std::string(148, '\0'));
  EXPECT_EQ(host->component()->setState(&in), kResultFalse);
  EXPECT_EQ(host->controller()->setParamNormalized(3, 0.5), kResultFalse);
  IPlugView* view = host->createView();
  EXPECT_EQ(view->onKeyDown(u'a', 0, 0), kResultFalse);
  ViewRect rect(0, 0, 800, 500);
  EXPECT_EQ(view->onSize(&rect), kResultOk);
  view->release();
  plug->armed = false;
}

}  // namespace
