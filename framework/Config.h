#pragma once
// The fixed description of a plug-in, built by the plug-in class and handed to the
// framework constructors, and the host-side instance information.
namespace plugkit {

struct InstanceInfo {};

struct Config {
  int paramCount = 0;
  int presetCount = 0;
  const char* channelIO = "";
  const char* name = "";
  const char* product = "";
  const char* maker = "";
  int version = 0;  // major in bits 16 and up, minor in bits 8-15, bug-fix in bits 0-7
  int pluginCode = 0;
  int makerCode = 0;
  int latency = 0;
  bool takesMidi = false;
  bool sendsMidi = false;
  bool takesMpe = false;
  bool stateIsChunk = false;
  int pluginKind = 0;  // 0 effect, 1 instrument, 2 MIDI effect
  bool hasEditor = false;
  int editorWidth = 0;
  int editorHeight = 0;
  int minWidth = 0;
  int maxWidth = 0;
  int minHeight = 0;
  int maxHeight = 0;
  bool hostResizes = false;
  const char* bundleId = "";
  const char* appGroupId = "";
};

}  // namespace plugkit
