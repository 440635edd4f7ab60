#include "IGraphicsHeadless.h"

// No window layer here yet: the instance keeps a headless editor (pictures,
// tests), and the host is not offered an editor (CanOpenWindows is false).
IGraphics* CreatePlatformGraphics(IPlugBase* plug) { return new IGraphicsHeadless(plug); }
