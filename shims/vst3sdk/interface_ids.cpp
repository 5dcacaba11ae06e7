// Interface ids the Debian SDK subset declares but never defines.
#include "vst3_includes.h"

namespace Steinberg {
DEF_CLASS_IID(IPlugView)
DEF_CLASS_IID(IPlugFrame)
DEF_CLASS_IID(IPlugViewContentScaleSupport)
namespace Linux {
DEF_CLASS_IID(IRunLoop)
DEF_CLASS_IID(ITimerHandler)
DEF_CLASS_IID(IEventHandler)
}  // namespace Linux
}  // namespace Steinberg

