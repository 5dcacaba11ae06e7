#pragma once
// The editor view the controller creates for the host: hands the host's parent window
// to the editor delegate, reports and negotiates the editor size, forwards key presses
// in the framework's key format, and carries the editor's resize requests to the host's
// frame. Main thread only, except the reference count, which is atomic (a host may pass
// the view between threads).
#include <atomic>

#include "shims/vst3sdk/vst3_includes.h"

#include "framework/IPlugStructs.h"

namespace plugkit {

class IPluginVST3;

// The platform type the view accepts.
constexpr const char* kPlatformTypeNSView = "NSView";

// Additionally accepts `type` (null: none). For test programs that attach the view to a
// stand-in parent of their own; the shipped plug-in never calls it.
void SetExtraPlatformTypeForTesting(const char* type);

class IPluginVST3View : public Steinberg::CPluginView, public Steinberg::IPlugViewContentScaleSupport {
public:
  explicit IPluginVST3View(IPluginVST3& owner);
  ~IPluginVST3View() override;

  Steinberg::tresult PLUGIN_API isPlatformTypeSupported(Steinberg::FIDString type) override;
  Steinberg::tresult PLUGIN_API attached(void* parent, Steinberg::FIDString type) override;
  Steinberg::tresult PLUGIN_API removed() override;
  Steinberg::tresult PLUGIN_API onKeyDown(Steinberg::char16 key, Steinberg::int16 keyCode,
                                          Steinberg::int16 modifiers) override;
  Steinberg::tresult PLUGIN_API onKeyUp(Steinberg::char16 key, Steinberg::int16 keyCode,
                                        Steinberg::int16 modifiers) override;
  Steinberg::tresult PLUGIN_API getSize(Steinberg::ViewRect* size) override;
  Steinberg::tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) override;
  Steinberg::tresult PLUGIN_API canResize() override;
  Steinberg::tresult PLUGIN_API checkSizeConstraint(Steinberg::ViewRect* rect) override;
  // Keeps a reference to the frame and offers its run loop to the plug-in's timer;
  // null withdraws the loop, then releases the frame.
  Steinberg::tresult PLUGIN_API setFrame(Steinberg::IPlugFrame* frame) override;
  Steinberg::tresult PLUGIN_API setContentScaleFactor(ScaleFactor factor) override;

  // The editor asks for a new size: the frame's resizeView, when attached with a frame.
  bool Resize(int width, int height);
  bool IsOpen() const { return mOpen; }
  Steinberg::IPlugFrame* GetFrame() const { return plugFrame; }

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  // The view's own atomic count in place of the SDK object's; the last release deletes it.
  Steinberg::uint32 PLUGIN_API addRef() override;
  Steinberg::uint32 PLUGIN_API release() override;

private:
  Steinberg::tresult handleKey(Steinberg::char16 key, Steinberg::int16 keyCode, Steinberg::int16 modifiers, bool up);
  void offerFrameRunLoop();
  void withdrawFrameRunLoop();

  IPluginVST3& mOwner;
  bool mOpen = false;
  std::atomic<Steinberg::int32> mRefs{1};
};

// Windows virtual-key number for a VST3 key code (and the character, for codes 0 and 57).
int VSTKeyCodeToVK(int keyCode, char character);
// The framework key press for a VST3 key event.
IKeyPress TranslateKeyMessage(Steinberg::char16 key, Steinberg::int16 keyCode, Steinberg::int16 modifiers);

}  // namespace plugkit
