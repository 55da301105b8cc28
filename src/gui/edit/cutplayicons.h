#pragma once

#include <QIcon>

namespace sonavell {

// The editor's toolbar pictures, from the generated toolbar bitmaps.
enum class CutPlayIcon { Open, Save, Play, Stop, Repeat, ZoomIn, ZoomOut };

QIcon cutPlayIcon(CutPlayIcon which);

} // namespace sonavell
