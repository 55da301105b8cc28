#include "gui/ui/sliderbarpainter.h"

#include "gui/ui/sliderctrlbar.h"

#include <QPainter>
#include <QPolygonF>

namespace sonavell {

namespace {

const QColor kBackground(255, 255, 178);

} // namespace

SliderBarPainter::~SliderBarPainter() = default;

void SliderBarPainter::paint(QPainter &painter, const CSliderCtrlBar &bar) const
{
    painter.fillRect(bar.rect(), kBackground);

    // The thumb points up: bottom-right and bottom-left corners and the middle of the top edge.
    // Corners are pixel edges, as in the rectangle the bar computes.
    const QRect thumb = bar.thumbRect();
    const qreal right = thumb.x() + thumb.width();
    const qreal bottom = thumb.y() + thumb.height();
    QPolygonF triangle;
    triangle << QPointF(right, bottom) << QPointF(thumb.x(), bottom)
             << QPointF(thumb.x() + thumb.width() / 2.0, thumb.y());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(bar.thumbColour());
    painter.drawPolygon(triangle);
    painter.restore();

    // Scale: the line between the bounds, 6-pixel ends and 4-pixel ticks at each fifth.
    const int y = bar.scaleY();
    const int left = bar.leftBound();
    const int span = bar.rightBound() - left;
    painter.fillRect(left, y, span + 1, 1, Qt::black);
    for (int i = 0; i <= 5; ++i) {
        const int x = left + span * i / 5;
        const int length = (i == 0 || i == 5) ? 6 : 4;
        painter.fillRect(x, y - length + 1, 1, length, Qt::black);
    }
}

} // namespace sonavell
