// A shared library that is no VST2 plug-in: quarvi-render must say so.
extern "C" __attribute__((visibility("default"))) int QuarviNotAPlugin() { return 42; }
