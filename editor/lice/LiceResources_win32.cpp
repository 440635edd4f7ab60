#include "LiceSystem.h"

// The editor images are resources of the module (compiled in with windres).
void LICE_RegisterEmbeddedImages() {}
