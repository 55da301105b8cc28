#include "gui/skin/appicons.h"

#include "gui/skin/skinimage.h"

namespace sonavell {

namespace {
constexpr int kApplicationIcon = 128;
constexpr int kTrayIcon = 129;
} // namespace

QIcon applicationIcon()
{
    (void)loadSkinBitmap(kTrayIcon); // registers the resources
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/skin/%1-%2.png").arg(kApplicationIcon).arg(size), QSize(size, size));
    return icon;
}

QImage trayIconImage()
{
    return loadSkinBitmap(kTrayIcon).convertToFormat(QImage::Format_ARGB32);
}

QString desktopFileName()
{
    return QStringLiteral("sonavell");
}

} // namespace sonavell
