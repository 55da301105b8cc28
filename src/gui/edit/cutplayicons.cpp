#include "gui/edit/cutplayicons.h"

#include "gui/skin/skinimage.h"

#include <QImage>
#include <QPixmap>

namespace sonavell {

namespace {

// The toolbar bitmaps by button.
int bitmapOf(CutPlayIcon which)
{
    switch (which) {
    case CutPlayIcon::Open:
        return 3121;
    case CutPlayIcon::Save:
        return 3122;
    case CutPlayIcon::Play:
        return 3119;
    case CutPlayIcon::Stop:
        return 3120;
    case CutPlayIcon::Repeat:
        return 3125;
    case CutPlayIcon::ZoomIn:
        return 3123;
    case CutPlayIcon::ZoomOut:
        break;
    }
    return 3124;
}

} // namespace

QIcon cutPlayIcon(CutPlayIcon which)
{
    QIcon icon;
    for (const qreal ratio : {1.0, 2.0}) {
        const QImage image = loadSkinBitmap(bitmapOf(which), ratio);
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace sonavell
