// The interface id of REAPER's host-function interface.
#include "shims/reaper/reaper_host.h"

DEF_CLASS_IID(IReaperHostApplication)
