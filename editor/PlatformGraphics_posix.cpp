#include "IGraphicsX11.h"

// The editor opens as an X11 child window of the host's window. Making it
// needs no display: the connection is opened when the host opens the editor.
IGraphics* CreatePlatformGraphics(IPlugBase* plug) { return new IGraphicsX11(plug); }
