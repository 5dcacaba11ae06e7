#include "framework/vst3/IPluginVST3ControllerBase.h"

#include <algorithm>
#include <cstring>

#include "framework/vst3/IPluginVST3Parameter.h"
#include "shims/vst3sdk/utf_convert.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace plugkit {

namespace {


// Reads a text attribute. A given length is clamped to 1..4096 units, without one 256
// units are read; the text is always terminated and converted without throwing.
bool readText(IAttributeList* list, IAttributeList::AttrID lengthKey, IAttributeList::AttrID key, StringBuf& out) {
  constexpr int64 kMaxUnits = 4096;
  int64 length = 0;
  int64 units = 256;
  if (lengthKey != nullptr && list->getInt(lengthKey, length) == kResultTrue)
    units = std::clamp<int64>(length, 1, kMaxUnits) + 1;
  TChar buffer[kMaxUnits + 1];
  std::memset(buffer, 0, sizeof(buffer));
  if (list->getString(key, buffer, static_cast<uint32>(units * sizeof(TChar))) != kResultTrue) return false;
  buffer[units - 1] = 0;
  char utf8[kMaxUnits * 3 + 1];
  vst3shim::utf16ToUtf8(reinterpret_cast<const char16_t*>(buffer), static_cast<size_t>(units), utf8, sizeof(utf8));
  out.Set(utf8);
  return true;
}

}  // namespace

void IPluginVST3ControllerBase::Initialize(IPluginAPIBase* plug, EditControllerEx1& controller, bool isInstrument,
                                           bool midiIn) {
  UnitInfo rootInfo{};
  rootInfo.id = kRootUnitId;
  rootInfo.parentUnitId = kNoParentUnitId;
  vst3shim::utf8ToString128("Root", rootInfo.name);
  rootInfo.programListId = kNoProgramListId;

  if (!isInstrument) {
    mBypassParameter = new IPluginVST3BypassParameter();
    mParameters.addParameter(mBypassParameter);
  }
  controller.addUnit(new Unit(rootInfo));

  plug->ClearParamGroups();
  for (int i = 0; i < plug->NParams(); ++i) {
    IParam* param = plug->GetParam(i);
    UnitID unitID = kRootUnitId;
    const char* group = param->GetGroup();
    if (group[0] != '\0') {
      int found = -1;
      for (int g = 0; g < plug->NParamGroups(); ++g) {
        if (std::strcmp(plug->GetParamGroupName(g), group) == 0) {
          found = g;
          break;
        }
      }
      if (found >= 0) {
        unitID = found + 1;
      } else {
        unitID = plug->AddParamGroup(group);
        UnitInfo info{};
        info.id = unitID;
        info.parentUnitId = kRootUnitId;
        vst3shim::utf8ToString128(group, info.name);
        info.programListId = kNoProgramListId;
        controller.addUnit(new Unit(info));
      }
    }
    mParameters.addParameter(new IPluginVST3Parameter(param, static_cast<ParamID>(i), unitID));
  }

  if (midiIn) {
    const UnitID ccUnit = controller.getUnitCount() + 1;
    UnitInfo ccInfo{};
    ccInfo.id = ccUnit;
    ccInfo.parentUnitId = kRootUnitId;
    vst3shim::utf8ToString128("MIDI CCs", ccInfo.name);
    ccInfo.programListId = kNoProgramListId;
    controller.addUnit(new Unit(ccInfo));

    const UnitID channelUnit = controller.getUnitCount() + 1;
    UnitInfo channelInfo{};
    channelInfo.id = channelUnit;
    channelInfo.parentUnitId = ccUnit;
    StringBuf name;
    name.SetFormatted(32, "CH%i", 1);
    vst3shim::utf8ToString128(name.Get(), channelInfo.name);
    channelInfo.programListId = kNoProgramListId;
    controller.addUnit(new Unit(channelInfo));

    String128 title;
    for (int cc = 0; cc < 128; ++cc) {
      vst3shim::utf8ToString128(IMidiMsg::CCNameStr(cc), title);
      mParameters.addParameter(title, nullptr, 0, 0.0, 0, static_cast<int32>(kMIDICCParamStartIdx + cc), channelUnit);
    }
    mParameters.addParameter(STR16("Channel Aftertouch"), nullptr, 0, 0.0, 0,
                             static_cast<int32>(kMIDICCParamStartIdx + 128), channelUnit);
    mParameters.addParameter(STR16("Pitch Bend"), nullptr, 0, 0.5, 0, static_cast<int32>(kMIDICCParamStartIdx + 129),
                             channelUnit);
  }
}

void IPluginVST3ControllerBase::Terminate(IPluginAPIBase* plug) {
  mBypassParameter = nullptr;
  plug->ClearParamGroups();
}

void IPluginVST3ControllerBase::UpdateParams(IPluginAPIBase* plug, int bypass) {
  for (int i = 0; i < plug->NParams(); ++i) {
    Parameter* object = mParameters.getParameter(static_cast<ParamID>(i));
    const IParam* param = plug->GetParam(i);
    if (object != nullptr && param != nullptr) object->setNormalized(param->GetNormalized());
  }
  if (mBypassParameter != nullptr) mBypassParameter->setNormalized(static_cast<double>(bypass));
}

bool IPluginVST3ControllerBase::SetChannelContextInfos(IAttributeList* list) {
  if (list == nullptr) return false;
  readText(list, ChannelContext::kChannelNameLengthKey, ChannelContext::kChannelNameKey, mChannelName);
  readText(list, ChannelContext::kChannelUIDLengthKey, ChannelContext::kChannelUIDKey, mChannelUID);
  int64 value = 0;
  if (list->getInt(ChannelContext::kChannelIndexKey, value) == kResultTrue) mChannelIndex = static_cast<int>(value);
  if (list->getInt(ChannelContext::kChannelColorKey, value) == kResultTrue)
    mChannelColor = static_cast<uint32>(value);
  if (list->getInt(ChannelContext::kChannelIndexNamespaceOrderKey, value) == kResultTrue)
    mChannelNamespaceIndex = static_cast<int>(value);
  readText(list, ChannelContext::kChannelIndexNamespaceLengthKey, ChannelContext::kChannelIndexNamespaceKey,
           mChannelNamespace);
  list->getInt(ChannelContext::kChannelPluginLocationKey, value);
  return true;
}

}  // namespace plugkit
