// The host track: REAPER's host functions found at initialize, the track's label and
// colour (REAPER's functions first, the VST3 channel context otherwise), the accent
// colours and the accent choice.
#include "plugin/host_track.h"

#include <cmath>
#include <string>

#include "plugin/SpectraPoise.h"
#include "shims/reaper/reaper_host.h"

using namespace spectrapoise::plugin;

namespace spectrapoise::plugin {

namespace {
// REAPER's parent lookup for the track that holds the plug-in.
constexpr Steinberg::uint32 kReaperParentTrack = 1;
// A REAPER custom colour counts only with this bit.
constexpr int kReaperCustomColourBit = 0x1000000;
// A channel-context colour (ARGB) below this value carries no colour.
constexpr Steinberg::uint32 kChannelColourPresent = 0x1000000;
}  // namespace

MediaTrack* ReaperFunctions::track() const {
  if (host == nullptr) return nullptr;
  return static_cast<MediaTrack*>(host->getReaperParent(kReaperParentTrack));
}

void ReaperFunctions::release() {
  if (host != nullptr) host->release();
  host = nullptr;
  getSetTrackString = nullptr;
  getTrackValue = nullptr;
  colorFromNative = nullptr;
}

bool levelTrackColour(int& r, int& g, int& b) {
  const float y = 0.2126f * static_cast<float>(r) + 0.7152f * static_cast<float>(g) + 0.0722f * static_cast<float>(b);
  if (!(y >= 1.f)) return false;
  const float f = y < 47.f ? 47.f / y : (y > 200.f ? 200.f / y : 1.f);
  const auto scaled = [f](int c) {
    const float v = static_cast<float>(c) * f;
    return static_cast<int>(v < 0.f ? 0.f : (v > 255.f ? 255.f : v));
  };
  r = scaled(r);
  g = scaled(g);
  b = scaled(b);
  return true;
}

bool toInt32(double value, int& out) {
  if (!std::isfinite(value)) return false;
  const double t = std::trunc(value);
  if (t < -2147483648.0 || t > 2147483647.0) return false;
  out = static_cast<int>(t);
  return true;
}

std::size_t utf8Prefix(const char* text, std::size_t length, std::size_t max) {
  if (length <= max) return length;
  std::size_t end = max;
  // The byte at `end` is the first one left out: when it continues a character, the
  // character's lead and the rest of it go too.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return end;
}

}  // namespace spectrapoise::plugin

namespace {

void setLabel(StringBuf& label, const std::string& text) {
  label.Set(text.c_str(), static_cast<int>(utf8Prefix(text.data(), text.size(), kTrackLabelMax)));
}

}  // namespace

Steinberg::tresult PLUGIN_API SpectraPoise::initialize(Steinberg::FUnknown* context) {
  try {
    reaper_.release();
    if (context != nullptr) {
      void* found = nullptr;
      if (context->queryInterface(IReaperHostApplication::iid, &found) == Steinberg::kResultOk && found != nullptr) {
        reaper_.host = static_cast<IReaperHostApplication*>(found);
        reaper_.getSetTrackString = reinterpret_cast<ReaperFunctions::GetSetTrackInfoString>(
            reaper_.host->getReaperApi("GetSetMediaTrackInfo_String"));
        reaper_.getTrackValue =
            reinterpret_cast<ReaperFunctions::GetTrackInfoValue>(reaper_.host->getReaperApi("GetMediaTrackInfo_Value"));
        reaper_.colorFromNative =
            reinterpret_cast<ReaperFunctions::ColorFromNative>(reaper_.host->getReaperApi("ColorFromNative"));
      }
    }
  } catch (...) {
    reaper_.release();
  }
  return IPluginVST3::initialize(context);
}

Steinberg::tresult PLUGIN_API SpectraPoise::terminate() {
  reaper_.release();
  return IPluginVST3::terminate();
}

void SpectraPoise::trackLabel(StringBuf& label) const {
  label.Set("");
  if (reaper_.host != nullptr && reaper_.getSetTrackString != nullptr && reaper_.getTrackValue != nullptr) {
    if (MediaTrack* track = reaper_.track()) {
      char name[kTrackNameBuffer] = {};
      if (reaper_.getSetTrackString(track, "P_NAME", name, false)) {
        name[kTrackNameBuffer - 1] = '\0';
        int number = 0;
        if (!toInt32(reaper_.getTrackValue(track, "IP_TRACKNUMBER"), number)) number = 0;
        // 0: not found, -1: the master track; neither has a number to show.
        if (number <= 0)
          setLabel(label, name);
        else if (name[0] == '\0')
          setLabel(label, "#" + std::to_string(number));
        else
          setLabel(label, "#" + std::to_string(number) + ": " + name);
        return;
      }
    }
  }
  const char* channelName = GetChannelName();
  if (channelName != nullptr && channelName[0] != '\0')
    setLabel(label, "#" + std::to_string(GetChannelIndex()) + ": " + channelName);
}

bool SpectraPoise::trackColour(int& r, int& g, int& b) const {
  if (reaper_.host != nullptr && reaper_.getTrackValue != nullptr && reaper_.colorFromNative != nullptr) {
    if (MediaTrack* track = reaper_.track()) {
      int colour = 0;
      if (toInt32(reaper_.getTrackValue(track, "I_CUSTOMCOLOR"), colour) && (colour & kReaperCustomColourBit) != 0) {
        int rr = 0, gg = 0, bb = 0;
        reaper_.colorFromNative(colour & 0xFFFFFF, &rr, &gg, &bb);
        r = rr;
        g = gg;
        b = bb;
        return true;
      }
    }
  }
  const Steinberg::uint32 colour = GetChannelColor();
  if (colour < kChannelColourPresent) return false;
  r = static_cast<int>((colour >> 16) & 0xFF);
  g = static_cast<int>((colour >> 8) & 0xFF);
  b = static_cast<int>(colour & 0xFF);
  return true;
}

plugkit::canvas::IColor SpectraPoise::resolvedAccent(int alpha) const {
  const int index = accentIndex_.load();
  const Accent& green = kAccents[0];
  if (index != kDawColorAccent) {
    const Accent& a = kAccents[index >= 0 && index < kDawColorAccent ? static_cast<std::size_t>(index) : 0];
    return {alpha, a.r, a.g, a.b};
  }
  int r = 0, g = 0, b = 0;
  if (!trackColour(r, g, b) || !levelTrackColour(r, g, b)) return {alpha, green.r, green.g, green.b};
  return {alpha, r, g, b};
}

void SpectraPoise::setAccentIndex(int index) {
  const int chosen = static_cast<unsigned>(index) <= static_cast<unsigned>(kDawColorAccent) ? index : 0;
  if (accentIndex_.exchange(chosen) != chosen) accentRebuild_.store(true);
}
