#include "IGraphicsWin.h"
#include "platform/Module.h"

// The editor opens as a child window of the host's window; its class and
// resources belong to this library.
IGraphics* CreatePlatformGraphics(IPlugBase* plug) { return new IGraphicsWin(plug, ModuleHandle()); }
