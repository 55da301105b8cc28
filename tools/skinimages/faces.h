#pragma once

#include "canvas.h"

namespace sonavell::skinimages {

// A round glossy button face: a dark bezel, a brushed-metal face (normal) or a face lit in the
// accent colour (active), a highlight over the upper half and the glyph in the middle.
struct FaceLook
{
    Glyph glyph;
    QColor accent;
    bool active;
};

Drawing faceDrawing(QSize size, const FaceLook &look);

// Slider parts: the grooves (a slot with tick marks) and the thumbs (a metal grip; lit while dragged).
Drawing horizontalGrooveDrawing();
Drawing verticalGrooveDrawing();
Drawing horizontalThumbDrawing(bool dragged);
Drawing verticalThumbDrawing(bool dragged);

} // namespace sonavell::skinimages
