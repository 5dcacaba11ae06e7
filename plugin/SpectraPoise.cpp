#include "plugin/SpectraPoise.h"

namespace {
constexpr int fourCC(const char (&code)[5]) {
  return (code[0] << 24) | (code[1] << 16) | (code[2] << 8) | code[3];
}
}  // namespace

const plugkit::Config& SpectraPoise::config() {
  static const plugkit::Config c = [] {
    plugkit::Config k;
    k.paramCount = 18;
    k.presetCount = 1;
    k.channelIO = "1-1 2-2";
    k.name = "SpectraPoise";
    k.product = "SpectraPoise";
    k.maker = "Brightloom";
    k.version = 0x040A;
    k.pluginCode = fourCC("BrSp");
    k.makerCode = fourCC("Brlm");
    k.latency = 0;
    k.takesMidi = false;
    k.sendsMidi = false;
    k.takesMpe = false;
    k.stateIsChunk = true;
    k.pluginKind = 0;
    k.hasEditor = true;
    k.editorWidth = 640;
    k.editorHeight = 400;
    k.minWidth = 480;
    k.maxWidth = 1280;
    k.minHeight = 300;
    k.maxHeight = 800;
    k.hostResizes = true;
    k.bundleId = "com.Brightloom.vst3.SpectraPoise";
    k.appGroupId = "group.com.Brightloom.SpectraPoise";
    return k;
  }();
  return c;
}

SpectraPoise::SpectraPoise(const plugkit::InstanceInfo& info) : plugkit::IPluginVST3(info, config()) {}

SpectraPoise::~SpectraPoise() {
  // No timer tick may run while this class's members are being destroyed.
  StopTimer();
}
