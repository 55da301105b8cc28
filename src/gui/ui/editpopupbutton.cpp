#include "gui/ui/editpopupbutton.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QStyleOptionFocusRect>

namespace sonavell {

namespace {

const QColor kTriangleColour(96, 96, 96);

// A one-pixel 3-D rectangle: `topLeft` on the top and left edges, `bottomRight` on the others.
void draw3dRect(QPainter &painter, const QRect &rect, const QColor &topLeft, const QColor &bottomRight)
{
    painter.fillRect(rect.left(), rect.top(), rect.width() - 1, 1, topLeft);
    painter.fillRect(rect.left(), rect.top(), 1, rect.height() - 1, topLeft);
    painter.fillRect(rect.right(), rect.top(), 1, rect.height(), bottomRight);
    painter.fillRect(rect.left(), rect.bottom(), rect.width(), 1, bottomRight);
}

} // namespace

EditPopupButton::EditPopupButton(QWidget *parent) : QAbstractButton(parent)
{
    // A click leaves the focus in the number box; Tab still reaches the button.
    setFocusPolicy(Qt::TabFocus);
}

QSize EditPopupButton::sizeHint() const
{
    return QSize(12, 18);
}

void EditPopupButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect area = rect();
    painter.fillRect(area, palette().button());
    if (isDown()) {
        draw3dRect(painter, area, Qt::black, Qt::white);
    } else {
        draw3dRect(painter, area, Qt::white, Qt::black);
        // Tip at three quarters of the width; as tall as half the width.
        const int w = area.width();
        const int tipX = w * 3 / 4;
        const int half = w / 4;
        const int centreY = area.height() / 2;
        QPolygon triangle;
        triangle << QPoint(tipX, centreY) << QPoint(tipX - half, centreY - half)
                 << QPoint(tipX - half, centreY + half);
        painter.setPen(kTriangleColour);
        painter.setBrush(kTriangleColour);
        painter.drawPolygon(triangle);
    }
    const QRect focusRect = area.adjusted(10, 10, -10, -10);
    if (hasFocus() && focusRect.isValid()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = focusRect;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void EditPopupButton::mousePressEvent(QMouseEvent *event)
{
    m_pressPoint = event->globalPosition().toPoint();
    QAbstractButton::mousePressEvent(event);
}

void EditPopupButton::keyPressEvent(QKeyEvent *event)
{
    m_pressPoint = mapToGlobal(rect().center());
    QAbstractButton::keyPressEvent(event);
}

} // namespace sonavell
