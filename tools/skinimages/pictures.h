#pragma once

#include "canvas.h"

namespace sonavell::skinimages {

// The program's icon at any size: a dark rounded tile with a sound wave and a red record dot;
// small sizes keep only the dot and two bars.
Drawing appIconDrawing(int size);

// The left end of the window's top band (185 × 31): a dark tab with a slanted right edge, the
// record dot and the name drawn as stroked letters.
Drawing bandLogoDrawing();

// The tick shown in checked check boxes.
Drawing checkMarkDrawing(int size);

// The cut-and-play editor's toolbar, 18 × 18 each.
enum class ToolImage { Play, Stop, Open, Save, ZoomIn, ZoomOut, Repeat };
Drawing toolImageDrawing(ToolImage image);

// The folder browser's strip: kFolderStripCount images of 17 × 16 on white (white is transparent).
constexpr int kFolderStripCount = 19;
Drawing folderStripDrawing();

} // namespace sonavell::skinimages
