#pragma once
// The interface through which REAPER offers its host functions by name, found on the
// host context a VST3 plug-in receives.
#include "shims/vst3sdk/vst3_includes.h"

class IReaperHostApplication : public Steinberg::FUnknown {
public:
  // The host function of that name, or null.
  virtual void* PLUGIN_API getReaperApi(Steinberg::CStringA funcname) = 0;
  virtual void* PLUGIN_API getReaperParent(Steinberg::uint32 w) = 0;
  virtual void* PLUGIN_API reaperExtended(Steinberg::uint32 call, void* parm1, void* parm2, void* parm3) = 0;
  static const Steinberg::FUID iid;
};

DECLARE_CLASS_IID(IReaperHostApplication, 0x79655E36, 0x77EE4267, 0xA573FEF7, 0x4912C27C)
