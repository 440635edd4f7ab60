# The editor's window layer on Linux (editor/IGraphicsX11*): Xlib and the
# MIT-SHM extension of libXext (Debian packages libx11-dev, libxext-dev).
# The core links them, so the plug-in library, the tests and the tools that
# link the core need libX11 and libXext at run time; nothing opens a display
# until a host opens the editor.

find_package(X11 REQUIRED)
if(NOT TARGET X11::X11 OR NOT TARGET X11::Xext)
  message(FATAL_ERROR "Xlib or libXext not found; run scripts/setup.sh (libx11-dev, libxext-dev)")
endif()
target_link_libraries(quarvi_core PUBLIC X11::X11 X11::Xext)
