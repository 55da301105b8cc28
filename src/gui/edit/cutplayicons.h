#pragma once

#include <QIcon>

namespace sonavell {

// The editor's toolbar pictures, drawn at 18 × 18.
enum class CutPlayIcon { Open, Save, Play, Stop, Repeat, ZoomIn, ZoomOut };

QIcon cutPlayIcon(CutPlayIcon which);

} // namespace sonavell
