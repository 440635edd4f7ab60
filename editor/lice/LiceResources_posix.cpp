#include <mutex>

#include "LiceSystem.h"

// Written by the build (cmake/EditorImages.cmake): registers the editor
// images found in resources/img/ as resources "#1".."#17" of type "PNG".
void QuarviRegisterEditorImages();

void LICE_RegisterEmbeddedImages() {
  static std::once_flag once;
  std::call_once(once, QuarviRegisterEditorImages);
}
