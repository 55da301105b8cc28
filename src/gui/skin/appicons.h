#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

namespace sonavell {

// The program's icon at every size drawn for it (window, task bar, about box).
QIcon applicationIcon();
// The 16 × 16 icon the tray shows, and under its level bar while recording.
QImage trayIconImage();
// The name of the desktop entry (sonavell.desktop) and of the icon in the icon theme.
QString desktopFileName();

} // namespace sonavell
