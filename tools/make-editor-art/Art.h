#pragma once

// The painters of the editor's seventeen images, one per image of the layout
// table (instrument/EditorLayout.h), and the preview composite.

#include <string>
#include <vector>

#include "Canvas.h"

// Paints image `id` (1..17) at the size and frame count of the layout table.
Pixels PaintImage(int id);

// The background, 1072 x 680. False, with the reasons, when a label would
// sit under a control, under text a control draws, under another label or
// over its section's edge, or when the panel under an opaque control is not
// the flat section face (the opaque images are painted on that colour).
bool PaintBackground(Pixels* out, std::vector<std::string>* problems);

// The upper-case label the panel prints for a parameter, taken from its name.
std::string LabelForParam(int param);

// The background with every control drawn over it the way the editor draws
// it (parameter defaults, a few knobs turned, the clip LED lit, voices "08").
Pixels PaintPreview(const std::vector<Pixels>& images);
